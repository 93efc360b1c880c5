// Test helper: the real file operations with one failure injected at a chosen step.
#pragma once

#include <string>

#include "data/disk.h"
#include "data/file_ops.h"

enum FileFault { kNoFault, kFailCreate, kFailWrite, kFailFlush, kFailClose, kFailRename };

inline const char* FaultName(FileFault fault) {
  static const char* const names[] = {"none", "create", "write", "flush", "close", "rename"};
  return names[fault];
}

class FaultyFileOps : public FileOps {
 public:
  explicit FaultyFileOps(FileFault fault) : fault_(fault) {}
  int injected() const { return injected_; }

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
  bool Close(File file) override {
    bool closed = real_->Close(file);
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

 private:
  bool Fails(FileFault at) {
    if (fault_ != at) return false;
    ++injected_;
    return true;
  }
  FileFault fault_;
  int injected_ = 0;
  FileOps* real_ = RealFileOps();
};

// The real disk whose replacements run over ops.
class FaultyDisk : public Disk {
 public:
  explicit FaultyDisk(FileOps* ops) : ops_(ops) {}
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    return RealDisk()->LastWriteTime(path, local, out);
  }
  bool ReplaceFile(const char* path, const void* data, size_t size) override {
    return ReplaceThroughTemp(ops_, path, data, size);
  }

 private:
  FileOps* ops_;
};
