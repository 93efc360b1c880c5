// Reads over any disk's steps: pieces read in full, and whole files.
#include "data/disk.h"

size_t Disk::ReadFull(File file, void* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    size_t n = Read(file, static_cast<char*>(buffer) + got, size - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool Disk::ReadFile(const char* path, std::string* out) {
  out->clear();
  File file = OpenForRead(path);
  if (file == kNoFile) return false;
  uint64_t size = 0;
  bool ok = FileSize(file, &size) && size <= out->max_size();
  if (ok) {
    out->resize(size_t(size));
    ok = ReadFull(file, &(*out)[0], out->size()) == out->size();
  }
  Close(file);
  if (!ok) out->clear();
  return ok;
}
