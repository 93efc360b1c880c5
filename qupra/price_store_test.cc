// Tests of the SQLite price store and of StoreLibrary over it, against real files.
#include "qupra/price_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qupra/store_library.h"
#include "qupra/store_path.h"
#include "qupra/test_util.h"

namespace {

const Code kGroupA = MakeCode(3, 12, 0, 0, 0);
const Code kGroupB = MakeCode(3, 13, 0, 0, 0);

std::string DbPath(const std::string& dir) {
  std::string path;
  JoinFolderFile(dir.c_str(), kStoreFileName, kHostPathStyle, &path);
  return path;
}

// n records of the group of base, with distinct codes and seeds.
std::vector<PriceItem> GroupItems(Code base, unsigned n, unsigned seed) {
  std::vector<PriceItem> items;
  for (unsigned i = 0; i < n; ++i)
    items.push_back(
        SampleItem(MakeCode(CodeCategory(base), CodeLargeItem(base), 100 + i, 7 * i, i), seed + i));
  return items;
}

void ExpectSameRecords(const std::vector<PriceItem>& want, const std::vector<PriceItem>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(SameBytes(want[i], got[i])) << "record " << i;
}

std::vector<PriceItem> ReadBack(PriceStore* store, Code code) {
  std::vector<PriceItem> items;
  EXPECT_TRUE(store->ReadGroup(code, &items));
  return items;
}

TEST(SampleItem, HasNonzeroBytesInEveryFieldAndACutCharacter) {
  PriceItem item = SampleItem(MakeCode(3, 12, 1, 2, 3), 5);
  EXPECT_EQ('\x83', item.material_name[4]);
  EXPECT_EQ('\0', item.material_name[5]);
  EXPECT_NE(0, item.material_name[30]);
  EXPECT_NE(0u, item.unit_code);
  EXPECT_NE(0u, item.execution_price);
  EXPECT_NE(0u, item.estimate_price);
  EXPECT_NE(0u, item.work_type);
  EXPECT_NE(0u, item.supplier_code);
  EXPECT_NE(0, item.material_note[0]);
  EXPECT_NE(0, item.material_note[31]);
}

TEST(PriceStore, WriteGroupRoundTripsRecordsByteForByteInOrder) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  // Codes written out of order must come back as written, not sorted.
  std::vector<PriceItem> items = GroupItems(kGroupA, 5, 1);
  std::swap(items[0], items[3]);
  ASSERT_TRUE(store.WriteGroup(kGroupA, items.data(), items.size()));
  ExpectSameRecords(items, ReadBack(&store, kGroupA));
  // Any code of the group names the group.
  ExpectSameRecords(items, ReadBack(&store, items[2].code));
  for (const PriceItem& item : items) {
    PriceItem got;
    std::memset(&got, 0, sizeof got);
    ASSERT_TRUE(store.GetItem(item.code, &got));
    EXPECT_TRUE(SameBytes(item, got));
  }
  // The records survive closing and reopening the file.
  store.Close();
  ASSERT_TRUE(store.Open(dir.c_str()));
  ExpectSameRecords(items, ReadBack(&store, kGroupA));
}

TEST(PriceStore, GetItemMissesCodesNotStored) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  std::vector<PriceItem> items = GroupItems(kGroupA, 2, 1);
  ASSERT_TRUE(store.WriteGroup(kGroupA, items.data(), items.size()));
  PriceItem got;
  EXPECT_FALSE(store.GetItem(items[0].code + 1, &got));
  EXPECT_FALSE(store.GetItem(items[0].code ^ (Code(1) << 48), &got));
  EXPECT_FALSE(store.GetItem(0, &got));
  EXPECT_FALSE(store.GetItem(items[0].code, nullptr));
}

TEST(PriceStore, DuplicateCodesKeepBothAndGetItemTakesTheFirst) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  Code code = MakeCode(3, 12, 1, 1, 1);
  std::vector<PriceItem> items = {SampleItem(code, 1), SampleItem(code, 2)};
  ASSERT_TRUE(store.WriteGroup(kGroupA, items.data(), items.size()));
  ExpectSameRecords(items, ReadBack(&store, kGroupA));
  PriceItem got;
  ASSERT_TRUE(store.GetItem(code, &got));
  EXPECT_TRUE(SameBytes(items[0], got));
}

TEST(PriceStore, EmptyGroupsReadAsNoRecords) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  std::vector<PriceItem> got(3);
  EXPECT_TRUE(store.ReadGroup(kGroupA, &got));
  EXPECT_TRUE(got.empty());
  // A group written empty is empty too.
  std::vector<PriceItem> items = GroupItems(kGroupA, 3, 1);
  ASSERT_TRUE(store.WriteGroup(kGroupA, items.data(), items.size()));
  ASSERT_TRUE(store.WriteGroup(kGroupA, nullptr, 0));
  EXPECT_TRUE(ReadBack(&store, kGroupA).empty());
  PriceItem item;
  EXPECT_FALSE(store.GetItem(items[0].code, &item));
}

TEST(PriceStore, SecondWriteReplacesTheFirst) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  std::vector<PriceItem> first = GroupItems(kGroupA, 6, 1);
  ASSERT_TRUE(store.WriteGroup(kGroupA, first.data(), first.size()));
  // Fewer records, one code kept with new bytes, one code new.
  std::vector<PriceItem> second = {SampleItem(first[4].code, 90),
                                   SampleItem(MakeCode(3, 12, 9, 9, 9), 91)};
  ASSERT_TRUE(store.WriteGroup(kGroupA, second.data(), second.size()));
  ExpectSameRecords(second, ReadBack(&store, kGroupA));
  PriceItem got;
  EXPECT_FALSE(store.GetItem(first[0].code, &got));
  ASSERT_TRUE(store.GetItem(first[4].code, &got));
  EXPECT_TRUE(SameBytes(second[0], got));
}

TEST(PriceStore, GroupsAreKeptApart) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  // Same lower parts, other large item; and a group of another category.
  const Code kOtherCategory = MakeCode(4, 12, 0, 0, 0);
  std::vector<PriceItem> a = GroupItems(kGroupA, 3, 1);
  std::vector<PriceItem> b = GroupItems(kGroupB, 4, 10);
  std::vector<PriceItem> c = GroupItems(kOtherCategory, 2, 20);
  ASSERT_TRUE(store.WriteGroup(kGroupA, a.data(), a.size()));
  ASSERT_TRUE(store.WriteGroup(kGroupB, b.data(), b.size()));
  ASSERT_TRUE(store.WriteGroup(kOtherCategory, c.data(), c.size()));
  std::vector<PriceItem> a2 = GroupItems(kGroupA, 1, 30);
  ASSERT_TRUE(store.WriteGroup(kGroupA, a2.data(), a2.size()));
  ExpectSameRecords(a2, ReadBack(&store, kGroupA));
  ExpectSameRecords(b, ReadBack(&store, kGroupB));
  ExpectSameRecords(c, ReadBack(&store, kOtherCategory));
  ASSERT_TRUE(store.WriteGroup(kGroupB, nullptr, 0));
  ExpectSameRecords(a2, ReadBack(&store, kGroupA));
  ExpectSameRecords(c, ReadBack(&store, kOtherCategory));
}

TEST(PriceStore, RefusedWritesLeaveTheGroupWhole) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  std::vector<PriceItem> a = GroupItems(kGroupA, 3, 1);
  std::vector<PriceItem> b = GroupItems(kGroupB, 2, 10);
  ASSERT_TRUE(store.WriteGroup(kGroupA, a.data(), a.size()));
  ASSERT_TRUE(store.WriteGroup(kGroupB, b.data(), b.size()));

  // The last record belongs to group B; an all-zero (empty) record belongs to none.
  std::vector<PriceItem> foreign = GroupItems(kGroupA, 4, 40);
  foreign.back() = SampleItem(MakeCode(3, 13, 1, 1, 1), 41);
  PriceItem zero;
  std::memset(&zero, 0, sizeof zero);
  std::vector<PriceItem> with_empty = GroupItems(kGroupA, 2, 50);
  with_empty.push_back(zero);
  EXPECT_FALSE(store.WriteGroup(kGroupA, foreign.data(), foreign.size()));
  EXPECT_FALSE(store.WriteGroup(kGroupA, with_empty.data(), with_empty.size()));
  EXPECT_FALSE(store.WriteGroup(kGroupA, nullptr, 2));
  ExpectSameRecords(a, ReadBack(&store, kGroupA));
  ExpectSameRecords(b, ReadBack(&store, kGroupB));

  // Category 0 names no group, even for records that are all of it.
  std::vector<PriceItem> none = {zero};
  EXPECT_FALSE(store.WriteGroup(0, none.data(), none.size()));
  EXPECT_FALSE(store.WriteGroup(MakeCode(0, 12, 0, 0, 0), nullptr, 0));
  EXPECT_TRUE(ReadBack(&store, 0).empty());
}

TEST(PriceStore, CorruptFileGivesEmptyResultsAndIsLeftAlone) {
  std::string dir = FreshTestDir();
  std::string garbage;
  for (int i = 0; i < 8192; ++i) garbage += char((i * 131 + 17) & 0xFF);
  ASSERT_TRUE(WriteWholeFile(DbPath(dir), garbage));
  for (OpenMode mode : {OpenMode::kReadWrite, OpenMode::kReadOnly}) {
    PriceStore store;
    EXPECT_FALSE(store.Open(dir.c_str(), mode));
    EXPECT_FALSE(store.IsOpen());
    std::vector<PriceItem> items(2);
    EXPECT_FALSE(store.ReadGroup(kGroupA, &items));
    EXPECT_TRUE(items.empty());
    PriceItem item = SampleItem(MakeCode(3, 12, 1, 1, 1), 1);
    EXPECT_FALSE(store.GetItem(item.code, &item));
    EXPECT_FALSE(store.WriteGroup(kGroupA, &item, 1));
    char name[kStoreTextSize] = "stale";
    EXPECT_FALSE(store.GetUnitName(1, name));
    EXPECT_STREQ("", name);

    StoreLibrary library(mode);
    EXPECT_EQ(0, library.InitDatabase(dir.c_str()));
    RecordBlock block = &item;
    int count = 5;
    library.ReadGroup(kGroupA, &block, &count);
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(0, count);
  }
  std::string after;
  ASSERT_TRUE(ReadWholeFile(DbPath(dir), &after));
  EXPECT_EQ(garbage, after);
}

TEST(PriceStore, ReadOnlyOpenRefusesWritesAndKeepsData) {
  std::string dir = FreshTestDir();
  std::vector<PriceItem> a = GroupItems(kGroupA, 3, 1);
  {
    PriceStore store;
    ASSERT_TRUE(store.Open(dir.c_str()));
    ASSERT_TRUE(store.WriteGroup(kGroupA, a.data(), a.size()));
    NameEntry unit;
    unit.table = NameTable::kUnit;
    unit.number = 4;
    unit.name = "m";
    ASSERT_TRUE(store.PutNames({unit}));
  }
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str(), OpenMode::kReadOnly));
  std::vector<PriceItem> other = GroupItems(kGroupA, 1, 60);
  EXPECT_FALSE(store.WriteGroup(kGroupA, other.data(), other.size()));
  EXPECT_FALSE(store.WriteGroup(kGroupA, nullptr, 0));
  EXPECT_FALSE(store.PutItems(other));
  NameEntry unit;
  unit.table = NameTable::kUnit;
  unit.number = 4;
  unit.name = "kg";
  EXPECT_FALSE(store.PutNames({unit}));
  ExpectSameRecords(a, ReadBack(&store, kGroupA));
  char name[kStoreTextSize];
  ASSERT_TRUE(store.GetUnitName(4, name));
  EXPECT_STREQ("m", name);
}

TEST(PriceStore, ReadOnlyOpenNeitherCreatesNorFillsAFile) {
  std::string dir = FreshTestDir();
  PriceStore store;
  EXPECT_FALSE(store.Open(dir.c_str(), OpenMode::kReadOnly));
  std::string data;
  EXPECT_FALSE(ReadWholeFile(DbPath(dir), &data));
  // An empty file is a database without tables: read-only leaves it so.
  ASSERT_TRUE(WriteWholeFile(DbPath(dir), ""));
  EXPECT_FALSE(store.Open(dir.c_str(), OpenMode::kReadOnly));
  ASSERT_TRUE(ReadWholeFile(DbPath(dir), &data));
  EXPECT_TRUE(data.empty());
  EXPECT_TRUE(store.Open(dir.c_str(), OpenMode::kReadWrite));
}

TEST(PriceStore, MissingFolderDoesNotOpen) {
  std::string dir = FreshTestDir() + "/absent";
  PriceStore store;
  EXPECT_FALSE(store.Open(dir.c_str()));
  EXPECT_FALSE(store.Open(nullptr));
}

TEST(PriceStore, PutItemsReplacesInPlaceAndAppends) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  std::vector<PriceItem> a = GroupItems(kGroupA, 3, 1);
  ASSERT_TRUE(store.WriteGroup(kGroupA, a.data(), a.size()));
  PriceItem changed = SampleItem(a[1].code, 70);
  PriceItem added = SampleItem(MakeCode(3, 12, 500, 0, 0), 71);
  PriceItem other = SampleItem(MakeCode(3, 13, 1, 0, 0), 72);
  ASSERT_TRUE(store.PutItems({added, changed, other}));
  ExpectSameRecords({a[0], changed, a[2], added}, ReadBack(&store, kGroupA));
  ExpectSameRecords({other}, ReadBack(&store, kGroupB));
  PriceItem zero;
  std::memset(&zero, 0, sizeof zero);
  EXPECT_FALSE(store.PutItems({SampleItem(a[0].code, 80), zero}));
  ExpectSameRecords({a[0], changed, a[2], added}, ReadBack(&store, kGroupA));
}

TEST(PriceStore, NameTables) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  const Code code = MakeCode(3, 12, 45, 2, 1);
  std::string long_name(255, '\x88');
  long_name.back() = '\x83';  // cut double-byte character at the end, kept as it is
  std::vector<NameEntry> entries(6);
  entries[0].table = NameTable::kLarge;
  entries[0].code = MakeCode(3, 12, 0, 0, 0);
  entries[0].name = "\x8D\x48\x8E\x96";  // 工事
  entries[1].table = NameTable::kMiddle;
  entries[1].code = MakeCode(3, 12, 45, 0, 0);
  entries[1].name = "middle";
  entries[2].table = NameTable::kSmall;
  entries[2].code = MakeCode(3, 12, 45, 2, 0);
  entries[2].name = long_name;
  entries[3].table = NameTable::kUnit;
  entries[3].number = 7;
  entries[3].name = "m\x81\x51";
  entries[4].table = NameTable::kSupplier;
  entries[4].number = 65535;
  entries[4].name = "supplier";
  entries[5].table = NameTable::kSmall;
  entries[5].code = MakeCode(3, 12, 46, 2, 0);
  entries[5].name = "elsewhere";
  ASSERT_TRUE(store.PutNames(entries));

  struct Case {
    int level;
    Code code;
    const char* name;
  };
  const Case cases[] = {
      {0, code, entries[0].name.c_str()},
      {1, code, "middle"},
      {2, code, long_name.c_str()},
      // The lower parts of the code do not matter, the levels above do.
      {0, MakeCode(3, 12, 999, 9, 9), entries[0].name.c_str()},
      {2, MakeCode(3, 12, 45, 2, 65535), long_name.c_str()},
      {0, MakeCode(3, 13, 0, 0, 0), ""},
      {0, MakeCode(4, 12, 0, 0, 0), ""},
      {1, MakeCode(3, 12, 44, 0, 0), ""},
      {1, MakeCode(3, 11, 45, 0, 0), ""},
      {2, MakeCode(3, 12, 45, 3, 0), ""},
      {2, MakeCode(3, 12, 46, 2, 0), "elsewhere"},
      {3, code, ""},
      {-1, code, ""},
  };
  for (const Case& c : cases) {
    char out[kStoreTextSize];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(c.name[0] != '\0', store.GetLevelName(c.code, c.level, out)) << c.level;
    EXPECT_STREQ(c.name, out) << c.level;
  }

  char out[kStoreTextSize];
  EXPECT_TRUE(store.GetUnitName(7, out));
  EXPECT_STREQ("m\x81\x51", out);
  EXPECT_FALSE(store.GetUnitName(8, out));
  EXPECT_STREQ("", out);
  EXPECT_FALSE(store.GetUnitName(0, out));
  EXPECT_STREQ("", out);
  EXPECT_TRUE(store.GetSupplierName(65535, out));
  EXPECT_STREQ("supplier", out);
  EXPECT_FALSE(store.GetSupplierName(7, out));
  EXPECT_STREQ("", out);
  // The unit table is not the supplier table.
  EXPECT_FALSE(store.GetSupplierName(65536 + 65535, out));
  EXPECT_FALSE(store.GetUnitName(65535, out));
  EXPECT_FALSE(store.GetUnitName(1, nullptr));

  std::vector<NameEntry> all;
  ASSERT_TRUE(store.ReadAllNames(&all));
  ASSERT_EQ(6u, all.size());
  EXPECT_EQ(NameTable::kLarge, all[0].table);
  EXPECT_EQ(NameTable::kSmall, all[2].table);
  EXPECT_EQ(long_name, all[2].name);
  EXPECT_EQ("elsewhere", all[3].name);
  EXPECT_EQ(7u, all[4].number);
  EXPECT_EQ(65535u, all[5].number);

  // An empty name removes the entry; an invalid entry refuses the whole lot.
  NameEntry remove = entries[3];
  remove.name.clear();
  NameEntry too_long = entries[4];
  too_long.name = std::string(256, 'a');
  EXPECT_FALSE(store.PutNames({remove, too_long}));
  EXPECT_TRUE(store.GetUnitName(7, out));
  ASSERT_TRUE(store.PutNames({remove}));
  EXPECT_FALSE(store.GetUnitName(7, out));
  EXPECT_STREQ("", out);
}

TEST(IsValidNameEntry, Cases) {
  struct Case {
    NameTable table;
    Code code;
    unsigned number;
    std::string name;
    bool valid;
  };
  const Case cases[] = {
      {NameTable::kLarge, MakeCode(1, 0, 0, 0, 0), 0, "a", true},
      {NameTable::kLarge, MakeCode(0, 5, 0, 0, 0), 0, "a", false},
      {NameTable::kSmall, MakeCode(1, 2, 3, 4, 0), 0, std::string(255, 'a'), true},
      {NameTable::kSmall, MakeCode(1, 2, 3, 4, 0), 0, std::string(256, 'a'), false},
      {NameTable::kMiddle, MakeCode(1, 2, 3, 0, 0), 0, std::string("a\0b", 3), false},
      {NameTable::kUnit, 0, 1, "m", true},
      {NameTable::kUnit, 0, 0, "m", false},
      {NameTable::kSupplier, 0, 65535, "s", true},
      {NameTable::kSupplier, 0, 65536, "s", false},
      {NameTable::kSupplier, 0, 9, "", true},
      {NameTable(5), 0, 1, "s", false},
  };
  for (const Case& c : cases) {
    NameEntry entry;
    entry.table = c.table;
    entry.code = c.code;
    entry.number = c.number;
    entry.name = c.name;
    EXPECT_EQ(c.valid, IsValidNameEntry(entry)) << int(c.table) << " " << c.number;
  }
}

TEST(StoreLibrary, BlocksZeroFillAndKeepContents) {
  StoreLibrary library;
  RecordBlock block = library.AllocBlock(3 * sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(3 * sizeof(PriceItem), library.BlockSize(block));
  const unsigned char* bytes = reinterpret_cast<unsigned char*>(library.LockBlock(block));
  for (size_t i = 0; i < 3 * sizeof(PriceItem); ++i) ASSERT_EQ(0, bytes[i]) << i;
  library.UnlockBlock(block);

  std::vector<PriceItem> items = GroupItems(kGroupA, 3, 1);
  std::memcpy(library.LockBlock(block), items.data(), 3 * sizeof(PriceItem));
  library.UnlockBlock(block);
  // Growth by an odd number of bytes, then by many records.
  for (size_t bytes_now : {3 * sizeof(PriceItem) + 5, 259 * sizeof(PriceItem)}) {
    RecordBlock grown = library.ResizeBlock(block, bytes_now);
    ASSERT_NE(nullptr, grown);
    block = grown;
    EXPECT_EQ(bytes_now, library.BlockSize(block));
    PriceItem* records = library.LockBlock(block);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(SameBytes(items[i], records[i]));
    const unsigned char* rest = reinterpret_cast<unsigned char*>(records + 3);
    for (size_t i = 0; i < bytes_now - 3 * sizeof(PriceItem); ++i) ASSERT_EQ(0, rest[i]) << i;
    library.UnlockBlock(block);
  }
  // Shrinking keeps the front.
  block = library.ResizeBlock(block, sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  EXPECT_TRUE(SameBytes(items[0], library.LockBlock(block)[0]));
  library.FreeBlock(block);

  RecordBlock fresh = library.ResizeBlock(nullptr, 10);
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(10u, library.BlockSize(fresh));
  library.FreeBlock(fresh);
  EXPECT_EQ(0u, library.BlockSize(nullptr));
  EXPECT_EQ(nullptr, library.LockBlock(nullptr));
  library.FreeBlock(nullptr);
  EXPECT_EQ(nullptr, library.AllocBlock(SIZE_MAX));
}

TEST(StoreLibrary, ShrunkThenGrownBlockZeroFillsTheRegrownBytes) {
  StoreLibrary library;
  RecordBlock block = library.AllocBlock(2 * sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  std::memset(library.LockBlock(block), 0xCD, 2 * sizeof(PriceItem));
  block = library.ResizeBlock(block, sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  block = library.ResizeBlock(block, 2 * sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  const unsigned char* bytes = reinterpret_cast<unsigned char*>(library.LockBlock(block));
  for (size_t i = 0; i < sizeof(PriceItem); ++i) EXPECT_EQ(0xCD, bytes[i]);
  for (size_t i = sizeof(PriceItem); i < 2 * sizeof(PriceItem); ++i) ASSERT_EQ(0, bytes[i]) << i;
  library.FreeBlock(block);
}

TEST(StoreLibrary, ReadAndWriteGroupThroughBlocks) {
  std::string dir = FreshTestDir();
  StoreLibrary library;
  ASSERT_EQ(1, library.InitDatabase(dir.c_str()));

  RecordBlock block = reinterpret_cast<RecordBlock>(&library);
  int count = 9;
  library.ReadGroup(kGroupA, &block, &count);
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0, count);

  // Room beyond count, as a caller leaves it, is not written.
  std::vector<PriceItem> items = GroupItems(kGroupA, 4, 1);
  RecordBlock out = library.AllocBlock((items.size() + 2) * sizeof(PriceItem));
  std::memcpy(library.LockBlock(out), items.data(), items.size() * sizeof(PriceItem));
  library.UnlockBlock(out);
  library.WriteGroup(kGroupA, out, int(items.size()));
  EXPECT_TRUE(library.last_write_ok());

  library.ReadGroup(items[1].code, &block, &count);
  ASSERT_EQ(int(items.size()), count);
  ASSERT_NE(nullptr, block);
  EXPECT_GE(library.BlockSize(block), items.size() * sizeof(PriceItem));
  PriceItem* records = library.LockBlock(block);
  for (size_t i = 0; i < items.size(); ++i) EXPECT_TRUE(SameBytes(items[i], records[i]));
  library.UnlockBlock(block);
  library.FreeBlock(block);

  PriceItem got;
  EXPECT_EQ(1, library.GetItem(items[3].code, &got));
  EXPECT_TRUE(SameBytes(items[3], got));
  EXPECT_EQ(0, library.GetItem(MakeCode(3, 12, 1, 1, 1), &got));

  // A count past the block's end, a negative count or a null block is refused.
  library.WriteGroup(kGroupA, out, int(items.size()) + 3);
  EXPECT_FALSE(library.last_write_ok());
  library.WriteGroup(kGroupA, out, -1);
  EXPECT_FALSE(library.last_write_ok());
  library.WriteGroup(kGroupA, nullptr, 1);
  EXPECT_FALSE(library.last_write_ok());
  library.ReadGroup(kGroupA, &block, &count);
  EXPECT_EQ(int(items.size()), count);
  library.FreeBlock(block);

  // Count 0 empties the group, with or without a block.
  library.WriteGroup(kGroupA, out, 0);
  EXPECT_TRUE(library.last_write_ok());
  library.ReadGroup(kGroupA, &block, &count);
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0, count);
  library.FreeBlock(out);

  // Null outputs are left alone without a crash; the other output is still set.
  library.ReadGroup(kGroupA, nullptr, &count);
  EXPECT_EQ(0, count);
  block = &got;
  library.ReadGroup(kGroupA, &block, nullptr);
  EXPECT_EQ(nullptr, block);
}

TEST(StoreLibrary, ReadOnlyLibraryRefusesWrites) {
  std::string dir = FreshTestDir();
  std::vector<PriceItem> items = GroupItems(kGroupA, 2, 1);
  {
    StoreLibrary writer;
    ASSERT_EQ(1, writer.InitDatabase(dir.c_str()));
    ASSERT_TRUE(writer.store().WriteGroup(kGroupA, items.data(), items.size()));
  }
  StoreLibrary library(OpenMode::kReadOnly);
  ASSERT_EQ(1, library.InitDatabase(dir.c_str()));
  RecordBlock block = library.AllocBlock(sizeof(PriceItem));
  library.WriteGroup(kGroupA, block, 0);
  EXPECT_FALSE(library.last_write_ok());
  library.FreeBlock(block);
  int count = 0;
  library.ReadGroup(kGroupA, &block, &count);
  EXPECT_EQ(2, count);
  library.FreeBlock(block);
}

TEST(StoreLibrary, TextsAndNamesBeforeAndAfterInit) {
  StoreLibrary library;
  char out[kLibraryTextSize] = "stale";
  library.GetUnitName(1, out);
  EXPECT_STREQ("", out);
  strcpy(out, "stale");
  library.GetLevelName(kGroupA, 0, out);
  EXPECT_STREQ("", out);
  PriceItem item;
  EXPECT_EQ(0, library.GetItem(MakeCode(3, 12, 1, 1, 1), &item));

  std::string dir = FreshTestDir();
  ASSERT_EQ(1, library.InitDatabase(dir.c_str()));
  NameEntry supplier;
  supplier.table = NameTable::kSupplier;
  supplier.number = 12;
  supplier.name = "\x83\x41\x83\x43";
  ASSERT_TRUE(library.store().PutNames({supplier}));
  library.GetSupplierName(12, out);
  EXPECT_STREQ("\x83\x41\x83\x43", out);
  library.GetSupplierName(13, out);
  EXPECT_STREQ("", out);

  Code code = library.ParseItemCode("3-12-0045-0002-0001");
  EXPECT_EQ(MakeCode(3, 12, 45, 2, 1), code);
  library.FormatItemCode(code, out);
  EXPECT_STREQ("3-12-0045-0002-0001", out);
}

}  // namespace
