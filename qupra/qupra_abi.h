// The exported functions of QUPRA.dll with their ordinals, shared by the DLL and its callers.
#pragma once

#include <cstdint>

#include "data/price_item.h"

// A Code travels as two 32-bit halves, low half first. Text outputs take 256 bytes.
// Block handles are movable global memory (GMEM_MOVEABLE|GMEM_ZEROINIT), passed as void*.
enum QupraOrdinal {
  kOrdinalInitDatabase = 2,
  kOrdinalGetItem = 4,
  kOrdinalGetLevelName = 8,
  kOrdinalReadGroup = 14,
  kOrdinalWriteGroup = 15,
  kOrdinalParseItemCode = 19,
  kOrdinalFormatItemCode = 20,
  kOrdinalGetSupplierName = 33,
  kOrdinalGetUnitName = 40,
};

extern "C" {
typedef int (*QupraInitDatabase)(const char* program_dir);
typedef int (*QupraGetItem)(uint32_t code_low, uint32_t code_high, PriceItem* out);
typedef int (*QupraGetLevelName)(uint32_t code_low, uint32_t code_high, int level, char* out);
typedef void (*QupraReadGroup)(uint32_t code_low, uint32_t code_high, int zero, void** block,
                               int* count);
typedef void (*QupraWriteGroup)(uint32_t code_low, uint32_t code_high, int zero, void* block,
                                int count);
typedef uint64_t (*QupraParseItemCode)(const char* text);
typedef int (*QupraFormatItemCode)(uint32_t code_low, uint32_t code_high, char* out);
typedef int (*QupraGetSupplierName)(int supplier_code, char* out);
typedef int (*QupraGetUnitName)(int unit_code, char* out);
}
