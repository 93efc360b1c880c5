// libFuzzer target: any bytes as an update file, read whole and in pieces, checked against
// a line-by-line reading and for the loader's promises, then compared with a database.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "data/fake_price_library.h"
#include "data/item_compare.h"
#include "data/item_sort.h"
#include "data/line_scan.h"
#include "data/update_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The file LoadUpdateFile reads, one for the whole run: in memory where there is a tmpfs,
// as rewriting a file on disk costs more than all the rest, and removed at once, so that
// nothing is left behind however the run ends; the loader opens it through its descriptor.
int ScratchFile() {
  static int fd = [] {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
    std::string p = std::string(dir && *dir ? dir : "/tmp") + "/update_file_fuzz.XXXXXX";
    int f = mkstemp(&p[0]);
    Check(f >= 0);
    unlink(p.c_str());
    return f;
  }();
  return fd;
}

std::string ScratchPath() { return "/proc/self/fd/" + std::to_string(ScratchFile()); }

void WriteScratch(const std::string& text) {
  Check(ftruncate(ScratchFile(), 0) == 0);
  Check(pwrite(ScratchFile(), text.data(), text.size(), 0) == ssize_t(text.size()));
}

// The items as the format describes them, one line at a time through ReadLine, GetField
// and ParseDecimal, in file order.
std::vector<PriceItem> ReadByLines(PriceLibrary* library, const char* text) {
  std::vector<PriceItem> items;
  char line[kLineBufferSize], field[kLineBufferSize];
  for (size_t used; (used = ReadLine(text, line)) > 0; text += used) {
    GetField(line, 0, field);
    Code code = library->ParseItemCode(field);
    if (CodeCategory(code) == 0) continue;
    PriceItem r;
    memset(&r, 0, sizeof r);
    r.code = code;
    GetField(line, 1, field);
    strncpy(r.material_name, field, 30);
    r.material_name[30] = '\0';
    GetField(line, 2, field);
    strncpy(r.material_note, field, 30);
    r.material_note[30] = '\0';
    GetField(line, 3, field);
    r.execution_price = ParseDecimal(field);
    GetField(line, 4, field);
    r.estimate_price = ParseDecimal(field);
    GetField(line, 5, field);
    r.unit_code = uint8_t(ParseDecimal(field));
    GetField(line, 6, field);
    r.work_type = uint16_t(ParseDecimal(field));
    GetField(line, 7, field);
    r.supplier_code = uint16_t(ParseDecimal(field));
    items.push_back(r);
  }
  return items;
}

// The loader's order: by CompareCodes, the later line first among equals, one record per
// code (the one of its last line).
std::vector<PriceItem> Sorted(const std::vector<PriceItem>& in) {
  std::vector<PriceItem> out;
  std::set<Code> seen;
  for (size_t i = in.size(); i-- > 0;)
    if (seen.insert(Code(in[i].code)).second) out.push_back(in[i]);
  std::stable_sort(out.begin(), out.end(), [](const PriceItem& a, const PriceItem& b) {
    return CompareCodes(a.code, b.code) < 0;
  });
  return out;
}

bool IsZero(const PriceItem& r) {
  static const PriceItem zero = {};
  return memcmp(&r, &zero, sizeof r) == 0;
}

// A text field holds its NUL and nothing after it.
bool TextField(const char* field, size_t size) {
  const char* end = static_cast<const char*>(memchr(field, '\0', size));
  if (!end || end - field > 30) return false;
  for (const char* p = end; p < field + size; p++)
    if (*p != '\0') return false;
  return true;
}

void CheckItems(const PriceItem* items, int count) {
  Check(count >= 0);
  std::set<Code> codes;
  for (int i = 0; i < count; i++) {
    const PriceItem& r = items[i];
    Check(CodeCategory(r.code) != 0);
    Check(codes.insert(Code(r.code)).second);
    if (i > 0) Check(CompareCodes(items[i - 1].code, r.code) <= 0);
    Check(TextField(r.material_name, sizeof r.material_name));
    Check(TextField(r.material_note, sizeof r.material_note));
  }
  // The count is where the first zero record is.
  Check(IsZero(items[count]));
}

}  // namespace

// The first byte chooses the size of the pieces the file is read in: 1 to 255 bytes, or for
// 0xFF the whole file in one piece, as the program's 1 MB pieces read any file this small
// (a 1 MB buffer would cost more than all the rest of a run); the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t chunk = data[0] < 0xFF ? size_t(data[0]) + 1 : size;
  std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
  const char* text = file.c_str();  // ends at its first NUL, as the file does
  FakePriceLibrary library;
  PriceItem* items = nullptr;
  int count = 0;
  Check(ParseUpdateText(&library, text, &items, &count) == 0);
  CheckItems(items, count);
  std::vector<PriceItem> expected = Sorted(ReadByLines(&library, text));
  Check(size_t(count) == expected.size());
  for (int i = 0; i < count; i++)
    Check(memcmp(&items[i], &expected[size_t(i)], sizeof(PriceItem)) == 0);

  WriteScratch(file);
  PriceItem* loaded = nullptr;
  int loaded_count = -1;
  Check(LoadUpdateFile(&library, ScratchPath().c_str(), &loaded, &loaded_count, chunk) == 0);
  Check(loaded_count == count);
  Check(memcmp(loaded, items, (size_t(count) + 1) * sizeof(PriceItem)) == 0);
  free(loaded);
  // The same file in two halves on two threads, wherever it has a line start to split at.
  loaded = nullptr;
  loaded_count = -1;
  Check(LoadUpdateFile(&library, ScratchPath().c_str(), &loaded, &loaded_count, chunk, nullptr,
                       1) == 0);
  Check(loaded_count == count);
  Check(memcmp(loaded, items, (size_t(count) + 1) * sizeof(PriceItem)) == 0);
  free(loaded);

  // Every item the database holds unchanged is no change; every other one is.
  for (int i = 0; i < count; i += 2) library.Put(items[i]);
  std::vector<ItemState> states(size_t(count) + 10, 0xFFFF);
  ComputeItemStates(&library, items, count, states.data());
  for (int i = 0; i < count; i++) Check(states[size_t(i)] == (i % 2 == 0 ? 0 : kNewItemState));
  free(items);
  return 0;
}
