// Reading and writing the list files.
#include "checklist/url_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "data/faulty_disk.h"

namespace {

// The lists' folder, ending with its separator.
char Folder[256];

struct LineCase {
  const char* line;
  bool entry;
  const char* name;
  const char* url;
};

TEST(UrlListLoad, LineTable) {
  const LineCase cases[] = {
      {"a,b,c", true, "a", "b"},
      {"'x,y',z", true, "x,y", "z"},
      {"ab'c,d'e,u", true, "abc,de", "u"},
      {"'a\"b',u", true, "a\"b", "u"},
      {"'a''b',u", true, "ab", "u"},
      {"a", false, "", ""},
      {"a,", false, "", ""},
      {"a,''", false, "", ""},
      {"a,,b", true, "a", ""},
      {",b", true, "", "b"},
      {" a , b ", true, " a ", " b "},
      {"\"x,y\",\"u\"", true, "x,y", "u"},
      {",", false, "", ""},
      {"\"\"", false, "", ""},
      {"\"\",\"\"", false, "", ""},
      {"\"unclosed,u", false, "", ""},
      {"名前,http://h/単価.dat", true, "名前", "http://h/単価.dat"},
  };
  for (const LineCase& c : cases) {
    class CheckList list(Folder);
    list.LoadFromBytes(std::string(c.line) + "\r\n");
    ASSERT_EQ(c.entry ? 1 : 0, list.GetCount()) << c.line;
    if (!c.entry) continue;
    char name[256], url[256];
    list.GetName(0, name);
    list.GetUrl(0, url);
    EXPECT_STREQ(c.name, name) << c.line;
    EXPECT_STREQ(c.url, url) << c.line;
  }
}

TEST(UrlListLoad, LineEndsAndLimits) {
  class CheckList list(Folder);
  list.LoadFromBytes(
      "a,1\r\r\nb,2\nc\r,3\r\n\n\r\n,\nd,4\x1A"
      "e,5\r\n");
  ASSERT_EQ(4, list.GetCount());
  char text[256];
  list.GetUrl(0, text);
  EXPECT_STREQ("1", text);  // CR CR LF all removed
  list.GetName(2, text);
  EXPECT_STREQ("c\r", text);  // a lone CR is an ordinary byte
  list.GetUrl(3, text);
  EXPECT_STREQ("4", text);  // nothing after 0x1A

  class CheckList long_list(Folder);
  long_list.LoadFromBytes(std::string(300, 'n') + "," + std::string(300, 'u') + "\r\n");
  ASSERT_EQ(1, long_list.GetCount());
  long_list.GetName(0, text);
  EXPECT_EQ(std::string(255, 'n'), text);
  long_list.GetUrl(0, text);
  EXPECT_EQ(std::string(255, 'u'), text);

  // One read takes at most 65,534 bytes; the rest of the line is read as the next line.
  class CheckList chunked(Folder);
  chunked.LoadFromBytes(std::string(65532, 'n') + ",u,v\r\n" + std::string(65532, 'm') + ",w\r\n");
  ASSERT_EQ(3, chunked.GetCount());
  chunked.GetUrl(0, text);
  EXPECT_STREQ("u", text);
  chunked.GetName(1, text);
  EXPECT_STREQ("", text);
  chunked.GetUrl(1, text);
  EXPECT_STREQ("v", text);
  chunked.GetUrl(2, text);
  EXPECT_STREQ("w", text);  // the CR LF left after a full read adds no line

  class CheckList only_empty(Folder);
  only_empty.LoadFromBytes("\r\n\n\r\n");
  EXPECT_EQ(0, only_empty.GetCount());
}

TEST(UrlList, OperationsAndRange) {
  class CheckList list(Folder);
  list.Add("b", "2");
  list.InsertAt(0, "a", "1");
  list.InsertAt(2, "c", "3");
  list.RemoveAt(1);
  ASSERT_EQ(2, list.GetCount());
  char text[256] = "x";
  list.GetName(1, text);
  EXPECT_STREQ("c", text);
  list.GetName(-1, text);
  EXPECT_STREQ("", text);
  std::strcpy(text, "x");
  list.GetUrl(list.GetCount(), text);
  EXPECT_STREQ("", text);
  EXPECT_EQ("a,1\r\nc,3\r\n", list.SaveBytes());
}

class FakeDisk : public FaultyDisk {
 public:
  bool LastWriteTime(const char* path, bool, CalendarTime* out) override {
    if (!has_time || path != std::string(Folder) + "BaseUrlList.txt") return false;
    *out = time;
    return true;
  }
  bool ReplaceFile(const char* path, const void* data, size_t size) override {
    if (fail) return false;
    last_path = path;
    last_bytes.assign(static_cast<const char*>(data), size);
    return RealDisk()->ReplaceFile(path, data, size);
  }
  bool fail = false;
  bool has_time = false;
  CalendarTime time = {};
  std::string last_path, last_bytes;
};

class UrlListFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial;
    std::string dir = ::testing::TempDir();
    std::string prefix = "urllist" + std::to_string(++serial) + "_";
    std::snprintf(Folder, sizeof Folder, "%s%s", dir.c_str(), prefix.c_str());
    std::remove(Path("FavoriteList.txt").c_str());
    std::remove(Path("BaseUrlList.txt").c_str());
    SetListDisk(&disk_);
  }
  void TearDown() override { SetListDisk(nullptr); }

  std::string Path(const char* name) { return std::string(Folder) + name; }
  std::string Read(const char* name) {
    std::string bytes;
    FILE* f = std::fopen(Path(name).c_str(), "rb");
    if (!f) return "<none>";
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes += char(c);
    std::fclose(f);
    return bytes;
  }

  FakeDisk disk_;
};

TEST_F(UrlListFiles, NoFileLoadsEmpty) {
  class CheckList list(Folder);
  list.Add("x", "y");
  EXPECT_EQ(1, list.Load());
  EXPECT_EQ(0, list.GetCount());
}

TEST_F(UrlListFiles, SaveAndLoadBack) {
  class CheckList list(Folder);
  EXPECT_EQ(1, list.Save());
  EXPECT_EQ("", Read("FavoriteList.txt"));  // empty list, empty file

  list.Add("月次", "http://h/a.dat");
  list.Add("x,y", "u");
  EXPECT_EQ(1, list.Save());
  EXPECT_EQ("月次,http://h/a.dat\r\nx\",\"y,u\r\n", Read("FavoriteList.txt"));
  class CheckList back(Folder);
  back.Load();
  ASSERT_EQ(2, back.GetCount());
  char text[256];
  back.GetName(1, text);
  EXPECT_STREQ("x,y", text);
  back.GetUrl(1, text);
  EXPECT_STREQ("u", text);
}

TEST(UrlListSave, EveryEntryReadsBackAsItWas) {
  // Without quoting, the comma would move "y" into the address, the quote bytes would
  // swallow the line and lose the entry, and the empty or CR-ended address would be cut.
  struct Case {
    const char* name;
    const char* url;
    const char* line;
  } cases[] = {
      {"月次", "http://h/a.dat", "月次,http://h/a.dat\r\n"},
      {"x,y", "u", "x\",\"y,u\r\n"},
      {"Bob's", "http://h/b", "Bob\"'\"s,http://h/b\r\n"},
      {"a\"b", "u", "a'\"'b,u\r\n"},
      {"n", "u?a='1',b=\"2\"", "n,u?a=\"'\"1\"'\"\",\"b='\"'2'\"'\r\n"},
      {"n", "", "n,,\r\n"},
      {"", "", ",,\r\n"},
      {"c\r", "u\r", "c\r,u\r,\r\n"},
  };
  for (const Case& c : cases) {
    class CheckList list(Folder);
    list.Add(c.name, c.url);
    EXPECT_EQ(c.line, list.SaveBytes()) << c.name;
    class CheckList back(Folder);
    back.LoadFromBytes(list.SaveBytes());
    ASSERT_EQ(1, back.GetCount()) << c.name;
    char text[256];
    back.GetName(0, text);
    EXPECT_STREQ(c.name, text);
    back.GetUrl(0, text);
    EXPECT_STREQ(c.url, text) << c.name;
  }
}

TEST_F(UrlListFiles, FailedSaveKeepsTheOldFile) {
  class CheckList list(Folder);
  list.Add("keep", "me");
  ASSERT_EQ(1, list.Save());
  list.Add("new", "entry");
  disk_.fail = true;
  EXPECT_EQ(0, list.Save());
  EXPECT_EQ("keep,me\r\n", Read("FavoriteList.txt"));
}

TEST_F(UrlListFiles, CandidateReplaceFileReloads) {
  class CandidateList list(Folder);
  EXPECT_EQ(1, list.ReplaceFile("a,1\r\nb,2\r\n", 10));
  EXPECT_EQ(2, list.GetCount());
  EXPECT_EQ("a,1\r\nb,2\r\n", Read("BaseUrlList.txt"));
  disk_.fail = true;
  EXPECT_EQ(0, list.ReplaceFile("c,3\r\n", 5));
  EXPECT_EQ(2, list.GetCount());
  EXPECT_EQ("a,1\r\nb,2\r\n", Read("BaseUrlList.txt"));

  class CheckList check(Folder);
  EXPECT_EQ(1, check.ReplaceFile("c,3\r\n", 5));  // the check list is never replaced
  EXPECT_EQ("<none>", Read("FavoriteList.txt"));
}

TEST_F(UrlListFiles, IsOutdatedComparesToTheSecond) {
  class CandidateList list(Folder);
  CalendarTime zero = {};
  EXPECT_EQ(1, list.IsOutdated(zero));  // no file
  disk_.has_time = true;
  disk_.time = {2026, 12, 2, 8, 10, 30, 15, 999};
  CalendarTime same = disk_.time;
  same.milliseconds = 0;
  same.day_of_week = 5;
  EXPECT_EQ(1, list.IsOutdated(same));
  CalendarTime earlier = same;
  earlier.second = 14;
  EXPECT_EQ(0, list.IsOutdated(earlier));
  CalendarTime later_year_earlier_month = same;
  later_year_earlier_month.year = 2027;
  later_year_earlier_month.month = 1;
  EXPECT_EQ(1, list.IsOutdated(later_year_earlier_month));
  EXPECT_EQ(0, list.IsOutdated(zero));
}

TEST_F(UrlListFiles, IsOutdatedOnTheRealFile) {
  SetListDisk(nullptr);
  class CandidateList list(Folder);
  CalendarTime zero = {};
  EXPECT_EQ(1, list.IsOutdated(zero));
  ASSERT_EQ(1, list.ReplaceFile("a,1\r\n", 5));
  CalendarTime own;
  ASSERT_TRUE(RealDisk()->LastWriteTime(Path("BaseUrlList.txt").c_str(), false, &own));
  EXPECT_EQ(1, list.IsOutdated(own));
  CalendarTime earlier = own;
  if (earlier.second > 0)
    --earlier.second;
  else if (earlier.minute > 0)
    --earlier.minute, earlier.second = 59;
  else
    --earlier.year;  // at a full hour a second back would cross into the previous hour
  EXPECT_EQ(0, list.IsOutdated(earlier));
  EXPECT_EQ(0, list.IsOutdated(zero));
}

}  // namespace
