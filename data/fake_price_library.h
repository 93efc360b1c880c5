// An in-memory PriceLibrary for tests and benchmarks, with switches that make it misbehave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "data/price_item.h"
#include "data/price_library.h"

class FakePriceLibrary : public PriceLibrary {
 public:
  // What WriteGroup does with the block it is given.
  enum class WriteFault {
    kNone,          // stores the block's records
    kStoreNothing,  // returns without touching the database
    kStoreAltered,  // stores the records, but with the first one's execution price changed
  };

  // The database: one record per code. ReadGroup hands a group out in code order.
  std::map<Code, PriceItem> records;
  std::map<unsigned, std::string> unit_names;
  std::map<unsigned, std::string> supplier_names;
  // Keyed by the code with the parts below the level cleared (see LevelKey).
  std::map<Code, std::string> level_names;

  std::string program_dir;
  int init_result = 1;

  // Calls seen, for checking how often the code under test reaches the library.
  int get_item_calls = 0;
  int read_group_calls = 0;
  int write_group_calls = 0;
  int alloc_calls = 0;
  int resize_calls = 0;
  // Blocks handed out (by AllocBlock, ResizeBlock or ReadGroup) and not yet freed.
  int live_blocks = 0;
  // Resize, free or WriteGroup on a block that is still locked; the Windows library's
  // movable blocks must be unlocked for these.
  int locked_misuse = 0;

  WriteFault write_fault = WriteFault::kNone;
  // The group (top 16 bits of a code) the write fault applies to; -1 for every group.
  int write_fault_group = -1;
  // How many more AllocBlock / ResizeBlock calls succeed before every further one gives
  // null; -1 for no limit.
  int allocs_left = -1;
  int resizes_left = -1;

  FakePriceLibrary() {}
  FakePriceLibrary(const FakePriceLibrary&) = delete;
  FakePriceLibrary& operator=(const FakePriceLibrary&) = delete;

  // Stores a copy of item under its code.
  void Put(const PriceItem& item) {
    Code code = item.code;  // the packed field may be misaligned for a reference
    records[code] = item;
  }

  // The stored record of code, or null.
  const PriceItem* Find(Code code) const {
    auto it = records.find(code);
    return it == records.end() ? nullptr : &it->second;
  }

  // The key of level_names for code at level 0 (large), 1 (middle) or 2 (small item).
  static Code LevelKey(Code code, int level) {
    int keep = level <= 0 ? 48 : level == 1 ? 32 : 16;
    return code & ~((Code(1) << keep) - 1);
  }

  int InitDatabase(const char* dir) override {
    program_dir = dir ? dir : "";
    return init_result;
  }

  // Five decimal numbers joined by '-': category 1..255, large 0..255, middle, small and
  // sub-number 0..65535, nothing before, between or after. Anything else gives 0.
  Code ParseItemCode(const char* text) override {
    static const unsigned kMin[5] = {1, 0, 0, 0, 0};
    static const unsigned kMax[5] = {255, 255, 65535, 65535, 65535};
    unsigned part[5];
    const char* p = text;
    for (int i = 0; i < 5; i++) {
      if (i > 0) {
        if (*p != '-') return 0;
        p++;
      }
      unsigned value = 0;
      int digits = 0;
      while (*p >= '0' && *p <= '9') {
        if (value > 65535) return 0;  // stops the value before it can wrap
        value = value * 10 + unsigned(*p - '0');
        p++;
        digits++;
      }
      if (digits == 0 || value < kMin[i] || value > kMax[i]) return 0;
      part[i] = value;
    }
    if (*p != '\0') return 0;
    return MakeCode(part[0], part[1], part[2], part[3], part[4]);
  }

  int GetItem(Code code, PriceItem* out) override {
    get_item_calls++;
    const PriceItem* item = Find(code);
    if (!item) return 0;
    *out = *item;
    return 1;
  }

  void FormatItemCode(Code code, char* out) override {
    snprintf(out, kLibraryTextSize, "%u-%02u-%04u-%04u-%04u", CodeCategory(code),
             CodeLargeItem(code), CodeMiddleItem(code), CodeSmallItem(code), CodeSubNumber(code));
  }

  void GetLevelName(Code code, int level, char* out) override {
    auto it = level_names.find(LevelKey(code, level));
    CopyText(it == level_names.end() ? "" : it->second.c_str(), out);
  }

  void GetUnitName(unsigned unit_code, char* out) override {
    auto it = unit_names.find(unit_code);
    CopyText(it == unit_names.end() ? "" : it->second.c_str(), out);
  }

  void GetSupplierName(unsigned supplier_code, char* out) override {
    auto it = supplier_names.find(supplier_code);
    CopyText(it == supplier_names.end() ? "" : it->second.c_str(), out);
  }

  // The group's records in code order in a new block, or a null block and 0 when the
  // group is empty. Not subject to the allocation switches.
  void ReadGroup(Code code, RecordBlock* block, int* count) override {
    read_group_calls++;
    *block = nullptr;
    *count = 0;
    unsigned group = CodeGroup(code);
    int n = 0;
    for (const auto& r : records)
      if (CodeGroup(r.first) == group) n++;
    if (n == 0) return;
    Block* b = NewBlock(size_t(n) * sizeof(PriceItem));
    if (!b) return;
    PriceItem* out = b->Items();
    for (const auto& r : records)
      if (CodeGroup(r.first) == group) *out++ = r.second;
    *block = b;
    *count = n;
  }

  // Replaces the group's records by the first count records of the block, each stored
  // under its own code (so a record of another group lands in that group).
  void WriteGroup(Code code, RecordBlock block, int count) override {
    write_group_calls++;
    Block* b = static_cast<Block*>(block);
    if (b && b->locks > 0) locked_misuse++;
    unsigned group = CodeGroup(code);
    bool faulty = write_fault_group < 0 || unsigned(write_fault_group) == group;
    if (faulty && write_fault == WriteFault::kStoreNothing) return;
    for (auto it = records.begin(); it != records.end();) {
      if (CodeGroup(it->first) == group)
        it = records.erase(it);
      else
        ++it;
    }
    if (!b || count <= 0) return;
    size_t n = size_t(count);
    if (n > b->size / sizeof(PriceItem)) n = b->size / sizeof(PriceItem);
    const PriceItem* in = b->Items();
    for (size_t i = 0; i < n; i++) {
      PriceItem item = in[i];
      if (i == 0 && faulty && write_fault == WriteFault::kStoreAltered) item.execution_price++;
      records[item.code] = item;
    }
  }

  RecordBlock AllocBlock(size_t bytes) override {
    alloc_calls++;
    if (allocs_left == 0) return nullptr;
    if (allocs_left > 0) allocs_left--;
    return NewBlock(bytes);
  }

  // Grows or shrinks the block, keeping its contents and zero-filling new bytes.
  RecordBlock ResizeBlock(RecordBlock block, size_t bytes) override {
    resize_calls++;
    Block* b = static_cast<Block*>(block);
    if (!b) return nullptr;
    if (b->locks > 0) locked_misuse++;
    if (resizes_left == 0) return nullptr;
    if (resizes_left > 0) resizes_left--;
    if (bytes > kMaxBlockBytes) return nullptr;
    size_t old = b->size;
    Block* grown = static_cast<Block*>(realloc(b, sizeof(Block) + bytes));
    if (!grown) return nullptr;
    if (bytes > old) memset(grown->Bytes() + old, 0, bytes - old);
    grown->size = bytes;
    return grown;
  }

  PriceItem* LockBlock(RecordBlock block) override {
    Block* b = static_cast<Block*>(block);
    if (!b) return nullptr;
    b->locks++;
    return b->Items();
  }

  void UnlockBlock(RecordBlock block) override {
    Block* b = static_cast<Block*>(block);
    if (b && b->locks > 0) b->locks--;
  }

  void FreeBlock(RecordBlock block) override {
    Block* b = static_cast<Block*>(block);
    if (!b) return;
    if (b->locks > 0) locked_misuse++;
    live_blocks--;
    free(b);
  }

  // The size in bytes that a block was last given.
  static size_t BlockSize(RecordBlock block) {
    return block ? static_cast<Block*>(block)->size : 0;
  }

 private:
  // Larger requests fail, as they would on a real machine, instead of aborting under a
  // sanitizer: 4 GB, or half the address space of a 32-bit process.
  static const size_t kMaxBlockBytes = sizeof(size_t) > 4 ? size_t(uint64_t(1) << 32)
                                                          : SIZE_MAX / 2;

  // A header followed by the block's bytes; a handle is the header's address.
  struct Block {
    size_t size;
    int locks;
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(this) + sizeof(Block); }
    PriceItem* Items() { return reinterpret_cast<PriceItem*>(Bytes()); }
  };
  static_assert(sizeof(Block) % 8 == 0, "records after the header stay aligned");

  Block* NewBlock(size_t bytes) {
    if (bytes > kMaxBlockBytes) return nullptr;
    Block* b = static_cast<Block*>(calloc(1, sizeof(Block) + bytes));
    if (!b) return nullptr;
    b->size = bytes;
    live_blocks++;
    return b;
  }

  static void CopyText(const char* text, char* out) { snprintf(out, kLibraryTextSize, "%s", text); }
};
