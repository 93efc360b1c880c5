// Tests of writing selected items into the database and of the shown-item rule.
#include "data/item_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "data/fake_price_library.h"

namespace {

PriceItem Item(Code code, const char* name, uint32_t execution_price, uint32_t estimate_price,
               const char* note = "", uint8_t unit = 1) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = code;
  strncpy(r.material_name, name, 30);
  strncpy(r.material_note, note, 30);
  r.execution_price = execution_price;
  r.estimate_price = estimate_price;
  r.unit_code = unit;
  r.work_type = 110;
  r.supplier_code = 4;
  return r;
}

bool SameRecord(const PriceItem& a, const PriceItem& b) { return memcmp(&a, &b, sizeof a) == 0; }

const ItemState kSelectedNew = StateSelected | kNewItemState;

class ApplyTest : public ::testing::Test {
 protected:
  void Add(const PriceItem& item, ItemState state) {
    items.push_back(item);
    states.push_back(state);
  }

  // Runs ApplySelectedItems and gives the number of failed groups.
  int Apply(int overwrite_prices, uint16_t kind_filter = kChangeBits) {
    int failed = -1;
    written.assign(items.size(), 9);
    ApplySelectedItems(&db, items.data(), int(items.size()), states.data(), kind_filter,
                       overwrite_prices, &failed, written.data());
    return failed;
  }

  void TearDown() override {
    EXPECT_EQ(0, db.live_blocks) << "a record block was not freed";
    EXPECT_EQ(0, db.locked_misuse) << "a block was resized, written or freed while locked";
  }

  FakePriceLibrary db;
  std::vector<PriceItem> items;
  std::vector<ItemState> states;
  std::vector<uint8_t> written;
};

TEST(ItemStore, IsShown) {
  struct Case {
    ItemState state;
    uint16_t filter;
    bool shown;
  } cases[] = {
      {0, kChangeBits, false},
      {ChangeMaterialName, kChangeBits, true},
      {ChangeMaterialName | StateSelected, ChangeMaterialName, true},
      {ChangeMaterialName | StateApplied, kChangeBits, false},
      {ChangeMaterialName, ChangeMaterialNote, false},
      {ChangeSupplier | ChangeUnit, ChangeUnit, true},
      {kNewItemState, ChangeSupplier, true},
      {StateNew | StateSelected, kChangeBits, false},
      {ChangeMaterialName, 0, false},
      {StateSelected, 0xFFFF, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.shown, IsShown(c.state, c.filter)) << std::hex << c.state << " " << c.filter;
}

TEST(ItemStore, ReleaseItemsEmptiesTheStore) {
  ItemStore store;
  store.items = static_cast<PriceItem*>(calloc(3, sizeof(PriceItem)));
  store.states = static_cast<ItemState*>(calloc(12, sizeof(ItemState)));
  store.count = 2;
  ReleaseItems(&store);
  EXPECT_EQ(nullptr, store.items);
  EXPECT_EQ(nullptr, store.states);
  EXPECT_EQ(0, store.count);
  ReleaseItems(&store);  // an empty store stays empty
  EXPECT_EQ(0, store.count);
}

TEST_F(ApplyTest, NothingEligibleMakesNoLibraryCall) {
  Add(Item(MakeCode(3, 1, 1, 1, 1), "a", 1, 1), ChangeMaterialName);  // not selected
  Add(Item(MakeCode(3, 1, 1, 1, 2), "b", 1, 1), StateSelected | ChangeMaterialName);
  Add(Item(MakeCode(3, 1, 1, 1, 3), "c", 1, 1),
      StateSelected | StateApplied | ChangeExecutionPrice);
  Add(Item(MakeCode(0, 1, 1, 1, 4), "d", 1, 1), kSelectedNew);  // no category
  std::vector<ItemState> before = states;
  // The filter hides the selected name change.
  EXPECT_EQ(0, Apply(1, ChangeExecutionPrice | ChangeEstimatePrice));
  EXPECT_EQ(before, states);
  EXPECT_EQ(0, db.read_group_calls);
  EXPECT_EQ(0, db.write_group_calls);
  EXPECT_EQ(0, db.alloc_calls);
  EXPECT_EQ(std::vector<uint8_t>(4, 0), written);
}

TEST_F(ApplyTest, OnePassCoversEveryItemOfTheGroup) {
  const Code first = MakeCode(3, 1, 1, 1, 1), last = MakeCode(3, 1, 9, 9, 9);
  db.Put(Item(first, "old", 10, 20));
  db.Put(Item(last, "old", 30, 40));
  Add(Item(first, "new first", 10, 20), StateSelected | ChangeMaterialName);
  for (int i = 0; i < 100; i++) Add(Item(MakeCode(4, 1, 1, 1, i), "x", 1, 1), kNewItemState);
  Add(Item(last, "new last", 30, 40), StateSelected | ChangeMaterialName);
  EXPECT_EQ(0, Apply(0));
  EXPECT_EQ(1, db.write_group_calls);
  EXPECT_EQ(2, db.read_group_calls);  // the group and its check after the write
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName, states.front());
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName, states.back());
  EXPECT_EQ(kNewItemState, states[1]);
  EXPECT_TRUE(SameRecord(items.front(), *db.Find(first)));
  EXPECT_TRUE(SameRecord(items.back(), *db.Find(last)));
  EXPECT_EQ(2u, db.records.size());
  EXPECT_EQ(1, written.front());
  EXPECT_EQ(0, written[1]);
  EXPECT_EQ(1, written.back());
}

TEST_F(ApplyTest, NewItemIsAppendedWithTheFilesPricesWhateverOverwriteSays) {
  for (int overwrite : {0, 1}) {
    db.records.clear();
    items.clear();
    states.clear();
    const PriceItem kept = Item(MakeCode(3, 2, 1, 1, 1), "kept", 5, 6);
    db.Put(kept);
    const PriceItem other = Item(MakeCode(3, 3, 1, 1, 1), "other group", 7, 8);
    db.Put(other);
    Add(Item(MakeCode(3, 2, 1, 1, 2), "new", 500, 600), kSelectedNew);
    Add(Item(MakeCode(5, 0, 1, 1, 1), "empty group", 700, 800), kSelectedNew);
    int allocs = db.alloc_calls;
    EXPECT_EQ(0, Apply(overwrite));
    EXPECT_EQ(kSelectedNew | StateApplied, states[0]) << overwrite;
    EXPECT_EQ(kSelectedNew | StateApplied, states[1]) << overwrite;
    ASSERT_NE(nullptr, db.Find(items[0].code));
    EXPECT_TRUE(SameRecord(items[0], *db.Find(items[0].code)));
    ASSERT_NE(nullptr, db.Find(items[1].code));
    EXPECT_TRUE(SameRecord(items[1], *db.Find(items[1].code)));
    EXPECT_TRUE(SameRecord(kept, *db.Find(kept.code)));
    EXPECT_TRUE(SameRecord(other, *db.Find(other.code)));
    EXPECT_EQ(1, db.alloc_calls - allocs);  // only the empty group needs a new block
  }
}

TEST_F(ApplyTest, WithoutOverwriteAPriceChangeKeepsTheDatabasePricesAndStaysPending) {
  const Code code = MakeCode(3, 1, 1, 1, 1);
  db.Put(Item(code, "old", 100, 200));
  Add(Item(code, "new", 150, 200), StateSelected | ChangeMaterialName | ChangeExecutionPrice);
  EXPECT_EQ(0, Apply(0));
  const PriceItem* stored = db.Find(code);
  EXPECT_STREQ("new", stored->material_name);
  EXPECT_EQ(100u, stored->execution_price);
  EXPECT_EQ(200u, stored->estimate_price);
  EXPECT_EQ(StateSelected | ChangeExecutionPrice, states[0]);
  EXPECT_TRUE(IsShown(states[0], kChangeBits));
  EXPECT_EQ(1, written[0]);
}

TEST_F(ApplyTest, WithoutOverwriteEqualPricesLetTheItemBeApplied) {
  const Code code = MakeCode(3, 1, 1, 1, 1);
  db.Put(Item(code, "name", 100, 200, "old note", 1));
  Add(Item(code, "name", 100, 200, "new note", 2), StateSelected | ChangeMaterialNote | ChangeUnit);
  EXPECT_EQ(0, Apply(0));
  EXPECT_TRUE(SameRecord(items[0], *db.Find(code)));
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialNote | ChangeUnit, states[0]);
  EXPECT_FALSE(IsShown(states[0], kChangeBits));
}

TEST_F(ApplyTest, WithOverwriteThePricesAreWrittenToo) {
  const Code code = MakeCode(3, 1, 1, 1, 1);
  db.Put(Item(code, "old", 100, 200));
  Add(Item(code, "new", 150, 250),
      StateSelected | ChangeMaterialName | ChangeExecutionPrice | ChangeEstimatePrice);
  EXPECT_EQ(0, Apply(1));
  EXPECT_TRUE(SameRecord(items[0], *db.Find(code)));
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName | ChangeExecutionPrice |
                ChangeEstimatePrice,
            states[0]);
}

TEST_F(ApplyTest, PendingPriceChangeIsWrittenOncePerApply) {
  const Code a = MakeCode(3, 1, 1, 1, 1), b = MakeCode(3, 1, 1, 1, 2);
  db.Put(Item(a, "old", 1, 1));
  db.Put(Item(b, "old", 1, 1));
  Add(Item(a, "new", 1, 1), StateSelected | ChangeMaterialName);
  Add(Item(b, "new", 2, 1), StateSelected | ChangeMaterialName | ChangeExecutionPrice);
  EXPECT_EQ(0, Apply(0));
  // One pass covers both; b stays eligible, but a second pass in the same call would only
  // write what the first one wrote.
  EXPECT_EQ(1, db.write_group_calls);
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName, states[0]);
  EXPECT_EQ(StateSelected | ChangeExecutionPrice, states[1]);
  EXPECT_EQ(1u, db.Find(b)->execution_price);
  EXPECT_STREQ("new", db.Find(b)->material_name);

  // The next apply writes it again, the database price still kept.
  db.Put(Item(b, "changed meanwhile", 3, 1));
  EXPECT_EQ(0, Apply(0));
  EXPECT_EQ(2, db.write_group_calls);
  EXPECT_EQ(StateSelected | ChangeExecutionPrice, states[1]);
  EXPECT_STREQ("new", db.Find(b)->material_name);
  EXPECT_EQ(3u, db.Find(b)->execution_price);

  // Once the filter hides its price bit, the pending item is left alone.
  EXPECT_EQ(0, Apply(0, ChangeMaterialName | ChangeEstimatePrice));
  EXPECT_EQ(2, db.write_group_calls);
}

TEST_F(ApplyTest, GroupBlockGrowsOnlyAfter255Appends) {
  struct Case {
    int stored, appended, resizes, allocs;
  } cases[] = {
      {3, 254, 1, 0},  // the block as read is resized to n + 256 once
      {3, 255, 2, 0}, {0, 254, 0, 1}, {0, 255, 1, 1}, {0, 600, 2, 1},
  };
  for (const Case& c : cases) {
    db.records.clear();
    items.clear();
    states.clear();
    db.resize_calls = db.alloc_calls = 0;
    for (int i = 0; i < c.stored; i++) db.Put(Item(MakeCode(3, 1, 0, 0, i), "stored", 1, 1));
    for (int i = 0; i < c.appended; i++)
      Add(Item(MakeCode(3, 1, 1, 0, i), "new", uint32_t(i), 1), kSelectedNew);
    EXPECT_EQ(0, Apply(0));
    EXPECT_EQ(c.resizes, db.resize_calls) << c.stored << "+" << c.appended;
    EXPECT_EQ(c.allocs, db.alloc_calls) << c.stored << "+" << c.appended;
    ASSERT_EQ(size_t(c.stored + c.appended), db.records.size());
    for (const PriceItem& item : items) EXPECT_TRUE(SameRecord(item, *db.Find(item.code)));
  }
}

TEST_F(ApplyTest, GroupReadBackInAnotherOrderCountsAsWritten) {
  // The library hands the group out in code order, so the appended record comes first.
  db.Put(Item(MakeCode(3, 1, 9, 9, 9), "stored", 1, 1));
  Add(Item(MakeCode(3, 1, 1, 1, 1), "new", 1, 1), kSelectedNew);
  EXPECT_EQ(0, Apply(0));
  EXPECT_EQ(kSelectedNew | StateApplied, states[0]);
}

TEST_F(ApplyTest, FailedWriteLeavesTheGroupsItemsAsTheyWere) {
  for (auto fault :
       {FakePriceLibrary::WriteFault::kStoreNothing, FakePriceLibrary::WriteFault::kStoreAltered}) {
    db.records.clear();
    items.clear();
    states.clear();
    db.read_group_calls = db.write_group_calls = 0;
    db.write_fault = fault;
    db.write_fault_group = int(CodeGroup(MakeCode(3, 1, 0, 0, 0)));
    db.Put(Item(MakeCode(3, 1, 1, 1, 1), "old", 1, 1));
    Add(Item(MakeCode(3, 1, 1, 1, 1), "new", 1, 1), StateSelected | ChangeMaterialName);
    Add(Item(MakeCode(3, 1, 1, 1, 2), "added", 1, 1), kSelectedNew);
    Add(Item(MakeCode(3, 2, 1, 1, 1), "fine", 1, 1), kSelectedNew);
    std::vector<ItemState> before = states;
    EXPECT_EQ(1, Apply(0));
    EXPECT_EQ(before[0], states[0]);
    EXPECT_EQ(before[1], states[1]);
    EXPECT_EQ(kSelectedNew | StateApplied, states[2]);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 1}), written);
    // The failed group is tried once, not once more for each of its items.
    EXPECT_EQ(2, db.write_group_calls);
    EXPECT_EQ(4, db.read_group_calls);
  }
}

TEST_F(ApplyTest, ItemGoneFromItsGroupIsWrittenWithTheFilesPrices) {
  // Found when the file was loaded, missing now: nothing to keep the prices from.
  const Code code = MakeCode(3, 1, 1, 1, 1);
  db.Put(Item(MakeCode(3, 1, 1, 1, 2), "neighbour", 1, 1));
  Add(Item(code, "back", 150, 250), StateSelected | ChangeMaterialName | ChangeExecutionPrice);
  EXPECT_EQ(0, Apply(0));
  ASSERT_NE(nullptr, db.Find(code));
  EXPECT_TRUE(SameRecord(items[0], *db.Find(code)));
  EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName | ChangeExecutionPrice, states[0]);
}

TEST_F(ApplyTest, BlockThatCannotBeHadFailsOnlyItsGroup) {
  // A group first in the array takes the first resize; the second group fails.
  struct Case {
    int allocs_left, resizes_left, stored, appended;
  } cases[] = {
      {0, -1, 0, 1},    // no new block for an empty group
      {-1, 1, 1, 1},    // the group's block cannot take the free records
      {-1, 2, 1, 300},  // nor grow after 255 appends
  };
  for (const Case& c : cases) {
    db.records.clear();
    items.clear();
    states.clear();
    db.allocs_left = c.allocs_left;
    db.resizes_left = c.resizes_left;
    db.write_group_calls = 0;
    const PriceItem other = Item(MakeCode(3, 1, 1, 1, 1), "old", 1, 1);
    db.Put(other);
    Add(Item(other.code, "changed", 1, 1), StateSelected | ChangeMaterialName);
    if (c.stored) db.Put(Item(MakeCode(3, 2, 0, 0, 0), "stored", 1, 1));
    for (int i = 0; i < c.appended; i++)
      Add(Item(MakeCode(3, 2, 1, 1, i), "new", 1, 1), kSelectedNew);
    std::vector<ItemState> before = states;
    EXPECT_EQ(1, Apply(0)) << c.allocs_left << " " << c.resizes_left;
    EXPECT_EQ(1, db.write_group_calls);
    EXPECT_STREQ("changed", db.Find(other.code)->material_name);
    EXPECT_EQ(StateSelected | StateApplied | ChangeMaterialName, states[0]);
    for (size_t i = 1; i < states.size(); i++) ASSERT_EQ(before[i], states[i]) << i;
    EXPECT_EQ(size_t(c.stored + 1), db.records.size());
  }
}

}  // namespace

namespace {

// A database that keeps each group's records in the order written, duplicates included, as
// the library does; blocks from malloc with their size in front.
class GroupListLibrary : public FakePriceLibrary {
 public:
  std::map<unsigned, std::vector<PriceItem>> groups;

  void ReadGroup(Code code, RecordBlock* block, int* count) override {
    *block = nullptr;
    *count = 0;
    const std::vector<PriceItem>& g = groups[CodeGroup(code)];
    if (g.empty()) return;
    *block = AllocBlock(g.size() * sizeof(PriceItem));
    memcpy(LockBlock(*block), g.data(), g.size() * sizeof(PriceItem));
    UnlockBlock(*block);
    *count = int(g.size());
  }
  void WriteGroup(Code code, RecordBlock block, int count) override {
    const PriceItem* records = LockBlock(block);
    groups[CodeGroup(code)].assign(records, records + count);
    UnlockBlock(block);
  }
};

// The writing done the simple way: a linear scan per item, and a further pass for each item
// still eligible when the outer loop reaches it. An item gone from its group is
// written whole, with the file's prices.
void ReferenceApply(std::map<unsigned, std::vector<PriceItem>>* db,
                    const std::vector<PriceItem>& items, std::vector<ItemState>* states,
                    uint16_t filter, int overwrite) {
  auto eligible = [&](size_t i) {
    ItemState s = (*states)[i];
    return (s & StateSelected) && !(s & StateApplied) && (s & filter & kChangeBits) &&
           CodeCategory(items[i].code) != 0;
  };
  for (size_t i = 0; i < items.size(); i++) {
    if (!eligible(i)) continue;
    unsigned g = CodeGroup(items[i].code);
    std::vector<PriceItem> block = (*db)[g];
    for (size_t j = i; j < items.size(); j++) {
      if (!eligible(j) || CodeGroup(items[j].code) != g) continue;
      size_t k = 0;
      while (k < block.size() && block[k].code != items[j].code) k++;
      bool gone = k == block.size();
      PriceItem old = gone ? PriceItem() : block[k];
      if (gone)
        block.push_back(items[j]);
      else
        block[k] = items[j];
      ItemState& s = (*states)[j];
      if (overwrite || (s & 0xFF) == 0xFF || gone) {
        s |= StateApplied;
      } else {
        block[k].execution_price = old.execution_price;
        block[k].estimate_price = old.estimate_price;
        if (s & (ChangeExecutionPrice | ChangeEstimatePrice))
          s &= 0xFF0C;
        else
          s |= StateApplied;
      }
    }
    (*db)[g] = block;
  }
}

TEST(ApplySelectedItems, AgreesWithScansAndFurtherPassesOnRandomStores) {
  uint32_t seed = 77;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 60; round++) {
    GroupListLibrary db;
    // Three groups; codes from a small range, so that the database holds duplicates and
    // the file holds codes the database lacks. One group may take hundreds of new items.
    auto code = [&](unsigned spread) {
      return MakeCode(3, 1 + next() % 3, 0, next() % spread, next() % 4);
    };
    for (int n = next() % 60; n > 0; n--) {
      PriceItem r = Item(code(20), "db", next() % 5, next() % 5);
      db.groups[CodeGroup(r.code)].push_back(r);
    }
    std::vector<PriceItem> items;
    std::vector<ItemState> states;
    unsigned spread = round % 5 == 0 ? 200 : 20;
    for (int n = round % 5 == 0 ? 700 : 80; n > 0; n--) {
      items.push_back(Item(code(spread), "file", next() % 5, next() % 5));
      ItemState s = ItemState(next() % 0x80);
      if (next() % 8 == 0) s = kNewItemState;
      if (next() % 4) s |= StateSelected;
      if (next() % 10 == 0) s |= StateApplied;
      states.push_back(s);
    }
    uint16_t filter = next() % 3 ? kChangeBits : uint16_t(next() % 0x80);
    int overwrite = int(next() % 2);

    std::map<unsigned, std::vector<PriceItem>> expected_db = db.groups;
    std::vector<ItemState> expected_states = states;
    ReferenceApply(&expected_db, items, &expected_states, filter, overwrite);
    int failed = -1;
    ApplySelectedItems(&db, items.data(), int(items.size()), states.data(), filter, overwrite,
                       &failed);
    EXPECT_EQ(0, failed);
    ASSERT_EQ(expected_states, states) << round;
    for (auto& g : expected_db) {
      const std::vector<PriceItem>& got = db.groups[g.first];
      ASSERT_EQ(g.second.size(), got.size()) << round << " group " << g.first;
      for (size_t k = 0; k < got.size(); k++)
        ASSERT_TRUE(SameRecord(g.second[k], got[k])) << round << " group " << g.first << " " << k;
    }
    EXPECT_EQ(0, db.live_blocks);
  }
}

}  // namespace
