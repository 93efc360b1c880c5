// The order of update-file records by code, and the sort that keeps one record per code.
#pragma once

#include <cstddef>

#include "data/price_item.h"

// The code as the order sees it: category 0 is the code 0; for categories 1 and 2 the high
// bytes of CodeSmallItem and CodeMiddleItem are cleared.
Code NormalisedCode(Code c);

// Order of codes: -1, 0 or 1. Category 0 counts as the code 0; for categories 1 and 2 the
// high bytes of CodeSmallItem and CodeMiddleItem are ignored.
int CompareCodes(Code a, Code b);

// The first step of SortItems: for j = 0, 10, 20, ... below count, swaps pointer j with
// pointer (count / 2 + 5 + j) mod count.
void PreShuffle(PriceItem** pointers, int count);

// Orders the records by CompareCodes, among equal codes the later record first, and drops
// every record whose code equals that of a record kept before it (of one code the last
// line's record stays); the freed records at the end become zero. 1 when done, 0 when memory runs
// out (records left as they were).
int SortItems(PriceItem* items, int count);

// SortItems on items[0, n): returns the kept count, or SIZE_MAX when memory runs out (items
// untouched).
size_t SortInPlace(PriceItem* items, size_t n);
