// Load, comparison and writing against the real QUPRA.dll and its SQLite file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/catalogue.h"
#include "checklist/url_list.h"
#include "data/item_store.h"
#include "data/qupra_binding.h"
#include "data/test_record.h"
#include "tests/test_dirs_win32.h"

namespace {

class QupraIntegration : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[kBindingErrorSize];
    library_ = OpenQupraLibrary((ExeDir() + "QUPRA.dll").c_str(), error);
    ASSERT_TRUE(library_) << error;
    dir_ = NewTempDir("costupdate-it");
    library_->InitDatabase(dir_.c_str());
  }

  void Seed(const PriceItem* records, int n) {
    RecordBlock block = library_->AllocBlock(sizeof(PriceItem) * n);
    PriceItem* p = library_->LockBlock(block);
    std::memcpy(p, records, sizeof(PriceItem) * n);
    library_->UnlockBlock(block);
    library_->WriteGroup(records[0].code, block, n);
    library_->FreeBlock(block);
  }

  std::string WriteUpdateFile(const char* text) {
    std::string path = dir_ + "update.costupdate";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text, f);
    std::fclose(f);
    return path;
  }

  PriceLibrary* library_ = nullptr;
  std::string dir_;
};

TEST_F(QupraIntegration, LoadCompareWriteAndReadBack) {
  const Code same = MakeCode(1, 1, 1, 1, 1);
  const Code changed = MakeCode(1, 1, 1, 1, 2);
  const Code fresh = MakeCode(1, 1, 1, 1, 3);
  PriceItem seeded[] = {TestRecord(same, "異形棒鋼 D10", 68000, 72000),
                        TestRecord(changed, "異形棒鋼 D13", 66000, 70000)};
  Seed(seeded, 2);

  std::string path = WriteUpdateFile(
      "単価アップデートファイル\r\n"
      "1-01-0001-0001-0001,異形棒鋼 D10,JIS,68000,72000,3,110,1\r\n"
      "1-01-0001-0001-0002,異形棒鋼 D13,JIS,67000,71000,3,110,1\r\n"
      "1-01-0001-0001-0003,異形棒鋼 D16,JIS,69000,73500,3,110,1\r\n");
  class CheckList empty_list;
  ItemStore store;
  ASSERT_EQ(1, LoadSelectedFile(0, empty_list, dir_.c_str(), path.c_str(), library_, &store));
  ASSERT_EQ(3, store.count);
  EXPECT_EQ(same, Code(store.items[0].code));
  EXPECT_EQ(0, store.states[0]);
  EXPECT_EQ(ChangeExecutionPrice | ChangeEstimatePrice, store.states[1]);
  EXPECT_EQ(kNewItemState, store.states[2]);

  for (int i = 0; i < store.count; ++i) store.states[i] |= StateSelected;
  int failed = -1;
  ApplySelectedItems(library_, store.items, store.count, store.states, 0x7F, 1, &failed);
  EXPECT_EQ(0, failed);
  EXPECT_FALSE(store.states[0] & StateApplied);  // nothing to change: never written
  EXPECT_TRUE(store.states[1] & StateApplied);
  EXPECT_TRUE(store.states[2] & StateApplied);

  PriceItem stored;
  ASSERT_TRUE(library_->GetItem(changed, &stored));
  EXPECT_EQ(0, std::memcmp(&stored, &store.items[1], sizeof stored));
  ASSERT_TRUE(library_->GetItem(fresh, &stored));
  EXPECT_EQ(0, std::memcmp(&stored, &store.items[2], sizeof stored));

  RecordBlock block = nullptr;
  int n = 0;
  library_->ReadGroup(same, &block, &n);
  ASSERT_EQ(3, n);
  PriceItem* records = library_->LockBlock(block);
  EXPECT_EQ(0, std::memcmp(&records[0], &seeded[0], sizeof(PriceItem)));
  library_->UnlockBlock(block);
  library_->FreeBlock(block);

  // Loaded again, the file now equals the database.
  ASSERT_EQ(1, LoadSelectedFile(0, empty_list, dir_.c_str(), path.c_str(), library_, &store));
  for (int i = 0; i < store.count; ++i) EXPECT_EQ(0, store.states[i]) << i;
  ReleaseItems(&store);
}

TEST_F(QupraIntegration, PricesKeptWithoutOverwrite) {
  const Code code = MakeCode(2, 3, 1, 1, 1);
  PriceItem seeded = TestRecord(code, "生コンクリート", 14500, 15800);
  Seed(&seeded, 1);
  std::string path =
      WriteUpdateFile("2-03-0001-0001-0001,生コンクリート 18-8-25,普通,14800,16100,4,210,4\n");
  class CheckList empty_list;
  ItemStore store;
  ASSERT_EQ(1, LoadSelectedFile(0, empty_list, dir_.c_str(), path.c_str(), library_, &store));
  ASSERT_EQ(1, store.count);
  store.states[0] |= StateSelected;
  ApplySelectedItems(library_, store.items, store.count, store.states, 0x7F, 0);
  EXPECT_EQ(StateSelected | ChangeExecutionPrice | ChangeEstimatePrice, store.states[0]);
  PriceItem stored;
  ASSERT_TRUE(library_->GetItem(code, &stored));
  EXPECT_STREQ(store.items[0].material_name, stored.material_name);
  EXPECT_EQ(14500u, stored.execution_price);
  EXPECT_EQ(15800u, stored.estimate_price);
  ReleaseItems(&store);
}

// Runs a program of the build and gives its exit code; -1 when it cannot be started.
int RunProgram(const std::string& command_line) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return int(code);
}

TEST_F(QupraIntegration, AnotherProgramsWriteIsSeenWithin100Ms) {
  const Code kept = MakeCode(3, 7, 1, 1, 1), added = MakeCode(3, 7, 1, 1, 2);
  PriceItem seeded = TestRecord(kept, "old", 100, 200);
  Seed(&seeded, 1);
  PriceItem stored;
  ASSERT_TRUE(library_->GetItem(kept, &stored));  // the group is now held by the library
  ASSERT_FALSE(library_->GetItem(added, &stored));

  // qupra-tool, another process, writes while this one has the library open: it finds the
  // file free, as no lock is held between calls.
  std::string csv = dir_ + "items.csv";
  FILE* f = std::fopen(csv.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs(
      "3-07-0001-0001-0001,new,JIS,150,250,3,110,1\n"
      "3-07-0001-0001-0002,added,JIS,1,2,3,110,1\n",
      f);
  std::fclose(f);
  // The folder without its final '\\', which would escape the closing quote.
  const std::string import = "\"" + ExeDir() + "qupra-tool.exe\" import \"" +
                             dir_.substr(0, dir_.size() - 1) + "\" \"" + csv + "\"";
  ASSERT_EQ(0, RunProgram(import));

  // Look-ups see it within 100 ms...
  Sleep(100);
  ASSERT_TRUE(library_->GetItem(kept, &stored));
  EXPECT_STREQ("new", stored.material_name);
  EXPECT_EQ(150u, stored.execution_price);
  ASSERT_TRUE(library_->GetItem(added, &stored));
  EXPECT_STREQ("added", stored.material_name);
  // ...and a group read, which precedes a write, at once.
  f = std::fopen(csv.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("3-07-0001-0001-0002,again,JIS,1,2,3,110,1\n", f);
  std::fclose(f);
  ASSERT_EQ(0, RunProgram(import));
  RecordBlock block = nullptr;
  int n = 0;
  library_->ReadGroup(kept, &block, &n);
  ASSERT_EQ(2, n);
  EXPECT_STREQ("again", library_->LockBlock(block)[1].material_name);
  library_->UnlockBlock(block);
  library_->FreeBlock(block);
}

TEST(OpenQupraLibrary, MissingDllOrOrdinalIsAClearError) {
  char error[kBindingErrorSize];
  std::string missing = ExeDir() + "NO_SUCH.dll";
  EXPECT_EQ(nullptr, OpenQupraLibrary(missing.c_str(), error));
  EXPECT_NE(nullptr, std::strstr(error, "NO_SUCH.dll")) << error;
  // A module without the library's ordinals.
  std::string other = ExeDir() + "window_probe.exe";
  EXPECT_EQ(nullptr, OpenQupraLibrary(other.c_str(), error));
  EXPECT_NE(nullptr, std::strstr(error, "序数")) << error;
}

}  // namespace
