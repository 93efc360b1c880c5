// The file system through POSIX calls, for the native build.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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
  File OpenForRead(const char* path) override {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kNoFile : File(fd);
  }
  size_t Read(File file, void* buffer, size_t size) override {
    for (;;) {
      ssize_t n = read(int(file), buffer, size);
      if (n < 0 && errno == EINTR) continue;
      return n > 0 ? size_t(n) : 0;
    }
  }
  bool Seek(File file, uint64_t offset) override {
    return offset <= uint64_t(INT64_MAX) && lseek(int(file), off_t(offset), SEEK_SET) >= 0;
  }
  bool FileSize(File file, uint64_t* size) override {
    struct stat st;
    if (fstat(int(file), &st) != 0) return false;
    *size = uint64_t(st.st_size);
    return true;
  }
  File Create(const char* path) override {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return kNoFile;
    // Held until the file is closed: RemoveUnlessOpen leaves a locked file alone.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    return File(fd);
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
  bool CreateFolder(const char* path) override { return mkdir(path, 0777) == 0; }
  bool RemoveUnlessOpen(const char* path) override {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path) == 0;
    close(fd);
    return removed;
  }
  std::vector<std::string> NamesStartingWith(const char* path_prefix) override {
    std::string prefix = path_prefix, folder = ".";
    size_t slash = prefix.rfind('/');
    if (slash != std::string::npos) {
      folder = slash == 0 ? "/" : prefix.substr(0, slash);
      prefix.erase(0, slash + 1);
    }
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir))
      if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
        names.push_back(entry->d_name);
    closedir(dir);
    return names;
  }
  unsigned ProcessId() override { return unsigned(getpid()); }

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
};

}  // namespace

Disk* RealDisk() {
  static PosixDisk disk;
  return &disk;
}

CalendarTime LocalNow() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm t;
  localtime_r(&now.tv_sec, &t);
  CalendarTime out;
  ToCalendar(t, now.tv_nsec, &out);
  return out;
}
