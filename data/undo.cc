// Saving undo records through a temporary file and restoring the groups they hold.
#include "data/undo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/item_store.h"

#ifdef _WIN32
const char kUndoDirName[] = "Undo\\";
#else
const char kUndoDirName[] = "Undo/";
#endif

namespace {

// Pieces of this size go on into the file while the apply prepares its groups.
const size_t kUndoPieceBytes = size_t(4) << 20;

std::string UndoDir(const char* program_dir) { return std::string(program_dir) + kUndoDirName; }

std::vector<PriceItem> ReadGroupRecords(PriceLibrary* library, Code code) {
  RecordBlock block = nullptr;
  int count = 0;
  library->ReadGroup(code, &block, &count);
  std::vector<PriceItem> records;
  if (block && count > 0) {
    const PriceItem* p = library->LockBlock(block);
    if (p) records.assign(p, p + count);
    library->UnlockBlock(block);
  }
  if (block) library->FreeBlock(block);
  return records;
}

bool Holds(const std::vector<PriceItem>& now, const std::vector<PriceItem>& want) {
  return now.size() == want.size() && SameRecordsAnyOrder(now.data(), want.data(), now.size());
}

// A record of the first format has the group's records to compare; the current one its
// count and hash.
bool HoldsWritten(const std::vector<PriceItem>& now, const UndoGroup& group) {
  if (group.whole) return Holds(now, WrittenRecords(group));
  return now.size() == group.after_count && GroupHash(now.data(), now.size()) == group.after_hash;
}

bool HoldsBefore(const std::vector<PriceItem>& now, const UndoGroup& group) {
  if (group.whole) return Holds(now, group.before);
  return now.size() == group.before_count && GroupHash(now.data(), now.size()) == group.before_hash;
}

bool WriteRecords(PriceLibrary* library, Code code, const std::vector<PriceItem>& records) {
  RecordBlock block = library->AllocBlock(std::max<size_t>(records.size(), 1) * sizeof(PriceItem));
  if (!block) return false;
  PriceItem* p = library->LockBlock(block);
  if (!p) {
    library->FreeBlock(block);
    return false;
  }
  if (!records.empty()) std::memcpy(p, records.data(), records.size() * sizeof(PriceItem));
  library->UnlockBlock(block);
  library->WriteGroup(code, block, int(records.size()));
  library->FreeBlock(block);
  return Holds(ReadGroupRecords(library, code), records);
}

}  // namespace

UndoSaver::UndoSaver(Disk* disk, const char* program_dir, const CalendarTime& now)
    : disk_(disk),
      program_dir_(program_dir),
      dir_(UndoDir(program_dir)),
      now_(now),
      builder_(program_dir, now) {}

UndoSaver::~UndoSaver() { Discard(); }

void UndoSaver::GroupDone() {
  if (failed_ || builder_.pending_bytes() < kUndoPieceBytes) return;
  builder_.TakeBytes(&out_);
  if (!WriteOut(&out_)) failed_ = true;
}

bool UndoSaver::Open() {
  if (file_ != Disk::kNoFile) return true;
  disk_->CreateFolder(dir_.c_str());  // there already, or the create below fails
  std::vector<std::string> taken = disk_->NamesStartingWith(dir_.c_str());
  for (int sequence = 0; sequence < 100; sequence++) {
    std::string name = UndoFileName(now_, sequence);
    if (std::find(taken.begin(), taken.end(), name) != taken.end()) continue;
    path_ = dir_ + name;
    // The same temporary name as every other file replaced through one.
    temp_ = path_ + ".tmp" + std::to_string(disk_->ProcessId());
    file_ = disk_->Create(temp_.c_str());
    if (file_ != Disk::kNoFile) return true;
    break;
  }
  // A failed create may still have left an empty file behind.
  if (!temp_.empty()) disk_->Remove(temp_.c_str());
  temp_.clear();
  path_.clear();
  return false;
}

bool UndoSaver::WriteOut(std::vector<uint8_t>* bytes) {
  bool ok = Open() && (bytes->empty() || disk_->Write(file_, bytes->data(), bytes->size()));
  bytes->clear();
  return ok;
}

void UndoSaver::Discard() {
  if (file_ != Disk::kNoFile) disk_->Close(file_);
  file_ = Disk::kNoFile;
  if (!temp_.empty()) disk_->Remove(temp_.c_str());
  temp_.clear();
}

bool UndoSaver::Save() {
  if (!failed_) {
    std::vector<uint8_t> rest = builder_.Finish();
    // Flushed before the rename: otherwise a crash soon after could leave the name on bytes
    // that never reached the disk.
    bool ok = WriteOut(&rest) && disk_->Flush(file_);
    if (file_ != Disk::kNoFile) ok = disk_->Close(file_) && ok;
    file_ = Disk::kNoFile;
    if (ok && disk_->Rename(temp_.c_str(), path_.c_str())) {
      temp_.clear();
      return true;
    }
  }
  Discard();
  path_.clear();
  failed_ = true;
  return false;
}

void UndoSaver::Prune() {
  std::vector<std::string> files = UndoFiles(disk_, program_dir_.c_str());
  for (size_t i = 0; i + kUndoRecordsKept < files.size(); i++) disk_->Remove(files[i].c_str());
  // NAME.undo.tmpPID of a save that was cut short, unless its program is still writing it.
  for (const std::string& name : disk_->NamesStartingWith(dir_.c_str())) {
    size_t at = name.find(".tmp");
    if (at == std::string::npos || !IsUndoFileName(name.substr(0, at)) || at + 4 == name.size() ||
        name.find_first_not_of("0123456789", at + 4) != std::string::npos)
      continue;
    disk_->RemoveUnlessOpen((dir_ + name).c_str());
  }
}

std::vector<std::string> UndoFiles(Disk* disk, const char* program_dir) {
  std::string dir = UndoDir(program_dir);
  std::vector<std::string> names = disk->NamesStartingWith(dir.c_str());
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& n) { return !IsUndoFileName(n); }),
              names.end());
  std::sort(names.begin(), names.end());
  for (std::string& n : names) n = dir + n;
  return names;
}

bool ReadUndoFile(Disk* disk, const std::string& path, const char* program_dir, UndoRecord* out,
                  std::string* error, bool* other_folder) {
  if (other_folder) *other_folder = false;
  std::string bytes;
  if (!disk->ReadFile(path.c_str(), &bytes)) {
    *error = "元に戻す記録を読めません。";
    return false;
  }
  if (!ParseUndoFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, error))
    return false;
  if (out->program_dir != program_dir) {
    if (other_folder) *other_folder = true;
    *error = "元に戻す記録は別のフォルダ (" + out->program_dir + ") のデータベースのものです。";
    *out = UndoRecord();
    return false;
  }
  return true;
}

std::vector<UndoGroupResult> RestoreGroups(PriceLibrary* library, const UndoRecord& record) {
  std::vector<UndoGroupResult> results;
  for (const UndoGroup& group : record.groups) {
    std::vector<PriceItem> now = ReadGroupRecords(library, group.code);
    UndoGroupOutcome outcome = kUndoChangedSince;
    std::vector<PriceItem> before;
    if (HoldsWritten(now, group)) {
      if (RebuildBefore(group, now, &before))
        outcome = WriteRecords(library, group.code, before) ? kUndoRestored : kUndoWriteFailed;
    } else if (HoldsBefore(now, group)) {
      outcome = kUndoRestored;
    }
    results.push_back(UndoGroupResult{group.code, outcome});
  }
  return results;
}

UndoReport ReadLatestUndo(Disk* disk, const char* program_dir) {
  UndoReport report;
  std::vector<std::string> files = UndoFiles(disk, program_dir);
  if (files.empty()) return report;
  report.found = true;
  report.path = files.back();
  report.refused = !ReadUndoFile(disk, report.path, program_dir, &report.record, &report.error,
                                 &report.other_folder);
  return report;
}

void TakeBack(PriceLibrary* library, Disk* disk, UndoReport* report) {
  if (!report->found) return;
  if (report->refused && report->other_folder) return;
  if (report->refused) {
    std::string aside = report->path + ".bad";
    if (disk->Rename(report->path.c_str(), aside.c_str()))
      report->error += "\r\nこの記録は " + aside + " として残しました。";
    return;
  }
  report->groups = RestoreGroups(library, report->record);
  for (UndoGroup& g : report->record.groups) {
    g.before = std::vector<PriceItem>();
    g.old = std::vector<PriceItem>();
  }
  disk->Remove(report->path.c_str());
}

UndoReport UndoLatest(PriceLibrary* library, Disk* disk, const char* program_dir) {
  UndoReport report = ReadLatestUndo(disk, program_dir);
  TakeBack(library, disk, &report);
  return report;
}

std::string UndoTimeText(const CalendarTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u", t.year, t.month, t.day, t.hour,
                t.minute);
  return text;
}
