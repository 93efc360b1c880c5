// The benchmark's data: every item decided by the seed and its number, fields in code page 932.
#include "perf/scenario.h"

#include <cstdio>
#include <cstring>

namespace {

// Material names and notes of the kind found in unit-price lists.
const char* const kNames[] = {
    "異形棒鋼",           "普通合板",           "型枠用合板", "生コンクリート", "砕石",
    "再生砕石",           "硬質塩化ビニル管",   "鋳鉄管",     "ヒューム管",     "Ｕ形側溝",
    "アスファルト混合物", "鉄筋コンクリート管", "ボルト",     "溶接金網",       "ＰＣ鋼より線",
};
const char* const kNotes[] = {"JIS G3112 SD", "JAS 1類 t=", "呼び強度 ", "RC-",
                              "VP ",          "M",          "φ",         "ストランド "};
const size_t kNameCount = sizeof kNames / sizeof kNames[0];
const size_t kNoteCount = sizeof kNotes / sizeof kNotes[0];
const int kFields = 7;

// splitmix64: a well-mixed 64-bit value from any input.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

void SetText(char* field, size_t size, const char* format, const char* text, unsigned number) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, format, text, number);
  size_t n = strlen(buffer);
  // Stays within the 30 bytes an update-file field keeps, on a whole character.
  if (n > 30) n = 30;
  memset(field, 0, size);
  memcpy(field, buffer, n);
}

}  // namespace

Scenario::Scenario(uint64_t seed, size_t items, unsigned groups, Shares shares)
    : seed_(seed),
      items_(items),
      groups_(groups ? groups : 1),
      per_group_((items + groups_ - 1) / groups_),
      shares_(shares) {
  if (per_group_ == 0) per_group_ = 1;
}

uint64_t Scenario::Random(size_t i, unsigned salt) const {
  return Mix(seed_ ^ Mix(uint64_t(i) * 16 + salt));
}

Code Scenario::CodeOf(size_t i) const {
  size_t g = i / per_group_, r = i % per_group_;
  // Categories from 3 up with large items 0 to 99, codes rising with r inside a group.
  return MakeCode(3 + unsigned(g / 100), unsigned(g % 100), unsigned(r / 1000),
                  unsigned(r / 10 % 100), unsigned(r % 10 + 1));
}

ItemFate Scenario::Fate(size_t i) const {
  unsigned u = unsigned(Random(i, 0) % 10000);
  if (u < shares_.new_items) return ItemFate::kNew;
  if (u < shares_.new_items + shares_.changed_items) return ItemFate::kChanged;
  return ItemFate::kEqual;
}

PriceItem Scenario::FileItem(size_t i) const {
  PriceItem item;
  memset(&item, 0, sizeof item);
  item.code = CodeOf(i);
  uint64_t r = Random(i, 1);
  SetText(item.material_name, sizeof item.material_name, "%s %u", kNames[r % kNameCount],
          unsigned(10 + r / 16 % 90));
  SetText(item.material_note, sizeof item.material_note, "%s%u", kNotes[r / 1024 % kNoteCount],
          unsigned(100 + r / 65536 % 900));
  uint64_t p = Random(i, 2);
  item.execution_price = uint32_t(100 + p % 500000);
  item.estimate_price = item.execution_price + uint32_t(p / 1000000 % 20000);
  item.unit_code = uint8_t(1 + p / 4000000000 % 40);
  item.work_type = uint16_t(100 + p / 1000 % 300);
  item.supplier_code = uint16_t(p / 100000 % 500);
  return item;
}

ItemState Scenario::ExpectedState(size_t i) const {
  switch (Fate(i)) {
    case ItemFate::kNew:
      return kNewItemState;
    case ItemFate::kEqual:
      return 0;
    case ItemFate::kChanged:
      break;
  }
  uint64_t r = Random(i, 3);
  int first = int(r % kFields);
  ItemState state = ItemState(1u << first);
  // Every other changed item differs in a second field too.
  if (r / 8 % 2) state |= ItemState(1u << ((first + 1 + int(r / 16 % (kFields - 1))) % kFields));
  return state;
}

PriceItem Scenario::DatabaseItem(size_t i) const {
  PriceItem item = FileItem(i);
  ItemState changes = Fate(i) == ItemFate::kChanged ? ExpectedState(i) : 0;
  uint64_t r = Random(i, 4);
  if (changes & ChangeMaterialName) {
    // Another material: the texts differ in their double-byte characters, not only in case.
    SetText(item.material_name, sizeof item.material_name, "%s %u",
            kNames[(Random(i, 1) + 1 + r % (kNameCount - 1)) % kNameCount],
            unsigned(10 + Random(i, 1) / 16 % 90));
  }
  if (changes & ChangeMaterialNote) {
    uint64_t n = Random(i, 1);
    SetText(item.material_note, sizeof item.material_note, "%s%u", kNotes[n / 1024 % kNoteCount],
            unsigned(100 + (n / 65536 + 1) % 900));
  }
  if (changes & ChangeExecutionPrice) item.execution_price += uint32_t(1 + r % 999);
  if (changes & ChangeEstimatePrice) item.estimate_price += uint32_t(1 + r / 1000 % 999);
  if (changes & ChangeUnit) item.unit_code = uint8_t(item.unit_code % 40 + 1);
  if (changes & ChangeWorkType) item.work_type = uint16_t(item.work_type + 1);
  if (changes & ChangeSupplier) item.supplier_code = uint16_t(item.supplier_code + 1);
  return item;
}

std::string Scenario::FileText(size_t count, size_t step) const {
  if (step == 0) step = 1;
  if (count > items_) count = items_;
  std::string text = "単価アップデートファイル\r\n";
  text.reserve(count / step * 80);
  for (size_t i = 0; i < count; i += step) {
    text += ItemLine(FileItem(i));
    text += "\r\n";
  }
  return text;
}

void Scenario::DatabaseGroups(std::vector<std::vector<PriceItem>>* groups) const {
  groups->assign(groups_, std::vector<PriceItem>());
  for (size_t i = 0; i < items_; i++)
    if (Fate(i) != ItemFate::kNew) (*groups)[i / per_group_].push_back(DatabaseItem(i));
}

std::string ItemLine(const PriceItem& item) {
  const Code code = item.code;
  char line[256];
  snprintf(line, sizeof line, "%u-%02u-%04u-%04u-%04u,%.31s,%.32s,%u,%u,%u,%u,%u",
           CodeCategory(code), CodeLargeItem(code), CodeMiddleItem(code), CodeSmallItem(code),
           CodeSubNumber(code), item.material_name, item.material_note,
           unsigned(item.execution_price), unsigned(item.estimate_price), unsigned(item.unit_code),
           unsigned(item.work_type), unsigned(item.supplier_code));
  return line;
}
