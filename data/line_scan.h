// Lines and comma-separated fields of update-file text, and the decimal numbers in them.
#pragma once

#include <cstddef>
#include <cstdint>

// Longer lines are cut here and their rest is read as the next line.
const int kMaxLineBytes = 251;
// Size of the line and field buffers of ReadLine and GetField.
const int kLineBufferSize = 256;
// The fields of an item line that are used; later ones are ignored.
const int kItemFields = 8;

// Copies the line that starts at text into line (kLineBufferSize bytes, NUL-terminated,
// at most kMaxLineBytes bytes) and returns the bytes consumed: the line and the run of
// CR and LF after it. 0 at the end of the text.
size_t ReadLine(const char* text, char* line);

// Field k (0-based) of a comma-separated line into field (kLineBufferSize bytes). Double
// quotes toggle quoting and are dropped; a line with fewer fields gives the text after
// its last comma.
void GetField(const char* line, int k, char* field);

// A decimal number at the start of text: leading spacing, an optional sign, digits;
// modulo 2^32. 0 when there are no digits.
uint32_t ParseDecimal(const char* text);

// The same lines and fields without a copy per line, for the loader.

inline bool IsSpacing(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// A field of a line: bytes that are not NUL-terminated.
struct Span {
  const char* data;
  size_t size;
};

// Finds the end of the line at p and its fields in one walk: the line ends at the first
// CR, LF or NUL after its first byte, which belongs to it whatever it is (as ReadLine takes
// it; the caller has checked it is no NUL). The fields point into the line. Sets *quoted
// when a quote before the end of field 7 makes the fields differ from the bytes. The text
// must end in a NUL, which stops the walk.
const char* ScanLine(const char* p, Span fields[kItemFields], bool* quoted);

// The fields of a line with quotes, or of a line cut short, as GetField gives them: quotes
// toggle quoting and vanish, so the fields are copied into buffer (kLineBufferSize bytes).
void SplitQuotedLine(const char* p, const char* q, char* buffer, Span fields[kItemFields]);

// ParseDecimal of a field that is not NUL-terminated; here, so that the loader's five calls
// a line cost no call.
inline uint32_t SpanDecimal(Span f) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(f.data);
  const unsigned char* end = p + f.size;
  while (p < end && IsSpacing(*p)) p++;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  uint32_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; p++) value = value * 10u + uint32_t(*p - '0');
  return negative ? 0u - value : value;
}
