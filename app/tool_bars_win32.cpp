// The rebar with the Patrol tool bar, the main tool bar and the file selector.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "app/tool_bars.h"
#include "resources/resource.h"

Bars MainBars;

namespace {

const int kRebarId = 1000;
const int kToolBarId = 2002;  // both tool bars carry it; their buttons' ids tell them apart
const int kPatrolBandId = 2003;
const int kMainBandId = 2002;
const int kImageCount = 16;

TBBUTTON Button(int image, int command, BYTE style, BYTE state) {
  TBBUTTON b = {};
  b.iBitmap = image;
  b.idCommand = command;
  b.fsState = state;
  b.fsStyle = style;
  return b;
}

TBBUTTON Push(int image, int command) {
  return Button(image, command, TBSTYLE_BUTTON, TBSTATE_ENABLED);
}
TBBUTTON Check(int image, int command, bool checked) {
  return Button(image, command, TBSTYLE_CHECK,
                BYTE(TBSTATE_ENABLED | (checked ? TBSTATE_CHECKED : 0)));
}
TBBUTTON Separator() { return Button(0, 0, TBSTYLE_SEP, 0); }

HWND CreateToolBar(HWND parent, HINSTANCE instance, const TBBUTTON* buttons, int count) {
  HWND bar = CreateToolbarEx(
      parent,
      WS_CHILD | TBSTYLE_FLAT | TBSTYLE_WRAPABLE | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
      kToolBarId, kImageCount, instance, IDB_TOOLBAR, buttons, count, 0, 0, 24, 24,
      sizeof(TBBUTTON));
  if (bar) SendMessageA(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  return bar;
}

bool InsertBand(HWND rebar, HWND child, UINT id, UINT min_width, UINT min_height, UINT width,
                bool new_row) {
  REBARBANDINFOA band = {};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID;
  band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP | (new_row ? RBBS_BREAK : 0);
  band.hwndChild = child;
  band.wID = id;
  band.cxMinChild = min_width;
  band.cyMinChild = min_height;
  band.cx = width;
  return SendMessageA(rebar, RB_INSERTBANDA, WPARAM(-1), reinterpret_cast<LPARAM>(&band)) != 0;
}

UINT ButtonHeight(HWND tool_bar) { return HIWORD(SendMessageA(tool_bar, TB_GETBUTTONSIZE, 0, 0)); }

HWND CreateFileSelector(HWND rebar, HINSTANCE instance) {
  HWND combo = CreateWindowExA(0, "combobox", "",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                   WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL,
                               0, 0, 100, 200, rebar, reinterpret_cast<HMENU>(IDC_FILE_SELECTOR),
                               instance, nullptr);
  if (combo)
    SendMessageA(combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
  return combo;
}

}  // namespace

int BuildBars(HWND main_window, HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_COOL_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);

  HWND rebar = CreateWindowExA(
      WS_EX_TOOLWINDOW, REBARCLASSNAMEA, nullptr,
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | RBS_VARHEIGHT |
          RBS_BANDBORDERS | CCS_NODIVIDER | CCS_NOPARENTALIGN,
      0, 0, 200, 100, main_window, reinterpret_cast<HMENU>(kRebarId), instance, nullptr);
  if (!rebar) return 0;
  REBARINFO info = {};
  info.cbSize = sizeof info;
  if (!SendMessageA(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info))) return 0;
  MainBars.rebar = rebar;

  const TBBUTTON patrol[] = {Push(13, IDC_PATROL), Push(14, IDC_EDIT_CHECKLIST)};
  const TBBUTTON main[] = {
      Push(0, IDC_APPLY),
      Separator(),
      Push(8, IDC_SELECT_ALL),
      Push(9, IDC_SELECT_NEW),
      Check(10, IDC_ITEM_NAME_COLUMNS, false),
      Check(11, IDC_OVERWRITE_PRICES, false),
      Check(15, IDC_SHOW_CHANGES, false),
      Separator(),
      Check(1, IDC_KIND_FIRST + 0, true),
      Check(2, IDC_KIND_FIRST + 1, true),
      Check(3, IDC_KIND_FIRST + 2, true),
      Check(4, IDC_KIND_FIRST + 3, true),
      Check(5, IDC_KIND_FIRST + 4, true),
      Check(6, IDC_KIND_FIRST + 5, true),
      Check(7, IDC_KIND_FIRST + 6, true),
      Separator(),
      Push(12, IDC_HELP_PAGE),
  };
  MainBars.patrol_tool_bar = CreateToolBar(main_window, instance, patrol, 2);
  MainBars.main_tool_bar =
      CreateToolBar(main_window, instance, main, int(sizeof main / sizeof *main));

  if (MainBars.patrol_tool_bar)
    InsertBand(rebar, MainBars.patrol_tool_bar, kPatrolBandId, 64,
               ButtonHeight(MainBars.patrol_tool_bar), 64, false);
  if (MainBars.main_tool_bar)
    InsertBand(rebar, MainBars.main_tool_bar, kMainBandId, 432,
               ButtonHeight(MainBars.main_tool_bar), 432, false);
  MainBars.file_selector = CreateFileSelector(rebar, instance);
  if (MainBars.file_selector) {
    RECT r;
    GetWindowRect(MainBars.file_selector, &r);
    InsertBand(rebar, MainBars.file_selector, IDC_FILE_SELECTOR, UINT(r.right - r.left),
               UINT(r.bottom - r.top), 200, true);
  }
  return 1;
}

int IsChecked(int command_id) {
  return int(SendMessageA(MainBars.main_tool_bar, TB_ISBUTTONCHECKED, WPARAM(command_id), 0));
}
