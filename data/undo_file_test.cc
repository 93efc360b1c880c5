// The undo file: random applies written whole or in pieces, read back, taken back from the
// group as written (in its order or another), within their size bound, and damage refused.
#include "data/undo_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

bool Same(const PriceItem& a, const PriceItem& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool Less(const PriceItem& a, const PriceItem& b) { return std::memcmp(&a, &b, sizeof a) < 0; }

PriceItem Record(unsigned large, unsigned sub, std::mt19937* rng) {
  PriceItem r;
  std::memset(&r, 0, sizeof r);
  r.code = MakeCode(2, large, 1, 0, sub);
  std::snprintf(r.material_name, sizeof r.material_name, "name %u", unsigned((*rng)() % 1000));
  std::snprintf(r.material_note, sizeof r.material_note, "note %u", unsigned((*rng)() % 1000));
  r.execution_price = (*rng)() % 100000;
  r.estimate_price = r.execution_price + 5;
  r.unit_code = 3;
  return r;
}

// One group of a random apply: the records before, the sets as an apply makes them (a field
// or two changed, some records appended, some positions set twice) and the records after.
struct Applied {
  Code code;
  std::vector<PriceItem> before, after;
  std::vector<uint32_t> positions;
  std::vector<PriceItem> old, set;
};

Applied RandomGroup(unsigned large, std::mt19937* rng) {
  Applied g;
  g.code = MakeCode(2, large, 0, 0, 1);
  size_t n = (*rng)() % 200;
  for (size_t i = 0; i < n; i++) g.before.push_back(Record(large, unsigned(i + 1), rng));
  g.after = g.before;
  size_t changes = (*rng)() % 60;
  for (size_t c = 0; c < changes; c++) {
    uint32_t p;
    PriceItem r;
    if (g.after.empty() || (*rng)() % 5 == 0) {  // appended
      p = uint32_t(g.after.size());
      r = Record(large, unsigned(1000 + c), rng);
      g.after.push_back(r);
      g.old.push_back(PriceItem());
      std::memset(&g.old.back(), 0, sizeof(PriceItem));
    } else {
      p = uint32_t((*rng)() % g.after.size());
      g.old.push_back(g.after[p]);
      r = g.after[p];
      if ((*rng)() % 2) r.execution_price += 1;
      if ((*rng)() % 2) r.material_name[(*rng)() % 20] ^= 0x20;
    }
    g.after[p] = r;
    g.positions.push_back(p);
    g.set.push_back(r);
  }
  return g;
}

void Build(UndoFileBuilder* b, const Applied& g) {
  b->BeginGroup(g.code, g.before.data(), g.before.size());
  for (size_t i = 0; i < g.positions.size(); i++) b->Change(g.positions[i], g.old[i], g.set[i]);
  b->EndGroup(g.after.data(), g.after.size());
}

TEST(UndoFile, RandomAppliesReadBackAndAreTakenBack) {
  std::mt19937 rng(7);
  CalendarTime time = {2026, 12, 4, 10, 9, 8, 7, 6};
  for (int round = 0; round < 40; round++) {
    std::vector<Applied> groups;
    for (unsigned k = 0, n = 1 + rng() % 6; k < n; k++) groups.push_back(RandomGroup(k + 1, &rng));
    // Whole, and in pieces taken after random groups.
    UndoFileBuilder whole("C:\\prog\\", time), pieces("C:\\prog\\", time);
    std::vector<uint8_t> in_pieces;
    size_t items = 0;
    for (const Applied& g : groups) {
      Build(&whole, g);
      Build(&pieces, g);
      if (rng() % 2) pieces.TakeBytes(&in_pieces);
      items += g.positions.size();
    }
    std::vector<uint8_t> bytes = whole.Finish(), rest = pieces.Finish();
    in_pieces.insert(in_pieces.end(), rest.begin(), rest.end());
    ASSERT_EQ(bytes, in_pieces) << round;
    // Within 3x the changed records' bytes and 4 KB a group.
    EXPECT_LE(bytes.size(), 3 * items * sizeof(PriceItem) + 4096 * groups.size()) << round;

    UndoRecord record;
    std::string error;
    ASSERT_TRUE(ParseUndoFile(bytes.data(), bytes.size(), &record, &error)) << error;
    ASSERT_EQ(groups.size(), record.groups.size());
    EXPECT_EQ(items, record.ItemCount());
    EXPECT_EQ("C:\\prog\\", record.program_dir);
    for (size_t k = 0; k < groups.size(); k++) {
      const Applied& g = groups[k];
      const UndoGroup& u = record.groups[k];
      EXPECT_EQ(GroupHash(g.after.data(), g.after.size()), u.after_hash);
      ASSERT_EQ(g.positions, u.positions);
      for (size_t i = 0; i < g.set.size(); i++) ASSERT_TRUE(Same(g.set[i], u.changed[i]));
      // From the group as written: exactly the records before, in their order.
      std::vector<PriceItem> back;
      ASSERT_TRUE(RebuildBefore(u, g.after, &back)) << round;
      ASSERT_EQ(g.before.size(), back.size());
      for (size_t i = 0; i < back.size(); i++) ASSERT_TRUE(Same(g.before[i], back[i])) << i;
      // Handed out in another order: the same records.
      std::vector<PriceItem> shuffled = g.after;
      std::shuffle(shuffled.begin(), shuffled.end(), rng);
      ASSERT_TRUE(RebuildBefore(u, shuffled, &back)) << round;
      std::vector<PriceItem> want = g.before;
      std::sort(want.begin(), want.end(), Less);
      std::sort(back.begin(), back.end(), Less);
      ASSERT_EQ(want.size(), back.size());
      for (size_t i = 0; i < back.size(); i++) ASSERT_TRUE(Same(want[i], back[i])) << i;
      // A record changed since, set by the apply or not: nothing to rebuild.
      if (!g.after.empty()) {
        std::vector<PriceItem> other = g.after;
        other[rng() % other.size()].estimate_price ^= 0x100;
        EXPECT_FALSE(RebuildBefore(u, other, &back));
        EXPECT_NE(GroupHash(other.data(), other.size()), u.after_hash);
      }
    }
  }
}

TEST(UndoFile, DamagedCurrentRecordsAreRefused) {
  std::mt19937 rng(3);
  UndoFileBuilder builder("D:\\x\\", CalendarTime{});
  Build(&builder, RandomGroup(1, &rng));
  Build(&builder, RandomGroup(2, &rng));
  std::vector<uint8_t> good = builder.Finish();
  UndoRecord record;
  std::string error;
  ASSERT_TRUE(ParseUndoFile(good.data(), good.size(), &record, &error));
  for (size_t at = 0; at < good.size(); at += 7) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x10;
    EXPECT_FALSE(ParseUndoFile(bad.data(), bad.size(), &record, &error)) << at;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(record.groups.empty());
    EXPECT_FALSE(ParseUndoFile(good.data(), at, &record, &error)) << at;
  }
}

}  // namespace
