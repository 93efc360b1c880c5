// Tests of the store's name tables: look-up by level and number, batches all or nothing,
// removal, listing, and the copies in memory following writes from anywhere.
#include "qupra/name_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

const Code kA1 = MakeCode(3, 12, 45, 2, 1);
const Code kA3 = MakeCode(3, 12, 900, 7, 0);
const Code kB1 = MakeCode(3, 13, 45, 2, 1);  // another large item
const Code kC1 = MakeCode(4, 12, 45, 2, 1);  // another category

class NameTablesTest : public StoreTest {};

TEST_F(NameTablesTest, NamesByLevelAndCode) {
  const std::string cut = "\x83\x41\x83";  // ends in a lead byte
  const std::string longest(kMaxNameBytes, '\x88');
  ASSERT_TRUE(store_.PutNames({
      {NameTable::kLarge, MakeCode(3, 12, 0, 0, 0), 0, "large"},
      {NameTable::kMiddle, MakeCode(3, 12, 45, 9, 9), 0, "middle"},
      {NameTable::kSmall, MakeCode(3, 12, 45, 2, 0), 0, cut},
      {NameTable::kLarge, MakeCode(3, 13, 0, 0, 0), 0, longest},
      {NameTable::kUnit, 0, 7, "m\x83"},
      {NameTable::kSupplier, 0, 65535, "supplier"},
  }));
  struct Case {
    Code code;
    int level;
    std::string name;
  };
  const Case cases[] = {
      {kA1, 0, "large"}, {kA1, 1, "middle"},
      {kA1, 2, cut},     {kA3, 0, "large"},
      {kA3, 1, ""},      {kA3, 2, ""},
      {kB1, 0, longest}, {kB1, 1, ""},
      {kC1, 0, ""},      {MakeCode(3, 12, 45, 3, 0), 2, ""},
      {kA1, -1, ""},     {kA1, 3, ""},
  };
  char name[kStoreTextSize];
  for (const Case& c : cases) {
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(!c.name.empty(), store_.GetLevelName(c.code, c.level, name));
    EXPECT_EQ(c.name, std::string(name)) << c.code << " level " << c.level;
  }
  EXPECT_TRUE(store_.GetUnitName(7, name));
  EXPECT_EQ("m\x83", std::string(name));
  EXPECT_FALSE(store_.GetUnitName(8, name));
  EXPECT_STREQ("", name);
  EXPECT_TRUE(store_.GetSupplierName(65535, name));
  EXPECT_STREQ("supplier", name);
  EXPECT_FALSE(store_.GetSupplierName(7, name));
  EXPECT_STREQ("", name);
  EXPECT_FALSE(store_.GetLevelName(kA1, 0, nullptr));
}

TEST_F(NameTablesTest, InvalidNameRefusesTheWholeBatch) {
  const NameEntry good = {NameTable::kUnit, 0, 1, "m"};
  const NameEntry bad[] = {
      {NameTable::kUnit, 0, 0, "zero"},
      {NameTable::kSupplier, 0, 65536, "too big"},
      {NameTable::kLarge, MakeCode(0, 12, 0, 0, 0), 0, "category 0"},
      {NameTable::kUnit, 0, 2, std::string(kMaxNameBytes + 1, 'n')},
      {NameTable::kUnit, 0, 2, std::string("a\0b", 3)},
  };
  char name[kStoreTextSize];
  for (const NameEntry& entry : bad) {
    EXPECT_FALSE(IsValidNameEntry(entry));
    EXPECT_FALSE(store_.PutNames({good, entry}));
    EXPECT_FALSE(store_.GetUnitName(1, name));
  }
  EXPECT_TRUE(IsValidNameEntry(good));
}

TEST_F(NameTablesTest, EmptyNameRemovesAndAllNamesAreListed) {
  ASSERT_TRUE(store_.PutNames({
      {NameTable::kSupplier, 0, 2, "two"},
      {NameTable::kUnit, 0, 9, "nine"},
      {NameTable::kUnit, 0, 3, "three"},
      {NameTable::kSmall, MakeCode(3, 12, 45, 2, 1), 0, "small"},
      {NameTable::kLarge, MakeCode(4, 1, 0, 0, 0), 0, "old"},
  }));
  ASSERT_TRUE(store_.PutNames({
      {NameTable::kLarge, MakeCode(4, 1, 0, 0, 0), 0, ""},
      {NameTable::kUnit, 0, 9, "NINE"},
  }));
  std::vector<NameEntry> names;
  ASSERT_TRUE(store_.ReadAllNames(&names));
  ASSERT_EQ(4u, names.size());
  EXPECT_EQ(NameTable::kSmall, names[0].table);
  EXPECT_EQ(MakeCode(3, 12, 45, 2, 0), names[0].code);
  EXPECT_EQ("small", names[0].name);
  EXPECT_EQ(NameTable::kUnit, names[1].table);
  EXPECT_EQ(3u, names[1].number);
  EXPECT_EQ("three", names[1].name);
  EXPECT_EQ(9u, names[2].number);
  EXPECT_EQ("NINE", names[2].name);
  EXPECT_EQ(NameTable::kSupplier, names[3].table);
  EXPECT_EQ("two", names[3].name);
}

class NameCacheTest : public TwoStoreTest {};

TEST_F(NameCacheTest, NamesFollowOwnAndOtherWrites) {
  char name[kStoreTextSize];
  auto unit = [&](PriceStore* store, unsigned number) {
    store->GetUnitName(number, name);
    return std::string(name);
  };
  ASSERT_TRUE(store_.PutNames({{NameTable::kUnit, 0, 1, "m"}, {NameTable::kSupplier, 0, 2, "s"}}));
  EXPECT_EQ("m", unit(&store_, 1));
  ASSERT_TRUE(store_.PutNames({{NameTable::kUnit, 0, 1, "kg"}}));
  EXPECT_EQ("kg", unit(&store_, 1));  // its own write at once
  ASSERT_TRUE(other_.PutNames({{NameTable::kUnit, 0, 1, ""}, {NameTable::kUnit, 0, 4, "t"}}));
  now_ += PriceStore::kRecheckMs;
  EXPECT_EQ("", unit(&store_, 1));
  EXPECT_EQ("t", unit(&store_, 4));
  EXPECT_TRUE(store_.GetSupplierName(2, name));
  EXPECT_STREQ("s", name);
}

// Name rows another program may leave behind: found exactly as a query for the one name
// finds them (a key must equal in value and be an integer; a name stops at its NUL).
TEST_F(NameCacheTest, ForeignNameRowsAreFoundAsTheFileFindsThem) {
  ExecBeside(
      "INSERT INTO large_names VALUES(3, 2.5, 'real key');"
      "INSERT INTO supplier_names VALUES(-2, 'negative');"
      "INSERT INTO large_names VALUES(259, 1, 'category 259');"
      "INSERT INTO middle_names VALUES(3, 12, 45, X'41420043');"
      "INSERT INTO small_names VALUES(3, 12, 45, 70000, 'small past its range');"
      "INSERT INTO small_names VALUES(3, 12, 45, 4464, 'small');");
  struct Case {
    NameTable table;
    Code code;
    unsigned number;
    const char* name;
  };
  const Case cases[] = {
      {NameTable::kLarge, MakeCode(3, 2, 0, 0, 0), 0, ""},
      {NameTable::kSupplier, 0, 65534, ""},
      {NameTable::kLarge, MakeCode(3, 1, 0, 0, 0), 0, ""},
      {NameTable::kMiddle, kA1, 0, "AB"},
      {NameTable::kSmall, MakeCode(3, 12, 45, 70000 & 0xFFFF, 0), 0, "small"},
  };
  for (const Case& c : cases) {
    char name[kStoreTextSize];
    bool found = c.table == NameTable::kUnit ? store_.GetUnitName(c.number, name)
                 : c.table == NameTable::kSupplier
                     ? store_.GetSupplierName(c.number, name)
                     : store_.GetLevelName(c.code, int(c.table), name);
    EXPECT_EQ(c.name[0] != '\0', found) << int(c.table);
    EXPECT_STREQ(c.name, name) << int(c.table);
  }
}

}  // namespace
