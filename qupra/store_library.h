// PriceLibrary over a PriceStore, for native programs and tests: record blocks from malloc.
#pragma once

#include "data/price_library.h"
#include "qupra/price_store.h"

class StoreLibrary : public PriceLibrary {
 public:
  explicit StoreLibrary(OpenMode mode = OpenMode::kReadWrite);

  // Opens qupra.db in program_dir: 1 on success, 0 when it cannot be opened or created.
  int InitDatabase(const char* program_dir) override;
  Code ParseItemCode(const char* text) override;
  int GetItem(Code code, PriceItem* out) override;
  void FormatItemCode(Code code, char* out) override;
  void GetLevelName(Code code, int level, char* out) override;
  void GetUnitName(unsigned unit_code, char* out) override;
  void GetSupplierName(unsigned supplier_code, char* out) override;
  void ReadGroup(Code code, RecordBlock* block, int* count) override;
  // Refused, nothing changed, when count is negative or exceeds the block.
  void WriteGroup(Code code, RecordBlock block, int count) override;

  RecordBlock AllocBlock(size_t bytes) override;
  RecordBlock ResizeBlock(RecordBlock block, size_t bytes) override;
  PriceItem* LockBlock(RecordBlock block) override;
  void UnlockBlock(RecordBlock block) override;
  void FreeBlock(RecordBlock block) override;

  // Size in bytes of a block from AllocBlock or ResizeBlock; 0 for null.
  size_t BlockSize(RecordBlock block) const;
  // Whether the last WriteGroup reached the database.
  bool last_write_ok() const { return last_write_ok_; }
  PriceStore& store() { return store_; }

 private:
  PriceStore store_;
  OpenMode mode_;
  bool last_write_ok_ = false;
};
