// Tests of the qupra-tool commands, run through RunQupraTool on files in a temporary folder.
#include "qupra/tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

struct ToolResult {
  int code;
  std::string out;
  std::string err;
};

// Runs the tool with the folder's out.txt and err.txt as its streams.
ToolResult RunTool(const std::string& dir, std::vector<std::string> args) {
  args.insert(args.begin(), "qupra-tool");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::string out_path = dir + "/out.txt", err_path = dir + "/err.txt";
  FILE* out = fopen(out_path.c_str(), "wb");
  FILE* err = fopen(err_path.c_str(), "wb");
  ToolResult result{-1, "", ""};
  if (!out || !err) {
    ADD_FAILURE() << "cannot open the tool's streams in " << dir;
  } else {
    result.code = RunQupraTool(int(argv.size()), argv.data(), out, err);
  }
  if (out) fclose(out);
  if (err) fclose(err);
  ReadWholeFile(out_path, &result.out);
  ReadWholeFile(err_path, &result.err);
  return result;
}

// A database folder inside the test's folder, apart from the tool's streams and inputs.
std::string DbDir(const std::string& dir, const char* name) {
  std::string db = dir + "/" + name;
  std::filesystem::create_directories(db);
  return db;
}

std::string WriteFile(const std::string& dir, const char* name, const std::string& data) {
  std::string path = dir + "/" + name;
  EXPECT_TRUE(WriteWholeFile(path, data));
  return path;
}

// Japanese names in code page 932: 鉄筋 and 工事.
const char kTekkin[] = "\x93\x53\x8B\xD8";
const char kKouji[] = "\x8D\x48\x8E\x96";

TEST(QupraTool, ImportNamesAndDumpRoundTrip) {
  std::string dir = FreshTestDir();
  std::string db = DbDir(dir, "db");
  ASSERT_EQ(0, RunTool(dir, {"init", db}).code);
  ToolResult empty = RunTool(dir, {"dump", db});
  EXPECT_EQ(0, empty.code);
  EXPECT_EQ("", empty.out);

  // CRLF and LF lines, an empty line, quotes, a 30-byte name, the largest numbers; lines of
  // two groups out of order, and one code given twice (the second replaces the first).
  std::string items = std::string("3-12-45-2-1,") + kTekkin +
                      ",\"D10, \"\"SD295\"\"\",1200,1500,7,12,3\r\n" + "\r\n" +
                      "3-11-0-0-9,,,0,0,0,0,0\n" + "3-12-0045-0002-0001," + kTekkin +
                      ",note,1300,1600,7,12,3\n" + "255-255-65535-65535-65535," +
                      std::string(30, 'n') + ",x,4294967295,4294967295,255,65535,65535";
  std::string items_path = WriteFile(dir, "items.csv", items);
  ToolResult imported = RunTool(dir, {"import", db, items_path});
  ASSERT_EQ(0, imported.code) << imported.err;
  EXPECT_EQ("", imported.err);

  struct NameFile {
    const char* table;
    std::string lines;
  };
  const NameFile names[] = {
      {"large", std::string("3-12-0-0-0,") + kKouji + "\n"},
      {"middle", "3-12-45-0-0,\"a,b\"\n"},
      {"small", "3-12-45-2-0,small\n3-12-45-3-0,other\n"},
      {"unit", "7,m\n"},
      {"supplier", "65535,last\n3,first\n"},
  };
  for (const NameFile& f : names) {
    std::string path = WriteFile(dir, "names.csv", f.lines);
    ToolResult r = RunTool(dir, {"names", db, f.table, path});
    ASSERT_EQ(0, r.code) << f.table << ": " << r.err;
  }

  std::string expected = std::string("3-11-0000-0000-0009,,,0,0,0,0,0\n") + "3-12-0045-0002-0001," +
                         kTekkin + ",note,1300,1600,7,12,3\n" + "255-255-65535-65535-65535," +
                         std::string(30, 'n') + ",x,4294967295,4294967295,255,65535,65535\n" +
                         "large,3-12-0000-0000-0000," + kKouji + "\n" +
                         "middle,3-12-0045-0000-0000,\"a,b\"\n" +
                         "small,3-12-0045-0002-0000,small\n" + "small,3-12-0045-0003-0000,other\n" +
                         "unit,7,m\n" + "supplier,3,first\n" + "supplier,65535,last\n";
  ToolResult dumped = RunTool(dir, {"dump", db});
  ASSERT_EQ(0, dumped.code) << dumped.err;
  EXPECT_EQ(expected, dumped.out);

  // The stored record is what the line says, with every other byte zero.
  PriceStore store;
  ASSERT_TRUE(store.Open(db.c_str(), OpenMode::kReadOnly));
  PriceItem item;
  ASSERT_TRUE(store.GetItem(MakeCode(3, 12, 45, 2, 1), &item));
  PriceItem want;
  std::memset(&want, 0, sizeof want);
  want.code = MakeCode(3, 12, 45, 2, 1);
  std::memcpy(want.material_name, kTekkin, 4);
  std::memcpy(want.material_note, "note", 4);
  want.execution_price = 1300;
  want.estimate_price = 1600;
  want.unit_code = 7;
  want.work_type = 12;
  want.supplier_code = 3;
  EXPECT_TRUE(SameBytes(want, item));
  store.Close();

  // The item lines of a dump import back to the same listing.
  std::string redb = DbDir(dir, "again");
  ASSERT_EQ(0, RunTool(dir, {"init", redb}).code);
  std::string item_lines = expected.substr(0, expected.find("large,"));
  ASSERT_EQ(0, RunTool(dir, {"import", redb, WriteFile(dir, "dump.csv", item_lines)}).code);
  EXPECT_EQ(item_lines, RunTool(dir, {"dump", redb}).out);
}

TEST(QupraTool, BadItemLineFailsAndWritesNothing) {
  const std::string good = "3-12-1-1-1,name,note,1,2,3,4,5";
  const char* const bad_lines[] = {
      "3-12-1-1-2,name,note,1,2,3,4",                               // 7 fields
      "3-12-1-1-2,name,note,1,2,3,4,5,6",                           // 9 fields
      "0-12-1-1-2,name,note,1,2,3,4,5",                             // category 0
      "3-12-1-1,name,note,1,2,3,4,5",                               // no item code
      "3-12-1-1-2,0123456789012345678901234567890,note,1,2,3,4,5",  // name of 31 bytes
      "3-12-1-1-2,name,0123456789012345678901234567890,1,2,3,4,5",  // note of 31 bytes
      "3-12-1-1-2,name,note,4294967296,2,3,4,5",                    // price too large
      "3-12-1-1-2,name,note,-1,2,3,4,5",                            // negative price
      "3-12-1-1-2,name,note,1,,3,4,5",                              // empty price
      "3-12-1-1-2,name,note,1,2,256,4,5",                           // unit too large
      "3-12-1-1-2,name,note,1,2,3,65536,5",                         // work type too large
      "3-12-1-1-2,name,note,1,2,3,4,65536",                         // supplier too large
      "3-12-1-1-2,name,note, 1,2,3,4,5",                            // space in a number
      "3-12-1-1-2,\"name,note,1,2,3,4,5",                           // unbalanced quote
      "3-12-1-1-2,\"na\"me,note,1,2,3,4,5",                         // text after a closing quote
  };
  std::string dir = FreshTestDir();
  std::string db = DbDir(dir, "db");
  ASSERT_EQ(0, RunTool(dir, {"init", db}).code);
  ASSERT_EQ(0, RunTool(dir, {"import", db, WriteFile(dir, "good.csv", good + "\n")}).code);
  const std::string before = RunTool(dir, {"dump", db}).out;
  ASSERT_NE("", before);
  for (const char* bad : bad_lines) {
    // The good lines around the bad one are not written either.
    std::string path = WriteFile(
        dir, "bad.csv",
        "3-12-1-1-1,changed,,9,9,9,9,9\n" + std::string(bad) + "\n3-13-1-1-1,new,,1,1,1,1,1\n");
    ToolResult r = RunTool(dir, {"import", db, path});
    EXPECT_EQ(1, r.code) << bad;
    EXPECT_NE(std::string::npos, r.err.find("bad.csv:2:")) << bad << "\n" << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("bad.csv:1:")) << bad << "\n" << r.err;
    EXPECT_EQ(before, RunTool(dir, {"dump", db}).out) << bad;
  }
}

TEST(QupraTool, BadImportCreatesNoDatabase) {
  std::string dir = FreshTestDir();
  std::string path = WriteFile(dir, "bad.csv", "3-12-1-1-1,a,b,1,2,3,4\n");
  EXPECT_EQ(1, RunTool(dir, {"import", dir, path}).code);
  std::string data;
  EXPECT_FALSE(ReadWholeFile(dir + "/" + kStoreFileName, &data));
}

TEST(QupraTool, BadNameLineFailsAndWritesNothing) {
  struct Case {
    const char* table;
    std::string line;
  };
  const Case cases[] = {
      {"unit", "0,none"},     {"unit", "65536,big"},
      {"supplier", "x,name"}, {"unit", "1"},
      {"unit", "1,a,b"},      {"large", "0-1-0-0-0,a"},
      {"middle", "3-12-1,a"}, {"small", "3-12-1-1-0," + std::string(256, 'a')},
  };
  std::string dir = FreshTestDir();
  std::string db = DbDir(dir, "db");
  ASSERT_EQ(0, RunTool(dir, {"init", db}).code);
  for (const Case& c : cases) {
    std::string path = WriteFile(dir, "names.csv", "2,kept\n" + c.line + "\n");
    ToolResult r = RunTool(dir, {"names", db, c.table, path});
    EXPECT_EQ(1, r.code) << c.table << " " << c.line;
    EXPECT_NE(std::string::npos, r.err.find("names.csv:2:")) << r.err;
    EXPECT_EQ("", RunTool(dir, {"dump", db}).out) << c.table << " " << c.line;
  }
}

TEST(QupraTool, UsageAndMissingFiles) {
  std::string dir = FreshTestDir();
  const std::vector<std::string> usage_errors[] = {
      {},
      {"init"},
      {"init", dir, "extra"},
      {"import", dir},
      {"names", dir, "colour", dir + "/x.csv"},
      {"dump"},
      {"frobnicate", dir},
  };
  for (const std::vector<std::string>& args : usage_errors) {
    ToolResult r = RunTool(dir, args);
    EXPECT_EQ(2, r.code) << (args.empty() ? "" : args[0]);
    EXPECT_NE(std::string::npos, r.err.find("usage:"));
  }
  // Dump never creates a database; import of a missing file fails.
  EXPECT_EQ(1, RunTool(dir, {"dump", dir}).code);
  std::string data;
  EXPECT_FALSE(ReadWholeFile(dir + "/" + kStoreFileName, &data));
  ToolResult missing = RunTool(dir, {"import", dir, dir + "/missing.csv"});
  EXPECT_EQ(1, missing.code);
  EXPECT_NE(std::string::npos, missing.err.find("cannot open"));
}

}  // namespace
