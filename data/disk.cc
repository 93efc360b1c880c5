// Reading a whole file over any disk's steps.
#include "data/disk.h"

bool Disk::ReadFile(const char* path, std::string* out) {
  out->clear();
  File file = OpenForRead(path);
  if (file == kNoFile) return false;
  uint64_t size = 0;
  bool ok = FileSize(file, &size) && size <= out->max_size();
  if (ok) {
    out->resize(size_t(size));
    size_t at = 0;
    while (at < out->size()) {
      size_t n = Read(file, &(*out)[at], out->size() - at);
      if (n == 0) break;
      at += n;
    }
    ok = at == out->size();
  }
  Close(file);
  if (!ok) out->clear();
  return ok;
}
