// libFuzzer target: any bytes, given a valid checksum and end mark so that the layout itself
// is what varies, either are refused or give groups that stay within their counts and
// build back into a file that reads the same.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  // Half the inputs keep their own tail, so that refusing a bad checksum is reached too.
  if (size > 0 && (data[0] & 1)) {
    uint64_t sum = UndoChecksum(file.data(), file.size());
    for (int i = 0; i < 8; i++) file.push_back(uint8_t(sum >> (8 * i)));
    const char end[] = "CUUNDEND";
    file.insert(file.end(), end, end + 8);
  }
  UndoRecord record;
  std::string error;
  if (!ParseUndoFile(file.data(), file.size(), &record, &error)) {
    Check(!error.empty() && record.groups.empty());
    return 0;
  }
  Check(record.program_dir.size() < 256);
  UndoFileBuilder builder(record.program_dir.c_str(), record.time);
  for (const UndoGroup& g : record.groups) {
    Check(g.positions.size() == g.changed.size() && g.after_count >= g.before.size());
    std::vector<PriceItem> written = WrittenRecords(g);
    Check(written.size() == g.after_count);
    for (size_t i = 0; i < g.positions.size(); i++) {
      Check(g.positions[i] < g.after_count);
      Check(CodeGroup(g.changed[i].code) == CodeGroup(g.code));
    }
    builder.BeginGroup(g.code, g.before.data(), g.before.size());
    for (size_t i = 0; i < g.positions.size(); i++) builder.Change(g.positions[i], g.changed[i]);
    builder.EndGroup(g.after_count);
  }
  std::vector<uint8_t> again = builder.Finish();
  UndoRecord reread;
  Check(ParseUndoFile(again.data(), again.size(), &reread, &error));
  Check(reread.program_dir == record.program_dir && reread.groups.size() == record.groups.size() &&
        std::memcmp(&reread.time, &record.time, sizeof record.time) == 0);
  for (size_t k = 0; k < record.groups.size(); k++) {
    const UndoGroup& a = record.groups[k];
    const UndoGroup& b = reread.groups[k];
    Check(a.code == b.code && a.after_count == b.after_count && a.positions == b.positions &&
          a.before.size() == b.before.size() && a.changed.size() == b.changed.size());
    for (size_t i = 0; i < a.before.size(); i++) Check(Same(a.before[i], b.before[i]));
    for (size_t i = 0; i < a.changed.size(); i++) Check(Same(a.changed[i], b.changed[i]));
  }
  return 0;
}
