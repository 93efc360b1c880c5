// Tests of qupra-tool: import and dump round trips, names, refused lines and usage errors.
#include "qupra/tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = FreshTestDir(); }

  std::string PathOf(const char* name) const { return dir_ + "/" + name; }

  // Runs the tool; out_ and err_ get what it wrote.
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "qupra-tool");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    FILE* out = fopen(PathOf("out.txt").c_str(), "wb");
    FILE* err = fopen(PathOf("err.txt").c_str(), "wb");
    int code = RunQupraTool(int(argv.size()), argv.data(), out, err);
    fclose(out);
    fclose(err);
    ReadWholeFile(PathOf("out.txt"), &out_);
    ReadWholeFile(PathOf("err.txt"), &err_);
    return code;
  }

  int Import(const std::string& csv) {
    EXPECT_TRUE(WriteWholeFile(PathOf("items.csv"), csv));
    return Run({"import", dir_, PathOf("items.csv")});
  }

  int Names(const char* table, const std::string& csv) {
    EXPECT_TRUE(WriteWholeFile(PathOf("names.csv"), csv));
    return Run({"names", dir_, table, PathOf("names.csv")});
  }

  bool DatabaseExists() const { return std::filesystem::exists(PathOf(kStoreFileName)); }

  std::string dir_;
  std::string out_;
  std::string err_;
};

TEST_F(ToolTest, ImportThenDumpGivesTheLinesBack) {
  // Quoted fields, CRLF, an empty line, a 30-byte name and one cut after a lead byte.
  const std::string name30(30, 'N');
  const std::string csv =
      "3-12-0045-0002-0001,\x8D\xDE\x97\xBF,\"a,b \"\"c\"\"\",1200,1500,3,17,42\r\n"
      "\r\n"
      "\"3-12-0045-0002-0002\"," +
      name30 +
      ",,0,4294967295,255,65535,65535\n"
      "1-00-0000-0000-0000,cut\x83,\x83,0,0,0,0,0";
  ASSERT_EQ(0, Import(csv)) << err_;
  ASSERT_EQ(0, Run({"dump", dir_})) << err_;
  EXPECT_EQ(
      "1-00-0000-0000-0000,cut\x83,\x83,0,0,0,0,0\n"
      "3-12-0045-0002-0001,\x8D\xDE\x97\xBF,\"a,b \"\"c\"\"\",1200,1500,3,17,42\n"
      "3-12-0045-0002-0002," +
          name30 + ",,0,4294967295,255,65535,65535\n",
      out_);
  // The records themselves: texts NUL-padded, every other byte zero.
  PriceStore store;
  ASSERT_TRUE(store.Open(dir_.c_str()));
  PriceItem item;
  ASSERT_TRUE(store.GetItem(MakeCode(1, 0, 0, 0, 0), &item));
  PriceItem expected;
  std::memset(&expected, 0, sizeof expected);
  expected.code = MakeCode(1, 0, 0, 0, 0);
  std::memcpy(expected.material_name, "cut\x83", 4);
  expected.material_note[0] = '\x83';
  EXPECT_TRUE(SameBytes(expected, item));
}

TEST_F(ToolTest, ImportKeepsTheGroupsOtherRecords) {
  const Code a1 = MakeCode(3, 12, 1, 0, 1), a2 = MakeCode(3, 12, 1, 0, 2);
  {
    PriceStore store;
    ASSERT_TRUE(store.Open(dir_.c_str()));
    std::vector<PriceItem> items = {SampleItem(a1, 1), SampleItem(a2, 2)};
    ASSERT_TRUE(store.WriteGroup(a1, items.data(), items.size()));
  }
  ASSERT_EQ(0, Import("3-12-0001-0000-0003,new,,1,1,0,0,0\n3-12-0001-0000-0001,again,,2,2,0,0,0\n"))
      << err_;
  PriceStore store;
  ASSERT_TRUE(store.Open(dir_.c_str()));
  std::vector<PriceItem> group;
  ASSERT_TRUE(store.ReadGroup(a1, &group));
  ASSERT_EQ(3u, group.size());
  EXPECT_STREQ("again", group[0].material_name);
  EXPECT_TRUE(SameBytes(SampleItem(a2, 2), group[1]));
  EXPECT_STREQ("new", group[2].material_name);
}

TEST_F(ToolTest, BadLineIsReportedAndNothingIsWritten) {
  const char* const bad_lines[] = {
      "3-12-0045-0002-0001,name,note,1,2,3,4",                           // 7 fields
      "3-12-0045-0002-0001,name,note,1,2,3,4,5,6",                       // 9 fields
      "0-12-0045-0002-0001,name,note,1,2,3,4,5",                         // category 0
      "3-12-45-2,name,note,1,2,3,4,5",                                   // not a code
      "3-12-0045-0002-0001,1234567890123456789012345678901,,1,2,3,4,5",  // 31-byte name
      "3-12-0045-0002-0001,,1234567890123456789012345678901,1,2,3,4,5",  // 31-byte note
      "3-12-0045-0002-0001,name,note,4294967296,2,3,4,5",
      "3-12-0045-0002-0001,name,note,1,-2,3,4,5",
      "3-12-0045-0002-0001,name,note,1,2,256,4,5",
      "3-12-0045-0002-0001,name,note,1,2,3,65536,5",
      "3-12-0045-0002-0001,name,note,1,2,3,4,",
      "3-12-0045-0002-0001,name,note, 1,2,3,4,5",
      "3-12-0045-0002-0001,\"name,note,1,2,3,4,5",
  };
  for (const char* bad : bad_lines) {
    SCOPED_TRACE(bad);
    std::string csv = "3-12-0045-0002-0002,good,,1,1,0,0,0\n\n";
    csv += bad;
    csv += "\n";
    EXPECT_EQ(1, Import(csv));
    EXPECT_NE(std::string::npos, err_.find("items.csv:3:")) << err_;
    EXPECT_FALSE(DatabaseExists());
  }
}

TEST_F(ToolTest, NamesImportAndDump) {
  ASSERT_EQ(0, Names("large", "3-12-0000-0000-0000,\x8C\x9A\x92\x7A\n")) << err_;
  ASSERT_EQ(0, Names("middle", "3-12-0045-0009-0009,middle\n")) << err_;
  ASSERT_EQ(0, Names("small", "3-12-0045-0002-0000,\"small, cut\x83\"\n")) << err_;
  ASSERT_EQ(0, Names("unit", "3,m\n7,kg\n")) << err_;
  ASSERT_EQ(0, Names("supplier", "65535,supplier\n")) << err_;
  PriceStore store;
  ASSERT_TRUE(store.Open(dir_.c_str()));
  char name[kStoreTextSize];
  ASSERT_TRUE(store.GetLevelName(MakeCode(3, 12, 45, 2, 1), 2, name));
  EXPECT_STREQ("small, cut\x83", name);
  store.Close();
  ASSERT_EQ(0, Run({"dump", dir_})) << err_;
  EXPECT_EQ(
      "large,3-12-0000-0000-0000,\x8C\x9A\x92\x7A\n"
      "middle,3-12-0045-0000-0000,middle\n"
      "small,3-12-0045-0002-0000,\"small, cut\x83\"\n"
      "unit,3,m\n"
      "unit,7,kg\n"
      "supplier,65535,supplier\n",
      out_);
}

TEST_F(ToolTest, BadNameLinesAreRefused) {
  struct Case {
    const char* table;
    const char* good;
    const char* bad;
  };
  const Case cases[] = {
      {"unit", "1,ok", "0,none"},         {"unit", "1,ok", "65536,big"},
      {"supplier", "1,ok", "x,name"},     {"large", "3-12-0-0-0,ok", "3-12,name"},
      {"small", "3-12-0-0-0,ok", "name"}, {"middle", "3-12-0-0-0,ok", "3-12-0-0-0,a,b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bad);
    EXPECT_EQ(1, Names(c.table, std::string(c.good) + "\n" + c.bad + "\n"));
    EXPECT_EQ(std::string::npos, err_.find("names.csv:1:")) << err_;
    EXPECT_NE(std::string::npos, err_.find("names.csv:2:")) << err_;
    EXPECT_FALSE(DatabaseExists());
  }
  std::string long_name = "1," + std::string(256, 'n') + "\n";
  EXPECT_EQ(1, Names("unit", long_name));
  EXPECT_FALSE(DatabaseExists());
}

TEST_F(ToolTest, InitAndDumpOfMissingDatabase) {
  EXPECT_EQ(1, Run({"dump", dir_}));
  EXPECT_FALSE(DatabaseExists());
  EXPECT_EQ(0, Run({"init", dir_})) << err_;
  EXPECT_TRUE(DatabaseExists());
  EXPECT_EQ(0, Run({"dump", dir_})) << err_;
  EXPECT_EQ("", out_);
  EXPECT_EQ(1, Run({"init", dir_ + "/missing"}));
  EXPECT_FALSE(err_.empty());
  EXPECT_EQ(1, Run({"import", dir_, PathOf("missing.csv")}));
}

TEST_F(ToolTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"help"},
      {"init"},
      {"init", dir_, "extra"},
      {"import", dir_},
      {"names", dir_, "color", PathOf("names.csv")},
      {"names", dir_, "unit"},
      {"dump"},
  };
  for (const std::vector<std::string>& args : cases) {
    EXPECT_EQ(2, Run(args));
    EXPECT_NE(std::string::npos, err_.find("usage:"));
  }
  EXPECT_FALSE(DatabaseExists());
}

}  // namespace
