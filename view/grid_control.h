// The grid's decisions on size, scrolling, clicks and the category commands.
#pragma once

#include "view/grid_model.h"
#include "view/shown_items.h"

// Rows per page for a client height: height / row height - 1.
int PageRowsFor(int client_height, int show_changes);

// Scroll-bar request codes, as in the scroll messages.
enum ScrollRequest {
  kScrollLineUp = 0,
  kScrollLineDown = 1,
  kScrollPageUp = 2,
  kScrollPageDown = 3,
  kScrollThumbPosition = 4,
  kScrollThumbTrack = 5,
  kScrollTop = 6,
  kScrollBottom = 7,
};

// The position asked for, before the bar limits it. thumb is the tracking position.
int VerticalScrollTarget(int request, int position, int page_rows, int item_count, int thumb);
int HorizontalScrollTarget(int request, int position, int page, int range_max, int thumb);
// The scroll request a key of the grid stands for: ↑/↓ a row, Page Up/Down a page,
// Home/End the top and the bottom, ←/→ on the horizontal bar. keycode is the virtual-key
// code; false for any other key.
bool KeyScrollRequest(unsigned keycode, bool* horizontal, int* request);

// The mouse wheel: three rows a notch of 120, up for a positive delta.
int WheelScrollTarget(int position, int wheel_delta);

// The item under client point (x, y) (the message's unsigned 16-bit values), or -1.
int HitTestItem(const GridData& grid, const ViewState& view, ShownItems* shown, unsigned x,
                unsigned y);

// Context-menu commands: 4500 + level selects, 4600 + level deselects (0 large, 1 middle,
// 2 small category).
const int kSelectSameLarge = 4500;
const int kDeselectSameLarge = 4600;
struct MenuEntry {
  int command;
  const char* text;
};
// The menu's three entries, top to bottom, for a target item that is or is not selected.
const MenuEntry* ContextMenuEntries(bool target_selected);
bool IsCategoryCommand(int command);
// Item's code is in target's category at level: same nonzero CodeCategory, same CodeLargeItem,
// and from level 1 the same CodeMiddleItem, at level 2 the same CodeSmallItem.
bool CategoryMatches(Code target, Code item, int level);
// Sets or clears StateSelected of every item (shown or not) matching the target at the
// command's level. False, changing nothing, for another command or a target that is not
// an index of the list.
bool ApplyCategoryCommand(const GridData& grid, int command, int target);
