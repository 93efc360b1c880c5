// The items of the loaded update file, their states, and writing them into the database.
#pragma once

#include <cstdint>

#include "data/price_item.h"
#include "data/price_library.h"

class UndoSaver;

struct ItemStore {
  PriceItem* items = nullptr;  // from malloc; at least one zero record after the last item
  int count = 0;
  ItemState* states = nullptr;  // from malloc; count + 10 words
};

// Frees both arrays and empties the store.
void ReleaseItems(ItemStore* store);

// Writes the selected, eligible items group by group, each group read and written once
// per call (an item left pending by a price difference is written again by a later call).
// Each group is read back after its write; when it does not hold what was written, its items keep
// their states and *failed_groups (when given) counts it. written (when given, count entries) gets
// 1 for every item whose record is now in the database. Returns 0.
//
// With undo, every group is read and changed first, the undo record of them all is saved,
// and only then is the first group written. When the record cannot be saved nothing is
// written and the states are left (undo->failed() tells); after a successful apply the
// undo records beyond the newest ten are removed.
int ApplySelectedItems(PriceLibrary* library, PriceItem* items, int count, ItemState* states,
                       uint16_t kind_filter, int overwrite_prices, int* failed_groups = nullptr,
                       uint8_t* written = nullptr, UndoSaver* undo = nullptr);

// Whether a and b hold the same n records, in any order (a library may hand a group out
// in another order than it was written). False when memory for the comparison runs out.
bool SameRecordsAnyOrder(const PriceItem* a, const PriceItem* b, size_t n);
