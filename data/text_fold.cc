// Byte-wise comparison with ASCII case folding outside double-byte characters.
#include "data/text_fold.h"

#include "text/sjis.h"

namespace {

unsigned char Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

}  // namespace

int CompareFoldedSjis(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    unsigned char x = *p, y = *q;
    if (IsSjisLeadByte(x) || IsSjisLeadByte(y)) {
      // A double-byte character compares as its two bytes, unfolded.
      if (x != y) return x < y ? -1 : 1;
      ++p, ++q;
      if (*p != *q) return *p < *q ? -1 : 1;
      if (*p == '\0') return 0;
      ++p, ++q;
      continue;
    }
    x = Fold(x);
    y = Fold(y);
    if (x != y) return x < y ? -1 : 1;
    if (x == '\0') return 0;
    ++p, ++q;
  }
}
