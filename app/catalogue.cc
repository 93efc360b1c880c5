// The update-file catalogue and loading the selected file.
#include "app/catalogue.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/cache_path.h"
#include "data/item_compare.h"
#include "data/update_file.h"

namespace {

const size_t kLineSize = 512;

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char buffer[kLineSize];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);  // cut, never overrun
  va_end(args);
  return buffer;
}

}  // namespace

void FillCatalogue(const UrlList& list, const char* program_dir, const char* start_file, Disk* disk,
                   Catalogue* out) {
  out->lines.clear();
  out->selection = -1;
  for (int i = 0; i < list.GetCount(); ++i) {
    char name[256], url[256], path[kCachePathSize];
    list.GetName(i, name);
    list.GetUrl(i, url);
    CalendarTime t;
    if (CachePath(path, program_dir, url) && disk->LastWriteTime(path, true, &t))
      out->lines.push_back(Line("  %s - \t最終更新日 %04d/%02d/%02d %02d:%02d", name, t.year,
                                t.month, t.day, t.hour, t.minute));
    else
      out->lines.push_back(Line("  %s - \t最終更新日 更新ファイルがありません。", name));
  }
  if (start_file[0] != '\0') {
    out->lines.push_back("  単価アップデートファイル");
    out->selection = int(out->lines.size()) - 1;
  } else if (!out->lines.empty()) {
    out->selection = 0;
  }
}

int LoadSelectedFile(int selection, const UrlList& list, const char* program_dir,
                     const char* start_file, PriceLibrary* library, ItemStore* store) {
  ReleaseItems(store);
  int loaded = 0;
  int n = list.GetCount();
  PriceItem* items = nullptr;
  int count = 0;
  if (selection >= 0 && selection < n) {
    char url[256], path[kCachePathSize];
    list.GetUrl(selection, url);
    if (CachePath(path, program_dir, url))
      loaded = LoadUpdateFile(library, path, &items, &count) == 0;
  } else if (selection == n && start_file[0] != '\0') {
    loaded = LoadUpdateFile(library, start_file, &items, &count) == 0;
  }
  if (!loaded) {
    items = nullptr;
    count = 0;
  }
  ItemState* states = static_cast<ItemState*>(calloc(size_t(count) + 10, sizeof(ItemState)));
  if (!states) {  // no room to compare: nothing is shown or written
    std::free(items);
    return 0;
  }
  store->items = items;
  store->count = count;
  store->states = states;
  ComputeItemStates(library, items, count, states);
  return loaded;
}
