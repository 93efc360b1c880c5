// The record cache of the price store: groups in large blocks, indexed by code.
#include "qupra/group_cache.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "data/memory_advice.h"

namespace {

// Groups are numbered by the top 16 bits of a code.
const size_t kGroupCount = size_t(1) << 16;
// 32 MB of records per block: large pages fit, and a block wastes little at its end.
const size_t kBlockRecords = (size_t(32) << 20) / sizeof(PriceItem);

}  // namespace

PriceItem* GroupCache::Reserve(size_t capacity) {
  // Rewritten groups leave their old records behind; once they outweigh the held ones,
  // starting afresh costs less than keeping them. Nothing is half put at this point.
  if (wasted_records_ > kBlockRecords && wasted_records_ > live_records_) Clear();
  if (capacity == 0) capacity = 1;
  if (!blocks_.empty()) {
    Block& last = blocks_.back();
    if (last.capacity - last.used >= capacity) return last.data + last.used;
  }
  size_t records = capacity > kBlockRecords ? capacity : kBlockRecords;
  if (records > SIZE_MAX / sizeof(PriceItem)) return nullptr;
  PriceItem* data = static_cast<PriceItem*>(malloc(records * sizeof(PriceItem)));
  if (!data) return nullptr;
  try {
    blocks_.push_back(Block{data, 0, records});
  } catch (const std::bad_alloc&) {
    free(data);
    return nullptr;
  }
  AdviseLargePages(data, records * sizeof(PriceItem));
  return data;
}

GroupCache::Entry* GroupCache::NewEntry(unsigned group) {
  try {
    if (entries_.empty()) entries_.resize(kGroupCount);
    Forget(group);
    entries_[group].reset(new Entry);
    return entries_[group].get();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool GroupCache::Put(unsigned group, PriceItem* space, size_t capacity, size_t count, bool dense) {
  // Reserve gave the free end of the last block: taking it is moving that end.
  Block& last = blocks_.back();
  last.used += capacity;
  Entry* entry = NewEntry(group);
  if (!entry) {
    Waste(capacity);
    return false;
  }
  Waste(capacity - count);
  if (!entry->index.Build(space, count)) {
    Waste(count);
    entry->direct = true;
    return false;
  }
  entry->records = space;
  entry->count = count;
  entry->dense = dense;
  live_records_ += count;
  return true;
}

void GroupCache::Abandon(size_t capacity) {
  blocks_.back().used += capacity;
  Waste(capacity);
}

void GroupCache::PutDirect(unsigned group) {
  if (Entry* entry = NewEntry(group)) entry->direct = true;
}

void GroupCache::Update(unsigned group, const PriceItem* items, size_t count) {
  Entry* held = group < entries_.size() ? entries_[group].get() : nullptr;
  if (!held) return;
  if (!held->direct && count <= held->count) {
    // Written over where it lies: filling fresh memory costs more than the copy. The index
    // holds positions, so it stands while every position keeps its code.
    PriceItem* records = const_cast<PriceItem*>(held->records);
    bool same_codes = true;
    for (size_t i = 0; i < count && same_codes; i++) same_codes = records[i].code == items[i].code;
    if (count) memmove(records, items, count * sizeof(PriceItem));
    if ((count < held->count || !same_codes) && !held->index.Build(records, count)) {
      Forget(group);
      return;
    }
    live_records_ -= held->count - count;
    Waste(held->count - count);
    held->count = count;
    held->dense = true;
    return;
  }
  PriceItem* space = Reserve(count);
  if (!space) {
    Forget(group);
    return;
  }
  if (count) memcpy(space, items, count * sizeof(PriceItem));
  Put(group, space, count, count, true);
}

void GroupCache::Forget(unsigned group) {
  if (group >= entries_.size() || !entries_[group]) return;
  size_t count = entries_[group]->count;
  live_records_ -= count;
  entries_[group].reset();
  Waste(count);
}

void GroupCache::Waste(size_t records) { wasted_records_ += records; }

void GroupCache::Clear() {
  std::vector<std::unique_ptr<Entry>>().swap(entries_);
  for (const Block& b : blocks_) free(b.data);
  std::vector<Block>().swap(blocks_);
  live_records_ = wasted_records_ = 0;
}

size_t GroupCache::MemoryBytes() const {
  size_t bytes = entries_.capacity() * sizeof entries_[0];
  for (const Block& b : blocks_) bytes += b.capacity * sizeof(PriceItem);
  for (const auto& e : entries_)
    if (e) bytes += sizeof *e + e->index.MemoryBytes();
  return bytes;
}
