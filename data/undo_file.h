// The undo record of one apply, as kept in ProgramDir\Undo\: each group's records before the
// apply and the records the apply set in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/disk.h"
#include "data/price_item.h"

struct UndoGroup {
  Code code = 0;                    // a code of the group
  std::vector<PriceItem> before;    // as ReadGroup gave them
  uint32_t after_count = 0;         // how many records the apply wrote
  std::vector<uint32_t> positions;  // where, among those, the apply set a record
  std::vector<PriceItem> changed;   // the record it set there
};

struct UndoRecord {
  std::string program_dir;  // the database's ProgramDir
  CalendarTime time = {};   // local time of the apply
  std::vector<UndoGroup> groups;
  size_t ItemCount() const;
};

// What the apply wrote into the group: the records before it, grown to after_count, with
// the changed records in their places.
std::vector<PriceItem> WrittenRecords(const UndoGroup& group);

// Builds the file's bytes group by group, as an apply reads and changes its groups.
class UndoFileBuilder {
 public:
  UndoFileBuilder(const char* program_dir, const CalendarTime& time);
  void BeginGroup(Code code, const PriceItem* before, size_t count);
  void Change(uint32_t position, const PriceItem& record);
  void EndGroup(uint32_t after_count);
  // The whole file; the builder is empty afterwards.
  std::vector<uint8_t> Finish();
  size_t groups() const { return groups_; }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<uint32_t> positions_;
  std::vector<PriceItem> changed_;
  size_t groups_ = 0;
  size_t items_ = 0;
};

// Reads a whole file's bytes. False, with error saying why (code page 932), when it is not a
// complete, undamaged undo record.
bool ParseUndoFile(const uint8_t* data, size_t size, UndoRecord* out, std::string* error);

// The file name of an apply at time, with a sequence number that tells apart applies within
// one millisecond: "YYYYMMDD-HHMMSS-mmm-NN.undo". Names sort in the order of the applies.
std::string UndoFileName(const CalendarTime& time, int sequence);
bool IsUndoFileName(const std::string& name);

// Detects a damaged file; not a defence against a deliberate change.
uint64_t UndoChecksum(const uint8_t* data, size_t size);
