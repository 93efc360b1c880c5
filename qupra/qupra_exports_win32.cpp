// The exports of QUPRA.dll, by ordinal only: the C interface over one process-wide PriceStore.
#include <windows.h>

#include <cstring>
#include <type_traits>
#include <vector>

#include "data/qupra_abi.h"
#include "qupra/code_text.h"
#include "qupra/price_store.h"

namespace {

// Opened by InitDatabase; until then every call gives an empty result.
PriceStore g_store;
// The store's cache is not thread-safe, while callers of a DLL may use several threads.
SRWLOCK g_lock = SRWLOCK_INIT;

class StoreLock {
 public:
  StoreLock() { AcquireSRWLockExclusive(&g_lock); }
  ~StoreLock() { ReleaseSRWLockExclusive(&g_lock); }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
};

bool IsSixteenBit(int value) { return value >= 0 && value <= 0xFFFF; }

}  // namespace

// Named apart from the portable functions they wrap; qupra.def exports them by ordinal only.
extern "C" {

int QUPRA_CALL ExportInitDatabase(const char* program_dir) {
  StoreLock lock;
  return g_store.Open(program_dir) ? 1 : 0;
}

int QUPRA_CALL ExportGetItem(uint32_t code_low, uint32_t code_high, PriceItem* out) {
  StoreLock lock;
  return g_store.GetItem(CodeFromHalves(code_low, code_high), out) ? 1 : 0;
}

int QUPRA_CALL ExportGetLevelName(uint32_t code_low, uint32_t code_high, int level, char* out) {
  StoreLock lock;
  return g_store.GetLevelName(CodeFromHalves(code_low, code_high), level, out) ? 1 : 0;
}

void QUPRA_CALL ExportReadGroup(uint32_t code_low, uint32_t code_high, int, void** block,
                                int* count) {
  if (block) *block = nullptr;
  if (count) *count = 0;
  if (!block || !count) return;
  StoreLock lock;
  // The records go from the store's memory straight into the caller's block.
  g_store.ReadGroup(CodeFromHalves(code_low, code_high), [&](const PriceItem* items, size_t n) {
    if (n == 0) return true;
    if (n > 0x7FFFFFFF / sizeof(PriceItem)) return false;
    size_t bytes = n * sizeof(PriceItem);
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!handle) return false;
    void* records = GlobalLock(handle);
    if (!records) {
      GlobalFree(handle);
      return false;
    }
    std::memcpy(records, items, bytes);
    GlobalUnlock(handle);
    *block = handle;
    *count = int(n);
    return true;
  });
}

void QUPRA_CALL ExportWriteGroup(uint32_t code_low, uint32_t code_high, int, void* block,
                                 int count) {
  Code code = CodeFromHalves(code_low, code_high);
  if (count < 0) return;
  StoreLock lock;
  if (count == 0) {
    g_store.WriteGroup(code, nullptr, 0);
    return;
  }
  HGLOBAL handle = static_cast<HGLOBAL>(block);
  // A count beyond the block would read past its end.
  if (!handle || GlobalSize(handle) < size_t(count) * sizeof(PriceItem)) return;
  const PriceItem* records = static_cast<const PriceItem*>(GlobalLock(handle));
  if (!records) return;
  g_store.WriteGroup(code, records, size_t(count));
  GlobalUnlock(handle);
}

uint64_t QUPRA_CALL ExportParseItemCode(const char* text) { return ::ParseItemCode(text); }

int QUPRA_CALL ExportFormatItemCode(uint32_t code_low, uint32_t code_high, char* out) {
  if (!out) return 0;
  ::FormatItemCode(CodeFromHalves(code_low, code_high), out);
  return out[0] != '\0';
}

int QUPRA_CALL ExportGetSupplierName(int supplier_code, char* out) {
  if (!IsSixteenBit(supplier_code)) {
    if (out) out[0] = '\0';
    return 0;
  }
  StoreLock lock;
  return g_store.GetSupplierName(unsigned(supplier_code), out) ? 1 : 0;
}

int QUPRA_CALL ExportGetUnitName(int unit_code, char* out) {
  if (!IsSixteenBit(unit_code)) {
    if (out) out[0] = '\0';
    return 0;
  }
  StoreLock lock;
  return g_store.GetUnitName(unsigned(unit_code), out) ? 1 : 0;
}

}  // extern "C"

// The callers bind these through the types of qupra_abi.h: the signatures must match.
static_assert(std::is_same<decltype(&ExportInitDatabase), QupraInitDatabase>::value, "");
static_assert(std::is_same<decltype(&ExportGetItem), QupraGetItem>::value, "");
static_assert(std::is_same<decltype(&ExportGetLevelName), QupraGetLevelName>::value, "");
static_assert(std::is_same<decltype(&ExportReadGroup), QupraReadGroup>::value, "");
static_assert(std::is_same<decltype(&ExportWriteGroup), QupraWriteGroup>::value, "");
static_assert(std::is_same<decltype(&ExportParseItemCode), QupraParseItemCode>::value, "");
static_assert(std::is_same<decltype(&ExportFormatItemCode), QupraFormatItemCode>::value, "");
static_assert(std::is_same<decltype(&ExportGetSupplierName), QupraGetSupplierName>::value, "");
static_assert(std::is_same<decltype(&ExportGetUnitName), QupraGetUnitName>::value, "");
