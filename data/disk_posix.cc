// The file system through POSIX calls, for the native build.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "data/disk.h"
#include "data/file_ops.h"

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

class PosixFileOps : public FileOps {
 public:
  File Create(const char* path) override {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? kNoFile : File(fd);
  }
  bool Write(File file, const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = write(int(file), p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= size_t(n);
    }
    return true;
  }
  bool Flush(File file) override { return fsync(int(file)) == 0; }
  bool Close(File file) override { return close(int(file)) == 0; }
  bool Rename(const char* from, const char* to) override { return rename(from, to) == 0; }
  bool Remove(const char* path) override { return unlink(path) == 0; }
  unsigned ProcessId() override { return unsigned(getpid()); }
};

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
    return ReplaceThroughTemp(RealFileOps(), path, data, size);
  }
};

}  // namespace

FileOps* RealFileOps() {
  static PosixFileOps ops;
  return &ops;
}

Disk* RealDisk() {
  static PosixDisk disk;
  return &disk;
}
