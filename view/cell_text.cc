// Formatting of the grid's cell texts, with the library's names read defensively.
#include "view/cell_text.h"

#include <cstdio>

namespace {

// A library text buffer, empty before the call and terminated after it, so that a
// library that writes nothing or fails to terminate cannot make us read past it.
struct LibraryText {
  char text[kLibraryTextSize];
  LibraryText() { text[0] = '\0'; }
  const char* Terminated() {
    text[kLibraryTextSize - 1] = '\0';
    return text;
  }
};

std::string NameOrFallback(const char* name) { return name[0] ? name : "???"; }

std::string TwoDigits(unsigned value) {
  char text[16];
  snprintf(text, sizeof text, "%02u", value);
  return text;
}

}  // namespace

const char kCodeHeader[] = "コード";
const char kCategoryHeader[] = "項目名称";
const char kSubNumberHeader[] = "細番号";
const char* const kFieldHeaders[kFieldCount] = {"部材名称", "部材摘要", "実行単価", "見積単価",
                                                "単位",     "工種",     "発注先"};

std::string FormatPrice(uint32_t value) {
  char digits[16];
  int n = snprintf(digits, sizeof digits, "%u", unsigned(value));
  std::string grouped;
  for (int i = 0; i < n; i++) {
    if (i > 0 && (n - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  if (grouped.size() < 10) grouped.insert(0, 10 - grouped.size(), ' ');
  return grouped;
}

std::string UnitText(PriceLibrary* library, unsigned unit_code) {
  if (unit_code == 0) return "---";
  LibraryText name;
  library->GetUnitName(unit_code & 0xFFFF, name.text);
  return NameOrFallback(name.Terminated());
}

std::string SupplierText(PriceLibrary* library, unsigned supplier_code) {
  if (supplier_code == 0) return "---";
  LibraryText name;
  library->GetSupplierName(supplier_code & 0xFFFF, name.text);
  return NameOrFallback(name.Terminated());
}

std::string CategoryText(PriceLibrary* library, Code code) {
  const unsigned numbers[3] = {CodeLargeItem(code), CodeMiddleItem(code), CodeSmallItem(code)};
  std::string text;
  for (int level = 0; level < 3; level++) {
    LibraryText name;
    library->GetLevelName(code, level, name.text);
    const char* got = name.Terminated();
    if (level > 0) text += '-';
    text += got[0] ? std::string(got) : TwoDigits(numbers[level]);
  }
  return text;
}

std::string WorkTypeText(unsigned work_type) {
  char text[16];
  snprintf(text, sizeof text, " %02u", work_type);
  return text;
}

std::string CodeText(PriceLibrary* library, Code code) {
  LibraryText text;
  library->FormatItemCode(code, text.text);
  return text.Terminated();
}

std::string SubNumberText(Code code) {
  char text[16];
  snprintf(text, sizeof text, "%04u", CodeSubNumber(code));
  return text;
}
