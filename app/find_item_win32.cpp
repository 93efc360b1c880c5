// The find box and the scroll that makes the found item the grid's top row.
#include <windows.h>

#include <string>

#include "app/find_item.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "resources/resource.h"
#include "view/item_find.h"
#include "view/item_view.h"

namespace {

const char kFindCaption[] = "検索";

// The text last asked for, and where its last find left the grid.
std::string LastText;
FoundRow LastFound;

INT_PTR CALLBACK FindBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND edit = GetDlgItem(box, IDC_FIND_TEXT);
      SendMessageA(edit, EM_LIMITTEXT, kLibraryTextSize - 1, 0);
      SetWindowTextA(edit, LastText.c_str());
      SendMessageA(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        char text[kLibraryTextSize] = "";
        GetDlgItemTextA(box, IDC_FIND_TEXT, text, sizeof text);
        LastText = text;
        EndDialog(box, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(box, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// The bar limits the position to its last page, as it does for the scroll requests.
void ShowAtTop(int ordinal) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  info.nPos = ordinal;
  SetScrollInfo(ItemView, SB_VERT, &info, TRUE);
  if (GetScrollInfo(ItemView, SB_VERT, &info)) View.top_ordinal = info.nPos;
  RepaintView(ItemView);
}

void FindLastText(HWND window) {
  const int from = NextFindStart(View.top_ordinal, LastFound);
  const int ordinal = FindShownItem(CurrentGrid(), &Shown, Library, SearchText(LastText), from);
  if (ordinal < 0) {
    std::string text = "「" + LastText + "」は見つかりませんでした。";
    MessageBoxA(window, text.c_str(), kFindCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  ShowAtTop(ordinal);
  LastFound.ordinal = ordinal;
  LastFound.top = View.top_ordinal;
}

}  // namespace

void OpenFindBox(HWND window) {
  if (DialogBoxParamA(Instance, "FindBox", window, FindBoxProc, 0) != IDOK) return;
  if (!LastText.empty()) FindLastText(window);
}

void FindNext(HWND window) {
  if (LastText.empty())
    OpenFindBox(window);
  else
    FindLastText(window);
}
