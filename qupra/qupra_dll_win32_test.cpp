// Tests of the built QUPRA.dll as its callers use it: loaded from the program's folder,
// bound by ordinal, with movable global memory blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/qupra_abi.h"
#include "qupra/test_util.h"

namespace {

const Code kGroup = MakeCode(3, 12, 0, 0, 0);

// The folder of the running test program, with its trailing separator.
std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, size < sizeof path ? size : 0);
  size_t cut = folder.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
}

template <typename T>
T Bind(HMODULE module, int ordinal) {
  FARPROC p = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<T>(reinterpret_cast<void*>(p));
}

// Loads the DLL afresh for each test, so that no test sees the database another opened.
class QupraDll : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA((ProgramFolder() + "QUPRA.dll").c_str());
    ASSERT_NE(nullptr, module_) << "QUPRA.dll beside " << ProgramFolder();
    init_database_ = Bind<QupraInitDatabase>(module_, kOrdinalInitDatabase);
    get_item_ = Bind<QupraGetItem>(module_, kOrdinalGetItem);
    get_level_name_ = Bind<QupraGetLevelName>(module_, kOrdinalGetLevelName);
    read_group_ = Bind<QupraReadGroup>(module_, kOrdinalReadGroup);
    write_group_ = Bind<QupraWriteGroup>(module_, kOrdinalWriteGroup);
    parse_item_code_ = Bind<QupraParseItemCode>(module_, kOrdinalParseItemCode);
    format_item_code_ = Bind<QupraFormatItemCode>(module_, kOrdinalFormatItemCode);
    get_supplier_name_ = Bind<QupraGetSupplierName>(module_, kOrdinalGetSupplierName);
    get_unit_name_ = Bind<QupraGetUnitName>(module_, kOrdinalGetUnitName);
    ASSERT_TRUE(init_database_ && get_item_ && get_level_name_ && read_group_ && write_group_ &&
                parse_item_code_ && format_item_code_ && get_supplier_name_ && get_unit_name_);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // A movable block holding items and room for spare more records.
  static HGLOBAL MakeBlock(const std::vector<PriceItem>& items, size_t spare = 0) {
    HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (items.size() + spare) * sizeof(PriceItem));
    if (!block) return nullptr;
    if (!items.empty()) {
      void* p = GlobalLock(block);
      std::memcpy(p, items.data(), items.size() * sizeof(PriceItem));
      GlobalUnlock(block);
    }
    return block;
  }

  // The group as ReadGroup hands it out; the block is checked and freed.
  std::vector<PriceItem> ReadBack(Code code) {
    void* block = reinterpret_cast<void*>(1);
    int count = -1;
    read_group_(CodeLow(code), CodeHigh(code), 0, &block, &count);
    std::vector<PriceItem> items;
    EXPECT_GE(count, 0);
    if (count <= 0) {
      EXPECT_EQ(nullptr, block);
      return items;
    }
    HGLOBAL handle = static_cast<HGLOBAL>(block);
    EXPECT_GE(GlobalSize(handle), size_t(count) * sizeof(PriceItem));
    const PriceItem* records = static_cast<const PriceItem*>(GlobalLock(handle));
    EXPECT_NE(nullptr, records);
    if (records) items.assign(records, records + count);
    GlobalUnlock(handle);
    EXPECT_EQ(nullptr, GlobalFree(handle));
    return items;
  }

  void Write(Code code, const std::vector<PriceItem>& items) {
    HGLOBAL block = MakeBlock(items);
    write_group_(CodeLow(code), CodeHigh(code), 0, block, int(items.size()));
    GlobalFree(block);
  }

  HMODULE module_ = nullptr;
  QupraInitDatabase init_database_ = nullptr;
  QupraGetItem get_item_ = nullptr;
  QupraGetLevelName get_level_name_ = nullptr;
  QupraReadGroup read_group_ = nullptr;
  QupraWriteGroup write_group_ = nullptr;
  QupraParseItemCode parse_item_code_ = nullptr;
  QupraFormatItemCode format_item_code_ = nullptr;
  QupraGetSupplierName get_supplier_name_ = nullptr;
  QupraGetUnitName get_unit_name_ = nullptr;
};

std::vector<PriceItem> GroupItems(unsigned n, unsigned seed) {
  std::vector<PriceItem> items;
  for (unsigned i = 0; i < n; ++i)
    items.push_back(SampleItem(MakeCode(3, 12, 9 - i, i, 1), seed + i));
  return items;
}

void ExpectSameRecords(const std::vector<PriceItem>& want, const std::vector<PriceItem>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(SameBytes(want[i], got[i])) << "record " << i;
}

TEST_F(QupraDll, ExportsNoNames) {
  const char* const names[] = {"InitDatabase", "GetItem",       "GetLevelName",   "ReadGroup",
                               "WriteGroup",   "ParseItemCode", "FormatItemCode", "GetSupplierName",
                               "GetUnitName",  "ExportGetItem"};
  for (const char* name : names) EXPECT_EQ(nullptr, GetProcAddress(module_, name)) << name;
  // Ordinals between the exported ones are empty.
  for (int ordinal : {1, 3, 5, 13, 16, 41}) {
    EXPECT_EQ(nullptr, GetProcAddress(module_, MAKEINTRESOURCEA(ordinal))) << ordinal;
  }
}

TEST_F(QupraDll, WriteAndReadGroupWithGlobalBlocks) {
  std::string dir = FreshTestDir();
  ASSERT_EQ(1, init_database_(dir.c_str()));
  ExpectSameRecords({}, ReadBack(kGroup));

  // The caller's block has room after the records it passes; only count records are written.
  std::vector<PriceItem> items = GroupItems(4, 1);
  HGLOBAL block = MakeBlock(items, 256);
  ASSERT_NE(nullptr, block);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, block, int(items.size()));
  // WriteGroup neither keeps nor frees the caller's block.
  EXPECT_GE(GlobalSize(block), (items.size() + 256) * sizeof(PriceItem));
  GlobalFree(block);
  ExpectSameRecords(items, ReadBack(items[2].code));

  for (const PriceItem& item : items) {
    PriceItem got;
    std::memset(&got, 0, sizeof got);
    ASSERT_EQ(1, get_item_(CodeLow(item.code), CodeHigh(item.code), &got));
    EXPECT_TRUE(SameBytes(item, got));
  }
  PriceItem got;
  Code absent = MakeCode(3, 12, 100, 0, 0);
  EXPECT_EQ(0, get_item_(CodeLow(absent), CodeHigh(absent), &got));

  // A block from ReadGroup grows as the writer of groups grows it, keeping its records.
  void* out = nullptr;
  int count = 0;
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, &out, &count);
  ASSERT_EQ(4, count);
  HGLOBAL grown = GlobalReAlloc(static_cast<HGLOBAL>(out), (count + 256) * sizeof(PriceItem),
                                GMEM_MOVEABLE | GMEM_ZEROINIT);
  ASSERT_NE(nullptr, grown);
  PriceItem* records = static_cast<PriceItem*>(GlobalLock(grown));
  ASSERT_NE(nullptr, records);
  for (int i = 0; i < count; ++i) EXPECT_TRUE(SameBytes(items[i], records[i]));
  const unsigned char* rest = reinterpret_cast<unsigned char*>(records + count);
  for (size_t i = 0; i < 256 * sizeof(PriceItem); ++i) ASSERT_EQ(0, rest[i]) << i;
  records[count] = SampleItem(MakeCode(3, 12, 77, 0, 0), 50);
  items.push_back(records[count]);
  GlobalUnlock(grown);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, grown, count + 1);
  GlobalFree(grown);
  ExpectSameRecords(items, ReadBack(kGroup));
}

TEST_F(QupraDll, RefusedWritesKeepTheGroup) {
  std::string dir = FreshTestDir();
  ASSERT_EQ(1, init_database_(dir.c_str()));
  std::vector<PriceItem> items = GroupItems(3, 1);
  Write(kGroup, items);
  const Code other_group = MakeCode(3, 13, 0, 0, 0);
  std::vector<PriceItem> other = {SampleItem(MakeCode(3, 13, 1, 1, 1), 9)};
  Write(other_group, other);

  // A record of another group refuses the whole write.
  std::vector<PriceItem> foreign = GroupItems(2, 20);
  foreign.push_back(other[0]);
  Write(kGroup, foreign);
  // A count beyond the block, a negative count or no block for records changes nothing.
  HGLOBAL small = MakeBlock(GroupItems(2, 30));
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, small, 3);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, small, -1);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, 2);
  GlobalFree(small);
  ExpectSameRecords(items, ReadBack(kGroup));
  ExpectSameRecords(other, ReadBack(other_group));

  // Count 0 empties the group, leaving the other.
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, 0);
  ExpectSameRecords({}, ReadBack(kGroup));
  ExpectSameRecords(other, ReadBack(other_group));
}

TEST_F(QupraDll, NamesOfTheStoreFile) {
  std::string dir = FreshTestDir();
  {
    PriceStore store;
    ASSERT_TRUE(store.Open(dir.c_str()));
    std::vector<NameEntry> entries(3);
    entries[0].table = NameTable::kMiddle;
    entries[0].code = MakeCode(3, 12, 45, 0, 0);
    entries[0].name = "\x92\x86\x8D\x80\x96\xDA";  // 中項目
    entries[1].table = NameTable::kUnit;
    entries[1].number = 7;
    entries[1].name = "m\x83";
    entries[2].table = NameTable::kSupplier;
    entries[2].number = 65535;
    entries[2].name = "supplier";
    ASSERT_TRUE(store.PutNames(entries));
  }
  ASSERT_EQ(1, init_database_(dir.c_str()));
  char out[kStoreTextSize];
  Code code = MakeCode(3, 12, 45, 2, 1);
  EXPECT_EQ(1, get_level_name_(CodeLow(code), CodeHigh(code), 1, out));
  EXPECT_STREQ("\x92\x86\x8D\x80\x96\xDA", out);
  strcpy(out, "stale");
  EXPECT_EQ(0, get_level_name_(CodeLow(code), CodeHigh(code), 0, out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(1, get_unit_name_(7, out));
  EXPECT_STREQ("m\x83", out);
  EXPECT_EQ(1, get_supplier_name_(65535, out));
  EXPECT_STREQ("supplier", out);
  struct Case {
    QupraGetUnitName get;
    int number;
  };
  // Codes that name nothing, including ones beyond 16 bits that must not wrap onto 7.
  const Case none[] = {{get_unit_name_, 8},      {get_unit_name_, 65536 + 7},
                       {get_unit_name_, -1},     {get_supplier_name_, 7},
                       {get_supplier_name_, -1}, {get_supplier_name_, 65535 + 65536}};
  for (const Case& c : none) {
    strcpy(out, "stale");
    EXPECT_EQ(0, c.get(c.number, out)) << c.number;
    EXPECT_STREQ("", out) << c.number;
  }
}

TEST_F(QupraDll, CodeTextsRoundTrip) {
  const char* const texts[] = {"3-12-0045-0002-0001", "1-00-0000-0000-0000",
                               "255-255-65535-65535-65535"};
  for (const char* text : texts) {
    uint64_t code = parse_item_code_(text);
    EXPECT_NE(0u, CodeCategory(code)) << text;
    char out[kStoreTextSize];
    EXPECT_EQ(1, format_item_code_(CodeLow(code), CodeHigh(code), out));
    EXPECT_STREQ(text, out);
  }
  EXPECT_EQ(MakeCode(3, 12, 45, 2, 1), parse_item_code_("3-12-45-2-1"));
  for (const char* bad : {"", "0-1-1-1-1", "3-12-45-2", "3-12-45-2-1 "})
    EXPECT_EQ(0u, CodeCategory(parse_item_code_(bad))) << bad;
  char out[kStoreTextSize] = "stale";
  EXPECT_EQ(0, format_item_code_(0, 0, out));
  EXPECT_STREQ("", out);
}

TEST_F(QupraDll, NullPointersAndBadArgumentsDoNotCrash) {
  // Before InitDatabase every call is empty.
  void* block = reinterpret_cast<void*>(1);
  int count = 7;
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, &block, &count);
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0, count);
  char out[kStoreTextSize] = "stale";
  EXPECT_EQ(0, get_unit_name_(1, out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, init_database_(nullptr));

  std::string dir = FreshTestDir();
  ASSERT_EQ(1, init_database_(dir.c_str()));
  std::vector<PriceItem> items = GroupItems(2, 1);
  Write(kGroup, items);
  Code code = items[0].code;
  EXPECT_EQ(0, get_item_(CodeLow(code), CodeHigh(code), nullptr));
  EXPECT_EQ(0, get_level_name_(CodeLow(code), CodeHigh(code), 0, nullptr));
  EXPECT_EQ(0, get_level_name_(CodeLow(code), CodeHigh(code), 3, nullptr));
  strcpy(out, "stale");
  EXPECT_EQ(0, get_level_name_(CodeLow(code), CodeHigh(code), -1, out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, get_unit_name_(1, nullptr));
  EXPECT_EQ(0, get_supplier_name_(1, nullptr));
  EXPECT_EQ(0, get_unit_name_(-5, nullptr));
  EXPECT_EQ(0u, parse_item_code_(nullptr));
  EXPECT_EQ(0, format_item_code_(CodeLow(code), CodeHigh(code), nullptr));

  // Each output of ReadGroup is set even when the other is missing.
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, nullptr);
  count = 7;
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, &count);
  EXPECT_EQ(0, count);
  block = reinterpret_cast<void*>(1);
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, &block, nullptr);
  EXPECT_EQ(nullptr, block);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, -1);
  write_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, nullptr, 1);
  ExpectSameRecords(items, ReadBack(kGroup));

  // A folder that cannot hold the database leaves the DLL closed.
  EXPECT_EQ(0, init_database_((dir + "\\absent").c_str()));
  read_group_(CodeLow(kGroup), CodeHigh(kGroup), 0, &block, &count);
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0, count);
}

}  // namespace
