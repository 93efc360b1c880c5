// The undo file's layout: a header, the groups, a checksum and an end mark, little-endian.
#include "data/undo_file.h"

#include <cstdio>
#include <cstring>

namespace {

const char kMagic[8] = {'C', 'U', 'U', 'N', 'D', 'O', '0', '1'};
const char kEndMark[8] = {'C', 'U', 'U', 'N', 'D', 'E', 'N', 'D'};
const size_t kDirBytes = 256;
// Magic, folder, time, group count, item count.
const size_t kHeaderBytes = 8 + kDirBytes + sizeof(CalendarTime) + 4 + 4;
const size_t kGroupCountAt = 8 + kDirBytes + sizeof(CalendarTime);

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

void Set32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; i++) at[i] = uint8_t(v >> (8 * i));
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

}  // namespace

size_t UndoRecord::ItemCount() const {
  size_t n = 0;
  for (const UndoGroup& g : groups) n += g.changed.size();
  return n;
}

std::vector<PriceItem> WrittenRecords(const UndoGroup& group) {
  std::vector<PriceItem> records(group.before);
  PriceItem zero;
  std::memset(&zero, 0, sizeof zero);
  records.resize(group.after_count, zero);
  for (size_t i = 0; i < group.positions.size(); i++)
    records[group.positions[i]] = group.changed[i];
  return records;
}

UndoFileBuilder::UndoFileBuilder(const char* program_dir, const CalendarTime& time) {
  bytes_.reserve(1 << 16);
  Put(&bytes_, kMagic, sizeof kMagic);
  char dir[kDirBytes] = {};
  std::strncpy(dir, program_dir, kDirBytes - 1);
  Put(&bytes_, dir, kDirBytes);
  Put(&bytes_, &time, sizeof time);
  Put32(&bytes_, 0);  // groups and items, filled in by Finish
  Put32(&bytes_, 0);
}

void UndoFileBuilder::BeginGroup(Code code, const PriceItem* before, size_t count) {
  Put64(&bytes_, code);
  Put32(&bytes_, uint32_t(count));
  Put(&bytes_, before, count * sizeof(PriceItem));
  positions_.clear();
  changed_.clear();
}

void UndoFileBuilder::Change(uint32_t position, const PriceItem& record) {
  positions_.push_back(position);
  changed_.push_back(record);
}

void UndoFileBuilder::EndGroup(uint32_t after_count) {
  Put32(&bytes_, after_count);
  Put32(&bytes_, uint32_t(positions_.size()));
  for (uint32_t p : positions_) Put32(&bytes_, p);
  Put(&bytes_, changed_.data(), changed_.size() * sizeof(PriceItem));
  groups_++;
  items_ += changed_.size();
}

std::vector<uint8_t> UndoFileBuilder::Finish() {
  Set32(&bytes_[kGroupCountAt], uint32_t(groups_));
  Set32(&bytes_[kGroupCountAt + 4], uint32_t(items_));
  Put64(&bytes_, UndoChecksum(bytes_.data(), bytes_.size()));
  Put(&bytes_, kEndMark, sizeof kEndMark);
  std::vector<uint8_t> out;
  out.swap(bytes_);
  return out;
}

bool ParseUndoFile(const uint8_t* data, size_t size, UndoRecord* out, std::string* error) {
  *out = UndoRecord();
  if (size < kHeaderBytes + 16 || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
    *error = "元に戻す記録ではありません。";
    return false;
  }
  if (std::memcmp(data + size - 8, kEndMark, 8) != 0) {
    *error = "元に戻す記録が途中で切れています。";
    return false;
  }
  Reader sum(data + size - 16, 8);
  if (sum.U64() != UndoChecksum(data, size - 16)) {
    *error = "元に戻す記録が壊れています。";
    return false;
  }
  Reader r(data + 8, size - 8 - 16);
  char dir[kDirBytes + 1] = {};
  r.Take(dir, kDirBytes);
  out->program_dir = dir;
  r.Take(&out->time, sizeof out->time);
  uint32_t groups = r.U32();
  uint32_t items = r.U32();
  // Each group takes at least 20 bytes, so the count cannot ask for more than the file holds.
  if (!r.Fits(groups, 20)) {
    *error = "元に戻す記録が壊れています。";
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
  }
  if (!r.ok() || r.left() != 0 || out->ItemCount() != items) {
    *out = UndoRecord();
    *error = "元に戻す記録が壊れています。";
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
