// Test helper: the real disk with one failure injected at a chosen step of a write; also
// the base of test disks that change one operation and pass the rest on.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "data/disk.h"

enum FileFault { kNoFault, kFailCreate, kFailWrite, kFailFlush, kFailClose, kFailRename };

inline const char* FaultName(FileFault fault) {
  static const char* const names[] = {"none", "create", "write", "flush", "close", "rename"};
  return names[fault];
}

class FaultyDisk : public Disk {
 public:
  explicit FaultyDisk(FileFault fault = kNoFault) : fault_(fault) {}
  int injected() const { return injected_; }

  File OpenForRead(const char* path) override {
    File file = real_->OpenForRead(path);
    if (file != kNoFile) reading_.insert(file);
    return file;
  }
  size_t Read(File file, void* buffer, size_t size) override {
    return real_->Read(file, buffer, size);
  }
  bool FileSize(File file, uint64_t* size) override { return real_->FileSize(file, size); }
  File Create(const char* path) override {
    if (Fails(kFailCreate)) {
      // As a create on a full disk may: the name exists, the handle does not.
      File left = real_->Create(path);
      if (left != kNoFile) real_->Close(left);
      return kNoFile;
    }
    return real_->Create(path);
  }
  bool Write(File file, const void* data, size_t size) override {
    // Half the bytes reach the file before the disk fills up.
    if (Fails(kFailWrite)) return real_->Write(file, data, size / 2) && false;
    return real_->Write(file, data, size);
  }
  bool Flush(File file) override { return !Fails(kFailFlush) && real_->Flush(file); }
  // Only the close of a file being written fails: reads are not the step under test.
  bool Close(File file) override {
    bool closed = real_->Close(file);
    if (reading_.erase(file)) return closed;
    return !Fails(kFailClose) && closed;
  }
  bool Rename(const char* from, const char* to) override {
    return !Fails(kFailRename) && real_->Rename(from, to);
  }
  bool Remove(const char* path) override { return real_->Remove(path); }
  bool CreateFolder(const char* path) override { return real_->CreateFolder(path); }
  bool RemoveUnlessOpen(const char* path) override { return real_->RemoveUnlessOpen(path); }
  std::vector<std::string> NamesStartingWith(const char* path_prefix) override {
    return real_->NamesStartingWith(path_prefix);
  }
  unsigned ProcessId() override { return real_->ProcessId(); }
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    return real_->LastWriteTime(path, local, out);
  }

 private:
  bool Fails(FileFault at) {
    if (fault_ != at) return false;
    ++injected_;
    return true;
  }
  FileFault fault_;
  int injected_ = 0;
  std::set<File> reading_;
  Disk* real_ = RealDisk();
};
