// Code page 932 to UTF-8 through iconv.
#include <iconv.h>

#include <vector>

#include "app/utf8.h"

std::string Cp932ToUtf8(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string result;
  std::vector<char> buffer(4 * text.size() + 16);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* out = buffer.data();
    size_t out_left = buffer.size();
    size_t r = iconv(cd, &in, &in_left, &out, &out_left);
    result.append(buffer.data(), out - buffer.data());
    if (r == size_t(-1) && in_left > 0) {  // an invalid or cut character
      result += '?';
      ++in;
      --in_left;
    }
  }
  iconv_close(cd);
  return result;
}
