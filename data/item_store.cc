// Writing the selected items into the database group by group, and the item store's upkeep.
#include "data/item_store.h"

#include <algorithm>
#include <bitset>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/code_index.h"
#include "data/undo.h"

namespace {

// Free records kept after the used ones of a group block.
const size_t kGroupSlack = 256;
// An item written while overwrite_prices is off keeps only these bits when its database
// prices were kept, so its price bits still show the difference.
const ItemState kKeepPriceDifference = 0xFF0C;
const ItemState kPriceBits = ChangeExecutionPrice | ChangeEstimatePrice;
// Set for the length of one group pass on an item that the group no longer held, so that
// it was written whole, the file's prices included. Bits 8-13 are unused otherwise.
const ItemState kWrittenWhole = 0x0100;
const unsigned kGroups = 1u << 16;

bool IsEligible(ItemState state, uint16_t kind_filter) {
  return (state & StateSelected) && !(state & StateApplied) && (state & kind_filter & kChangeBits);
}

bool IsNewItem(ItemState state) { return (state & 0xFF) == 0xFF; }

ItemState WrittenState(ItemState state, int overwrite_prices) {
  bool whole = state & kWrittenWhole;
  state &= ItemState(~kWrittenWhole);
  if (overwrite_prices || IsNewItem(state) || whole || !(state & kPriceBits))
    return state | StateApplied;
  return state & kKeepPriceDifference;
}

// Block bytes for capacity records, as long as the count still fits an int.
bool BlockBytes(size_t capacity, size_t* bytes) {
  if (capacity > size_t(INT_MAX) || capacity > SIZE_MAX / sizeof(PriceItem)) return false;
  *bytes = capacity * sizeof(PriceItem);
  return true;
}

bool RecordLess(const PriceItem* a, const PriceItem* b) {
  return memcmp(a, b, sizeof(PriceItem)) < 0;
}

// Whether a and b hold the same n records, in any order. False also when memory for
// the comparison runs out, as the write then cannot be confirmed.
bool SameRecords(const PriceItem* a, const PriceItem* b, size_t n) {
  if (memcmp(a, b, n * sizeof(PriceItem)) == 0) return true;
  if (n > SIZE_MAX / 2 / sizeof(const PriceItem*)) return false;
  const PriceItem** sorted =
      static_cast<const PriceItem**>(malloc(2 * n * sizeof(const PriceItem*)));
  if (!sorted) return false;
  for (size_t i = 0; i < n; i++) {
    sorted[i] = &a[i];
    sorted[n + i] = &b[i];
  }
  std::sort(sorted, sorted + n, RecordLess);
  std::sort(sorted + n, sorted + 2 * n, RecordLess);
  bool same = true;
  for (size_t i = 0; i < n && same; i++)
    same = memcmp(sorted[i], sorted[n + i], sizeof(PriceItem)) == 0;
  free(sorted);
  return same;
}

// Reads the group of code back and checks that it holds the n records of block.
bool GroupHolds(PriceLibrary* library, Code code, RecordBlock block, size_t n) {
  RecordBlock back = nullptr;
  int stored = 0;
  library->ReadGroup(code, &back, &stored);
  bool same = false;
  if (stored >= 0 && size_t(stored) == n) {
    if (n == 0) {
      same = true;
    } else if (back) {
      const PriceItem* written = library->LockBlock(block);
      const PriceItem* read = library->LockBlock(back);
      if (written && read) same = SameRecords(written, read, n);
      if (read) library->UnlockBlock(back);
      if (written) library->UnlockBlock(block);
    }
  }
  if (back) library->FreeBlock(back);
  return same;
}

// The eligible items of one group, in array order: either a list of their positions, or
// (when there was no memory for lists) every eligible item of the group from first on.
struct GroupItems {
  const int* list;
  size_t size;
  int first;
};

// Calls visit(j) for each item of the group, in array order.
template <typename Visit>
void ForEachItem(const GroupItems& g, const PriceItem* items, int count, const ItemState* states,
                 uint16_t kind_filter, Visit visit) {
  if (g.list) {
    for (size_t i = 0; i < g.size; i++) visit(g.list[i]);
    return;
  }
  unsigned group = CodeGroup(items[g.first].code);
  for (int j = g.first; j < count; j++)
    if (IsEligible(states[j], kind_filter) && CodeGroup(items[j].code) == group) visit(j);
}

// Where a record with code lies among the n records: the first with an equal code, as a
// scan from the front finds it, or n when there is none. The index answers in constant
// time; without one (no memory for it) the records are scanned.
size_t FindRecord(const PriceItem* records, size_t n, Code code, const CodeIndex& index,
                  bool indexed) {
  if (indexed) {
    size_t k = index.Find(records, code);
    return k == CodeIndex::kNone ? n : k;
  }
  size_t k = 0;
  while (k < n && records[k].code != code) k++;
  return k;
}

// One group read and changed in memory, waiting for its write.
struct PreparedGroup {
  GroupItems items;
  Code code;
  RecordBlock block;  // unlocked; null when the group could not be read or changed
  size_t n;           // records to write
};

// Reads the group and puts its eligible items into its block. With undo, the records as
// read and the ones set are added to the undo record (only for a group that can be written).
PreparedGroup PrepareGroup(PriceLibrary* library, const PriceItem* items, int count,
                           ItemState* states, uint16_t kind_filter, int overwrite_prices,
                           const GroupItems& group_items, UndoFileBuilder* undo) {
  PreparedGroup prepared{group_items, items[group_items.first].code, nullptr, 0};
  RecordBlock block = nullptr;
  int read = 0;
  library->ReadGroup(prepared.code, &block, &read);
  size_t n = block && read > 0 ? size_t(read) : 0;
  size_t capacity = n + kGroupSlack;
  size_t bytes = 0;
  RecordBlock sized = nullptr;
  if (BlockBytes(capacity, &bytes))
    sized = block ? library->ResizeBlock(block, bytes) : library->AllocBlock(bytes);
  if (!sized) {
    if (block) library->FreeBlock(block);
    return prepared;
  }
  block = sized;

  PriceItem* records = library->LockBlock(block);
  bool ok = records != nullptr;
  if (ok && undo) undo->BeginGroup(prepared.code, records, n);
  CodeIndex index;
  bool indexed = ok && index.Build(records, n, group_items.size);
  ForEachItem(group_items, items, count, states, kind_filter, [&](int j) {
    if (!ok) return;
    size_t k = FindRecord(records, n, items[j].code, index, indexed);
    uint32_t execution_price = records[k].execution_price;
    uint32_t estimate_price = records[k].estimate_price;
    PriceItem old = records[k];
    records[k] = items[j];
    if (!overwrite_prices && !IsNewItem(states[j])) {
      if (k < n) {
        records[k].execution_price = execution_price;
        records[k].estimate_price = estimate_price;
      } else {
        // Found when the file was loaded but gone now: there are no database prices to
        // keep, and the free record's zeros are no prices at all.
        states[j] |= kWrittenWhole;
      }
    }
    // The record as set: a later item of the same code may set it again, and then the
    // undo record takes the position back to what it held first.
    if (undo) undo->Change(uint32_t(k), old, records[k]);
    if (k < n) return;
    n++;
    if (indexed) indexed = index.Add(records, k);
    if (n + 1 < capacity) return;
    capacity = n + kGroupSlack;
    library->UnlockBlock(block);
    records = nullptr;
    RecordBlock grown = BlockBytes(capacity, &bytes) ? library->ResizeBlock(block, bytes) : nullptr;
    if (grown) {
      block = grown;
      records = library->LockBlock(block);
    }
    ok = records != nullptr;
  });
  if (ok && undo) undo->EndGroup(records, n);
  if (records) library->UnlockBlock(block);
  if (!ok) {
    library->FreeBlock(block);
    return prepared;
  }
  prepared.block = block;
  prepared.n = n;
  return prepared;
}

// Writes a prepared group and reads it back. The states change only when the group was
// written and read back as written; false otherwise. The block is freed.
bool CommitGroup(PriceLibrary* library, const PreparedGroup& group, const PriceItem* items,
                 int count, ItemState* states, uint16_t kind_filter, int overwrite_prices,
                 uint8_t* written) {
  bool ok = group.block != nullptr;
  if (ok) {
    library->WriteGroup(group.code, group.block, int(group.n));
    ok = GroupHolds(library, group.code, group.block, group.n);
    library->FreeBlock(group.block);
  }
  ForEachItem(group.items, items, count, states, kind_filter, [&](int j) {
    states[j] =
        ok ? WrittenState(states[j], overwrite_prices) : ItemState(states[j] & ~kWrittenWhole);
    if (ok && written) written[j] = 1;
  });
  return ok;
}

// A prepared group that is not to be written after all: as before it was prepared.
void DropGroup(PriceLibrary* library, const PreparedGroup& group, const PriceItem* items, int count,
               ItemState* states, uint16_t kind_filter) {
  if (group.block) library->FreeBlock(group.block);
  ForEachItem(group.items, items, count, states, kind_filter,
              [&](int j) { states[j] = ItemState(states[j] & ~kWrittenWhole); });
}

// The eligible items by group: the groups in the order of their first eligible item, each
// group's items in array order, sorted by counting.
struct ItemsByGroup {
  std::vector<int> order;   // positions of the items, group after group
  std::vector<size_t> end;  // where each group's items end in order
};

// Throws std::bad_alloc when memory runs out.
void SortByGroup(const PriceItem* items, int count, const ItemState* states, uint16_t kind_filter,
                 ItemsByGroup* out) {
  std::vector<int> place(kGroups, 0);  // first each group's size, then its next place
  std::vector<unsigned> groups;
  size_t eligible = 0;
  for (int i = 0; i < count; i++) {
    if (!IsEligible(states[i], kind_filter) || CodeCategory(items[i].code) == 0) continue;
    unsigned g = CodeGroup(items[i].code);
    if (place[g]++ == 0) groups.push_back(g);
    eligible++;
  }
  out->end.resize(groups.size());
  int at = 0;
  for (size_t k = 0; k < groups.size(); k++) {
    int size = place[groups[k]];
    place[groups[k]] = at;
    at += size;
    out->end[k] = size_t(at);
  }
  out->order.resize(eligible);
  for (int i = 0; i < count; i++) {
    if (!IsEligible(states[i], kind_filter) || CodeCategory(items[i].code) == 0) continue;
    out->order[size_t(place[CodeGroup(items[i].code)]++)] = i;
  }
}

}  // namespace

void ReleaseItems(ItemStore* store) {
  free(store->items);
  free(store->states);
  store->items = nullptr;
  store->states = nullptr;
  store->count = 0;
}

bool SameRecordsAnyOrder(const PriceItem* a, const PriceItem* b, size_t n) {
  return n == 0 || SameRecords(a, b, n);
}

int ApplySelectedItems(PriceLibrary* library, PriceItem* items, int count, ItemState* states,
                       uint16_t kind_filter, int overwrite_prices, int* failed_groups,
                       uint8_t* written, UndoSaver* undo) {
  if (failed_groups) *failed_groups = 0;
  if (written && count > 0) memset(written, 0, size_t(count));
  // Each group is read and written once: a second pass in the same call (for an item whose
  // price difference keeps it eligible) would write the very records the first one wrote.
  // A group that failed is not tried again either. Without an undo record each group is
  // written as soon as it is ready; with one, every group is made ready first, so that the
  // record is saved before the first write.
  std::vector<PreparedGroup> ready;
  auto commit = [&](const PreparedGroup& group) {
    if (!CommitGroup(library, group, items, count, states, kind_filter, overwrite_prices,
                     written) &&
        failed_groups)
      ++*failed_groups;
  };
  auto apply = [&](const GroupItems& group) {
    PreparedGroup prepared =
        PrepareGroup(library, items, count, states, kind_filter, overwrite_prices, group,
                     undo ? undo->builder() : nullptr);
    if (undo) {
      ready.push_back(prepared);
      undo->GroupDone();
    } else
      commit(prepared);
  };
  ItemsByGroup by_group;
  bool sorted = true;
  try {
    SortByGroup(items, count, states, kind_filter, &by_group);
  } catch (const std::bad_alloc&) {
    sorted = false;
  }
  if (sorted) {
    size_t begin = 0;
    for (size_t end : by_group.end) {
      apply(GroupItems{&by_group.order[begin], end - begin, by_group.order[begin]});
      begin = end;
    }
  } else {
    // Without memory for the lists, each group's items are found by scanning from its first.
    std::bitset<kGroups> done;
    for (int i = 0; i < count; i++) {
      if (!IsEligible(states[i], kind_filter) || CodeCategory(items[i].code) == 0) continue;
      unsigned group = CodeGroup(items[i].code);
      if (done[group]) continue;
      done[group] = true;
      apply(GroupItems{nullptr, 0, i});
    }
  }
  // No record when no group can be written at all: there would be nothing to take back.
  bool any = undo && undo->builder()->groups() > 0;
  if (any && !undo->Save()) {
    for (const PreparedGroup& group : ready)
      DropGroup(library, group, items, count, states, kind_filter);
    return 0;
  }
  for (const PreparedGroup& group : ready) commit(group);
  if (any) undo->Prune();
  return 0;
}
