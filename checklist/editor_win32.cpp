// The check-list editor dialog, run from its template "FavoriteEdit".
#include <windows.h>

#include "app/main_window.h"
#include "checklist/editor.h"

namespace {

INT_PTR CALLBACK EditorProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK) EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int RunCheckListEditor(HWND owner) {
  INT_PTR result = DialogBoxParamA(Instance, "FavoriteEdit", owner, EditorProc, 0);
  return result > 0 ? int(result) : 0;  // -1: the dialog could not be made
}
