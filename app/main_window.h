// The main window: frame of the user interface and dispatcher of its commands.
#pragma once

#include <windows.h>

extern const char kMainWindowClass[];
extern HINSTANCE Instance;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
