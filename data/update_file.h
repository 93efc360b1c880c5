// Loading an update file: its item lines into a code-ordered array of records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/disk.h"
#include "data/price_item.h"
#include "data/price_library.h"

// The file is read in pieces of this many bytes.
const size_t kLoadChunkBytes = size_t(1) << 20;
// Files at least this large are parsed in two halves at once, on two threads.
const uint64_t kParallelLoadBytes = uint64_t(8) << 20;

// 0: read; *items gets a malloc'ed array (at least one zero record after the last item)
// and *count its records. 1: cannot be opened (or not held in memory); outputs untouched.
// chunk_bytes and parallel_bytes (0: never in halves) change only how the file is read,
// never what it gives. The file is read through disk (null: the real one). Only the
// calling thread calls the library.
int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count,
                   size_t chunk_bytes = kLoadChunkBytes, Disk* disk = nullptr,
                   uint64_t parallel_bytes = kParallelLoadBytes);

// LoadUpdateFile on text already in memory, which ends at its first NUL. Same results;
// 1 only when memory runs out.
int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count);
