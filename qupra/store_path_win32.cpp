// Windows file names are ANSI code page bytes; SQLite's Windows layer wants UTF-8.
#include <windows.h>

#include "qupra/store_path.h"

bool SqliteFileName(const std::string& path, std::string* out) {
  out->clear();
  if (path.empty() || path.size() > 0x7FFFFFFF) return false;
  int size = int(path.size());
  int wide_size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (wide_size <= 0) return false;
  std::wstring wide(size_t(wide_size), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, &wide[0], wide_size);
  int utf8_size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (utf8_size <= 0) return false;
  out->assign(size_t(utf8_size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, &(*out)[0], utf8_size, nullptr, nullptr);
  return true;
}
