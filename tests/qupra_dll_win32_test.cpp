// Loads the built QUPRA.dll as the program does, by ordinal, and drives it with global blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/qupra_abi.h"
#include "data/qupra_call.h"
#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

// The exports by ordinal, called as the program calls them, whatever their convention.
struct Dll {
  HMODULE module = nullptr;
  const void* fn[64] = {};

  int init_database(const char* dir) const { return CallQupra<int>(fn[kOrdinalInitDatabase], dir); }
  int get_item(uint32_t low, uint32_t high, PriceItem* out) const {
    return CallQupra<int>(fn[kOrdinalGetItem], low, high, out);
  }
  int get_level_name(uint32_t low, uint32_t high, int level, char* out) const {
    return CallQupra<int>(fn[kOrdinalGetLevelName], low, high, level, out);
  }
  void read_group(uint32_t low, uint32_t high, int zero, void** block, int* count) const {
    CallQupra<void>(fn[kOrdinalReadGroup], low, high, zero, block, count);
  }
  void write_group(uint32_t low, uint32_t high, int zero, void* block, int count) const {
    CallQupra<void>(fn[kOrdinalWriteGroup], low, high, zero, block, count);
  }
  uint64_t parse_item_code(const char* text) const {
    return CallQupra<uint64_t>(fn[kOrdinalParseItemCode], text);
  }
  int format_item_code(uint32_t low, uint32_t high, char* out) const {
    return CallQupra<int>(fn[kOrdinalFormatItemCode], low, high, out);
  }
  int get_supplier_name(int supplier, char* out) const {
    return CallQupra<int>(fn[kOrdinalGetSupplierName], supplier, out);
  }
  int get_unit_name(int unit, char* out) const {
    return CallQupra<int>(fn[kOrdinalGetUnitName], unit, out);
  }
};

// The DLL beside the test program, as it lies beside CostUpdate.exe.
std::string DllPath() {
  char path[MAX_PATH];
  DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, size);
  return dir.substr(0, dir.find_last_of("\\/") + 1) + "QUPRA.dll";
}

Dll LoadDll() {
  Dll dll;
  dll.module = LoadLibraryA(DllPath().c_str());
  EXPECT_NE(nullptr, dll.module) << DllPath() << " error " << GetLastError();
  if (!dll.module) return dll;
  for (int ordinal : {kOrdinalInitDatabase, kOrdinalGetItem, kOrdinalGetLevelName,
                      kOrdinalReadGroup, kOrdinalWriteGroup, kOrdinalParseItemCode,
                      kOrdinalFormatItemCode, kOrdinalGetSupplierName, kOrdinalGetUnitName}) {
    dll.fn[ordinal] =
        reinterpret_cast<const void*>(GetProcAddress(dll.module, MAKEINTRESOURCEA(ordinal)));
    EXPECT_NE(nullptr, dll.fn[ordinal]) << "ordinal " << ordinal;
  }
  return dll;
}

HGLOBAL GlobalBlockOf(const std::vector<PriceItem>& items) {
  size_t bytes = items.size() * sizeof(PriceItem);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  std::memcpy(GlobalLock(block), items.data(), bytes);
  GlobalUnlock(block);
  return block;
}

// The group as ReadGroup hands it out; the block is freed here, as the caller must.
std::vector<PriceItem> ReadBack(const Dll& dll, Code code) {
  void* block = reinterpret_cast<void*>(1);
  int count = -1;
  dll.read_group(CodeLow(code), CodeHigh(code), 0, &block, &count);
  std::vector<PriceItem> items;
  if (count <= 0) {
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(0, count);
    return items;
  }
  HGLOBAL handle = static_cast<HGLOBAL>(block);
  EXPECT_EQ(size_t(count) * sizeof(PriceItem), GlobalSize(handle));
  const PriceItem* records = static_cast<const PriceItem*>(GlobalLock(handle));
  items.assign(records, records + count);
  GlobalUnlock(handle);
  EXPECT_EQ(nullptr, GlobalFree(handle));
  return items;
}

// Both conventions with 0 to 5 arguments and both result widths. A stack pointer left wrong
// by one of them drifts by the argument bytes each call, so the loop would soon fault.
int __stdcall StdNone() { return 42; }
int __cdecl CdeclNone() { return 43; }
int __stdcall StdFive(int a, int b, int c, int d, const char* e) {
  return a + 2 * b + 3 * c + 4 * d + 5 * e[0];
}
int __cdecl CdeclFive(int a, int b, int c, int d, const char* e) {
  return a - 2 * b + 3 * c - 4 * d + 5 * e[0];
}
uint64_t __stdcall StdWide(uint32_t low, uint32_t high) {
  return ((uint64_t(high) << 32) | low) + 1;
}
uint64_t __cdecl CdeclWide(uint32_t low, uint32_t high) {
  return ((uint64_t(high) << 32) | low) - 1;
}
void __stdcall StdStore(int* out, int value) { *out = value; }
void __cdecl CdeclStore(int* out, int value) { *out = -value; }

// Read through volatile, as from GetProcAddress: the compiler must not see which function
// it calls and so which convention it has.
const void* Opaque(const void* fn) {
  const void* volatile hidden = fn;
  return hidden;
}

TEST(CallQupra, EitherConvention) {
  const void* std_none = Opaque(reinterpret_cast<const void*>(&StdNone));
  const void* cdecl_none = Opaque(reinterpret_cast<const void*>(&CdeclNone));
  const void* std_five = Opaque(reinterpret_cast<const void*>(&StdFive));
  const void* cdecl_five = Opaque(reinterpret_cast<const void*>(&CdeclFive));
  const void* std_wide = Opaque(reinterpret_cast<const void*>(&StdWide));
  const void* cdecl_wide = Opaque(reinterpret_cast<const void*>(&CdeclWide));
  const void* std_store = Opaque(reinterpret_cast<const void*>(&StdStore));
  const void* cdecl_store = Opaque(reinterpret_cast<const void*>(&CdeclStore));
  const char e[] = "\x07";
  for (int i = 0; i < 300000; ++i) {
    ASSERT_EQ(42, CallQupra<int>(std_none));
    ASSERT_EQ(43, CallQupra<int>(cdecl_none));
    ASSERT_EQ(i + 2 * 2 + 3 * 3 + 4 * 4 + 5 * 7, CallQupra<int>(std_five, i, 2, 3, 4, e));
    ASSERT_EQ(i - 2 * 2 + 3 * 3 - 4 * 4 + 5 * 7, CallQupra<int>(cdecl_five, i, 2, 3, 4, e));
    uint32_t low = 0xFFFFFFFFu - uint32_t(i & 1), high = 0x12345678u + uint32_t(i);
    uint64_t wide = (uint64_t(high) << 32) | low;
    ASSERT_EQ(wide + 1, CallQupra<uint64_t>(std_wide, low, high));
    ASSERT_EQ(wide - 1, CallQupra<uint64_t>(cdecl_wide, low, high));
    int stored = 0;
    CallQupra<void>(std_store, &stored, i);
    ASSERT_EQ(i, stored);
    CallQupra<void>(cdecl_store, &stored, i);
    ASSERT_EQ(-i, stored);
  }
}

TEST(QupraDll, ExportsOrdinalsOnly) {
  Dll dll = LoadDll();
  ASSERT_NE(nullptr, dll.module);
  const char* const names[] = {"InitDatabase", "GetItem",       "GetLevelName",   "ReadGroup",
                               "WriteGroup",   "ParseItemCode", "FormatItemCode", "GetSupplierName",
                               "GetUnitName",  "ExportGetItem"};
  for (const char* name : names) EXPECT_EQ(nullptr, GetProcAddress(dll.module, name)) << name;
  const int absent[] = {1, 3, 5, 13, 16, 41};
  for (int ordinal : absent)
    EXPECT_EQ(nullptr, GetProcAddress(dll.module, MAKEINTRESOURCEA(ordinal))) << ordinal;
}

TEST(QupraDll, DrivenThroughItsOrdinals) {
  Dll dll = LoadDll();
  ASSERT_NE(nullptr, dll.fn[kOrdinalGetUnitName]);
  const Code a1 = MakeCode(3, 12, 45, 2, 1), a2 = MakeCode(3, 12, 45, 2, 2);
  char text[kStoreTextSize];

  // Before InitDatabase: empty results.
  PriceItem item;
  EXPECT_EQ(0, dll.get_item(CodeLow(a1), CodeHigh(a1), &item));
  EXPECT_TRUE(ReadBack(dll, a1).empty());
  std::strcpy(text, "stale");
  dll.get_unit_name(1, text);
  EXPECT_STREQ("", text);
  EXPECT_EQ(0, dll.init_database(nullptr));

  // A folder whose name ends in a character with '\' as its second byte.
  std::string folder = FreshTestDir() + "\\\x92\x50\x89\xBF\x95\x5C";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_EQ(1, dll.init_database(folder.c_str()));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\qupra.db").c_str()));

  std::vector<PriceItem> items = {SampleItem(a2, 1), SampleItem(a1, 2)};
  HGLOBAL block = GlobalBlockOf(items);
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, block, 2);
  // The block is still the caller's.
  EXPECT_EQ(2 * sizeof(PriceItem), GlobalSize(block));
  std::vector<PriceItem> got = ReadBack(dll, a1);
  ASSERT_EQ(2u, got.size());
  EXPECT_TRUE(SameBytes(items[0], got[0]));
  EXPECT_TRUE(SameBytes(items[1], got[1]));
  ASSERT_EQ(1, dll.get_item(CodeLow(a1), CodeHigh(a1), &item));
  EXPECT_TRUE(SameBytes(items[1], item));
  EXPECT_TRUE(ReadBack(dll, MakeCode(3, 13, 0, 0, 0)).empty());

  // As the writer does: the block from ReadGroup grown by GlobalReAlloc, one record
  // appended in the zero-filled room, written back.
  void* read = nullptr;
  int count = 0;
  dll.read_group(CodeLow(a1), CodeHigh(a1), 0, &read, &count);
  ASSERT_EQ(2, count);
  HGLOBAL grown = GlobalReAlloc(static_cast<HGLOBAL>(read), (2 + 256) * sizeof(PriceItem),
                                GMEM_MOVEABLE | GMEM_ZEROINIT);
  ASSERT_NE(nullptr, grown);
  PriceItem* records = static_cast<PriceItem*>(GlobalLock(grown));
  const unsigned char* room = reinterpret_cast<const unsigned char*>(records + 2);
  size_t nonzero = 0;
  for (size_t i = 0; i < 256 * sizeof(PriceItem); ++i) nonzero += room[i] != 0;
  EXPECT_EQ(0u, nonzero);
  const Code a3 = MakeCode(3, 12, 46, 0, 0);
  records[2] = SampleItem(a3, 3);
  GlobalUnlock(grown);
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, grown, 3);
  EXPECT_EQ(nullptr, GlobalFree(grown));
  items.push_back(SampleItem(a3, 3));
  got = ReadBack(dll, a1);
  ASSERT_EQ(3u, got.size());
  EXPECT_TRUE(SameBytes(items[2], got[2]));

  // Refused writes leave the group: a count past the block, a negative count, a null block,
  // a record of another group.
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, block, 3);
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, block, -1);
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, nullptr, 1);
  HGLOBAL foreign = GlobalBlockOf({SampleItem(a1, 3), SampleItem(MakeCode(4, 12, 0, 0, 0), 4)});
  dll.write_group(CodeLow(a1), CodeHigh(a1), 0, foreign, 2);
  EXPECT_EQ(nullptr, GlobalFree(foreign));
  EXPECT_EQ(nullptr, GlobalFree(block));
  got = ReadBack(dll, a1);
  ASSERT_EQ(3u, got.size());
  EXPECT_TRUE(SameBytes(items[0], got[0]));
  dll.read_group(CodeLow(a1), CodeHigh(a1), 0, nullptr, nullptr);
  EXPECT_EQ(0, dll.get_item(CodeLow(a1), CodeHigh(a1), nullptr));

  // Names written by the store are read through the DLL.
  {
    PriceStore store;
    ASSERT_TRUE(store.Open(folder.c_str()));
    ASSERT_TRUE(store.PutNames({{NameTable::kMiddle, a1, 0, "\x92\x86\x83"},
                                {NameTable::kUnit, 0, 7, "m"},
                                {NameTable::kSupplier, 0, 9, "s"}}));
  }
  std::strcpy(text, "stale");
  dll.get_level_name(CodeLow(a1), CodeHigh(a1), 1, text);
  EXPECT_STREQ("\x92\x86\x83", text);
  dll.get_level_name(CodeLow(a1), CodeHigh(a1), 0, text);
  EXPECT_STREQ("", text);
  dll.get_unit_name(7, text);
  EXPECT_STREQ("m", text);
  dll.get_supplier_name(9, text);
  EXPECT_STREQ("s", text);
  dll.get_supplier_name(-1, text);
  EXPECT_STREQ("", text);

  dll.format_item_code(CodeLow(a1), CodeHigh(a1), text);
  EXPECT_STREQ("3-12-0045-0002-0001", text);
  EXPECT_EQ(a1, dll.parse_item_code(text));
  EXPECT_EQ(0u, dll.parse_item_code("3-12-45-2"));
  EXPECT_EQ(0u, dll.parse_item_code(nullptr));
}

}  // namespace
