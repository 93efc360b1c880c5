// The undo file's layouts, little-endian. The current one: a header, the groups, the counts,
// a checksum and an end mark; each group holds its counts and hashes and, per record the
// apply set, the position, the record found there and the words the apply changed in it.
// The first one held each group's records whole and the counts in its header.
#include "data/undo_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kMagic[8] = {'C', 'U', 'U', 'N', 'D', 'O', '0', '2'};
const char kFirstMagic[8] = {'C', 'U', 'U', 'N', 'D', 'O', '0', '1'};
const char kEndMark[8] = {'C', 'U', 'U', 'N', 'D', 'E', 'N', 'D'};
const size_t kDirBytes = 256;
// Magic, folder, time.
const size_t kHeaderBytes = 8 + kDirBytes + sizeof(CalendarTime);
// Group count, item count, checksum, end mark.
const size_t kTrailerBytes = 4 + 4 + 8 + 8;
// Code, two counts, two hashes, the number of changes.
const size_t kGroupHeadBytes = 8 + 4 + 4 + 8 + 8 + 4;
// A record is compared and changed in 4-byte words.
const size_t kWords = sizeof(PriceItem) / 4;
static_assert(sizeof(PriceItem) % 4 == 0 && kWords <= 32, "a word mask fits 32 bits");

const char kDamaged[] = "元に戻す記録が壊れています。";

void Put(std::vector<uint8_t>* out, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  Put(out, b, 4);
}

void Put64(std::vector<uint8_t>* out, uint64_t v) {
  Put32(out, uint32_t(v));
  Put32(out, uint32_t(v >> 32));
}

uint32_t Word(const PriceItem& r, size_t w) {
  uint32_t v;
  std::memcpy(&v, reinterpret_cast<const uint8_t*>(&r) + 4 * w, 4);
  return v;
}

void SetWord(PriceItem* r, size_t w, uint32_t v) {
  std::memcpy(reinterpret_cast<uint8_t*>(r) + 4 * w, &v, 4);
}

PriceItem ZeroRecord() {
  PriceItem zero;
  std::memset(&zero, 0, sizeof zero);
  return zero;
}

bool Same(const PriceItem& a, const PriceItem& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

uint64_t RecordHash(const PriceItem& r) {
  uint64_t h = 0x243F6A8885A308D3ull;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&r);
  for (size_t i = 0; i < sizeof r; i += 4) {
    uint32_t w;
    std::memcpy(&w, p + i, 4);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  h = (h ^ (h >> 29)) * 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 32);
}

// Reads fields off the front of the bytes; any read past the end fails and stays failed.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), left_(size) {}
  bool ok() const { return ok_; }
  void Fail() { ok_ = false; }
  size_t left() const { return left_; }
  bool Take(void* out, size_t size) {
    if (!ok_ || size > left_) return ok_ = false;
    if (size == 0) return true;
    std::memcpy(out, p_, size);
    p_ += size;
    left_ -= size;
    return true;
  }
  uint32_t U32() {
    uint8_t b[4] = {};
    Take(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  uint64_t U64() {
    uint64_t low = U32();
    return low | uint64_t(U32()) << 32;
  }
  // count records of size bytes each, when that many bytes are left.
  bool Fits(uint64_t count, size_t size) { return ok_ && count <= left_ / size; }

 private:
  const uint8_t* p_;
  size_t left_;
  bool ok_ = true;
};

void ReadHeader(Reader* r, UndoRecord* out) {
  char dir[kDirBytes + 1] = {};
  r->Take(dir, kDirBytes);
  out->program_dir = dir;
  r->Take(&out->time, sizeof out->time);
}

// Old records and hashes of a first-format group, from its whole records.
void CompleteFirstFormat(UndoGroup* g) {
  g->whole = true;
  g->before_count = uint32_t(g->before.size());
  std::vector<PriceItem> records(g->before);
  records.resize(g->after_count, ZeroRecord());
  g->old.resize(g->positions.size());
  for (size_t i = 0; i < g->positions.size(); i++) {
    g->old[i] = records[g->positions[i]];
    records[g->positions[i]] = g->changed[i];
  }
  g->before_hash = GroupHash(g->before.data(), g->before.size());
  g->after_hash = GroupHash(records.data(), records.size());
}

bool ParseFirstFormat(const uint8_t* data, size_t size, UndoRecord* out, std::string* error) {
  const size_t header = kHeaderBytes + 4 + 4;
  if (size < header + 16) {
    *error = "元に戻す記録ではありません。";
    return false;
  }
  Reader sum(data + size - 16, 8);
  if (sum.U64() != UndoChecksum(data, size - 16)) {
    *error = kDamaged;
    return false;
  }
  Reader r(data + 8, size - 8 - 16);
  ReadHeader(&r, out);
  uint32_t groups = r.U32();
  uint32_t items = r.U32();
  // Each group takes at least 20 bytes, so the count cannot ask for more than the file holds.
  if (!r.Fits(groups, 20)) {
    *error = kDamaged;
    return false;
  }
  out->groups.resize(groups);
  for (UndoGroup& g : out->groups) {
    g.code = r.U64();
    uint32_t before = r.U32();
    if (!r.Fits(before, sizeof(PriceItem))) break;
    g.before.resize(before);
    r.Take(g.before.data(), before * sizeof(PriceItem));
    g.after_count = r.U32();
    uint32_t changed = r.U32();
    // An apply only appends records it set, so the group grew by at most their number.
    if (!r.Fits(changed, 4 + sizeof(PriceItem)) || g.after_count < before ||
        g.after_count - before > changed) {
      r.Fail();
      break;
    }
    g.positions.resize(changed);
    for (uint32_t& p : g.positions) {
      p = r.U32();
      if (p >= g.after_count) r.Fail();
    }
    g.changed.resize(changed);
    r.Take(g.changed.data(), changed * sizeof(PriceItem));
    // A record that the group's code does not name would be written into another group.
    for (const PriceItem& item : g.changed)
      if (CodeGroup(item.code) != CodeGroup(g.code)) r.Fail();
    if (!r.ok()) break;
    CompleteFirstFormat(&g);
  }
  if (!r.ok() || r.left() != 0 || out->ItemCount() != items) {
    *out = UndoRecord();
    *error = kDamaged;
    return false;
  }
  return true;
}

}  // namespace

size_t UndoRecord::ItemCount() const {
  size_t n = 0;
  for (const UndoGroup& g : groups) n += g.changed.size();
  return n;
}

uint64_t GroupHash(const PriceItem* records, size_t count) {
  // A sum of the records' hashes: the same in any order, and one changed record changes it.
  uint64_t sum = 0x9E3779B97F4A7C15ull * count;
  for (size_t i = 0; i < count; i++) sum += RecordHash(records[i]);
  return sum;
}

std::vector<PriceItem> WrittenRecords(const UndoGroup& group) {
  std::vector<PriceItem> records(group.before);
  records.resize(group.after_count, ZeroRecord());
  for (size_t i = 0; i < group.positions.size(); i++)
    records[group.positions[i]] = group.changed[i];
  return records;
}

bool RebuildBefore(const UndoGroup& group, const std::vector<PriceItem>& now,
                   std::vector<PriceItem>* out) {
  if (group.whole) {
    *out = group.before;
    return true;
  }
  out->clear();
  if (now.size() != group.after_count) return false;
  // A position set twice held its old record at the first set and keeps the last one's.
  std::vector<size_t> first(group.after_count, SIZE_MAX), last(group.after_count, SIZE_MAX);
  for (size_t i = 0; i < group.positions.size(); i++) {
    uint32_t p = group.positions[i];
    if (first[p] == SIZE_MAX) first[p] = i;
    last[p] = i;
  }
  bool in_place = true;
  for (uint32_t p = 0; p < group.after_count && in_place; p++)
    in_place = last[p] == SIZE_MAX || Same(now[p], group.changed[last[p]]);
  *out = now;
  std::vector<bool> drop(now.size());
  if (in_place) {
    for (uint32_t p = group.before_count; p < group.after_count; p++) drop[p] = true;
    for (uint32_t p = 0; p < group.before_count; p++)
      if (first[p] != SIZE_MAX) (*out)[p] = group.old[first[p]];
  } else {
    // The library gave the group out in another order: each position's last record is
    // found by its bytes and gets what the position held first, or goes when it was added.
    std::vector<size_t> order(now.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return std::memcmp(&now[a], &now[b], sizeof now[a]) < 0; });
    std::vector<bool> used(now.size());
    for (uint32_t p = 0; p < group.after_count; p++) {
      if (last[p] == SIZE_MAX) continue;
      const PriceItem& record = group.changed[last[p]];
      size_t at = p;
      if (used[p] || !Same(now[p], record)) {
        auto it = std::lower_bound(
            order.begin(), order.end(), record,
            [&](size_t a, const PriceItem& r) { return std::memcmp(&now[a], &r, sizeof r) < 0; });
        while (it != order.end() && Same(now[*it], record) && used[*it]) ++it;
        if (it == order.end() || !Same(now[*it], record)) return false;
        at = *it;
      }
      used[at] = true;
      if (p < group.before_count)
        (*out)[at] = group.old[first[p]];
      else
        drop[at] = true;
    }
  }
  size_t kept = 0;
  for (size_t i = 0; i < out->size(); i++)
    if (!drop[i]) (*out)[kept++] = (*out)[i];
  out->resize(kept);
  return out->size() == group.before_count &&
         GroupHash(out->data(), out->size()) == group.before_hash;
}

void UndoStreamChecksum::Add(const uint8_t* data, size_t size) {
  size_ += size;
  while (size > 0) {
    size_t n = std::min(size, sizeof tail_ - tail_size_);
    std::memcpy(tail_ + tail_size_, data, n);
    tail_size_ += n;
    data += n;
    size -= n;
    if (tail_size_ < sizeof tail_) break;
    uint64_t w;
    std::memcpy(&w, tail_, 8);
    h_ = (h_ ^ w) * 0xFF51AFD7ED558CCDull;
    h_ ^= h_ >> 29;
    tail_size_ = 0;
    // Whole words straight from the data.
    for (; size >= 8; data += 8, size -= 8) {
      std::memcpy(&w, data, 8);
      h_ = (h_ ^ w) * 0xFF51AFD7ED558CCDull;
      h_ ^= h_ >> 29;
    }
  }
}

uint64_t UndoStreamChecksum::Value() const {
  uint64_t h = h_;
  for (size_t i = 0; i < tail_size_; i++) h = (h ^ tail_[i]) * 0x100000001B3ull;
  h = (h ^ size_) * 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 32);
}

UndoFileBuilder::UndoFileBuilder(const char* program_dir, const CalendarTime& time) {
  bytes_.reserve(1 << 16);
  Put(&bytes_, kMagic, sizeof kMagic);
  char dir[kDirBytes] = {};
  std::strncpy(dir, program_dir, kDirBytes - 1);
  Put(&bytes_, dir, kDirBytes);
  Put(&bytes_, &time, sizeof time);
}

void UndoFileBuilder::BeginGroup(Code code, const PriceItem* before, size_t count) {
  code_ = code;
  before_count_ = uint32_t(count);
  before_hash_ = GroupHash(before, count);
  group_.clear();
  changes_ = 0;
}

void UndoFileBuilder::Change(uint32_t position, const PriceItem& old, const PriceItem& record) {
  Put32(&group_, position);
  // Beyond the group's end the old record is not kept: the words differ from zero there.
  const PriceItem base = position < before_count_ ? old : ZeroRecord();
  if (position < before_count_) Put(&group_, &old, sizeof old);
  // Only the words that differ from the old record: an apply changes a field or two.
  uint32_t mask = 0;
  for (size_t w = 0; w < kWords; w++)
    if (Word(base, w) != Word(record, w)) mask |= uint32_t(1) << w;
  Put32(&group_, mask);
  for (size_t w = 0; w < kWords; w++)
    if (mask >> w & 1) Put32(&group_, Word(record, w));
  changes_++;
}

void UndoFileBuilder::EndGroup(const PriceItem* after, size_t after_count) {
  Put64(&bytes_, code_);
  Put32(&bytes_, before_count_);
  Put32(&bytes_, uint32_t(after_count));
  Put64(&bytes_, before_hash_);
  Put64(&bytes_, GroupHash(after, after_count));
  Put32(&bytes_, changes_);
  Put(&bytes_, group_.data(), group_.size());
  group_.clear();
  groups_++;
  items_ += changes_;
}

void UndoFileBuilder::AddGroup(const UndoGroup& group) {
  code_ = group.code;
  before_count_ = group.before_count;
  before_hash_ = group.before_hash;
  group_.clear();
  changes_ = 0;
  for (size_t i = 0; i < group.positions.size(); i++)
    Change(group.positions[i], group.old[i], group.changed[i]);
  Put64(&bytes_, code_);
  Put32(&bytes_, before_count_);
  Put32(&bytes_, group.after_count);
  Put64(&bytes_, before_hash_);
  Put64(&bytes_, group.after_hash);
  Put32(&bytes_, changes_);
  Put(&bytes_, group_.data(), group_.size());
  group_.clear();
  groups_++;
  items_ += changes_;
}

void UndoFileBuilder::TakeBytes(std::vector<uint8_t>* out) {
  sum_.Add(bytes_.data(), bytes_.size());
  out->insert(out->end(), bytes_.begin(), bytes_.end());
  bytes_.clear();
}

std::vector<uint8_t> UndoFileBuilder::Finish() {
  Put32(&bytes_, uint32_t(groups_));
  Put32(&bytes_, uint32_t(items_));
  sum_.Add(bytes_.data(), bytes_.size());
  Put64(&bytes_, sum_.Value());
  Put(&bytes_, kEndMark, sizeof kEndMark);
  std::vector<uint8_t> out;
  out.swap(bytes_);
  return out;
}

bool ParseUndoFile(const uint8_t* data, size_t size, UndoRecord* out, std::string* error) {
  *out = UndoRecord();
  bool first = size >= 8 && std::memcmp(data, kFirstMagic, 8) == 0;
  if (size < kHeaderBytes + kTrailerBytes ||
      (!first && std::memcmp(data, kMagic, sizeof kMagic) != 0)) {
    *error = "元に戻す記録ではありません。";
    return false;
  }
  if (std::memcmp(data + size - 8, kEndMark, 8) != 0) {
    *error = "元に戻す記録が途中で切れています。";
    return false;
  }
  if (first) return ParseFirstFormat(data, size, out, error);
  UndoStreamChecksum sum;
  sum.Add(data, size - 16);
  Reader stored(data + size - 16, 8);
  if (stored.U64() != sum.Value()) {
    *error = kDamaged;
    return false;
  }
  Reader counts(data + size - kTrailerBytes, 8);
  uint32_t groups = counts.U32();
  uint32_t items = counts.U32();
  Reader r(data + 8, size - 8 - kTrailerBytes);
  ReadHeader(&r, out);
  // The counts cannot ask for more than the file holds.
  if (!r.Fits(groups, kGroupHeadBytes)) {
    *error = kDamaged;
    return false;
  }
  out->groups.resize(groups);
  for (UndoGroup& g : out->groups) {
    g.code = r.U64();
    g.before_count = r.U32();
    g.after_count = r.U32();
    g.before_hash = r.U64();
    g.after_hash = r.U64();
    uint32_t changes = r.U32();
    // An apply only appends records it set, so the group grew by at most their number.
    if (!r.Fits(changes, 8) || g.after_count < g.before_count ||
        g.after_count - g.before_count > changes) {
      r.Fail();
      break;
    }
    g.positions.resize(changes);
    g.old.resize(changes);
    g.changed.resize(changes);
    for (uint32_t i = 0; i < changes && r.ok(); i++) {
      uint32_t p = r.U32();
      if (p >= g.after_count) r.Fail();
      g.positions[i] = p;
      PriceItem& old = g.old[i];
      if (p < g.before_count)
        r.Take(&old, sizeof old);
      else
        old = ZeroRecord();
      uint32_t mask = r.U32();
      if (mask >> kWords) r.Fail();
      PriceItem& record = g.changed[i];
      record = old;
      for (size_t w = 0; w < kWords && r.ok(); w++)
        if (mask >> w & 1) SetWord(&record, w, r.U32());
      // A record that the group's code does not name would be written into another group.
      if (CodeGroup(record.code) != CodeGroup(g.code)) r.Fail();
    }
    if (!r.ok()) break;
  }
  if (!r.ok() || r.left() != 0 || out->ItemCount() != items) {
    *out = UndoRecord();
    *error = kDamaged;
    return false;
  }
  return true;
}

std::string UndoFileName(const CalendarTime& t, int sequence) {
  char name[64];
  std::snprintf(name, sizeof name, "%04u%02u%02u-%02u%02u%02u-%03u-%02d.undo", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.milliseconds, sequence % 100);
  return name;
}

bool IsUndoFileName(const std::string& name) {
  const char pattern[] = "########-######-###-##.undo";
  if (name.size() != sizeof pattern - 1) return false;
  for (size_t i = 0; i < name.size(); i++) {
    bool digit = name[i] >= '0' && name[i] <= '9';
    if (pattern[i] == '#' ? !digit : name[i] != pattern[i]) return false;
  }
  return true;
}

uint64_t UndoChecksum(const uint8_t* data, size_t size) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t w;
    std::memcpy(&w, data + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  for (; i < size; i++) h = (h ^ data[i]) * 0x100000001B3ull;
  return h ^ (h >> 32);
}
