// Cache file names of check-list addresses.
#include "data/cache_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

#ifdef _WIN32
const std::string kDir = "C:\\CU\\HDTMP\\";
#else
const std::string kDir = "C:\\CU\\HDTMP/";
#endif

struct Case {
  const char* url;
  const char* name;  // null: no cache file
};

TEST(CachePath, Table) {
  const Case cases[] = {
      {"http://H/a/b.dat", "H_a_b.dat"},
      {"https://H/a/b.dat", "H_a_b.dat"},
      {"http://H:8080/x", "H8080_x"},
      {"ftp://H/x", "ftp__H_x"},
      {"HTTP://H/x", "HTTP__H_x"},
      {"http://h/q?a=1&b=%20", "h_q?a=1&b=%20"},
      {"http://h/単価.dat", "h_単価.dat"},
      {"", ""},
      {"http://h/a..b", "h_a..b"},
      {"http://h\\x", "h\\x"},
      {"http://h\\..\\..\\x", nullptr},
      {"http://..\\x", nullptr},
      {"http://h\\..", nullptr},
      {"http://\\x", nullptr},
      {"..", nullptr},
      {"http://h\\x\\...", nullptr},
      {"http://h\\.. \\x", nullptr},  // ".." once the trailing blank is dropped
      {"http://h\\.\\x", "h\\.\\x"},
      {"http://h/\x83\x5C.dat", "h_\x83\x5C.dat"},  // a '\' trail byte in ソ
      // A 0x5C trail byte is no separator: the parts are whole characters.
      {"http://h/表con.dat", "h_表con.dat"},
      {"http://h/ソaux", "h_ソaux"},
      {"http://ソ..\\x", "ソ..\\x"},
      {"http://h\\ソ\\con", nullptr},
      {"http://h\\表\\..\\x", nullptr},
      {"http://h\\x\x83", "h\\x\x83"},  // a lead byte cut off at the end
      {"http://con.example.com/x", nullptr},
      {"http://h\\COM1", nullptr},
      {"http://h\\aux .txt\\y", nullptr},
      {"http://h/con", "h_con"},
      {"http://h\\COM10", "h\\COM10"},
      {"http://h\\console", "h\\console"},
  };
  for (const Case& c : cases) {
    char out[kCachePathSize] = "junk";
    int r = CachePath(out, "C:\\CU\\", c.url);
    if (c.name) {
      EXPECT_EQ(1, r) << c.url;
      EXPECT_EQ(kDir + c.name + ".costupdate", out) << c.url;
    } else {
      EXPECT_EQ(0, r) << c.url;
      EXPECT_STREQ("", out) << c.url;
    }
  }
}

TEST(CachePath, TooLongHasNoCacheFile) {
  std::string dir = "C:\\" + std::string(200, 'd') + "\\";
  // dir (204) + "HDTMP\" (6) + name + ".costupdate" (11) must stay below 512.
  std::string fits = "http://" + std::string(290, 'h');
  std::string too_long = "http://" + std::string(291, 'h');
  char out[kCachePathSize];
  ASSERT_EQ(1, CachePath(out, dir.c_str(), fits.c_str()));
  EXPECT_EQ(511u, std::string(out).size());
  out[0] = 'x';
  EXPECT_EQ(0, CachePath(out, dir.c_str(), too_long.c_str()));
  EXPECT_STREQ("", out);
}

}  // namespace
