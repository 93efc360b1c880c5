// Tests of lines, fields and numbers as the update-file format reads them.
#include "data/line_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LineScan, ParseDecimal) {
  struct Case {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+-3", 0},
      {"42", 42},
      {"+42", 42},
      {"-1", 4294967295u},
      {" \t\v\f\r\n7", 7},
      {"4294967295", 4294967295u},
      {"4294967296", 0},
      {"- 3", 0},
      {"0012", 12},
      {"12 34", 12},
      {"\x82\x4f", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, ParseDecimal(c.text)) << '"' << c.text << '"';
}

TEST(LineScan, ReadLineStepsOverRunsOfLineEnds) {
  const char text[] = "one\r\n\r\n\n\rtwo\rthree\nfour";
  const char* p = text;
  char line[kLineBufferSize];
  std::vector<std::string> lines;
  std::vector<size_t> used;
  while (*p) {
    size_t n = ReadLine(p, line);
    ASSERT_GT(n, 0u);
    used.push_back(n);
    lines.push_back(line);
    p += n;
  }
  EXPECT_EQ((std::vector<std::string>{"one", "two", "three", "four"}), lines);
  EXPECT_EQ((std::vector<size_t>{9, 4, 6, 4}), used);
  EXPECT_EQ(0u, ReadLine("", line));
  EXPECT_STREQ("", line);
  // A line end at the very start is taken as a one-byte line.
  EXPECT_EQ(2u, ReadLine("\r\n", line));
  EXPECT_STREQ("\r", line);
}

TEST(LineScan, GetField) {
  struct Case {
    const char* line;
    int k;
    const char* field;
  } cases[] = {
      {"a,b,c", 0, "a"},
      {"a,b,c", 2, "c"},
      {"a,b,c", 5, "c"},  // past the last comma: the last field
      {"a,,c", 1, ""},
      {"", 0, ""},
      {"\"a,b\",c", 0, "a,b"},
      {"\"a,b\",c", 1, "c"},
      {"x\"\"y,z", 0, "xy"},
      {"\"\"", 0, ""},
      {"\"open,to the end", 0, "open,to the end"},
      {"a,b\"\",c", 1, "b"},
  };
  for (const Case& c : cases) {
    char field[kLineBufferSize];
    GetField(c.line, c.k, field);
    EXPECT_STREQ(c.field, field) << c.line << " field " << c.k;
  }
}

}  // namespace
