// Ctrl+C of the main window: the grid's rows onto the clipboard.
#pragma once

#include <windows.h>

// The selected shown rows, or all shown rows when none is selected, as tab-separated text.
void CopyRows(HWND window);
