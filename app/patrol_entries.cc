// The check list as the Patrol takes it.
#include "app/patrol_entries.h"

std::vector<PatrolEntry> PatrolEntries(const UrlList& list) {
  std::vector<PatrolEntry> entries(size_t(list.GetCount()));
  for (size_t i = 0; i < entries.size(); ++i) {
    char name[256], url[256];
    list.GetName(int(i), name);
    list.GetUrl(int(i), url);
    entries[i] = {name, url};
  }
  return entries;
}
