// The file selector's combo box gets the catalogue's lines in order and its selection.
#include <gtest/gtest.h>

#include <string>

#include "app/file_selector.h"

namespace {

std::string LineText(HWND combo, int index) {
  char text[512] = "";
  SendMessageA(combo, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(FillFileSelector, LinesAndSelection) {
  HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 200, 200, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  // Wine without a display cannot create windows; scripts/test.sh gives it Xvfb.
  if (!combo) GTEST_SKIP() << "no window station to create the combo box in";
  Catalogue cat;
  cat.lines = {"  b - \t最終更新日 更新ファイルがありません。", "  a",
               "  単価アップデートファイル"};
  cat.selection = 2;
  FillFileSelector(combo, cat);
  ASSERT_EQ(3, int(SendMessageA(combo, CB_GETCOUNT, 0, 0)));
  EXPECT_EQ(cat.lines[0], LineText(combo, 0));  // unsorted, list order
  EXPECT_EQ(cat.lines[1], LineText(combo, 1));
  EXPECT_EQ(2, int(SendMessageA(combo, CB_GETCURSEL, 0, 0)));

  Catalogue empty;
  FillFileSelector(combo, empty);  // the old lines go, nothing is selected
  EXPECT_EQ(0, int(SendMessageA(combo, CB_GETCOUNT, 0, 0)));
  EXPECT_EQ(CB_ERR, int(SendMessageA(combo, CB_GETCURSEL, 0, 0)));
  DestroyWindow(combo);
}

}  // namespace
