// PriceLibrary over QUPRA.dll, imported by ordinal, with movable global memory blocks.
#include <windows.h>

#include <cstdio>

#include "data/library_bitness.h"
#include "data/qupra_abi.h"
#include "data/qupra_binding.h"
#include "data/qupra_call.h"

namespace {

// The exports by ordinal, called through CallQupra: the package's own 32-bit library may be
// stdcall or cdecl, and nothing in an ordinal says which.
struct QupraFunctions {
  const void* init_database;
  const void* get_item;
  const void* get_level_name;
  const void* read_group;
  const void* write_group;
  const void* parse_item_code;
  const void* format_item_code;
  const void* get_supplier_name;
  const void* get_unit_name;
};

class QupraLibrary : public PriceLibrary {
 public:
  explicit QupraLibrary(const QupraFunctions& f) : f_(f) {}

  int InitDatabase(const char* program_dir) override {
    return CallQupra<int>(f_.init_database, program_dir);
  }
  Code ParseItemCode(const char* text) override {
    return CallQupra<Code>(f_.parse_item_code, text);
  }
  int GetItem(Code code, PriceItem* out) override {
    return CallQupra<int>(f_.get_item, CodeLow(code), CodeHigh(code), out);
  }
  void FormatItemCode(Code code, char* out) override {
    out[0] = '\0';
    CallQupra<int>(f_.format_item_code, CodeLow(code), CodeHigh(code), out);
  }
  void GetLevelName(Code code, int level, char* out) override {
    out[0] = '\0';
    CallQupra<int>(f_.get_level_name, CodeLow(code), CodeHigh(code), level, out);
  }
  void GetUnitName(unsigned unit_code, char* out) override {
    out[0] = '\0';
    CallQupra<int>(f_.get_unit_name, int(unit_code & 0xFFFF), out);
  }
  void GetSupplierName(unsigned supplier_code, char* out) override {
    out[0] = '\0';
    CallQupra<int>(f_.get_supplier_name, int(supplier_code & 0xFFFF), out);
  }
  void ReadGroup(Code code, RecordBlock* block, int* count) override {
    *block = nullptr;
    *count = 0;
    CallQupra<void>(f_.read_group, CodeLow(code), CodeHigh(code), 0, block, count);
  }
  void WriteGroup(Code code, RecordBlock block, int count) override {
    CallQupra<void>(f_.write_group, CodeLow(code), CodeHigh(code), 0, block, count);
  }

  RecordBlock AllocBlock(size_t bytes) override {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  }
  RecordBlock ResizeBlock(RecordBlock block, size_t bytes) override {
    return GlobalReAlloc(static_cast<HGLOBAL>(block), bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
  }
  PriceItem* LockBlock(RecordBlock block) override {
    return static_cast<PriceItem*>(GlobalLock(static_cast<HGLOBAL>(block)));
  }
  void UnlockBlock(RecordBlock block) override { GlobalUnlock(static_cast<HGLOBAL>(block)); }
  void FreeBlock(RecordBlock block) override { GlobalFree(static_cast<HGLOBAL>(block)); }

 private:
  QupraFunctions f_;
};

bool Bind(HMODULE module, int ordinal, const void** out) {
  *out = reinterpret_cast<const void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
  return *out != nullptr;
}

// A DLL of the other bitness fails with "bad exe format"; its header says which one it is.
bool ExplainOtherBitness(const char* dll_path, char* error) {
  HANDLE file = CreateFileA(dll_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char head[4096];
  DWORD got = 0;
  BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  return read && BitnessMismatchText(dll_path, PeMachineOf(head, got), sizeof(void*) == 8,
                                     COSTUPDATE_VERSION, error, kBindingErrorSize);
}

}  // namespace

PriceLibrary* OpenQupraLibrary(const char* dll_path, char* error) {
  error[0] = '\0';
  HMODULE module = LoadLibraryA(dll_path);
  if (!module) {
    DWORD code = GetLastError();
    if (!ExplainOtherBitness(dll_path, error))
      snprintf(error, kBindingErrorSize, "%s を読み込めません。(エラー %lu)", dll_path, code);
    return nullptr;
  }
  QupraFunctions f;
  int missing = 0;
  if (!Bind(module, kOrdinalInitDatabase, &f.init_database)) missing = kOrdinalInitDatabase;
  if (!Bind(module, kOrdinalGetItem, &f.get_item)) missing = kOrdinalGetItem;
  if (!Bind(module, kOrdinalGetLevelName, &f.get_level_name)) missing = kOrdinalGetLevelName;
  if (!Bind(module, kOrdinalReadGroup, &f.read_group)) missing = kOrdinalReadGroup;
  if (!Bind(module, kOrdinalWriteGroup, &f.write_group)) missing = kOrdinalWriteGroup;
  if (!Bind(module, kOrdinalParseItemCode, &f.parse_item_code)) missing = kOrdinalParseItemCode;
  if (!Bind(module, kOrdinalFormatItemCode, &f.format_item_code)) missing = kOrdinalFormatItemCode;
  if (!Bind(module, kOrdinalGetSupplierName, &f.get_supplier_name))
    missing = kOrdinalGetSupplierName;
  if (!Bind(module, kOrdinalGetUnitName, &f.get_unit_name)) missing = kOrdinalGetUnitName;
  if (missing) {
    snprintf(error, kBindingErrorSize, "%s に序数 %d の関数がありません。", dll_path, missing);
    FreeLibrary(module);
    return nullptr;
  }
  return new QupraLibrary(f);
}
