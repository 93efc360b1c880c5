// Tests of the order of codes and of the sort that keeps one record per code.
#include "data/item_sort.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/reference_sort.h"

namespace {

bool IsZero(const PriceItem& item) {
  static const PriceItem zero = {};
  return memcmp(&item, &zero, sizeof item) == 0;
}

TEST(ItemSort, CompareCodes) {
  const Code a = MakeCode(3, 1, 2, 3, 4);
  struct Case {
    Code a, b;
    int result;
  } cases[] = {
      {a, a, 0},
      {a, a + 1, -1},
      {a + 1, a, 1},
      {MakeCode(3, 9, 0, 0, 0), MakeCode(4, 0, 0, 0, 0), -1},
      // Unsigned: a category with its top bit set is the largest.
      {MakeCode(0x80, 0, 0, 0, 0), MakeCode(0x7F, 0xFF, 0xFFFF, 0xFFFF, 0xFFFF), 1},
      // Category 0 is the code 0 whatever the rest says.
      {MakeCode(0, 5, 6, 7, 8), 0, 0},
      {MakeCode(0, 5, 6, 7, 8), MakeCode(0, 1, 0, 0, 0), 0},
      {MakeCode(0, 0xFF, 0xFFFF, 0xFFFF, 0xFFFF), MakeCode(1, 0, 0, 0, 0), -1},
      // Categories 1 and 2 ignore the high bytes of CodeSmallItem and CodeMiddleItem.
      {MakeCode(1, 5, 0x1203, 0x3407, 9), MakeCode(1, 5, 0x0003, 0x0007, 9), 0},
      {MakeCode(2, 5, 0xFF03, 0x0007, 9), MakeCode(2, 5, 0x0003, 0xFF07, 9), 0},
      {MakeCode(2, 5, 0xFF03, 0x0007, 9), MakeCode(2, 5, 0x0004, 0x0000, 0), -1},
      {MakeCode(1, 5, 0x0100, 0, 0), MakeCode(1, 5, 0x00FF, 0, 0), -1},
      // but not the high byte of the sub-number, nor any byte in other categories.
      {MakeCode(1, 5, 3, 7, 0x0100), MakeCode(1, 5, 3, 7, 0x0001), 1},
      {MakeCode(3, 5, 0x1203, 7, 9), MakeCode(3, 5, 0x0003, 7, 9), 1},
      {MakeCode(3, 5, 3, 0x3407, 9), MakeCode(3, 5, 3, 0x0007, 9), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, CompareCodes(c.a, c.b)) << std::hex << c.a << " " << c.b;
    EXPECT_EQ(-c.result, CompareCodes(c.b, c.a)) << std::hex << c.b << " " << c.a;
  }
}

TEST(ItemSort, PreShuffle) {
  PriceItem records[25];
  PriceItem* p[25];
  for (int i = 0; i < 25; i++) p[i] = &records[i];
  PreShuffle(p, 1);
  EXPECT_EQ(&records[0], p[0]);

  PreShuffle(p, 25);
  PriceItem* expected[25];
  for (int i = 0; i < 25; i++) expected[i] = &records[i];
  std::swap(expected[0], expected[17]);
  std::swap(expected[10], expected[2]);
  std::swap(expected[20], expected[12]);
  for (int i = 0; i < 25; i++) EXPECT_EQ(expected[i], p[i]) << i;

  PreShuffle(p, 0);  // no pointer is touched
  for (int i = 0; i < 25; i++) EXPECT_EQ(expected[i], p[i]) << i;
}

TEST(ItemSort, SortItemsMatchesTheOrderOnShuffledSortedAndReversedInput) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int layout = 0; layout < 3; layout++) {
    std::vector<PriceItem> in(5000);
    for (size_t i = 0; i < in.size(); i++) {
      PriceItem& r = in[i];
      memset(&r, 0, sizeof r);
      unsigned v = layout == 0 ? next() % 1500 : layout == 1 ? unsigned(i / 3) : 5000 - i;
      // Categories 1 to 3, with high bytes that only category 3 sees.
      r.code = MakeCode(1 + v % 3, v % 7, (next() % 2) << 8, v, (next() % 2) << 8);
      r.execution_price = uint32_t(i);
    }
    std::vector<PriceItem> expected = ReferenceSort(in);
    std::vector<PriceItem> items = in;
    ASSERT_EQ(1, SortItems(items.data(), int(items.size())));
    for (size_t i = 0; i < items.size(); i++) {
      if (i < expected.size()) {
        ASSERT_EQ(0, memcmp(&expected[i], &items[i], sizeof(PriceItem))) << layout << " " << i;
      } else {
        ASSERT_TRUE(IsZero(items[i])) << layout << " " << i;
      }
    }
  }
}

}  // namespace
