// Texts of a record's fields in the grid's, the clipboard's and the command line's styles.
#include "view/item_fields.h"

#include <cstdio>
#include <cstring>

#include "text/sjis.h"
#include "view/cell_text.h"

namespace {

// The record's texts are fixed arrays that need not be terminated.
std::string FixedText(const char* text, size_t size) {
  return std::string(text, strnlen(text, size));
}

std::string Number(unsigned value) {
  char text[16];
  snprintf(text, sizeof text, "%u", value);
  return text;
}

std::string NumberField(const PriceItem& r, int field) {
  switch (field) {
    case kFieldExecutionPrice:
      return Number(r.execution_price);
    case kFieldEstimatePrice:
      return Number(r.estimate_price);
    case kFieldUnit:
      return Number(r.unit_code);
    case kFieldWorkType:
      return Number(r.work_type);
    default:
      return Number(r.supplier_code);
  }
}

}  // namespace

std::string OneCell(std::string text) {
  bool lead = false;
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    lead = !lead && IsSjisLeadByte(static_cast<unsigned char>(c));
  }
  // A text cut inside a double-byte character: the converter would pair its lead byte with
  // the tab or CR that follows the field.
  if (lead) text.pop_back();
  return text;
}

std::string ItemFieldText(PriceLibrary* library, const PriceItem& r, int field, FieldStyle style) {
  std::string text;
  switch (field) {
    case kFieldMaterialName:
      text = FixedText(r.material_name, sizeof r.material_name);
      break;
    case kFieldMaterialNote:
      text = FixedText(r.material_note, sizeof r.material_note);
      break;
    case kFieldExecutionPrice:
    case kFieldEstimatePrice:
      if (style != FieldStyle::kGrid) return NumberField(r, field);
      return FormatPrice(field == kFieldExecutionPrice ? r.execution_price : r.estimate_price);
    case kFieldUnit:
      if (style == FieldStyle::kNumbers) return NumberField(r, field);
      text = UnitText(library, r.unit_code);
      break;
    case kFieldWorkType:
      if (style == FieldStyle::kGrid) return WorkTypeText(r.work_type);
      // The cells keep the grid's two digits, without the blank that only aligns them.
      if (style == FieldStyle::kCells) return WorkTypeText(r.work_type).substr(1);
      return NumberField(r, field);
    default:
      if (style == FieldStyle::kNumbers) return NumberField(r, field);
      text = SupplierText(library, r.supplier_code);
      break;
  }
  return style == FieldStyle::kCells ? OneCell(std::move(text)) : text;
}

void AppendItemFields(PriceLibrary* library, const PriceItem& record, FieldStyle style,
                      std::string* out) {
  for (int f = 0; f < kFieldCount; f++) {
    *out += '\t';
    *out += ItemFieldText(library, record, f, style);
  }
}
