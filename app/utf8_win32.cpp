// Code page 932 to UTF-8 through the Windows code page tables.
#include <windows.h>

#include <vector>

#include "app/utf8.h"

std::string Cp932ToUtf8(const std::string& text) {
  if (text.empty()) return text;
  int wide_length = MultiByteToWideChar(932, 0, text.data(), int(text.size()), nullptr, 0);
  std::vector<wchar_t> wide(wide_length);
  MultiByteToWideChar(932, 0, text.data(), int(text.size()), wide.data(), wide_length);
  int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string result(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, &result[0], length, nullptr, nullptr);
  return result;
}
