// The file selector's combo box filled from the catalogue.
#include "app/file_selector.h"

void FillFileSelector(HWND combo, const Catalogue& catalogue) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& line : catalogue.lines)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageA(combo, CB_SETCURSEL, WPARAM(catalogue.selection), 0);
}
