// Reads an update file into a code-ordered PriceItem array, one record per code.
#include "data/update_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The fields of an item line that are used; later ones are ignored.
const int kItemFields = 8;
// Text fields keep this many bytes, even when that splits a double-byte character.
const size_t kTextFieldBytes = 30;
// The record array grows in whole steps of this many records.
const size_t kGrowRecords = 512;

bool IsSpacing(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The first kTextFieldBytes bytes of field; out is zero already, so the text stays
// NUL-terminated.
void CopyTextField(char* out, const char* field) {
  for (size_t i = 0; i < kTextFieldBytes && field[i] != '\0'; i++) out[i] = field[i];
}

// Splits line as GetField does for k = 0 .. kItemFields - 1 in one walk: fields[k]
// points into storage, and a field past the line's last comma gives that last field.
void SplitItemLine(const char* line, char storage[kItemFields][kLineBufferSize],
                   const char* fields[kItemFields]) {
  int k = 0;
  size_t o = 0;
  bool quoted = false;
  for (const char* p = line; *p != '\0'; p++) {
    char c = *p;
    if (!quoted && c == ',') {
      storage[k][o] = '\0';
      if (k == kItemFields - 1) break;
      k++;
      o = 0;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (o < size_t(kLineBufferSize) - 1) {
      storage[k][o++] = c;
    }
  }
  storage[k][o] = '\0';
  for (int i = 0; i < kItemFields; i++) fields[i] = storage[i <= k ? i : k];
}

// Grows the zero-filled record array so that it holds more than count records.
bool GrowRecords(PriceItem** records, size_t* capacity) {
  size_t step = std::max(kGrowRecords, *capacity / 2 / kGrowRecords * kGrowRecords);
  // The count travels as an int, so the array never needs more than INT_MAX records.
  if (*capacity > size_t(INT_MAX) - step) return false;
  size_t grown = *capacity + step;
  if (grown > SIZE_MAX / sizeof(PriceItem)) return false;
  PriceItem* p = static_cast<PriceItem*>(realloc(*records, grown * sizeof(PriceItem)));
  if (!p) return false;
  memset(p + *capacity, 0, step * sizeof(PriceItem));
  *records = p;
  *capacity = grown;
  return true;
}

// The order of SortItems. The pointers lie in one array in file order, so the greater
// address is the later line.
inline bool Before(const PriceItem* x, const PriceItem* y) {
  int c = CompareCodes(x->code, y->code);
  return c < 0 || (c == 0 && x > y);
}

// Quicksort with the pivot at the lower end; each comparison of the two ends swaps them
// when out of order, moving the pivot to the other end. A range that is still unsorted
// after depth partitions goes to heap sort, so no input costs quadratic time or deep
// recursion. The order is total, so either way gives the same result.
void QuickSort(PriceItem** p, size_t lo, size_t hi, int depth) {
  while (lo < hi) {
    if (depth-- <= 0) {
      std::make_heap(p + lo, p + hi + 1, Before);
      std::sort_heap(p + lo, p + hi + 1, Before);
      return;
    }
    size_t i = lo, j = hi;
    bool pivot_low = true;
    while (i < j) {
      if (Before(p[j], p[i])) {
        std::swap(p[i], p[j]);
        pivot_low = !pivot_low;
      }
      if (pivot_low)
        j--;
      else
        i++;
    }
    if (i > lo) QuickSort(p, lo, i - 1, depth);
    lo = i + 1;
  }
}

}  // namespace

size_t ReadLine(const char* text, char* line) {
  size_t n = 0;
  if (text[0] != '\0') {
    line[n++] = text[0];
    while (n < size_t(kMaxLineBytes) && text[n] != '\r' && text[n] != '\n' && text[n] != '\0') {
      line[n] = text[n];
      n++;
    }
  }
  line[n] = '\0';
  size_t used = n;
  while (text[used] == '\r' || text[used] == '\n') used++;
  return used;
}

void GetField(const char* line, int k, char* field) {
  size_t o = 0;
  bool quoted = false;
  for (const char* p = line; *p != '\0'; p++) {
    char c = *p;
    if (!quoted && c == ',') {
      if (k <= 0) break;
      k--;
      o = 0;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (o < size_t(kLineBufferSize) - 1) {
      field[o++] = c;
    }
  }
  field[o] = '\0';
}

uint32_t ParseDecimal(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsSpacing(*p)) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; p++) value = value * 10u + uint32_t(*p - '0');
  return negative ? 0u - value : value;
}

int CompareCodes(Code a, Code b) {
  // Bits 24-31 and 40-47: the high bytes of SmallItem and MiddleItem.
  const Code kIgnoredBytes = (Code(0xFF) << 24) | (Code(0xFF) << 40);
  Code codes[2] = {a, b};
  for (Code& c : codes) {
    unsigned category = CodeCategory(c);
    if (category == 0)
      c = 0;
    else if (category == 1 || category == 2)
      c &= ~kIgnoredBytes;
  }
  return codes[0] < codes[1] ? -1 : codes[0] > codes[1] ? 1 : 0;
}

void PreShuffle(PriceItem** pointers, int count) {
  if (count <= 0) return;
  size_t n = size_t(count);
  for (size_t j = 0; j < n; j += 10) std::swap(pointers[j], pointers[(n / 2 + 5 + j) % n]);
}

int SortItems(PriceItem* items, int count) {
  if (count <= 0) return 1;
  size_t n = size_t(count);
  if (n > SIZE_MAX / sizeof(PriceItem)) return 0;
  PriceItem** pointers = static_cast<PriceItem**>(malloc(n * sizeof(PriceItem*)));
  PriceItem* kept = static_cast<PriceItem*>(malloc(n * sizeof(PriceItem)));
  if (!pointers || !kept) {
    free(pointers);
    free(kept);
    return 0;
  }
  for (size_t i = 0; i < n; i++) pointers[i] = &items[i];
  PreShuffle(pointers, count);
  int depth = 2;
  for (size_t m = n; m > 1; m >>= 1) depth += 2;
  QuickSort(pointers, 0, n - 1, depth);

  size_t used = 0;
  for (size_t i = 0; i < n; i++) {
    if (used > 0 && pointers[i]->code == kept[used - 1].code) continue;
    kept[used++] = *pointers[i];
  }
  memcpy(items, kept, used * sizeof(PriceItem));
  memset(items + used, 0, (n - used) * sizeof(PriceItem));
  free(pointers);
  free(kept);
  return 1;
}

int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count) {
  size_t capacity = kGrowRecords;
  PriceItem* records = static_cast<PriceItem*>(calloc(capacity, sizeof(PriceItem)));
  if (!records) return 1;
  size_t used = 0;
  char line[kLineBufferSize];
  char storage[kItemFields][kLineBufferSize];
  const char* fields[kItemFields];
  for (const char* pos = text; *pos != '\0';) {
    pos += ReadLine(pos, line);
    SplitItemLine(line, storage, fields);
    Code code = library->ParseItemCode(fields[0]);
    if (CodeCategory(code) == 0) continue;
    PriceItem* r = &records[used];
    r->code = code;
    CopyTextField(r->material_name, fields[1]);
    CopyTextField(r->material_note, fields[2]);
    r->execution_price = ParseDecimal(fields[3]);
    r->estimate_price = ParseDecimal(fields[4]);
    r->unit_code = uint8_t(ParseDecimal(fields[5]));
    r->work_type = uint16_t(ParseDecimal(fields[6]));
    r->supplier_code = uint16_t(ParseDecimal(fields[7]));
    used++;
    if (used == capacity && !GrowRecords(&records, &capacity)) {
      free(records);
      return 1;
    }
  }
  if (!SortItems(records, int(used))) {
    free(records);
    return 1;
  }
  size_t n = 0;
  while (n < used && CodeCategory(records[n].code) != 0) n++;
  *items = records;
  *count = int(n);
  return 0;
}

int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count) {
  FILE* f = fopen(path, "rb");
  if (!f) return 1;
#ifdef _WIN32
  bool sized = _fseeki64(f, 0, SEEK_END) == 0;
  long long size = sized ? _ftelli64(f) : -1;
  sized = size >= 0 && _fseeki64(f, 0, SEEK_SET) == 0;
#else
  bool sized = fseeko(f, 0, SEEK_END) == 0;
  long long size = sized ? (long long)ftello(f) : -1;
  sized = size >= 0 && fseeko(f, 0, SEEK_SET) == 0;
#endif
  // The text and its terminating NUL must fit in memory.
  if (!sized || (unsigned long long)size >= SIZE_MAX) {
    fclose(f);
    return 1;
  }
  size_t bytes = size_t(size);
  char* text = static_cast<char*>(malloc(bytes + 1));
  if (!text) {
    fclose(f);
    return 1;
  }
  // A short read leaves the rest of the reported size out of the text.
  size_t got = bytes > 0 ? fread(text, 1, bytes, f) : 0;
  text[got] = '\0';
  fclose(f);
  int result = ParseUpdateText(library, text, items, count);
  free(text);
  return result;
}
