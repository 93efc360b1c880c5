// Showing the catalogue in the file selector's combo box.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "app/catalogue.h"

// Replaces the combo box's lines with the catalogue's and selects its selection (none for -1).
void FillFileSelector(HWND combo, const Catalogue& catalogue);
#endif
