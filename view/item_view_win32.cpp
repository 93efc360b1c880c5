// Window procedure of the item grid: layout, scrolling, clicks, context menu and paint.
#include <windows.h>

#include <vector>

#include "view/grid_control.h"
#include "view/grid_draw.h"
#include "view/grid_paint.h"
#include "view/item_view.h"

const char kItemViewClass[] = "CUViewWndClass";
ViewState View;
ShownItems Shown;

namespace {

ViewSource Source;

// The ops of the last paint; kept so that painting does not allocate every time.
std::vector<DrawOp> PaintOps;

void SetBar(HWND window, int bar, UINT mask, int min, int max, int page, int position) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.nMin = min;
  info.nMax = max;
  info.nPage = UINT(page);
  info.nPos = position;
  SetScrollInfo(window, bar, &info, TRUE);
}

int BarPosition(HWND window, int bar, UINT mask = SIF_POS) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = mask;
  if (!GetScrollInfo(window, bar, &info)) return 0;
  return mask == SIF_TRACKPOS ? info.nTrackPos : info.nPos;
}

// Range and page together on every size change: a page-only change does not show a bar
// hidden while everything fitted, so it would not come back when the window becomes smaller.
void Relayout(HWND window, int width, int height) {
  const GridData grid = CurrentGrid();
  View.page_rows = PageRowsFor(height, grid.show_changes);
  SetBar(window, SB_VERT, SIF_RANGE | SIF_PAGE, 0, ShownItemCount() - 1, View.page_rows, 0);
  View.top_ordinal = BarPosition(window, SB_VERT);
  SetBar(window, SB_HORZ, SIF_RANGE | SIF_PAGE, 0, ContentWidth(grid.item_name_columns), width, 0);
  View.scroll_x = BarPosition(window, SB_HORZ);
  RepaintView(window);
}

void OnRelayout(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  Relayout(window, client.right - client.left, client.bottom - client.top);
}

// Moves a bar to target and reads back where the bar let it go.
int ScrollTo(HWND window, int bar, int target) {
  SetBar(window, bar, SIF_POS, 0, 0, 0, target);
  return BarPosition(window, bar);
}

void OnVerticalScroll(HWND window, int request) {
  int p = BarPosition(window, SB_VERT);
  // The tracking position is 32-bit; the message's 16 bits cannot reach items past 65535.
  int thumb = BarPosition(window, SB_VERT, SIF_TRACKPOS);
  View.top_ordinal =
      ScrollTo(window, SB_VERT,
               VerticalScrollTarget(request, p, View.page_rows, CurrentGrid().count, thumb));
  RepaintView(window);
}

void OnHorizontalScroll(HWND window, int request) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(window, SB_HORZ, &info);
  View.scroll_x = ScrollTo(
      window, SB_HORZ,
      HorizontalScrollTarget(request, info.nPos, int(info.nPage),
                             ContentWidth(CurrentGrid().item_name_columns), info.nTrackPos));
  RepaintView(window);
}

void OnMouseWheel(HWND window, int delta) {
  View.top_ordinal =
      ScrollTo(window, SB_VERT, WheelScrollTarget(BarPosition(window, SB_VERT), delta));
  RepaintView(window);
}

// The keys do what the bars' own requests do, so they reach the same positions.
bool OnKeyDown(HWND window, unsigned keycode) {
  bool horizontal;
  int request;
  if (!KeyScrollRequest(keycode, &horizontal, &request)) return false;
  if (horizontal)
    OnHorizontalScroll(window, request);
  else
    OnVerticalScroll(window, request);
  return true;
}

void OnLeftButtonDown(HWND window, LPARAM lparam) {
  SetFocus(window);  // for the keys
  GridData grid = CurrentGrid();
  int k = HitTestItem(grid, View, &Shown, LOWORD(lparam), HIWORD(lparam));
  if (k < 0) return;
  grid.states[k] ^= StateSelected;
  RepaintView(window);
}

// False when no menu could be made.
bool OnRightButtonDown(HWND window, LPARAM lparam) {
  SetFocus(window);
  GridData grid = CurrentGrid();
  int k = HitTestItem(grid, View, &Shown, LOWORD(lparam), HIWORD(lparam));
  if (k < 0) return true;
  HMENU menu = CreatePopupMenu();
  if (!menu) return false;
  const MenuEntry* entries = ContextMenuEntries((grid.states[k] & StateSelected) != 0);
  for (int i = 0; i < 3; ++i)
    AppendMenuA(menu, MF_STRING, UINT_PTR(entries[i].command), entries[i].text);
  POINT at = {LOWORD(lparam), HIWORD(lparam)};
  ClientToScreen(window, &at);
  // Stored first, so that a command delivered before the menu returns finds it too.
  View.menu_target_item = k;
  TrackPopupMenu(menu, 0, at.x, at.y - 10, 0, window, nullptr);
  DestroyMenu(menu);
  return true;
}

void OnCommand(HWND window, int id) {
  if (IsCategoryCommand(id)) {
    ApplyCategoryCommand(CurrentGrid(), id, View.menu_target_item);
    RepaintView(window);
  }
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  BuildGridPaint(CurrentGrid(), View, &Shown, Source.library ? Source.library() : nullptr,
                 ps.rcPaint.right, &PaintOps);
  DrawGridOps(dc, PaintOps);
  EndPaint(window, &ps);
}

}  // namespace

void SetViewSource(const ViewSource& source) { Source = source; }

GridData CurrentGrid() { return Source.grid ? Source.grid() : GridData(); }

int ShownItemCount() { return Shown.Count(CurrentGrid()); }

void ItemStatesChanged() { Shown.Invalidate(); }

void SetViewScrollRange(HWND view) {
  SetBar(view, SB_VERT, SIF_RANGE, 0, ShownItemCount() - 1, 0, 0);
}

void RepaintView(HWND view) {
  InvalidateRect(view, nullptr, FALSE);
  UpdateWindow(view);
}

LRESULT CALLBACK ItemViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      SetViewScrollRange(window);
      break;
    case WM_SIZE:
      Relayout(window, LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wparam));
      break;
    case kRelayoutView:
      OnRelayout(window);
      break;
    case WM_HSCROLL:
      OnHorizontalScroll(window, LOWORD(wparam));
      return 0;
    case WM_VSCROLL:
      OnVerticalScroll(window, LOWORD(wparam));
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown(window, unsigned(wparam))) return 0;
      break;
    case WM_MOUSEWHEEL:  // passed on by the main window; not back to it
      OnMouseWheel(window, GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
    case WM_LBUTTONDOWN:
      OnLeftButtonDown(window, lparam);
      break;
    case WM_RBUTTONDOWN:
      if (!OnRightButtonDown(window, lparam)) return 0;
      break;
    case WM_PAINT:
      OnPaint(window);
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
