// Every file the program writes, with a failure injected at each step of the replacement:
// the old bytes stay, no temporary file is left and the caller is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/globals.h"
#include "checklist/url_list.h"
#include "data/cache_path.h"
#include "data/faulty_disk.h"
#include "net/fake_transport.h"
#include "net/patrol_core.h"
#include "net/patrol_report.h"
#include "net/test_files.h"

namespace fs = std::filesystem;

namespace {

const char kUrl[] = "http://h/monthly.dat";

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    names.push_back(fs::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes of old that are not in place in now: what a failed write cost.
size_t BytesLost(const std::string& old, const std::string& now) {
  if (old == "<none>") return now == "<none>" ? 0 : now.size();
  size_t lost = old.size() > now.size() ? old.size() - now.size() : 0;
  for (size_t i = 0; i < old.size() && i < now.size(); ++i) lost += old[i] != now[i];
  return lost + (now == "<none>" ? old.size() : 0);
}

class WriteFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::path(::testing::TempDir()) /
        ("faults-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_ / kCacheDirName);
    std::string program_dir = dir_.string() + kCacheDirName[std::strlen(kCacheDirName) - 1];
    std::snprintf(ProgramDir, sizeof ProgramDir, "%s", program_dir.c_str());
  }
  void TearDown() override {
    SetListDisk(nullptr);
    CheckList.Load();
    CandidateList.Load();
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

// One write path: the file it writes, the new bytes, and the write itself, which
// returns what its caller learns.
struct WritePath {
  const char* name;
  std::function<fs::path()> file;
  std::string new_bytes;
  std::function<std::string(Disk*)> write;
  const char* told_on_success;
  const char* told_on_failure;
};

TEST_F(WriteFaults, OldBytesStayAndNoTemporaryFileIsLeft) {
  FakeNetwork network;
  std::string download = std::string(100000, 'n') + "new cache contents";
  FakeScript served;
  served.pieces = {download.substr(0, 50000), download.substr(50000)};
  network.Serve(kUrl, served);

  const WritePath paths[] = {
      {"cache file",
       [] {
         char path[kCachePathSize];
         CachePath(path, ProgramDir, kUrl);
         return fs::path(path);
       },
       download,
       [&](Disk* disk) {
         std::vector<PatrolEntry> list;
         list.push_back({"monthly", kUrl});
         return DescribeOutcome(RunPatrolCore(list, ProgramDir, network.Factory(), disk)[0]);
       },
       "written", "failed: cache write"},
      {"check list", [] { return fs::path(CheckList.GetFilePath()); }, "new,http://h/new.dat\r\n",
       [](Disk* disk) {
         SetListDisk(disk);
         CheckList.Load();
         while (CheckList.GetCount() > 0) CheckList.RemoveAt(0);
         CheckList.Add("new", "http://h/new.dat");
         return std::to_string(CheckList.Save());
       },
       "1", "0"},
      {"candidate list", [] { return fs::path(CandidateList.GetFilePath()); },
       "annual,http://h/annual.dat\r\n",
       [](Disk* disk) {
         SetListDisk(disk);
         CandidateList.Load();
         int count = CandidateList.GetCount();
         int replaced = CandidateList.ReplaceFile("annual,http://h/annual.dat\r\n", 28);
         // A failed replacement keeps the entries read from the old file.
         return std::to_string(replaced) + (replaced
                                                ? ""
                                                : " " + std::to_string(count) + "=" +
                                                      std::to_string(CandidateList.GetCount()));
       },
       "1", nullptr},
  };
  const char* old_contents[] = {"<none>", "monthly,http://h/monthly.dat\r\n"};
  const FileFault faults[] = {kNoFault,   kFailCreate, kFailWrite,
                              kFailFlush, kFailClose,  kFailRename};
  int injected = 0;
  for (const WritePath& p : paths) {
    for (const char* old : old_contents) {
      for (FileFault fault : faults) {
        SCOPED_TRACE(std::string(p.name) + ", fault at " + FaultName(fault) +
                     (old[0] == '<' ? ", no old file" : ", old file"));
        fs::path file = p.file();
        fs::remove(file);
        if (old[0] != '<') WriteTestFile(file, old);
        std::vector<std::string> before = Listing(dir_);
        FaultyDisk disk(fault);
        std::string told = p.write(&disk);
        SetListDisk(nullptr);
        if (fault == kNoFault) {
          EXPECT_EQ(p.told_on_success, told);
          EXPECT_EQ(p.new_bytes, ReadTestFile(file));
          continue;
        }
        EXPECT_EQ(1, disk.injected());
        injected += disk.injected();
        if (p.told_on_failure) {
          EXPECT_EQ(p.told_on_failure, told);
        } else {
          int count = old[0] == '<' ? 0 : 1;
          EXPECT_EQ("0 " + std::to_string(count) + "=" + std::to_string(count), told);
        }
        EXPECT_EQ(0u, BytesLost(old, ReadTestFile(file)));
        EXPECT_EQ(before, Listing(dir_));
      }
    }
  }
  EXPECT_EQ(30, injected);
}

}  // namespace
