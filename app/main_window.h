// The main window: frame of the user interface and dispatcher of its commands.
#pragma once

#include <windows.h>

extern const char kMainWindowClass[];
extern HINSTANCE Instance;
// The item grid, child of the main window.
extern HWND ItemView;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Registers the main window's and the grid's classes.
bool RegisterWindowClasses(HINSTANCE instance);
