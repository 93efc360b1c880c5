// Ctrl+F and F3 of the main window: finding an item and showing it as the grid's top row.
#pragma once

#include <windows.h>

// Asks for a text in the find box and finds it from the row after the top one.
void OpenFindBox(HWND window);
// Finds the last text again; opens the find box when there is none yet.
void FindNext(HWND window);
