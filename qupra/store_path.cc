// Where the database file lies in its folder.
#include "qupra/store_path.h"

#include "text/path_separator.h"

bool JoinFolderFile(const char* folder, const char* file, PathStyle style, std::string* out) {
  out->clear();
  if (!folder || !file) return false;
  std::string path(folder);
  if (style == PathStyle::kPosix) {
    AppendSeparator(&path, '/', "/");
  } else {
    // A folder that ends in the first byte of a character was cut inside it.
    for (size_t i = 0; i < path.size(); ++i) {
      if (IsSjisLeadByte(static_cast<unsigned char>(path[i])) && ++i == path.size()) return false;
    }
    // A drive ("C:") names a folder as it stands, as the program directory may be cut there.
    AppendSeparator(&path, '\\', "\\/:");
  }
  path += file;
  *out = path;
  return true;
}
