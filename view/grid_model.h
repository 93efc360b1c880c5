// What the item grid works on: the item store, the filter and display options, the view's
// scroll state and its fixed geometry.
#pragma once

#include <cstdint>

#include "data/price_item.h"

// The data and options one paint or one command of the grid reads.
struct GridData {
  const PriceItem* items = nullptr;
  int count = 0;
  ItemState* states = nullptr;  // count entries; selection commands change bit 15
  uint16_t kind_filter = kChangeBits;
  int item_name_columns = 0;  // category names and sub-number instead of the code
  int show_changes = 0;       // a second line with the database's values
};

// The view's own state; positions are as the scroll bars last limited them.
struct ViewState {
  int top_ordinal = 0;  // shown-item ordinal in the first row slot
  int page_rows = 0;    // rows per page; a paint fills page_rows + 1 slots
  int scroll_x = 0;     // horizontal offset in pixels
  int menu_target_item = 0;
};

const int kHeaderHeight = 12;
inline int RowHeight(int show_changes) { return show_changes ? 24 : 12; }
// The horizontal scroll range's maximum.
inline int ContentWidth(int item_name_columns) { return item_name_columns ? 1068 : 916; }

// COLORREF layout (red in the low byte), so the GDI backend passes colours through.
constexpr uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
const uint32_t kBandColor = Rgb(192, 255, 255);
const uint32_t kWhiteColor = Rgb(255, 255, 255);
const uint32_t kGreenLineColor = Rgb(192, 255, 192);
const uint32_t kHeaderTextColor = Rgb(0, 0, 128);
const uint32_t kSelectedTextColor = Rgb(192, 0, 0);
const uint32_t kRowTextColor = Rgb(64, 64, 64);
const uint32_t kDatabaseTextColor = Rgb(128, 128, 128);
