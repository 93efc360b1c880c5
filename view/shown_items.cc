// The table of shown items by ordinal, rebuilt only when the store or the filter changes.
#include "view/shown_items.h"

namespace {

bool ValidIndex(const GridData& grid, int index) {
  return index >= 0 && index < grid.count && IsShown(grid.states[index], grid.kind_filter);
}

}  // namespace

void ShownItems::Refresh(const GridData& grid) {
  if (valid_ && states_ == grid.states && count_ == grid.count && filter_ == grid.kind_filter)
    return;
  indices_.clear();
  if (grid.states) {
    for (int i = 0; i < grid.count; i++)
      if (IsShown(grid.states[i], grid.kind_filter)) indices_.push_back(i);
  }
  states_ = grid.states;
  count_ = grid.count;
  filter_ = grid.kind_filter;
  valid_ = true;
}

int ShownItems::Count(const GridData& grid) {
  Refresh(grid);
  return int(indices_.size());
}

int ShownItems::At(const GridData& grid, int ordinal) {
  Refresh(grid);
  if (ordinal < 0 || size_t(ordinal) >= indices_.size()) return -1;
  int index = indices_[size_t(ordinal)];
  // A missed Invalidate() (items written, or a reload into arrays at the same address)
  // must not make the grid show or select an item that is no longer shown.
  if (!ValidIndex(grid, index)) {
    valid_ = false;
    Refresh(grid);
    if (size_t(ordinal) >= indices_.size()) return -1;
    index = indices_[size_t(ordinal)];
  }
  return index;
}
