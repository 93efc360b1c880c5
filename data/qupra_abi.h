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

// Our DLL exports stdcall functions, as a 32-bit Windows library usually does; the tests also
// build it with QUPRA_CDECL, because the package's own library may be either, and the
// callers take both (data/qupra_call.h). On x86-64 both words mean the one convention.
#if defined(QUPRA_CDECL)
#define QUPRA_CALL __cdecl
#else
#define QUPRA_CALL __stdcall
#endif

extern "C" {
typedef int(QUPRA_CALL* QupraInitDatabase)(const char* program_dir);
typedef int(QUPRA_CALL* QupraGetItem)(uint32_t code_low, uint32_t code_high, PriceItem* out);
typedef int(QUPRA_CALL* QupraGetLevelName)(uint32_t code_low, uint32_t code_high, int level,
                                           char* out);
typedef void(QUPRA_CALL* QupraReadGroup)(uint32_t code_low, uint32_t code_high, int zero,
                                         void** block, int* count);
typedef void(QUPRA_CALL* QupraWriteGroup)(uint32_t code_low, uint32_t code_high, int zero,
                                          void* block, int count);
typedef uint64_t(QUPRA_CALL* QupraParseItemCode)(const char* text);
typedef int(QUPRA_CALL* QupraFormatItemCode)(uint32_t code_low, uint32_t code_high, char* out);
typedef int(QUPRA_CALL* QupraGetSupplierName)(int supplier_code, char* out);
typedef int(QUPRA_CALL* QupraGetUnitName)(int unit_code, char* out);
}
