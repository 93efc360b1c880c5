// The two window classes of the program.
#include <windows.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "view/item_view.h"

namespace {

// The grid shows the loaded file under the main window's options.
GridData StoreGrid() {
  GridData grid;
  grid.items = Store.items;
  grid.count = Store.count;
  grid.states = Store.states;
  grid.kind_filter = KindFilter;
  grid.item_name_columns = ItemNameColumns;
  grid.show_changes = ShowChanges;
  return grid;
}

PriceLibrary* BoundLibrary() { return Library; }

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
  SetViewSource({StoreGrid, BoundLibrary});
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
