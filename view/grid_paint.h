// One paint of the item grid as a list of drawing operations, from the model alone.
#pragma once

#include <string>
#include <vector>

#include "data/price_library.h"
#include "view/grid_model.h"
#include "view/shown_items.h"

enum class DrawKind : uint8_t {
  kFill,         // rectangle (x, y)-(x2, y2) with the brush of colour
  kText,         // text at (x, y), unclipped (TextOutA)
  kClippedText,  // text in the rectangle (x, y)-(x2, y2), left, top (DrawTextA format 0)
  kLine,         // line (x, y)-(x2, y2) with the 2-pixel pen of colour
};

// Positions are client coordinates, scroll_x already applied.
struct DrawOp {
  DrawKind kind;
  int x, y, x2, y2;
  uint32_t color;  // text colour, brush colour or pen colour (Rgb)
  bool bold;       // texts: the bold font instead of the normal one
  std::string text;
};

// Replaces *ops with the paint of the header and row slots 0 .. page_rows. paint_right is
// the right edge of the area being painted: the bands span from x 0 to it. The library
// gives the code, category, unit and supplier texts and, with show_changes, the database
// record of each painted item.
void BuildGridPaint(const GridData& grid, const ViewState& view, ShownItems* shown,
                    PriceLibrary* library, int paint_right, std::vector<DrawOp>* ops);
