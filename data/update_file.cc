// Reads an update file into a code-ordered PriceItem array, one record per code.
#include "data/update_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/item_sort.h"
#include "data/line_scan.h"
#include "data/memory_advice.h"

namespace {

// Text fields keep this many bytes, even when that splits a double-byte character.
const size_t kTextFieldBytes = 30;
// The record array starts with this many records and grows by whole multiples of it.
const size_t kGrowRecords = 512;

void CopyTextField(char* out, Span f) {
  memcpy(out, f.data, f.size < kTextFieldBytes ? f.size : kTextFieldBytes);
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

int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count) {
  ItemParser parser(library);
  if (!parser.Start() || !parser.Parse(text, text + strlen(text), true)) return 1;
  return FinishItems(&parser, items, count);
}

int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count,
                   size_t chunk_bytes, Disk* disk) {
  if (!disk) disk = RealDisk();
  Disk::File f = disk->OpenForRead(path);
  if (f == Disk::kNoFile) return 1;
  uint64_t size = 0;
  bool sized = disk->FileSize(f, &size);
  if (chunk_bytes == 0) chunk_bytes = 1;
  // A line left over from one piece, the next piece and a NUL after it. The text is read
  // piece by piece into the same buffer: holding all of it would cost fresh memory as
  // large as the file, which is slow to touch for the first time.
  char* buffer = sized ? static_cast<char*>(malloc(kMaxLineBytes + chunk_bytes + 1)) : nullptr;
  ItemParser parser(library);
  if (!buffer || !parser.Start()) {
    free(buffer);
    disk->Close(f);
    return 1;
  }
  // Reads no more than the size found at the start; a short read ends the text there.
  uint64_t left = size;
  size_t carried = 0;
  bool ok = true, first = true;
  for (;;) {
    size_t want = left < chunk_bytes ? size_t(left) : chunk_bytes;
    size_t got = disk->ReadFull(f, buffer + carried, want);
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
  disk->Close(f);
  return ok ? FinishItems(&parser, items, count) : 1;
}
