// Writing items into a database that fails: every file operation of a group's write made to
// fail in turn, a read-only, a locked and a damaged file. Each group stays whole (its old or
// its new records) and no item is marked applied that the database does not hold.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/item_compare.h"
#include "data/item_store.h"
#include "qupra/faulty_vfs.h"
#include "qupra/store_library.h"
#include "qupra/test_util.h"

namespace {

PriceItem Record(Code code, const char* name, uint32_t price) {
  PriceItem item = {};
  item.code = code;
  std::snprintf(item.material_name, sizeof item.material_name, "%s", name);
  item.execution_price = price;
  item.estimate_price = price + 1;
  item.unit_code = 1;
  return item;
}

const Code kA1 = MakeCode(3, 12, 1, 1, 1), kA2 = MakeCode(3, 12, 1, 1, 2),
           kA3 = MakeCode(3, 12, 2, 1, 0), kA4 = MakeCode(3, 12, 3, 0, 0);
const Code kB1 = MakeCode(3, 13, 1, 1, 1), kB2 = MakeCode(3, 13, 1, 1, 2);
const Code kC1 = MakeCode(5, 1, 1, 1, 1);

class DatabaseFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = ::testing::TempDir() + "dbfaults_" + info->name();
    old_ = {{Record(kA1, "a1", 100), Record(kA2, "a2", 200), Record(kA3, "a3", 300)},
            {Record(kB1, "b1", 400), Record(kB2, "b2", 500)}};
    // The file changes a1's name, adds a4, changes b2's price and adds a new group.
    file_ = {Record(kA1, "a1 new", 100), Record(kA2, "a2", 200), Record(kA4, "a4", 700),
             Record(kB2, "b2", 555),     Record(kC1, "c1", 900), PriceItem()};
    new_ = {{file_[0], old_[0][1], old_[0][2], file_[2]}, {old_[1][0], file_[3]}, {file_[4]}};
  }

  // A fresh database with the old groups, opened by library when given.
  void Seed(StoreLibrary* library) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    {
      StoreLibrary seed;
      ASSERT_EQ(1, seed.InitDatabase(dir_.c_str()));
      for (const auto& g : old_)
        ASSERT_TRUE(seed.store().WriteGroup(g[0].code, g.data(), g.size()));
    }
    if (library) {
      ASSERT_EQ(1, library->InitDatabase(dir_.c_str()));
    }
  }

  // Compares and selects every item that differs, as a user pressing ON/OFF would.
  std::vector<ItemState> Select(PriceLibrary* library) {
    std::vector<ItemState> states(file_.size() + 10);
    ComputeItemStates(library, file_.data(), int(file_.size() - 1), states.data());
    for (size_t i = 0; i + 1 < file_.size(); ++i)
      if (states[i] & kChangeBits) states[i] |= StateSelected;
    return states;
  }

  int Apply(PriceLibrary* library, std::vector<ItemState>* states) {
    int failed = 0;
    ApplySelectedItems(library, file_.data(), int(file_.size() - 1), states->data(), kChangeBits, 1,
                       &failed);
    return failed;
  }

  // Reads the file through a connection of its own: each group must be its old or its new
  // records, and an applied item's group its new ones. Returns the groups left old.
  int CheckFile(const std::vector<ItemState>& states) {
    StoreLibrary reader(OpenMode::kReadOnly);
    EXPECT_EQ(1, reader.InitDatabase(dir_.c_str()));
    std::string path = dir_ + "/" + kStoreFileName;
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    std::string integrity;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) += values[0] ? values[0] : "";
          return 0;
        },
        &integrity, nullptr);
    sqlite3_close(db);
    EXPECT_EQ("ok", integrity);

    std::vector<bool> group_new(new_.size());
    int left_old = 0;
    for (size_t g = 0; g < new_.size(); ++g) {
      std::vector<PriceItem> stored;
      reader.store().ReadGroup(new_[g][0].code, &stored);
      std::vector<PriceItem> old = g < old_.size() ? old_[g] : std::vector<PriceItem>();
      group_new[g] = Same(stored, new_[g]);
      EXPECT_TRUE(group_new[g] || Same(stored, old)) << "group " << g << " is neither old nor new";
      left_old += !group_new[g];
    }
    for (size_t i = 0; i + 1 < file_.size(); ++i) {
      size_t g = CodeGroup(file_[i].code) == CodeGroup(kA1)   ? 0
                 : CodeGroup(file_[i].code) == CodeGroup(kB1) ? 1
                                                              : 2;
      if (states[i] & StateApplied) {
        EXPECT_TRUE(group_new[g]) << "item " << i << " marked applied";
      }
    }
    return left_old;
  }

  static bool Same(const std::vector<PriceItem>& a, const std::vector<PriceItem>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
  }

  std::string dir_;
  std::vector<std::vector<PriceItem>> old_, new_;
  std::vector<PriceItem> file_;  // with the zero record after the last item
};

// Each file operation of the writes fails in turn, every one of each kind, until the
// apply no longer reaches the next one. A second apply afterwards writes everything.
TEST_F(DatabaseFaults, EveryFailingOperationLeavesWholeGroups) {
  FaultyVfs vfs;
  for (VfsFault fault : {kVfsFailOpen, kVfsFailWrite, kVfsFailSync, kVfsFailDelete}) {
    int injected = 0, refused = 0;
    for (int skip = 0; skip < 1000; ++skip) {
      SCOPED_TRACE(std::string("failing ") + VfsFaultName(fault) + " #" + std::to_string(skip));
      StoreLibrary library;
      Seed(&library);
      if (HasFatalFailure()) return;
      std::vector<ItemState> states = Select(&library);
      vfs.Arm(fault, skip);
      int failed = Apply(&library, &states);
      vfs.Disarm();
      if (vfs.injected() == 0) break;
      injected++;
      int left_old = CheckFile(states);
      EXPECT_EQ(failed, left_old);
      refused += failed > 0;
      Apply(&library, &states);
      EXPECT_EQ(0, CheckFile(states));
    }
    // The faults reached the writes: some of them cost a group its write.
    EXPECT_GT(injected, 0) << VfsFaultName(fault);
    EXPECT_GT(refused, 0) << VfsFaultName(fault);
    std::printf("%s: %d failures injected, %d applies with a group not written\n",
                VfsFaultName(fault), injected, refused);
  }
}

TEST_F(DatabaseFaults, ReadOnlyFileIsNeverMarkedWritten) {
  FaultyVfs vfs;
  Seed(nullptr);
  vfs.set_read_only_database(true);
  StoreLibrary library;
  ASSERT_EQ(1, library.InitDatabase(dir_.c_str()));
  std::vector<ItemState> states = Select(&library);
  EXPECT_EQ(3, Apply(&library, &states));
  vfs.set_read_only_database(false);
  EXPECT_EQ(3, CheckFile(states));
}

// A file damaged after its first page is no database to the library: nothing is found,
// nothing is written, and the file is left as it was.
TEST_F(DatabaseFaults, CorruptFileIsLeftAlone) {
  Seed(nullptr);
  std::string path = dir_ + "/" + kStoreFileName, bytes, after;
  ASSERT_TRUE(ReadWholeFile(path, &bytes));
  for (size_t i = 100; i < bytes.size(); ++i) bytes[i] = char(0x5A ^ (i * 7));
  ASSERT_TRUE(WriteWholeFile(path, bytes));
  StoreLibrary library;
  library.InitDatabase(dir_.c_str());
  std::vector<ItemState> states = Select(&library);
  for (size_t i = 0; i + 1 < file_.size(); ++i) EXPECT_EQ(kNewItemState | StateSelected, states[i]);
  EXPECT_EQ(3, Apply(&library, &states));
  for (size_t i = 0; i + 1 < file_.size(); ++i) EXPECT_FALSE(states[i] & StateApplied) << i;
  ASSERT_TRUE(ReadWholeFile(path, &after));
  EXPECT_TRUE(after == bytes);
}

// Another program holds the write lock for longer than the library waits.
TEST_F(DatabaseFaults, LockedFileIsNeverMarkedWritten) {
  StoreLibrary library;
  Seed(&library);
  std::vector<ItemState> states = Select(&library);
  for (size_t i = 3; i < file_.size(); ++i) states[i] &= ItemState(~StateSelected);  // group A
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open((dir_ + "/" + kStoreFileName).c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM unit_names", nullptr,
                                    nullptr, nullptr));
  EXPECT_EQ(1, Apply(&library, &states));
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(3, CheckFile(states));
  EXPECT_EQ(0, Apply(&library, &states));  // the lock is gone: now it is written
  EXPECT_EQ(2, CheckFile(states));
}

// A group with a record that is not its own cannot be read whole: writing it back would
// drop the records that could not be read, so it is not written at all.
TEST_F(DatabaseFaults, GroupThatCannotBeReadIsNotOverwritten) {
  StoreLibrary library;
  Seed(&library);
  std::vector<ItemState> states = Select(&library);
  {
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((dir_ + "/" + kStoreFileName).c_str(), &other));
    std::string damage =
        "UPDATE items SET record = zeroblob(84) WHERE grp = " + std::to_string(CodeGroup(kA1)) +
        " AND pos = 2";
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, damage.c_str(), nullptr, nullptr, nullptr));
    sqlite3_close(other);
  }
  EXPECT_EQ(1, Apply(&library, &states));
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(states[i] & StateApplied) << i;
  std::vector<PriceItem> stored;
  StoreLibrary reader(OpenMode::kReadOnly);
  ASSERT_EQ(1, reader.InitDatabase(dir_.c_str()));
  EXPECT_FALSE(reader.store().ReadGroup(kA1, &stored));
  PriceItem item;
  EXPECT_TRUE(reader.store().GetItem(kA2, &item));  // still there
  EXPECT_EQ(0, std::memcmp(&item, &old_[0][1], sizeof item));
}

}  // namespace
