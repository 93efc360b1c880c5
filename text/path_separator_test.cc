#include "text/path_separator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Everyday characters whose second byte in code page 932 is 0x5C.
const char* const kBackslashCharacters[] = {"表", "ソ", "能", "予", "十",
                                            "申", "構", "貼", "暴", "欺"};

bool NoLeadBytes(unsigned char) { return false; }

TEST(PathSeparator, TheCharactersEndInABackslashByte) {
  for (const char* c : kBackslashCharacters) {
    std::string s = c;
    ASSERT_EQ(s.size(), 2u) << c;
    EXPECT_TRUE(IsSjisLeadByte(static_cast<unsigned char>(s[0]))) << c;
    EXPECT_EQ(s[1], '\\') << c;
  }
}

// A folder named with each character, with and without a separator after it.
TEST(PathSeparator, FolderEndingInEachCharacter) {
  for (const char* c : kBackslashCharacters) {
    const std::string folder = std::string("Z:\\tmp\\単価") + c;
    SCOPED_TRACE(folder);
    EXPECT_FALSE(EndsInSeparator(folder, "\\/"));
    EXPECT_TRUE(EndsInSeparator(folder + "\\", "\\/"));
    EXPECT_TRUE(EndsInSeparator(folder + "/", "\\/"));
    // Where every byte stands alone (a single-byte code page), the trail byte is a '\'.
    EXPECT_TRUE(EndsInSeparator(folder, "\\/", NoLeadBytes));

    std::string appended = folder;
    AppendSeparator(&appended, '\\', "\\/");
    EXPECT_EQ(appended, folder + "\\");
    AppendSeparator(&appended, '\\', "\\/");
    EXPECT_EQ(appended, folder + "\\") << "a second separator was added";

    // The last separator is the one before 単価, also with the character inside the name.
    const std::string file = folder + c + ".exe";
    EXPECT_EQ(FindLastSeparator(folder.data(), folder.size(), "\\"), 6u);
    EXPECT_EQ(FindLastSeparator(file.data(), file.size(), "\\"), 6u);
    EXPECT_EQ(FindLastSeparator((folder + "\\x").data(), folder.size() + 2, "\\"),
              folder.size());
    EXPECT_FALSE(IsSeparatorAt(folder.data(), folder.size(), folder.size() - 1, "\\"));
    EXPECT_TRUE(IsSeparatorAt(folder.data(), folder.size(), 6, "\\"));
    EXPECT_FALSE(IsSeparatorAt(folder.data(), folder.size(), 7, "\\"));
  }
}

TEST(PathSeparator, Table) {
  struct Case {
    std::string path;
    const char* separators;
    bool ends_in_separator;
    size_t last;
    const char* appended;
  };
  const Case cases[] = {
      {"", "\\/", false, kNoSeparator, ""},  // nothing to put a file after
      {"\\", "\\/", true, 0, "\\"},
      {"C:", "\\/", false, kNoSeparator, "C:\\"},
      {"C:", "\\/:", true, 1, "C:"},
      {"a/b", "\\/", false, 1, "a/b\\"},
      {"a/b", "\\", false, kNoSeparator, "a/b\\"},
      {"表\\", "\\", true, 2, "表\\"},
      {"表表", "\\", false, kNoSeparator, "表表\\"},
      {"\\\\", "\\", true, 1, "\\\\"},
      // Half-width katakana (0xA1-0xDF) are single bytes; 0xA0 is no lead byte either.
      {"\xB1\\", "\\", true, 1, "\xB1\\"},
      {"\xA0\\", "\\", true, 1, "\xA0\\"},
      // A lead byte cut off at the end stands alone; it is no separator.
      {"a\\\x95", "\\", false, 1, "a\\\x95\\"},
      // A lead byte before a real separator swallows it: the pair is one character.
      {"a\\\x95\\", "\\", false, 1, "a\\\x95\\\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(EndsInSeparator(c.path, c.separators), c.ends_in_separator);
    EXPECT_EQ(FindLastSeparator(c.path.data(), c.path.size(), c.separators), c.last);
    std::string appended = c.path;
    AppendSeparator(&appended, '\\', c.separators);
    EXPECT_EQ(appended, c.appended);
  }
}

TEST(PathSeparator, FindsEachSeparatorInTurn) {
  const std::string path = "C:\\ソフト\\表\\申請/x";
  std::string parts;
  size_t start = 0;
  for (size_t i = FindSeparator(path.data(), path.size(), 0, "\\/"); i != kNoSeparator;
       i = FindSeparator(path.data(), path.size(), i + 1, "\\/")) {
    parts += path.substr(start, i - start) + "|";
    start = i + 1;
  }
  parts += path.substr(start);
  EXPECT_EQ(parts, "C:|ソフト|表|申請|x");
}

}  // namespace
