// libFuzzer target: cache names of any address under any program folder stay inside the cache
// folder, inside their buffer, and never name a Windows device.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/cache_path.h"
#include "text/sjis.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The parts of a name between the separators Windows sees with code page 932: a 0x5C byte
// that trails a double-byte character is part of it.
std::vector<std::string> Parts(const std::string& name) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      parts.back() += name.substr(i, 2);
      ++i;
    } else {
      parts.back() += char(c);
    }
  }
  return parts;
}

// Windows drops trailing dots and blanks, so a part of only those may be read as "..";
// with two dots or more it is refused.
bool IsParent(const std::string& part) {
  return part.find_first_not_of(". ") == std::string::npos &&
         std::count(part.begin(), part.end(), '.') >= 2;
}

// A device whatever the extension, and with blanks before it; COM0, LPT0 and the console
// names are refused as well.
bool IsDevice(const std::string& part) {
  std::string base = part.substr(0, part.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* n : kNames)
    if (base == n) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

bool Unsafe(const std::string& name) {
  if (!name.empty() && (name[0] == '\\' || name[0] == '/')) return true;
  for (const std::string& part : Parts(name))
    if (IsParent(part) || IsDevice(part)) return true;
  return false;
}

// The address without its scheme, ':' dropped, '/' made '_'.
std::string Mapped(const std::string& url) {
  size_t skip = url.compare(0, 7, "http://") == 0 ? 7 : url.compare(0, 8, "https://") == 0 ? 8 : 0;
  std::string name;
  for (size_t i = skip; i < url.size(); ++i)
    if (url[i] != ':') name += url[i] == '/' ? '_' : url[i];
  return name;
}

}  // namespace

// The first byte is the length of the program folder, whose bytes follow; the rest is the
// address. Either ends at a NUL, as a C text does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t dir_size = data[0] < size - 1 ? data[0] : size - 1;
  std::string dir(reinterpret_cast<const char*>(data) + 1, dir_size);
  std::string url(reinterpret_cast<const char*>(data) + 1 + dir_size, size - 1 - dir_size);
  dir = dir.c_str();
  url = url.c_str();
  // ProgramDir: at most 255 bytes that end with a real separator.
  if (dir.size() > 253) dir.resize(253);
  bool trail = false;
  for (unsigned char c : dir) trail = !trail && IsSjisLeadByte(c);
  dir += trail ? "\\\\" : "\\";

  std::unique_ptr<char[]> out(new char[kCachePathSize]);
  memset(out.get(), 0x5A, kCachePathSize);
  int result = CachePath(out.get(), dir.c_str(), url.c_str());
  Check(memchr(out.get(), '\0', kCachePathSize) != nullptr);
  std::string path = out.get();

  std::string name = Mapped(url);
  std::string expected = dir + kCacheDirName + name + ".costupdate";
  bool fits = expected.size() < size_t(kCachePathSize);
  Check(result == (fits && !Unsafe(name) ? 1 : 0));
  Check(result == 1 ? path == expected : path.empty());
  if (result == 1) {
    // What Windows opens: the cache folder, then the name's parts, the last with the extension.
    std::vector<std::string> parts = Parts(name + ".costupdate");
    for (const std::string& part : parts) Check(!IsParent(part) && !IsDevice(part));
    Check(path.compare(0, dir.size() + strlen(kCacheDirName), dir + kCacheDirName) == 0);
  }
  return 0;
}
