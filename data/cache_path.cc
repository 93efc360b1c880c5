// Mapping of check-list addresses to cache file names.
#include "data/cache_path.h"

#include <cstring>
#include <string>

namespace {

#ifdef _WIN32
const char kCacheDir[] = "HDTMP\\";
#else
const char kCacheDir[] = "HDTMP/";  // natively a real folder too
#endif

// Whether name, split at '\' (and '/' natively), has a component "..", or starts with a
// separator, so that it would name a file outside CacheDir.
bool LeavesCacheDir(const std::string& name) {
  if (!name.empty() && name[0] == '\\') return true;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\') {
      if (name.compare(start, i - start, "..") == 0 && i - start == 2) return true;
      start = i + 1;
    }
  }
  return false;
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
  std::string path = std::string(program_dir) + kCacheDir + name + ".costupdate";
  if (path.size() >= size_t(kCachePathSize)) return 0;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return 1;
}
