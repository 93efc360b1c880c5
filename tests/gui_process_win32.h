// Set-up shared by the GUI tests: the process-wide state start-up would give the program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "data/qupra_binding.h"
#include "tests/test_dirs_win32.h"

// The instance, both window classes and QUPRA.dll from the test's folder, once per process.
inline void PrepareGuiProcess() {
  static bool registered = false;
  Instance = GetModuleHandleA(nullptr);
  if (!registered) {
    ASSERT_TRUE(RegisterWindowClasses(Instance));
    registered = true;
  }
  if (!Library) {
    char error[kBindingErrorSize];
    Library = OpenQupraLibrary((ExeDir() + "QUPRA.dll").c_str(), error);
    ASSERT_TRUE(Library) << error;
  }
}

// Dispatches every message waiting for this thread.
inline void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The main window as start-up creates it; its creation loads the check list and the file.
inline HWND OpenMainWindow() {
  return CreateWindowExA(0, kMainWindowClass, "単価アップデートプログラム",
                         WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                         Instance, nullptr);
}
