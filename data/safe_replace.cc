// Replacing a file through a temporary file beside it.
#include <string>

#include "data/file_ops.h"

namespace {

// Where the process number of a temporary file's name starts: the name is path's own name,
// ".tmp" and digits, and prefix is path and ".tmp". 0 for any other name.
size_t TempNumberAt(const std::string& prefix, const std::string& name) {
  size_t head = name.find_last_not_of("0123456789") + 1;
  if (head == 0 || head == name.size() || head >= prefix.size() ||
      prefix.compare(prefix.size() - head, head, name, 0, head) != 0)
    return 0;
  char before = prefix[prefix.size() - head - 1];
  return before == '\\' || before == '/' ? head : 0;
}

void RemoveStaleTemps(FileOps* ops, const char* path) {
  std::string prefix = std::string(path) + ".tmp";
  for (const std::string& name : ops->NamesStartingWith(prefix.c_str())) {
    if (size_t at = TempNumberAt(prefix, name))
      ops->RemoveUnlessOpen((prefix + name.substr(at)).c_str());
  }
}

}  // namespace

bool ReplaceThroughTemp(FileOps* ops, const char* path, const void* data, size_t size) {
  std::string temp = std::string(path) + ".tmp" + std::to_string(ops->ProcessId());
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
