// costupdate-cli over a real database in a temporary program folder.
#include "app/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/cache_path.h"
#include "data/test_record.h"
#include "qupra/store_library.h"

namespace {

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

const char kUpdate[] =
    "title line\r\n"
    "1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n"    // equal
    "1-01-0001-0001-0002,Bar D13,JIS,67000,71000,3,110,1\r\n"    // prices differ
    "1-01-0001-0001-0003,Bar D16,JIS,69000,73500,3,110,1\r\n"    // new
    "1-01-0001-0001-0004,BAR d19,Note,70000,74500,3,110,1\r\n";  // note differs, case only in name

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial;
    dir_ = ::testing::TempDir() + "costupdate-cli-" + std::to_string(++serial) + "-" +
           std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFF) + kSep;
    std::remove((dir_ + "qupra.db").c_str());
#ifdef _WIN32
    std::system(("mkdir \"" + dir_ + "HDTMP\" 2>nul").c_str());
#else
    std::system(("mkdir -p '" + dir_ + "HDTMP'").c_str());
#endif
    StoreLibrary seed;
    seed.InitDatabase(dir_.c_str());
    PriceItem records[] = {TestRecord(MakeCode(1, 1, 1, 1, 1), "Bar D10", 68000, 72000),
                           TestRecord(MakeCode(1, 1, 1, 1, 2), "Bar D13", 66000, 70000),
                           TestRecord(MakeCode(1, 1, 1, 1, 4), "Bar D19", 70000, 74500)};
    RecordBlock block = seed.AllocBlock(sizeof records);
    std::memcpy(seed.LockBlock(block), records, sizeof records);
    seed.UnlockBlock(block);
    seed.WriteGroup(records[0].code, block, 3);
    seed.FreeBlock(block);
    update_ = dir_ + "update.costupdate";
    WriteFile(update_, kUpdate);
  }

  CliResult Run(std::vector<const char*> args) {
    std::vector<const char*> all = {"--dir", dir_.c_str()};
    all.insert(all.end(), args.begin(), args.end());
    return RunCli(int(all.size()), all.data(), "unused", [this](const char*, std::string*) {
      library_.reset(new StoreLibrary());
      return library_.get();
    });
  }

  std::string dir_;
  std::string update_;
  std::unique_ptr<StoreLibrary> library_;
};

TEST_F(Cli, CompareListsShownItemsInOrder) {
  CliResult r = Run({"compare", update_.c_str()});
  EXPECT_EQ(0, r.exit_code) << r.err;
  EXPECT_EQ(
      "2\t000C\t1-01-0001-0001-0002\tBar D13\tJIS\t67000\t71000\t3\t110\t1\n"
      "3\t00FF\t1-01-0001-0001-0003\tBar D16\tJIS\t69000\t73500\t3\t110\t1\n"
      "4\t0002\t1-01-0001-0001-0004\tBAR d19\tNote\t70000\t74500\t3\t110\t1\n"
      "shown 3 of 4\n",
      r.out);
}

TEST_F(Cli, CompareWithKindsAndDatabaseFields) {
  CliResult r = Run({"compare", update_.c_str(), "--kinds", "0x04", "--db"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  EXPECT_EQ(
      "2\t000C\t1-01-0001-0001-0002\tBar D13\tJIS\t67000\t71000\t3\t110\t1"
      "\tBar D13\tJIS\t66000\t70000\t3\t110\t1\n"
      "3\t00FF\t1-01-0001-0001-0003\tBar D16\tJIS\t69000\t73500\t3\t110\t1\t\t\t\t\t\t\t\n"
      "shown 2 of 4\n",
      r.out);
}

TEST_F(Cli, ApplyNewThenAllKeepsPricesWithoutOverwrite) {
  CliResult r = Run({"apply", update_.c_str(), "--new"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  EXPECT_EQ("1-01-0001-0001-0003\tC0FF\nwritten 1\n", r.out);

  r = Run({"apply", update_.c_str(), "--all"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  // The price change is written with the database's prices and stays pending.
  EXPECT_EQ("1-01-0001-0001-0002\t800C\n1-01-0001-0001-0004\tC002\nwritten 2\n", r.out);

  r = Run({"compare", update_.c_str()});
  EXPECT_EQ(
      "2\t000C\t1-01-0001-0001-0002\tBar D13\tJIS\t67000\t71000\t3\t110\t1\n"
      "shown 1 of 4\n",
      r.out);

  r = Run({"apply", update_.c_str(), "--all", "--overwrite-prices"});
  EXPECT_EQ("1-01-0001-0001-0002\tC00C\nwritten 1\n", r.out);
  r = Run({"compare", update_.c_str()});
  EXPECT_EQ("shown 0 of 4\n", r.out);
}

TEST_F(Cli, CatalogueAndLine) {
  WriteFile(dir_ + "FavoriteList.txt",
            "Monthly,http://example.invalid/m.dat\r\nQuarterly,http://example.invalid/q.dat\r\n");
  char cache[512];
  ASSERT_EQ(1, CachePath(cache, dir_.c_str(), "http://example.invalid/q.dat"));
  WriteFile(cache, kUpdate);

  CliResult r = Run({"catalogue"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  ASSERT_NE(std::string::npos, r.out.find("*1\t  Monthly - \t")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find(" 2\t  Quarterly - \t")) << r.out;

  r = Run({"compare", "--line", "2"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("shown 3 of 4\n"));

  r = Run({"compare", "--line", "1"});  // no cache file yet
  EXPECT_EQ(1, r.exit_code);
  r = Run({"compare", "--line", "3"});
  EXPECT_EQ(1, r.exit_code);
}

TEST_F(Cli, Utf8Output) {
  WriteFile(update_, "1-01-0001-0001-0009,\x92\x50\x89\xBF,,1,2,0,0,0\n");  // 単価
  CliResult r = Run({"--utf8", "compare", update_.c_str()});
  EXPECT_NE(std::string::npos, r.out.find("\t\xE5\x8D\x98\xE4\xBE\xA1\t")) << r.out;
}

TEST_F(Cli, Failures) {
  struct Case {
    std::vector<const char*> args;
    int exit_code;
  };
  const std::string missing = dir_ + "missing.costupdate";
  const Case cases[] = {
      {{}, 2},
      {{"frobnicate"}, 2},
      {{"compare"}, 2},
      {{"compare", "a", "b"}, 2},
      {{"compare", "a", "--line", "1"}, 2},
      {{"apply", "a"}, 2},
      {{"apply", "a", "--all", "--new"}, 2},
      {{"compare", "a", "--all"}, 2},
      {{"compare", "a", "--kinds", "0x80"}, 2},
      {{"compare", "a", "--kinds"}, 2},
      {{"catalogue", "x"}, 2},
      {{"compare", "a", "--bogus"}, 2},
      {{"compare", missing.c_str()}, 1},
      {{"apply", missing.c_str(), "--all"}, 1},
  };
  for (const Case& c : cases) {
    CliResult r = Run(c.args);
    EXPECT_EQ(c.exit_code, r.exit_code) << (c.args.empty() ? "" : c.args[0]);
    // One line on standard error, nothing on standard output.
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << r.err;
    EXPECT_EQ("", r.out);
  }
}

TEST_F(Cli, PatrolWithoutCheckListFails) {
  CliResult r = Run({"patrol"});
  EXPECT_EQ(1, r.exit_code);
  EXPECT_EQ("costupdate-cli: no check list at " + dir_ + "FavoriteList.txt\n", r.err);
  EXPECT_EQ("", r.out);
}

// Folders named with characters whose second byte is 0x5C ('\'), given with and without a
// separator after them: every command finds its files inside the folder.
TEST_F(Cli, FolderNamesEndingInABackslashByte) {
  const char* const characters[] = {"表", "ソ", "能", "予", "十", "申", "構", "貼", "暴", "欺"};
  for (const char* c : characters) {
    const std::string folder = dir_ + "単価" + c;
#ifdef _WIN32
    std::system(("mkdir \"" + folder + "\" 2>nul").c_str());
#else
    std::system(("mkdir -p '" + folder + "'").c_str());
#endif
    const std::string with_separator = folder + kSep;
    for (const std::string& dir : {folder, with_separator}) {
      SCOPED_TRACE(dir);
      auto run = [&](std::vector<const char*> args) {
        args.insert(args.begin(), {"--dir", dir.c_str()});
        return RunCli(int(args.size()), args.data(), "unused", [this](const char*, std::string*) {
          library_.reset(new StoreLibrary());
          return library_.get();
        });
      };
      std::remove((with_separator + "FavoriteList.txt").c_str());
      CliResult r = run({"patrol"});
      EXPECT_EQ(1, r.exit_code);
      EXPECT_EQ("costupdate-cli: no check list at " + with_separator + "FavoriteList.txt\n", r.err);

      // A closed port: the Patrol reads the list and tries its address.
      WriteFile(with_separator + "FavoriteList.txt", "Monthly,http://127.0.0.1:1/m.dat\r\n");
      r = run({"patrol"});
      EXPECT_NE(1, r.exit_code) << r.err;
      EXPECT_NE(std::string::npos, r.out.find("Monthly\thttp://127.0.0.1:1/m.dat\t")) << r.out;

      char cache[512];
      ASSERT_EQ(1, CachePath(cache, with_separator.c_str(), "http://127.0.0.1:1/m.dat"));
      WriteFile(cache, kUpdate);
      r = run({"catalogue"});
      EXPECT_EQ(0, r.exit_code) << r.err;
      EXPECT_EQ(0u, r.out.find("*1\t  Monthly - \t")) << r.out;
      r = run({"compare", "--line", "1"});
      EXPECT_NE(std::string::npos, r.out.find("shown 4 of 4\n")) << r.out << r.err;
      r = run({"apply", "--line", "1", "--new"});
      EXPECT_EQ(0, r.exit_code) << r.err;
      EXPECT_NE(std::string::npos, r.out.find("written 4\n")) << r.out;
      r = run({"undo"});
      EXPECT_EQ(0, r.exit_code) << r.err;
      EXPECT_EQ(0u, r.out.find("1-01\trestored\n")) << r.out;
      r = run({"compare", "--line", "1"});
      EXPECT_NE(std::string::npos, r.out.find("shown 4 of 4\n")) << r.out << r.err;
    }
  }
}

TEST_F(Cli, HelpPrintsUsage) {
  CliResult r = Run({"--help"});
  EXPECT_EQ(0, r.exit_code);
  EXPECT_EQ(kCliUsage, r.out);
}

}  // namespace
