// The grid's rows as tab-separated text for the clipboard.
#pragma once

#include <string>

#include "data/price_library.h"
#include "view/grid_model.h"
#include "view/shown_items.h"

// A header line, then one line per selected shown item, or per shown item when none of them
// is selected, in the grid's order and with the columns the grid shows now (the code, or the
// category names and the sub-number, then the seven fields); prices as plain numbers, lines
// ending in CR LF, no tab or line break inside a field.
std::string CopyText(const GridData& grid, ShownItems* shown, PriceLibrary* library);
