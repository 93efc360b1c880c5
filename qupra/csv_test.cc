// Tests of the CSV line splitting and quoting used by qupra-tool.
#include "qupra/csv.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCsvLine, Cases) {
  struct Case {
    std::string line;
    bool ok;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"a,b,c", true, {"a", "b", "c"}},
      {"", true, {""}},
      {",", true, {"", ""}},
      {"a,,", true, {"a", "", ""}},
      {"\"a,b\",c", true, {"a,b", "c"}},
      {"\"say \"\"hi\"\"\"", true, {"say \"hi\""}},
      {"\"\",x", true, {"", "x"}},
      {"a\"b,c", true, {"a\"b", "c"}},
      // A lead byte before ',' or '"' is a cut character, never a pair with them.
      {"\x83,\x83\x41", true, {"\x83", "\x83\x41"}},
      {"\"\x83\",b", true, {"\x83", "b"}},
      {"\x83\x5C,b", true, {"\x83\x5C", "b"}},
      {"\"open", false, {}},
      {"\"a\"b,c", false, {}},
      {"x,\"a\"\"", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> fields = {"stale"};
    EXPECT_EQ(c.ok, SplitCsvLine(c.line, &fields)) << c.line;
    if (c.ok) {
      EXPECT_EQ(c.fields, fields) << c.line;
    }
  }
}

TEST(AppendCsvField, QuotesOnlyWhatNeedsIt) {
  const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", "", "\x83", "cr\rlf\n"};
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    AppendCsvField(fields[i], &line);
  }
  EXPECT_EQ("plain,\"a,b\",\"say \"\"hi\"\"\",,\x83,\"cr\rlf\n\"", line);
  std::vector<std::string> back;
  ASSERT_TRUE(SplitCsvLine(line, &back));
  EXPECT_EQ(fields, back);
}

}  // namespace
