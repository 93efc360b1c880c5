// libFuzzer target: the candidate refresh's decision, IsOutdated, for any server time and any
// file time, invalid fields included, against a plain comparison and its own consistency.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "checklist/url_list.h"
#include "data/faulty_disk.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The candidate file's last-write time as the test sets it.
class TimeDisk : public FaultyDisk {
 public:
  bool has_file = true;
  CalendarTime time = {};

  bool LastWriteTime(const char*, bool local, CalendarTime* out) override {
    Check(!local);  // the decision is taken in UTC
    if (has_file) *out = time;
    return has_file;
  }
  bool ReplaceFile(const char*, const void*, size_t) override {
    std::abort();  // deciding writes nothing
  }
};

CalendarTime Time(const uint8_t* p) {
  CalendarTime t;
  memcpy(&t, p, sizeof t);
  return t;
}

// The server's time is at least as late as the file's: year, month, day, hour, minute and
// second compared in turn as numbers; day of week and milliseconds do not count.
int Reference(const CalendarTime& server, const CalendarTime& file) {
  const uint16_t a[] = {server.year, server.month,  server.day,
                        server.hour, server.minute, server.second};
  const uint16_t b[] = {file.year, file.month, file.day, file.hour, file.minute, file.second};
  for (int i = 0; i < 6; ++i)
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : 0;
  return 1;
}

}  // namespace

// Three calendar times (16 bytes each) and a byte whose low bit says the file is missing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 49) return 0;
  const CalendarTime t[3] = {Time(data), Time(data + 16), Time(data + 32)};
  TimeDisk disk;
  SetListDisk(&disk);
  class CandidateList list;
  // Whether server time a is at least as late as file time b.
  auto outdated = [&](const CalendarTime& a, const CalendarTime& b) {
    disk.time = b;
    int r = list.IsOutdated(a);
    Check(r == 0 || r == 1);
    return r;
  };

  // No file: always installed.
  disk.has_file = !(data[48] & 1);
  if (!disk.has_file) {
    for (const CalendarTime& a : t) Check(list.IsOutdated(a) == 1);
    SetListDisk(nullptr);
    return 0;
  }
  int r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      r[i][j] = outdated(t[i], t[j]);
      Check(r[i][j] == Reference(t[i], t[j]));
    }
  for (int i = 0; i < 3; ++i) {
    // A time is as late as itself; of two times at least one is as late as the other, and
    // both only when they are the same second.
    Check(r[i][i] == 1);
    for (int j = 0; j < 3; ++j) {
      Check(r[i][j] || r[j][i]);
      bool same = Reference(t[i], t[j]) && Reference(t[j], t[i]);
      Check((r[i][j] && r[j][i]) == same);
      for (int k = 0; k < 3; ++k) Check(!(r[i][j] && r[j][k]) || r[i][k]);  // transitive
    }
  }
  // Neither the day of the week nor the milliseconds change the answer, on either side.
  CalendarTime other = t[0];
  other.day_of_week = uint16_t(~other.day_of_week);
  other.milliseconds = uint16_t(other.milliseconds + 500);
  Check(outdated(other, t[1]) == r[0][1] && outdated(t[1], other) == r[1][0]);
  // An all-zero time (no Last-Modified) is as late only as an all-zero file time.
  CalendarTime zero = {};
  Check(outdated(zero, t[2]) == (Reference(t[2], zero) && Reference(zero, t[2]) ? 1 : 0));
  SetListDisk(nullptr);
  return 0;
}
