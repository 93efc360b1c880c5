// File times and safe replacement: where the core meets the file system.
#pragma once

#include <cstddef>
#include <cstdint>

// Calendar time with the field layout of the Windows SYSTEMTIME.
struct CalendarTime {
  uint16_t year;
  uint16_t month;
  uint16_t day_of_week;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};
static_assert(sizeof(CalendarTime) == 16, "SYSTEMTIME layout");

class Disk {
 public:
  virtual ~Disk() {}
  // Last-write time of an existing file, in UTC or converted to local time with the
  // current time-zone offset. False when the file cannot be opened or has no time.
  virtual bool LastWriteTime(const char* path, bool local, CalendarTime* out) = 0;
  // Puts data in place of path through a temporary file beside it, so that a failure
  // leaves the old file whole. False on any failure.
  virtual bool ReplaceFile(const char* path, const void* data, size_t size) = 0;
};

// The real file system of the platform the program was built for.
Disk* RealDisk();

// The local time now.
CalendarTime LocalNow();
