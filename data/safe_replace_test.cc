// Tests of replacing a file through a temporary file beside it, with a fault at each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/faulty_disk.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::string bytes;
  FILE* f = std::fopen(path.string().c_str(), "rb");
  if (!f) return "<none>";
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes += char(c);
  std::fclose(f);
  return bytes;
}

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceThroughTemp, FailingStepLeavesTheOldFileAndNoTemporaryFile) {
  struct Case {
    FileFault fault;
    std::string data;
    bool replaced;
  };
  const Case cases[] = {
      {kNoFault, "new bytes", true},
      {kFailCreate, "new bytes", false},
      {kFailWrite, "new bytes", false},
      {kFailFlush, "new bytes", false},
      {kFailClose, "new bytes", false},
      {kFailRename, "new bytes", false},
      {kNoFault, "", true},
      // Nothing to write, so no write to fail.
      {kFailWrite, "", true},
      {kFailRename, "", false},
  };
  const char* olds[] = {nullptr, "old bytes, longer than the new"};
  fs::path dir = fs::path(::testing::TempDir()) / "safe_replace";
  fs::path file = dir / "list.txt";
  for (const char* old : olds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string("fault at ") + FaultName(c.fault) + ", " +
                   std::to_string(c.data.size()) + " bytes, " + (old ? "old file" : "no old file"));
      fs::remove_all(dir);
      ASSERT_TRUE(fs::create_directories(dir));
      if (old) {
        FILE* f = std::fopen(file.string().c_str(), "wb");
        ASSERT_NE(nullptr, f);
        std::fputs(old, f);
        std::fclose(f);
      }
      FaultyDisk disk(c.fault);
      EXPECT_EQ(c.replaced,
                ReplaceThroughTemp(&disk, file.string().c_str(), c.data.data(), c.data.size()));
      EXPECT_EQ(c.replaced ? 0 : 1, disk.injected());
      EXPECT_EQ(c.replaced ? c.data : old ? old : "<none>", Read(file));
      std::vector<std::string> left;
      if (c.replaced || old) left.push_back("list.txt");
      EXPECT_EQ(left, Listing(dir));
    }
  }
  fs::remove_all(dir);
}

}  // namespace
