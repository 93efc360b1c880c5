// Test helper: a price record with the fields the tests vary and fixed others.
#pragma once

#include <cstring>

#include "data/price_item.h"

inline PriceItem TestRecord(Code code, const char* name, uint32_t execution, uint32_t estimate) {
  PriceItem r;
  std::memset(&r, 0, sizeof r);
  r.code = code;
  std::strcpy(r.material_name, name);
  std::strcpy(r.material_note, "JIS");
  r.execution_price = execution;
  r.estimate_price = estimate;
  r.unit_code = 3;
  r.work_type = 110;
  r.supplier_code = 1;
  return r;
}
