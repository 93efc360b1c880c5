// The estimating database library's operations, as the core calls them.
#pragma once

#include <cstddef>

#include "data/price_item.h"

// A resizable block of PriceItems exchanged with ReadGroup/WriteGroup. On Windows it is
// a movable global memory handle; natively it is whatever the implementation allocates.
typedef void* RecordBlock;

// Text outputs are NUL-terminated code page 932 in a caller buffer of 256 bytes.
const int kLibraryTextSize = 256;

class PriceLibrary {
 public:
  virtual ~PriceLibrary() {}

  virtual int InitDatabase(const char* program_dir) = 0;
  // Category (top byte) is 0 exactly when the text is no item code.
  virtual Code ParseItemCode(const char* text) = 0;
  // Nonzero when found; out then holds the stored record.
  virtual int GetItem(Code code, PriceItem* out) = 0;
  virtual void FormatItemCode(Code code, char* out) = 0;
  // level: 0 large, 1 middle, 2 small item.
  virtual void GetLevelName(Code code, int level, char* out) = 0;
  virtual void GetUnitName(unsigned unit_code, char* out) = 0;
  virtual void GetSupplierName(unsigned supplier_code, char* out) = 0;
  // Every stored record of the code's group (top 16 bits), or a null block and 0.
  virtual void ReadGroup(Code code, RecordBlock* block, int* count) = 0;
  // Replaces the group's stored records by the first count records of the block.
  virtual void WriteGroup(Code code, RecordBlock block, int count) = 0;

  // Block memory of the same kind the library hands out. Allocation and growth zero-fill;
  // both give null on failure (a failed resize leaves the old block valid).
  virtual RecordBlock AllocBlock(size_t bytes) = 0;
  virtual RecordBlock ResizeBlock(RecordBlock block, size_t bytes) = 0;
  virtual PriceItem* LockBlock(RecordBlock block) = 0;
  virtual void UnlockBlock(RecordBlock block) = 0;
  virtual void FreeBlock(RecordBlock block) = 0;
};
