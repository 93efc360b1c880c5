// Window procedure of the main window.
#include <windows.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/main_window.h"
#include "checklist/url_list.h"
#include "data/catalogue.h"
#include "data/disk.h"

const char kMainWindowClass[] = "CUMainWndClass";

namespace {

// The lines the file selector shows; the control itself joins the window later.
Catalogue FileCatalogue;

void OnCreate() {
  CheckList.Load();
  FillCatalogue(CheckList, ProgramDir, StartFile, RealDisk(), &FileCatalogue);
  FileLoaded =
      LoadSelectedFile(FileCatalogue.selection, CheckList, ProgramDir, StartFile, Library, &Store);
}

void OnDestroy() {
  std::free(Store.states);
  Store.states = nullptr;
  PostQuitMessage(0);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
