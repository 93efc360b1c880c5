// Decides everything one paint of the item grid draws: header, row bands, lines and cell texts.
#include "view/grid_paint.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "view/cell_text.h"
#include "view/item_fields.h"

namespace {

// Change bit k stands for field k.
const uint16_t kFieldBits[kFieldCount] = {
    ChangeMaterialName, ChangeMaterialNote, ChangeExecutionPrice, ChangeEstimatePrice,
    ChangeUnit,         ChangeWorkType,     ChangeSupplier};

// Where each column begins, for the code layout and the category-name layout.
struct Layout {
  int code_or_name_x;
  int code_or_name_right;  // the clip rectangle's right edge
  int sub_number_x;        // 0 when the layout has no sub-number column
  int field_x[kFieldCount];
};
const Layout kCodeLayout = {83, 183, 0, {183, 395, 607, 687, 767, 827, 867}};
const Layout kNameLayout = {83, 293, 295, {335, 547, 759, 839, 919, 979, 1019}};

const int kStatusX = 5;
const int kItemNumberX = 45;
const int kLineBefore = 2;   // a column's grid line lies this far left of its text
const int kTextInset = 1;    // unclipped texts start one pixel below the slot top
const int kSecondLine = 13;  // the database's values, from the slot top

std::string Formatted(const char* format, int value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

class Painter {
 public:
  Painter(int scroll_x, std::vector<DrawOp>* ops) : scroll_x_(scroll_x), ops_(ops) {}

  void Fill(int x, int y, int x2, int y2, uint32_t color) {
    ops_->push_back(DrawOp{DrawKind::kFill, x, y, x2, y2, color, false, std::string()});
  }
  void Text(int x, int y, uint32_t color, bool bold, std::string text) {
    ops_->push_back(DrawOp{DrawKind::kText, x - scroll_x_, y, 0, 0, color, bold, std::move(text)});
  }
  void Clipped(int x, int y, int x2, int y2, uint32_t color, bool bold, std::string text) {
    ops_->push_back(DrawOp{DrawKind::kClippedText, x - scroll_x_, y, x2 - scroll_x_, y2, color,
                           bold, std::move(text)});
  }
  // The grid line before the column whose text begins at column_x.
  void LineBefore(int column_x, int top, int bottom, uint32_t color) {
    int x = column_x - kLineBefore - scroll_x_;
    ops_->push_back(DrawOp{DrawKind::kLine, x, top, x, bottom, color, false, std::string()});
  }

 private:
  int scroll_x_;
  std::vector<DrawOp>* ops_;
};

void PaintHeader(const Layout& layout, int paint_right, Painter* p) {
  p->Fill(0, 0, paint_right, kHeaderHeight, kBandColor);
  const int y = kTextInset;
  p->Text(kStatusX, y, kHeaderTextColor, true, "状態");
  if (layout.sub_number_x) {
    p->Text(layout.code_or_name_x, y, kHeaderTextColor, true, kCategoryHeader);
    p->Text(layout.sub_number_x, y, kHeaderTextColor, true, kSubNumberHeader);
  } else {
    p->Text(layout.code_or_name_x, y, kHeaderTextColor, true, kCodeHeader);
  }
  for (int f = 0; f < kFieldCount; f++)
    p->Text(layout.field_x[f], y, kHeaderTextColor, true, kFieldHeaders[f]);
}

void PaintItem(const GridData& grid, const Layout& layout, PriceLibrary* library, int index,
               int top, int bottom, uint32_t line_color, Painter* p) {
  const PriceItem& item = grid.items[index];
  const ItemState state = grid.states[index];
  PriceItem stored;
  if (grid.show_changes) {
    memset(&stored, 0, sizeof stored);
    // Whatever a failed look-up left in the buffer, a missing record reads as zeros.
    if (!library->GetItem(item.code, &stored)) memset(&stored, 0, sizeof stored);
  }
  const uint32_t color = (state & StateSelected) ? kSelectedTextColor : kRowTextColor;
  const int y = top + kTextInset;
  const bool code_bold = (state & StateNew) != 0;

  p->Text(kStatusX, y, color, (state & StateSelected) != 0, (state & StateNew) ? "追加" : "更新");
  p->Text(kItemNumberX, y, color, false, Formatted("%05d:", index + 1));
  p->LineBefore(layout.code_or_name_x, top, bottom, line_color);
  if (!layout.sub_number_x) {
    p->Clipped(layout.code_or_name_x, top, layout.code_or_name_right, bottom, color, code_bold,
               CodeText(library, item.code));
  } else {
    p->Clipped(layout.code_or_name_x, top, layout.code_or_name_right, bottom, color, code_bold,
               CategoryText(library, item.code));
    p->LineBefore(layout.sub_number_x, top, bottom, line_color);
    p->Text(layout.sub_number_x, y, color, code_bold, SubNumberText(item.code));
  }
  for (int f = 0; f < kFieldCount; f++) {
    const bool changed = (state & kFieldBits[f]) != 0;
    const int x = layout.field_x[f];
    p->LineBefore(x, top, bottom, line_color);
    p->Text(x, y, color, changed, ItemFieldText(library, item, f, FieldStyle::kGrid));
    if (grid.show_changes && changed)
      p->Text(x, top + kSecondLine, kDatabaseTextColor, false,
              ItemFieldText(library, stored, f, FieldStyle::kGrid));
  }
}

}  // namespace

void BuildGridPaint(const GridData& grid, const ViewState& view, ShownItems* shown,
                    PriceLibrary* library, int paint_right, std::vector<DrawOp>* ops) {
  ops->clear();
  const Layout& layout = grid.item_name_columns ? kNameLayout : kCodeLayout;
  Painter p(view.scroll_x, ops);
  PaintHeader(layout, paint_right, &p);

  const int row_height = RowHeight(grid.show_changes);
  const int64_t shown_count = shown->Count(grid);
  for (int i = 0; i <= view.page_rows; i++) {
    const int top = kHeaderHeight + i * row_height;
    const int bottom = top + row_height;
    const bool odd = (i & 1) != 0;
    p.Fill(0, top, paint_right, bottom, odd ? kBandColor : kWhiteColor);
    // 64 bits, so that no position near the int range wraps into a shown ordinal.
    const int64_t ordinal = int64_t(view.top_ordinal) + i;
    if (ordinal < 0 || ordinal >= shown_count) continue;
    const int index = shown->At(grid, int(ordinal));
    if (index < 0) continue;
    PaintItem(grid, layout, library, index, top, bottom, odd ? kGreenLineColor : kBandColor, &p);
  }
}
