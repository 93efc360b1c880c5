// Test helper: the order SortItems promises, reached the plain way.
#pragma once

#include <algorithm>
#include <set>
#include <vector>

#include "data/item_sort.h"

// Expected result of SortItems: stable order by code with later records first among
// equals, then the drop of records equal in code to one kept before.
inline std::vector<PriceItem> ReferenceSort(const std::vector<PriceItem>& in) {
  std::vector<PriceItem> reversed(in.rbegin(), in.rend());
  std::stable_sort(reversed.begin(), reversed.end(), [](const PriceItem& a, const PriceItem& b) {
    return CompareCodes(a.code, b.code) < 0;
  });
  std::vector<PriceItem> out;
  std::set<Code> kept;
  for (const PriceItem& r : reversed)
    if (kept.insert(Code(r.code)).second) out.push_back(r);
  return out;
}
