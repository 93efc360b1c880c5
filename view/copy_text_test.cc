// The clipboard text of the grid: which rows, which columns, and fields kept to one cell.
#include "view/copy_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/fake_price_library.h"

namespace {

PriceItem Item(Code code, const char* name, const char* note, uint32_t execution, uint32_t estimate,
               uint8_t unit, uint16_t work_type, uint16_t supplier) {
  PriceItem r;
  memset(&r, 0, sizeof r);
  r.code = code;
  strncpy(r.material_name, name, sizeof r.material_name);
  strncpy(r.material_note, note, sizeof r.material_note);
  r.execution_price = execution, r.estimate_price = estimate;
  r.unit_code = unit, r.work_type = work_type, r.supplier_code = supplier;
  return r;
}

const char kCodeHead[] = "コード\t部材名称\t部材摘要\t実行単価\t見積単価\t単位\t工種\t発注先\r\n";
const char kNameHead[] =
    "項目名称\t細番号\t部材名称\t部材摘要\t実行単価\t見積単価\t単位\t工種\t発注先\r\n";
const char kRow0[] = "1-03-0012-0007-0001\t異形棒鋼 D10\tJIS\t68000\t72000\tｔ\t05\t鉄鋼商事\r\n";
const char kRow1[] =
    "1-03-0012-0007-0002\tH形鋼 200 100\tSS  400\t0\t4294967295\t---\t110\t???\r\n";
const char kRow3[] = "2-01-0001-0001-0001\t合板\t合\t1450\t1600\tｔ\t05\t鉄鋼商事\r\n";
// Both texts fill their arrays without a NUL; the unit code after the name is a tab byte.
const std::string kRow2 = "1-03-0012-0007-0003\t" + std::string(31, 'N') + "\t" +
                          std::string(32, 'M') + "\t1\t1\t???\t00\t---\r\n";

TEST(CopyText, RowsAndColumns) {
  FakePriceLibrary db;
  db.unit_names[3] = "ｔ";
  db.supplier_names[7] = "鉄鋼商事";
  db.level_names[FakePriceLibrary::LevelKey(MakeCode(1, 3, 0, 0, 0), 0)] = "鉄筋";
  db.level_names[FakePriceLibrary::LevelKey(MakeCode(2, 1, 0, 0, 0), 0)] = "型\t枠";
  std::vector<PriceItem> items = {
      Item(MakeCode(1, 3, 12, 7, 1), "異形棒鋼 D10", "JIS", 68000, 72000, 3, 5, 7),
      Item(MakeCode(1, 3, 12, 7, 2), "H形鋼 200\t100", "SS\r\n400", 0, 4294967295u, 0, 110, 9),
      Item(MakeCode(1, 3, 12, 7, 3), "", "", 1, 1, 9, 0, 0),
      Item(MakeCode(2, 1, 1, 1, 1), "合板", "合\x94", 1450, 1600, 3, 5, 7),  // cut after 合
      Item(MakeCode(2, 1, 1, 1, 2), "書き込み済み", "", 1, 1, 3, 5, 7),
  };
  memset(items[2].material_name, 'N', sizeof items[2].material_name);
  memset(items[2].material_note, 'M', sizeof items[2].material_note);
  const ItemState base[] = {ChangeEstimatePrice, kNewItemState, ChangeMaterialName, ChangeUnit,
                            ChangeMaterialName | StateApplied | StateSelected};
  const uint16_t kNoUnit = kChangeBits & ~ChangeUnit;

  struct Case {
    const char* name;
    std::vector<int> selected;
    uint16_t filter;
    int item_name_columns;
    std::string want;
  };
  const Case cases[] = {
      {"none selected: every shown row",
       {},
       kChangeBits,
       0,
       kCodeHead + std::string(kRow0) + kRow1 + kRow2 + kRow3},
      {"the selected rows", {1, 3}, kChangeBits, 0, kCodeHead + std::string(kRow1) + kRow3},
      {"a selected row the filter hides counts as none",
       {3},
       kNoUnit,
       0,
       kCodeHead + std::string(kRow0) + kRow1 + kRow2},
      {"category names and sub-number",
       {0, 3},
       kChangeBits,
       1,
       kNameHead + std::string("鉄筋-12-07\t0001") + (kRow0 + 19) + "型 枠-01-01\t0001" +
           (kRow3 + 19)},
      {"nothing shown: the header alone", {}, 0, 0, kCodeHead},
  };
  for (const Case& c : cases) {
    std::vector<ItemState> states(base, base + 5);
    for (int k : c.selected) states[size_t(k)] |= StateSelected;
    GridData grid;
    grid.items = items.data(), grid.count = int(items.size()), grid.states = states.data();
    grid.kind_filter = c.filter, grid.item_name_columns = c.item_name_columns;
    ShownItems shown;
    EXPECT_EQ(c.want, CopyText(grid, &shown, &db)) << c.name;
  }
}

}  // namespace
