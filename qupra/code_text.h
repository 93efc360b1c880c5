// The item code as text: five decimal numbers, category-large-middle-small-sub.
#pragma once

#include "data/price_item.h"

// Room the formatted text needs at most, with its NUL; callers pass 256 bytes.
const int kCodeTextSize = 256;

// 0 (category 0) unless text is exactly five groups of 1 to 5 ASCII digits joined by single
// '-', with category 1..255, large item 0..255 and the other parts 0..65535.
Code ParseItemCode(const char* text);
// "%u-%02u-%04u-%04u-%04u"; empty for a code of category 0, which no text parses to.
void FormatItemCode(Code code, char* out);
