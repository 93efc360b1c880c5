// HTTP dates, lengths and addresses as the socket transport reads them.
#include "net/http_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/http_transport.h"

namespace {

TEST(ParseHttpDate, Forms) {
  struct {
    const char* text;
    bool ok;
    CalendarTime want;  // y, mo, dow, d, h, mi, s, ms
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", true, {1994, 11, 0, 6, 8, 49, 37, 0}},
      {"Sunday, 06-Nov-94 08:49:37 GMT", true, {1994, 11, 0, 6, 8, 49, 37, 0}},
      {"Sun Nov  6 08:49:37 1994", true, {1994, 11, 0, 6, 8, 49, 37, 0}},
      // The weekday is worked out from the date, whatever the text claims.
      {"Mon, 29 Feb 2024 23:59:60 GMT", true, {2024, 2, 4, 29, 23, 59, 60, 0}},
      {"Thu, 01 Jan 1970 00:00:00 GMT", true, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {"Tue, 01-Jan-30 00:00:00 GMT", true, {2030, 1, 2, 1, 0, 0, 0, 0}},
      {"Sat, 01 Jan 2000 00:00:00 GMT", true, {2000, 1, 6, 1, 0, 0, 0, 0}},
      {"Sun, 06 Nov 1994 08:49:37 CET", false, {}},
      {"Sun, 29 Feb 2023 08:49:37 GMT", false, {}},
      {"Sun, 06 Foo 1994 08:49:37 GMT", false, {}},
      {"Sun, 06 Nov 1994 24:00:00 GMT", false, {}},
      {"Sun, 06 Nov 1994 08:49:37 GMT trailing", false, {}},
      {"", false, {}},
      {"yesterday", false, {}},
  };
  for (const auto& c : cases) {
    CalendarTime got;
    std::memset(&got, 0xAB, sizeof got);
    ASSERT_EQ(c.ok, ParseHttpDate(c.text, &got)) << c.text;
    if (c.ok) {
      EXPECT_EQ(0, std::memcmp(&c.want, &got, sizeof got)) << c.text << " " << got.day_of_week;
    }
  }
}

// The date sent in If-Modified-Since: one second before the file's time, in the one form
// every server reads, and none for a time the form cannot carry.
TEST(IfModifiedSinceFor, DatesAndTheirLimits) {
  struct {
    CalendarTime file;  // y, mo, dow, d, h, mi, s, ms; the weekday is not read
    const char* want;   // null: no header
  } cases[] = {
      {{2026, 12, 9, 10, 5, 43, 30, 999}, "Thu, 10 Dec 2026 05:43:29 GMT"},
      // Borrowing across minute, hour, day, month, year and a leap day.
      {{2026, 1, 0, 1, 0, 0, 0, 0}, "Wed, 31 Dec 2025 23:59:59 GMT"},
      {{2024, 3, 0, 1, 0, 0, 0, 0}, "Thu, 29 Feb 2024 23:59:59 GMT"},
      {{2023, 3, 0, 1, 0, 0, 0, 0}, "Tue, 28 Feb 2023 23:59:59 GMT"},
      {{2000, 3, 0, 1, 12, 0, 0, 0}, "Wed, 01 Mar 2000 11:59:59 GMT"},
      {{1970, 1, 0, 1, 0, 0, 1, 0}, "Thu, 01 Jan 1970 00:00:00 GMT"},
      {{9999, 12, 0, 31, 23, 59, 59, 0}, "Fri, 31 Dec 9999 23:59:58 GMT"},
      // Before 1970 once a second is taken off, and dates that are none.
      {{1970, 1, 0, 1, 0, 0, 0, 0}, nullptr},
      {{1969, 12, 0, 31, 23, 59, 59, 0}, nullptr},
      {{1601, 1, 0, 1, 0, 0, 0, 0}, nullptr},
      {{10000, 1, 0, 1, 0, 0, 1, 0}, nullptr},
      {{0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
      {{2026, 2, 0, 29, 0, 0, 0, 0}, nullptr},
      {{2026, 13, 0, 1, 0, 0, 0, 0}, nullptr},
      {{2026, 1, 0, 1, 24, 0, 0, 0}, nullptr},
  };
  for (const auto& c : cases) {
    std::string got = "untouched";
    bool ok = IfModifiedSinceFor(c.file, &got);
    SCOPED_TRACE(c.want ? c.want : "none");
    ASSERT_EQ(c.want != nullptr, ok) << got;
    if (!ok) continue;
    EXPECT_EQ(c.want, got);
    // What the transports read back is the same second.
    CalendarTime back;
    ASSERT_TRUE(ParseHttpDate(got.c_str(), &back));
    std::string again;
    ASSERT_TRUE(FormatHttpDate(back, &again));
    EXPECT_EQ(got, again);
  }
}

TEST(RequestHeaders, AcceptAloneIsTheFixedHeader) {
  EXPECT_EQ(kAcceptHeader, RequestHeaders(""));
  EXPECT_EQ("Accept: */*\r\nIf-Modified-Since: Thu, 10 Dec 2026 05:43:29 GMT\r\n\r\n",
            RequestHeaders("Thu, 10 Dec 2026 05:43:29 GMT"));
}

TEST(ParseContentLength, Values) {
  struct {
    const char* text;
    bool ok;
    uint64_t value;
  } cases[] = {{"0", true, 0},
               {" 1234 ", true, 1234},
               {"18446744073709551615", true, UINT64_MAX},
               {"18446744073709551616", false, 0},
               {"-1", false, 0},
               {"12a", false, 0},
               {"", false, 0},
               {"1 2", false, 0}};
  for (const auto& c : cases) {
    uint64_t got = 7;
    ASSERT_EQ(c.ok, ParseContentLength(c.text, &got)) << c.text;
    EXPECT_EQ(c.ok ? c.value : 7, got) << c.text;
  }
}

TEST(SplitHttpAddress, Parts) {
  struct {
    const char* url;
    bool ok;
    const char* host;
    uint16_t port;
    const char* target;
  } cases[] = {
      {"http://127.0.0.1:8642/costupdate/monthly.dat", true, "127.0.0.1", 8642,
       "/costupdate/monthly.dat"},
      {"HTTP://Example.COM/a?b=1", true, "Example.COM", 80, "/a?b=1"},
      {"http://h", true, "h", 80, "/"},
      {"http://h?q", true, "h", 80, "/?q"},
      {"http://h/a#frag", true, "h", 80, "/a"},
      {"http://[::1]:81/x", true, "::1", 81, "/x"},
      {"https://h/x", false, "", 0, ""},
      {"ftp://h/x", false, "", 0, ""},
      {"http:///x", false, "", 0, ""},
      {"http://h:0/x", false, "", 0, ""},
      {"http://h:65536/x", false, "", 0, ""},
      {"http://h:80a/x", false, "", 0, ""},
      {"http://user@h/x", false, "", 0, ""},
      {"http://h\\x", false, "", 0, ""},
      {"http://h x/", false, "", 0, ""},
  };
  for (const auto& c : cases) {
    HttpAddress a;
    ASSERT_EQ(c.ok, SplitHttpAddress(c.url, &a)) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(c.host, a.host) << c.url;
    EXPECT_EQ(c.port, a.port) << c.url;
    EXPECT_EQ(c.target, a.target) << c.url;
  }
}

TEST(ResolveLocation, AbsoluteAndRelative) {
  HttpAddress base;
  ASSERT_TRUE(SplitHttpAddress("http://h:8080/dir/file.dat?x=1", &base));
  struct {
    const char* location;
    const char* want;
  } cases[] = {{"http://other/y", "http://other/y"},
               {"/root.dat", "http://h:8080/root.dat"},
               {"sibling.dat", "http://h:8080/dir/sibling.dat"}};
  for (const auto& c : cases) EXPECT_EQ(c.want, ResolveLocation(base, c.location)) << c.location;
}

}  // namespace
