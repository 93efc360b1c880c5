// costupdate-perf for Linux: generates the benchmark's data and measures the storage code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "perf/measure.h"
#include "perf/scenario.h"
#include "qupra/price_store.h"
#include "qupra/store_library.h"

namespace {

// The catalogue behind the comparison files, and the one behind the write.
const size_t kCatalogueItems = 1000000;
const unsigned kCatalogueGroups = 50;
const size_t kApplyItems = 100000;
const unsigned kApplyGroups = 10;
// The large write: every item of a 1M-item database changed, over 50 groups; and a file of
// every 100th of them, which changes 1% of that database.
const size_t kBigApplyItems = 1000000;
const unsigned kBigApplyGroups = 50;
const Shares kAllChanged = {0, 10000};
const size_t kOnePercentStep = 100;
// Every item of the write's file is shown, so that all of them can be selected.
const Shares kApplyShares = {1000, 9000};

bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

// Names for every level of the records' codes, every unit and every supplier, as the grid
// shows them in its name columns.
std::vector<NameEntry> NamesOf(const std::vector<std::vector<PriceItem>>& groups) {
  std::set<Code> large, middle, small;
  for (const std::vector<PriceItem>& group : groups) {
    for (const PriceItem& item : group) {
      const Code code = item.code;
      large.insert(code & ~((Code(1) << 48) - 1));
      middle.insert(code & ~((Code(1) << 32) - 1));
      small.insert(code & ~((Code(1) << 16) - 1));
    }
  }
  std::vector<NameEntry> names;
  for (Code c : large)
    names.push_back({NameTable::kLarge, c, 0, "大項目 " + std::to_string(CodeLargeItem(c))});
  for (Code c : middle)
    names.push_back({NameTable::kMiddle, c, 0, "中項目 " + std::to_string(CodeMiddleItem(c))});
  for (Code c : small)
    names.push_back({NameTable::kSmall, c, 0, "小項目 " + std::to_string(CodeSmallItem(c))});
  for (unsigned u = 1; u <= 255; u++)
    names.push_back({NameTable::kUnit, 0, u, "単位" + std::to_string(u)});
  for (unsigned s = 1; s < 500; s++)
    names.push_back({NameTable::kSupplier, 0, s, "商事 " + std::to_string(s)});
  return names;
}

bool WriteDatabase(const std::string& dir, const Scenario& scenario) {
  std::string path = dir + "/" + kStoreFileName;
  remove(path.c_str());
  PriceStore store;
  if (!store.Open(dir.c_str())) return false;
  std::vector<std::vector<PriceItem>> groups;
  scenario.DatabaseGroups(&groups);
  for (const std::vector<PriceItem>& group : groups)
    if (!group.empty() && !store.WriteGroup(group[0].code, group.data(), group.size()))
      return false;
  return store.PutNames(NamesOf(groups));
}

// DIR/db, DIR/apply-db and DIR/apply-1m-db hold the databases; the update files lie in DIR.
int Generate(const char* dir, uint64_t seed) {
  std::string base = dir;
  std::error_code error;
  std::filesystem::create_directories(base + "/db", error);
  std::filesystem::create_directories(base + "/apply-db", error);
  std::filesystem::create_directories(base + "/apply-1m-db", error);
  Scenario catalogue(seed, kCatalogueItems, kCatalogueGroups);
  Scenario apply(seed + 1, kApplyItems, kApplyGroups, kApplyShares);
  Scenario big_apply(seed + 2, kBigApplyItems, kBigApplyGroups, kAllChanged);
  // The smaller files cover the first categories whole, as a maker's file for part of
  // the catalogue would.
  const struct {
    const char* name;
    size_t items;
  } files[] = {{"update-10k", 10000}, {"update-100k", 100000}, {"update-1m", kCatalogueItems}};
  for (const auto& f : files) {
    std::string path = base + "/" + f.name + ".costupdate";
    if (!WriteText(path, catalogue.FileText(f.items))) {
      fprintf(stderr, "costupdate-perf: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  if (!WriteText(base + "/apply-100k.costupdate", apply.FileText(kApplyItems)) ||
      !WriteText(base + "/apply-1m.costupdate", big_apply.FileText(kBigApplyItems)) ||
      !WriteText(base + "/apply-1pct.costupdate",
                 big_apply.FileText(kBigApplyItems, kOnePercentStep)) ||
      !WriteDatabase(base + "/db", catalogue) || !WriteDatabase(base + "/apply-db", apply) ||
      !WriteDatabase(base + "/apply-1m-db", big_apply)) {
    fprintf(stderr, "costupdate-perf: cannot write the databases in %s\n", dir);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "generate") == 0) {
    if (argc != 4) {
      fputs("usage: costupdate-perf generate DIR SEED\n", stderr);
      return 2;
    }
    return Generate(argv[2], strtoull(argv[3], nullptr, 10));
  }
  StoreLibrary library;
  return RunPerf(
      argc - 1, argv + 1, [&](std::string*) { return &library; }, stdout, stderr);
}
