// The parts of HTTP that both transports read as text: dates, lengths and addresses.
#pragma once

#include <cstdint>
#include <string>

#include "data/disk.h"

// An HTTP date (IMF-fixdate, the obsolete RFC 850 form or asctime) as UTC calendar time,
// with the day of the week worked out from the date and milliseconds 0.
bool ParseHttpDate(const char* text, CalendarTime* out);

// A Content-Length value: decimal digits with optional blanks around them.
bool ParseContentLength(const char* text, uint64_t* out);

struct HttpAddress {
  std::string host;  // without brackets or port
  uint16_t port = 80;
  std::string target;  // path and query, "/" when the address has none
};

// An "http://host[:port][/target]" address (the scheme in any case, as WinINet takes it).
// False for other schemes and malformed hosts or ports.
bool SplitHttpAddress(const std::string& url, HttpAddress* out);

// The address a redirect's Location names, seen from base: absolute, or a path on base's host.
std::string ResolveLocation(const HttpAddress& base, const std::string& location);
