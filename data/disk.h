// The file system as the core uses it: reads, stats, folders and the steps of a safe
// replacement. The one seam between the core and the files; tests put faults behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

class Disk;

// Writes data to a temporary file beside path, flushes it and renames it over path, so
// path holds either its old or its new bytes whatever fails or however the program ends.
// On failure the temporary file is removed and path is untouched. True on success; then
// the temporary files of earlier writes of path that were cut short (the program ended in
// the middle) are removed too, unless their writes are still going on.
bool ReplaceThroughTemp(Disk* disk, const char* path, const void* data, size_t size);

class Disk {
 public:
  typedef intptr_t File;
  static constexpr File kNoFile = -1;

  virtual ~Disk() {}

  // An existing file for reading, shared with other readers; kNoFile when it cannot be
  // opened.
  virtual File OpenForRead(const char* path) = 0;
  // Bytes read into buffer, at most size; 0 at the end or on failure.
  virtual size_t Read(File file, void* buffer, size_t size) = 0;
  // The size of an open file; false when it cannot be told.
  virtual bool FileSize(File file, uint64_t* size) = 0;
  // Moves the next Read to offset bytes from the start. False when the file cannot be
  // positioned, which is all that a disk without positioning says.
  virtual bool Seek(File, uint64_t) { return false; }

  // A new or emptied file for writing; kNoFile on failure.
  virtual File Create(const char* path) = 0;
  // True only when all size bytes were written.
  virtual bool Write(File file, const void* data, size_t size) = 0;
  // Through the system's buffers to the disk.
  virtual bool Flush(File file) = 0;
  virtual bool Close(File file) = 0;
  // Puts from in the place of to, which may exist, in one step.
  virtual bool Rename(const char* from, const char* to) = 0;
  virtual bool Remove(const char* path) = 0;
  // Creates the folder; false when it exists already or cannot be made.
  virtual bool CreateFolder(const char* path) = 0;
  // Removes the file unless a program has it open through Create; true when removed.
  virtual bool RemoveUnlessOpen(const char* path) = 0;
  // Names of the files in the folder of path_prefix whose names begin with its last part
  // (and possibly others: callers check the names).
  virtual std::vector<std::string> NamesStartingWith(const char* path_prefix) = 0;
  // Tells apart the temporary files of programs writing beside each other.
  virtual unsigned ProcessId() = 0;

  // Last-write time of an existing file, in UTC or converted to local time with the
  // current time-zone offset. False when the file cannot be opened or has no time.
  virtual bool LastWriteTime(const char* path, bool local, CalendarTime* out) = 0;

  // Puts data in place of path through ReplaceThroughTemp over this disk's steps, so that
  // a failure leaves the old file whole. False on any failure. Defined here: windows.h
  // makes ReplaceFile a macro, so the name differs between files that include it and
  // files that do not.
  virtual bool ReplaceFile(const char* path, const void* data, size_t size) {
    return ReplaceThroughTemp(this, path, data, size);
  }
  // Reads until size bytes are in or Read gives none; fewer only at the end or on failure.
  size_t ReadFull(File file, void* buffer, size_t size);
  // The whole file; false, with out emptied, when it cannot be opened or read to its end.
  bool ReadFile(const char* path, std::string* out);
};

// The real file system of the platform the program was built for.
Disk* RealDisk();

// The local time now.
CalendarTime LocalNow();
