// The two window classes of the program.
#include <windows.h>

#include "app/main_window.h"
#include "view/item_view.h"

bool RegisterWindowClasses(HINSTANCE instance) {
  WNDCLASSA main = {};
  main.lpfnWndProc = MainWindowProc;
  main.hInstance = instance;
  main.hIcon = LoadIconA(instance, "MAIN");
  main.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  main.lpszClassName = kMainWindowClass;
  WNDCLASSA view = main;
  view.lpfnWndProc = ItemViewProc;
  view.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  view.lpszClassName = kItemViewClass;
  return RegisterClassA(&main) && RegisterClassA(&view);
}

HINSTANCE Instance;
