// The main window's selection commands over the whole item set.
#pragma once

#include <cstdint>

#include "data/price_item.h"

// Selects every eligible item not yet selected; when there was none, clears the selection
// of every eligible item. Items that are not eligible keep their bit.
void SelectAllOrClear(ItemState* states, int count, uint16_t kind_filter);
// Every item not yet written: selected exactly when it is new. The filter plays no part.
void SelectNewItems(ItemState* states, int count);
