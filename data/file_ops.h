// The file operations a safe replacement is made of: the seam where tests inject faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FileOps {
 public:
  typedef intptr_t File;
  static constexpr File kNoFile = -1;

  virtual ~FileOps() {}
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
};

// The platform's file system.
FileOps* RealFileOps();

// Writes data to a temporary file beside path, flushes it and renames it over path, so
// path holds either its old or its new bytes whatever fails or however the program ends.
// On failure the temporary file is removed and path is untouched. True on success; then
// the temporary files of earlier writes of path that were cut short (the program ended in
// the middle) are removed too, unless their writes are still going on.
bool ReplaceThroughTemp(FileOps* ops, const char* path, const void* data, size_t size);
