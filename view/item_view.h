// The item grid child window and what the main window asks of it.
#pragma once

#include <windows.h>

#include "data/price_library.h"
#include "view/grid_model.h"
#include "view/shown_items.h"

extern const char kItemViewClass[];
// Sent by the main window: lay the view out again from its size and the display options.
const UINT kRelayoutView = WM_APP + 1;  // a message of its own, apart from every command

// The view's state and its table of shown items: one view per process.
extern ViewState View;
extern ShownItems Shown;

LRESULT CALLBACK ItemViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Where the view reads what it shows, asked afresh on every message: the program's item
// store, display options and database library. Set before the first view is made.
struct ViewSource {
  GridData (*grid)();
  PriceLibrary* (*library)();
};
void SetViewSource(const ViewSource& source);

// The grid's inputs as they stand now, from the source.
GridData CurrentGrid();
// Shown items of the loaded file under the current filter.
int ShownItemCount();
// After a load or a write changed which items are shown.
void ItemStatesChanged();
// Vertical range 0 .. ShownItemCount() - 1, with redraw.
void SetViewScrollRange(HWND view);
// Invalidates the whole view without erasing and paints it at once.
void RepaintView(HWND view);
