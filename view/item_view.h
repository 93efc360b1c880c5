// The item grid child window.
#pragma once

#include <windows.h>

extern const char kItemViewClass[];

LRESULT CALLBACK ItemViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
