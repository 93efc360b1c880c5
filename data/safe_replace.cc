// Replacing a file through a temporary file beside it.
#include <string>

#include "data/file_ops.h"

std::string TempNameFor(FileOps* ops, const char* path) {
  return std::string(path) + ".tmp" + std::to_string(ops->ProcessId());
}

bool ReplaceThroughTemp(FileOps* ops, const char* path, const void* data, size_t size) {
  std::string temp = TempNameFor(ops, path);
  FileOps::File file = ops->Create(temp.c_str());
  if (file == FileOps::kNoFile) {
    // A failed create may still have left an empty file behind.
    ops->Remove(temp.c_str());
    return false;
  }
  bool ok = size == 0 || ops->Write(file, data, size);
  // Flushed before the rename: otherwise a crash soon after could leave the new name on
  // bytes that never reached the disk.
  ok = ok && ops->Flush(file);
  ok = ops->Close(file) && ok;
  ok = ok && ops->Rename(temp.c_str(), path);
  if (!ok) ops->Remove(temp.c_str());
  return ok;
}
