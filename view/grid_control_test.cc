// The shown-item table, page size, scrolling, hit tests and the category commands.
#include "view/grid_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

GridData Grid(std::vector<PriceItem>* items, std::vector<ItemState>* states, uint16_t filter) {
  GridData grid;
  grid.items = items->empty() ? nullptr : items->data();
  grid.states = states->data(), grid.count = int(states->size()), grid.kind_filter = filter;
  return grid;
}

// Random lists and filters against a scan of the list from its first item, through the
// changes the table must follow: filter, selection, writes and reloads in place, new lists.
TEST(ShownItems, MatchesAPlainScan) {
  uint32_t seed = 7;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  auto state = [&] {
    unsigned bits = next() % 6 == 0 ? 0 : next() % 6 == 1 ? kNewItemState : 1u << (next() % 7);
    return ItemState(bits | (next() % 4 ? 0 : StateSelected) | (next() % 7 ? 0 : StateApplied));
  };
  std::vector<PriceItem> none;
  ShownItems shown;
  std::vector<ItemState> lists[2];
  for (int step = 0; step < 400; step++) {
    std::vector<ItemState>& states = lists[next() % 2];
    const size_t n = next() % 40;
    switch (next() % 4) {
      case 0:  // selection alone needs no Invalidate()
        for (ItemState& s : states) s ^= next() % 2 ? StateSelected : 0;
        break;
      case 1:  // written or reloaded in place
        for (ItemState& s : states) s = next() % 3 ? s | StateApplied : state();
        shown.Invalidate();
        break;
      case 2:  // two new lists of one length: only their addresses tell them apart
        for (auto& list : lists) {
          list.resize(n);
          for (ItemState& s : list) s = state();
        }
        shown.Invalidate();
        break;
      default:  // a shorter list at the same address
        states.resize(states.size() / 2);
    }
    const uint16_t filter = uint16_t(next() % 3 ? kChangeBits & next() : next());
    GridData grid = Grid(&none, &states, filter);
    std::vector<int> want;
    for (size_t i = 0; i < states.size(); i++)
      if (IsShown(states[i], filter)) want.push_back(int(i));
    ASSERT_EQ(int(want.size()), shown.Count(grid)) << step;
    for (int ordinal = -2; ordinal < int(want.size()) + 2; ordinal++)
      ASSERT_EQ(ordinal < 0 || ordinal >= int(want.size()) ? -1 : want[size_t(ordinal)],
                shown.At(grid, ordinal))
          << step << " ordinal " << ordinal;
  }
  // A write without the Invalidate() that should follow: no hidden item is answered.
  std::vector<ItemState> states(20, ChangeEstimatePrice);
  GridData grid = Grid(&none, &states, kChangeBits);
  ASSERT_EQ(20, shown.Count(grid));
  for (size_t i = 0; i < 20; i += 2) states[i] |= StateApplied;
  EXPECT_EQ(1, shown.At(grid, 0));
  EXPECT_EQ(10, shown.Count(grid));
}

TEST(GridControl, PageRowsAndScrolling) {
  const int pages[][3] = {{210, 0, 16}, {210, 1, 7}, {11, 0, -1}, {12, 0, 0}, {47, 1, 0}};
  for (auto& p : pages) EXPECT_EQ(p[2], PageRowsFor(p[0], p[1])) << p[0] << " " << p[1];
  // {request, vertical, horizontal} from position 50: 16 rows a page and 1000 items in the
  // list; 300 pixels a page and a range up to 916; the thumb at 77.
  const int scrolls[][3] = {{0, 49, 30}, {1, 51, 70}, {2, 34, -250},  {3, 66, 350}, {4, 77, 77},
                            {5, 77, 77}, {6, 0, 0},   {7, 1000, 916}, {8, 50, 50},  {-1, 50, 50}};
  for (auto& s : scrolls) {
    EXPECT_EQ(s[1], VerticalScrollTarget(s[0], 50, 16, 1000, 77)) << s[0];
    EXPECT_EQ(s[2], HorizontalScrollTarget(s[0], 50, 300, 916, 77)) << s[0];
  }
  // {virtual key, 0 none / 1 vertical / 2 horizontal, request}; only these eight scroll.
  const int keys[][3] = {{0x21, 1, kScrollPageUp},
                         {0x22, 1, kScrollPageDown},
                         {0x23, 1, kScrollBottom},
                         {0x24, 1, kScrollTop},
                         {0x25, 2, kScrollLineUp},
                         {0x26, 1, kScrollLineUp},
                         {0x27, 2, kScrollLineDown},
                         {0x28, 1, kScrollLineDown},
                         {0x20, 0, 0},
                         {0x29, 0, 0},
                         {0x2D, 0, 0},
                         {0x0D, 0, 0}};
  for (auto& k : keys) {
    bool horizontal = false;
    int request = -1;
    bool scrolls = KeyScrollRequest(unsigned(k[0]), &horizontal, &request);
    EXPECT_EQ(k[1] != 0, scrolls) << k[0];
    if (!scrolls) continue;
    EXPECT_EQ(k[1] == 2, horizontal) << k[0];
    EXPECT_EQ(k[2], request) << k[0];
  }
  const int wheels[][3] = {{10, 120, 7}, {10, -120, 13}, {10, 240, 4}, {10, 40, 9}};
  for (auto& w : wheels) EXPECT_EQ(w[2], WheelScrollTarget(w[0], w[1])) << w[1];
}

TEST(GridControl, HitTest) {
  // Shown items at indices 1, 3, 5, 7, 9 (ordinals 0-4).
  std::vector<PriceItem> items(10);
  std::vector<ItemState> states(10, 0);
  for (size_t i = 1; i < 10; i += 2) states[i] = ChangeEstimatePrice;
  // {show_changes, x, y, top ordinal, page rows, item}
  const int cases[][6] = {
      {0, 100, 11, 0, 16, -1},     // header band
      {0, 100, 12, 0, 16, 1},      // slot 0
      {0, 100, 30, 0, 16, 3},      // slot 1
      {1, 100, 30, 0, 7, 1},       // slot 0 of rows 24 high
      {1, 100, 40, 0, 7, 3},       // slot 1
      {0, 0, 30, 0, 16, 3},        // x plays no part
      {0, 9999, 60, 0, 16, 9},     // slot 4
      {0, 100, 96, 0, 16, -1},     // slot 7 of 5 items
      {0, 100, 30, 3, 16, 9},      // ordinal 4
      {0, 100, 30, 4, 16, -1},     // ordinal 5
      {0, 100, 36, 0, 1, -1},      // below the last slot painted
      {0, 100, 65535, 0, 16, -1},  //
  };
  ShownItems shown;
  for (auto& c : cases) {
    GridData grid = Grid(&items, &states, kChangeBits);
    grid.show_changes = c[0];
    ViewState view;
    view.top_ordinal = c[3], view.page_rows = c[4];
    EXPECT_EQ(c[5], HitTestItem(grid, view, &shown, unsigned(c[1]), unsigned(c[2]))) << c[2];
  }
  std::vector<PriceItem> no_items;
  std::vector<ItemState> no_states;
  ViewState view;
  view.page_rows = 16;
  EXPECT_EQ(-1, HitTestItem(Grid(&no_items, &no_states, kChangeBits), view, &shown, 0, 30));
}

TEST(GridControl, CategoryCommands) {
  const Code codes[] = {
      MakeCode(2, 5, 100, 7, 1), MakeCode(2, 5, 100, 7, 2),  // 0 target, 1 same small category
      MakeCode(2, 5, 100, 8, 1), MakeCode(2, 5, 101, 7, 1),  // 2 same middle, 3 same large
      MakeCode(2, 6, 100, 7, 1), MakeCode(3, 5, 100, 7, 1),  // 4 other large, 5 other category
      MakeCode(0, 5, 100, 7, 1), MakeCode(2, 5, 100, 7, 3),  // 6 category 0, 7 same small
      MakeCode(2, 5, 100, 7, 4)};                            // 8 same small
  // Items 2 and 7 are hidden by the filter and item 8 is written; all take part.
  const ItemState kinds[] = {
      ChangeEstimatePrice, kNewItemState,       ChangeUnit,
      ChangeEstimatePrice, ChangeEstimatePrice, ChangeEstimatePrice,
      ChangeEstimatePrice, ChangeMaterialNote,  ChangeEstimatePrice | StateApplied};
  struct Case {
    int command, target;
    const char *before, *after;  // StateSelected per item
  };
  const Case cases[] = {
      {4500, 0, "000000100", "111100111"}, {4501, 0, "000000100", "111000111"},
      {4502, 0, "000000100", "110000111"}, {4600, 0, "111111111", "000011100"},
      {4601, 0, "111111111", "000111100"}, {4602, 0, "111111111", "001111100"},
      {4500, 6, "000000000", "000000000"}, {4600, 6, "111111111", "111111111"},
      {4502, 4, "000000000", "000010000"}, {4601, 8, "111111111", "000111100"},
      {4502, 9, "000000100", nullptr},     {4502, -1, "000000100", nullptr},
      {4503, 0, "000000100", nullptr},     {4603, 0, "000000100", nullptr},
      {4499, 0, "000000100", nullptr},     {100, 0, "000000100", nullptr},
  };
  for (const Case& c : cases) {
    std::vector<PriceItem> items(9);
    std::vector<ItemState> states(kinds, kinds + 9);
    for (size_t i = 0; i < 9; i++) {
      items[i].code = codes[i];
      if (c.before[i] == '1') states[i] |= StateSelected;
    }
    EXPECT_EQ(c.after != nullptr, IsCategoryCommand(c.command) && c.target >= 0 && c.target < 9);
    EXPECT_EQ(c.after != nullptr, ApplyCategoryCommand(Grid(&items, &states, ChangeEstimatePrice),
                                                       c.command, c.target));
    std::string selected;
    for (size_t i = 0; i < 9; i++) {
      selected += (states[i] & StateSelected) ? '1' : '0';
      EXPECT_EQ(kinds[i], states[i] & ~StateSelected) << i;
    }
    EXPECT_EQ(c.after ? c.after : c.before, selected) << c.command << " target " << c.target;
  }
  EXPECT_STREQ("同中項目を全選択解除", ContextMenuEntries(true)[1].text);
  EXPECT_EQ(4501, ContextMenuEntries(false)[1].command);
}

}  // namespace
