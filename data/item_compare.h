// Looks every loaded item up in the database and sets its change bits.
#pragma once

#include "data/price_item.h"
#include "data/price_library.h"

// states[i] = kNewItemState when the code is not in the database, else the OR of the
// change bits of the fields that differ (0 when all seven are equal).
void ComputeItemStates(PriceLibrary* library, const PriceItem* items, int count, ItemState* states);
