// Tests of the change bits computed from the database's records.
#include "data/item_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/fake_price_library.h"

namespace {

PriceItem Record(Code code) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = code;
  strcpy(r.material_name, "異形棒鋼 D13");
  strcpy(r.material_note, "JIS G3112");
  r.execution_price = 67000;
  r.estimate_price = 71000;
  r.unit_code = 3;
  r.work_type = 110;
  r.supplier_code = 27;
  return r;
}

TEST(ItemCompare, EachDifferingFieldSetsItsBit) {
  struct Case {
    void (*change)(PriceItem*);
    ItemState bit;
  } cases[] = {
      {[](PriceItem*) {}, 0},
      {[](PriceItem* r) { strcpy(r->material_name, "異形棒鋼 D16"); }, ChangeMaterialName},
      {[](PriceItem* r) { r->material_name[0] = 0; }, ChangeMaterialName},
      {[](PriceItem* r) { strcpy(r->material_note, "JIS G3112 SD345"); }, ChangeMaterialNote},
      {[](PriceItem* r) { r->execution_price = 0; }, ChangeExecutionPrice},
      {[](PriceItem* r) { r->estimate_price = 0xFFFFFFFF; }, ChangeEstimatePrice},
      {[](PriceItem* r) { r->unit_code = 0; }, ChangeUnit},
      {[](PriceItem* r) { r->work_type = 111; }, ChangeWorkType},
      {[](PriceItem* r) { r->supplier_code = 0x8000 | 27; }, ChangeSupplier},
      // Letter case and what lies after a text's NUL make no difference.
      {[](PriceItem* r) { strcpy(r->material_note, "jis g3112"); }, 0},
      {[](PriceItem* r) { r->material_note[20] = 'x'; }, 0},
      {[](PriceItem* r) {
         r->execution_price++;
         r->unit_code++;
         r->supplier_code++;
       },
       ChangeExecutionPrice | ChangeUnit | ChangeSupplier},
  };
  FakePriceLibrary db;
  std::vector<PriceItem> items;
  ItemState expected[sizeof cases / sizeof cases[0]];
  int n = 0;
  for (const Case& c : cases) {
    PriceItem item = Record(MakeCode(3, 1, 1, 1, n));
    db.Put(item);
    c.change(&item);
    items.push_back(item);
    expected[n++] = c.bit;
  }
  std::vector<ItemState> states(items.size() + 1, 0x1234);
  ComputeItemStates(&db, items.data(), n, states.data());
  for (int i = 0; i < n; i++) EXPECT_EQ(expected[i], states[size_t(i)]) << "case " << i;
  EXPECT_EQ(0x1234, states.back());
  EXPECT_EQ(n, db.get_item_calls);
}

TEST(ItemCompare, ItemTheDatabaseLacksIsNew) {
  FakePriceLibrary db;
  db.Put(Record(MakeCode(3, 1, 1, 1, 1)));
  PriceItem items[] = {Record(MakeCode(3, 1, 1, 1, 2)), Record(MakeCode(3, 1, 1, 1, 1)),
                       Record(MakeCode(1, 1, 1, 1, 1))};
  ItemState states[3] = {};
  ComputeItemStates(&db, items, 3, states);
  EXPECT_EQ(kNewItemState, states[0]);
  EXPECT_EQ(0, states[1]);
  EXPECT_EQ(kNewItemState, states[2]);
}

TEST(ItemCompare, TextsWithoutNulAreNotReadPast) {
  FakePriceLibrary db;
  // Not a single NUL after the code, in the item nor in the database: the texts are
  // compared up to their fields' ends.
  PriceItem stored = Record(MakeCode(3, 1, 1, 1, 1));
  memset(reinterpret_cast<char*>(&stored) + 8, 'A', sizeof stored - 8);
  db.Put(stored);
  PriceItem item = stored;
  ItemState state = 0x1234;
  ComputeItemStates(&db, &item, 1, &state);
  EXPECT_EQ(0, state);
  item.material_note[31] = 'B';
  ComputeItemStates(&db, &item, 1, &state);
  EXPECT_EQ(ChangeMaterialNote, state);
}

}  // namespace
