// libFuzzer target: any bytes as a list file, the saved form read back, and cache names.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "checklist/url_list.h"
#include "data/cache_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  class CheckList list;
  list.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
  std::string saved = list.SaveBytes();
  class CheckList again;
  again.LoadFromBytes(saved);
  if (again.GetCount() > list.GetCount()) std::abort();
  for (int i = 0; i < list.GetCount(); ++i) {
    char url[256], path[kCachePathSize];
    list.GetUrl(i, url);
    if (CachePath(path, "C:\\Program Files\\CostUpdate\\", url) == 0 && path[0] != '\0')
      std::abort();
  }
  return 0;
}
