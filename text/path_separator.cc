// Path separators in code page 932 paths, stepping over double-byte characters.
#include "text/path_separator.h"

#include <cstring>

size_t FindSeparator(const char* path, size_t length, size_t from, const char* separators,
                     LeadBytePredicate is_lead_byte) {
  // Forwards from a character start: only so can a 0x5C be told apart from a trail byte.
  for (size_t i = from; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (is_lead_byte(c) && i + 1 < length) {
      ++i;
      continue;
    }
    if (c != '\0' && std::strchr(separators, c)) return i;
  }
  return kNoSeparator;
}

size_t FindLastSeparator(const char* path, size_t length, const char* separators,
                         LeadBytePredicate is_lead_byte) {
  size_t last = kNoSeparator;
  for (size_t i = FindSeparator(path, length, 0, separators, is_lead_byte); i != kNoSeparator;
       i = FindSeparator(path, length, i + 1, separators, is_lead_byte))
    last = i;
  return last;
}

bool IsSeparatorAt(const char* path, size_t length, size_t index, const char* separators,
                   LeadBytePredicate is_lead_byte) {
  // The bytes after index cannot change what the byte at index is.
  return index < length && FindLastSeparator(path, index + 1, separators, is_lead_byte) == index;
}

bool EndsInSeparator(const std::string& path, const char* separators,
                     LeadBytePredicate is_lead_byte) {
  return !path.empty() &&
         IsSeparatorAt(path.data(), path.size(), path.size() - 1, separators, is_lead_byte);
}

void AppendSeparator(std::string* path, char separator, const char* separators,
                     LeadBytePredicate is_lead_byte) {
  if (!path->empty() && !EndsInSeparator(*path, separators, is_lead_byte)) *path += separator;
}
