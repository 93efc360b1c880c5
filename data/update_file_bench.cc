// Speed of loading and sorting update files, and of comparing their items with the database.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/fake_price_library.h"
#include "data/item_compare.h"
#include "data/update_file.h"

namespace {

// The file order of the items: as the maker publishes them, or mixed.
enum Order { kSorted = 0, kShuffled = 1 };

struct BenchFile {
  std::string path;
  size_t bytes = 0;
};

// Generated files, removed when the benchmarks end.
class BenchFiles {
 public:
  ~BenchFiles() {
    for (auto& f : files_) remove(f.second.path.c_str());
  }

  // The file of n items in the given order, written on first use.
  const BenchFile& Get(int n, Order order) {
    auto key = std::make_pair(n, int(order));
    auto it = files_.find(key);
    if (it != files_.end()) return it->second;
    BenchFile& f = files_[key];
    f.path =
        (std::filesystem::temp_directory_path() /
         ("costupdate_bench_" + std::to_string(n) + "_" + std::to_string(order) + ".costupdate"))
            .string();
    std::vector<int> index(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) index[size_t(i)] = i;
    if (order == kShuffled) {
      uint32_t seed = 2024;
      for (size_t i = index.size(); i > 1; i--) {
        seed = seed * 1664525u + 1013904223u;
        std::swap(index[i - 1], index[size_t(seed % i)]);
      }
    }
    FILE* out = fopen(f.path.c_str(), "wb");
    if (!out) abort();
    fputs("単価アップデートファイル\r\n", out);
    for (int i : index) {
      fprintf(out, "%s,異形棒鋼 D%d,JIS G3112 SD%d,%u,%u,%u,%u,%u\r\n", CodeText(i).c_str(),
              10 + i % 30, 295 + i % 100, 50000u + unsigned(i) % 30000,
              52000u + unsigned(i) % 31000, 1 + i % 40, 100 + i % 300, i % 500);
    }
    f.bytes = size_t(ftell(out));
    fclose(out);
    return f;
  }

  // Distinct codes, rising with i, for every i below 1,000,000: the maker's order.
  static std::string CodeText(int i) {
    char text[64];
    snprintf(text, sizeof text, "3-%02d-%04d-%04d-0001", (i / 20000) % 50, (i / 100) % 200,
             i % 100);
    return text;
  }

 private:
  std::map<std::pair<int, int>, BenchFile> files_;
};

BenchFiles files;

void BM_LoadUpdateFile(benchmark::State& state) {
  const BenchFile& f = files.Get(int(state.range(0)), Order(state.range(1)));
  FakePriceLibrary library;
  for (auto _ : state) {
    PriceItem* items = nullptr;
    int count = 0;
    if (LoadUpdateFile(&library, f.path.c_str(), &items, &count) != 0 || count != state.range(0)) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(items);
    free(items);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LoadUpdateFile)
    ->ArgsProduct({{10000, 100000, 1000000}, {kSorted, kShuffled}})
    ->ArgNames({"items", "shuffled"})
    ->Unit(benchmark::kMillisecond);

void BM_ComputeItemStates(benchmark::State& state) {
  const BenchFile& f = files.Get(int(state.range(0)), kShuffled);
  FakePriceLibrary library;
  PriceItem* items = nullptr;
  int count = 0;
  if (LoadUpdateFile(&library, f.path.c_str(), &items, &count) != 0) {
    state.SkipWithError("load failed");
    return;
  }
  // Every other item is in the database, every fourth with another price.
  for (int i = 0; i < count; i += 2) {
    PriceItem stored = items[i];
    if (i % 4 == 0) stored.execution_price++;
    library.Put(stored);
  }
  std::vector<ItemState> states(size_t(count) + 10);
  for (auto _ : state) {
    ComputeItemStates(&library, items, count, states.data());
    benchmark::DoNotOptimize(states.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * count);
  free(items);
}
BENCHMARK(BM_ComputeItemStates)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->ArgName("items")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
