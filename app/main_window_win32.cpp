// Window procedure of the main window: bars, view, layout and the command table.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/busy_wait.h"
#include "app/catalogue.h"
#include "app/check_list_editor.h"
#include "app/copy_rows.h"
#include "app/file_selector.h"
#include "app/find_item.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/patrol_window.h"
#include "app/read_only_folder.h"
#include "app/selection.h"
#include "app/tool_bars.h"
#include "checklist/url_list.h"
#include "data/disk.h"
#include "data/item_store.h"
#include "data/undo.h"
#include "resources/resource.h"
#include "view/item_view.h"

const char kMainWindowClass[] = "CUMainWndClass";
HWND ItemView;

namespace {

const char kHelpPage[] = "help.html";

// The lines the file selector shows, kept to map its selection to a file.
Catalogue FileCatalogue;

void FillSelector() {
  FillCatalogue(CheckList, ProgramDir, StartFile, RealDisk(), &FileCatalogue);
  if (MainBars.file_selector) FillFileSelector(MainBars.file_selector, FileCatalogue);
}

void LoadSelected() {
  int selection = FileCatalogue.selection;
  if (MainBars.file_selector)
    selection = int(SendMessageA(MainBars.file_selector, CB_GETCURSEL, 0, 0));
  FileLoaded = LoadSelectedFile(selection, CheckList, ProgramDir, StartFile, Library, &Store);
  ItemStatesChanged();
}

void OnCreate(HWND window) {
  BuildBars(window, Instance);
  ItemView =
      CreateWindowExA(WS_EX_CLIENTEDGE, kItemViewClass, "",
                      WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL, 0, 0, 800, 200,
                      window, reinterpret_cast<HMENU>(IDC_ITEM_VIEW), Instance, nullptr);
  SendMessageA(ItemView, kRelayoutView, 0, 0);
  CheckList.Load();
  FillSelector();
  LoadSelected();
  SetViewScrollRange(ItemView);
  PostMessageA(ItemView, kRelayoutView, 0, 0);
  if (CheckList.GetCount() == 0 && !FileLoaded)
    PostMessageA(window, WM_COMMAND, IDC_EDIT_CHECKLIST, 0);
}

void OnSize(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  int rebar_height = 0;
  if (MainBars.rebar) {
    MoveWindow(MainBars.rebar, 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
    GetClientRect(window, &client);
    RECT bar;
    GetWindowRect(MainBars.rebar, &bar);
    rebar_height = bar.bottom - bar.top;
  }
  int top = client.top + rebar_height;
  SetWindowPos(ItemView, nullptr, client.left, top, client.right - client.left, client.bottom - top,
               SWP_NOZORDER);
}

void OnDestroy() {
  ReleaseItems(&Store);
  PostQuitMessage(0);
}

void ReloadAfterListChange() {
  FillSelector();
  LoadSelected();
  RepaintView(ItemView);
}

// Items whose group could not be written stay selected and shown; the message says why
// they did not go away. Nothing is written without its undo record.
void OnApply(HWND window) {
  int failed_groups = 0;
  UndoSaver undo(RealDisk(), ProgramDir, LocalNow());
  ApplySelectedItems(Library, Store.items, Store.count, Store.states, KindFilter, OverwritePrices,
                     &failed_groups, nullptr, &undo);
  ItemStatesChanged();
  RepaintView(ItemView);
  if (undo.failed()) {
    std::string text = std::string("元に戻すための記録を ") + ProgramDir + kUndoDirName +
                       " に書き込めないため、データベースには何も書き込みませんでした。";
    MessageBoxA(window, text.c_str(), "書き込み", MB_OK | MB_ICONERROR);
    return;
  }
  if (failed_groups > 0)
    MessageBoxA(window, "データベースに書き込めなかった項目があります。", "書き込み",
                MB_OK | MB_ICONWARNING);
}

const char kUndoCaption[] = "元に戻す";

// Ctrl+Z: asks, takes the latest apply back and shows the file again as the database now is.
void OnUndo(HWND window) {
  UndoReport report = ReadLatestUndo(RealDisk(), ProgramDir);
  if (!report.found) {
    MessageBoxA(window, "元に戻せる書き込みはありません。", kUndoCaption,
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!report.refused) {
    char question[256];
    std::snprintf(question, sizeof question,
                  "直前の書き込み（%s、%zuグループ、%zu件）を元に戻しますか？",
                  UndoTimeText(report.record.time).c_str(), report.record.groups.size(),
                  report.record.ItemCount());
    if (MessageBoxA(window, question, kUndoCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  }
  // A record that cannot be read is set aside there; nothing is written.
  TakeBack(Library, RealDisk(), &report);
  LoadSelected();
  SetViewScrollRange(ItemView);
  SendMessageA(ItemView, kRelayoutView, 0, 0);
  RepaintView(ItemView);
  if (report.refused) {
    std::string text = "元に戻せません。" + report.error;
    MessageBoxA(window, text.c_str(), kUndoCaption, MB_OK | MB_ICONERROR);
    return;
  }
  std::string left;
  for (const UndoGroupResult& g : report.groups) {
    if (g.outcome == kUndoRestored) continue;
    char group[16];
    std::snprintf(group, sizeof group, "%s%u-%02u", left.empty() ? "" : "、", CodeCategory(g.code),
                  CodeLargeItem(g.code));
    left += group;
  }
  if (!left.empty()) {
    std::string text =
        "次のグループは書き込みの後に変更されていたため、元に戻していません: " + left;
    MessageBoxA(window, text.c_str(), kUndoCaption, MB_OK | MB_ICONWARNING);
  }
}

void OnEditCheckList(HWND window) {
  if (!RunCheckListEditor(window)) return;
  if (MessageBoxA(window, "今すぐ更新を確認しますか？", "巡回", MB_YESNO) == IDYES)
    PostMessageA(window, WM_COMMAND, IDC_PATROL, 0);
  else
    ReloadAfterListChange();
}

void OnHelp(HWND window) {
  char path[sizeof ProgramDir + sizeof kHelpPage];
  std::snprintf(path, sizeof path, "%s%s", ProgramDir, kHelpPage);
  // Shown normally: a page opened hidden could stay out of the user's sight.
  ShellExecuteA(window, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

void OnCommand(HWND window, int id, int code) {
  // Inside the Patrol's wait nothing else may start: not a second Patrol, not a load.
  if (IsBusy()) return;
  switch (id) {
    case IDC_FILE_SELECTOR:
      if (code != CBN_SELCHANGE) return;
      LoadSelected();
      SetViewScrollRange(ItemView);
      RepaintView(ItemView);
      return;
    case IDC_PATROL: {
      if (RefuseReadOnlyFolder(window)) return;
      std::string failures = RunPatrol(window);
      ReloadAfterListChange();
      ShowPatrolFailures(window, failures);
      return;
    }
    case IDC_APPLY:
      if (!RefuseReadOnlyFolder(window)) OnApply(window);
      return;
    case IDC_UNDO:
      if (!RefuseReadOnlyFolder(window)) OnUndo(window);
      return;
    case IDC_COPY:
      CopyRows(window);
      return;
    case IDC_FIND:
      OpenFindBox(window);
      return;
    case IDC_FIND_NEXT:
      FindNext(window);
      return;
    case IDC_SELECT_ALL:
      SelectAllOrClear(Store.states, Store.count, KindFilter);
      RepaintView(ItemView);
      return;
    case IDC_SELECT_NEW:
      SelectNewItems(Store.states, Store.count);
      RepaintView(ItemView);
      return;
    case IDC_HELP_PAGE:
      OnHelp(window);
      return;
    case IDC_EDIT_CHECKLIST:
      OnEditCheckList(window);
      return;
    case IDC_ITEM_NAME_COLUMNS:
      ItemNameColumns = IsChecked(id) ? 1 : 0;
      break;
    case IDC_OVERWRITE_PRICES:
      OverwritePrices = IsChecked(id) ? 1 : 0;
      return;
    case IDC_SHOW_CHANGES:
      ShowChanges = IsChecked(id) ? 1 : 0;
      break;
    default:
      if (id < IDC_KIND_FIRST || id > IDC_KIND_LAST) return;
      KindFilter = uint16_t(KindFilter & ~(1u << (id - IDC_KIND_FIRST)));
      if (IsChecked(id)) KindFilter = uint16_t(KindFilter | (1u << (id - IDC_KIND_FIRST)));
      break;
  }
  SendMessageA(ItemView, kRelayoutView, 0, 0);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      break;
    case WM_SIZE:
      OnSize(window);
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_CLOSE:
      if (!IsBusy()) break;
      RequestStop(window);  // closed once the Patrol has stopped
      return 0;
    case WM_SETCURSOR:
      if (ShowBusyCursor()) return TRUE;
      break;
    case WM_SETFOCUS:  // the keys scroll the grid
      SetFocus(ItemView);
      return 0;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wparam), HIWORD(wparam));
      break;
    case WM_MOUSEWHEEL:  // the grid scrolls whatever has the focus
      return SendMessageA(ItemView, message, wparam, lparam);
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
