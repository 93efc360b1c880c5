// Tests of the PriceLibrary over the store: record blocks in and out, and refused blocks.
#include "qupra/store_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "qupra/test_util.h"

namespace {

const Code kA1 = MakeCode(3, 12, 45, 2, 1);
const Code kA2 = MakeCode(3, 12, 45, 2, 2);
const Code kA3 = MakeCode(3, 12, 46, 0, 0);

class StoreLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshTestDir();
    ASSERT_EQ(1, library_.InitDatabase(dir_.c_str()));
  }

  RecordBlock BlockOf(const std::vector<PriceItem>& items) {
    RecordBlock block = library_.AllocBlock(items.size() * sizeof(PriceItem));
    std::memcpy(library_.LockBlock(block), items.data(), items.size() * sizeof(PriceItem));
    library_.UnlockBlock(block);
    return block;
  }

  std::vector<PriceItem> Group(Code code) {
    RecordBlock block = reinterpret_cast<RecordBlock>(1);
    int count = -1;
    library_.ReadGroup(code, &block, &count);
    std::vector<PriceItem> items;
    if (count > 0) {
      EXPECT_EQ(size_t(count) * sizeof(PriceItem), library_.BlockSize(block));
      PriceItem* records = library_.LockBlock(block);
      items.assign(records, records + count);
      library_.UnlockBlock(block);
      library_.FreeBlock(block);
    } else {
      EXPECT_EQ(nullptr, block);
      EXPECT_EQ(0, count);
    }
    return items;
  }

  std::string dir_;
  StoreLibrary library_;
};

TEST_F(StoreLibraryTest, BlocksRoundTrip) {
  std::vector<PriceItem> items = {SampleItem(kA2, 1), SampleItem(kA1, 2)};
  RecordBlock block = BlockOf(items);
  library_.WriteGroup(kA1, block, 2);
  EXPECT_TRUE(library_.last_write_ok());
  library_.FreeBlock(block);
  std::vector<PriceItem> got = Group(kA3);
  ASSERT_EQ(2u, got.size());
  EXPECT_TRUE(SameBytes(items[0], got[0]));
  EXPECT_TRUE(SameBytes(items[1], got[1]));
  PriceItem item;
  EXPECT_EQ(1, library_.GetItem(kA1, &item));
  EXPECT_TRUE(SameBytes(items[1], item));
  EXPECT_EQ(0, library_.GetItem(kA3, &item));
  EXPECT_TRUE(Group(MakeCode(3, 13, 0, 0, 0)).empty());
}

TEST_F(StoreLibraryTest, GrowingABlockKeepsRecordsAndZeroFills) {
  std::vector<PriceItem> items = {SampleItem(kA1, 1)};
  RecordBlock block = BlockOf(items);
  // As the writer does: room for 256 more, then one appended record.
  block = library_.ResizeBlock(block, 257 * sizeof(PriceItem));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(257 * sizeof(PriceItem), library_.BlockSize(block));
  PriceItem* records = library_.LockBlock(block);
  EXPECT_TRUE(SameBytes(items[0], records[0]));
  const unsigned char* grown = reinterpret_cast<const unsigned char*>(records + 1);
  size_t nonzero = 0;
  for (size_t i = 0; i < 256 * sizeof(PriceItem); ++i) nonzero += grown[i] != 0;
  EXPECT_EQ(0u, nonzero);
  records[1] = SampleItem(kA2, 2);
  library_.UnlockBlock(block);
  library_.WriteGroup(kA1, block, 2);
  EXPECT_TRUE(library_.last_write_ok());
  library_.FreeBlock(block);
  EXPECT_EQ(2u, Group(kA1).size());
}

TEST_F(StoreLibraryTest, BadBlockOrCountIsRefused) {
  std::vector<PriceItem> old = {SampleItem(kA1, 1)};
  RecordBlock block = BlockOf(old);
  library_.WriteGroup(kA1, block, 1);
  ASSERT_TRUE(library_.last_write_ok());
  RecordBlock two = BlockOf({SampleItem(kA1, 2), SampleItem(kA2, 3)});
  library_.WriteGroup(kA1, two, 3);  // past the block's end
  EXPECT_FALSE(library_.last_write_ok());
  library_.WriteGroup(kA1, two, -1);
  EXPECT_FALSE(library_.last_write_ok());
  library_.WriteGroup(kA1, nullptr, 1);
  EXPECT_FALSE(library_.last_write_ok());
  std::vector<PriceItem> got = Group(kA1);
  ASSERT_EQ(1u, got.size());
  EXPECT_TRUE(SameBytes(old[0], got[0]));
  library_.FreeBlock(block);
  library_.FreeBlock(two);
}

TEST_F(StoreLibraryTest, NullOutputsAreIgnored) {
  library_.ReadGroup(kA1, nullptr, nullptr);
  int count = 5;
  library_.ReadGroup(kA1, nullptr, &count);
  EXPECT_EQ(0, count);
  EXPECT_EQ(0, library_.GetItem(kA1, nullptr));
}

TEST(StoreLibrary, BeforeInitEverythingIsEmpty) {
  StoreLibrary library;
  PriceItem item;
  EXPECT_EQ(0, library.GetItem(kA1, &item));
  RecordBlock block = reinterpret_cast<RecordBlock>(1);
  int count = 7;
  library.ReadGroup(kA1, &block, &count);
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0, count);
  char name[kLibraryTextSize] = "stale";
  library.GetUnitName(1, name);
  EXPECT_STREQ("", name);
  EXPECT_EQ(0, library.InitDatabase((FreshTestDir() + "/missing").c_str()));
}

TEST(StoreLibrary, CodesAsText) {
  StoreLibrary library;
  char text[kLibraryTextSize];
  library.FormatItemCode(kA1, text);
  EXPECT_STREQ("3-12-0045-0002-0001", text);
  EXPECT_EQ(kA1, library.ParseItemCode(text));
}

}  // namespace
