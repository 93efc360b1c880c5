// Tests of where the database file is named inside its folder, in both path styles.
#include "qupra/store_path.h"

#include <gtest/gtest.h>

namespace {

TEST(JoinFolderFile, Cases) {
  struct Case {
    const char* folder;
    PathStyle style;
    bool ok;
    const char* path;
  };
  // "\x95\x5C" and "\x83\x5C" are double-byte characters whose second byte is '\'.
  const Case cases[] = {
      {"/opt/est", PathStyle::kPosix, true, "/opt/est/qupra.db"},
      {"/opt/est/", PathStyle::kPosix, true, "/opt/est/qupra.db"},
      {"/", PathStyle::kPosix, true, "/qupra.db"},
      {"est\\", PathStyle::kPosix, true, "est\\/qupra.db"},
      {"/opt/\x83", PathStyle::kPosix, true, "/opt/\x83/qupra.db"},
      {"", PathStyle::kPosix, true, "qupra.db"},
      {"C:\\Est", PathStyle::kWindows, true, "C:\\Est\\qupra.db"},
      {"C:\\Est\\", PathStyle::kWindows, true, "C:\\Est\\qupra.db"},
      {"C:/Est/", PathStyle::kWindows, true, "C:/Est/qupra.db"},
      {"C:", PathStyle::kWindows, true, "C:qupra.db"},
      {"C:\\\x95\x5C", PathStyle::kWindows, true, "C:\\\x95\x5C\\qupra.db"},
      {"C:\\\x83\x5C\\", PathStyle::kWindows, true, "C:\\\x83\x5C\\qupra.db"},
      {"C:\\\x83\x5C"
       "a",
       PathStyle::kWindows, true,
       "C:\\\x83\x5C"
       "a\\qupra.db"},
      {"", PathStyle::kWindows, true, "qupra.db"},
      // A cut double-byte character would take the separator as its second byte.
      {"C:\\Est\x83", PathStyle::kWindows, false, ""},
  };
  for (const Case& c : cases) {
    std::string path = "stale";
    EXPECT_EQ(c.ok, JoinFolderFile(c.folder, "qupra.db", c.style, &path)) << c.folder;
    EXPECT_EQ(c.path, path) << c.folder;
  }
}

TEST(JoinFolderFile, NullFolderFails) {
  std::string path;
  EXPECT_FALSE(JoinFolderFile(nullptr, "qupra.db", kHostPathStyle, &path));
}

}  // namespace
