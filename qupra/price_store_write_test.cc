// Writing groups: a store that holds a group writes only the rows that changed, one that does
// not replaces them all; on random rewrites both leave the same rows in the file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "qupra/price_store.h"
#include "qupra/test_util.h"

namespace {

// Every row of the file as stored, code column included: grp, pos, code, record.
std::vector<std::string> Rows(const std::string& folder) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  std::string path = folder + "/" + kStoreFileName;
  EXPECT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(SQLITE_OK,
            sqlite3_prepare_v2(db, "SELECT grp, pos, code, record FROM items ORDER BY grp, pos", -1,
                               &s, nullptr));
  while (sqlite3_step(s) == SQLITE_ROW) {
    std::string row = std::to_string(sqlite3_column_int64(s, 0)) + "/" +
                      std::to_string(sqlite3_column_int64(s, 1)) + "/" +
                      std::to_string(sqlite3_column_int64(s, 2)) + "/";
    const char* blob = static_cast<const char*>(sqlite3_column_blob(s, 3));
    row.append(blob, size_t(sqlite3_column_bytes(s, 3)));
    rows.push_back(row);
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

// The next contents of a group: a random mix of what applies and other writers do.
std::vector<PriceItem> Rewrite(const std::vector<PriceItem>& now, unsigned large, std::mt19937* rng,
                               unsigned* seed) {
  std::vector<PriceItem> next = now;
  auto pick = [&](size_t n) { return size_t((*rng)() % n); };
  auto code = [&]() { return MakeCode(1, large, unsigned(pick(50)), 0, unsigned(pick(40)) + 1); };
  switch (pick(8)) {
    case 0:  // nothing changed
      break;
    case 1:  // a field or two of some records
    case 2:
      for (size_t k = 0, n = next.empty() ? 0 : 1 + pick(next.size()); k < n; k++) {
        PriceItem& r = next[pick(next.size())];
        r.execution_price += 1 + unsigned(pick(9));
        if (pick(2)) r.material_note[pick(29)] ^= 1;
      }
      break;
    case 3:  // records appended, some with codes the group has already
      for (size_t k = 0, n = 1 + pick(30); k < n; k++) next.push_back(SampleItem(code(), ++*seed));
      break;
    case 4:  // a record replaced by one of another code
      if (!next.empty()) next[pick(next.size())] = SampleItem(code(), ++*seed);
      break;
    case 5:  // shorter
      next.resize(pick(next.size() + 1));
      break;
    case 6:  // another order
      std::shuffle(next.begin(), next.end(), *rng);
      break;
    default:  // a whole new group, possibly empty
      next.clear();
      for (size_t k = 0, n = pick(40); k < n; k++) next.push_back(SampleItem(code(), ++*seed));
      break;
  }
  return next;
}

TEST(PriceStoreWrite, ChangedRowsAndReplacedRowsLeaveTheSameFile) {
  std::string held_dir = FreshTestDir() + "_held", plain_dir = FreshTestDir() + "_plain";
  for (const std::string& dir : {held_dir, plain_dir}) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  PriceStore held, plain;
  ASSERT_TRUE(held.Open(held_dir.c_str()));
  ASSERT_TRUE(plain.Open(plain_dir.c_str()));
  // A group another program wrote with gaps between its positions, in both files.
  for (const std::string& dir : {held_dir, plain_dir}) {
    PriceItem a = SampleItem(MakeCode(1, 3, 0, 0, 1), 1),
              b = SampleItem(MakeCode(1, 3, 0, 0, 2), 2);
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((dir + "/" + kStoreFileName).c_str(), &db));
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO items VALUES(?1, ?2, ?3, ?4)", -1, &s, nullptr);
    for (int k = 0; k < 2; k++) {
      const PriceItem& r = k ? b : a;
      sqlite3_bind_int64(s, 1, CodeGroup(r.code));
      sqlite3_bind_int64(s, 2, k ? 7 : 3);
      sqlite3_bind_int64(s, 3, int64_t(r.code));
      sqlite3_bind_blob(s, 4, &r, sizeof r, SQLITE_TRANSIENT);
      EXPECT_EQ(SQLITE_DONE, sqlite3_step(s));
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
  }
  std::mt19937 rng(25);
  unsigned seed = 0;
  const unsigned kLarge[] = {1, 2, 3};
  std::vector<std::vector<PriceItem>> model(3);
  std::vector<PriceItem> read;
  ASSERT_TRUE(held.ReadGroup(MakeCode(1, 3, 0, 0, 1), &read));
  model[2] = read;
  for (int round = 0; round < 200; round++) {
    size_t g = rng() % 3;
    Code code = MakeCode(1, kLarge[g], 0, 0, 1);
    std::vector<PriceItem> next = Rewrite(model[g], kLarge[g], &rng, &seed);
    // The held store reads the group first, as an apply does; the plain one starts afresh.
    ASSERT_TRUE(held.ReadGroup(code, &read));
    ASSERT_TRUE(held.WriteGroup(code, next.data(), next.size())) << round;
    plain.Close();
    ASSERT_TRUE(plain.Open(plain_dir.c_str()));
    ASSERT_TRUE(plain.WriteGroup(code, next.data(), next.size())) << round;
    model[g] = next;
    if (round % 50 == 49 || round == 0) {
      ASSERT_EQ(Rows(plain_dir), Rows(held_dir)) << "round " << round;
      for (size_t k = 0; k < 3; k++) {
        ASSERT_NO_FATAL_FAILURE(ExpectGroup(&held, MakeCode(1, kLarge[k], 0, 0, 1), model[k]));
        PriceStore fresh;
        ASSERT_TRUE(fresh.Open(held_dir.c_str()));
        ASSERT_NO_FATAL_FAILURE(ExpectGroup(&fresh, MakeCode(1, kLarge[k], 0, 0, 1), model[k]));
      }
    }
  }
}

// A caller that could not take a group's records (no memory for its block) got none, and
// writing back what it has would drop them: the group is not written until read again.
TEST(PriceStoreWrite, GroupNotHandedOverCannotBeWrittenBack) {
  std::string dir = FreshTestDir();
  PriceStore store;
  ASSERT_TRUE(store.Open(dir.c_str()));
  const Code a = MakeCode(4, 1, 0, 0, 1), b = MakeCode(4, 1, 0, 0, 2);
  const std::vector<PriceItem> both = {SampleItem(a, 1), SampleItem(b, 2)};
  ASSERT_TRUE(store.WriteGroup(a, both.data(), both.size()));
  EXPECT_FALSE(store.ReadGroup(a, [](const PriceItem*, size_t) { return false; }));
  const PriceItem only = SampleItem(a, 3);
  EXPECT_FALSE(store.WriteGroup(a, &only, 1));
  ASSERT_NO_FATAL_FAILURE(ExpectGroup(&store, a, both));
  EXPECT_TRUE(store.WriteGroup(a, &only, 1));  // read whole again just now
}

}  // namespace
