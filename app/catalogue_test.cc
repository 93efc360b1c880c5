// The file selector's lines and loading the selected file.
#include "app/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "data/cache_path.h"
#include "data/fake_price_library.h"
#include "data/faulty_disk.h"

namespace {

class FakeDisk : public FaultyDisk {
 public:
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    auto it = times.find(path);
    if (it == times.end() || !local) return false;
    *out = it->second;
    return true;
  }
  bool ReplaceFile(const char*, const void*, size_t) override { return false; }
  std::map<std::string, CalendarTime> times;
};

std::string Cache(const char* dir, const char* url) {
  char path[kCachePathSize];
  EXPECT_EQ(1, CachePath(path, dir, url));
  return path;
}

TEST(FillCatalogue, LinesAndSelection) {
  class CheckList list;
  list.Add("月次", "http://h/m.dat");
  list.Add("四半期", "http://h/q.dat");
  list.Add("bad", "http://h\\..\\x");
  FakeDisk disk;
  disk.times[Cache("D\\", "http://h/m.dat")] = {2026, 3, 0, 9, 7, 5, 0, 0};

  Catalogue cat;
  FillCatalogue(list, "D\\", "", &disk, &cat);
  ASSERT_EQ(3u, cat.lines.size());
  EXPECT_EQ("  月次 - \t最終更新日 2026/03/09 07:05", cat.lines[0]);
  EXPECT_EQ("  四半期 - \t最終更新日 更新ファイルがありません。", cat.lines[1]);
  EXPECT_EQ("  bad - \t最終更新日 更新ファイルがありません。", cat.lines[2]);
  EXPECT_EQ(0, cat.selection);

  FillCatalogue(list, "D\\", "C:\\x.dat", &disk, &cat);
  ASSERT_EQ(4u, cat.lines.size());
  EXPECT_EQ("  単価アップデートファイル", cat.lines[3]);
  EXPECT_EQ(3, cat.selection);

  class CheckList empty;
  FillCatalogue(empty, "D\\", "", &disk, &cat);
  EXPECT_TRUE(cat.lines.empty());
  EXPECT_EQ(-1, cat.selection);
  FillCatalogue(empty, "D\\", "x", &disk, &cat);
  EXPECT_EQ(1u, cat.lines.size());
  EXPECT_EQ(0, cat.selection);
}

TEST(FillCatalogue, LongNameIsCutWithinTheLine) {
  class CheckList list;
  list.Add(std::string(255, 'n').c_str(), "http://h/m.dat");
  list.Add(std::string(255, 'o').c_str(), "http://h/q.dat");
  FakeDisk disk;
  Catalogue cat;
  FillCatalogue(list, "D\\", "", &disk, &cat);
  ASSERT_EQ(2u, cat.lines.size());
  EXPECT_LT(cat.lines[0].size(), 512u);
  EXPECT_EQ(0u, cat.lines[0].find("  nnn"));
}

class LoadSelected : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial;
    dir_ = ::testing::TempDir() + "catalogue" + std::to_string(++serial) + "_";
    path_ = dir_ + "start.costupdate";
    FILE* f = std::fopen(path_.c_str(), "wb");
    std::fputs(
        "1-01-0001-0001-0001,Same,N,1,2,3,4,5\r\n"
        "1-01-0001-0001-0002,New,N,1,2,3,4,5\r\n",
        f);
    std::fclose(f);
    PriceItem same;
    std::memset(&same, 0, sizeof same);
    same.code = MakeCode(1, 1, 1, 1, 1);
    std::strcpy(same.material_name, "SAME");
    std::strcpy(same.material_note, "N");
    same.execution_price = 1;
    same.estimate_price = 2;
    same.unit_code = 3;
    same.work_type = 4;
    same.supplier_code = 5;
    library_.Put(same);
  }

  std::string dir_, path_;
  FakePriceLibrary library_;
};

TEST_F(LoadSelected, StartFileLineLoadsAndCompares) {
  class CheckList list;
  ItemStore store;
  EXPECT_EQ(1, LoadSelectedFile(0, list, dir_.c_str(), path_.c_str(), &library_, &store));
  ASSERT_EQ(2, store.count);
  EXPECT_EQ(0, store.states[0]);  // equal but for case
  EXPECT_EQ(kNewItemState, store.states[1]);
  EXPECT_EQ(0, store.states[2]);  // the reserve after the items is zero
  ReleaseItems(&store);
}

TEST_F(LoadSelected, CacheFileOfTheSelectedEntry) {
  class CheckList list;
  list.Add("absent", "http://h/none.dat");
  list.Add("present", "https://h/p.dat");
  std::string cache = Cache(dir_.c_str(), "http://h/p.dat");
  std::filesystem::create_directory(dir_ + "HDTMP");
  FILE* f = std::fopen(cache.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("1-01-0001-0001-0001,Same,N,1,2,3,4,9\r\n", f);
  std::fclose(f);

  Catalogue cat;
  FillCatalogue(list, dir_.c_str(), "", RealDisk(), &cat);
  ASSERT_EQ(2u, cat.lines.size());
  EXPECT_EQ("  absent - \t最終更新日 更新ファイルがありません。", cat.lines[0]);
  EXPECT_EQ(0u, cat.lines[1].find("  present - \t最終更新日 2")) << cat.lines[1];

  ItemStore store;
  EXPECT_EQ(1, LoadSelectedFile(1, list, dir_.c_str(), path_.c_str(), &library_, &store));
  ASSERT_EQ(1, store.count);
  EXPECT_EQ(ChangeSupplier, store.states[0]);
  // Loading again replaces the store; the absent entry's file leaves it empty.
  EXPECT_EQ(0, LoadSelectedFile(0, list, dir_.c_str(), path_.c_str(), &library_, &store));
  EXPECT_EQ(0, store.count);
  ReleaseItems(&store);
}

TEST_F(LoadSelected, NothingToLoad) {
  class CheckList list;
  list.Add("absent", "http://h/none.dat");
  list.Add("outside", "http://h\\..\\..\\start");
  ItemStore store;
  // An entry whose cache file is absent, one without a cache file, no selection, a
  // selection past the lines.
  for (int selection : {0, 1, -1, 3}) {
    EXPECT_EQ(0, LoadSelectedFile(selection, list, dir_.c_str(), path_.c_str(), &library_, &store))
        << selection;
    EXPECT_EQ(0, store.count);
    EXPECT_NE(nullptr, store.states);
  }
  // The start-file line without a start file.
  EXPECT_EQ(0, LoadSelectedFile(2, list, dir_.c_str(), "", &library_, &store));
  ReleaseItems(&store);
}

}  // namespace
