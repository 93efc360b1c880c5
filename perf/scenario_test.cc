// Tests of the benchmark's data: its shares, and that the comparison finds what it planned.
#include "perf/scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/item_compare.h"
#include "data/update_file.h"
#include "qupra/store_library.h"

namespace {

TEST(Scenario, SharesAndSeed) {
  Scenario s(11, 200000, 40);
  size_t fresh = 0, changed = 0;
  for (size_t i = 0; i < s.size(); i++) {
    fresh += s.Fate(i) == ItemFate::kNew;
    changed += s.Fate(i) == ItemFate::kChanged;
  }
  EXPECT_NEAR(0.01, double(fresh) / double(s.size()), 0.002);
  EXPECT_NEAR(0.05, double(changed) / double(s.size()), 0.003);
  // The same seed gives the same bytes; another seed other items.
  EXPECT_EQ(Scenario(11, 5000, 4).FileText(5000, 3), Scenario(11, 5000, 4).FileText(5000, 3));
  EXPECT_NE(Scenario(11, 5000, 4).FileText(5000, 3), Scenario(12, 5000, 4).FileText(5000, 3));
  Shares all_shown = {1000, 9000};
  Scenario apply(5, 10000, 10, all_shown);
  for (size_t i = 0; i < apply.size(); i++) ASSERT_NE(ItemFate::kEqual, apply.Fate(i));
}

// The database and a file written from one scenario, compared through the storage code:
// every item gets the state the scenario planned, in code order, and every field arrives.
TEST(Scenario, ComparisonFindsThePlannedStates) {
  std::string dir = ::testing::TempDir() + "costupdate_scenario";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  Scenario s(99, 6000, 3);
  StoreLibrary library;
  ASSERT_EQ(1, library.InitDatabase(dir.c_str()));
  std::vector<std::vector<PriceItem>> groups;
  s.DatabaseGroups(&groups);
  ASSERT_EQ(3u, groups.size());
  for (const std::vector<PriceItem>& g : groups)
    ASSERT_TRUE(library.store().WriteGroup(g[0].code, g.data(), g.size()));

  for (size_t step : {size_t(1), size_t(7)}) {
    std::string path = dir + "/file.costupdate";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::string text = s.FileText(s.size(), step);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    PriceItem* items = nullptr;
    int count = 0;
    ASSERT_EQ(0, LoadUpdateFile(&library, path.c_str(), &items, &count));
    ASSERT_EQ(int((s.size() + step - 1) / step), count);
    std::vector<ItemState> states(size_t(count) + 10);
    ComputeItemStates(&library, items, count, states.data());
    int changed_fields[7] = {};
    for (int k = 0; k < count; k++) {
      size_t i = size_t(k) * step;
      PriceItem expected = s.FileItem(i);
      ASSERT_EQ(0, memcmp(&expected, &items[k], sizeof expected)) << i;
      ASSERT_EQ(s.ExpectedState(i), states[size_t(k)]) << i;
      if (states[size_t(k)] == kNewItemState) continue;
      for (int b = 0; b < 7; b++) changed_fields[b] += states[size_t(k)] >> b & 1;
    }
    // Every kind of change occurs, so that every filter has something to show.
    for (int b = 0; b < 7; b++) EXPECT_GT(changed_fields[b], 0) << b;
    free(items);
  }
}

}  // namespace
