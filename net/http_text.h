// The parts of HTTP that both transports read as text: dates, lengths and addresses.
#pragma once

#include <cstdint>
#include <string>

#include "data/disk.h"

// An HTTP date (IMF-fixdate, the obsolete RFC 850 form or asctime) as UTC calendar time,
// with the day of the week worked out from the date and milliseconds 0.
bool ParseHttpDate(const char* text, CalendarTime* out);

// The IMF-fixdate of a UTC calendar time ("Sun, 06 Nov 1994 08:49:37 GMT"); false for a
// date that is no date or that the form cannot carry (before 1970 or after 9999).
bool FormatHttpDate(const CalendarTime& time, std::string* out);

// The If-Modified-Since date for a local file last written at file_time (UTC): one second
// earlier, so that a server file changed in the second of the write, which the file-time
// rules count as newer, is still sent. False when the header cannot carry it.
bool IfModifiedSinceFor(const CalendarTime& file_time, std::string* out);

// The request's header lines after User-Agent: Accept, If-Modified-Since when a date is
// given, and the blank line that ends the head.
std::string RequestHeaders(const std::string& if_modified_since);

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
