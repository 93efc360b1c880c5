// Tests of the item code text: what parses, what does not, and format/parse round trips.
#include "qupra/code_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const Code kMaxCode = MakeCode(255, 255, 65535, 65535, 65535);

TEST(ParseItemCode, Cases) {
  struct Case {
    const char* text;
    Code code;
  };
  const Case cases[] = {
      {"3-12-0045-0002-0001", MakeCode(3, 12, 45, 2, 1)},
      {"1-0-0-0-0", MakeCode(1, 0, 0, 0, 0)},
      {"255-255-65535-65535-65535", kMaxCode},
      {"00255-00255-65535-65535-65535", kMaxCode},
      {"00001-00000-00000-00000-00000", MakeCode(1, 0, 0, 0, 0)},
      {"7-08-0900-1000-0011", MakeCode(7, 8, 900, 1000, 11)},
      // Out of range.
      {"0-12-0045-0002-0001", 0},
      {"00000-1-1-1-1", 0},
      {"256-0-0-0-0", 0},
      {"1-256-0-0-0", 0},
      {"1-0-65536-0-0", 0},
      {"1-0-0-65536-0", 0},
      {"1-0-0-0-65536", 0},
      {"99999-0-0-0-0", 0},
      // More than five digits, even as leading zeros.
      {"1-0-0-0-000000", 0},
      {"000001-0-0-0-0", 0},
      {"1-0-0-0-4294967297", 0},
      // Wrong number of groups or separators.
      {"", 0},
      {"1", 0},
      {"1-2-3-4", 0},
      {"1-2-3-4-5-6", 0},
      {"1-2-3-4-5-", 0},
      {"-1-2-3-4-5", 0},
      {"1--2-3-4-5", 0},
      {"1-2-3-4--5", 0},
      {"1_2_3_4_5", 0},
      // Anything before, after or inside.
      {" 1-2-3-4-5", 0},
      {"1-2-3-4-5 ", 0},
      {"1 -2-3-4-5", 0},
      {"1-2-3-4-5\n", 0},
      {"1-2-3-4-5x", 0},
      {"+1-2-3-4-5", 0},
      {"1-+2-3-4-5", 0},
      {"1-2-3-4--0", 0},
      {"1-2-3-4-a", 0},
      {"0x1-2-3-4-5", 0},
      {"\x82\x50-2-3-4-5", 0},  // full-width digit one
      {"1-2-3-4-5\x83", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, ParseItemCode(c.text)) << '"' << c.text << '"';
}

TEST(ParseItemCode, NullIsNoCode) { EXPECT_EQ(0u, ParseItemCode(nullptr)); }

TEST(FormatItemCode, Cases) {
  struct Case {
    Code code;
    const char* text;
  };
  const Case cases[] = {
      {MakeCode(3, 12, 45, 2, 1), "3-12-0045-0002-0001"},
      {MakeCode(1, 0, 0, 0, 0), "1-00-0000-0000-0000"},
      {MakeCode(10, 100, 10000, 9999, 12345), "10-100-10000-9999-12345"},
      {kMaxCode, "255-255-65535-65535-65535"},
      {0, ""},
      {MakeCode(0, 255, 65535, 65535, 65535), ""},
  };
  for (const Case& c : cases) {
    char out[kCodeTextSize];
    std::memset(out, 'x', sizeof out);
    FormatItemCode(c.code, out);
    EXPECT_STREQ(c.text, out);
  }
}

TEST(FormatItemCode, ParsesBackAtTheEdges) {
  const unsigned categories[] = {1, 9, 10, 99, 100, 255};
  const unsigned larges[] = {0, 1, 9, 10, 99, 100, 255};
  const unsigned others[] = {0, 1, 999, 1000, 9999, 10000, 65535};
  char text[kCodeTextSize];
  for (unsigned c : categories)
    for (unsigned l : larges)
      for (unsigned m : others)
        for (unsigned s : others)
          for (unsigned n : others) {
            Code code = MakeCode(c, l, m, s, n);
            FormatItemCode(code, text);
            ASSERT_EQ(code, ParseItemCode(text)) << text;
          }
}

TEST(FormatItemCode, ParsesBackForSpreadCodes) {
  // Every bit pattern of a code with a nonzero category is a code; walk a spread of them.
  uint64_t x = 0x9E3779B97F4A7C15u;
  char text[kCodeTextSize];
  for (int i = 0; i < 20000; ++i) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    Code code = x | (Code(1) << 56);
    FormatItemCode(code, text);
    ASSERT_EQ(code, ParseItemCode(text)) << text;
  }
}

}  // namespace
