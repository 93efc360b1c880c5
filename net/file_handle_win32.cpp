// The Patrol's file object on Windows file handles.
#include <windows.h>

#include "net/file_handle.h"

bool MakeFolder(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return true;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const intptr_t FileHandle::kClosed = 0;

FileHandle::FileHandle() : handle_(kClosed) {}

FileHandle::FileHandle(const char* name, uint32_t access, uint32_t sharing, FileCreation creation)
    : handle_(kClosed) {
  Open(name, access, sharing, creation);
}

FileHandle::~FileHandle() { Close(); }

int FileHandle::Open(const char* name, uint32_t access, uint32_t sharing, FileCreation creation) {
  Close();
  DWORD desired =
      ((access & kFileRead) ? GENERIC_READ : 0) | ((access & kFileWrite) ? GENERIC_WRITE : 0);
  DWORD share = ((sharing & kShareRead) ? FILE_SHARE_READ : 0) |
                ((sharing & kShareWrite) ? FILE_SHARE_WRITE : 0);
  HANDLE file = CreateFileA(name, desired, share, nullptr,
                            creation == kCreateAlways ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return 0;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return 1;
}

void FileHandle::Close() {
  if (handle_ != kClosed) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
}

size_t FileHandle::Read(void* buffer, size_t n) {
  size_t total = 0;
  while (IsOpen() && total < n) {
    DWORD chunk = n - total > 0x40000000 ? 0x40000000 : DWORD(n - total), got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), static_cast<char*>(buffer) + total, chunk,
                  &got, nullptr) ||
        got == 0)
      break;
    total += got;
  }
  return total;
}

size_t FileHandle::Write(const void* buffer, size_t n) {
  size_t total = 0;
  while (IsOpen() && total < n) {
    DWORD chunk = n - total > 0x40000000 ? 0x40000000 : DWORD(n - total), put = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), static_cast<const char*>(buffer) + total,
                   chunk, &put, nullptr) ||
        put == 0)
      break;
    total += put;
  }
  return total;
}

void FileHandle::Flush() {
  if (IsOpen()) FlushFileBuffers(reinterpret_cast<HANDLE>(handle_));
}

int64_t FileHandle::Seek(int64_t distance, SeekMethod method) {
  if (!IsOpen()) return -1;
  DWORD how = method == kSeekBegin ? FILE_BEGIN : method == kSeekCurrent ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER move, at;
  move.QuadPart = distance;
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), move, &at, how)) return -1;
  return at.QuadPart;
}

uint64_t FileHandle::GetSize() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)) return 0;
  return uint64_t(size.QuadPart);
}
