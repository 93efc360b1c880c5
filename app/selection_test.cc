// The main window's select-all/clear and select-new commands.
#include "app/selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// 0, 1 eligible; 2 written; 3 unchanged; 4 eligible unless the filter is the estimate
// price alone; 5 new; 6 new and written.
const ItemState kList[] = {ChangeEstimatePrice,
                           ChangeEstimatePrice | ChangeUnit,
                           ChangeEstimatePrice | StateApplied,
                           0,
                           ChangeMaterialNote,
                           kNewItemState,
                           kNewItemState | StateApplied};

std::string Commands(const char* start, const std::vector<int>& filters) {
  std::vector<ItemState> states(kList, kList + 7);
  for (size_t i = 0; i < 7; i++)
    if (start[i] == '1') states[i] |= StateSelected;
  std::string out;
  for (int filter : filters) {
    if (filter < 0)
      SelectNewItems(states.data(), 7);
    else
      SelectAllOrClear(states.data(), 7, uint16_t(filter));
    for (size_t i = 0; i < 7; i++) {
      out += (states[i] & StateSelected) ? '1' : '0';
      EXPECT_EQ(kList[i], states[i] & ~StateSelected) << i;  // only the selection changes
    }
    out += ' ';
  }
  return out;
}

TEST(Selection, Table) {
  const int all = kChangeBits, price = ChangeEstimatePrice, select_new = -1;
  struct Case {
    const char* start;
    std::vector<int> commands;  // a filter for select-all/clear, or select_new
    const char* after;          // the selection after each command
  };
  const Case cases[] = {
      {"0011000", {all, all, all}, "1111110 0011000 1111110 "},
      {"0011000", {price, price}, "1111010 0011000 "},
      {"0011100", {price, price}, "1111110 0011100 "},
      {"1011010", {all, all}, "1111110 0011000 "},
      {"1111110", {all}, "0011000 "},
      {"1011101", {0, 0}, "1011101 1011101 "},
      {"0000000", {select_new}, "0000010 "},
      {"1111111", {select_new}, "0010011 "},
      {"1101101", {select_new, all}, "0000011 1100111 "},
  };
  for (const Case& c : cases) EXPECT_EQ(c.after, Commands(c.start, c.commands)) << c.start;
}

}  // namespace
