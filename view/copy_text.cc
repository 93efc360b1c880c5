// Builds the text that Ctrl+C puts on the clipboard from the shown items.
#include "view/copy_text.h"

#include "view/cell_text.h"
#include "view/item_fields.h"

namespace {

void AppendHeader(int item_name_columns, std::string* out) {
  if (item_name_columns) {
    *out += kCategoryHeader;
    *out += '\t';
    *out += kSubNumberHeader;
  } else {
    *out += kCodeHeader;
  }
  for (int f = 0; f < kFieldCount; f++) {
    *out += '\t';
    *out += kFieldHeaders[f];
  }
  *out += "\r\n";
}

void AppendRow(const GridData& grid, PriceLibrary* library, const PriceItem& item,
               std::string* out) {
  if (grid.item_name_columns) {
    *out += OneCell(CategoryText(library, item.code));
    *out += '\t';
    *out += SubNumberText(item.code);
  } else {
    *out += OneCell(CodeText(library, item.code));
  }
  AppendItemFields(library, item, FieldStyle::kCells, out);
  *out += "\r\n";
}

}  // namespace

std::string CopyText(const GridData& grid, ShownItems* shown, PriceLibrary* library) {
  const int count = shown->Count(grid);
  bool any_selected = false;
  for (int n = 0; n < count && !any_selected; n++) {
    const int k = shown->At(grid, n);
    any_selected = k >= 0 && (grid.states[k] & StateSelected) != 0;
  }
  std::string text;
  AppendHeader(grid.item_name_columns, &text);
  for (int n = 0; n < count; n++) {
    const int k = shown->At(grid, n);
    if (k < 0) break;
    if (any_selected && !(grid.states[k] & StateSelected)) continue;
    AppendRow(grid, library, grid.items[k], &text);
  }
  return text;
}
