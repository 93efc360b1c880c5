// Tests of the store's record cache: it follows its own writes and other connections' writes,
// never hands out a group half old and half new, holds no lock, and fails like the file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

const Code kA1 = MakeCode(3, 12, 45, 2, 1);
const Code kA2 = MakeCode(3, 12, 45, 2, 2);
const Code kB1 = MakeCode(3, 13, 45, 2, 1);

// Records of one group that all carry version in their execution price.
std::vector<PriceItem> VersionedGroup(Code group, unsigned size, uint32_t version) {
  std::vector<PriceItem> items;
  for (unsigned i = 0; i < size; ++i) {
    PriceItem item = SampleItem(MakeCode(CodeCategory(group), CodeLargeItem(group), 1, 1, i), i);
    item.execution_price = version;
    items.push_back(item);
  }
  return items;
}

class CacheTest : public TwoStoreTest {
 protected:
  void Write(PriceStore* store, Code code, const std::vector<PriceItem>& items) {
    ASSERT_TRUE(store->WriteGroup(code, items.data(), items.size()));
  }

  // The store's record of code, or a record of code 0 when it has none.
  PriceItem Get(PriceStore* store, Code code) {
    PriceItem item;
    std::memset(&item, 0, sizeof item);
    if (!store->GetItem(code, &item)) std::memset(&item, 0, sizeof item);
    return item;
  }
};

TEST_F(CacheTest, OwnWritesAreSeenAtOnce) {
  Write(&store_, kA1, {SampleItem(kA1, 1), SampleItem(kA2, 2)});
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), Get(&store_, kA1)));  // the group is now held
  Write(&store_, kA1, {SampleItem(kA2, 3)});
  EXPECT_EQ(0u, Get(&store_, kA1).code);
  EXPECT_TRUE(SameBytes(SampleItem(kA2, 3), Get(&store_, kA2)));
  ExpectGroup(&store_, kA1, {SampleItem(kA2, 3)});
  ASSERT_TRUE(store_.PutItems({SampleItem(kA1, 4), SampleItem(kA2, 5), SampleItem(kB1, 6)}));
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 4), Get(&store_, kA1)));
  EXPECT_TRUE(SameBytes(SampleItem(kA2, 5), Get(&store_, kA2)));
  EXPECT_TRUE(SameBytes(SampleItem(kB1, 6), Get(&store_, kB1)));
  ExpectGroup(&store_, kA1, {SampleItem(kA2, 5), SampleItem(kA1, 4)});
  // A refused write changes nothing, in the file or in memory.
  std::vector<PriceItem> foreign = {SampleItem(kB1, 7)};
  EXPECT_FALSE(store_.WriteGroup(kA1, foreign.data(), foreign.size()));
  ExpectGroup(&store_, kA1, {SampleItem(kA2, 5), SampleItem(kA1, 4)});
}

TEST_F(CacheTest, AnotherConnectionsWriteIsSeenWithinTheRecheckTime) {
  Write(&other_, kA1, {SampleItem(kA1, 1)});
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), Get(&store_, kA1)));
  EXPECT_EQ(0u, Get(&store_, kB1).code);  // an empty group is held too

  struct Case {
    const char* what;
    std::function<void()> write;
    Code code;
    PriceItem expected;
  };
  PriceItem raw = SampleItem(kA1, 9);
  std::string raw_hex;
  for (size_t i = 0; i < sizeof raw; ++i) {
    char hex[3];
    snprintf(hex, sizeof hex, "%02X", reinterpret_cast<const unsigned char*>(&raw)[i]);
    raw_hex += hex;
  }
  std::string update = "UPDATE items SET record = X'" + raw_hex +
                       "' WHERE pos = 0 AND grp = " + std::to_string(CodeGroup(kA1));
  const Case cases[] = {
      {"another store's WriteGroup", [&] { Write(&other_, kA1, {SampleItem(kA1, 2)}); }, kA1,
       SampleItem(kA1, 2)},
      {"another store's PutItems", [&] { ASSERT_TRUE(other_.PutItems({SampleItem(kB1, 3)})); }, kB1,
       SampleItem(kB1, 3)},
      {"plain SQL through a connection of its own", [&] { ExecBeside(update.c_str()); }, kA1, raw},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PriceItem before = Get(&store_, c.code);
    c.write();
    now_ += PriceStore::kRecheckMs - 1;
    // Within the recheck time a look-up may still give the held record...
    EXPECT_TRUE(SameBytes(before, Get(&store_, c.code)));
    // ...a group read, which precedes a write, never does...
    std::vector<PriceItem> group;
    ASSERT_TRUE(store_.ReadGroup(c.code, &group));
    ASSERT_EQ(1u, group.size());
    EXPECT_TRUE(SameBytes(c.expected, group[0]));
    now_ += 1;
    // ...and after it look-ups give the file's record.
    EXPECT_TRUE(SameBytes(c.expected, Get(&store_, c.code)));
  }
}

TEST_F(CacheTest, WriteAfterAnotherConnectionsWriteDropsWhatWasHeld) {
  Write(&store_, kA1, {SampleItem(kA1, 1)});
  Write(&store_, kB1, {SampleItem(kB1, 2)});
  EXPECT_TRUE(SameBytes(SampleItem(kB1, 2), Get(&store_, kB1)));
  Write(&other_, kB1, {SampleItem(kB1, 3)});
  // The store's own write notices the other one and does not keep its stale group B.
  Write(&store_, kA1, {SampleItem(kA1, 4)});
  EXPECT_TRUE(SameBytes(SampleItem(kB1, 3), Get(&store_, kB1)));
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 4), Get(&store_, kA1)));
}

TEST_F(CacheTest, GroupIsNeverHalfOldHalfNew) {
  const unsigned kSize = 120;
  Write(&other_, kA1, VersionedGroup(kA1, kSize, 0));
  std::atomic<bool> stop(false);
  std::atomic<int> writes(0);
  // Another connection rewrites the whole group again and again, each time one version.
  std::thread writer([&] {
    PriceStore store;
    if (!store.Open(dir_.c_str())) return;
    for (uint32_t v = 1; !stop; ++v) {
      std::vector<PriceItem> items = VersionedGroup(kA1, kSize, v);
      if (store.WriteGroup(kA1, items.data(), items.size())) ++writes;
    }
  });
  uint32_t last_seen = 0;
  for (int round = 0; round < 40 || writes < 5; ++round) {
    std::vector<PriceItem> group;
    ASSERT_TRUE(store_.ReadGroup(kA1, &group));
    ASSERT_EQ(kSize, group.size());
    for (const PriceItem& item : group) ASSERT_EQ(group[0].execution_price, item.execution_price);
    // Look-ups between two rechecks give one version, and versions never go back.
    uint32_t version = Get(&store_, MakeCode(3, 12, 1, 1, 0)).execution_price;
    EXPECT_GE(version, last_seen);
    last_seen = version;
    for (unsigned i = 0; i < kSize; i += 7)
      ASSERT_EQ(version, Get(&store_, MakeCode(3, 12, 1, 1, i)).execution_price) << i;
    now_ += PriceStore::kRecheckMs;
    if (round > 100000) break;
  }
  stop = true;
  writer.join();
  EXPECT_GT(last_seen, 0u);
}

TEST_F(CacheTest, NoLockIsHeldBetweenCalls) {
  Write(&store_, kA1, {SampleItem(kA1, 1)});
  std::vector<PriceItem> group;
  PriceItem item;
  const std::function<void()> calls[] = {
      [&] { store_.GetItem(kA1, &item); },
      [&] { store_.GetItem(kB1, &item); },
      [&] { store_.ReadGroup(kA1, &group); },
      [&] { Write(&store_, kA1, {SampleItem(kA1, 2)}); },
      [&] { store_.PutItems({SampleItem(kA2, 3)}); },
  };
  for (const auto& call : calls) {
    call();
    now_ += PriceStore::kRecheckMs;
    // A writer that will not wait gets the file to itself at once.
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(DbPath().c_str(), &db));
    sqlite3_busy_timeout(db, 0);
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr))
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
}

TEST_F(CacheTest, FileTurnedToGarbageGivesEmptyResults) {
  Write(&store_, kA1, {SampleItem(kA1, 1)});
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), Get(&store_, kA1)));
  other_.Close();
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(DbPath(), &bytes));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(0xA5 ^ (i * 13));
  ASSERT_TRUE(WriteWholeFile(DbPath(), bytes));
  now_ += PriceStore::kRecheckMs;
  PriceItem item;
  EXPECT_FALSE(store_.GetItem(kA1, &item));
  std::vector<PriceItem> group(1);
  EXPECT_FALSE(store_.ReadGroup(kA1, &group));
  EXPECT_TRUE(group.empty());
  std::vector<PriceItem> items = {SampleItem(kA1, 2)};
  EXPECT_FALSE(store_.WriteGroup(kA1, items.data(), items.size()));
}

TEST_F(CacheTest, ReadOnlyStoreFollowsOthersAndRefusesItsOwnWrites) {
  Write(&other_, kA1, {SampleItem(kA1, 1)});
  store_.Close();
  ASSERT_TRUE(store_.Open(dir_.c_str(), OpenMode::kReadOnly));
  store_.SetClockForTesting(Clock);
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), Get(&store_, kA1)));
  std::vector<PriceItem> items = {SampleItem(kA1, 2)};
  EXPECT_FALSE(store_.WriteGroup(kA1, items.data(), items.size()));
  EXPECT_FALSE(store_.PutItems(items));
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 1), Get(&store_, kA1)));
  Write(&other_, kA1, {SampleItem(kA1, 3)});
  now_ += PriceStore::kRecheckMs;
  EXPECT_TRUE(SameBytes(SampleItem(kA1, 3), Get(&store_, kA1)));
}

// Rows another program may leave behind: found exactly as the file's queries find them.
TEST_F(CacheTest, ForeignRowsAreFoundAsTheFileFindsThem) {
  Write(&other_, kA1, {SampleItem(kA1, 1), SampleItem(kA2, 2)});
  const Code kA3 = MakeCode(3, 12, 45, 2, 3);
  struct Case {
    const char* what;
    std::string sql;
    Code code;
    bool found;
  };
  const Case cases[] = {
      // The code column says A3, the record says A2: neither code finds it.
      {"code column disagrees with the record",
       "UPDATE items SET code = " + std::to_string(int64_t(kA3)) + " WHERE pos = 1", kA3, false},
      {"the record's own code is not looked up either", "", kA2, false},
      {"the group's other records are still found", "", kA1, true},
      {"a negative position comes first", "UPDATE items SET pos = -5 WHERE pos = 0", kA1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.sql.empty()) ExecBeside(c.sql.c_str());
    now_ += PriceStore::kRecheckMs;
    PriceItem item;
    EXPECT_EQ(c.found, store_.GetItem(c.code, &item));
    PriceStore fresh;  // no cache yet: the file's own answer
    ASSERT_TRUE(fresh.Open(dir_.c_str()));
    EXPECT_EQ(c.found, fresh.GetItem(c.code, &item));
  }
}

// Random writes through both connections and plain SQL: after each, once the recheck time
// has passed, every look-up and group read equals what a store opened afresh sees.
TEST_F(CacheTest, AgreesWithAFreshStoreAfterRandomWrites) {
  uint32_t seed = 3;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  auto code = [&] { return MakeCode(3, 12 + next() % 3, 0, next() % 4, next() % 6); };
  for (int step = 0; step < 120; ++step) {
    PriceStore* writer = next() % 2 ? &store_ : &other_;
    switch (next() % 4) {
      case 0:
      case 1: {
        Code group = code();
        std::vector<PriceItem> items;
        for (unsigned n = next() % 6; n > 0; --n) {
          Code c = code();
          items.push_back(SampleItem(
              MakeCode(3, CodeLargeItem(group), 0, CodeSmallItem(c), CodeSubNumber(c)), next()));
        }
        Write(writer, group, items);
        break;
      }
      case 2:
        ASSERT_TRUE(writer->PutItems({SampleItem(code(), next()), SampleItem(code(), next())}));
        break;
      case 3:
        ExecBeside(("DELETE FROM items WHERE pos = " + std::to_string(next() % 3) +
                    " AND grp = " + std::to_string(CodeGroup(code())))
                       .c_str());
        break;
    }
    if (next() % 3 == 0)
      now_ += PriceStore::kRecheckMs;
    else
      continue;
    PriceStore fresh;
    ASSERT_TRUE(fresh.Open(dir_.c_str()));
    for (unsigned large = 12; large < 15; ++large) {
      std::vector<PriceItem> expected;
      ASSERT_TRUE(fresh.ReadGroup(MakeCode(3, large, 0, 0, 0), &expected));
      ExpectGroup(&store_, MakeCode(3, large, 0, 0, 0), expected);
      for (unsigned small = 0; small < 4; ++small)
        for (unsigned sub = 0; sub < 6; ++sub) {
          Code c = MakeCode(3, large, 0, small, sub);
          ASSERT_TRUE(SameBytes(Get(&fresh, c), Get(&store_, c))) << step << " " << c;
        }
    }
  }
}

}  // namespace
