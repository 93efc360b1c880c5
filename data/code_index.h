// Position of the first record with a given code in an array of records, in constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/price_item.h"

// An open-addressing table of positions keyed by the records' codes. It keeps positions,
// not pointers, so the array may move (a record block is resized) between calls; every
// call is given the array as it is now. Of several records with one code the first wins,
// as a linear scan from the front would find it.
class CodeIndex {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  CodeIndex() {}
  ~CodeIndex() { std::free(slots_); }
  CodeIndex(const CodeIndex&) = delete;
  CodeIndex& operator=(const CodeIndex&) = delete;

  // Indexes records[0, n), with room for extra more Add calls before the table grows.
  // False when memory runs out; the index is then empty.
  bool Build(const PriceItem* records, size_t n, size_t extra = 0) {
    Clear();
    if (n > kMaxRecords || extra > kMaxRecords - n || !Resize(records, n + extra)) return false;
    for (size_t i = 0; i < n; i++) Insert(records, i);
    return true;
  }

  // Position of the first indexed record with exactly this code, or kNone.
  size_t Find(const PriceItem* records, Code code) const {
    if (!slots_) return kNone;
    for (size_t s = Home(code);; s = (s + 1) & mask_) {
      uint32_t slot = slots_[s];
      if (slot == 0) return kNone;
      if (records[slot - 1].code == code) return slot - 1;
    }
  }

  // Indexes records[at], unless an indexed record has its code already. False when the
  // table cannot grow; the index is then empty.
  bool Add(const PriceItem* records, size_t at) {
    if (at >= kMaxRecords || ((used_ + 1) * 4 > (mask_ + 1) * 3 && !Resize(records, used_ + 1))) {
      Clear();
      return false;
    }
    Insert(records, at);
    return true;
  }

  void Clear() {
    std::free(slots_);
    slots_ = nullptr;
    mask_ = 0;
    used_ = 0;
  }

  size_t MemoryBytes() const { return slots_ ? (mask_ + 1) * sizeof(uint32_t) : 0; }

 private:
  // Slots hold position + 1 in 32 bits; 0 is free.
  static constexpr size_t kMaxRecords = UINT32_MAX - 1;

  size_t Home(Code code) const {
    // Codes of one group differ in their low bits only: the multiplication carries them
    // into the top bits, which pick the slot.
    return size_t((code * 0x9E3779B97F4A7C15ull) >> shift_);
  }

  void Insert(const PriceItem* records, size_t at) {
    Code code = records[at].code;
    size_t s = Home(code);
    for (; slots_[s] != 0; s = (s + 1) & mask_)
      if (records[slots_[s] - 1].code == code) return;
    slots_[s] = uint32_t(at + 1);
    used_++;
  }

  // A table at most three quarters full with records entries, the old entries moved in.
  bool Resize(const PriceItem* records, size_t records_wanted) {
    size_t size = 16;
    unsigned bits = 4;
    while (size / 4 * 3 < records_wanted) {
      if (size > SIZE_MAX / 2 / sizeof(uint32_t)) return false;
      size *= 2;
      bits++;
    }
    uint32_t* slots = static_cast<uint32_t*>(std::calloc(size, sizeof(uint32_t)));
    if (!slots) return false;
    uint32_t* old = slots_;
    size_t old_size = old ? mask_ + 1 : 0;
    slots_ = slots;
    mask_ = size - 1;
    shift_ = 64 - bits;
    used_ = 0;
    for (size_t s = 0; s < old_size; s++)
      if (old[s] != 0) Place(records, old[s]);
    std::free(old);
    return true;
  }

  // Moves an entry of the old table; its code is known to be absent.
  void Place(const PriceItem* records, uint32_t slot) {
    size_t s = Home(records[slot - 1].code);
    while (slots_[s] != 0) s = (s + 1) & mask_;
    slots_[s] = slot;
    used_++;
  }

  uint32_t* slots_ = nullptr;
  size_t mask_ = 0;
  unsigned shift_ = 63;
  size_t used_ = 0;
};
