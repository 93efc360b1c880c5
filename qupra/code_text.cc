// The item code as text: five decimal numbers, category-large-middle-small-sub.
#include "qupra/code_text.h"

#include <cstdio>

Code ParseItemCode(const char* text) {
  static const unsigned kMax[5] = {255, 255, 65535, 65535, 65535};
  if (!text) return 0;
  unsigned part[5];
  const char* p = text;
  for (int i = 0; i < 5; ++i) {
    if (i > 0 && *p++ != '-') return 0;
    unsigned value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (++digits > 5) return 0;
      value = value * 10 + unsigned(*p - '0');
    }
    if (digits == 0 || value > kMax[i]) return 0;
    part[i] = value;
  }
  if (*p != '\0' || part[0] == 0) return 0;
  return MakeCode(part[0], part[1], part[2], part[3], part[4]);
}

void FormatItemCode(Code code, char* out) {
  if (!out) return;
  if (CodeCategory(code) == 0) {
    out[0] = '\0';
    return;
  }
  snprintf(out, kCodeTextSize, "%u-%02u-%04u-%04u-%04u", CodeCategory(code), CodeLargeItem(code),
           CodeMiddleItem(code), CodeSmallItem(code), CodeSubNumber(code));
}
