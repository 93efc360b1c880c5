// What one paint of the grid draws, and the cell texts, checked op by op against literal rows.
#include "view/grid_paint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/fake_price_library.h"
#include "view/cell_text.h"

namespace {

PriceItem Record(unsigned sub, uint32_t estimate) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = MakeCode(1, 3, 12, 7, sub);
  strcpy(r.material_name, "異形棒鋼");
  strcpy(r.material_note, "JIS");
  r.execution_price = 1234567;
  r.estimate_price = estimate;
  r.unit_code = 3;
  r.work_type = 5;
  return r;
}

// One op as "<kind><x>,<y>[:<x2>,<y2>]<colour>[*] <text>"; colours: w white, c cyan, g green,
// h header, k row grey, r selected red, d database grey; * bold.
std::string Op(const DrawOp& o) {
  const std::pair<uint32_t, char> colours[] = {{kWhiteColor, 'w'},       {kBandColor, 'c'},
                                               {kGreenLineColor, 'g'},   {kHeaderTextColor, 'h'},
                                               {kRowTextColor, 'k'},     {kSelectedTextColor, 'r'},
                                               {kDatabaseTextColor, 'd'}};
  std::string s =
      std::string(1, "FTCL"[int(o.kind)]) + std::to_string(o.x) + "," + std::to_string(o.y);
  if (o.kind != DrawKind::kText) s += ":" + std::to_string(o.x2) + "," + std::to_string(o.y2);
  for (auto& c : colours)
    if (c.first == o.color) s += c.second;
  return s + (o.bold ? "*" : "") +
         (o.kind == DrawKind::kFill || o.kind == DrawKind::kLine ? "" : " " + o.text);
}

struct Paint {
  std::vector<PriceItem> items;
  std::vector<ItemState> states;
  GridData grid;
  ViewState view;
  FakePriceLibrary db;  // holds no category names, so categories fall back
  // The ops from the first row slot on, joined by '|'; the header's in *header.
  std::string Rows(std::string* header = nullptr) {
    grid.items = items.data(), grid.states = states.data(), grid.count = int(items.size());
    ShownItems shown;
    std::vector<DrawOp> ops;
    BuildGridPaint(grid, view, &shown, &db, 640, &ops);
    std::string h, rows;
    int fills = 0;
    for (const DrawOp& o : ops) {
      fills += o.kind == DrawKind::kFill;
      std::string& to = fills > 1 ? rows : h;
      to += (to.empty() ? "" : "|") + Op(o);
    }
    if (header) *header = h;
    return rows;
  }
};

const char kCodeHeader[] =
    "F0,0:640,12c|T5,1h* 状態|T83,1h* コード|T183,1h* 部材名称|T395,1h* 部材摘要|"
    "T607,1h* 実行単価|T687,1h* 見積単価|T767,1h* 単位|T827,1h* 工種|T867,1h* 発注先";
const char kNameHeader[] =
    "F0,0:640,12c|T-95,1h* 状態|T-17,1h* 項目名称|T195,1h* 細番号|T235,1h* 部材名称|"
    "T447,1h* 部材摘要|T659,1h* 実行単価|T739,1h* 見積単価|T819,1h* 単位|T879,1h* 工種|"
    "T919,1h* 発注先";

TEST(GridPaint, Rows) {
  struct Case {
    const char* name;
    int names, changes, scroll, top, rows;
    uint16_t filter;
    ItemState state;
    const char* header;
    const char* want;
  };
  const Case cases[] = {
      {"only the estimate price changed", 0, 0, 0, 0, 0, kChangeBits, ChangeEstimatePrice,
       kCodeHeader,
       "F0,12:640,24w|T5,13k 更新|T45,13k 00001:|"
       "L81,12:81,24c|C83,12:183,24k 1-03-0012-0007-0005|L181,12:181,24c|T183,13k 異形棒鋼|"
       "L393,12:393,24c|T395,13k JIS|L605,12:605,24c|T607,13k  1,234,567|"
       "L685,12:685,24c|T687,13k*     72,000|L765,12:765,24c|T767,13k t|"
       "L825,12:825,24c|T827,13k  05|L865,12:865,24c|T867,13k ---"},
      {"names, database line, scrolled, odd slot", 1, 1, 100, -1, 1, kChangeBits,
       ChangeEstimatePrice, kNameHeader,
       "F0,12:640,36w|F0,36:640,60c|T-95,37k 更新|T-55,37k 00001:|"
       "L-19,36:-19,60g|C-17,36:193,60k 03-12-07|L193,36:193,60g|T195,37k 0005|"
       "L233,36:233,60g|T235,37k 異形棒鋼|L445,36:445,60g|T447,37k JIS|"
       "L657,36:657,60g|T659,37k  1,234,567|"
       "L737,36:737,60g|T739,37k*     72,000|T739,49d     70,000|"
       "L817,36:817,60g|T819,37k t|L877,36:877,60g|T879,37k  05|L917,36:917,60g|T919,37k ---"},
      {"new, selected, not in the database", 0, 1, 0, 0, 0, kChangeBits,
       kNewItemState | StateSelected, kCodeHeader,
       "F0,12:640,36w|T5,13r* 追加|T45,13r 00002:|"
       "L81,12:81,36c|C83,12:183,36r* 1-03-0012-0007-0001|"
       "L181,12:181,36c|T183,13r* 異形棒鋼|T183,25d |L393,12:393,36c|T395,13r* JIS|T395,25d |"
       "L605,12:605,36c|T607,13r*  1,234,567|T607,25d          0|"
       "L685,12:685,36c|T687,13r*     72,000|T687,25d          0|"
       "L765,12:765,36c|T767,13r* t|T767,25d ---|L825,12:825,36c|T827,13r*  05|T827,25d  00|"
       "L865,12:865,36c|T867,13r* ---|T867,25d ---"},
      {"filter 0", 0, 0, 0, 0, 2, 0, kNewItemState, kCodeHeader,
       "F0,12:640,24w|F0,24:640,36c|F0,36:640,48w"},
      {"top at the count", 0, 1, 0, 1, 1, kChangeBits, kNewItemState, kCodeHeader,
       "F0,12:640,36w|F0,36:640,60c"},
      {"no slot", 0, 0, 0, 0, -1, kChangeBits, kNewItemState, kCodeHeader, ""},
  };
  for (const Case& c : cases) {
    Paint p;
    p.db.unit_names[3] = "t";
    p.db.Put(Record(5, 70000));
    bool is_new = c.state & StateNew;
    if (is_new) p.items.push_back(Record(9, 1)), p.states.push_back(ChangeUnit | StateApplied);
    p.items.push_back(Record(is_new ? 1 : 5, 72000));
    p.states.push_back(c.state);
    p.grid.item_name_columns = c.names, p.grid.show_changes = c.changes,
    p.grid.kind_filter = c.filter;
    p.view.scroll_x = c.scroll, p.view.top_ordinal = c.top, p.view.page_rows = c.rows;
    std::string header;
    EXPECT_EQ(c.want, p.Rows(&header)) << c.name;
    EXPECT_EQ(c.header, header) << c.name;
  }
}

TEST(GridPaint, RowsInShownOrderNumberedByListPosition) {
  Paint p;
  // Shown under the filter: items 1, 3, 4, 6 (ordinals 0-3).
  const ItemState states[] = {ChangeUnit,    ChangeSupplier,     ChangeSupplier | StateApplied,
                              kNewItemState, ChangeMaterialName, 0,
                              ChangeWorkType};
  for (unsigned i = 0; i < 7; i++) p.items.push_back(Record(i, 1)), p.states.push_back(states[i]);
  p.grid.kind_filter = kChangeBits & ~ChangeUnit;
  struct Case {
    int changes, top, rows;
    const char* numbers;
  };
  const Case cases[] = {
      {0, 0, 4, "00002:00004:00005:00007:"}, {1, 1, 1, "00004:00005:"}, {1, -1, 1, "00002:"}};
  for (const Case& c : cases) {
    p.db.get_item_calls = 0;
    p.grid.show_changes = c.changes;
    p.view.top_ordinal = c.top, p.view.page_rows = c.rows;
    std::string rows = p.Rows(), numbers;
    for (size_t at = rows.find("T45,"); at != std::string::npos; at = rows.find("T45,", at + 1))
      numbers += rows.substr(rows.find(' ', at) + 1, 6);
    EXPECT_EQ(c.numbers, numbers) << c.top;
    EXPECT_EQ(c.changes ? int(numbers.size()) / 6 : 0, p.db.get_item_calls) << c.top;
  }
}

// Fills whole buffers and records with no terminator, or fails a look-up after scribbling.
struct Unterminated : FakePriceLibrary {
  int GetItem(Code, PriceItem* out) override { return memset(out, 'D', sizeof *out), 0; }
  void FormatItemCode(Code, char* out) override { memset(out, 'C', kLibraryTextSize); }
  void GetLevelName(Code, int, char* out) override { memset(out, 'L', kLibraryTextSize); }
  void GetUnitName(unsigned, char* out) override { memset(out, 'U', kLibraryTextSize); }
  void GetSupplierName(unsigned, char*) override {}  // writes nothing
};

TEST(GridPaint, TextsStayInsideTheirBuffers) {
  PriceItem item = Record(1, 1);
  memset(item.material_name, 'N', sizeof item.material_name);
  memset(item.material_note, 'M', sizeof item.material_note);
  item.supplier_code = 2;
  ItemState state = kNewItemState;
  GridData grid{&item, 1, &state, kChangeBits, 0, 1};
  ViewState view;
  Unterminated db;
  const std::string l(255, 'L'), u(255, 'U');
  for (int names = 0; names < 2; names++) {
    grid.item_name_columns = names;
    ShownItems shown;
    std::vector<DrawOp> ops;
    BuildGridPaint(grid, view, &shown, &db, 640, &ops);
    std::string texts;
    for (const DrawOp& o : ops)
      if (o.y >= 12 && o.x > 45 && (o.kind == DrawKind::kText || o.kind == DrawKind::kClippedText))
        texts += o.text + "|";
    EXPECT_EQ((names ? l + "-" + l + "-" + l + "|0001|" : std::string(255, 'C') + "|") +
                  std::string(31, 'N') + "||" + std::string(32, 'M') +
                  "|| 1,234,567|         0|         1|         0|" + u + "|---| 05| 00|???|---|",
              texts);
  }
}

TEST(CellText, Table) {
  FakePriceLibrary db;
  db.unit_names = {{3, "ｔ"}, {300, "本"}};
  db.supplier_names[7] = "鉄鋼商事";
  db.level_names[FakePriceLibrary::LevelKey(MakeCode(1, 3, 0, 0, 0), 0)] = "鉄筋";
  db.level_names[FakePriceLibrary::LevelKey(MakeCode(1, 3, 12, 8, 0), 2)] = "D13";
  const std::pair<std::string, const char*> cases[] = {
      {FormatPrice(999), "       999"},
      {FormatPrice(1000), "     1,000"},
      {FormatPrice(123456), "   123,456"},
      {FormatPrice(12345678), "12,345,678"},
      {FormatPrice(100000000), "100,000,000"},
      {FormatPrice(4294967295u), "4,294,967,295"},
      {UnitText(&db, 3), "ｔ"},
      {UnitText(&db, 4), "???"},
      {UnitText(&db, 300), "本"},
      {SupplierText(&db, 7), "鉄鋼商事"},
      {CategoryText(&db, MakeCode(1, 3, 12, 8, 1)), "鉄筋-12-D13"},
      {CategoryText(&db, MakeCode(1, 255, 65535, 0, 0)), "255-65535-00"},
      {WorkTypeText(110), " 110"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, c.first);
}

}  // namespace
