// Finding a shown item by a text in its code or its material name.
#pragma once

#include <string>

#include "data/price_library.h"
#include "view/grid_model.h"
#include "view/shown_items.h"

// A text to look for, prepared once for many items: code page 932 bytes, ASCII letters
// folded, matched only where a character begins.
class SearchText {
 public:
  explicit SearchText(const std::string& text);
  bool empty() const { return folded_.empty(); }
  // Whether the text occurs in text[0, size).
  bool In(const char* text, size_t size) const;
  // False when the text holds a byte of 0x80 or above: code texts are ASCII, so the
  // library need not be asked for them.
  bool MayBeInCode() const { return ascii_; }

 private:
  std::string folded_;
  bool ascii_ = true;
};

// Ordinal of the first shown item from ordinal from on, going on from ordinal 0 after the
// last, whose code text (as the library formats it) or material name holds the text; -1 when
// none does or the text is empty.
int FindShownItem(const GridData& grid, ShownItems* shown, PriceLibrary* library,
                  const SearchText& text, int from);

// Where a find started from the top row left the grid: the ordinal it found and the top
// row the scroll bar gave it, which is above the found row on the last page.
struct FoundRow {
  int ordinal = -1;
  int top = -1;
};
// The ordinal the next find starts from: after the row last found while the grid still
// has the top that find gave it, so that finding again moves on also on the last page;
// otherwise after the top row.
int NextFindStart(int top_ordinal, const FoundRow& last);
