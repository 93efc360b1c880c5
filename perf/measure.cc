// costupdate-perf's measurements, timed around the calls the program makes.
#include "perf/measure.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "data/code_index.h"
#include "data/disk.h"
#include "data/item_compare.h"
#include "data/item_store.h"
#include "data/undo.h"
#include "data/update_file.h"
#include "view/grid_paint.h"

namespace {

const char kUsage[] =
    "usage: costupdate-perf load FILE\n"
    "       costupdate-perf compare DIR FILE\n"
    "       costupdate-perf apply DIR FILE [--overwrite-prices] [--undo]\n"
    "       costupdate-perf paint DIR FILE\n"
    "       costupdate-perf in-memory DIR FILE\n";

// A page of the grid in a window of 1280 x 1024 pixels: the 45 rows the view test uses.
const int kPageRows = 45;
const int kPaintRight = 1280;

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Passes every call on and counts the look-ups and group transfers.
class CountingLibrary : public PriceLibrary {
 public:
  explicit CountingLibrary(PriceLibrary* inner) : inner_(inner) {}

  int InitDatabase(const char* dir) override { return inner_->InitDatabase(dir); }
  Code ParseItemCode(const char* text) override { return inner_->ParseItemCode(text); }
  int GetItem(Code code, PriceItem* out) override {
    get_item_calls++;
    return inner_->GetItem(code, out);
  }
  void FormatItemCode(Code code, char* out) override { inner_->FormatItemCode(code, out); }
  void GetLevelName(Code code, int level, char* out) override {
    inner_->GetLevelName(code, level, out);
  }
  void GetUnitName(unsigned unit, char* out) override { inner_->GetUnitName(unit, out); }
  void GetSupplierName(unsigned supplier, char* out) override {
    inner_->GetSupplierName(supplier, out);
  }
  void ReadGroup(Code code, RecordBlock* block, int* count) override {
    read_group_calls++;
    inner_->ReadGroup(code, block, count);
  }
  void WriteGroup(Code code, RecordBlock block, int count) override {
    write_group_calls++;
    inner_->WriteGroup(code, block, count);
  }
  RecordBlock AllocBlock(size_t bytes) override { return inner_->AllocBlock(bytes); }
  RecordBlock ResizeBlock(RecordBlock block, size_t bytes) override {
    return inner_->ResizeBlock(block, bytes);
  }
  PriceItem* LockBlock(RecordBlock block) override { return inner_->LockBlock(block); }
  void UnlockBlock(RecordBlock block) override { inner_->UnlockBlock(block); }
  void FreeBlock(RecordBlock block) override { inner_->FreeBlock(block); }

  long get_item_calls = 0;
  long read_group_calls = 0;
  long write_group_calls = 0;

 private:
  PriceLibrary* inner_;
};

// The records of a database's groups held in memory, found through a flat hash. A first
// comparison notes its answers; a later one that asks for the same codes in the same order
// gets them back one after the other, so that it times the program's own work and next to
// nothing of the library's. Codes are parsed by the library the records were read from.
class MemoryLibrary : public PriceLibrary {
 public:
  explicit MemoryLibrary(PriceLibrary* source) : source_(source) {}

  // Copies the group of code from the source library.
  void AddGroup(Code code) {
    RecordBlock block = nullptr;
    int n = 0;
    source_->ReadGroup(code, &block, &n);
    if (block) {
      const PriceItem* records = source_->LockBlock(block);
      if (records) records_.insert(records_.end(), records, records + n);
      source_->UnlockBlock(block);
      source_->FreeBlock(block);
    }
  }
  bool BuildIndex() { return index_.Build(records_.data(), records_.size()); }
  void Record() { recording_ = true; }
  void Replay() {
    recording_ = false;
    next_ = 0;
  }

  int InitDatabase(const char*) override { return 1; }
  Code ParseItemCode(const char* text) override { return source_->ParseItemCode(text); }
  int GetItem(Code code, PriceItem* out) override {
    if (next_ < answers_.size() && answers_[next_].code == code) {
      int found = found_[next_];
      if (found) *out = answers_[next_];
      next_++;
      return found;
    }
    size_t k = index_.Find(records_.data(), code);
    int found = k != CodeIndex::kNone;
    if (found) *out = records_[k];
    if (recording_) {
      PriceItem answer = {};
      answer.code = code;
      answers_.push_back(found ? records_[k] : answer);
      found_.push_back(uint8_t(found));
    }
    return found;
  }
  void FormatItemCode(Code, char* out) override { out[0] = '\0'; }
  void GetLevelName(Code, int, char* out) override { out[0] = '\0'; }
  void GetUnitName(unsigned, char* out) override { out[0] = '\0'; }
  void GetSupplierName(unsigned, char* out) override { out[0] = '\0'; }
  void ReadGroup(Code, RecordBlock* block, int* count) override {
    *block = nullptr;
    *count = 0;
  }
  void WriteGroup(Code, RecordBlock, int) override {}
  RecordBlock AllocBlock(size_t) override { return nullptr; }
  RecordBlock ResizeBlock(RecordBlock, size_t) override { return nullptr; }
  PriceItem* LockBlock(RecordBlock) override { return nullptr; }
  void UnlockBlock(RecordBlock) override {}
  void FreeBlock(RecordBlock) override {}

 private:
  PriceLibrary* source_;
  std::vector<PriceItem> records_;
  CodeIndex index_;
  bool recording_ = false;
  std::vector<PriceItem> answers_;
  std::vector<uint8_t> found_;
  size_t next_ = SIZE_MAX;
};

// The loaded file and its states, freed at the end.
struct Loaded {
  PriceItem* items = nullptr;
  int count = 0;
  std::vector<ItemState> states;
  ~Loaded() { free(items); }
};

long FileBytes(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return -1;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fclose(f);
  return size;
}

bool Load(PriceLibrary* library, const char* path, Loaded* loaded, double* ms, FILE* err) {
  auto start = std::chrono::steady_clock::now();
  if (LoadUpdateFile(library, path, &loaded->items, &loaded->count) != 0) {
    fprintf(err, "costupdate-perf: cannot load %s\n", path);
    return false;
  }
  *ms = Since(start);
  loaded->states.assign(size_t(loaded->count) + 10, 0);
  return true;
}

int Shown(const Loaded& loaded) {
  int shown = 0;
  for (int i = 0; i < loaded.count; i++) shown += IsShown(loaded.states[size_t(i)], kChangeBits);
  return shown;
}

bool OpenDatabase(PriceLibrary* library, const char* dir, FILE* err) {
  if (library->InitDatabase(dir)) return true;
  fprintf(err, "costupdate-perf: cannot open the database in %s\n", dir);
  return false;
}

int LoadCommand(PriceLibrary* library, const char* path, FILE* out, FILE* err) {
  Loaded loaded;
  double ms = 0;
  if (!Load(library, path, &loaded, &ms, err)) return 1;
  long bytes = FileBytes(path);
  fprintf(out, "load_ms=%.2f items=%d bytes=%ld mb_per_s=%.1f\n", ms, loaded.count, bytes,
          ms > 0 ? double(bytes) / 1e6 / (ms / 1000) : 0.0);
  return 0;
}

int CompareCommand(PriceLibrary* library, const char* dir, const char* path, FILE* out, FILE* err) {
  CountingLibrary counting(library);
  if (!OpenDatabase(&counting, dir, err)) return 1;
  Loaded loaded;
  double load_ms = 0;
  if (!Load(&counting, path, &loaded, &load_ms, err)) return 1;
  // The first comparison reads the database; the second finds it read.
  auto start = std::chrono::steady_clock::now();
  ComputeItemStates(&counting, loaded.items, loaded.count, loaded.states.data());
  double cold_ms = Since(start);
  long calls = counting.get_item_calls;
  start = std::chrono::steady_clock::now();
  ComputeItemStates(&counting, loaded.items, loaded.count, loaded.states.data());
  double warm_ms = Since(start);
  auto rate = [](long n, double ms) { return ms > 0 ? double(n) / (ms / 1000) : 0.0; };
  fprintf(out,
          "load_ms=%.2f compare_ms=%.2f get_item_calls=%ld calls_per_s=%.0f warm_ms=%.2f "
          "warm_calls_per_s=%.0f shown=%d items=%d\n",
          load_ms, cold_ms, calls, rate(calls, cold_ms), warm_ms,
          rate(counting.get_item_calls - calls, warm_ms), Shown(loaded), loaded.count);
  return 0;
}

// The program's own share of a comparison: load, sort and change bits, with every group of
// the file's items held by an in-memory library first, so that the look-ups cost nothing.
int InMemoryCommand(PriceLibrary* library, const char* dir, const char* path, FILE* out,
                    FILE* err) {
  if (!OpenDatabase(library, dir, err)) return 1;
  MemoryLibrary memory(library);
  {
    Loaded first;
    double ms = 0;
    if (!Load(library, path, &first, &ms, err)) return 1;
    std::set<unsigned> groups;
    for (int i = 0; i < first.count; i++) {
      Code code = first.items[i].code;
      if (groups.insert(CodeGroup(code)).second) memory.AddGroup(code);
    }
    if (!memory.BuildIndex()) {
      fprintf(err, "costupdate-perf: no memory for the in-memory library\n");
      return 1;
    }
    memory.Record();
    ComputeItemStates(&memory, first.items, first.count, first.states.data());
    memory.Replay();
  }
  auto start = std::chrono::steady_clock::now();
  Loaded loaded;
  double load_ms = 0;
  if (!Load(&memory, path, &loaded, &load_ms, err)) return 1;
  auto compare_start = std::chrono::steady_clock::now();
  ComputeItemStates(&memory, loaded.items, loaded.count, loaded.states.data());
  double states_ms = Since(compare_start);
  double total_ms = Since(start);
  fprintf(out, "in_memory_ms=%.2f load_ms=%.2f states_ms=%.2f shown=%d items=%d\n", total_ms,
          load_ms, states_ms, Shown(loaded), loaded.count);
  return 0;
}

int ApplyCommand(PriceLibrary* library, const char* dir, const char* path, int overwrite_prices,
                 bool with_undo, FILE* out, FILE* err) {
  CountingLibrary counting(library);
  if (!OpenDatabase(&counting, dir, err)) return 1;
  Loaded loaded;
  double load_ms = 0;
  if (!Load(&counting, path, &loaded, &load_ms, err)) return 1;
  ComputeItemStates(&counting, loaded.items, loaded.count, loaded.states.data());
  int selected = 0;
  for (int i = 0; i < loaded.count; i++) {
    if (!IsShown(loaded.states[size_t(i)], kChangeBits)) continue;
    loaded.states[size_t(i)] |= StateSelected;
    selected++;
  }
  std::vector<uint8_t> written(size_t(loaded.count) + 1);
  int failed = 0;
  // The undo record goes where the program puts it: into the database's folder.
#ifdef _WIN32
  std::string program_dir = std::string(dir) + "\\";
#else
  std::string program_dir = std::string(dir) + "/";
#endif
  UndoSaver undo(RealDisk(), program_dir.c_str(), LocalNow());
  auto start = std::chrono::steady_clock::now();
  ApplySelectedItems(&counting, loaded.items, loaded.count, loaded.states.data(), kChangeBits,
                     overwrite_prices, &failed, written.data(), with_undo ? &undo : nullptr);
  double ms = Since(start);
  if (undo.failed()) {
    fprintf(err, "costupdate-perf: the undo record could not be saved\n");
    return 1;
  }
  long items_written = 0;
  for (uint8_t w : written) items_written += w;
  fprintf(out,
          "apply_ms=%.2f selected=%d written=%ld failed_groups=%d read_group_calls=%ld "
          "write_group_calls=%ld\n",
          ms, selected, items_written, failed, counting.read_group_calls,
          counting.write_group_calls);
  return failed ? 1 : 0;
}

// One page's drawing list at the top, middle and end of the shown items, for each setting
// of the name columns and change lines: the first paint after the load (the shown-item
// table and the library's names read then) and the slowest median of 21 further paints.
int PaintCommand(PriceLibrary* library, const char* dir, const char* path, FILE* out, FILE* err) {
  if (!OpenDatabase(library, dir, err)) return 1;
  Loaded loaded;
  double load_ms = 0;
  if (!Load(library, path, &loaded, &load_ms, err)) return 1;
  ComputeItemStates(library, loaded.items, loaded.count, loaded.states.data());
  const char* const kPlaces[] = {"top", "middle", "end"};
  double first_us = 0;
  double slowest[3] = {0, 0, 0};
  std::vector<DrawOp> ops;
  for (int setting = 0; setting < 4; setting++) {
    GridData grid;
    grid.items = loaded.items;
    grid.count = loaded.count;
    grid.states = loaded.states.data();
    grid.item_name_columns = setting & 1;
    grid.show_changes = setting >> 1;
    ShownItems shown;
    ViewState view;
    view.page_rows = kPageRows;
    auto start = std::chrono::steady_clock::now();
    BuildGridPaint(grid, view, &shown, library, kPaintRight, &ops);
    double us = Since(start) * 1000;
    if (us > first_us) first_us = us;
    int count = shown.Count(grid);
    for (int place = 0; place < 3; place++) {
      view.top_ordinal = place == 0 ? 0 : place == 1 ? count / 2 : std::max(0, count - kPageRows);
      std::vector<double> times;
      for (int run = 0; run < 21; run++) {
        start = std::chrono::steady_clock::now();
        BuildGridPaint(grid, view, &shown, library, kPaintRight, &ops);
        times.push_back(Since(start) * 1000);
      }
      std::sort(times.begin(), times.end());
      slowest[place] = std::max(slowest[place], times[times.size() / 2]);
    }
  }
  fprintf(out, "first_paint_us=%.0f", first_us);
  for (int place = 0; place < 3; place++)
    fprintf(out, " paint_us_%s=%.0f", kPlaces[place], slowest[place]);
  fprintf(out, " ops=%zu\n", ops.size());
  return 0;
}

}  // namespace

int RunPerf(int argc, const char* const* argv, const PerfLibraryOpener& open_library, FILE* out,
            FILE* err) {
  std::string command = argc > 0 ? argv[0] : "";
  bool load = command == "load" && argc == 2;
  bool compare = command == "compare" && argc == 3;
  bool apply = command == "apply" && argc >= 3;
  int overwrite_prices = 0;
  bool with_undo = false;
  for (int i = 3; apply && i < argc; i++) {
    if (!strcmp(argv[i], "--overwrite-prices"))
      overwrite_prices = 1;
    else if (!strcmp(argv[i], "--undo"))
      with_undo = true;
    else
      apply = false;
  }
  bool paint = command == "paint" && argc == 3;
  bool in_memory = command == "in-memory" && argc == 3;
  if (!load && !compare && !apply && !paint && !in_memory) {
    fputs(kUsage, err);
    return 2;
  }
  std::string error;
  PriceLibrary* library = open_library(&error);
  if (!library) {
    fprintf(err, "costupdate-perf: %s\n", error.c_str());
    return 1;
  }
  if (load) return LoadCommand(library, argv[1], out, err);
  if (compare) return CompareCommand(library, argv[1], argv[2], out, err);
  if (paint) return PaintCommand(library, argv[1], argv[2], out, err);
  if (in_memory) return InMemoryCommand(library, argv[1], argv[2], out, err);
  return ApplyCommand(library, argv[1], argv[2], overwrite_prices, with_undo, out, err);
}
