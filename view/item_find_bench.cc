// Speed of one find over 1M shown items, where nothing matches: every item is tried.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "data/fake_price_library.h"
#include "view/item_find.h"

namespace {

const int kItems = 1000000;

// Every item shown, so that a miss looks at all of them: the slowest a find can be.
struct FindList {
  std::vector<PriceItem> items;
  std::vector<ItemState> states;
  FakePriceLibrary db;

  FindList() : items(kItems), states(kItems, ChangeEstimatePrice) {
    for (int i = 0; i < kItems; i++) {
      PriceItem& r = items[size_t(i)];
      memset(&r, 0, sizeof r);
      r.code = MakeCode(3, unsigned(i / 20000) % 50, unsigned(i / 100) % 200, unsigned(i % 100), 1);
      snprintf(r.material_name, sizeof r.material_name, "異形棒鋼 SD%d D%d", 295 + i % 100,
               10 + i % 30);
    }
  }
};

// A Japanese text (names only), an ASCII text (names and the library's code texts) and a
// code-like one, none of them present.
const char* const kTexts[] = {"丸鋼", "SD999", "9-99-"};

void BM_FindShownItemMiss(benchmark::State& state) {
  static FindList list;
  GridData grid;
  grid.items = list.items.data(), grid.count = kItems, grid.states = list.states.data();
  ShownItems shown;
  shown.Count(grid);
  const SearchText text(kTexts[state.range(0)]);
  for (auto _ : state) benchmark::DoNotOptimize(FindShownItem(grid, &shown, &list.db, text, 1));
  state.SetItemsProcessed(int64_t(state.iterations()) * kItems);
}
BENCHMARK(BM_FindShownItemMiss)->DenseRange(0, 2)->ArgName("text")->Unit(benchmark::kMillisecond);

}  // namespace
