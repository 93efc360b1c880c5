// Window procedure of the main window.
#include <windows.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/main_window.h"

const char kMainWindowClass[] = "CUMainWndClass";

namespace {

void OnDestroy() {
  std::free(Store.states);
  Store.states = nullptr;
  PostQuitMessage(0);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      OnDestroy();
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
