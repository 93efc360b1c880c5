// Which items the grid shows, counted and looked up by ordinal.
#pragma once

#include <vector>

#include "view/grid_model.h"

// The shown items of the current store as a table of item indices by ordinal, so that
// neither a count nor a look-up rescans the list on every painted row. The table is rebuilt
// when the store, the filter or Invalidate() says the states may have changed.
class ShownItems {
 public:
  int Count(const GridData& grid);
  // Index of the shown item with this 0-based ordinal; -1 when there are not that many.
  int At(const GridData& grid, int ordinal);
  // Call after anything changed the change bits or StateApplied of the items in place
  // (a write into the database), and after a load: the new arrays may reuse the old
  // addresses and count. Selection changes need no call. An answer that is no longer a
  // shown item rebuilds the table by itself, but a count can be stale until then.
  void Invalidate() { valid_ = false; }

 private:
  void Refresh(const GridData& grid);

  bool valid_ = false;
  const ItemState* states_ = nullptr;
  int count_ = 0;
  uint16_t filter_ = 0;
  std::vector<int> indices_;
};
