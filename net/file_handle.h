// The Patrol's file object: one operating-system file, closed when the object goes.
#pragma once

#include <cstddef>
#include <cstdint>

enum FileAccess : uint32_t { kFileNoAccess = 0, kFileRead = 1, kFileWrite = 2 };
enum FileSharing : uint32_t { kShareNone = 0, kShareRead = 1, kShareWrite = 2 };
enum FileCreation : uint32_t { kOpenExisting, kCreateAlways };
enum SeekMethod : uint32_t { kSeekBegin, kSeekCurrent, kSeekEnd };

// Creates a folder; true when it exists afterwards.
bool MakeFolder(const char* path);

class FileHandle {
 public:
  FileHandle();
  // Opens at once; on failure the object stays closed with LastError() set.
  FileHandle(const char* name, uint32_t access, uint32_t sharing, FileCreation creation);
  virtual ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Bytes read (0 when closed).
  virtual size_t Read(void* buffer, size_t n);
  // Bytes written (0 when closed).
  virtual size_t Write(const void* buffer, size_t n);
  // Flushes the file to the disk when open.
  virtual void Flush();
  // The new position, or -1 when closed or the seek fails.
  virtual int64_t Seek(int64_t distance, SeekMethod method);

  // 1, or 0 with LastError() set; an open file is closed first. Sharing has no effect
  // outside Windows.
  int Open(const char* name, uint32_t access, uint32_t sharing, FileCreation creation);
  // The file's size, or 0 when closed.
  uint64_t GetSize();
  bool IsOpen() const { return handle_ != kClosed; }
  // The system's error code of the last failed open.
  uint32_t LastError() const { return error_; }
  void Close();

 private:
  static const intptr_t kClosed;
  intptr_t handle_;  // a HANDLE or a descriptor
  uint32_t error_ = 0;
};
