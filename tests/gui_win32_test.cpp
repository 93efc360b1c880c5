// The main window and the grid, created in this process on a prepared program folder and
// driven with the messages a user's clicks produce.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/tool_bars.h"
#include "checklist/url_list.h"
#include "data/qupra_binding.h"
#include "data/test_record.h"
#include "resources/resource.h"
#include "tests/gui_process_win32.h"
#include "tests/test_dirs_win32.h"
#include "view/item_view.h"

namespace {

const Code kSteel1 = MakeCode(1, 1, 1, 1, 1);    // unchanged
const Code kSteel2 = MakeCode(1, 1, 1, 1, 2);    // prices changed
const Code kSteel3 = MakeCode(1, 1, 1, 2, 1);    // new, other small category
const Code kConcrete = MakeCode(2, 3, 1, 1, 1);  // name changed
const Code kPlywood = MakeCode(3, 5, 1, 1, 1);   // supplier changed

// Items 0..4 of the file in code order; 0 equals the database and is never shown.
const char kUpdateFile[] =
    "単価アップデートファイル\r\n"
    "1-01-0001-0001-0001,異形棒鋼 D10,JIS,68000,72000,3,110,1\r\n"
    "1-01-0001-0001-0002,異形棒鋼 D13,JIS,67000,71000,3,110,1\r\n"
    "1-01-0001-0002-0001,H形鋼 200x100,SS400,99500,107000,3,120,2\r\n"
    "2-03-0001-0001-0001,生コンクリート 21-8-25,JIS,14500,15800,3,110,1\r\n"
    "3-05-0001-0001-0001,型枠用合板 12mm,JIS,1450,1600,3,110,5\r\n";

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PrepareGuiProcess(); }

  // A fresh program folder with a seeded database; the update file is StartFile when
  // with_file, and the check list holds list_lines.
  void Prepare(bool with_file, const char* list_lines = "") {
    dir_ = NewTempDir("costupdate-gui");
    std::strcpy(ProgramDir, dir_.c_str());
    Library->InitDatabase(ProgramDir);
    PriceItem steel[] = {TestRecord(kSteel1, "異形棒鋼 D10", 68000, 72000),
                         TestRecord(kSteel2, "異形棒鋼 D13", 66000, 70000)};
    Seed(steel, 2);
    PriceItem concrete = TestRecord(kConcrete, "生コンクリート 18-8-25", 14500, 15800);
    Seed(&concrete, 1);
    PriceItem plywood = TestRecord(kPlywood, "型枠用合板 12mm", 1450, 1600);
    Seed(&plywood, 1);
    WriteFile("FavoriteList.txt", list_lines);
    StartFile[0] = '\0';
    if (with_file) std::strcpy(StartFile, WriteFile("update.costupdate", kUpdateFile).c_str());
    KindFilter = kChangeBits;
    ItemNameColumns = ShowChanges = OverwritePrices = 0;
    View = ViewState();
    ItemStatesChanged();
  }

  void Seed(const PriceItem* records, int n) {
    RecordBlock block = Library->AllocBlock(sizeof(PriceItem) * n);
    std::memcpy(Library->LockBlock(block), records, sizeof(PriceItem) * n);
    Library->UnlockBlock(block);
    Library->WriteGroup(records[0].code, block, n);
    Library->FreeBlock(block);
  }

  std::string WriteFile(const char* name, const char* text) {
    std::string path = dir_ + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text, f);
    std::fclose(f);
    return path;
  }

  void Open() {
    window_ = OpenMainWindow();
    ASSERT_TRUE(window_);
  }

  // Enough items for several pages: 300 new items in one small category.
  void OpenWithManyItems() {
    Prepare(false);
    std::string text = "単価アップデートファイル\r\n";
    for (int i = 1; i <= 300; ++i) {
      char line[128];
      std::snprintf(line, sizeof line, "4-07-0001-0001-%04d,部材%d,,100,120,3,110,1\r\n", i, i);
      text += line;
    }
    std::strcpy(StartFile, WriteFile("many.costupdate", text.c_str()).c_str());
    Open();
    Pump();
  }

  void TearDown() override {
    if (window_) DestroyWindow(window_);
    Pump();
    // The quit message of the destroyed window must not end a later test's loop.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }

  // A user's click on a tool-bar button: the bar toggles a check button, then reports.
  void Click(int id) {
    HWND bar = MainBars.main_tool_bar;
    if (id == IDC_PATROL || id == IDC_EDIT_CHECKLIST) bar = MainBars.patrol_tool_bar;
    RECT r;
    ASSERT_TRUE(SendMessageA(bar, TB_GETRECT, id, reinterpret_cast<LPARAM>(&r))) << id;
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
    Pump();
  }

  // Clicks the row slot with the left button.
  void ClickRow(int slot) {
    int y = kHeaderHeight + slot * RowHeight(ShowChanges) + 3;
    SendMessageA(ItemView, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, y));
    SendMessageA(ItemView, WM_LBUTTONUP, 0, MAKELPARAM(300, y));
    Pump();
  }

  std::vector<int> ShownIndices() {
    std::vector<int> out;
    for (int k; (k = Shown.At(CurrentGrid(), int(out.size()))) >= 0;) out.push_back(k);
    return out;
  }

  PriceItem Stored(Code code) {
    PriceItem item = {};
    EXPECT_TRUE(Library->GetItem(code, &item));
    return item;
  }

  SCROLLINFO Bar(int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(ItemView, bar, &info);
    return info;
  }

  COLORREF Pixel(int x, int y) {
    UpdateWindow(ItemView);
    HDC dc = GetDC(ItemView);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(ItemView, dc);
    return c;
  }

  std::string dir_;
  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, StartFileShowsItsChangedAndNewItems) {
  Prepare(true);
  Open();
  Pump();
  ASSERT_EQ(5, Store.count);
  EXPECT_EQ(1, FileLoaded);
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), ShownIndices());
  EXPECT_EQ(kNewItemState, Store.states[2]);

  // The combo box holds only the file's line, selected.
  EXPECT_EQ(1, SendMessageA(MainBars.file_selector, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(0, SendMessageA(MainBars.file_selector, CB_GETCURSEL, 0, 0));

  // The rebar above the view, the selector on a row below the tool bars.
  RECT bar, view, selector, tools;
  GetWindowRect(MainBars.rebar, &bar);
  GetWindowRect(ItemView, &view);
  GetWindowRect(MainBars.file_selector, &selector);
  GetWindowRect(MainBars.main_tool_bar, &tools);
  EXPECT_EQ(bar.bottom, view.top);
  EXPECT_GE(selector.top, tools.bottom);

  // Scroll bars: one row per shown item, the content width across.
  SCROLLINFO info = Bar(SB_VERT);
  EXPECT_EQ(0, info.nMin);
  EXPECT_EQ(3, info.nMax);
  info = Bar(SB_HORZ);
  EXPECT_EQ(916, info.nMax);
  RECT client;
  GetClientRect(ItemView, &client);
  EXPECT_EQ(UINT(client.right), info.nPage);
  EXPECT_EQ(client.bottom / 12 - 1, View.page_rows);

  // Header band, then white and cyan bands.
  EXPECT_EQ(RGB(192, 255, 255), Pixel(38, 6));
  EXPECT_EQ(RGB(255, 255, 255), Pixel(38, 18));
  EXPECT_EQ(RGB(192, 255, 255), Pixel(38, 30));
}

// Counts pixels of a colour in a row slot.
int CountColor(HWND view, int slot, COLORREF color) {
  UpdateWindow(view);
  HDC dc = GetDC(view);
  int n = 0;
  for (int y = 12 + slot * 12; y < 24 + slot * 12; ++y)
    for (int x = 0; x < 120; ++x) n += GetPixel(dc, x, y) == color;
  ReleaseDC(view, dc);
  return n;
}

TEST_F(MainWindowTest, ClicksSelectAndApplyKeepsDatabasePrices) {
  Prepare(true);
  Open();
  Pump();
  EXPECT_EQ(0, CountColor(ItemView, 0, RGB(192, 0, 0)));
  ClickRow(0);
  EXPECT_TRUE(Store.states[1] & StateSelected);
  EXPECT_GT(CountColor(ItemView, 0, RGB(192, 0, 0)), 10);  // a selected row is red
  ClickRow(0);
  EXPECT_FALSE(Store.states[1] & StateSelected);
  ClickRow(7);  // below the last shown item
  for (int i = 0; i < Store.count; ++i) EXPECT_FALSE(Store.states[i] & StateSelected) << i;

  Click(IDC_SELECT_ALL);
  for (int k : {1, 2, 3, 4}) EXPECT_TRUE(Store.states[k] & StateSelected) << k;
  Click(IDC_APPLY);
  // Prices kept: the price-only change stays shown; the others are written and hidden.
  EXPECT_EQ(66000u, Stored(kSteel2).execution_price);
  EXPECT_STREQ("H形鋼 200x100", Stored(kSteel3).material_name);
  EXPECT_STREQ("生コンクリート 21-8-25", Stored(kConcrete).material_name);
  EXPECT_EQ(5u, Stored(kPlywood).supplier_code);
  EXPECT_EQ((std::vector<int>{1}), ShownIndices());

  // With ¥ 上書 pressed the prices go in too.
  Click(IDC_OVERWRITE_PRICES);
  EXPECT_EQ(1, OverwritePrices);
  Click(IDC_APPLY);
  EXPECT_EQ(67000u, Stored(kSteel2).execution_price);
  EXPECT_EQ(71000u, Stored(kSteel2).estimate_price);
  EXPECT_TRUE(ShownIndices().empty());
}

// A group the database cannot give whole (a row there is not its own) is not written:
// its item stays shown and selected, and a message says so.
TEST_F(MainWindowTest, ApplyTellsWhenAGroupCannotBeWritten) {
  Prepare(true);
  Open();
  Pump();
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open((dir_ + "qupra.db").c_str(), &db));
  std::string damage = "INSERT INTO items(grp, pos, code, record) VALUES(" +
                       std::to_string(CodeGroup(kPlywood)) + ", 1, 1, zeroblob(84))";
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr));
  sqlite3_close(db);

  Click(IDC_SELECT_ALL);
  Click(IDC_OVERWRITE_PRICES);
  std::string box;
  std::thread answer([&] { box = AnswerBox("書き込み", IDOK); });
  Click(IDC_APPLY);
  answer.join();
  EXPECT_EQ("書き込み: データベースに書き込めなかった項目があります。", box);
  EXPECT_EQ((std::vector<int>{4}), ShownIndices());
  EXPECT_TRUE(Store.states[4] & StateSelected);
  EXPECT_EQ(67000u, Stored(kSteel2).execution_price);
  EXPECT_EQ(1u, Stored(kPlywood).supplier_code);
}

// Sends a command whose handler shows message boxes, answering them in turn; their
// "caption: text" lines.
std::vector<std::string> CommandAnswering(HWND window, int id,
                                          std::vector<std::pair<const char*, int>> answers) {
  std::vector<std::string> boxes;
  std::thread answer([&] {
    for (auto& a : answers) boxes.push_back(AnswerBox(a.first, a.second));
  });
  SendMessageA(window, WM_COMMAND, id, 0);
  answer.join();
  Pump();
  return boxes;
}

bool StartsAndEnds(const std::string& s, const std::string& start, const std::string& end) {
  return s.size() >= start.size() + end.size() && s.compare(0, start.size(), start) == 0 &&
         s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The main window's keys and the commands they give.
TEST_F(MainWindowTest, AcceleratorsGiveTheirCommands) {
  HACCEL keys = LoadAcceleratorsA(Instance, "MAIN");
  ASSERT_TRUE(keys);
  ACCEL table[8];
  int n = CopyAcceleratorTableA(keys, table, 8);
  std::vector<std::string> got;
  for (int i = 0; i < n; ++i)
    got.push_back(std::to_string(table[i].cmd) + " " + std::to_string(table[i].key) +
                  ((table[i].fVirt & FVIRTKEY) ? " virtual" : "") +
                  ((table[i].fVirt & FCONTROL) ? " ctrl" : "") +
                  ((table[i].fVirt & (FSHIFT | FALT)) ? " shift/alt" : ""));
  EXPECT_EQ((std::vector<std::string>{"1920 90 virtual ctrl", "1921 67 virtual ctrl",
                                      "1922 70 virtual ctrl", "1923 114 virtual"}),
            got);
  EXPECT_EQ((std::vector<int>{IDC_UNDO, IDC_COPY, IDC_FIND, IDC_FIND_NEXT}),
            (std::vector<int>{1920, 1921, 1922, 1923}));
}

// Ctrl+Z is the main window's key for IDC_UNDO: it asks, takes the apply back, shows the
// file again, and then says there is nothing more; a group written since is left alone.
TEST_F(MainWindowTest, CtrlZTakesTheLatestApplyBack) {
  Prepare(true);
  Open();
  Pump();
  std::vector<int> shown = ShownIndices();
  PriceItem steel2 = Stored(kSteel2), concrete = Stored(kConcrete);
  Click(IDC_SELECT_ALL);
  Click(IDC_OVERWRITE_PRICES);
  Click(IDC_APPLY);
  ASSERT_TRUE(ShownIndices().empty());

  std::vector<std::string> boxes = CommandAnswering(window_, IDC_UNDO, {{"元に戻す", IDNO}});
  EXPECT_TRUE(
      StartsAndEnds(boxes[0], "元に戻す: 直前の書き込み（", "、3グループ、4件）を元に戻しますか？"))
      << boxes[0];
  EXPECT_TRUE(ShownIndices().empty());  // No: nothing changed

  CommandAnswering(window_, IDC_UNDO, {{"元に戻す", IDYES}});
  EXPECT_EQ(shown, ShownIndices());
  PriceItem steel2_now = Stored(kSteel2), concrete_now = Stored(kConcrete), steel3;
  EXPECT_EQ(0, std::memcmp(&steel2, &steel2_now, sizeof steel2));
  EXPECT_EQ(0, std::memcmp(&concrete, &concrete_now, sizeof concrete));
  EXPECT_FALSE(Library->GetItem(kSteel3, &steel3));

  boxes = CommandAnswering(window_, IDC_UNDO, {{"元に戻す", IDOK}});
  EXPECT_EQ("元に戻す: 元に戻せる書き込みはありません。", boxes[0]);

  // Applied again, then group 2-03 is written by someone else: it stays as they left it.
  Click(IDC_SELECT_ALL);
  Click(IDC_APPLY);
  PriceItem other = TestRecord(kConcrete, "別の書き込み", 1, 1);
  Seed(&other, 1);
  boxes = CommandAnswering(window_, IDC_UNDO, {{"元に戻す", IDYES}, {"元に戻す", IDOK}});
  EXPECT_EQ("元に戻す: 次のグループは書き込みの後に変更されていたため、元に戻していません: 2-03",
            boxes[1]);
  EXPECT_STREQ("別の書き込み", Stored(kConcrete).material_name);
  EXPECT_EQ(66000u, Stored(kSteel2).execution_price);
}

// The clipboard's text in one format, up to its NUL; empty when the format is not there.
std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "clipboard not opened";
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text;
}

std::wstring ClipboardUnicode() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"clipboard not opened";
  if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text;
}

// Ctrl+C: the selected rows, or every shown row when none is selected, in both formats.
TEST_F(MainWindowTest, CtrlCCopiesTheRows) {
  Prepare(true);
  Open();
  Pump();
  const char kHeader[] = "コード\t部材名称\t部材摘要\t実行単価\t見積単価\t単位\t工種\t発注先\r\n";
  const char kSteel2Row[] =
      "1-01-0001-0001-0002\t異形棒鋼 D13\tJIS\t67000\t71000\t???\t110\t???\r\n";
  const char kSteel3Row[] =
      "1-01-0001-0002-0001\tH形鋼 200x100\tSS400\t99500\t107000\t???\t120\t???\r\n";
  const char kConcreteRow[] =
      "2-03-0001-0001-0001\t生コンクリート 21-8-25\tJIS\t14500\t15800\t???\t110\t???\r\n";
  const char kPlywoodRow[] =
      "3-05-0001-0001-0001\t型枠用合板 12mm\tJIS\t1450\t1600\t???\t110\t???\r\n";

  SendMessageA(window_, WM_COMMAND, IDC_COPY, 0);
  EXPECT_EQ(std::string(kHeader) + kSteel2Row + kSteel3Row + kConcreteRow + kPlywoodRow,
            ClipboardText());
  ClickRow(1);
  ClickRow(3);
  SendMessageA(window_, WM_COMMAND, IDC_COPY, 0);
  EXPECT_EQ(std::string(kHeader) + kSteel3Row + kPlywoodRow, ClipboardText());
  EXPECT_EQ(
      std::wstring(L"コード\t部材名称\t部材摘要\t実行単価\t見積単価\t単位\t工種\t発注先\r\n"
                   L"1-01-0001-0002-0001\tH形鋼 200x100\tSS400\t99500\t107000\t???\t120\t???\r\n"
                   L"3-05-0001-0001-0001\t型枠用合板 12mm\tJIS\t1450\t1600\t???\t110\t???\r\n"),
      ClipboardUnicode());
}

// Answers the find box with the text and its default button, from another thread; then the
// message box that says nothing was found, when not_found. What the boxes said.
std::string AnswerFind(const char* text, bool not_found = false) {
  HWND box = WaitDialog("検索");
  if (!box || !GetDlgItem(box, IDC_FIND_TEXT)) return "no find box";
  SetDlgItemTextA(box, IDC_FIND_TEXT, text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (!Gone(box)) return "find box left open";
  return not_found ? AnswerBox("検索", IDOK) : "";
}

// Ctrl+F finds by name or code from the row after the top one and scrolls the item to the
// top; F3 goes on with the same text, wrapping; a miss is told. Nothing gets selected.
TEST_F(MainWindowTest, CtrlFFindsAndF3FindsAgain) {
  OpenWithManyItems();
  const int last_top = 300 - View.page_rows;
  struct Step {
    int command;
    const char* text;  // typed into the find box; null when no box comes
    int want_top;
  };
  const Step steps[] = {
      {IDC_FIND_NEXT, "部材15", 14},       // no text yet: F3 opens the box
      {IDC_FIND_NEXT, nullptr, 149},       // 部材150
      {IDC_FIND, "0001-0100", 99},         // by code, wrapping
      {IDC_FIND, "部材29", last_top},      // 部材290: the bar stops at its last page
      {IDC_FIND_NEXT, nullptr, last_top},  // 部材291, though it is not the top row
  };
  for (const Step& step : steps) {
    std::string said;
    std::thread answer([&] { said = step.text ? AnswerFind(step.text) : ""; });
    SendMessageA(window_, WM_COMMAND, step.command, 0);
    answer.join();
    Pump();
    EXPECT_EQ("", said);
    EXPECT_EQ(step.want_top, View.top_ordinal) << (step.text ? step.text : "F3");
  }
  // On through 部材299, then round to 部材29.
  for (int i = 0; i < 8; ++i) SendMessageA(window_, WM_COMMAND, IDC_FIND_NEXT, 0);
  EXPECT_EQ(last_top, View.top_ordinal);
  SendMessageA(window_, WM_COMMAND, IDC_FIND_NEXT, 0);
  EXPECT_EQ(28, View.top_ordinal);

  std::string said;
  std::thread answer([&] { said = AnswerFind("鉄骨", true); });
  SendMessageA(window_, WM_COMMAND, IDC_FIND, 0);
  answer.join();
  EXPECT_EQ("検索: 「鉄骨」は見つかりませんでした。", said);
  EXPECT_EQ(28, View.top_ordinal);
  for (int i = 0; i < Store.count; ++i) EXPECT_FALSE(Store.states[i] & StateSelected) << i;
}

TEST_F(MainWindowTest, FiltersHideRowsAndKeepThemFromBeingWritten) {
  Prepare(true);
  Open();
  Pump();
  for (int id = IDC_KIND_FIRST; id <= IDC_KIND_LAST; ++id)
    EXPECT_TRUE(SendMessageA(MainBars.main_tool_bar, TB_ISBUTTONCHECKED, id, 0)) << id;
  for (int id : {IDC_ITEM_NAME_COLUMNS, IDC_OVERWRITE_PRICES, IDC_SHOW_CHANGES})
    EXPECT_FALSE(SendMessageA(MainBars.main_tool_bar, TB_ISBUTTONCHECKED, id, 0)) << id;

  Click(IDC_KIND_FIRST + 6);  // 発注先 off: the plywood (supplier only) goes
  EXPECT_EQ(0x3F, KindFilter);
  EXPECT_EQ((std::vector<int>{1, 2, 3}), ShownIndices());
  SCROLLINFO info = Bar(SB_VERT);
  EXPECT_EQ(2, info.nMax);

  Click(IDC_SELECT_ALL);
  EXPECT_FALSE(Store.states[4] & StateSelected);
  Store.states[4] |= StateSelected;  // selected, but filtered out
  Click(IDC_APPLY);
  EXPECT_EQ(1u, Stored(kPlywood).supplier_code);
  EXPECT_FALSE(Store.states[4] & StateApplied);

  for (int id = IDC_KIND_FIRST; id <= IDC_KIND_LAST; ++id) Click(id);
  EXPECT_EQ(0x40, KindFilter);  // only 発注先 back on
  EXPECT_EQ((std::vector<int>{4}), ShownIndices());
}

TEST_F(MainWindowTest, OptionsChangeLayoutAndRanges) {
  Prepare(true);
  Open();
  Pump();
  RECT client;
  GetClientRect(ItemView, &client);
  Click(IDC_SHOW_CHANGES);
  EXPECT_EQ(1, ShowChanges);
  EXPECT_EQ(client.bottom / 24 - 1, View.page_rows);
  Click(IDC_ITEM_NAME_COLUMNS);
  EXPECT_EQ(1, ItemNameColumns);
  SCROLLINFO info = Bar(SB_HORZ);
  EXPECT_EQ(1068, info.nMax);

  // Scroll right to the end, then back to the narrower layout: ScrollX stays in range.
  SendMessageA(ItemView, WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_EQ(1068 - int(info.nPage) + 1, View.scroll_x);
  Click(IDC_ITEM_NAME_COLUMNS);
  EXPECT_EQ(916 - int(info.nPage) + 1, View.scroll_x);
  SendMessageA(ItemView, WM_HSCROLL, SB_LINELEFT, 0);
  EXPECT_EQ(916 - int(info.nPage) + 1 - 20, View.scroll_x);
  SendMessageA(ItemView, WM_HSCROLL, SB_LEFT, 0);
  EXPECT_EQ(0, View.scroll_x);
}

TEST_F(MainWindowTest, VerticalScrollAndWheelStayInRange) {
  OpenWithManyItems();
  int page = View.page_rows;
  ASSERT_GT(page, 10);
  SendMessageA(ItemView, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(1, View.top_ordinal);
  SendMessageA(ItemView, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(1 + page, View.top_ordinal);
  SendMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
  EXPECT_EQ(4 + page, View.top_ordinal);
  SendMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
  EXPECT_EQ(page - 2, View.top_ordinal);
  SendMessageA(ItemView, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(300 - page, View.top_ordinal);  // the bar stops at the last page
  SendMessageA(ItemView, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(300 - page, View.top_ordinal);
  SendMessageA(ItemView, WM_VSCROLL, SB_TOP, 0);
  SendMessageA(ItemView, WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(0, View.top_ordinal);

  // A click in slot 2 after scrolling hits the item at that ordinal.
  SendMessageA(ItemView, WM_VSCROLL, SB_PAGEDOWN, 0);
  ClickRow(2);
  EXPECT_TRUE(Store.states[page + 2] & StateSelected);
}

// The keys move the grid exactly as the bars' own requests do and leave the selection.
TEST_F(MainWindowTest, KeysScrollAsTheBarsDo) {
  OpenWithManyItems();
  EXPECT_EQ(ItemView, GetFocus());  // at start
  SetFocus(MainBars.file_selector);
  ClickRow(1);
  EXPECT_EQ(ItemView, GetFocus());  // after a click
  std::vector<ItemState> states(Store.states, Store.states + Store.count);

  struct Key {
    WPARAM key;
    UINT message;
    int request;
  };
  const Key keys[] = {{VK_NEXT, WM_VSCROLL, SB_PAGEDOWN},   {VK_DOWN, WM_VSCROLL, SB_LINEDOWN},
                      {VK_NEXT, WM_VSCROLL, SB_PAGEDOWN},   {VK_UP, WM_VSCROLL, SB_LINEUP},
                      {VK_PRIOR, WM_VSCROLL, SB_PAGEUP},    {VK_END, WM_VSCROLL, SB_BOTTOM},
                      {VK_DOWN, WM_VSCROLL, SB_LINEDOWN},   {VK_PRIOR, WM_VSCROLL, SB_PAGEUP},
                      {VK_HOME, WM_VSCROLL, SB_TOP},        {VK_UP, WM_VSCROLL, SB_LINEUP},
                      {VK_RIGHT, WM_HSCROLL, SB_LINERIGHT}, {VK_RIGHT, WM_HSCROLL, SB_LINERIGHT},
                      {VK_LEFT, WM_HSCROLL, SB_LINELEFT},   {VK_LEFT, WM_HSCROLL, SB_LINELEFT},
                      {VK_LEFT, WM_HSCROLL, SB_LINELEFT}};
  std::vector<std::pair<int, int>> by_key, by_bar;
  for (bool keyboard : {true, false}) {
    SendMessageA(ItemView, WM_VSCROLL, SB_TOP, 0);
    SendMessageA(ItemView, WM_HSCROLL, SB_LEFT, 0);
    for (const Key& k : keys) {
      if (keyboard)
        SendMessageA(ItemView, WM_KEYDOWN, k.key, 0);
      else
        SendMessageA(ItemView, k.message, WPARAM(k.request), 0);
      (keyboard ? by_key : by_bar).push_back({View.top_ordinal, View.scroll_x});
    }
  }
  EXPECT_EQ(by_bar, by_key);
  EXPECT_EQ(std::make_pair(2 * View.page_rows + 1, 0), by_key[2]);
  EXPECT_EQ(std::make_pair(300 - View.page_rows, 0), by_key[6]);
  EXPECT_EQ(std::make_pair(0, 40), by_key[11]);
  EXPECT_EQ(states, std::vector<ItemState>(Store.states, Store.states + Store.count));
}

// A bar hidden while everything fitted comes back when the window becomes smaller.
TEST_F(MainWindowTest, BarsComeBackAfterASizeChange) {
  Prepare(true);
  Open();
  Pump();
  auto has = [](DWORD bar) { return (GetWindowLongA(ItemView, GWL_STYLE) & bar) != 0; };
  auto size = [&](int width, int height) {
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  };
  size(800, 600);
  EXPECT_TRUE(has(WS_HSCROLL));
  EXPECT_FALSE(has(WS_VSCROLL));  // four rows fit
  size(1200, 600);
  EXPECT_FALSE(has(WS_HSCROLL));
  size(800, 600);
  EXPECT_TRUE(has(WS_HSCROLL));
  SendMessageA(ItemView, WM_HSCROLL, SB_RIGHT, 0);
  RECT client;
  GetClientRect(ItemView, &client);
  EXPECT_EQ(916 - client.right + 1, View.scroll_x);  // 単位/工種/発注先 reachable again
  size(800, 140);
  EXPECT_TRUE(has(WS_VSCROLL));
  SCROLLINFO info = Bar(SB_VERT);
  EXPECT_EQ(3, info.nMax);
  EXPECT_EQ(UINT(View.page_rows), info.nPage);
  size(800, 600);
  EXPECT_FALSE(has(WS_VSCROLL));
  size(800, 140);
  EXPECT_TRUE(has(WS_VSCROLL));
}

// Chooses the menu entry at position index once the context menu is up.
int MenuChoice;
std::vector<std::string> MenuTexts;
void CALLBACK ChooseMenuEntry(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu_window = FindWindowA("#32768", nullptr);
  if (!menu_window) return;
  KillTimer(nullptr, timer);
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menu_window, MN_GETHMENU, 0, 0));
  MenuTexts.clear();
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
    MenuTexts.push_back(std::to_string(GetMenuItemID(menu, i)) + " " + text);
  }
  for (int i = 0; i <= MenuChoice; ++i) PostMessageA(menu_window, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu_window, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(MainWindowTest, ContextMenuSelectsTheCategory) {
  Prepare(true);
  Open();
  Pump();
  // Right-click the first row (item 1, category 1-01-0001-0001); choose 同中項目を全選択.
  MenuChoice = 1;
  SetTimer(nullptr, 0, 50, ChooseMenuEntry);
  SendMessageA(ItemView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 15));
  Pump();
  EXPECT_EQ(1, View.menu_target_item);
  ASSERT_EQ(3u, MenuTexts.size());
  EXPECT_EQ("4500 同大項目を全選択", MenuTexts[0]);
  EXPECT_EQ("4501 同中項目を全選択", MenuTexts[1]);
  EXPECT_EQ("4502 同小項目を全選択", MenuTexts[2]);
  // Same category, large and middle item: items 0 (not shown), 1 and 2.
  std::vector<bool> selected;
  for (int i = 0; i < Store.count; ++i) selected.push_back(Store.states[i] & StateSelected);
  EXPECT_EQ((std::vector<bool>{true, true, true, false, false}), selected);

  // On a selected item the menu offers the deselect entries; 同小項目を全選択解除.
  MenuChoice = 2;
  SetTimer(nullptr, 0, 50, ChooseMenuEntry);
  SendMessageA(ItemView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 15));
  Pump();
  ASSERT_EQ(3u, MenuTexts.size());
  EXPECT_EQ("4600 同大項目を全選択解除", MenuTexts[0]);
  EXPECT_EQ("4602 同小項目を全選択解除", MenuTexts[2]);
  selected.clear();
  for (int i = 0; i < Store.count; ++i) selected.push_back(Store.states[i] & StateSelected);
  EXPECT_EQ((std::vector<bool>{false, false, true, false, false}), selected);
}

TEST_F(MainWindowTest, EmptyCheckListWithoutFileOpensTheEditor) {
  for (bool with_file : {false, true}) {
    Prepare(with_file);
    Open();
    MSG msg;
    bool editor = false;
    while (PeekMessageA(&msg, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE))
      editor |= LOWORD(msg.wParam) == IDC_EDIT_CHECKLIST;
    EXPECT_EQ(!with_file, editor) << with_file;
    EXPECT_EQ(with_file ? 1 : 0, FileLoaded);
    DestroyWindow(window_);
    window_ = nullptr;
    TearDown();
  }
}

TEST_F(MainWindowTest, FileSelectorLoadsTheChosenLine) {
  // Two check-list lines: the first has a cache file, the second none; then StartFile.
  Prepare(true,
          "月次,http://127.0.0.1/monthly.dat\r\n"
          "四半期,http://127.0.0.1/quarterly.dat\r\n");
  CreateDirectoryA((dir_ + "HDTMP").c_str(), nullptr);
  WriteFile("HDTMP\\127.0.0.1_monthly.dat.costupdate",
            "1-01-0001-0001-0002,異形棒鋼 D13,JIS,67000,71000,3,110,1\r\n");
  Open();
  Pump();
  HWND combo = MainBars.file_selector;
  ASSERT_EQ(3, SendMessageA(combo, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(2, SendMessageA(combo, CB_GETCURSEL, 0, 0));
  EXPECT_EQ(5, Store.count);
  for (int line : {0, 1}) {
    SendMessageA(combo, CB_SETCURSEL, line, 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_FILE_SELECTOR, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(line == 0 ? 1 : 0, Store.count) << line;
    EXPECT_EQ(line == 0 ? 1 : 0, FileLoaded) << line;
    SCROLLINFO info = Bar(SB_VERT);
    // An empty range (0 .. -1) leaves the platform's bar at 0 .. 0.
    EXPECT_EQ(0, info.nMax) << line;
    EXPECT_EQ(line == 0 ? 1 : 0, ShownItemCount()) << line;
  }
}

}  // namespace
