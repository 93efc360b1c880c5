// Tests of the SQLite price store: byte-exact records, groups, atomic writes, and bad files.
#include "qupra/price_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "qupra/test_util.h"

namespace {

const Code kA1 = MakeCode(3, 12, 45, 2, 1);
const Code kA2 = MakeCode(3, 12, 45, 2, 2);
const Code kA3 = MakeCode(3, 12, 900, 7, 0);
const Code kB1 = MakeCode(3, 13, 45, 2, 1);  // another large item
const Code kC1 = MakeCode(4, 12, 45, 2, 1);  // another category

class PriceStoreTest : public StoreTest {
 protected:
  void WriteGroup(Code code, const std::vector<PriceItem>& items) {
    ASSERT_TRUE(store_.WriteGroup(code, items.data(), items.size()));
  }

  void ExpectGroup(Code code, const std::vector<PriceItem>& expected) {
    ::ExpectGroup(&store_, code, expected);
  }
};

TEST_F(PriceStoreTest, CreatesTheFileEmpty) {
  EXPECT_TRUE(std::filesystem::exists(DbPath()));
  std::vector<PriceItem> items(1);
  EXPECT_TRUE(store_.ReadGroup(kA1, &items));
  EXPECT_TRUE(items.empty());
  PriceItem item;
  EXPECT_FALSE(store_.GetItem(kA1, &item));
  EXPECT_TRUE(store_.ReadAll(&items));
  EXPECT_TRUE(items.empty());
}

TEST_F(PriceStoreTest, FolderWithSeparatorNamesTheSameFile) {
  WriteGroup(kA1, {SampleItem(kA1, 1)});
  PriceStore other;
  ASSERT_TRUE(other.Open((dir_ + "/").c_str()));
  PriceItem item;
  EXPECT_TRUE(other.GetItem(kA1, &item));
}

TEST_F(PriceStoreTest, KeepsRecordsByteForByteInWrittenOrder) {
  std::vector<PriceItem> items = {SampleItem(kA3, 1), SampleItem(kA1, 2), SampleItem(kA2, 3)};
  WriteGroup(kA1, items);
  ExpectGroup(kA1, items);
  // Any code of the group names it.
  ExpectGroup(MakeCode(3, 12, 1, 1, 1), items);
  for (const PriceItem& expected : items) {
    PriceItem got;
    ASSERT_TRUE(store_.GetItem(expected.code, &got));
    EXPECT_TRUE(SameBytes(expected, got));
  }
  // And after the file was closed.
  store_.Close();
  ASSERT_TRUE(store_.Open(dir_.c_str()));
  ExpectGroup(kA1, items);
}

TEST_F(PriceStoreTest, WriteReplacesOnlyItsGroup) {
  WriteGroup(kA1, {SampleItem(kA1, 1), SampleItem(kA2, 2)});
  WriteGroup(kB1, {SampleItem(kB1, 3)});
  WriteGroup(kC1, {SampleItem(kC1, 4)});
  WriteGroup(kA2, {SampleItem(kA3, 5)});
  ExpectGroup(kA1, {SampleItem(kA3, 5)});
  ExpectGroup(kB1, {SampleItem(kB1, 3)});
  ExpectGroup(kC1, {SampleItem(kC1, 4)});
  PriceItem item;
  EXPECT_FALSE(store_.GetItem(kA1, &item));
  // No records empties the group.
  ASSERT_TRUE(store_.WriteGroup(kA1, nullptr, 0));
  ExpectGroup(kA1, {});
  ExpectGroup(kB1, {SampleItem(kB1, 3)});
}

TEST_F(PriceStoreTest, GetItemGivesTheFirstOfEqualCodes) {
  WriteGroup(kA1, {SampleItem(kA2, 1), SampleItem(kA1, 2), SampleItem(kA1, 3)});
  PriceItem item;
  ASSERT_TRUE(store_.GetItem(kA1, &item));
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 2), item));
  ExpectGroup(kA1, {SampleItem(kA2, 1), SampleItem(kA1, 2), SampleItem(kA1, 3)});
}

TEST_F(PriceStoreTest, RecordOfAnotherGroupRefusesTheWrite) {
  std::vector<PriceItem> old = {SampleItem(kA1, 1), SampleItem(kA2, 2)};
  WriteGroup(kA1, old);
  const Code foreign[] = {kB1, kC1, 0};
  for (Code code : foreign) {
    std::vector<PriceItem> items = {SampleItem(kA3, 3), SampleItem(code, 4)};
    EXPECT_FALSE(store_.WriteGroup(kA1, items.data(), items.size())) << code;
    ExpectGroup(kA1, old);
    ExpectGroup(code, {});
  }
}

TEST_F(PriceStoreTest, GroupOfCategoryZeroIsRefused) {
  PriceItem empty;
  std::memset(&empty, 0, sizeof empty);
  EXPECT_FALSE(store_.WriteGroup(0, &empty, 1));
  EXPECT_FALSE(store_.WriteGroup(MakeCode(0, 5, 0, 0, 0), nullptr, 0));
  PriceItem item;
  EXPECT_FALSE(store_.GetItem(0, &item));
}

TEST_F(PriceStoreTest, WriteFailingHalfwayLeavesTheOldGroup) {
  std::vector<PriceItem> old = {SampleItem(kA1, 1), SampleItem(kA2, 2)};
  WriteGroup(kA1, old);
  // The sixth insert fails, after the old records were deleted and five new ones written.
  ExecBeside(
      "CREATE TRIGGER fail_late BEFORE INSERT ON items WHEN NEW.pos = 5"
      " BEGIN SELECT RAISE(ABORT, 'no room'); END");
  std::vector<PriceItem> items;
  for (unsigned i = 0; i < 10; ++i) items.push_back(SampleItem(MakeCode(3, 12, 1, 1, i), 10 + i));
  EXPECT_FALSE(store_.WriteGroup(kA1, items.data(), items.size()));
  ExpectGroup(kA1, old);
  // The store still works once the cause is gone.
  ExecBeside("DROP TRIGGER fail_late");
  WriteGroup(kA1, items);
  ExpectGroup(kA1, items);
}

TEST_F(PriceStoreTest, TwoStoresOnTheFileSeeEachOthersWrites) {
  PriceStore second;
  ASSERT_TRUE(second.Open(dir_.c_str()));
  WriteGroup(kA1, {SampleItem(kA1, 1)});
  PriceItem item;
  ASSERT_TRUE(second.GetItem(kA1, &item));
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), item));
  std::vector<PriceItem> items = {SampleItem(kA2, 2)};
  ASSERT_TRUE(second.WriteGroup(kA1, items.data(), items.size()));
  ExpectGroup(kA1, items);
}

TEST_F(PriceStoreTest, PutItemsReplacesInPlaceAndAppends) {
  WriteGroup(kA1, {SampleItem(kA1, 1), SampleItem(kA2, 2)});
  WriteGroup(kB1, {SampleItem(kB1, 3)});
  ASSERT_TRUE(store_.PutItems({SampleItem(kA3, 4), SampleItem(kA1, 5), SampleItem(kC1, 6)}));
  ExpectGroup(kA1, {SampleItem(kA1, 5), SampleItem(kA2, 2), SampleItem(kA3, 4)});
  ExpectGroup(kB1, {SampleItem(kB1, 3)});
  ExpectGroup(kC1, {SampleItem(kC1, 6)});
  // A record of category 0 refuses the lot.
  PriceItem empty;
  std::memset(&empty, 0, sizeof empty);
  EXPECT_FALSE(store_.PutItems({SampleItem(kA1, 7), empty}));
  ExpectGroup(kA1, {SampleItem(kA1, 5), SampleItem(kA2, 2), SampleItem(kA3, 4)});
  std::vector<PriceItem> all;
  ASSERT_TRUE(store_.ReadAll(&all));
  ASSERT_EQ(5u, all.size());
  EXPECT_EQ(kA1, Code(all[0].code));
  EXPECT_EQ(kB1, Code(all[3].code));
  EXPECT_EQ(kC1, Code(all[4].code));
}

TEST_F(PriceStoreTest, ReadOnlyFileReadsButNeverWrites) {
  std::vector<PriceItem> old = {SampleItem(kA1, 1)};
  WriteGroup(kA1, old);
  ASSERT_TRUE(store_.PutNames({{NameTable::kUnit, 0, 1, "m"}}));
  store_.Close();
  ASSERT_TRUE(store_.Open(dir_.c_str(), OpenMode::kReadOnly));
  PriceItem item;
  EXPECT_TRUE(store_.GetItem(kA1, &item));
  ExpectGroup(kA1, old);
  std::vector<PriceItem> items = {SampleItem(kA2, 2)};
  EXPECT_FALSE(store_.WriteGroup(kA1, items.data(), items.size()));
  EXPECT_FALSE(store_.PutItems(items));
  EXPECT_FALSE(store_.PutNames({{NameTable::kUnit, 0, 1, "kg"}}));
  ExpectGroup(kA1, old);
  char name[kStoreTextSize];
  EXPECT_TRUE(store_.GetUnitName(1, name));
  EXPECT_STREQ("m", name);
}

TEST(PriceStore, ReadOnlyOpenCreatesNothing) {
  std::string dir = FreshTestDir();
  PriceStore store;
  EXPECT_FALSE(store.Open(dir.c_str(), OpenMode::kReadOnly));
  EXPECT_FALSE(std::filesystem::exists(dir + "/" + kStoreFileName));
}

TEST(PriceStore, MissingFolderFailsToOpen) {
  PriceStore store;
  EXPECT_FALSE(store.Open((FreshTestDir() + "/missing").c_str()));
  EXPECT_FALSE(store.IsOpen());
}

// What every operation of a store gives when it is closed, or its file unusable.
void ExpectNothingWorks(PriceStore* store) {
  PriceItem item = SampleItem(kA1, 1);
  EXPECT_FALSE(store->GetItem(kA1, &item));
  std::vector<PriceItem> items(3);
  EXPECT_FALSE(store->ReadGroup(kA1, &items));
  EXPECT_TRUE(items.empty());
  items = {SampleItem(kA1, 1)};
  EXPECT_FALSE(store->WriteGroup(kA1, items.data(), items.size()));
  EXPECT_FALSE(store->PutItems(items));
  EXPECT_FALSE(store->ReadAll(&items));
  EXPECT_TRUE(items.empty());
  EXPECT_FALSE(store->PutNames({{NameTable::kUnit, 0, 1, "m"}}));
  std::vector<NameEntry> names(1);
  EXPECT_FALSE(store->ReadAllNames(&names));
  EXPECT_TRUE(names.empty());
  char name[kStoreTextSize];
  for (int level = 0; level < 3; ++level) {
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(store->GetLevelName(kA1, level, name));
    EXPECT_STREQ("", name);
  }
  std::memset(name, 'x', sizeof name);
  EXPECT_FALSE(store->GetUnitName(1, name));
  EXPECT_STREQ("", name);
  std::memset(name, 'x', sizeof name);
  EXPECT_FALSE(store->GetSupplierName(1, name));
  EXPECT_STREQ("", name);
}

TEST(PriceStore, ClosedStoreGivesEmptyResults) {
  PriceStore store;
  ExpectNothingWorks(&store);
}

TEST(PriceStore, CorruptFileGivesEmptyResultsAndIsLeftAlone) {
  struct Case {
    const char* what;
    bool keep_first_page;
  };
  const Case cases[] = {{"garbage from the first byte", false},
                        {"valid first page, garbage after it", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dir = FreshTestDir();
    std::string path = dir + "/" + kStoreFileName;
    {
      PriceStore store;
      ASSERT_TRUE(store.Open(dir.c_str()));
      std::vector<PriceItem> items;
      for (unsigned i = 0; i < 200; ++i) items.push_back(SampleItem(MakeCode(3, 12, 1, 1, i), i));
      ASSERT_TRUE(store.WriteGroup(kA1, items.data(), items.size()));
      ASSERT_TRUE(store.PutNames({{NameTable::kUnit, 0, 1, "m"}}));
    }
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, &bytes));
    size_t page_size = (size_t(static_cast<unsigned char>(bytes[16])) << 8) |
                       static_cast<unsigned char>(bytes[17]);
    if (page_size == 1) page_size = 65536;  // how the header writes the largest size
    ASSERT_LT(page_size, bytes.size());
    for (size_t i = c.keep_first_page ? page_size : 0; i < bytes.size(); ++i)
      bytes[i] = char(0xA5 ^ (i * 13));
    ASSERT_TRUE(WriteWholeFile(path, bytes));

    PriceStore store;
    store.Open(dir.c_str());
    ExpectNothingWorks(&store);
    store.Close();
    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, &after));
    EXPECT_TRUE(after == bytes);
  }
}

TEST(PriceStore, ShortGarbageFileIsNoDatabase) {
  std::string dir = FreshTestDir();
  ASSERT_TRUE(WriteWholeFile(dir + "/" + kStoreFileName, "not a database"));
  PriceStore store;
  EXPECT_FALSE(store.Open(dir.c_str()));
  ExpectNothingWorks(&store);
}

TEST_F(PriceStoreTest, FileOfAnotherSchemaVersionIsLeftAlone) {
  ExecBeside("PRAGMA user_version = 2");
  EXPECT_FALSE(store_.Open(dir_.c_str()));
}

}  // namespace
