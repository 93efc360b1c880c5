// Tests of the code index: the first record of a code, as a scan from the front finds it.
#include "data/code_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

PriceItem Record(Code code, uint32_t tag) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = code;
  r.execution_price = tag;
  return r;
}

size_t Scan(const std::vector<PriceItem>& records, Code code) {
  for (size_t k = 0; k < records.size(); k++)
    if (records[k].code == code) return k;
  return CodeIndex::kNone;
}

TEST(CodeIndex, FindsTheFirstOfEqualCodes) {
  const Code a = MakeCode(3, 1, 0, 0, 1), b = MakeCode(3, 1, 0, 0, 2), c = MakeCode(3, 1, 0, 0, 3);
  std::vector<PriceItem> records = {Record(b, 0), Record(a, 1), Record(b, 2), Record(a, 3)};
  CodeIndex index;
  ASSERT_TRUE(index.Build(records.data(), records.size()));
  EXPECT_EQ(1u, index.Find(records.data(), a));
  EXPECT_EQ(0u, index.Find(records.data(), b));
  EXPECT_EQ(CodeIndex::kNone, index.Find(records.data(), c));
  EXPECT_EQ(CodeIndex::kNone, index.Find(records.data(), 0));

  // An appended record is found only when its code is new.
  records.push_back(Record(c, 4));
  ASSERT_TRUE(index.Add(records.data(), 4));
  records.push_back(Record(a, 5));
  ASSERT_TRUE(index.Add(records.data(), 5));
  EXPECT_EQ(4u, index.Find(records.data(), c));
  EXPECT_EQ(1u, index.Find(records.data(), a));
}

TEST(CodeIndex, EmptyAndClearedIndexesFindNothing) {
  CodeIndex index;
  PriceItem r = Record(MakeCode(1, 0, 0, 0, 0), 0);
  EXPECT_EQ(CodeIndex::kNone, index.Find(&r, r.code));
  ASSERT_TRUE(index.Build(&r, 0));
  EXPECT_EQ(CodeIndex::kNone, index.Find(&r, r.code));
  ASSERT_TRUE(index.Add(&r, 0));  // an index with no table yet makes one
  EXPECT_EQ(0u, index.Find(&r, r.code));
  index.Clear();
  EXPECT_EQ(CodeIndex::kNone, index.Find(&r, r.code));
  EXPECT_EQ(0u, index.MemoryBytes());
}

// Built, grown by additions past several resizes, and asked after the array moved: always
// the answer of a scan, for codes that differ in every part (the low parts most).
TEST(CodeIndex, AgreesWithAScanThroughGrowthAndMoves) {
  uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (size_t built : {size_t(0), size_t(1), size_t(12), size_t(500)}) {
    std::vector<PriceItem> records;
    auto code = [&] { return MakeCode(3, next() % 2, next() % 3, next() % 40, next() % 40); };
    for (size_t i = 0; i < built; i++) records.push_back(Record(code(), uint32_t(i)));
    CodeIndex index;
    ASSERT_TRUE(index.Build(records.data(), records.size(), 8));
    for (int step = 0; step < 2000; step++) {
      Code wanted = code();
      ASSERT_EQ(Scan(records, wanted), index.Find(records.data(), wanted)) << built << " " << step;
      if (step % 2 == 0) {
        records.push_back(Record(code(), uint32_t(step)));  // may move the array
        ASSERT_TRUE(index.Add(records.data(), records.size() - 1));
      }
    }
    for (const PriceItem& r : records)
      ASSERT_EQ(Scan(records, r.code), index.Find(records.data(), r.code));
  }
}

}  // namespace
