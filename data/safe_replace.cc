// Replacing a file through a temporary file beside it.
#include <string>

#include "data/file_ops.h"

std::string TempNameFor(FileOps* ops, const char* path) {
  return std::string(path) + ".tmp" + std::to_string(ops->ProcessId());
}

namespace {

// The name is path's name, ".tmp" and a process number: a temporary file of path.
bool IsTempOf(const std::string& prefix, const std::string& name) {
  size_t digits = name.find_last_not_of("0123456789") + 1;
  if (digits == name.size()) return false;
  size_t head = digits;  // the name before its number, ending in ".tmp"
  if (head > prefix.size() || prefix.compare(prefix.size() - head, head, name, 0, head) != 0)
    return false;
  char before = head < prefix.size() ? prefix[prefix.size() - head - 1] : '\0';
  return before == '\\' || before == '/';
}

void RemoveStaleTemps(FileOps* ops, const char* path) {
  std::string prefix = std::string(path) + ".tmp";
  for (const std::string& name : ops->NamesStartingWith(prefix.c_str())) {
    if (!IsTempOf(prefix, name)) continue;
    std::string stale = prefix + name.substr(name.find_last_not_of("0123456789") + 1);
    ops->RemoveUnlessOpen(stale.c_str());
  }
}

}  // namespace

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
  if (!ok) {
    ops->Remove(temp.c_str());
    return false;
  }
  RemoveStaleTemps(ops, path);
  return true;
}
