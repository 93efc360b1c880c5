// Set-up shared by the GUI tests: the process-wide state start-up would give the program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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

// A dialog or message box of this process with the caption, waited for up to 20 s.
inline HWND WaitDialog(const char* caption) {
  for (int i = 0; i < 400; ++i) {
    HWND w = FindWindowA("#32770", caption);
    if (w && IsWindowVisible(w)) return w;
    Sleep(50);
  }
  return nullptr;
}

inline bool Gone(HWND w) {
  for (int i = 0; i < 400 && IsWindow(w); ++i) Sleep(50);
  return !IsWindow(w);
}

// Answers the message box with the caption, from a thread other than the one showing it;
// "caption: text", or "no box caption" when none came.
inline std::string AnswerBox(const char* caption, int answer) {
  HWND box = WaitDialog(caption);
  if (!box) return std::string("no box ") + caption;
  char text[256] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, WPARAM(answer), 0);
  Gone(box);
  return std::string(caption) + ": " + text;
}
