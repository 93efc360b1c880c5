// Speed of working out one page of the grid over a large update file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "data/fake_price_library.h"
#include "view/grid_paint.h"

namespace {

const int kItems = 1000000;
const int kPageRows = 45;
const int kPaintRight = 1280;

// A file of kItems items against a database that holds all but the new ones: about 1% new,
// 5% changed in one or two fields, the rest equal to the database.
struct BenchList {
  std::vector<PriceItem> items;
  std::vector<ItemState> states;
  FakePriceLibrary db;

  BenchList() : items(kItems), states(kItems) {
    for (unsigned u = 1; u <= 40; u++) db.unit_names[u] = "ｍ" + std::to_string(u);
    for (unsigned s = 1; s <= 300; s += 2) db.supplier_names[s] = "商事" + std::to_string(s);
    for (int i = 0; i < kItems; i++) {
      PriceItem& r = items[size_t(i)];
      memset(&r, 0, sizeof r);
      r.code = MakeCode(3, unsigned(i / 20000) % 50, unsigned(i / 100) % 200, unsigned(i % 100), 1);
      snprintf(r.material_name, sizeof r.material_name, "異形棒鋼 D%d", 10 + i % 30);
      snprintf(r.material_note, sizeof r.material_note, "JIS G3112 SD%d", 295 + i % 100);
      r.execution_price = 50000u + unsigned(i) % 30000;
      r.estimate_price = 52000u + unsigned(i) % 31000;
      r.unit_code = uint8_t(1 + i % 40);
      r.work_type = uint16_t(100 + i % 300);
      r.supplier_code = uint16_t(i % 500);
      ItemState state = 0;
      PriceItem stored = r;
      if (i % 100 == 50) {
        state = kNewItemState;
      } else if (i % 20 == 7) {
        state = ItemState(ChangeEstimatePrice | (i % 3 == 0 ? ChangeUnit : 0));
        stored.estimate_price -= 1000;
        if (state & ChangeUnit) stored.unit_code = uint8_t(1 + (i + 1) % 40);
      }
      states[size_t(i)] = state;
      const Code code = r.code;  // a packed field binds to no reference
      if (!(state & StateNew)) db.records.emplace_hint(db.records.end(), code, stored);
    }
  }

  GridData Grid(int item_name_columns, int show_changes) {
    GridData grid;
    grid.items = items.data();
    grid.count = kItems;
    grid.states = states.data();
    grid.item_name_columns = item_name_columns;
    grid.show_changes = show_changes;
    return grid;
  }
};

BenchList& List() {
  static BenchList list;
  return list;
}

enum Place { kTop = 0, kMiddle = 1, kEnd = 2 };

// One paint at the top, middle or end of the shown items, with the table already built.
void BM_BuildGridPaint(benchmark::State& state) {
  BenchList& list = List();
  GridData grid = list.Grid(int(state.range(1)), int(state.range(2)));
  ShownItems shown;
  const int count = shown.Count(grid);
  ViewState view;
  view.page_rows = kPageRows;
  const Place place = Place(state.range(0));
  view.top_ordinal = place == kTop ? 0 : place == kMiddle ? count / 2 : count - kPageRows;
  std::vector<DrawOp> ops;
  for (auto _ : state) {
    BuildGridPaint(grid, view, &shown, &list.db, kPaintRight, &ops);
    benchmark::DoNotOptimize(ops.data());
  }
  state.counters["ops"] = double(ops.size());
}
BENCHMARK(BM_BuildGridPaint)
    ->ArgsProduct({{kTop, kMiddle, kEnd}, {0, 1}, {0, 1}})
    ->ArgNames({"place", "names", "changes"})
    ->Unit(benchmark::kMicrosecond);

// The first paint after a load, a filter change or a write: the table is built anew.
void BM_ShownItemsRebuild(benchmark::State& state) {
  BenchList& list = List();
  GridData grid = list.Grid(0, 0);
  ShownItems shown;
  for (auto _ : state) {
    shown.Invalidate();
    benchmark::DoNotOptimize(shown.Count(grid));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kItems);
}
BENCHMARK(BM_ShownItemsRebuild)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
