// Path separators in code page 932 paths, where 0x5C ('\') may be the second byte of a
// double-byte character (表, ソ, 能): every test for, append of or split at a separator.
#pragma once

#include <cstddef>
#include <string>

#include "text/sjis.h"

// Whether a byte starts a double-byte character in the code page of the paths.
typedef bool (*LeadBytePredicate)(unsigned char byte);

const size_t kNoSeparator = static_cast<size_t>(-1);

// The index of the first byte at or after from that is one of separators and is a character
// of its own, not the second byte of a double-byte character; kNoSeparator when there is
// none. from must be the start of a character. A lead byte at the very end stands alone.
size_t FindSeparator(const char* path, size_t length, size_t from, const char* separators,
                     LeadBytePredicate is_lead_byte = IsSjisLeadByte);

// The index of the last such separator, or kNoSeparator.
size_t FindLastSeparator(const char* path, size_t length, const char* separators,
                         LeadBytePredicate is_lead_byte = IsSjisLeadByte);

// Whether the byte at index is such a separator.
bool IsSeparatorAt(const char* path, size_t length, size_t index, const char* separators,
                   LeadBytePredicate is_lead_byte = IsSjisLeadByte);

// Whether the path's last character is one of separators.
bool EndsInSeparator(const std::string& path, const char* separators,
                     LeadBytePredicate is_lead_byte = IsSjisLeadByte);

// Adds separator to a non-empty path unless its last character is one of separators, so
// that a file name can follow.
void AppendSeparator(std::string* path, char separator, const char* separators,
                     LeadBytePredicate is_lead_byte = IsSjisLeadByte);
