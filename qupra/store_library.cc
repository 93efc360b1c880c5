// PriceLibrary over a PriceStore, for native programs and tests: record blocks from malloc.
#include "qupra/store_library.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qupra/code_text.h"

namespace {

// Each block starts with its size, so growth can be zero-filled; the records follow.
struct alignas(16) BlockHeader {
  size_t bytes;
};

BlockHeader* HeaderOf(RecordBlock block) { return static_cast<BlockHeader*>(block); }

bool FitsHeader(size_t bytes) { return bytes <= SIZE_MAX - sizeof(BlockHeader); }

}  // namespace

StoreLibrary::StoreLibrary(OpenMode mode) : mode_(mode) {}

int StoreLibrary::InitDatabase(const char* program_dir) {
  return store_.Open(program_dir, mode_) ? 1 : 0;
}

Code StoreLibrary::ParseItemCode(const char* text) { return ::ParseItemCode(text); }

int StoreLibrary::GetItem(Code code, PriceItem* out) { return store_.GetItem(code, out) ? 1 : 0; }

void StoreLibrary::FormatItemCode(Code code, char* out) { ::FormatItemCode(code, out); }

void StoreLibrary::GetLevelName(Code code, int level, char* out) {
  store_.GetLevelName(code, level, out);
}

void StoreLibrary::GetUnitName(unsigned unit_code, char* out) {
  store_.GetUnitName(unit_code, out);
}

void StoreLibrary::GetSupplierName(unsigned supplier_code, char* out) {
  store_.GetSupplierName(supplier_code, out);
}

void StoreLibrary::ReadGroup(Code code, RecordBlock* block, int* count) {
  if (block) *block = nullptr;
  if (count) *count = 0;
  if (!block || !count) return;
  store_.ReadGroup(code, [&](const PriceItem* records, size_t n) {
    if (n == 0) return true;
    if (n > size_t(INT32_MAX)) return false;
    RecordBlock copy = AllocBlock(n * sizeof(PriceItem));
    if (!copy) return false;
    std::memcpy(LockBlock(copy), records, n * sizeof(PriceItem));
    UnlockBlock(copy);
    *block = copy;
    *count = int(n);
    return true;
  });
}

void StoreLibrary::WriteGroup(Code code, RecordBlock block, int count) {
  last_write_ok_ = false;
  if (count < 0 || (count > 0 && !block) || size_t(count) * sizeof(PriceItem) > BlockSize(block))
    return;
  last_write_ok_ = store_.WriteGroup(code, count ? LockBlock(block) : nullptr, size_t(count));
  if (count) UnlockBlock(block);
}

RecordBlock StoreLibrary::AllocBlock(size_t bytes) {
  if (!FitsHeader(bytes)) return nullptr;
  BlockHeader* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
  if (header) header->bytes = bytes;
  return header;
}

RecordBlock StoreLibrary::ResizeBlock(RecordBlock block, size_t bytes) {
  if (!block) return AllocBlock(bytes);
  if (!FitsHeader(bytes)) return nullptr;
  size_t old_bytes = HeaderOf(block)->bytes;
  BlockHeader* header = static_cast<BlockHeader*>(std::realloc(block, sizeof(BlockHeader) + bytes));
  if (!header) return nullptr;
  if (bytes > old_bytes)
    std::memset(reinterpret_cast<char*>(header + 1) + old_bytes, 0, bytes - old_bytes);
  header->bytes = bytes;
  return header;
}

PriceItem* StoreLibrary::LockBlock(RecordBlock block) {
  return block ? reinterpret_cast<PriceItem*>(HeaderOf(block) + 1) : nullptr;
}

void StoreLibrary::UnlockBlock(RecordBlock) {}

void StoreLibrary::FreeBlock(RecordBlock block) { std::free(block); }

size_t StoreLibrary::BlockSize(RecordBlock block) const {
  return block ? HeaderOf(block)->bytes : 0;
}
