// Helpers of the qupra tests: fresh temporary folders, whole-file reads, sample records and
// checks of the store.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/price_item.h"
#include "qupra/price_store.h"

// An empty folder of its own for the running test, without a trailing separator.
inline std::string FreshTestDir() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("qupra_") + info->test_suite_name() + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  std::string dir = ::testing::TempDir() + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline bool ReadWholeFile(const std::string& path, std::string* out) {
  out->clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, got);
  fclose(f);
  return true;
}

inline bool WriteWholeFile(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

// A record whose every byte depends on code and seed, with bytes after the texts' NULs and a
// name that ends in a cut double-byte character, so that only a byte-exact store keeps it.
inline PriceItem SampleItem(Code code, unsigned seed) {
  PriceItem item;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&item);
  for (size_t i = 0; i < sizeof item; ++i) bytes[i] = static_cast<unsigned char>(seed * 31 + i * 7);
  item.code = code;
  std::memcpy(item.material_name, "\x83\x41\x83\x43\x83", 6);
  item.material_note[29] = '\0';
  return item;
}

inline bool SameBytes(const PriceItem& a, const PriceItem& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The store's records of code's group are exactly expected, byte for byte.
inline void ExpectGroup(PriceStore* store, Code code, const std::vector<PriceItem>& expected) {
  std::vector<PriceItem> got;
  ASSERT_TRUE(store->ReadGroup(code, &got));
  ASSERT_EQ(expected.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(SameBytes(expected[i], got[i])) << i;
}

// Runs SQL on the database file through a connection of its own, as another program would.
inline void ExecBeside(const std::string& db_path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(db_path.c_str(), &db));
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A store on a fresh folder of its own.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshTestDir();
    ASSERT_TRUE(store_.Open(dir_.c_str()));
  }

  std::string DbPath() const { return dir_ + "/" + kStoreFileName; }
  void ExecBeside(const char* sql) { ::ExecBeside(DbPath(), sql); }

  std::string dir_;
  PriceStore store_;
};

// A second connection beside it, as another program would have, with store_ on a clock
// moved by hand.
class TwoStoreTest : public StoreTest {
 protected:
  void SetUp() override {
    now_ = 1000;
    ASSERT_NO_FATAL_FAILURE(StoreTest::SetUp());
    store_.SetClockForTesting(Clock);
    ASSERT_TRUE(other_.Open(dir_.c_str()));
  }

  static uint64_t Clock() { return now_; }

  static inline uint64_t now_ = 1000;
  PriceStore other_;
};
