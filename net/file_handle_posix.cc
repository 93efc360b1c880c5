// The Patrol's file object on POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "net/file_handle.h"

bool MakeFolder(const char* path) {
  struct stat st;
  return mkdir(path, 0777) == 0 || (stat(path, &st) == 0 && S_ISDIR(st.st_mode));
}

const intptr_t FileHandle::kClosed = -1;

FileHandle::FileHandle() : handle_(kClosed) {}

FileHandle::FileHandle(const char* name, uint32_t access, uint32_t sharing, FileCreation creation)
    : handle_(kClosed) {
  Open(name, access, sharing, creation);
}

FileHandle::~FileHandle() { Close(); }

int FileHandle::Open(const char* name, uint32_t access, uint32_t, FileCreation creation) {
  Close();
  int flags = O_CLOEXEC;
  if ((access & kFileRead) && (access & kFileWrite))
    flags |= O_RDWR;
  else if (access & kFileWrite)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  if (creation == kCreateAlways) flags |= O_CREAT | O_TRUNC;
  int fd = open(name, flags, 0666);
  if (fd < 0) {
    error_ = uint32_t(errno);
    return 0;
  }
  handle_ = fd;
  return 1;
}

void FileHandle::Close() {
  if (handle_ != kClosed) close(int(handle_));
  handle_ = kClosed;
}

size_t FileHandle::Read(void* buffer, size_t n) {
  if (!IsOpen()) return 0;
  size_t total = 0;
  while (total < n) {
    ssize_t got = read(int(handle_), static_cast<char*>(buffer) + total, n - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += size_t(got);
  }
  return total;
}

size_t FileHandle::Write(const void* buffer, size_t n) {
  if (!IsOpen()) return 0;
  size_t total = 0;
  while (total < n) {
    ssize_t put = write(int(handle_), static_cast<const char*>(buffer) + total, n - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    total += size_t(put);
  }
  return total;
}

void FileHandle::Flush() {
  if (IsOpen()) fsync(int(handle_));
}

int64_t FileHandle::Seek(int64_t distance, SeekMethod method) {
  if (!IsOpen()) return -1;
  int whence = method == kSeekBegin ? SEEK_SET : method == kSeekCurrent ? SEEK_CUR : SEEK_END;
  off_t at = lseek(int(handle_), off_t(distance), whence);
  return at < 0 ? -1 : int64_t(at);
}

uint64_t FileHandle::GetSize() {
  struct stat st;
  if (!IsOpen() || fstat(int(handle_), &st) != 0) return 0;
  return uint64_t(st.st_size);
}
