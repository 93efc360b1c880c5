// Where the database file lies in its folder.
#include "qupra/store_path.h"

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

bool JoinFolderFile(const char* folder, const char* file, PathStyle style, std::string* out) {
  out->clear();
  if (!folder || !file) return false;
  std::string path(folder);
  bool ends_in_separator = false;
  if (style == PathStyle::kPosix) {
    // '/' is below every second byte of code page 932, so the last byte tells.
    ends_in_separator = !path.empty() && path.back() == '/';
  } else {
    for (size_t i = 0; i < path.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(path[i]);
      if (IsLeadByte(c)) {
        if (i + 1 == path.size()) return false;
        ++i;
        ends_in_separator = false;
      } else {
        // A drive ("C:") names a folder as it stands, as the program directory may be cut there.
        ends_in_separator = c == '\\' || c == '/' || c == ':';
      }
    }
  }
  if (!path.empty() && !ends_in_separator) path += style == PathStyle::kPosix ? '/' : '\\';
  path += file;
  *out = path;
  return true;
}
