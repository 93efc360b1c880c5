// The seven fields of a price record as text, for the grid, the clipboard and costupdate-cli.
#pragma once

#include <string>

#include "data/price_item.h"
#include "data/price_library.h"

// Fields in the order of the change bits: field k changes with bit k.
enum ItemField {
  kFieldMaterialName,
  kFieldMaterialNote,
  kFieldExecutionPrice,
  kFieldEstimatePrice,
  kFieldUnit,
  kFieldWorkType,
  kFieldSupplier,
};

enum class FieldStyle {
  // The grid's cells: prices grouped and right-aligned, " %02d" work type, unit and
  // supplier names.
  kGrid,
  // The grid's texts as spreadsheet cells: prices and work type as plain numbers, and no
  // tab, CR or LF inside a text, so that a pasted line gives one cell per field.
  kCells,
  // What costupdate-cli prints: texts as stored, unit, work type and supplier as numbers.
  // The library is not used.
  kNumbers,
};

std::string ItemFieldText(PriceLibrary* library, const PriceItem& record, int field,
                          FieldStyle style);
// Appends a tab and the field's text for each of the seven fields.
void AppendItemFields(PriceLibrary* library, const PriceItem& record, FieldStyle style,
                      std::string* out);
// Tabs, CRs and LFs replaced by blanks (no trail byte of code page 932 is below 0x40, so
// no double-byte character is touched), and the lone lead byte of a text cut inside a
// double-byte character dropped.
std::string OneCell(std::string text);
