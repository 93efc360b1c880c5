// The file system through the Windows file and time functions.
#include <windows.h>

#include <cstdio>
#include <string>

#include "data/disk.h"

namespace {

class WindowsDisk : public Disk {
 public:
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME written;
    BOOL ok = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!ok) return false;
    FILETIME shown = written;
    if (local && !FileTimeToLocalFileTime(&written, &shown)) return false;
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&shown, &st)) return false;
    static_assert(sizeof st == sizeof *out, "CalendarTime has the SYSTEMTIME layout");
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day_of_week = st.wDayOfWeek;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->milliseconds = st.wMilliseconds;
    return true;
  }

  bool ReplaceFile(const char* path, const void* data, size_t size) override {
    std::string temp = std::string(path) + ".tmp" + std::to_string(GetCurrentProcessId());
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    const char* p = static_cast<const char*>(data);
    while (ok && size > 0) {
      DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
      DWORD done = 0;
      ok = WriteFile(file, p, chunk, &done, nullptr) && done == chunk;
      p += chunk;
      size -= chunk;
    }
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (ok)
      ok = MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileA(temp.c_str());
    return ok;
  }
};

}  // namespace

Disk* RealDisk() {
  static WindowsDisk disk;
  return &disk;
}
