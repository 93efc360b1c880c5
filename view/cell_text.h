// The texts of the grid's cells.
#pragma once

#include <cstdint>
#include <string>

#include "data/price_item.h"
#include "data/price_library.h"

// Digits grouped by commas, right-aligned in at least 10 characters ("%10s"), never cut.
std::string FormatPrice(uint32_t value);
// "---" for code 0, "???" when the library has no name, else the name.
std::string UnitText(PriceLibrary* library, unsigned unit_code);
std::string SupplierText(PriceLibrary* library, unsigned supplier_code);
// "%s-%s-%s" of the three category names, each falling back to its two-digit number.
std::string CategoryText(PriceLibrary* library, Code code);
// " %02d" of the work type.
std::string WorkTypeText(unsigned work_type);
// The library's display text of the code, empty when it writes none.
std::string CodeText(PriceLibrary* library, Code code);
// "%04d" of the sub-number.
std::string SubNumberText(Code code);

// Header texts of the code or category-name columns and of the seven field columns, from
// 部材名称 to 発注先 (the order of the change bits).
extern const char kCodeHeader[];
extern const char kCategoryHeader[];
extern const char kSubNumberHeader[];
const int kFieldCount = 7;
extern const char* const kFieldHeaders[kFieldCount];
