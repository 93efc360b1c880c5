// Window procedure of the item grid.
#include <windows.h>

#include "view/item_view.h"

const char kItemViewClass[] = "CUViewWndClass";

LRESULT CALLBACK ItemViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}
