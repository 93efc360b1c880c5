// Undo of applies: exact restoring, order, groups changed since, unsaved and bad records.
#include "data/undo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/fake_price_library.h"
#include "data/faulty_disk.h"
#include "data/item_store.h"
#include "qupra/store_library.h"
#include "qupra/test_util.h"

namespace {

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

PriceItem Item(Code code, const char* name, uint32_t execution, uint32_t estimate) {
  PriceItem r;
  std::memset(&r, 0, sizeof r);
  r.code = code;
  std::strncpy(r.material_name, name, 30);
  r.execution_price = execution;
  r.estimate_price = estimate;
  r.unit_code = 1;
  return r;
}

const Code kA1 = MakeCode(1, 1, 1, 1, 1), kA2 = MakeCode(1, 1, 1, 1, 2),
           kA3 = MakeCode(1, 1, 1, 1, 3), kB1 = MakeCode(1, 2, 5, 0, 1),
           kB2 = MakeCode(1, 2, 5, 0, 2), kC1 = MakeCode(2, 7, 0, 0, 1);

// Each group's records as the library hands them out, bytes and order included.
typedef std::map<unsigned, std::string> Snapshot;

Snapshot Take(PriceLibrary* library) {
  Snapshot s;
  for (Code group : {kA1, kB1, kC1}) {
    RecordBlock block = nullptr;
    int n = 0;
    library->ReadGroup(group, &block, &n);
    if (block && n > 0) {
      const PriceItem* p = library->LockBlock(block);
      s[CodeGroup(group)].assign(reinterpret_cast<const char*>(p), size_t(n) * sizeof(PriceItem));
      library->UnlockBlock(block);
    }
    if (block) library->FreeBlock(block);
  }
  return s;
}

void Seed(PriceLibrary* library, Code group, const std::vector<PriceItem>& records) {
  RecordBlock block = library->AllocBlock(records.size() * sizeof(PriceItem));
  std::memcpy(library->LockBlock(block), records.data(), records.size() * sizeof(PriceItem));
  library->UnlockBlock(block);
  library->WriteGroup(group, block, int(records.size()));
  library->FreeBlock(block);
}

// The file's items with the states a load gives them, all selected.
struct Selection {
  std::vector<PriceItem> items;
  std::vector<ItemState> states;
  void Add(const PriceItem& item, ItemState state) {
    items.push_back(item);
    states.push_back(ItemState(state | StateSelected));
  }
};

// The file of the first format, as the earlier writer made it: each group's records whole.
struct FirstFormatGroup {
  Code code;
  std::vector<PriceItem> before;
  uint32_t after_count;
  std::vector<uint32_t> positions;
  std::vector<PriceItem> changed;
};

std::string FirstFormatFile(const std::string& program_dir,
                            const std::vector<FirstFormatGroup>& groups) {
  std::string b("CUUNDO01", 8);
  auto put = [&](const void* p, size_t n) { b.append(static_cast<const char*>(p), n); };
  auto put32 = [&](uint32_t v) { put(&v, 4); };  // little-endian machines only, as the writer was
  char dir[256] = {};
  std::strncpy(dir, program_dir.c_str(), 255);
  put(dir, 256);
  CalendarTime t = LocalNow();
  put(&t, sizeof t);
  size_t items = 0;
  for (const FirstFormatGroup& g : groups) items += g.changed.size();
  put32(uint32_t(groups.size()));
  put32(uint32_t(items));
  for (const FirstFormatGroup& g : groups) {
    put(&g.code, 8);
    put32(uint32_t(g.before.size()));
    put(g.before.data(), g.before.size() * sizeof(PriceItem));
    put32(g.after_count);
    put32(uint32_t(g.changed.size()));
    for (uint32_t p : g.positions) put32(p);
    put(g.changed.data(), g.changed.size() * sizeof(PriceItem));
  }
  uint64_t sum = UndoChecksum(reinterpret_cast<const uint8_t*>(b.data()), b.size());
  put(&sum, 8);
  b += "CUUNDEND";
  return b;
}

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshTestDir() + kSep;
    ASSERT_EQ(1, db_.InitDatabase(dir_.c_str()));
    Seed(&db_, kA1, {Item(kA1, "a1", 100, 110), Item(kA2, "a2", 200, 220)});
    Seed(&db_, kB1, {Item(kB1, "b1", 300, 330), Item(kB2, "b2", 400, 440)});
  }

  // Applies the selection with an undo record; false when the record was not saved.
  bool Apply(Selection s, int overwrite, Disk* disk = RealDisk()) {
    UndoSaver undo(disk, dir_.c_str(), LocalNow());
    int failed = 0;
    ApplySelectedItems(&db_, s.items.data(), int(s.items.size()), s.states.data(), kChangeBits,
                       overwrite, &failed, nullptr, &undo);
    EXPECT_EQ(0, failed);
    return !undo.failed();
  }

  // The changes of a typical file: a name, a price kept or overwritten, a new item appended
  // to a group, a new group.
  Selection TypicalFile() {
    Selection s;
    s.Add(Item(kA1, "a1 renamed", 100, 110), ChangeMaterialName);
    s.Add(Item(kA3, "a3", 1, 2), kNewItemState);
    s.Add(Item(kB2, "b2", 444, 445), ChangeExecutionPrice | ChangeEstimatePrice);
    s.Add(Item(kC1, "c1", 5, 6), kNewItemState);
    return s;
  }

  StoreLibrary db_;
  std::string dir_;
};

TEST_F(UndoTest, ApplyThenUndoGivesEveryGroupBackByteForByte) {
  for (int overwrite : {0, 1}) {
    Snapshot before = Take(&db_);
    ASSERT_TRUE(Apply(TypicalFile(), overwrite));
    Snapshot applied = Take(&db_);
    ASSERT_NE(before, applied);
    ASSERT_EQ(1u, UndoFiles(RealDisk(), dir_.c_str()).size());

    UndoReport report = UndoLatest(&db_, RealDisk(), dir_.c_str());
    ASSERT_TRUE(report.found);
    ASSERT_FALSE(report.refused) << report.error;
    EXPECT_EQ(3u, report.groups.size());
    for (const UndoGroupResult& g : report.groups) EXPECT_EQ(kUndoRestored, g.outcome);
    EXPECT_EQ(4u, report.record.ItemCount());
    EXPECT_EQ(before, Take(&db_)) << "overwrite " << overwrite;
    EXPECT_TRUE(UndoFiles(RealDisk(), dir_.c_str()).empty());
    EXPECT_FALSE(UndoLatest(&db_, RealDisk(), dir_.c_str()).found);
  }
}

TEST_F(UndoTest, AppliesAreUndoneNewestFirstAndAnUndoCutShortCanBeRepeated) {
  Snapshot s0 = Take(&db_);
  ASSERT_TRUE(Apply(TypicalFile(), 1));
  Snapshot s1 = Take(&db_);
  Selection second;
  second.Add(Item(kA1, "a1 again", 7, 8), ChangeMaterialName | ChangeExecutionPrice);
  second.Add(Item(kB1, "b1 again", 300, 330), ChangeMaterialName);
  ASSERT_TRUE(Apply(second, 1));
  ASSERT_NE(s1, Take(&db_));

  // An undo that restored its groups but ended before removing its record.
  std::vector<std::string> files = UndoFiles(RealDisk(), dir_.c_str());
  ASSERT_EQ(2u, files.size());
  UndoRecord latest;
  std::string error;
  ASSERT_TRUE(ReadUndoFile(RealDisk(), files.back(), dir_.c_str(), &latest, &error)) << error;
  RestoreGroups(&db_, latest);
  EXPECT_EQ(s1, Take(&db_));

  UndoReport again = UndoLatest(&db_, RealDisk(), dir_.c_str());
  for (const UndoGroupResult& g : again.groups) EXPECT_EQ(kUndoRestored, g.outcome);
  EXPECT_EQ(s1, Take(&db_));
  UndoLatest(&db_, RealDisk(), dir_.c_str());
  EXPECT_EQ(s0, Take(&db_));
}

TEST_F(UndoTest, GroupChangedSinceTheApplyIsLeftAloneAndReported) {
  ASSERT_TRUE(Apply(TypicalFile(), 1));
  // Another program writes group B after the apply.
  Seed(&db_, kB1, {Item(kB1, "b1 by another", 1, 1)});
  Snapshot other = Take(&db_);

  UndoReport report = UndoLatest(&db_, RealDisk(), dir_.c_str());
  std::map<unsigned, UndoGroupOutcome> outcome;
  for (const UndoGroupResult& g : report.groups) outcome[CodeGroup(g.code)] = g.outcome;
  EXPECT_EQ(kUndoRestored, outcome[CodeGroup(kA1)]);
  EXPECT_EQ(kUndoChangedSince, outcome[CodeGroup(kB1)]);
  EXPECT_EQ(kUndoRestored, outcome[CodeGroup(kC1)]);
  EXPECT_EQ(other[CodeGroup(kB1)], Take(&db_)[CodeGroup(kB1)]);
  EXPECT_EQ(0u, Take(&db_).count(CodeGroup(kC1)));
  EXPECT_TRUE(UndoFiles(RealDisk(), dir_.c_str()).empty());
}

TEST_F(UndoTest, AnApplyWhoseUndoRecordCannotBeSavedWritesNothing) {
  for (FileFault fault : {kFailCreate, kFailWrite, kFailFlush, kFailClose, kFailRename}) {
    FakePriceLibrary fake;
    fake.Put(Item(kA1, "a1", 100, 110));
    Selection s;
    s.Add(Item(kA1, "a1 renamed", 100, 110), ChangeMaterialName);
    s.Add(Item(kC1, "c1", 5, 6), kNewItemState);
    std::vector<ItemState> states_before = s.states;
    FaultyDisk ops(fault);
    UndoSaver undo(&ops, dir_.c_str(), LocalNow());
    ApplySelectedItems(&fake, s.items.data(), int(s.items.size()), s.states.data(), kChangeBits, 1,
                       nullptr, nullptr, &undo);
    EXPECT_TRUE(undo.failed()) << FaultName(fault);
    EXPECT_EQ(1, ops.injected()) << FaultName(fault);
    EXPECT_EQ(0, fake.write_group_calls) << FaultName(fault);
    EXPECT_EQ(0, fake.live_blocks) << FaultName(fault);
    EXPECT_EQ(states_before, s.states) << FaultName(fault);
    EXPECT_STREQ("a1", fake.Find(kA1)->material_name);
    // Nothing usable, and no temporary file, is left in the undo folder.
    EXPECT_TRUE(UndoFiles(RealDisk(), dir_.c_str()).empty()) << FaultName(fault);
    EXPECT_TRUE(ops.NamesStartingWith((dir_ + kUndoDirName).c_str()).size() <= 2)
        << FaultName(fault);  // "." and ".." natively
  }
}

TEST_F(UndoTest, NoRecordWhenNoGroupCanBeWritten) {
  FakePriceLibrary fake;
  fake.Put(Item(kA1, "a1", 100, 110));
  fake.allocs_left = fake.resizes_left = 0;  // no block for any group
  Selection s;
  s.Add(Item(kA1, "a1 renamed", 100, 110), ChangeMaterialName);
  UndoSaver undo(RealDisk(), dir_.c_str(), LocalNow());
  int failed = 0;
  ApplySelectedItems(&fake, s.items.data(), 1, s.states.data(), kChangeBits, 1, &failed, nullptr,
                     &undo);
  EXPECT_EQ(1, failed);
  EXPECT_FALSE(undo.failed());
  EXPECT_EQ(0, fake.write_group_calls);
  EXPECT_TRUE(UndoFiles(RealDisk(), dir_.c_str()).empty());
}

TEST_F(UndoTest, DamagedOrCutRecordsAreRefusedAndSetAside) {
  Snapshot s0 = Take(&db_);
  ASSERT_TRUE(Apply(TypicalFile(), 1));
  Snapshot s1 = Take(&db_);
  std::string good_path = UndoFiles(RealDisk(), dir_.c_str()).back();
  std::string good;
  ASSERT_TRUE(ReadWholeFile(good_path, &good));

  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"a byte changed", good.substr(0, 600) + char(good[600] ^ 1) + good.substr(601)},
      {"cut short", good.substr(0, good.size() / 2)},
      {"cut before its end mark", good.substr(0, good.size() - 3)},
      {"empty", ""},
      {"not an undo record", "hello"},
  };
  int sequence = 50;
  for (const Case& c : cases) {
    std::string path = dir_ + kUndoDirName + UndoFileName(LocalNow(), sequence++);
    ASSERT_TRUE(ReplaceThroughTemp(RealDisk(), path.c_str(), c.bytes.data(), c.bytes.size()));
    UndoReport report = UndoLatest(&db_, RealDisk(), dir_.c_str());
    EXPECT_TRUE(report.refused) << c.what;
    EXPECT_FALSE(report.error.empty()) << c.what;
    EXPECT_EQ(s1, Take(&db_)) << c.what;
    std::string aside;
    EXPECT_TRUE(ReadWholeFile(path + ".bad", &aside)) << c.what;
  }
  // The good record is still the next one and still works.
  EXPECT_EQ(1u, UndoFiles(RealDisk(), dir_.c_str()).size());
  UndoLatest(&db_, RealDisk(), dir_.c_str());
  EXPECT_EQ(s0, Take(&db_));
}

// Refused and left in place: it is the way back for the database of its own folder.
TEST_F(UndoTest, RecordOfAnotherProgramFolderIsRefusedAndKept) {
  ASSERT_TRUE(Apply(TypicalFile(), 1));
  Snapshot s1 = Take(&db_);
  std::string path = UndoFiles(RealDisk(), dir_.c_str()).back();
  std::string other = dir_.substr(0, dir_.size() - 1) + "-other" + kSep;
  std::filesystem::remove_all(other);
  std::filesystem::create_directories(other + kUndoDirName);
  std::filesystem::copy_file(path, other + kUndoDirName + UndoFileName(LocalNow(), 0));
  UndoReport report = UndoLatest(&db_, RealDisk(), other.c_str());
  EXPECT_TRUE(report.refused && report.other_folder);
  EXPECT_NE(std::string::npos, report.error.find(dir_)) << report.error;  // names its folder
  EXPECT_EQ(1u, UndoFiles(RealDisk(), other.c_str()).size());
  EXPECT_EQ(s1, Take(&db_));
  UndoRecord record;
  std::string error;
  EXPECT_TRUE(ReadUndoFile(RealDisk(), path, dir_.c_str(), &record, &error)) << error;
}

TEST_F(UndoTest, OnlyTheNewestTenRecordsAreKept) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; i++) {
    Selection s;
    char name[16];
    std::snprintf(name, sizeof name, "a1 %d", i);
    s.Add(Item(kA1, name, 100, 110), ChangeMaterialName);
    ASSERT_TRUE(Apply(s, 1));
  }
  std::vector<std::string> files = UndoFiles(RealDisk(), dir_.c_str());
  ASSERT_EQ(kUndoRecordsKept, files.size());
  // The newest is the twelfth apply's.
  UndoRecord record;
  std::string error;
  ASSERT_TRUE(ReadUndoFile(RealDisk(), files.back(), dir_.c_str(), &record, &error));
  ASSERT_EQ(1u, record.groups.size());
  ASSERT_EQ(1u, record.groups[0].old.size());
  EXPECT_STREQ("a1 10", record.groups[0].old[0].material_name);
}

// Records kept by the earlier program, which held every touched group whole, are still read
// and taken back, and a group changed since is still left alone.
TEST_F(UndoTest, FirstFormatRecordsAreStillTakenBack) {
  for (bool changed_since : {false, true}) {
    // The groups as SetUp made them, again for the second round.
    Seed(&db_, kA1, {Item(kA1, "a1", 100, 110), Item(kA2, "a2", 200, 220)});
    Seed(&db_, kB1, {Item(kB1, "b1", 300, 330), Item(kB2, "b2", 400, 440)});
    RecordBlock none = db_.AllocBlock(sizeof(PriceItem));
    db_.WriteGroup(kC1, none, 0);
    db_.FreeBlock(none);
    Snapshot s0 = Take(&db_);
    PriceItem a1x = Item(kA1, "a1 by the old program", 1, 2), a3 = Item(kA3, "a3", 3, 4);
    PriceItem b2x = Item(kB2, "b2 by the old program", 5, 6), c1 = Item(kC1, "c1", 7, 8);
    std::vector<FirstFormatGroup> groups = {
        {kA1, {Item(kA1, "a1", 100, 110), Item(kA2, "a2", 200, 220)}, 3, {0, 2}, {a1x, a3}},
        {kB1, {Item(kB1, "b1", 300, 330), Item(kB2, "b2", 400, 440)}, 2, {1}, {b2x}},
        {kC1, {}, 1, {0}, {c1}},
    };
    // What that apply wrote.
    Seed(&db_, kA1, {a1x, Item(kA2, "a2", 200, 220), a3});
    Seed(&db_, kB1, {Item(kB1, "b1", 300, 330), b2x});
    Seed(&db_, kC1, {c1});
    if (changed_since) Seed(&db_, kB1, {Item(kB1, "b1 by another", 1, 1)});
    Snapshot applied = Take(&db_);
    std::string path = dir_ + kUndoDirName + UndoFileName(LocalNow(), 0);
    std::filesystem::create_directories(dir_ + kUndoDirName);
    std::string file = FirstFormatFile(dir_, groups);
    ASSERT_TRUE(ReplaceThroughTemp(RealDisk(), path.c_str(), file.data(), file.size()));

    UndoReport report = UndoLatest(&db_, RealDisk(), dir_.c_str());
    ASSERT_FALSE(report.refused) << report.error;
    EXPECT_EQ(4u, report.record.ItemCount());
    ASSERT_EQ(3u, report.groups.size());
    EXPECT_EQ(kUndoRestored, report.groups[0].outcome);
    EXPECT_EQ(changed_since ? kUndoChangedSince : kUndoRestored, report.groups[1].outcome);
    EXPECT_EQ(kUndoRestored, report.groups[2].outcome);
    Snapshot now = Take(&db_);
    EXPECT_EQ(s0[CodeGroup(kA1)], now[CodeGroup(kA1)]);
    EXPECT_EQ(changed_since ? applied[CodeGroup(kB1)] : s0[CodeGroup(kB1)], now[CodeGroup(kB1)]);
    EXPECT_EQ(0u, now.count(CodeGroup(kC1)));
    // Cut short, it is refused like a record of the current format.
    file.resize(file.size() - 3);
    ASSERT_TRUE(ReplaceThroughTemp(RealDisk(), path.c_str(), file.data(), file.size()));
    EXPECT_TRUE(UndoLatest(&db_, RealDisk(), dir_.c_str()).refused);
  }
}

// A library that hands a group out in code order, not in the order written: the undo still
// finds what the apply set and gives the group its records back.
TEST_F(UndoTest, GroupsHandedOutInAnotherOrderAreTakenBack) {
  FakePriceLibrary fake;
  fake.Put(Item(kA2, "a2", 200, 220));
  fake.Put(Item(kA3, "a3", 300, 330));
  Selection s;
  s.Add(Item(kA1, "a1 new", 1, 2), kNewItemState);  // appended, but first in code order
  s.Add(Item(kA3, "a3 renamed", 300, 330), ChangeMaterialName);
  UndoSaver undo(RealDisk(), dir_.c_str(), LocalNow());
  int failed = 0;
  ApplySelectedItems(&fake, s.items.data(), int(s.items.size()), s.states.data(), kChangeBits, 1,
                     &failed, nullptr, &undo);
  ASSERT_EQ(0, failed);
  ASSERT_FALSE(undo.failed());
  ASSERT_NE(nullptr, fake.Find(kA1));
  UndoReport report = UndoLatest(&fake, RealDisk(), dir_.c_str());
  ASSERT_FALSE(report.refused) << report.error;
  ASSERT_EQ(1u, report.groups.size());
  EXPECT_EQ(kUndoRestored, report.groups[0].outcome);
  EXPECT_EQ(nullptr, fake.Find(kA1));
  EXPECT_STREQ("a3", fake.Find(kA3)->material_name);
  EXPECT_STREQ("a2", fake.Find(kA2)->material_name);
}

// A record larger than the pieces it is written in: taken back whole, and a write that fails
// part way leaves nothing, as with a small one.
TEST_F(UndoTest, LargeRecordsAreWrittenInPieces) {
  for (FileFault fault : {kNoFault, kFailWrite}) {
    FakePriceLibrary fake;
    Selection s;
    for (unsigned g = 1; g <= 2; g++) {
      for (unsigned i = 1; i <= 26000; i++) {
        Code code = MakeCode(3, g, i / 100, 0, i % 100 + 1);
        fake.Put(Item(code, "old", i, i));
        s.Add(Item(code, "new", i, i), ChangeMaterialName);
      }
    }
    FaultyDisk disk(fault);
    UndoSaver undo(&disk, dir_.c_str(), LocalNow());
    ApplySelectedItems(&fake, s.items.data(), int(s.items.size()), s.states.data(), kChangeBits, 1,
                       nullptr, nullptr, &undo);
    std::vector<std::string> files = UndoFiles(RealDisk(), dir_.c_str());
    if (fault == kFailWrite) {
      EXPECT_TRUE(undo.failed());
      EXPECT_EQ(1, disk.injected());
      EXPECT_EQ(0, fake.write_group_calls);
      EXPECT_TRUE(files.empty());
      EXPECT_TRUE(disk.NamesStartingWith((dir_ + kUndoDirName).c_str()).size() <= 2);
      continue;
    }
    ASSERT_EQ(1u, files.size());
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(files[0], &bytes));
    EXPECT_GT(bytes.size(), size_t(4) << 20);  // more than one piece
    EXPECT_STREQ("new", fake.Find(MakeCode(3, 2, 123, 0, 5))->material_name);
    UndoReport report = UndoLatest(&fake, RealDisk(), dir_.c_str());
    ASSERT_FALSE(report.refused) << report.error;
    EXPECT_EQ(52000u, report.record.ItemCount());
    for (const UndoGroupResult& g : report.groups) EXPECT_EQ(kUndoRestored, g.outcome);
    EXPECT_STREQ("old", fake.Find(MakeCode(3, 2, 123, 0, 5))->material_name);
  }
}

}  // namespace
