// The 84-byte price record shared with the database library, its code fields and item states.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint64_t Code;

inline unsigned CodeCategory(Code c) { return unsigned(c >> 56) & 0xFF; }
inline unsigned CodeLargeItem(Code c) { return unsigned(c >> 48) & 0xFF; }
inline unsigned CodeMiddleItem(Code c) { return unsigned(c >> 32) & 0xFFFF; }
inline unsigned CodeSmallItem(Code c) { return unsigned(c >> 16) & 0xFFFF; }
inline unsigned CodeSubNumber(Code c) { return unsigned(c) & 0xFFFF; }
// The database group that ReadGroup/WriteGroup move as a whole: CodeCategory and CodeLargeItem.
inline unsigned CodeGroup(Code c) { return unsigned(c >> 48) & 0xFFFF; }
inline Code MakeCode(unsigned category, unsigned large, unsigned middle, unsigned small,
                     unsigned sub) {
  return (Code(category & 0xFF) << 56) | (Code(large & 0xFF) << 48) |
         (Code(middle & 0xFFFF) << 32) | (Code(small & 0xFFFF) << 16) | Code(sub & 0xFFFF);
}
inline uint32_t CodeLow(Code c) { return uint32_t(c); }
inline uint32_t CodeHigh(Code c) { return uint32_t(c >> 32); }
inline Code CodeFromHalves(uint32_t low, uint32_t high) { return (Code(high) << 32) | low; }

#pragma pack(push, 1)
struct PriceItem {
  Code code;
  char material_name[31];
  uint8_t unit_code;
  uint32_t execution_price;
  uint32_t estimate_price;
  uint16_t work_type;
  uint16_t supplier_code;
  char material_note[32];
};
#pragma pack(pop)

static_assert(sizeof(PriceItem) == 84, "PriceItem is the library's record");
static_assert(offsetof(PriceItem, code) == 0, "");
static_assert(offsetof(PriceItem, material_name) == 8, "");
static_assert(offsetof(PriceItem, unit_code) == 39, "");
static_assert(offsetof(PriceItem, execution_price) == 40, "");
static_assert(offsetof(PriceItem, estimate_price) == 44, "");
static_assert(offsetof(PriceItem, work_type) == 48, "");
static_assert(offsetof(PriceItem, supplier_code) == 50, "");
static_assert(offsetof(PriceItem, material_note) == 52, "");

typedef uint16_t ItemState;

enum : uint16_t {
  ChangeMaterialName = 0x0001,
  ChangeMaterialNote = 0x0002,
  ChangeExecutionPrice = 0x0004,
  ChangeEstimatePrice = 0x0008,
  ChangeUnit = 0x0010,
  ChangeWorkType = 0x0020,
  ChangeSupplier = 0x0040,
  StateNew = 0x0080,
  StateApplied = 0x4000,
  StateSelected = 0x8000,
};

const uint16_t kChangeBits = 0x007F;
// State of an item the database does not hold: all seven change bits and StateNew.
const uint16_t kNewItemState = 0x00FF;

// Shown, counted and selectable: not applied, some change bit, and one the filter lets through.
inline bool IsShown(ItemState state, uint16_t kind_filter) {
  return !(state & StateApplied) && (state & kChangeBits) && (state & kind_filter & kChangeBits);
}
