// The update-file format: reading lines and fields, parsing items, sorting by code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/price_item.h"
#include "data/price_library.h"

// Longer lines are cut here and their rest is read as the next line.
const int kMaxLineBytes = 251;
// Size of the line and field buffers of ReadLine and GetField.
const int kLineBufferSize = 256;

// The file is read in pieces of this many bytes.
const size_t kLoadChunkBytes = size_t(1) << 20;

// 0: read; *items gets a malloc'ed array (at least one zero record after the last item)
// and *count its records. 1: cannot be opened (or not held in memory); outputs untouched.
// chunk_bytes changes only how the file is read, never what it gives.
int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count,
                   size_t chunk_bytes = kLoadChunkBytes);

// LoadUpdateFile on text already in memory, which ends at its first NUL. Same results;
// 1 only when memory runs out.
int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count);

// Copies the line that starts at text into line (kLineBufferSize bytes, NUL-terminated,
// at most kMaxLineBytes bytes) and returns the bytes consumed: the line and the run of
// CR and LF after it. 0 at the end of the text.
size_t ReadLine(const char* text, char* line);

// Field k (0-based) of a comma-separated line into field (kLineBufferSize bytes). Double
// quotes toggle quoting and are dropped; a line with fewer fields gives the text after
// its last comma.
void GetField(const char* line, int k, char* field);

// A decimal number at the start of text: leading spacing, an optional sign, digits;
// modulo 2^32. 0 when there are no digits.
uint32_t ParseDecimal(const char* text);

// Order of codes: -1, 0 or 1. Category 0 counts as the code 0; for categories 1 and 2 the
// high bytes of SmallItem and MiddleItem are ignored.
int CompareCodes(Code a, Code b);

// The first step of SortItems: for j = 0, 10, 20, ... below count, swaps pointer j with
// pointer (count / 2 + 5 + j) mod count.
void PreShuffle(PriceItem** pointers, int count);

// Orders the records by CompareCodes, among equal codes the later record first, and drops
// every record whose code equals that of a record kept before it (of one code the last
// line's record stays); the freed records at the end become zero. 1 when done, 0 when memory runs
// out (records left as they were).
int SortItems(PriceItem* items, int count);
