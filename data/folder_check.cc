// Trying the program folder and its cache folder with a file made and removed at once.
#include "data/folder_check.h"

#include "data/cache_path.h"

namespace {

const char kCheckName[] = "costupdate-write-check.tmp";

// One file in folder: created, closed and removed. The process number keeps two programs
// starting together apart.
bool TryFile(Disk* disk, const std::string& folder, const char* shown, std::string* reason) {
  std::string path = folder + kCheckName + std::to_string(disk->ProcessId());
  Disk::File file = disk->Create(path.c_str());
  if (file == Disk::kNoFile) {
    disk->Remove(path.c_str());  // a failed create may still have left a name behind
    *reason = std::string("no file can be created in ") + shown;
    return false;
  }
  bool closed = disk->Close(file);
  if (!disk->Remove(path.c_str())) {
    *reason = std::string("a file created in ") + shown + " cannot be removed";
    return false;
  }
  if (!closed) {
    *reason = std::string("a file created in ") + shown + " cannot be closed";
    return false;
  }
  // Files of programs that ended between their create and their remove; not one that
  // another program starting now has open.
  const std::string prefix = folder + kCheckName;
  for (const std::string& name : disk->NamesStartingWith(prefix.c_str())) {
    if (name.compare(0, sizeof kCheckName - 1, kCheckName) == 0)
      disk->RemoveUnlessOpen((folder + name).c_str());
  }
  return true;
}

}  // namespace

bool CanWriteProgramDir(Disk* disk, const char* program_dir, std::string* reason) {
  reason->clear();
  std::string folder = program_dir;
  if (!TryFile(disk, folder, "the folder", reason)) return false;
  std::string cache = folder + kCacheDirName;
  disk->CreateFolder(cache.c_str());  // there already, or the file below tells
  return TryFile(disk, cache, kCacheDirName, reason);
}
