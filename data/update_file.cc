// Reads an update file into a code-ordered PriceItem array, one record per code.
#include "data/update_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

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

// The code texts of a part parsed without the library, one after the other with their NULs.
class CodeTexts {
 public:
  explicit CodeTexts(size_t expected) : capacity_(expected) {}
  ~CodeTexts() { free(data_); }
  CodeTexts(const CodeTexts&) = delete;
  CodeTexts& operator=(const CodeTexts&) = delete;

  // The offset of the copy of f, or SIZE_MAX when memory runs out.
  size_t Add(Span f) {
    if (!data_ || f.size + 1 > capacity_ - size_) {
      size_t wanted = std::max(data_ ? capacity_ * 2 : capacity_, size_ + f.size + 1);
      char* grown = static_cast<char*>(realloc(data_, wanted));
      if (!grown) return SIZE_MAX;
      AdviseLargePages(grown + size_, wanted - size_);
      data_ = grown;
      capacity_ = wanted;
    }
    size_t at = size_;
    memcpy(data_ + at, f.data, f.size);
    data_[at + f.size] = '\0';
    size_ += f.size + 1;
    return at;
  }
  const char* text(size_t at) const { return data_ + at; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_;
};

// The records parsed so far, in file order, and whether that order is already the sorted
// one. Text arrives in pieces; a line is parsed once all of it has arrived.
class ItemParser {
 public:
  explicit ItemParser(PriceLibrary* library) : library_(library) {}
  ~ItemParser() {
    if (owns_records_) free(records_);
  }
  ItemParser(const ItemParser&) = delete;
  ItemParser& operator=(const ItemParser&) = delete;

  bool Start() { return Reserve(kGrowRecords); }

  // Parses into records[0, capacity) of an array that stays the caller's, for a part of
  // the text parsed beside another part; more records than that make the parse fail with
  // overflowed() set.
  void Attach(PriceItem* records, size_t capacity) {
    records_ = records;
    capacity_ = capacity;
    owns_records_ = false;
  }

  // Leaves the library alone: each record's code is instead the offset in *texts of its
  // code text (NUL-terminated), for the thread that may call the library to parse later.
  // Records of text that is no item code are kept too; sorted() says nothing then.
  void DeferCodes(CodeTexts* texts) { code_texts_ = texts; }

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
  bool overflowed() const { return overflowed_; }
  size_t count() const { return count_; }
  bool sorted() const { return sorted_; }
  Code last_key() const { return last_key_; }

  // Makes room for at least records more than there are.
  bool Reserve(size_t records) {
    if (count_ > SIZE_MAX - records) return false;
    size_t wanted = count_ + records;
    if (wanted <= capacity_) return true;
    if (!owns_records_) {
      overflowed_ = true;
      return false;
    }
    // The count travels as an int, so the array never needs more than INT_MAX records.
    if (wanted > size_t(INT_MAX) || wanted > SIZE_MAX / sizeof(PriceItem)) return false;
    PriceItem* grown = static_cast<PriceItem*>(realloc(records_, wanted * sizeof(PriceItem)));
    if (!grown) return false;
    records_ = grown;
    capacity_ = wanted;
    AdviseLargePages(records_ + count_, (capacity_ - count_) * sizeof(PriceItem));
    return true;
  }

  // Hands the array over (or forgets the caller's); the parser is empty afterwards.
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
    Code code;
    if (code_texts_) {
      size_t at = code_texts_->Add(f[0]);
      if (at == SIZE_MAX) return false;
      code = at;
    } else {
      char code_text[kLineBufferSize];
      memcpy(code_text, f[0].data, f[0].size);
      code_text[f[0].size] = '\0';
      code = library_->ParseItemCode(code_text);
      if (CodeCategory(code) == 0) return true;
    }
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
    if (code_texts_) return true;
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
  CodeTexts* code_texts_ = nullptr;
  bool owns_records_ = true;
  bool overflowed_ = false;
  PriceItem* records_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
  Code last_key_ = 0;
  bool sorted_ = true;
  bool ended_ = false;
  bool skipping_line_ends_ = false;
};

// Sorts records[0, n) into the result: the kept ones, then zero records up to one after n,
// the array (room for n + 1 records, from malloc) shrunk to that. 0, or 1 when memory runs
// out (the array freed, outputs untouched).
int FinishRecords(PriceItem* records, size_t n, bool sorted, PriceItem** items, int* count) {
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

int FinishItems(ItemParser* parser, PriceItem** items, int* count) {
  size_t n = parser->count();
  bool sorted = parser->sorted();
  if (!parser->Reserve(1)) return 1;
  return FinishRecords(parser->Release(), n, sorted, items, count);
}

// Reads the next limit bytes of f piece by piece and parses them. With estimate, the first
// piece sizes the parser's array for the whole of them. *short_read: the file gave fewer
// bytes. False when memory runs out or the parser's array is full.
bool ParsePieces(Disk* disk, Disk::File f, uint64_t limit, size_t chunk_bytes, bool estimate,
                 ItemParser* parser, bool* short_read = nullptr) {
  if (chunk_bytes == 0) chunk_bytes = 1;
  // A line left over from one piece, the next piece and a NUL after it. The text is read
  // piece by piece into the same buffer: holding all of it would cost fresh memory as
  // large as the file, which is slow to touch for the first time.
  char* buffer = static_cast<char*>(malloc(kMaxLineBytes + chunk_bytes + 1));
  if (!buffer) return false;
  // Reads no more than the size found at the start; a short read ends the text there.
  uint64_t left = limit;
  size_t carried = 0;
  bool ok = true;
  for (;;) {
    size_t want = left < chunk_bytes ? size_t(left) : chunk_bytes;
    size_t got = disk->ReadFull(f, buffer + carried, want);
    left -= got;
    bool last = got < want || left == 0;
    if (got < want && short_read) *short_read = true;
    char* end = buffer + carried + got;
    *end = '\0';
    const char* rest = parser->Parse(buffer, end, last);
    if (!rest) {
      ok = false;
      break;
    }
    if (last || parser->ended()) break;
    if (estimate && left > 0) {
      // The first piece tells how many records the whole file holds, within a few per
      // cent: the array is sized once instead of growing (and being copied) step by step.
      estimate = false;
      size_t used = size_t(rest - buffer);
      double per_byte = used > 0 ? double(parser->count()) / double(used) : 0.0;
      double expected = per_byte * double(left + size_t(end - rest)) * 1.0625;
      if (expected < double(INT_MAX)) parser->Reserve(size_t(expected) + kGrowRecords);
    }
    carried = size_t(end - rest);
    memmove(buffer, rest, carried);
  }
  free(buffer);
  return ok;
}

// Bytes looked at to find where the second half of a file starts, and to estimate how many
// lines it holds; a quarter of a smaller file.
const size_t kSampleBytes = 64 * 1024;

// Line starts in sample[1, n) that no line before them can reach: the first byte after a
// run of line ends. Sets *first to the first of them (n when none).
size_t CountLineStarts(const char* sample, size_t n, size_t* first) {
  size_t starts = 0;
  *first = n;
  for (size_t i = 1; i < n; i++) {
    if (IsLineEnd(sample[i - 1]) && !IsLineEnd(sample[i])) {
      if (starts++ == 0) *first = i;
    }
  }
  return starts;
}

// Reads up to bytes at offset into sample; the bytes read.
size_t ReadSample(Disk* disk, Disk::File f, uint64_t offset, char* sample, size_t bytes) {
  return disk->Seek(f, offset) ? disk->ReadFull(f, sample, bytes) : 0;
}

// Outcome of the load in two halves. kFailed: memory ran out, or the file could not be put
// back to its start.
enum class TwoHalves { kLoaded, kFailed, kNotSplit };

// Loads a large file with two threads: this one parses the lines up to a line start near
// the middle, the other the lines from there, into the far end of the same array. Only this
// thread calls the library: the other keeps its code texts, parsed here once it is done.
// kNotSplit (nothing given out, f where it was or back at the start) where the file has no
// line start near its middle, cannot be opened twice or positioned, or a half has more
// lines than its samples promised: the caller then loads it in one pass.
TwoHalves LoadInTwoHalves(PriceLibrary* library, Disk* disk, const char* path, Disk::File f,
                          uint64_t size, size_t chunk_bytes, PriceItem** items, int* count) {
  Disk::File second = disk->OpenForRead(path);
  if (second == Disk::kNoFile) return TwoHalves::kNotSplit;
  size_t sample_bytes = size_t(std::min<uint64_t>(kSampleBytes, size / 4));
  struct Closer {
    Disk* disk;
    Disk::File file;
    char* sample;
    ~Closer() {
      disk->Close(file);
      free(sample);
    }
  } closer{disk, second, static_cast<char*>(malloc(sample_bytes))};
  char* sample = closer.sample;
  if (!sample) return TwoHalves::kNotSplit;
  // The split: the first line start after the middle, seen from the byte before it. This
  // thread parses the second half's codes too once both are done, so its half is smaller:
  // that evens out the two threads' work on files of ordinary lines.
  uint64_t middle = size / 16 * 7 + size % 16 * 7 / 16;
  size_t got = ReadSample(disk, second, middle - 1, sample, sample_bytes);
  size_t first = 0;
  size_t middle_starts = CountLineStarts(sample, got, &first);
  if (first >= got) return TwoHalves::kNotSplit;
  uint64_t split = middle - 1 + first;
  size_t head = ReadSample(disk, f, 0, sample, sample_bytes);
  size_t unused = 0;
  size_t head_starts = CountLineStarts(sample, head, &unused);
  if (!disk->Seek(f, 0)) return head > 0 ? TwoHalves::kFailed : TwoHalves::kNotSplit;
  if (!disk->Seek(second, split)) return TwoHalves::kNotSplit;
  // Room for a sixteenth more lines per byte than the denser sample shows, as the one-pass
  // load allows: the room of the first half that its lines leave is touched when the second
  // half moves down, and a heap that shrinks a block in place may keep it resident. A half
  // that needs more is loaded again in one pass.
  double per_byte = std::max(double(middle_starts + 1) / double(got),
                             double(head_starts + 1) / double(head > 0 ? head : 1)) *
                    1.0625;
  double first_room = per_byte * double(split) + double(kGrowRecords);
  double second_room = per_byte * double(size - split) + double(kGrowRecords);
  if (first_room + second_room + 1 >= double(INT_MAX) ||
      (first_room + second_room + 1) * sizeof(PriceItem) >= double(SIZE_MAX))
    return TwoHalves::kNotSplit;
  size_t first_capacity = size_t(first_room), second_capacity = size_t(second_room);
  size_t total = first_capacity + second_capacity + 1;
  PriceItem* records = static_cast<PriceItem*>(malloc(total * sizeof(PriceItem)));
  if (!records) return TwoHalves::kNotSplit;
  AdviseLargePages(records, total * sizeof(PriceItem));

  ItemParser front(library), back(library);
  front.Attach(records, first_capacity);
  back.Attach(records + first_capacity, second_capacity);
  // About the length of a code text and its NUL per record.
  CodeTexts code_texts(second_capacity * 24);
  back.DeferCodes(&code_texts);
  bool back_ok = false, front_short = false;
  try {
    std::thread worker(
        [&] { back_ok = ParsePieces(disk, second, size - split, chunk_bytes, false, &back); });
    bool front_ok = ParsePieces(disk, f, split, chunk_bytes, false, &front, &front_short);
    worker.join();
    if (!front_ok && !front.overflowed()) {
      free(records);
      return TwoHalves::kFailed;
    }
  } catch (const std::system_error&) {
    // No second thread: nothing was read through f since it was put back at the start.
    free(records);
    return TwoHalves::kNotSplit;
  } catch (const std::bad_alloc&) {
    free(records);
    return TwoHalves::kNotSplit;
  }
  // A NUL before the split ends the text there, and so does a file that gave fewer bytes
  // than it had: the second half is not part of the text then.
  bool whole = !front.ended() && !front_short;
  if (front.overflowed() || (whole && !back_ok && back.overflowed())) {
    free(records);
    return disk->Seek(f, 0) ? TwoHalves::kNotSplit : TwoHalves::kFailed;
  }
  if (whole && !back_ok) {
    free(records);
    return TwoHalves::kFailed;
  }
  size_t n = front.count();
  bool sorted = front.sorted();
  Code last_key = front.last_key();
  if (whole) {
    // The second half's codes, in file order; its records then move down to close the gap,
    // a run of kept records at a time.
    PriceItem* from = records + first_capacity;
    size_t m = back.count(), run = 0;
    for (size_t i = 0; i <= m; i++) {
      if (i < m) {
        Code code = library->ParseItemCode(code_texts.text(size_t(from[i].code)));
        if (CodeCategory(code) != 0) {
          from[i].code = code;
          Code key = NormalisedCode(code);
          if (n + (i - run) > 0 && key <= last_key) sorted = false;
          last_key = key;
          continue;
        }
      }
      if (i > run && records + n != from + run)
        memmove(records + n, from + run, (i - run) * sizeof(PriceItem));
      n += i - run;
      run = i + 1;
    }
  }
  front.Release();
  back.Release();
  return FinishRecords(records, n, sorted, items, count) == 0 ? TwoHalves::kLoaded
                                                              : TwoHalves::kFailed;
}

}  // namespace

int ParseUpdateText(PriceLibrary* library, const char* text, PriceItem** items, int* count) {
  ItemParser parser(library);
  if (!parser.Start() || !parser.Parse(text, text + strlen(text), true)) return 1;
  return FinishItems(&parser, items, count);
}

int LoadUpdateFile(PriceLibrary* library, const char* path, PriceItem** items, int* count,
                   size_t chunk_bytes, Disk* disk, uint64_t parallel_bytes) {
  if (!disk) disk = RealDisk();
  Disk::File f = disk->OpenForRead(path);
  if (f == Disk::kNoFile) return 1;
  uint64_t size = 0;
  if (!disk->FileSize(f, &size)) {
    disk->Close(f);
    return 1;
  }
  int result = 1;
  TwoHalves halves = TwoHalves::kNotSplit;
  // The two samples must fit, apart.
  if (parallel_bytes > 0 && size >= parallel_bytes && size >= 8)
    halves = LoadInTwoHalves(library, disk, path, f, size, chunk_bytes, items, count);
  if (halves == TwoHalves::kLoaded) {
    result = 0;
  } else if (halves == TwoHalves::kNotSplit) {
    ItemParser parser(library);
    if (parser.Start() && ParsePieces(disk, f, size, chunk_bytes, true, &parser))
      result = FinishItems(&parser, items, count);
  }
  disk->Close(f);
  return result;
}
