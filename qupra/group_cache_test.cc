// Tests of the record cache by itself: which groups it holds, what each gives, and that held
// records stay where they were put.
#include "qupra/group_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Records of group 0x030C (category 3, large item 12) and its neighbour.
const unsigned kGroup = 0x030C;
const unsigned kOther = 0x030D;

PriceItem Record(unsigned group, unsigned sub, uint32_t price) {
  PriceItem item;
  std::memset(&item, 0, sizeof item);
  item.code = MakeCode(group >> 8, group & 0xFF, 45, 2, sub);
  item.execution_price = price;
  return item;
}

// Reads records in as the store does: reserve, fill, put.
void PutGroup(GroupCache* cache, unsigned group, const std::vector<PriceItem>& records) {
  PriceItem* space = cache->Reserve(records.size());
  ASSERT_NE(nullptr, space);
  if (!records.empty()) std::memcpy(space, records.data(), records.size() * sizeof records[0]);
  ASSERT_TRUE(cache->Put(group, space, records.size(), records.size()));
}

enum Expected { kNoEntry, kDirect, kHeld };

const std::vector<PriceItem> kTwo = {Record(kGroup, 1, 10), Record(kGroup, 2, 20)};
const std::vector<PriceItem> kOne = {Record(kGroup, 2, 30)};

TEST(GroupCache, HoldsWhatWasPutUpdatedAndForgotten) {
  struct Case {
    const char* what;
    void (*steps)(GroupCache* cache);
    Expected expected;
    std::vector<PriceItem> held;  // when kHeld
  };
  const Case cases[] = {
      {"nothing read", [](GroupCache*) {}, kNoEntry, {}},
      {"read", [](GroupCache* c) { PutGroup(c, kGroup, kTwo); }, kHeld, kTwo},
      {"read empty", [](GroupCache* c) { PutGroup(c, kGroup, {}); }, kHeld, {}},
      {"direct", [](GroupCache* c) { c->PutDirect(kGroup); }, kDirect, {}},
      {"read, then updated",
       [](GroupCache* c) {
         PutGroup(c, kGroup, kTwo);
         c->Update(kGroup, kOne.data(), kOne.size());
       },
       kHeld, kOne},
      {"direct, then updated",
       [](GroupCache* c) {
         c->PutDirect(kGroup);
         c->Update(kGroup, kOne.data(), kOne.size());
       },
       kHeld, kOne},
      {"updated without an entry",
       [](GroupCache* c) { c->Update(kGroup, kOne.data(), 1); },
       kNoEntry,
       {}},
      {"read, then forgotten",
       [](GroupCache* c) {
         PutGroup(c, kGroup, kTwo);
         c->Forget(kGroup);
       },
       kNoEntry,
       {}},
      {"direct, then forgotten",
       [](GroupCache* c) {
         c->PutDirect(kGroup);
         c->Forget(kGroup);
       },
       kNoEntry,
       {}},
      {"read abandoned",
       [](GroupCache* c) {
         ASSERT_NE(nullptr, c->Reserve(2));
         c->Abandon(2);
       },
       kNoEntry,
       {}},
      {"read, then cleared",
       [](GroupCache* c) {
         PutGroup(c, kGroup, kTwo);
         c->Clear();
       },
       kNoEntry,
       {}},
      {"read, then the neighbour read and forgotten",
       [](GroupCache* c) {
         PutGroup(c, kGroup, kTwo);
         PutGroup(c, kOther, {Record(kOther, 1, 40)});
         c->Forget(kOther);
       },
       kHeld, kTwo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GroupCache cache;
    c.steps(&cache);
    EXPECT_EQ(nullptr, cache.Get(kOther));
    const GroupCache::Entry* entry = cache.Get(kGroup);
    if (c.expected == kNoEntry) {
      EXPECT_EQ(nullptr, entry);
      continue;
    }
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(c.expected == kDirect, entry->direct);
    if (c.expected == kDirect) continue;
    ASSERT_EQ(c.held.size(), entry->count);
    for (size_t i = 0; i < c.held.size(); ++i) {
      EXPECT_EQ(0, std::memcmp(&c.held[i], &entry->records[i], sizeof(PriceItem))) << i;
      EXPECT_EQ(i, entry->index.Find(entry->records, c.held[i].code)) << i;
    }
    EXPECT_EQ(CodeIndex::kNone, entry->index.Find(entry->records, Record(kGroup, 9, 0).code));
  }
}

TEST(GroupCache, HeldRecordsStayWhereTheyWerePut) {
  GroupCache cache;
  PutGroup(&cache, kGroup, {Record(kGroup, 1, 10)});
  const PriceItem* first = cache.Get(kGroup)->records;
  // Many more groups, and the neighbour rewritten again and again.
  for (unsigned g = 0x0400; g < 0x0600; ++g)
    PutGroup(&cache, g, {Record(g, 1, g), Record(g, 2, g)});
  std::vector<PriceItem> other = {Record(kOther, 1, 1)};
  for (int i = 0; i < 100; ++i) {
    other[0].execution_price = uint32_t(i);
    if (cache.Get(kOther))
      cache.Update(kOther, other.data(), other.size());
    else
      PutGroup(&cache, kOther, other);
  }
  ASSERT_NE(nullptr, cache.Get(kGroup));
  EXPECT_EQ(first, cache.Get(kGroup)->records);
  EXPECT_EQ(10u, cache.Get(kGroup)->records[0].execution_price);
  EXPECT_EQ(99u, cache.Get(kOther)->records[0].execution_price);
}

TEST(GroupCache, MemoryIsCountedAndGivenBackOnClear) {
  GroupCache cache;
  EXPECT_EQ(0u, cache.MemoryBytes());
  PutGroup(&cache, kGroup, {Record(kGroup, 1, 10)});
  // At least the block the record lives in.
  EXPECT_GE(cache.MemoryBytes(), sizeof(PriceItem));
  cache.Clear();
  EXPECT_EQ(0u, cache.MemoryBytes());
  EXPECT_EQ(nullptr, cache.Get(kGroup));
}

}  // namespace
