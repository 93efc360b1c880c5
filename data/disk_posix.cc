// The file system through POSIX calls, for the native build.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "data/disk.h"

namespace {

void ToCalendar(const struct tm& t, long nanoseconds, CalendarTime* out) {
  out->year = uint16_t(t.tm_year + 1900);
  out->month = uint16_t(t.tm_mon + 1);
  out->day_of_week = uint16_t(t.tm_wday);
  out->day = uint16_t(t.tm_mday);
  out->hour = uint16_t(t.tm_hour);
  out->minute = uint16_t(t.tm_min);
  out->second = uint16_t(t.tm_sec);
  out->milliseconds = uint16_t(nanoseconds / 1000000);
}

class PosixDisk : public Disk {
 public:
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    time_t when = st.st_mtim.tv_sec;
    if (local) {
      // The offset in force now, not at the file's date, as Windows converts file times.
      time_t now = time(nullptr);
      struct tm now_local;
      localtime_r(&now, &now_local);
      when += now_local.tm_gmtoff;
    }
    struct tm t;
    if (!gmtime_r(&when, &t)) return false;
    ToCalendar(t, st.st_mtim.tv_nsec, out);
    return true;
  }

  bool ReplaceFile(const char* path, const void* data, size_t size) override {
    std::string temp = std::string(path) + ".tmp" + std::to_string(getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    ok = (std::fflush(f) == 0) && ok;
    ok = (fsync(fileno(f)) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (ok) ok = std::rename(temp.c_str(), path) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
  }
};

}  // namespace

Disk* RealDisk() {
  static PosixDisk disk;
  return &disk;
}
