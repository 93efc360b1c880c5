// HTTP dates, lengths and addresses.
#include "net/http_text.h"

#include <cstdio>
#include <cstring>

#include "net/http_transport.h"

const char kUserAgent[] = "KelvadPYPY";
const char kAcceptHeader[] = "Accept: */*\r\n\r\n";

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int MonthNumber(const char* name) {
  for (int i = 0; i < 12; ++i)
    if (std::strncmp(name, kMonths[i], 3) == 0 && name[3] == '\0') return i + 1;
  return 0;
}

// Days since 1970-01-01 of a civil date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = unsigned(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + long(doe) - 719468;
}

// The civil date of a day number since 1970-01-01.
void CivilFromDays(long days, long* y, unsigned* m, unsigned* d) {
  days += 719468;
  long era = (days >= 0 ? days : days - 146096) / 146097;
  unsigned doe = unsigned(days - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = long(yoe) + era * 400 + (*m <= 2);
}

const long kSecondsPerDay = 86400;
const long kLastDay = 2932896;  // 9999-12-31

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool Fill(int year, int month, int day, int hour, int minute, int second, CalendarTime* out) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || hour > 23 ||
      minute > 59 || second > 60 || hour < 0 || minute < 0 || second < 0)
    return false;
  if (day > kDays[month - 1] + (month == 2 && IsLeap(year))) return false;
  out->year = uint16_t(year);
  out->month = uint16_t(month);
  out->day = uint16_t(day);
  out->day_of_week = uint16_t((DaysFromCivil(year, unsigned(month), unsigned(day)) % 7 + 11) % 7);
  out->hour = uint16_t(hour);
  out->minute = uint16_t(minute);
  out->second = uint16_t(second);
  out->milliseconds = 0;
  return true;
}

}  // namespace

bool ParseHttpDate(const char* text, CalendarTime* out) {
  char weekday[16], month[4], zone[4];
  int day, year, hour, minute, second, used = 0;
  // Sun, 06 Nov 1994 08:49:37 GMT
  if (std::sscanf(text, " %15[A-Za-z], %d %3s %d %d:%d:%d %3s %n", weekday, &day, month, &year,
                  &hour, &minute, &second, zone, &used) == 8 &&
      text[used] == '\0' && std::strcmp(zone, "GMT") == 0)
    return Fill(year, MonthNumber(month), day, hour, minute, second, out);
  // Sunday, 06-Nov-94 08:49:37 GMT: two-digit years from 1970 on
  if (std::sscanf(text, " %15[A-Za-z], %d-%3s-%d %d:%d:%d %3s %n", weekday, &day, month, &year,
                  &hour, &minute, &second, zone, &used) == 8 &&
      text[used] == '\0' && std::strcmp(zone, "GMT") == 0) {
    if (year < 100) year += year < 70 ? 2000 : 1900;
    return Fill(year, MonthNumber(month), day, hour, minute, second, out);
  }
  // Sun Nov  6 08:49:37 1994
  if (std::sscanf(text, " %15[A-Za-z] %3s %d %d:%d:%d %d %n", weekday, month, &day, &hour, &minute,
                  &second, &year, &used) == 7 &&
      text[used] == '\0')
    return Fill(year, MonthNumber(month), day, hour, minute, second, out);
  return false;
}

namespace {

// Seconds since 1970 of a valid calendar time (a leap second counts as the next one).
bool SecondsOf(const CalendarTime& t, long long* out) {
  CalendarTime checked;
  if (!Fill(t.year, t.month, t.day, t.hour, t.minute, t.second, &checked)) return false;
  *out = (long long)DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 +
         t.minute * 60 + t.second;
  return true;
}

bool FormatSeconds(long long seconds, std::string* out) {
  static const char* const kWeekdays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  if (seconds < 0) return false;
  long days = long(seconds / kSecondsPerDay);
  long of_day = long(seconds % kSecondsPerDay);
  if (days > kLastDay) return false;
  long y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04ld %02ld:%02ld:%02ld GMT", kWeekdays[days % 7],
                d, kMonths[m - 1], y, of_day / 3600, of_day / 60 % 60, of_day % 60);
  *out = text;
  return true;
}

}  // namespace

bool FormatHttpDate(const CalendarTime& time, std::string* out) {
  long long seconds;
  return SecondsOf(time, &seconds) && FormatSeconds(seconds, out);
}

bool IfModifiedSinceFor(const CalendarTime& file_time, std::string* out) {
  long long seconds;
  return SecondsOf(file_time, &seconds) && FormatSeconds(seconds - 1, out);
}

std::string RequestHeaders(const std::string& if_modified_since) {
  std::string text = "Accept: */*\r\n";
  if (!if_modified_since.empty()) text += "If-Modified-Since: " + if_modified_since + "\r\n";
  return text + "\r\n";
}

bool ParseContentLength(const char* text, uint64_t* out) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text < '0' || *text > '9') return false;
  uint64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    unsigned digit = unsigned(*text - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (*text != '\0') return false;
  *out = value;
  return true;
}

bool SplitHttpAddress(const std::string& url, HttpAddress* out) {
  if (url.size() < 7) return false;
  for (size_t i = 0; i < 7; ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != "http://"[i]) return false;
  }
  size_t host_end = url.find_first_of("/?#", 7);
  if (host_end == std::string::npos) host_end = url.size();
  std::string authority = url.substr(7, host_end - 7);
  if (authority.find('@') != std::string::npos) return false;
  std::string host = authority;
  std::string port;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    std::string after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return false;
      port = after.substr(1);
    }
  } else {
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
  }
  if (host.empty()) return false;
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\\') return false;
  out->port = 80;
  if (!port.empty()) {
    uint64_t n;
    if (port.size() > 5 || !ParseContentLength(port.c_str(), &n) || n == 0 || n > 65535)
      return false;
    out->port = uint16_t(n);
  }
  out->host = host;
  out->target = host_end < url.size() && url[host_end] != '#' ? url.substr(host_end) : "/";
  size_t fragment = out->target.find('#');
  if (fragment != std::string::npos) out->target.erase(fragment);
  if (out->target[0] == '?') out->target.insert(0, "/");
  return true;
}

std::string ResolveLocation(const HttpAddress& base, const std::string& location) {
  if (location.find("://") != std::string::npos) return location;
  std::string host = base.host.find(':') != std::string::npos ? "[" + base.host + "]" : base.host;
  std::string origin = "http://" + host + ":" + std::to_string(base.port);
  if (!location.empty() && location[0] == '/') return origin + location;
  std::string dir = base.target.substr(0, base.target.find('?'));
  dir.erase(dir.rfind('/') + 1);
  return origin + dir + location;
}
