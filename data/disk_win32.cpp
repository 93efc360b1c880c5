// The file system through the Windows file and time functions.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/disk.h"

namespace {

class WindowsDisk : public Disk {
 public:
  // Shared as the C library's fopen shares: others may read and write meanwhile.
  File OpenForRead(const char* path) override {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<File>(file);
  }
  size_t Read(File file, void* buffer, size_t size) override {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size), done = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(file), buffer, chunk, &done, nullptr)) return 0;
    return done;
  }
  bool Seek(File file, uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    return offset <= uint64_t(INT64_MAX) &&
           SetFilePointerEx(reinterpret_cast<HANDLE>(file), to, nullptr, FILE_BEGIN);
  }
  bool FileSize(File file, uint64_t* size) override {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &n)) return false;
    *size = uint64_t(n.QuadPart);
    return true;
  }
  File Create(const char* path) override {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<File>(file);
  }
  bool Write(File file, const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size), done = 0;
      if (!WriteFile(reinterpret_cast<HANDLE>(file), p, chunk, &done, nullptr) || done == 0)
        return false;
      p += done;
      size -= done;
    }
    return true;
  }
  bool Flush(File file) override { return FlushFileBuffers(reinterpret_cast<HANDLE>(file)); }
  bool Close(File file) override { return CloseHandle(reinterpret_cast<HANDLE>(file)); }
  bool Rename(const char* from, const char* to) override {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  bool Remove(const char* path) override { return DeleteFileA(path); }
  bool CreateFolder(const char* path) override { return CreateDirectoryA(path, nullptr); }
  bool RemoveUnlessOpen(const char* path) override {
    // Create opens without sharing, so a file still being written cannot be opened here.
    HANDLE file = CreateFileA(path, DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    return CloseHandle(file);
  }
  std::vector<std::string> NamesStartingWith(const char* path_prefix) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(path_prefix) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }
  unsigned ProcessId() override { return unsigned(GetCurrentProcessId()); }

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
};

}  // namespace

Disk* RealDisk() {
  static WindowsDisk disk;
  return &disk;
}

CalendarTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CalendarTime out;
  static_assert(sizeof out == sizeof now, "CalendarTime has the layout of SYSTEMTIME");
  memcpy(&out, &now, sizeof out);
  return out;
}
