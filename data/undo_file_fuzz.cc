// libFuzzer target: any bytes, given a valid checksum and end mark of either format so that
// the layout itself is what varies, either are refused or give groups that stay within their
// counts and build back into a file that reads the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/undo_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Same(const PriceItem& a, const PriceItem& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void PutSum(std::vector<uint8_t>* file, uint64_t sum) {
  for (int i = 0; i < 8; i++) file->push_back(uint8_t(sum >> (8 * i)));
  const char end[] = "CUUNDEND";
  file->insert(file->end(), end, end + 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  // A quarter of the inputs keep their own tail, so that refusing a bad checksum is reached
  // too; the others get the checksum of the first or of the current format.
  if (size > 0 && (data[0] & 3) == 1) PutSum(&file, UndoChecksum(file.data(), file.size()));
  if (size > 0 && (data[0] & 3) >= 2) {
    UndoStreamChecksum sum;
    // In pieces of varying size, as a record is written.
    for (size_t at = 0; at < file.size();) {
      size_t n = std::min(file.size() - at, size_t(1 + data[at] % 17));
      sum.Add(file.data() + at, n);
      at += n;
    }
    PutSum(&file, sum.Value());
  }
  UndoRecord record;
  std::string error;
  if (!ParseUndoFile(file.data(), file.size(), &record, &error)) {
    Check(!error.empty() && record.groups.empty());
    return 0;
  }
  Check(record.program_dir.size() < 256);
  UndoFileBuilder builder(record.program_dir.c_str(), record.time);
  std::vector<uint8_t> again;
  for (const UndoGroup& g : record.groups) {
    Check(g.positions.size() == g.changed.size() && g.old.size() == g.changed.size() &&
          g.after_count >= g.before_count);
    if (g.whole) {
      Check(g.before.size() == g.before_count);
      std::vector<PriceItem> written = WrittenRecords(g);
      Check(written.size() == g.after_count);
      Check(GroupHash(written.data(), written.size()) == g.after_hash);
      // What was written turns back into what was there before.
      std::vector<PriceItem> before;
      UndoGroup current = g;
      current.whole = false;
      Check(RebuildBefore(current, written, &before) && before.size() == g.before.size());
      for (size_t i = 0; i < before.size(); i++) Check(Same(before[i], g.before[i]));
    }
    for (size_t i = 0; i < g.positions.size(); i++) {
      Check(g.positions[i] < g.after_count);
      Check(CodeGroup(g.changed[i].code) == CodeGroup(g.code));
    }
    builder.AddGroup(g);
    builder.TakeBytes(&again);
  }
  std::vector<uint8_t> rest = builder.Finish();
  again.insert(again.end(), rest.begin(), rest.end());
  UndoRecord reread;
  Check(ParseUndoFile(again.data(), again.size(), &reread, &error));
  Check(reread.program_dir == record.program_dir && reread.groups.size() == record.groups.size() &&
        std::memcmp(&reread.time, &record.time, sizeof record.time) == 0);
  for (size_t k = 0; k < record.groups.size(); k++) {
    const UndoGroup& a = record.groups[k];
    const UndoGroup& b = reread.groups[k];
    Check(a.code == b.code && a.after_count == b.after_count && a.positions == b.positions &&
          a.before_count == b.before_count && a.before_hash == b.before_hash &&
          a.after_hash == b.after_hash && a.changed.size() == b.changed.size() && !b.whole);
    for (size_t i = 0; i < a.changed.size(); i++) {
      // Beyond the group's end the old record is not kept: it is zero.
      if (a.positions[i] < a.before_count) Check(Same(a.old[i], b.old[i]));
      Check(Same(a.changed[i], b.changed[i]));
    }
  }
  return 0;
}
