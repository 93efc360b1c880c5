// The records of the database groups read so far, each with an index by code.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "data/code_index.h"
#include "data/price_item.h"

// Records live in large blocks that never move and are freed together: a group's records
// stay contiguous where they were put, the system can back the blocks with large pages, and
// filling the cache costs one allocation per block, not one per group.
class GroupCache {
 public:
  struct Entry {
    const PriceItem* records = nullptr;
    size_t count = 0;
    CodeIndex index;
    // The group is not held (a row that disagrees with itself, or no memory for it): its
    // look-ups go to the file.
    bool direct = false;
    // Record i is stored at position i: the file's positions run from 0 without a gap.
    bool dense = false;
  };

  GroupCache() {}
  ~GroupCache() { Clear(); }
  GroupCache(const GroupCache&) = delete;
  GroupCache& operator=(const GroupCache&) = delete;

  // The group's entry; null when it has none.
  const Entry* Get(unsigned group) const {
    return group < entries_.size() ? entries_[group].get() : nullptr;
  }
  // Room for up to capacity records of a group about to be read, to be given to Put before
  // anything else is called; null when memory runs out. May drop every entry.
  PriceItem* Reserve(size_t capacity);
  // Holds the first count records of space from Reserve as the group. False (the group then
  // marked direct) when memory runs out.
  bool Put(unsigned group, PriceItem* space, size_t capacity, size_t count, bool dense = false);
  // Gives up space from Reserve, when the group could not be read after all.
  void Abandon(size_t capacity);
  void PutDirect(unsigned group);
  // Replaces a held or direct group by a copy of items, stored at positions 0 to count - 1;
  // a group without an entry stays so.
  void Update(unsigned group, const PriceItem* items, size_t count);
  void Forget(unsigned group);
  void Clear();
  size_t MemoryBytes() const;

 private:
  struct Block {
    PriceItem* data;
    size_t used;
    size_t capacity;
  };

  Entry* NewEntry(unsigned group);
  // Records given up by Forget and Update, freed only with everything else.
  void Waste(size_t records);

  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<Entry>> entries_;
  size_t live_records_ = 0;
  size_t wasted_records_ = 0;
};
