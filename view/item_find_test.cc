// Finding shown items by code or name: case, double-byte characters, wrapping, misses.
#include "view/item_find.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "data/fake_price_library.h"

namespace {

PriceItem Named(Code code, const char* name) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = code;
  strncpy(r.material_name, name, sizeof r.material_name);
  return r;
}

TEST(ItemFind, Table) {
  std::vector<PriceItem> items = {
      Named(MakeCode(1, 3, 12, 7, 1), "異形棒鋼 D10"),
      Named(MakeCode(1, 3, 12, 7, 2), "H形鋼 200x100"),
      Named(MakeCode(9, 9, 9, 9, 9), "隠れた部材 Q"),  // applied: never found
      Named(MakeCode(2, 1, 1, 1, 1), "アイ部材"),      // 83 41 83 43: 'A' and 'C' as trail bytes
      Named(MakeCode(2, 1, 1, 1, 2), "ボルト Aイ"),
      Named(MakeCode(3, 5, 1, 1, 1), "型枠用合板 12mm"),
  };
  // A name that fills its array, the unit code 'Z' right after it.
  memset(items[5].material_name, 'x', sizeof items[5].material_name);
  memcpy(items[5].material_name, "型枠用合板 12mm", strlen("型枠用合板 12mm"));
  items[5].unit_code = 'Z';
  std::vector<ItemState> states = {
      ChangeMaterialName, kNewItemState,       ChangeMaterialName | StateApplied,
      ChangeUnit,         ChangeEstimatePrice, ChangeSupplier};
  GridData grid;
  grid.items = items.data(), grid.count = int(items.size()), grid.states = states.data();
  FakePriceLibrary db;

  // Shown ordinals: 0 異形棒鋼, 1 H形鋼, 2 アイ部材, 3 ボルト, 4 型枠.
  struct Case {
    const char* text;
    int from;
    int want;
  };
  const Case cases[] = {
      {"D10", 0, 0},                  // the top row itself is the last one tried
      {"d10", 1, 0},                  // ASCII case, wrapping past the end
      {"h形鋼", 0, 1},                // a folded letter before a double-byte character
      {"1-03-0012-0007-0002", 0, 1},  // the whole code text
      {"0001-0002", 4, 3},            // part of a code, wrapping
      {"2-01", 0, 2},
      {"aイ", 2, 3},   // not at the trail byte of ア in アイ部材
      {"ヂ", 0, -1},   // 83 61: a trail byte is not folded to ア's 83 41
      {"c", 2, -1},    // 'C' only as the trail byte of イ
      {"12MM", 0, 4},  // in a name that fills its array
      {"xZ", 0, -1},   // past the name's array
      {"部材", 3, 2},
      {"隠れた", 0, -1},  // not shown
      {"Q", 0, -1},
      {"", 0, -1},
      {"D10", 99, 0},  // a start beyond the shown items starts at the top
  };
  for (const Case& c : cases) {
    ShownItems shown;
    EXPECT_EQ(c.want, FindShownItem(grid, &shown, &db, SearchText(c.text), c.from))
        << c.text << " from " << c.from;
  }
  ShownItems shown;
  grid.kind_filter = 0;
  EXPECT_EQ(-1, FindShownItem(grid, &shown, &db, SearchText("D10"), 0));
}

// Code texts at the ends of each part's range, as the library formats them, also when its
// format is not the update files'.
struct ShortCodes : FakePriceLibrary {
  void FormatItemCode(Code code, char* out) override {
    snprintf(out, kLibraryTextSize, "K%u.%u", CodeCategory(code), CodeSubNumber(code));
  }
};

TEST(ItemFind, CodeTexts) {
  std::vector<PriceItem> items = {Named(MakeCode(1, 0, 0, 0, 0), "a"),
                                  Named(MakeCode(255, 255, 65535, 65535, 65535), "b"),
                                  Named(MakeCode(12, 7, 123, 4567, 89), "c")};
  std::vector<ItemState> states(items.size(), ChangeUnit);
  GridData grid;
  grid.items = items.data(), grid.count = int(items.size()), grid.states = states.data();
  FakePriceLibrary file_format;
  ShortCodes short_codes;
  struct Case {
    PriceLibrary* library;
    const char* text;
    int want;
  };
  const Case cases[] = {
      {&file_format, "1-00-0000-0000-0000", 0},
      {&file_format, "255-255-65535-65535-65535", 1},
      {&file_format, "12-07-0123-4567-0089", 2},
      {&file_format, "K12", -1},
      {&short_codes, "K12.89", 2},
      {&short_codes, "12-07", -1},
  };
  for (const Case& c : cases) {
    ShownItems shown;
    EXPECT_EQ(c.want, FindShownItem(grid, &shown, c.library, SearchText(c.text), 0)) << c.text;
  }
}

TEST(ItemFind, NextStart) {
  struct Case {
    int top;
    FoundRow last;
    int want;
  };
  const Case cases[] = {
      {0, {}, 1},          // no find yet: the row after the top
      {90, {95, 90}, 96},  // found on the last page, the bar stopped at 90: after 95
      {95, {95, 95}, 96},
      {40, {95, 90}, 41},  // scrolled since: after the top row again
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, NextFindStart(c.top, c.last)) << c.top;
}

}  // namespace
