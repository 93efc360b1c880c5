// Tests of the program folder's write check: each step failing in each folder.
#include "data/folder_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "data/cache_path.h"
#include "data/faulty_disk.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const char kSeparator[] = "\\";
#else
const char kSeparator[] = "/";
#endif

// Fails one kind of step, only for paths inside the folder named by fail_in.
class FolderFaultDisk : public FaultyDisk {
 public:
  enum Step { kCreate, kClose, kRemove, kMakeFolder };
  FolderFaultDisk(Step step, std::string fail_in) : step_(step), fail_in_(std::move(fail_in)) {}
  File Create(const char* path) override {
    if (step_ == kCreate && In(path)) return kNoFile;
    File file = FaultyDisk::Create(path);
    if (step_ == kClose && In(path)) failing_close_ = file;
    return file;
  }
  bool Close(File file) override {
    bool closed = FaultyDisk::Close(file);
    return file == failing_close_ ? false : closed;
  }
  bool Remove(const char* path) override {
    return !(step_ == kRemove && In(path)) && FaultyDisk::Remove(path);
  }
  bool CreateFolder(const char* path) override {
    return step_ != kMakeFolder && FaultyDisk::CreateFolder(path);
  }

 private:
  // The file lies directly in fail_in.
  bool In(const char* path) const {
    std::string p = path;
    return p.compare(0, fail_in_.size(), fail_in_) == 0 &&
           p.find_first_of("\\/", fail_in_.size()) == std::string::npos;
  }
  Step step_;
  std::string fail_in_;
  File failing_close_ = kNoFile;
};

TEST(CanWriteProgramDir, EachStepInEachFolder) {
  fs::path dir = fs::path(::testing::TempDir()) / "folder_check";
  const std::string program_dir = dir.string() + kSeparator;
  const std::string cache_dir = program_dir + kCacheDirName;
  struct Case {
    FolderFaultDisk::Step step;
    std::string fail_in;
    bool cache_there;
    bool writable;
    const char* reason;
    int files_left;  // in the folder that failed, when the file could not be removed
  };
  const Case cases[] = {
      {FolderFaultDisk::kCreate, "", true, true, "", 0},  // fails nowhere
      {FolderFaultDisk::kCreate, program_dir, true, false, "no file can be created in the folder",
       0},
      {FolderFaultDisk::kCreate, cache_dir, true, false, "no file can be created in HDTMP", 0},
      {FolderFaultDisk::kClose, program_dir, true, false,
       "a file created in the folder cannot be closed", 0},
      {FolderFaultDisk::kRemove, program_dir, true, false,
       "a file created in the folder cannot be removed", 1},
      {FolderFaultDisk::kRemove, cache_dir, true, false, "a file created in HDTMP", 1},
      // A missing cache folder is made, as the Patrol would make it.
      {FolderFaultDisk::kCreate, "", false, true, "", 0},
      {FolderFaultDisk::kMakeFolder, "", false, false, "no file can be created in HDTMP", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reason) + " / fail in " + c.fail_in);
    fs::remove_all(dir);
    ASSERT_TRUE(fs::create_directories(dir));
    if (c.cache_there) fs::create_directories(cache_dir);
    FolderFaultDisk disk(c.step, c.fail_in);
    std::string reason = "stale";
    EXPECT_EQ(CanWriteProgramDir(&disk, program_dir.c_str(), &reason), c.writable);
    if (c.writable)
      EXPECT_EQ(reason, "");
    else
      EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, c.files_left);
    EXPECT_EQ(fs::is_directory(cache_dir), c.step != FolderFaultDisk::kMakeFolder);
  }
  fs::remove_all(dir);
}

// A program killed between its create and its remove left its file; the next check
// removes it, in both folders, and leaves other files alone.
TEST(CanWriteProgramDir, RemovesCheckFilesLeftBehind) {
  fs::path dir = fs::path(::testing::TempDir()) / "folder_check_left";
  fs::remove_all(dir);
  fs::create_directories(dir / "HDTMP");
  const char* names[] = {"costupdate-write-check.tmp1", "HDTMP/costupdate-write-check.tmp77",
                         "costupdate-write-check.txt", "FavoriteList.txt"};
  for (const char* name : names) std::fclose(std::fopen((dir / name).string().c_str(), "wb"));
  std::string reason;
  EXPECT_TRUE(CanWriteProgramDir(RealDisk(), (dir.string() + kSeparator).c_str(), &reason));
  EXPECT_FALSE(fs::exists(dir / names[0]));
  EXPECT_FALSE(fs::exists(dir / names[1]));
  EXPECT_TRUE(fs::exists(dir / names[2]));
  EXPECT_TRUE(fs::exists(dir / names[3]));
  fs::remove_all(dir);
}

}  // namespace
