// The check list and the candidate list: named addresses bound to text files beside the exe.
#pragma once

#include <string>
#include <vector>

#include "data/disk.h"

struct UrlEntry {
  char name[256];
  char url[256];
};
static_assert(sizeof(UrlEntry) == 512, "UrlEntry is a fixed record");

class UrlList {
 public:
  // folder: where the list's file is, ending with its separator; read on every call, so
  // that it may change meanwhile.
  explicit UrlList(const char* folder = "") : folder_(folder) {}
  virtual ~UrlList() {}
  // Puts downloaded bytes in place of the list's file.
  virtual int ReplaceFile(const char* data, int size) = 0;
  // Full path of the list's file, built from the folder on each call.
  virtual std::string GetFilePath() const = 0;

  int Load();
  int Save();
  int GetCount() const { return int(entries_.size()); }
  void GetName(int index, char* out) const;
  void GetUrl(int index, char* out) const;
  int Add(const char* name, const char* url);
  int InsertAt(int index, const char* name, const char* url);
  int RemoveAt(int index);

  // Reads list lines from bytes as Load reads the file.
  void LoadFromBytes(const std::string& bytes);
  // The bytes Save writes: a line "name,address" per entry, with quotes where needed so
  // that LoadFromBytes gives the same entries back.
  std::string SaveBytes() const;

 protected:
  const char* folder_;

 private:
  std::vector<UrlEntry> entries_;
};

class CheckList : public UrlList {
 public:
  explicit CheckList(const char* folder = "") : UrlList(folder) {}
  int ReplaceFile(const char* data, int size) override;
  std::string GetFilePath() const override;
};

class CandidateList : public UrlList {
 public:
  explicit CandidateList(const char* folder = "") : UrlList(folder) {}
  int ReplaceFile(const char* data, int size) override;
  std::string GetFilePath() const override;
  // Whether time (UTC) is at least as late as the file's last write; 1 also without a file.
  virtual int IsOutdated(const CalendarTime& time);
  // The file's last write (UTC), the time IsOutdated compares with; false without a file.
  bool LastWrite(CalendarTime* out) const;
};

// The file system the lists use; tests put a fake in. Null restores the real one.
void SetListDisk(Disk* disk);

// The fields of one list line; an entry needs two.
std::vector<std::string> SplitListLine(const std::string& line);
