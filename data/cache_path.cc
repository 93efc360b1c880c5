// Mapping of check-list addresses to cache file names.
#include "data/cache_path.h"

#include <cstring>
#include <string>

#include "text/path_separator.h"

#ifdef _WIN32
const char kCacheDirName[] = "HDTMP\\";
#else
const char kCacheDirName[] = "HDTMP/";  // natively a real folder too
#endif

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Windows opens a device, not a file, for these names, with any extension and with blanks
// before the extension.
bool IsDeviceName(const std::string& part) {
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = Upper(c);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$")
    return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

// Only dots and blanks with at least two dots: Windows may read it as "..", since it drops
// trailing dots and blanks.
bool IsDotsPart(const std::string& part) {
  size_t dots = 0;
  for (char c : part) {
    if (c == '.')
      ++dots;
    else if (c != ' ')
      return false;
  }
  return dots >= 2;
}

// Whether the mapped name could name something other than a file inside the cache folder: a
// parent folder, the root, or a device (a device name ignores the ".costupdate" added to
// the last part). Split only at real separators: a 0x5C byte that trails a double-byte
// character (表, ソ) is part of that character, for Windows as here.
bool LeavesCacheDir(const std::string& name) {
  if (!name.empty() && name[0] == '\\') return true;
  for (size_t start = 0;;) {
    size_t end = FindSeparator(name.data(), name.size(), start, "\\");
    std::string part = name.substr(start, end == kNoSeparator ? std::string::npos : end - start);
    if (IsDotsPart(part) || IsDeviceName(part)) return true;
    if (end == kNoSeparator) return false;
    start = end + 1;
  }
}

}  // namespace

int CachePath(char* out, const char* program_dir, const char* url) {
  out[0] = '\0';
  const char* rest = url;
  if (std::strncmp(url, "http://", 7) == 0)
    rest += 7;
  else if (std::strncmp(url, "https://", 8) == 0)
    rest += 8;
  std::string name;
  for (const char* p = rest; *p; ++p) {
    if (*p == ':') continue;
    name += *p == '/' ? '_' : *p;
  }
  if (LeavesCacheDir(name)) return 0;
  std::string path = std::string(program_dir) + kCacheDirName + name + ".costupdate";
  if (path.size() >= size_t(kCachePathSize)) return 0;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return 1;
}
