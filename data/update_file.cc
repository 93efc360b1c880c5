// Reads an update file into a code-ordered PriceItem array, one record per code.
#include "data/update_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/memory_advice.h"

namespace {

// The fields of an item line that are used; later ones are ignored.
const int kItemFields = 8;
// Text fields keep this many bytes, even when that splits a double-byte character.
const size_t kTextFieldBytes = 30;
// The record array starts with this many records and grows by whole multiples of it.
const size_t kGrowRecords = 512;

bool IsSpacing(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Bytes that end a line (CR, LF, NUL) or matter inside one (comma, double quote); the
// scanners run over everything else with one table look-up per byte.
enum ByteClass : uint8_t { kPlainByte, kLineEndByte, kCommaByte, kQuoteByte };

struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    of[0] = kLineEndByte;
    of[unsigned('\r')] = kLineEndByte;
    of[unsigned('\n')] = kLineEndByte;
    of[unsigned(',')] = kCommaByte;
    of[unsigned('"')] = kQuoteByte;
  }
};
constexpr ByteClasses kClasses;

inline uint8_t ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

// A field of a line: bytes that are not NUL-terminated.
struct Span {
  const char* data;
  size_t size;
};

// Finds the end of the line at p and its fields in one walk: the line ends at the first
// CR, LF or NUL after its first byte, which belongs to it whatever it is (as ReadLine takes
// it; the caller has checked it is no NUL). The fields point into the line. Sets *quoted
// when a quote before the end of field 7 makes the fields differ from the bytes. The text
// must end in a NUL, which stops the walk.
const char* ScanLine(const char* p, Span fields[kItemFields], bool* quoted) {
  const char* c = p;
  const char* start = p;
  int k = 0;
  bool quote = false;
  if (ClassOf(*c) == kLineEndByte) c++;
  for (;;) {
    uint8_t cls;
    while ((cls = ClassOf(*c)) == kPlainByte) c++;
    if (cls == kLineEndByte) break;
    if (cls == kQuoteByte) {
      quote |= k < kItemFields;
    } else if (k < kItemFields) {
      // A comma ends field k; the one after field 7 ends what is read of the line.
      fields[k++] = Span{start, size_t(c - start)};
      start = c + 1;
    }
    c++;
  }
  if (k < kItemFields) {
    fields[k] = Span{start, size_t(c - start)};
    // Past the line's last comma every field is its last one.
    for (int i = k + 1; i < kItemFields; i++) fields[i] = fields[k];
  }
  *quoted = quote;
  return c;
}

// The fields of a line with quotes, or of a line cut short, as GetField gives them: quotes
// toggle quoting and vanish, so the fields are copied into buffer (kLineBufferSize bytes).
void SplitQuotedLine(const char* p, const char* q, char* buffer, Span fields[kItemFields]) {
  int k = 0;
  size_t o = 0, start = 0;
  bool quoted = false;
  for (const char* c = p; c < q; c++) {
    if (!quoted && *c == ',') {
      fields[k] = Span{buffer + start, o - start};
      if (++k == kItemFields) return;
      start = o;
    } else if (*c == '"') {
      quoted = !quoted;
    } else {
      buffer[o++] = *c;
    }
  }
  fields[k] = Span{buffer + start, o - start};
  for (int i = k + 1; i < kItemFields; i++) fields[i] = fields[k];
}

// ParseDecimal of a field that is not NUL-terminated.
uint32_t SpanDecimal(Span f) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(f.data);
  const unsigned char* end = p + f.size;
  while (p < end && IsSpacing(*p)) p++;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  uint32_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; p++) value = value * 10u + uint32_t(*p - '0');
  return negative ? 0u - value : value;
}

void CopyTextField(char* out, Span f) {
  memcpy(out, f.data, f.size < kTextFieldBytes ? f.size : kTextFieldBytes);
}

Code NormalisedCode(Code c) {
  // Bits 24-31 and 40-47: the high bytes of SmallItem and MiddleItem.
  const Code kIgnoredBytes = (Code(0xFF) << 24) | (Code(0xFF) << 40);
  unsigned category = CodeCategory(c);
  if (category == 0) return 0;
  if (category == 1 || category == 2) return c & ~kIgnoredBytes;
  return c;
}

// The records parsed so far, in file order, and whether that order is already the sorted
// one. Text arrives in pieces; a line is parsed once all of it has arrived.
class ItemParser {
 public:
  explicit ItemParser(PriceLibrary* library) : library_(library) {}
  ~ItemParser() { free(records_); }
  ItemParser(const ItemParser&) = delete;
  ItemParser& operator=(const ItemParser&) = delete;

  bool Start() { return Reserve(kGrowRecords); }

  // Parses the lines of [begin, end), where *end is a NUL that is not part of the text.
  // With more text to come, a line that reaches end is left for the next call: the result
  // is where it starts (end when there is none). A NUL in the text ends it for good.
  // Null when memory runs out.
  const char* Parse(const char* begin, const char* end, bool last) {
    const char* p = begin;
    const char* long_line_end = nullptr;
    if (skipping_line_ends_) {
      while (IsLineEnd(*p)) p++;
      if (p == end && !last) return end;
      skipping_line_ends_ = false;
    }
    while (p < end) {
      if (*p == '\0') {
        ended_ = true;
        return p;
      }
      Span f[kItemFields];
      bool quoted = true;
      // The pieces of a long line are not walked again to their common end.
      const char* q = p < long_line_end ? long_line_end : ScanLine(p, f, &quoted);
      if (q == end && !last && q - p < kMaxLineBytes) return p;
      char copy[kLineBufferSize];
      if (q - p > kMaxLineBytes) {
        // Cut after kMaxLineBytes bytes; the rest is read as the next line.
        long_line_end = q;
        q = p + kMaxLineBytes;
        quoted = true;
      }
      if (quoted) SplitQuotedLine(p, q, copy, f);
      if (!ParseItem(f)) return nullptr;
      p = q;
      while (IsLineEnd(*p)) p++;
      // The run of line ends after the line may go on in the next piece.
      if (p == end && !last) skipping_line_ends_ = true;
    }
    return p;
  }

  bool ended() const { return ended_; }
  size_t count() const { return count_; }
  bool sorted() const { return sorted_; }

  // Makes room for at least records more than there are.
  bool Reserve(size_t records) {
    if (count_ > SIZE_MAX - records) return false;
    size_t wanted = count_ + records;
    if (wanted <= capacity_) return true;
    // The count travels as an int, so the array never needs more than INT_MAX records.
    if (wanted > size_t(INT_MAX) || wanted > SIZE_MAX / sizeof(PriceItem)) return false;
    PriceItem* grown = static_cast<PriceItem*>(realloc(records_, wanted * sizeof(PriceItem)));
    if (!grown) return false;
    records_ = grown;
    capacity_ = wanted;
    AdviseLargePages(records_ + count_, (capacity_ - count_) * sizeof(PriceItem));
    return true;
  }

  // Hands the array over; the parser is empty afterwards.
  PriceItem* Release() {
    PriceItem* r = records_;
    records_ = nullptr;
    capacity_ = count_ = 0;
    return r;
  }

 private:
  // Adds the item of a line's fields, unless field 0 is no item code. False when memory
  // runs out.
  bool ParseItem(const Span f[kItemFields]) {
    char code_text[kLineBufferSize];
    memcpy(code_text, f[0].data, f[0].size);
    code_text[f[0].size] = '\0';
    Code code = library_->ParseItemCode(code_text);
    if (CodeCategory(code) == 0) return true;
    if (count_ == capacity_ && !Grow()) return false;
    PriceItem* item = &records_[count_++];
    memset(item, 0, sizeof *item);
    item->code = code;
    CopyTextField(item->material_name, f[1]);
    CopyTextField(item->material_note, f[2]);
    item->execution_price = SpanDecimal(f[3]);
    item->estimate_price = SpanDecimal(f[4]);
    item->unit_code = uint8_t(SpanDecimal(f[5]));
    item->work_type = uint16_t(SpanDecimal(f[6]));
    item->supplier_code = uint16_t(SpanDecimal(f[7]));
    // Strictly rising codes are already in the sorted order, with no duplicate to drop.
    Code key = NormalisedCode(code);
    if (count_ > 1 && key <= last_key_) sorted_ = false;
    last_key_ = key;
    return true;
  }

  // One step while small, about half the size once large, so that a big file is not
  // moved thousands of times.
  bool Grow() {
    return Reserve(std::max(kGrowRecords, capacity_ / 2 / kGrowRecords * kGrowRecords));
  }

  PriceLibrary* library_;
  PriceItem* records_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
  Code last_key_ = 0;
  bool sorted_ = true;
  bool ended_ = false;
  bool skipping_line_ends_ = false;
};

// A record's place in the sorted order: its normalised code, then its place in the file.
struct SortKey {
  Code code;
  size_t index;
};

// The order of SortItems: among equal codes the later record first.
inline bool Before(const SortKey& x, const SortKey& y) {
  return x.code < y.code || (x.code == y.code && x.index > y.index);
}

// The pre-shuffle of SortItems, which breaks up ordered input for a quicksort whose pivot
// is the first element. The order is total, so no result depends on it.
template <typename T>
void ShuffleStep(T* a, size_t n) {
  for (size_t j = 0; j < n; j += 10) std::swap(a[j], a[(n / 2 + 5 + j) % n]);
}

// Sorts items[0, n) into the order of SortItems in place, drops every record whose code
// equals that of a record kept before it, and zeroes the freed records. Returns the kept
// count, or SIZE_MAX when memory runs out (items untouched).
size_t SortInPlace(PriceItem* items, size_t n) {
  if (n == 0) return 0;
  if (n > SIZE_MAX / sizeof(SortKey)) return SIZE_MAX;
  SortKey* keys = static_cast<SortKey*>(malloc(n * sizeof(SortKey)));
  if (!keys) return SIZE_MAX;
  for (size_t i = 0; i < n; i++) keys[i] = SortKey{NormalisedCode(items[i].code), i};
  ShuffleStep(keys, n);
  // The order is total, so any correct sort gives the same result; introsort stays
  // n log n on every input.
  std::sort(keys, keys + n, Before);
  // from[j]: the record that goes to place j. The kept records come first; the dropped
  // ones fill the places after them, so that from is a permutation. It takes the keys'
  // memory, each key read before its bytes are written.
  size_t* from = reinterpret_cast<size_t*>(keys);
  std::vector<bool> is_kept;
  std::vector<SortKey> run;
  size_t kept = 0;
  try {
    is_kept.assign(n, false);
    // A run of records equal in order, keys[s, e), is in the order of their lines from the
    // last. Codes that differ only in the ignored bytes may stand between two lines of one
    // code, so a code is dropped when it was kept anywhere in the run, not only just before.
    for (size_t s = 0, e; s < n; s = e) {
      for (e = s + 1; e < n && keys[e].code == keys[s].code; e++) {
      }
      Code first = items[keys[s].index].code;
      bool one_code = true;
      for (size_t i = s + 1; i < e && one_code; i++) one_code = items[keys[i].index].code == first;
      if (one_code) {
        size_t index = keys[s].index;
        from[kept++] = index;
        is_kept[index] = true;
        continue;
      }
      run.assign(keys + s, keys + e);
      for (SortKey& k : run) k.code = items[k.index].code;
      std::sort(run.begin(), run.end(), Before);
      for (size_t i = 0; i < run.size(); i++)
        if (i == 0 || run[i].code != run[i - 1].code) is_kept[run[i].index] = true;
      std::sort(run.begin(), run.end(),
                [](const SortKey& x, const SortKey& y) { return x.index > y.index; });
      for (const SortKey& k : run)
        if (is_kept[k.index]) from[kept++] = k.index;
    }
  } catch (const std::bad_alloc&) {
    free(keys);
    return SIZE_MAX;
  }
  for (size_t index = 0, j = kept; j < n; index++)
    if (!is_kept[index]) from[j++] = index;
  // Applies the permutation cycle by cycle, marking each finished place with itself.
  for (size_t i = 0; i < n; i++) {
    if (from[i] == i) continue;
    PriceItem held = items[i];
    size_t j = i;
    while (from[j] != i) {
      size_t k = from[j];
      items[j] = items[k];
      from[j] = j;
      j = k;
    }
    items[j] = held;
    from[j] = j;
  }
  free(keys);
  memset(items + kept, 0, (n - kept) * sizeof(PriceItem));
  return kept;
}

// Sorts the parsed records into the result: the kept ones, then zero records up to one
// after the parsed count, the array shrunk to that. 0, or 1 when memory runs out (outputs
// untouched).
int FinishItems(ItemParser* parser, PriceItem** items, int* count) {
  size_t n = parser->count();
  bool sorted = parser->sorted();
  if (!parser->Reserve(1)) return 1;
  PriceItem* records = parser->Release();
  size_t kept = sorted ? n : SortInPlace(records, n);
  if (kept == SIZE_MAX) {
    free(records);
    return 1;
  }
  memset(records + n, 0, sizeof(PriceItem));
  PriceItem* shrunk = static_cast<PriceItem*>(realloc(records, (n + 1) * sizeof(PriceItem)));
  *items = shrunk ? shrunk : records;
  *count = int(kept);
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
  return SortInPlace(items, size_t(count)) == SIZE_MAX ? 0 : 1;
}

int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count) {
  ItemParser parser(library);
  if (!parser.Start() || !parser.Parse(text, text + strlen(text), true)) return 1;
  return FinishItems(&parser, items, count);
}

int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count,
                   size_t chunk_bytes) {
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
  if (chunk_bytes == 0) chunk_bytes = 1;
  // A line left over from one piece, the next piece and a NUL after it. The text is read
  // piece by piece into the same buffer: holding all of it would cost fresh memory as
  // large as the file, which is slow to touch for the first time.
  char* buffer = sized ? static_cast<char*>(malloc(kMaxLineBytes + chunk_bytes + 1)) : nullptr;
  ItemParser parser(library);
  if (!buffer || !parser.Start()) {
    free(buffer);
    fclose(f);
    return 1;
  }
  // Reads no more than the size found at the start; a short read ends the text there.
  unsigned long long left = (unsigned long long)size;
  size_t carried = 0;
  bool ok = true, first = true;
  for (;;) {
    size_t want = left < chunk_bytes ? size_t(left) : chunk_bytes;
    size_t got = want > 0 ? fread(buffer + carried, 1, want, f) : 0;
    left -= got;
    bool last = got < want || left == 0;
    char* end = buffer + carried + got;
    *end = '\0';
    const char* rest = parser.Parse(buffer, end, last);
    if (!rest) {
      ok = false;
      break;
    }
    if (last || parser.ended()) break;
    if (first && left > 0) {
      // The first piece tells how many records the whole file holds, within a few per
      // cent: the array is sized once instead of growing (and being copied) step by step.
      first = false;
      size_t used = size_t(rest - buffer);
      double per_byte = used > 0 ? double(parser.count()) / double(used) : 0.0;
      double expected = per_byte * double(left + size_t(end - rest)) * 1.0625;
      if (expected < double(INT_MAX)) parser.Reserve(size_t(expected) + kGrowRecords);
    }
    carried = size_t(end - rest);
    memmove(buffer, rest, carried);
  }
  free(buffer);
  fclose(f);
  return ok ? FinishItems(&parser, items, count) : 1;
}
