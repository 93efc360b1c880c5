// The real file system binding on temporary files.
#include "data/disk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

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

TEST(RealDisk, ReplaceFileInMissingFolderFails) {
  std::string path = ::testing::TempDir() + "no_such_folder_4711/x.txt";
  EXPECT_FALSE(RealDisk()->ReplaceFile(path.c_str(), "x", 1));
  EXPECT_EQ("<none>", Read(path));
}

TEST(RealDisk, LastWriteTimeOfANewFile) {
  std::string path = ::testing::TempDir() + "disk_time.txt";
  ASSERT_TRUE(RealDisk()->ReplaceFile(path.c_str(), "x", 1));
  CalendarTime utc, local;
  ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), false, &utc));
  ASSERT_TRUE(RealDisk()->LastWriteTime(path.c_str(), true, &local));
  std::time_t now = std::time(nullptr);
  std::tm t = *std::gmtime(&now);
  EXPECT_EQ(t.tm_year + 1900, utc.year);
  EXPECT_GE(utc.month, 1);
  EXPECT_LE(utc.month, 12);
  EXPECT_LE(utc.day_of_week, 6);
  EXPECT_FALSE(RealDisk()->LastWriteTime((path + ".missing").c_str(), false, &utc));
}

}  // namespace
