// Tests of the update-file loader: items, long lines, line ends, order and duplicates.
#include "data/update_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "data/fake_price_library.h"
#include "data/faulty_disk.h"
#include "data/line_scan.h"
#include "data/reference_sort.h"

namespace {

std::string TempPath(const char* name) { return ::testing::TempDir() + "update_file_" + name; }

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), f));
  fclose(f);
}

bool IsZero(const PriceItem& item) {
  static const PriceItem zero = {};
  return memcmp(&item, &zero, sizeof item) == 0;
}

// Loads text from a file and keeps the result for the checks.
class Loaded {
 public:
  explicit Loaded(const std::string& text) {
    std::string path = TempPath("load.costupdate");
    WriteFile(path, text);
    result = LoadUpdateFile(&library, path.c_str(), &items, &count);
    remove(path.c_str());
  }
  ~Loaded() { free(items); }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;

  FakePriceLibrary library;
  int result = -1;
  PriceItem* items = nullptr;
  int count = -1;
};

TEST(UpdateFile, StoresEveryFieldOfAnItemLine) {
  Loaded f("3-12-0045-0002-0001,異形棒鋼 D13,JIS G3112,67000,71000,3,110,27\r\n");
  ASSERT_EQ(0, f.result);
  ASSERT_EQ(1, f.count);
  const PriceItem& r = f.items[0];
  EXPECT_EQ(MakeCode(3, 12, 45, 2, 1), r.code);
  EXPECT_STREQ("異形棒鋼 D13", r.material_name);
  EXPECT_STREQ("JIS G3112", r.material_note);
  EXPECT_EQ(67000u, r.execution_price);
  EXPECT_EQ(71000u, r.estimate_price);
  EXPECT_EQ(3u, r.unit_code);
  EXPECT_EQ(110u, r.work_type);
  EXPECT_EQ(27u, r.supplier_code);
  // Every byte the line does not fill stays zero, the end of the note included.
  PriceItem expected = {};
  expected.code = r.code;
  strcpy(expected.material_name, "異形棒鋼 D13");
  strcpy(expected.material_note, "JIS G3112");
  expected.execution_price = 67000;
  expected.estimate_price = 71000;
  expected.unit_code = 3;
  expected.work_type = 110;
  expected.supplier_code = 27;
  EXPECT_EQ(0, memcmp(&expected, &r, sizeof r));
  EXPECT_TRUE(IsZero(f.items[1]));
}

TEST(UpdateFile, SkipsLinesThatAreNoItems) {
  Loaded f(
      "単価アップデートファイル\r\ncode,name\r\n\r\n1-01-0001-0001-0001,A,,1,2,3,4,5\r\n"
      "# 1-01-0001-0001-0002,B\r\n");
  ASSERT_EQ(0, f.result);
  ASSERT_EQ(1, f.count);
  EXPECT_EQ(MakeCode(1, 1, 1, 1, 1), f.items[0].code);
}

TEST(UpdateFile, DuplicateCodeKeepsItsLastLine) {
  Loaded f(
      "1-01-0001-0001-0002,first,,1,1,1,1,1\n"
      "1-01-0001-0001-0001,other,,9,9,9,9,9\n"
      "1-01-0001-0001-0002,second,,2,2,2,2,2\n"
      "1-01-0001-0001-0002,last,,3,3,3,3,3\n");
  ASSERT_EQ(0, f.result);
  ASSERT_EQ(2, f.count);
  EXPECT_STREQ("other", f.items[0].material_name);
  EXPECT_STREQ("last", f.items[1].material_name);
  EXPECT_EQ(3u, f.items[1].execution_price);
  EXPECT_TRUE(IsZero(f.items[2]));
  EXPECT_TRUE(IsZero(f.items[3]));  // the dropped duplicates leave zero records
}

TEST(UpdateFile, TextFieldsKeepThirtyBytes) {
  const std::string b30(30, 'b');
  // 29 bytes and a double-byte character: the character's trail byte is cut off.
  const std::string cut = std::string(29, 'c') + "\x83\x41";
  Loaded f("1-01-0001-0001-0001," + b30 + "," + b30 + "X,0,0,0,0,0\n" + "1-01-0001-0001-0002," +
           cut + "," + cut + ",0,0,0,0,0\n");
  ASSERT_EQ(2, f.count);
  EXPECT_EQ(b30, f.items[0].material_name);
  EXPECT_EQ(b30, f.items[0].material_note);
  EXPECT_EQ(std::string(29, 'c') + "\x83", f.items[1].material_name);
  EXPECT_EQ(std::string(29, 'c') + "\x83", f.items[1].material_note);
  EXPECT_EQ(0, f.items[1].material_note[31]);
}

TEST(UpdateFile, QuotesProtectCommasAndVanish) {
  Loaded f("\"1-01-0001-0001-0001\",\"A,B\",x\"\"y,\"1,2\"00,7,0,0,0\n");
  ASSERT_EQ(1, f.count);
  EXPECT_STREQ("A,B", f.items[0].material_name);
  EXPECT_STREQ("xy", f.items[0].material_note);
  EXPECT_EQ(1u, f.items[0].execution_price);  // "1,200": the comma stops the digits
  EXPECT_EQ(7u, f.items[0].estimate_price);
}

TEST(UpdateFile, NumbersWrapAndAreCutToTheirWidth) {
  Loaded f(
      "1-01-0001-0001-0001,a,,-5,12abc,300,65537,70000\n"
      "1-01-0001-0001-0002,b,,,  +8,\t4, -1 ,x9\n"
      "1-01-0001-0001-0003,c,,4294967297,99999999999999999999,256,0,65535\n");
  ASSERT_EQ(3, f.count);
  EXPECT_EQ(4294967291u, f.items[0].execution_price);
  EXPECT_EQ(12u, f.items[0].estimate_price);
  EXPECT_EQ(44u, f.items[0].unit_code);
  EXPECT_EQ(1u, f.items[0].work_type);
  EXPECT_EQ(70000u - 65536u, f.items[0].supplier_code);
  EXPECT_EQ(0u, f.items[1].execution_price);
  EXPECT_EQ(8u, f.items[1].estimate_price);
  EXPECT_EQ(4u, f.items[1].unit_code);
  EXPECT_EQ(65535u, f.items[1].work_type);
  EXPECT_EQ(0u, f.items[1].supplier_code);
  EXPECT_EQ(1u, f.items[2].execution_price);
  EXPECT_EQ(1661992959u, f.items[2].estimate_price);  // (10^20 - 1) mod 2^32
  EXPECT_EQ(0u, f.items[2].unit_code);
  EXPECT_EQ(65535u, f.items[2].supplier_code);
}

TEST(UpdateFile, LongLineIsCutAndItsRestReadAsTheNextLine) {
  std::string first = "1-01-0001-0001-0001,long,,1,2,3,4,5";
  first += std::string(kMaxLineBytes - first.size(), ' ');
  std::string second = "1-01-0001-0001-0002,rest,,6,7,8,9,10";
  second += std::string(49 - second.size(), ' ');
  ASSERT_EQ(300u, first.size() + second.size());

  char line[kLineBufferSize];
  std::string text = first + second + "\r\n";
  size_t used = ReadLine(text.c_str(), line);
  EXPECT_EQ(251u, used);
  EXPECT_EQ(first, line);
  EXPECT_EQ(51u, ReadLine(text.c_str() + used, line));
  EXPECT_EQ(second, line);

  Loaded f(text);
  ASSERT_EQ(2, f.count);
  EXPECT_STREQ("long", f.items[0].material_name);
  EXPECT_EQ(5u, f.items[0].supplier_code);
  EXPECT_STREQ("rest", f.items[1].material_name);
  EXPECT_EQ(10u, f.items[1].supplier_code);
}

TEST(UpdateFile, LineEndsOfEveryKindSeparateItems) {
  Loaded f(
      "\r\n1-01-0001-0001-0001,a\r1-01-0001-0001-0002,b\n\n\n1-01-0001-0001-0003,c"
      "\n\r\r\n1-01-0001-0001-0004,d");
  ASSERT_EQ(4, f.count);
  EXPECT_STREQ("a", f.items[0].material_name);
  EXPECT_STREQ("d", f.items[3].material_name);
}

TEST(UpdateFile, NulEndsTheText) {
  std::string text = "1-01-0001-0001-0001,a,,1\n1-01-0001-0001-0002,b";
  text += '\0';
  text += "c,,2\n1-01-0001-0001-0003,c,,3\n";
  Loaded f(text);
  ASSERT_EQ(0, f.result);
  ASSERT_EQ(2, f.count);
  EXPECT_STREQ("b", f.items[1].material_name);
  EXPECT_EQ(0u, f.items[1].execution_price);
}

TEST(UpdateFile, ShortLineRepeatsItsLastFieldInTheMissingOnes) {
  Loaded f("1-01-0001-0001-0001,name,note,100,200,7\n");
  ASSERT_EQ(1, f.count);
  EXPECT_EQ(7u, f.items[0].unit_code);
  EXPECT_EQ(7u, f.items[0].work_type);
  EXPECT_EQ(7u, f.items[0].supplier_code);
}

TEST(UpdateFile, EmptyFileAndFileWithoutItemsLoadAsNoRecords) {
  for (const char* text : {"", "\r\n\r\n", "title only\r\n"}) {
    Loaded f(text);
    EXPECT_EQ(0, f.result);
    EXPECT_EQ(0, f.count);
    ASSERT_NE(nullptr, f.items);
    EXPECT_TRUE(IsZero(f.items[0]));
  }
}

TEST(UpdateFile, MissingFileLeavesTheOutputsAlone) {
  FakePriceLibrary library;
  PriceItem sentinel;
  PriceItem* items = &sentinel;
  int count = 77;
  std::string path = TempPath("does_not_exist.costupdate");
  remove(path.c_str());
  EXPECT_EQ(1, LoadUpdateFile(&library, path.c_str(), &items, &count));
  EXPECT_EQ(&sentinel, items);
  EXPECT_EQ(77, count);
}

TEST(UpdateFile, ManyItemsGrowTheArrayAndKeepAZeroRecordAfterThem) {
  for (int n : {511, 512, 513, 1500}) {
    std::string text;
    char line[64];
    for (int i = n; i >= 1; i--) {
      snprintf(line, sizeof line, "1-01-0001-%04d-%04d,n%d,,%d\n", i / 1000, i % 1000, i, i);
      text += line;
    }
    Loaded f(text);
    ASSERT_EQ(n, f.count);
    for (int i = 0; i < n; i++) {
      ASSERT_EQ(uint32_t(i + 1), f.items[i].execution_price) << i;
    }
    EXPECT_TRUE(IsZero(f.items[n]));
  }
}

TEST(UpdateFile, VariantsOfCategoryOneAndTwoCodesAreBothKept) {
  // The two codes differ only in the ignored bytes: equal in order, different codes.
  Loaded f(
      "1-05-0300-0007-0001,wide,,1\n"
      "1-05-0044-0007-0001,narrow,,2\n"
      "1-05-0044-0007-0000,before,,3\n");
  ASSERT_EQ(3, f.count);
  EXPECT_STREQ("before", f.items[0].material_name);
  EXPECT_STREQ("narrow", f.items[1].material_name);  // the later line first
  EXPECT_STREQ("wide", f.items[2].material_name);
}

TEST(UpdateFile, VariantBetweenDuplicatesDoesNotKeepBoth) {
  // The later line sorts first among equals, so a variant can stand between two lines of
  // one code; the older line must still go, or the grid shows the code twice and either
  // line's values may be written.
  struct Case {
    const char* text;
    const char* first;
    const char* second;
  } cases[] = {
      {"2-05-0044-0007-0001,old,,1\n"
       "2-05-0300-0007-0001,variant,,2\n"
       "2-05-0044-0007-0001,new,,3\n",
       "new", "variant"},
      {"1-05-0044-0007-0001,old,,1\n"
       "1-05-0044-0263-0001,variant,,2\n"
       "1-05-0044-0007-0001,older,,1\n"
       "1-05-0044-0007-0001,new,,3\n"
       "1-05-0044-0263-0001,variant2,,2\n",
       "variant2", "new"},
  };
  for (const Case& c : cases) {
    Loaded f(c.text);
    ASSERT_EQ(2, f.count) << c.text;
    EXPECT_STREQ(c.first, f.items[0].material_name);
    EXPECT_STREQ(c.second, f.items[1].material_name);
    EXPECT_TRUE(IsZero(f.items[2]));
  }
}

}  // namespace

namespace {

// Items as ReadLine, GetField and ParseDecimal give them, in file order.
std::vector<PriceItem> ReferenceParse(FakePriceLibrary* library, const std::string& text) {
  std::vector<PriceItem> items;
  char line[kLineBufferSize], field[kLineBufferSize];
  for (const char* p = text.c_str(); *p;) {
    p += ReadLine(p, line);
    GetField(line, 0, field);
    Code code = library->ParseItemCode(field);
    if (CodeCategory(code) == 0) continue;
    PriceItem r;
    memset(&r, 0, sizeof r);
    r.code = code;
    GetField(line, 1, field);
    memcpy(r.material_name, field, std::min<size_t>(strlen(field), 30));
    GetField(line, 2, field);
    memcpy(r.material_note, field, std::min<size_t>(strlen(field), 30));
    GetField(line, 3, field);
    r.execution_price = ParseDecimal(field);
    GetField(line, 4, field);
    r.estimate_price = ParseDecimal(field);
    GetField(line, 5, field);
    r.unit_code = uint8_t(ParseDecimal(field));
    GetField(line, 6, field);
    r.work_type = uint16_t(ParseDecimal(field));
    GetField(line, 7, field);
    r.supplier_code = uint16_t(ParseDecimal(field));
    items.push_back(r);
  }
  return items;
}

TEST(UpdateFile, LoaderAgreesWithReadLineAndGetFieldOnMixedInput) {
  static const char kBytes[] = "a,,,\"\"\r\n0123456789-- \t\x83\x41";
  uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 40; round++) {
    std::string text;
    for (int i = 0; i < 60; i++) {
      char code[32];
      snprintf(code, sizeof code, "%u-%02u-%04u-%04u-%04u", 1 + next() % 4, next() % 3,
               next() % 300, next() % 3, next() % 5);
      text += code;
      text += ',';
      for (unsigned n = next() % 300; n > 0; n--) text += kBytes[next() % (sizeof kBytes - 1)];
      text += "\r\n";
    }
    FakePriceLibrary library;
    std::vector<PriceItem> expected = ReferenceSort(ReferenceParse(&library, text));
    PriceItem* items = nullptr;
    int count = -1;
    ASSERT_EQ(0, ParseUpdateText(&library, text.c_str(), &items, &count));
    ASSERT_EQ(int(expected.size()), count) << round;
    for (int i = 0; i < count; i++)
      ASSERT_EQ(0, memcmp(&expected[size_t(i)], &items[i], sizeof(PriceItem))) << round << " " << i;
    EXPECT_TRUE(IsZero(items[count]));
    free(items);
  }
}

}  // namespace

namespace {

// Texts that put line ends, quotes, long lines and NULs wherever a piece may end.
std::vector<std::string> AwkwardTexts() {
  std::vector<std::string> texts;
  uint32_t seed = 4242;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  static const char kBytes[] = "a,,\"\r\n\r\n0123456789-  \x83\x41";
  for (int round = 0; round < 6; round++) {
    std::string text = round % 2 ? "\r\n" : "";  // a line end as the very first byte
    for (int i = 0; i < 80; i++) {
      char code[32];
      // Rising codes in some texts, so that the already-ordered path is taken too.
      unsigned v = round < 3 ? unsigned(i) : next() % 40;
      snprintf(code, sizeof code, "%u-%02u-%04u-%04u-%04u", 1 + v % 4, v % 3, v, next() % 2, 1u);
      text += code;
      text += ',';
      unsigned kind = next() % 8;
      if (kind == 0) {
        text += std::string(600 + next() % 300, 'x');  // cut into several lines
      } else if (kind == 1) {
        text += "\"q,uoted\",note,\"1,2\",3,4,5,6";
      } else if (kind == 2) {
        // Exactly as long as a line may be, then a lone CR before the next item.
        size_t end = text.find_last_of("\r\n");
        text += ",1,2,3,4,5,";
        text += std::string(
            kMaxLineBytes - (text.size() - (end == std::string::npos ? 0 : end + 1)), '7');
        text += '\r';
        continue;
      } else {
        for (unsigned n = next() % 120; n > 0; n--) text += kBytes[next() % (sizeof kBytes - 1)];
      }
      text += std::string(next() % 4, '\r') + std::string(1 + next() % 3, '\n');
    }
    if (round == 5) text.insert(text.size() / 2, 1, '\0');  // ends the text halfway
    texts.push_back(text);
  }
  return texts;
}

TEST(UpdateFile, PiecesOfAnySizeGiveTheItemsOfTheWholeText) {
  for (const std::string& text : AwkwardTexts()) {
    FakePriceLibrary library;
    std::vector<PriceItem> expected = ReferenceSort(ReferenceParse(&library, text));
    std::string path = TempPath("pieces.costupdate");
    WriteFile(path, text);
    for (size_t chunk : {size_t(1), size_t(2), size_t(7), size_t(250), size_t(251), size_t(252),
                         size_t(1000), kLoadChunkBytes}) {
      PriceItem* items = nullptr;
      int count = -1;
      ASSERT_EQ(0, LoadUpdateFile(&library, path.c_str(), &items, &count, chunk));
      ASSERT_EQ(int(expected.size()), count) << chunk;
      for (int i = 0; i < count; i++)
        ASSERT_EQ(0, memcmp(&expected[size_t(i)], &items[i], sizeof(PriceItem)))
            << chunk << " " << i;
      EXPECT_TRUE(IsZero(items[count]));
      free(items);
    }
    remove(path.c_str());
  }
}

}  // namespace

namespace {

// The real disk, positioned reads included, noting which threads read.
class ThreadNotingDisk : public FaultyDisk {
 public:
  size_t Read(File file, void* buffer, size_t size) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      readers_.insert(std::this_thread::get_id());
    }
    return FaultyDisk::Read(file, buffer, size);
  }
  bool Seek(File file, uint64_t offset) override { return RealDisk()->Seek(file, offset); }
  size_t readers() const { return readers_.size(); }

 private:
  std::mutex mutex_;
  std::set<std::thread::id> readers_;
};

// Notes a code parsed on any thread but the one that made the library.
class OneThreadLibrary : public FakePriceLibrary {
 public:
  Code ParseItemCode(const char* text) override {
    if (std::this_thread::get_id() != owner_) other_thread = true;
    return FakePriceLibrary::ParseItemCode(text);
  }
  bool other_thread = false;

 private:
  std::thread::id owner_ = std::this_thread::get_id();
};

// Large texts whose halves meet in every awkward way: codes out of order and repeated in
// both halves, lines that are no items, quotes, cut lines, CR-only ends, a NUL in either
// half, a line across the middle, and lines far denser away from where the loader samples.
std::vector<std::pair<std::string, bool>> TextsInHalves() {
  uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  auto items = [&](size_t bytes, bool sparse) {
    std::string text;
    while (text.size() < bytes) {
      char code[48];
      unsigned v = next() % 3000;
      snprintf(code, sizeof code, "%u-%02u-%04u-%04u-%04u,", 1 + v % 3, v % 5, v / 5,
               v % 300 ? 7u : 263u, next() % 4);
      unsigned kind = next() % 10;
      if (sparse) {
        text += "comment " + std::string(230, 'c');
      } else if (kind == 0) {
        text += "title,,,";  // no item
      } else if (kind == 1) {
        text += code + std::string(400 + next() % 200, 'x');  // cut into pieces
      } else if (kind == 2) {
        text += code + std::string("\"a,b\",\"\"n,1,2,3,4,5");
      } else {
        text += code + ("n" + std::to_string(next() % 100)) + ",m," + std::to_string(next()) + "," +
                std::to_string(next() % 1000) + ",3,4,5";
      }
      text += (kind == 3 ? "\r" : kind == 4 ? "\n\r\n\n" : "\r\n");
    }
    return text;
  };
  // Second: whether the file has a line start just after its middle, so that two threads
  // read it (a NUL or a short count of lines may then still end in one pass's result).
  std::vector<std::pair<std::string, bool>> texts;
  texts.push_back({items(600000, false), true});
  std::string nul_front = items(300000, false);
  nul_front[150000] = '\0';
  texts.push_back({nul_front + items(300000, false), true});
  std::string nul_back = items(600000, false);
  nul_back[450000] = '\0';
  texts.push_back({nul_back, true});
  // The middle inside a line far longer than the loader looks past the middle.
  texts.push_back({items(200000, false) + std::string(200000, 'y') + items(100000, false), false});
  // Sparse where the loader samples (the start, and the middle third where it splits),
  // dense elsewhere: each half holds more lines than the samples promise.
  texts.push_back(
      {items(70000, true) + items(98000, false) + "\n" + items(144000, true) + items(168000, false),
       true});
  // Text ending just after the middle's first line start, without a line end.
  texts.push_back({items(4000, false) + "3-00-0000-0000-0001,last", true});
  return texts;
}

TEST(UpdateFile, TwoHalvesGiveWhatOnePassGives) {
  std::vector<std::string> texts = AwkwardTexts();
  std::vector<std::pair<std::string, bool>> large = TextsInHalves();
  // How many threads read each text: the short ones split wherever they have a line start.
  std::vector<size_t> readers(texts.size(), 0);
  for (const auto& t : large) {
    texts.push_back(t.first);
    readers.push_back(t.second ? 2 : 1);
  }
  std::string path = TempPath("halves.costupdate");
  for (size_t t = 0; t < texts.size(); t++) {
    const std::string& text = texts[t];
    WriteFile(path, text);
    OneThreadLibrary library;
    std::vector<PriceItem> expected = ReferenceSort(ReferenceParse(&library, text));
    for (size_t chunk : {size_t(7), size_t(1000), kLoadChunkBytes}) {
      for (uint64_t parallel_bytes : {uint64_t(0), uint64_t(1)}) {
        ThreadNotingDisk disk;
        PriceItem* items = nullptr;
        int count = -1;
        ASSERT_EQ(0, LoadUpdateFile(&library, path.c_str(), &items, &count, chunk, &disk,
                                    parallel_bytes));
        SCOPED_TRACE("text " + std::to_string(t) + ", pieces of " + std::to_string(chunk) +
                     (parallel_bytes ? ", in halves" : ", one pass"));
        if (!parallel_bytes) {
          EXPECT_EQ(1u, disk.readers());
        } else if (readers[t]) {
          EXPECT_EQ(readers[t], disk.readers());
        }
        ASSERT_EQ(int(expected.size()), count);
        for (int i = 0; i < count; i++)
          ASSERT_EQ(0, memcmp(&expected[size_t(i)], &items[i], sizeof(PriceItem))) << i;
        EXPECT_TRUE(IsZero(items[count]));
        free(items);
      }
    }
    EXPECT_FALSE(library.other_thread);
  }
  remove(path.c_str());
}

TEST(UpdateFile, DiskThatCannotSeekIsReadInOnePass) {
  std::string text = TextsInHalves()[0].first;
  std::string path = TempPath("noseek.costupdate");
  WriteFile(path, text);
  FakePriceLibrary library;
  std::vector<PriceItem> expected = ReferenceSort(ReferenceParse(&library, text));
  FaultyDisk disk;  // positions nothing
  PriceItem* items = nullptr;
  int count = -1;
  ASSERT_EQ(0, LoadUpdateFile(&library, path.c_str(), &items, &count, kLoadChunkBytes, &disk, 1));
  ASSERT_EQ(int(expected.size()), count);
  EXPECT_EQ(0, memcmp(expected.data(), items, expected.size() * sizeof(PriceItem)));
  free(items);
  remove(path.c_str());
}

}  // namespace
