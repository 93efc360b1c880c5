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
// The record array grows by whole multiples of this many records: one step while small,
// about half its size once large, so that a big file is not moved thousands of times.
const size_t kGrowRecords = 512;

bool IsSpacing(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The first kTextFieldBytes bytes of field; out is zero already, so the text stays
// NUL-terminated.
void CopyTextField(char* out, const char* field) {
  for (size_t i = 0; i < kTextFieldBytes && field[i] != '\0'; i++) out[i] = field[i];
}

// ReadLine and GetField for k = 0 .. kItemFields - 1 in one walk over the text: the line
// is split into fields as it is copied, each field NUL-terminated in line. A field past
// the line's last comma gives that last field. Returns the bytes consumed.
size_t ReadItemLine(const char* text, char* line, const char* fields[kItemFields]) {
  int k = 0;
  size_t o = 0;
  bool quoted = false;
  bool last_done = false;  // the comma after the last field used was seen
  fields[0] = line;
  size_t n = 0;
  if (text[0] != '\0') {
    do {
      char c = text[n++];
      if (last_done) continue;
      if (!quoted && c == ',') {
        if (k == kItemFields - 1) {
          last_done = true;
        } else {
          line[o++] = '\0';
          fields[++k] = line + o;
        }
      } else if (c == '"') {
        quoted = !quoted;
      } else {
        line[o++] = c;
      }
    } while (n < size_t(kMaxLineBytes) && text[n] != '\r' && text[n] != '\n' && text[n] != '\0');
  }
  line[o] = '\0';
  for (int i = k + 1; i < kItemFields; i++) fields[i] = fields[k];
  while (text[n] == '\r' || text[n] == '\n') n++;
  return n;
}

// Grows the full record array. The new records are left as they are: each is zeroed
// when it is filled, so pages that are never used are never touched.
bool GrowRecords(PriceItem** records, size_t* capacity) {
  size_t step = std::max(kGrowRecords, *capacity / 2 / kGrowRecords * kGrowRecords);
  // The count travels as an int, so the array never needs more than INT_MAX records.
  if (*capacity > size_t(INT_MAX) - step) return false;
  size_t grown = *capacity + step;
  if (grown > SIZE_MAX / sizeof(PriceItem)) return false;
  PriceItem* p = static_cast<PriceItem*>(realloc(*records, grown * sizeof(PriceItem)));
  if (!p) return false;
  *records = p;
  *capacity = grown;
  return true;
}

// A pointer with its normalised code beside it, so that comparisons read the small key
// array in order instead of the records scattered across the file's array.
struct SortKey {
  Code code;
  PriceItem* item;
};

Code NormalisedCode(Code c) {
  // Bits 24-31 and 40-47: the high bytes of SmallItem and MiddleItem.
  const Code kIgnoredBytes = (Code(0xFF) << 24) | (Code(0xFF) << 40);
  unsigned category = CodeCategory(c);
  if (category == 0) return 0;
  if (category == 1 || category == 2) return c & ~kIgnoredBytes;
  return c;
}

// The order of SortItems. The pointers lie in one array in file order, so the greater
// address is the later line.
inline bool Before(const SortKey& x, const SortKey& y) {
  return x.code < y.code || (x.code == y.code && x.item > y.item);
}

// The pre-shuffle of SortItems, which breaks up ordered input for a quicksort whose pivot
// is the first element. The order is total, so no result depends on it.
template <typename T>
void ShuffleStep(T* a, size_t n) {
  for (size_t j = 0; j < n; j += 10) std::swap(a[j], a[(n / 2 + 5 + j) % n]);
}

// Keys of the n records in the order of SortItems; null when memory runs out.
SortKey* SortedKeys(PriceItem* items, size_t n) {
  if (n > SIZE_MAX / sizeof(SortKey)) return nullptr;
  SortKey* keys = static_cast<SortKey*>(malloc(n * sizeof(SortKey)));
  if (!keys) return nullptr;
  for (size_t i = 0; i < n; i++) keys[i] = SortKey{NormalisedCode(items[i].code), &items[i]};
  ShuffleStep(keys, n);
  // The order is total, so any correct sort gives the same result; introsort stays
  // n log n on the already ordered files that makers publish.
  std::sort(keys, keys + n, Before);
  return keys;
}

// Copies the records in key order into out (n + 1 records), leaving out each whose code
// equals that of the record kept before it, and zeroes the rest. Returns the kept count.
size_t CopySorted(const SortKey* keys, size_t n, PriceItem* out) {
  size_t used = 0;
  for (size_t i = 0; i < n; i++) {
    if (used > 0 && keys[i].item->code == out[used - 1].code) continue;
    out[used++] = *keys[i].item;
  }
  memset(out + used, 0, (n + 1 - used) * sizeof(PriceItem));
  return used;
}

// Every item line of text into a new array of *used records with room for one more.
// False when memory runs out.
bool ParseItems(PriceLibrary* library, const char* text, PriceItem** records, size_t* used) {
  size_t capacity = kGrowRecords;
  PriceItem* r = static_cast<PriceItem*>(malloc(capacity * sizeof(PriceItem)));
  if (!r) return false;
  size_t n = 0;
  char line[kLineBufferSize];
  const char* fields[kItemFields];
  for (const char* pos = text; *pos != '\0';) {
    pos += ReadItemLine(pos, line, fields);
    Code code = library->ParseItemCode(fields[0]);
    if (CodeCategory(code) == 0) continue;
    PriceItem* item = &r[n];
    memset(item, 0, sizeof *item);
    item->code = code;
    CopyTextField(item->material_name, fields[1]);
    CopyTextField(item->material_note, fields[2]);
    item->execution_price = ParseDecimal(fields[3]);
    item->estimate_price = ParseDecimal(fields[4]);
    item->unit_code = uint8_t(ParseDecimal(fields[5]));
    item->work_type = uint16_t(ParseDecimal(fields[6]));
    item->supplier_code = uint16_t(ParseDecimal(fields[7]));
    n++;
    if (n == capacity && !GrowRecords(&r, &capacity)) {
      free(r);
      return false;
    }
  }
  *records = r;
  *used = n;
  return true;
}

// Sorts the parsed records into the result array and frees them. The sorted array takes
// the place of spare (malloc'ed, may be null; freed in any case): its pages are in memory
// already, and fresh pages cost more than the sort itself. 0, or 1 when memory runs out
// (outputs untouched).
int FinishItems(PriceItem* records, size_t used, void* spare, PriceItem** items, int* count) {
  if (used == 0) {
    free(spare);
    memset(records, 0, sizeof *records);
    *items = records;
    *count = 0;
    return 0;
  }
  SortKey* keys = SortedKeys(records, used);
  PriceItem* sorted = nullptr;
  if (keys && used < SIZE_MAX / sizeof(PriceItem)) {
    size_t bytes = (used + 1) * sizeof(PriceItem);
    sorted = static_cast<PriceItem*>(spare ? realloc(spare, bytes) : malloc(bytes));
  }
  if (!sorted) {
    free(spare);
    free(keys);
    free(records);
    return 1;
  }
  size_t kept = CopySorted(keys, used, sorted);
  free(keys);
  free(records);
  size_t n = 0;
  while (n < kept && CodeCategory(sorted[n].code) != 0) n++;
  *items = sorted;
  *count = int(n);
  return 0;
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
  Code x = NormalisedCode(a), y = NormalisedCode(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

void PreShuffle(PriceItem** pointers, int count) {
  if (count <= 0) return;
  ShuffleStep(pointers, size_t(count));
}

int SortItems(PriceItem* items, int count) {
  if (count <= 0) return 1;
  size_t n = size_t(count);
  if (n >= SIZE_MAX / sizeof(PriceItem)) return 0;
  SortKey* keys = SortedKeys(items, n);
  PriceItem* sorted = keys ? static_cast<PriceItem*>(malloc((n + 1) * sizeof(PriceItem))) : nullptr;
  if (!sorted) {
    free(keys);
    return 0;
  }
  CopySorted(keys, n, sorted);
  memcpy(items, sorted, n * sizeof(PriceItem));
  free(keys);
  free(sorted);
  return 1;
}

int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count) {
  PriceItem* records = nullptr;
  size_t used = 0;
  if (!ParseItems(library, text, &records, &used)) return 1;
  return FinishItems(records, used, nullptr, items, count);
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
  PriceItem* records = nullptr;
  size_t used = 0;
  if (!ParseItems(library, text, &records, &used)) {
    free(text);
    return 1;
  }
  // The text is done with; its memory takes the sorted records.
  return FinishItems(records, used, text, items, count);
}
