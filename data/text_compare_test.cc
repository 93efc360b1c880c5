// Case-insensitive text comparison: natively the stand-in, under Wine lstrcmpiA.
#include "data/text_compare.h"

#include <gtest/gtest.h>

#include "data/text_fold.h"

namespace {

struct Case {
  const char* a;
  const char* b;
  bool equal;
};

const Case kCases[] = {
    {"", "", true},
    {"abc", "ABC", true},
    {"D10 sd295a", "d10 SD295A", true},
    {"abc", "abd", false},
    {"abc", "ab", false},
    {"", "a", false},
    {"\x83\x41", "\x83\x61", false},  // ア and ャ
    {"\x83\x41", "\x83\x41", true},
    {"異形棒鋼 d10", "異形棒鋼 D10", true},
    {"鋼", "鋼x", false},
    {"a\x83", "a", false},  // a lead byte cut off at the end
    {"a\x83", "A\x83", true},
};

TEST(CompareTextNoCase, Table) {
  for (const Case& c : kCases) {
    EXPECT_EQ(c.equal, CompareTextNoCase(c.a, c.b) == 0) << c.a << " / " << c.b;
    EXPECT_EQ(c.equal, CompareTextNoCase(c.b, c.a) == 0) << c.b << " / " << c.a;
  }
}

TEST(CompareFoldedSjis, TableAndOrder) {
  for (const Case& c : kCases) EXPECT_EQ(c.equal, CompareFoldedSjis(c.a, c.b) == 0) << c.a;
  // A cut lead byte stops at the NUL rather than reading past it.
  EXPECT_GT(CompareFoldedSjis("a\x83", "a"), 0);
  EXPECT_LT(CompareFoldedSjis("\x83", "\x83\x41"), 0);
  EXPECT_LT(CompareFoldedSjis("abc", "ABD"), 0);
  EXPECT_GT(CompareFoldedSjis("b", "A"), 0);
}

}  // namespace
