// The item grid's responses to sizing, scrolling, clicks and its category commands.
#include "view/grid_control.h"

#include <cstdint>

int PageRowsFor(int client_height, int show_changes) {
  return client_height / RowHeight(show_changes) - 1;
}

namespace {

// Both bars: a line, a page, the thumb, or an end (the bar limits "end" to its last page).
int ScrollTarget(int request, int position, int line, int page, int end, int thumb) {
  switch (request) {
    case kScrollLineUp:
      return position - line;
    case kScrollLineDown:
      return position + line;
    case kScrollPageUp:
      return position - page;
    case kScrollPageDown:
      return position + page;
    case kScrollThumbPosition:
    case kScrollThumbTrack:
      return thumb;
    case kScrollTop:
      return 0;
    case kScrollBottom:
      return end;
    default:
      return position;
  }
}

}  // namespace

int VerticalScrollTarget(int request, int position, int page_rows, int item_count, int thumb) {
  return ScrollTarget(request, position, 1, page_rows, item_count, thumb);
}

int HorizontalScrollTarget(int request, int position, int page, int range_max, int thumb) {
  return ScrollTarget(request, position, 20, page, range_max, thumb);
}

bool KeyScrollRequest(unsigned keycode, bool* horizontal, int* request) {
  // Virtual-key codes: Page Up 0x21, Page Down, End, Home, ←, ↑, →, ↓ 0x28.
  static const struct {
    bool horizontal;
    int request;
  } kKeys[] = {{false, kScrollPageUp},  {false, kScrollPageDown}, {false, kScrollBottom},
               {false, kScrollTop},     {true, kScrollLineUp},    {false, kScrollLineUp},
               {true, kScrollLineDown}, {false, kScrollLineDown}};
  if (keycode < 0x21 || keycode > 0x28) return false;
  *horizontal = kKeys[keycode - 0x21].horizontal;
  *request = kKeys[keycode - 0x21].request;
  return true;
}

int WheelScrollTarget(int position, int wheel_delta) { return position - 3 * wheel_delta / 120; }

int HitTestItem(const GridData& grid, const ViewState& view, ShownItems* shown, unsigned x,
                unsigned y) {
  (void)x;  // a click anywhere along a row hits its item
  if (y < unsigned(kHeaderHeight)) return -1;
  const int slot = int((y - unsigned(kHeaderHeight)) / unsigned(RowHeight(grid.show_changes)));
  // Below the last painted slot there is no row to click on, only the window's background.
  if (slot > view.page_rows) return -1;
  const int64_t ordinal = int64_t(view.top_ordinal) + slot;
  if (ordinal < 0 || ordinal > INT32_MAX) return -1;
  const int item = shown->At(grid, int(ordinal));
  if (item < 0 || item >= grid.count) return -1;
  return item;
}

const MenuEntry* ContextMenuEntries(bool target_selected) {
  static const MenuEntry kSelect[3] = {{kSelectSameLarge, "同大項目を全選択"},
                                       {kSelectSameLarge + 1, "同中項目を全選択"},
                                       {kSelectSameLarge + 2, "同小項目を全選択"}};
  static const MenuEntry kDeselect[3] = {{kDeselectSameLarge, "同大項目を全選択解除"},
                                         {kDeselectSameLarge + 1, "同中項目を全選択解除"},
                                         {kDeselectSameLarge + 2, "同小項目を全選択解除"}};
  return target_selected ? kDeselect : kSelect;
}

bool IsCategoryCommand(int command) {
  return (command >= kSelectSameLarge && command <= kSelectSameLarge + 2) ||
         (command >= kDeselectSameLarge && command <= kDeselectSameLarge + 2);
}

bool CategoryMatches(Code target, Code item, int level) {
  if (CodeCategory(item) == 0 || CodeCategory(item) != CodeCategory(target)) return false;
  if (CodeLargeItem(item) != CodeLargeItem(target)) return false;
  if (level >= 1 && CodeMiddleItem(item) != CodeMiddleItem(target)) return false;
  if (level >= 2 && CodeSmallItem(item) != CodeSmallItem(target)) return false;
  return true;
}

bool ApplyCategoryCommand(const GridData& grid, int command, int target) {
  if (!IsCategoryCommand(command) || target < 0 || target >= grid.count) return false;
  const bool select = command < kDeselectSameLarge;
  const int level = command - (select ? kSelectSameLarge : kDeselectSameLarge);
  const Code t = grid.items[target].code;
  for (int j = 0; j < grid.count; j++) {
    if (!CategoryMatches(t, grid.items[j].code, level)) continue;
    if (select)
      grid.states[j] = ItemState(grid.states[j] | StateSelected);
    else
      grid.states[j] = ItemState(grid.states[j] & ~StateSelected);
  }
  return true;
}
