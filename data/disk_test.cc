// The real file system binding on temporary files.
#include "data/disk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "data/disk.h"

#ifndef _WIN32
#include <sys/time.h>
#endif

namespace {

std::string Read(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<none>";
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes += char(c);
  std::fclose(f);
  return bytes;
}

TEST(RealDisk, ReplaceFileReplacesWhole) {
  std::string path = ::testing::TempDir() + "disk_replace.txt";
  std::remove(path.c_str());
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "first version", 13));
  EXPECT_EQ("first version", Read(path));
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "2nd", 3));
  EXPECT_EQ("2nd", Read(path));
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "", 0));
  EXPECT_EQ("", Read(path));
}

// Reading back: a whole file, an empty one, a missing one; the steps on an open file.
TEST(RealDisk, ReadsWholeFilesAndInPieces) {
  std::string path = ::testing::TempDir() + "disk_read_test.bin";
  std::string big(300000, 'b');
  big += "end";
  for (const std::string& bytes : {std::string("0123456789"), std::string(), big}) {
    ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), bytes.data(), bytes.size()));
    std::string back = "stale";
    EXPECT_TRUE(RealDisk()->ReadFile(path.c_str(), &back));
    EXPECT_EQ(bytes, back);
  }
  Disk::File f = RealDisk()->OpenForRead(path.c_str());
  ASSERT_NE(Disk::kNoFile, f);
  uint64_t size = 0;
  EXPECT_TRUE(RealDisk()->FileSize(f, &size));
  EXPECT_EQ(big.size(), size);
  char buffer[4];
  EXPECT_EQ(4u, RealDisk()->Read(f, buffer, sizeof buffer));
  EXPECT_EQ("bbbb", std::string(buffer, 4));
  EXPECT_TRUE(RealDisk()->Close(f));
  std::remove(path.c_str());

  std::string back = "stale";
  EXPECT_FALSE(RealDisk()->ReadFile((path + ".missing").c_str(), &back));
  EXPECT_EQ("", back);
  EXPECT_EQ(Disk::kNoFile, RealDisk()->OpenForRead((path + ".missing").c_str()));
}

TEST(RealDisk, ReplaceFileInMissingFolderFails) {
  std::string path = ::testing::TempDir() + "no_such_folder_4711/x.txt";
  EXPECT_FALSE(RealDisk()->ReplaceFile(path.c_str(), "x", 1));
  EXPECT_EQ("<none>", Read(path));
}

// The temporary file is written, but it cannot take the place of a folder: the folder
// stays and no temporary file is left beside it.
TEST(RealDisk, FailedReplaceLeavesNothingBehind) {
  std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "disk_fail_dir";
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(std::filesystem::create_directories(dir / "target"));
  std::string target = (dir / "target").string();
  EXPECT_FALSE(RealDisk()->ReplaceFile(target.c_str(), "new bytes", 9));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "target"));
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++entries;
    EXPECT_EQ("target", entry.path().filename().string());
  }
  EXPECT_EQ(1, entries);
  std::filesystem::remove_all(dir);
}

// Temporary files that killed writes of the same file left behind go with the next write
// that succeeds; one whose write is still going on, and every other name, stay.
TEST(RealDisk, ReplaceRemovesStaleTemporaryFiles) {
  std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "disk_stale";
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(std::filesystem::create_directories(dir));
  const char* stale[] = {"list.txt.tmp1", "list.txt.tmp4294967295"};
  const char* kept[] = {"list.txt.tmp", "list.txt.tmpx1", "xlist.txt.tmp1", "list.txt.tmp1.bak",
                        "other.txt.tmp1"};
  for (const char* name : stale) std::fclose(std::fopen((dir / name).string().c_str(), "wb"));
  for (const char* name : kept) std::fclose(std::fopen((dir / name).string().c_str(), "wb"));
  std::string writing = (dir / "list.txt.tmp77").string();
  Disk::File open = RealDisk()->Create(writing.c_str());
  ASSERT_NE(Disk::kNoFile, open);

  std::string target = (dir / "list.txt").string();
  ASSERT_TRUE(RealDisk()->ReplaceFile(target.c_str(), "new", 3));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(
      (std::vector<std::string>{"list.txt", "list.txt.tmp", "list.txt.tmp1.bak", "list.txt.tmp77",
                                "list.txt.tmpx1", "other.txt.tmp1", "xlist.txt.tmp1"}),
      left);
  RealDisk()->Close(open);
  std::filesystem::remove_all(dir);
}

// Days since 1970-01-01 of a civil date, to take calendar times apart.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = unsigned(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + long(doe) - 719468;
}

long SecondsOf(const CalendarTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400L + t.hour * 3600L + t.minute * 60L +
         t.second;
}

TEST(RealDisk, LastWriteTimeOfANewFile) {
  std::string path = ::testing::TempDir() + "disk_time.txt";
  long before = long(std::time(nullptr));
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "x", 1));
  long after = long(std::time(nullptr));
  CalendarTime utc;
  ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), false, &utc));
  // UTC, not local time: between the clock readings around the write (file systems
  // may keep times in steps of up to two seconds).
  EXPECT_GE(SecondsOf(utc), before - 2);
  EXPECT_LE(SecondsOf(utc), after + 2);
  EXPECT_EQ((DaysFromCivil(utc.year, utc.month, utc.day) + 4) % 7, utc.day_of_week);
  EXPECT_LT(utc.milliseconds, 1000);
  CalendarTime local;
  ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), true, &local));
  EXPECT_EQ(0, (SecondsOf(local) - SecondsOf(utc)) % 60);  // whole-minute offsets only
  EXPECT_FALSE(RealDisk()->LastWriteTime((path + ".missing").c_str(), false, &utc));
  EXPECT_FALSE(RealDisk()->LastWriteTime(::testing::TempDir().c_str(), false, &utc));
}

#ifndef _WIN32
// Local time is UTC plus the offset in force now, whatever the offset was at the file's
// date: a file from the other half of a daylight-saving year shows the same shift.
TEST(RealDisk, LocalTimeUsesTheOffsetOfNow) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  std::time_t now = std::time(nullptr);
  std::tm now_local;
  localtime_r(&now, &now_local);
  std::string path = ::testing::TempDir() + "disk_offset.txt";
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "x", 1));
  // 2025-01-15 and 2025-07-16, 12:00:00.250 UTC: one in winter, one in summer time.
  for (std::time_t when : {std::time_t(1736942400), std::time_t(1752667200)}) {
    struct timeval times[2] = {{when, 250000}, {when, 250000}};
    ASSERT_EQ(0, utimes(path.c_str(), times));
    CalendarTime utc, local;
    ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), false, &utc));
    ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), true, &local));
    EXPECT_EQ(when, SecondsOf(utc));
    EXPECT_EQ(12, utc.hour);
    EXPECT_EQ(3, utc.day_of_week);  // both dates are Wednesdays
    EXPECT_EQ(250, utc.milliseconds);
    EXPECT_EQ(now_local.tm_gmtoff, SecondsOf(local) - SecondsOf(utc)) << when;
  }
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}
#endif

}  // namespace
