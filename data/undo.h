// Keeping the way back from an apply, and taking the latest apply back.
#pragma once

#include <string>
#include <vector>

#include "data/disk.h"
#include "data/price_library.h"
#include "data/undo_file.h"

// The undo records kept after a successful apply; older ones are removed.
const size_t kUndoRecordsKept = 10;

// The folder of the undo records inside the program folder, with its separator.
extern const char kUndoDirName[];

// An apply's undo record, built while the apply reads and changes its groups and saved
// before its first WriteGroup.
class UndoSaver {
 public:
  UndoSaver(Disk* disk, const char* program_dir, const CalendarTime& now);
  ~UndoSaver();
  UndoSaver(const UndoSaver&) = delete;
  UndoSaver& operator=(const UndoSaver&) = delete;
  UndoFileBuilder* builder() { return &builder_; }
  // After each group given to the builder: once enough bytes are made, they go on into the
  // temporary file, so that a large record is not held whole in memory.
  void GroupDone();
  // Writes the record into a new file of the undo folder through a temporary file, flushed.
  // False when it could not: the apply must then write nothing.
  bool Save();
  // After the apply: removes all but the newest kUndoRecordsKept records, and temporary
  // files of records whose saving was cut short.
  void Prune();
  // The file written, empty when none was (no group to write, or a failure).
  const std::string& path() const { return path_; }
  bool failed() const { return failed_; }

 private:
  // Opens the temporary file under a free name, at the first bytes to write.
  bool Open();
  bool WriteOut(std::vector<uint8_t>* bytes);
  // Gives up the temporary file.
  void Discard();

  Disk* disk_;
  std::string program_dir_;
  std::string dir_;
  CalendarTime now_;
  UndoFileBuilder builder_;
  std::string path_;
  std::string temp_;
  Disk::File file_ = Disk::kNoFile;
  std::vector<uint8_t> out_;  // bytes on their way to the file, kept for reuse
  bool failed_ = false;
};

// The undo record files of the program folder, oldest first (full paths).
std::vector<std::string> UndoFiles(Disk* disk, const char* program_dir);

// Reads and checks one undo file: false, with error, when it is damaged, cut short or
// belongs to another program folder's database (*other_folder, when given, tells which).
bool ReadUndoFile(Disk* disk, const std::string& path, const char* program_dir, UndoRecord* out,
                  std::string* error, bool* other_folder = nullptr);

enum UndoGroupOutcome {
  kUndoRestored,      // the group holds its records from before the apply again
  kUndoChangedSince,  // it held neither what the apply wrote nor the old records: left alone
  kUndoWriteFailed,   // the restoring write did not read back as written
};

struct UndoGroupResult {
  Code code;
  UndoGroupOutcome outcome;
};

// Takes back every group of the record: a group that still holds exactly what the apply
// wrote gets its old records back; one that holds the old records already (an undo that
// was cut short) counts as restored; any other is left alone. Records of the current format
// tell the group's whole contents by their count and hash.
std::vector<UndoGroupResult> RestoreGroups(PriceLibrary* library, const UndoRecord& record);

struct UndoReport {
  bool found = false;         // there was a record to take back
  bool refused = false;       // it could not be read; nothing was written (error says why)
  bool other_folder = false;  // refused as the record of another program folder's database
  std::string error;
  std::string path;
  UndoRecord record;  // the record taken back (groups' records released)
  std::vector<UndoGroupResult> groups;
};

// Reads the latest record not yet taken back: found, and either the record or refused with
// the reason.
UndoReport ReadLatestUndo(Disk* disk, const char* program_dir);
// Takes back the record read, then removes it. A damaged record is set aside as NAME.bad
// instead, so that older ones can still be reached; one of another program folder stays,
// for the program of that folder.
void TakeBack(PriceLibrary* library, Disk* disk, UndoReport* report);
// Both: the latest apply taken back.
UndoReport UndoLatest(PriceLibrary* library, Disk* disk, const char* program_dir);

// "2026/12/09 14:05" for the question and the lists.
std::string UndoTimeText(const CalendarTime& t);
