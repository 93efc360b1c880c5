// The undo record of one apply, as kept in ProgramDir\Undo\: per group, the records the apply
// set with what they replaced, and hashes of the whole group before and after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/disk.h"
#include "data/price_item.h"

struct UndoGroup {
  Code code = 0;              // a code of the group
  uint32_t before_count = 0;  // records of the group as ReadGroup gave them
  uint32_t after_count = 0;   // how many records the apply wrote
  uint64_t before_hash = 0;   // GroupHash of those records
  uint64_t after_hash = 0;    // GroupHash of the records written
  // Where, among the records written, the apply set a record, in the order it set them;
  // the record it found there (zero beyond before_count); the record it left there.
  std::vector<uint32_t> positions;
  std::vector<PriceItem> old;
  std::vector<PriceItem> changed;
  // Records of the first file format only, which kept each group whole: every record before
  // the apply (then whole is set, and the hashes and old are worked out from it).
  bool whole = false;
  std::vector<PriceItem> before;
};

struct UndoRecord {
  std::string program_dir;  // the database's ProgramDir
  CalendarTime time = {};   // local time of the apply
  std::vector<UndoGroup> groups;
  size_t ItemCount() const;
};

// A hash of a group's records that does not depend on their order (a library may hand a
// group out in another order than it was written). Detects changes, not deliberate ones.
uint64_t GroupHash(const PriceItem* records, size_t count);

// What the apply wrote into a group of the first format: the records before it, grown to
// after_count, with the changed records in their places.
std::vector<PriceItem> WrittenRecords(const UndoGroup& group);

// The group's records before the apply, rebuilt from now, the records it holds now, which
// must be what the apply wrote (after_count records of after_hash). False when they cannot
// be rebuilt to before_hash.
bool RebuildBefore(const UndoGroup& group, const std::vector<PriceItem>& now,
                   std::vector<PriceItem>* out);

// The checksum of the current format, taken over the bytes in pieces as they are written.
class UndoStreamChecksum {
 public:
  void Add(const uint8_t* data, size_t size);
  uint64_t Value() const;

 private:
  uint64_t h_ = 0x6A09E667F3BCC909ull;
  uint64_t size_ = 0;
  uint8_t tail_[8] = {};
  size_t tail_size_ = 0;
};

// Builds the file's bytes group by group, as an apply reads and changes its groups. The
// bytes can be taken in pieces as they are made (TakeBytes), so that a large record need not
// be held whole.
class UndoFileBuilder {
 public:
  UndoFileBuilder(const char* program_dir, const CalendarTime& time);
  // The group as read, before the apply changes it.
  void BeginGroup(Code code, const PriceItem* before, size_t count);
  // The apply set position, which held old (a zero record beyond the group's end), to record.
  // Of the changes of one position only the first one's old and the last one's record count.
  void Change(uint32_t position, const PriceItem& old, const PriceItem& record);
  // The group as it is to be written.
  void EndGroup(const PriceItem* after, size_t after_count);
  // A whole group at once, as read from a file.
  void AddGroup(const UndoGroup& group);
  // Moves the bytes made so far to out (appended); the builder goes on after them.
  void TakeBytes(std::vector<uint8_t>* out);
  size_t pending_bytes() const { return bytes_.size(); }
  // The rest of the file; the builder is empty afterwards.
  std::vector<uint8_t> Finish();
  size_t groups() const { return groups_; }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> group_;  // the current group's changes
  UndoStreamChecksum sum_;      // of the bytes given out so far
  Code code_ = 0;
  uint32_t changes_ = 0;
  uint32_t before_count_ = 0;
  uint64_t before_hash_ = 0;
  size_t groups_ = 0;
  size_t items_ = 0;
};

// Reads a whole file's bytes, of either format. False, with error saying why (code page
// 932), when it is not a complete, undamaged undo record.
bool ParseUndoFile(const uint8_t* data, size_t size, UndoRecord* out, std::string* error);

// The file name of an apply at time, with a sequence number that tells apart applies within
// one millisecond: "YYYYMMDD-HHMMSS-mmm-NN.undo". Names sort in the order of the applies.
std::string UndoFileName(const CalendarTime& time, int sequence);
bool IsUndoFileName(const std::string& name);

// The first format's checksum. Detects a damaged file; not a defence against a deliberate
// change.
uint64_t UndoChecksum(const uint8_t* data, size_t size);
