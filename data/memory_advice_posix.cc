// Large-page advice for Linux: transparent huge pages, for the ranges that ask for them.
#include <sys/mman.h>

#include <cstdint>

#include "data/memory_advice.h"

void AdviseLargePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  const uintptr_t kHuge = uintptr_t(2) << 20;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  // A failure (no huge pages in this kernel) leaves ordinary pages, which work as well.
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}
