// Replacing a file through a temporary file beside it.
#include <string>

#include "data/disk.h"
#include "text/path_separator.h"

namespace {

// Where the process number of a temporary file's name starts: the name is path's own name,
// ".tmp" and digits, and prefix is path and ".tmp". 0 for any other name.
size_t TempNumberAt(const std::string& prefix, const std::string& name) {
  size_t head = name.find_last_not_of("0123456789") + 1;
  if (head == 0 || head == name.size() || head >= prefix.size() ||
      prefix.compare(prefix.size() - head, head, name, 0, head) != 0)
    return 0;
  // The name must follow a separator, not the trail byte 0x5C of a folder's last character.
  return IsSeparatorAt(prefix.data(), prefix.size(), prefix.size() - head - 1, "\\/") ? head : 0;
}

void RemoveStaleTemps(Disk* disk, const char* path) {
  std::string prefix = std::string(path) + ".tmp";
  for (const std::string& name : disk->NamesStartingWith(prefix.c_str())) {
    if (size_t at = TempNumberAt(prefix, name))
      disk->RemoveUnlessOpen((prefix + name.substr(at)).c_str());
  }
}

}  // namespace

bool ReplaceThroughTemp(Disk* disk, const char* path, const void* data, size_t size) {
  std::string temp = std::string(path) + ".tmp" + std::to_string(disk->ProcessId());
  Disk::File file = disk->Create(temp.c_str());
  if (file == Disk::kNoFile) {
    // A failed create may still have left an empty file behind.
    disk->Remove(temp.c_str());
    return false;
  }
  bool ok = size == 0 || disk->Write(file, data, size);
  // Flushed before the rename: otherwise a crash soon after could leave the new name on
  // bytes that never reached the disk.
  ok = ok && disk->Flush(file);
  ok = disk->Close(file) && ok;
  ok = ok && disk->Rename(temp.c_str(), path);
  if (!ok) {
    disk->Remove(temp.c_str());
    return false;
  }
  RemoveStaleTemps(disk, path);
  return true;
}
