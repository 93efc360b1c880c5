// costupdate-cli commands over the same core as the GUI.
#include "app/cli.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/catalogue.h"
#include "app/globals.h"
#include "app/patrol_entries.h"
#include "app/selection.h"
#include "app/utf8.h"
#include "checklist/url_list.h"
#include "data/disk.h"
#include "data/folder_check.h"
#include "data/item_store.h"
#include "data/undo.h"
#include "net/patrol_core.h"
#include "net/patrol_report.h"
#include "text/path_separator.h"
#include "view/item_fields.h"

const char kCliUsage[] =
    "usage: costupdate-cli [--dir D] [--utf8] catalogue\n"
    "       costupdate-cli [--dir D] [--utf8] compare FILE|--line N [--kinds MASK] [--db]\n"
    "       costupdate-cli [--dir D] [--utf8] apply FILE|--line N --all|--new"
    " [--overwrite-prices] [--kinds MASK]\n"
    "       costupdate-cli [--dir D] [--utf8] patrol\n"
    "       costupdate-cli [--dir D] [--utf8] undo [--list]\n";

namespace {

#ifdef _WIN32
const char kSeparator = '\\';
const char kSeparators[] = "\\/";
#else
const char kSeparator = '/';
const char kSeparators[] = "/";
#endif

struct Options {
  std::string dir;
  bool utf8 = false;
  std::string command;
  std::string file;
  int line = 0;  // 1-based catalogue line; 0 when a file is named
  unsigned kinds = 0x007F;
  bool db = false;
  bool all = false;
  bool only_new = false;
  bool overwrite_prices = false;
  bool list = false;
};

void Appendf(std::string* out, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n > 0) out->append(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
}

bool ParseNumber(const char* text, unsigned long max, unsigned long* out) {
  if (!*text) return false;
  char* end;
  unsigned long v = std::strtoul(text, &end, 0);
  if (*end || text[0] == '-' || v > max) return false;
  *out = v;
  return true;
}

// Empty on success, else the usage error.
std::string ParseOptions(int argc, const char* const* args, Options* o) {
  for (int i = 0; i < argc; ++i) {
    std::string a = args[i];
    auto value = [&](const char** v) {
      if (i + 1 >= argc) return false;
      *v = args[++i];
      return true;
    };
    const char* v = nullptr;
    unsigned long n;
    if (a == "--dir") {
      if (!value(&v) || !*v) return "--dir needs a folder";
      o->dir = v;
    } else if (a == "--utf8") {
      o->utf8 = true;
    } else if (a == "--line") {
      if (!value(&v) || !ParseNumber(v, 1000000, &n) || n == 0) return "--line needs a number";
      o->line = int(n);
    } else if (a == "--kinds") {
      if (!value(&v) || !ParseNumber(v, 0x7F, &n)) return "--kinds needs a mask from 0 to 0x7F";
      o->kinds = unsigned(n);
    } else if (a == "--db") {
      o->db = true;
    } else if (a == "--all") {
      o->all = true;
    } else if (a == "--new") {
      o->only_new = true;
    } else if (a == "--overwrite-prices") {
      o->overwrite_prices = true;
    } else if (a == "--list") {
      o->list = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      return "unknown option " + a;
    } else if (o->command.empty()) {
      o->command = a;
    } else if (o->file.empty()) {
      o->file = a;
    } else {
      return "unexpected argument " + a;
    }
  }
  if (o->command != "catalogue" && o->command != "compare" && o->command != "apply" &&
      o->command != "patrol" && o->command != "undo")
    return o->command.empty() ? "no command" : "unknown command " + o->command;
  if (o->command != "undo" && o->list) return "--list belongs to undo";
  if (o->command == "catalogue" || o->command == "patrol" || o->command == "undo") {
    if (!o->file.empty() || o->line) return o->command + " takes no file";
  } else if (o->file.empty() == (o->line == 0)) {
    return o->command + " needs a FILE or --line N";
  }
  if (o->command == "apply" && o->all == o->only_new) return "apply needs --all or --new";
  if (o->command != "apply" && (o->all || o->only_new || o->overwrite_prices))
    return "--all, --new and --overwrite-prices belong to apply";
  if (o->command != "compare" && o->db) return "--db belongs to compare";
  if (o->file.size() >= sizeof StartFile) return "the file name is too long";
  return "";
}

void PrintCatalogue(CliResult* result) {
  Catalogue cat;
  FillCatalogue(CheckList, ProgramDir, "", RealDisk(), &cat);
  for (size_t i = 0; i < cat.lines.size(); ++i)
    Appendf(&result->out, "%c%zu\t%s\n", int(i) == cat.selection ? '*' : ' ', i + 1,
            cat.lines[i].c_str());
}

// Loads the file as the GUI would: a named file stands where StartFile does.
bool Load(const Options& o, PriceLibrary* library, ItemStore* store, CliResult* result) {
  int selection = o.line ? o.line - 1 : CheckList.GetCount();
  if (o.line && selection >= CheckList.GetCount()) {
    Appendf(&result->err, "there is no catalogue line %d\n", o.line);
    return false;
  }
  if (!LoadSelectedFile(selection, CheckList, ProgramDir, o.file.c_str(), library, store)) {
    if (o.line)
      Appendf(&result->err, "the update file of line %d cannot be opened\n", o.line);
    else
      Appendf(&result->err, "%s cannot be opened\n", o.file.c_str());
    return false;
  }
  return true;
}

void Compare(const Options& o, PriceLibrary* library, const ItemStore& store, CliResult* result) {
  int shown = 0;
  for (int i = 0; i < store.count; ++i) {
    if (!IsShown(store.states[i], uint16_t(o.kinds))) continue;
    ++shown;
    const PriceItem& item = store.items[i];
    char code[kLibraryTextSize] = {};  // printed even if the library writes nothing
    library->FormatItemCode(item.code, code);
    Appendf(&result->out, "%d\t%04X\t%s", i + 1, unsigned(store.states[i]), code);
    AppendItemFields(library, item, FieldStyle::kNumbers, &result->out);
    if (o.db) {
      PriceItem stored;
      std::memset(&stored, 0, sizeof stored);
      if (library->GetItem(item.code, &stored))
        AppendItemFields(library, stored, FieldStyle::kNumbers, &result->out);
      else
        result->out += "\t\t\t\t\t\t\t";
    }
    result->out += '\n';
  }
  Appendf(&result->out, "shown %d of %d\n", shown, store.count);
}

// --all adds every shown item to the selection (no clearing pass, unlike the GUI's
// select-all); --new then selects exactly the new items, as the GUI's command does.
void Select(const Options& o, ItemStore* store) {
  if (o.all) {
    for (int i = 0; i < store->count; ++i)
      if (IsShown(store->states[i], uint16_t(o.kinds))) store->states[i] |= StateSelected;
  }
  if (o.only_new) SelectNewItems(store->states, store->count);
}

void Apply(const Options& o, PriceLibrary* library, ItemStore* store, CliResult* result) {
  Select(o, store);
  std::vector<uint8_t> written(size_t(store->count) + 1);
  int failed = 0;
  UndoSaver undo(RealDisk(), ProgramDir, LocalNow());
  ApplySelectedItems(library, store->items, store->count, store->states, uint16_t(o.kinds),
                     o.overwrite_prices ? 1 : 0, &failed, written.data(), &undo);
  if (undo.failed()) {
    Appendf(&result->out, "written 0\n");
    Appendf(&result->err,
            "costupdate-cli: the undo record could not be written into %s%s; nothing was "
            "written\n",
            ProgramDir, kUndoDirName);
    result->exit_code = 1;
    return;
  }
  int total = 0;
  for (int i = 0; i < store->count; ++i) {
    if (!written[size_t(i)]) continue;
    ++total;
    char code[kLibraryTextSize] = {};
    library->FormatItemCode(store->items[i].code, code);
    Appendf(&result->out, "%s\t%04X\n", code, unsigned(store->states[i]));
  }
  Appendf(&result->out, "written %d\n", total);
  if (failed) {
    Appendf(&result->err,
            "%d group(s) could not be verified after writing; their items are "
            "left unwritten\n",
            failed);
    result->exit_code = 1;
  }
}

std::string GroupText(Code code) {
  char text[16];
  std::snprintf(text, sizeof text, "%u-%02u", CodeCategory(code), CodeLargeItem(code));
  return text;
}

// The undo records, newest first.
void ListUndo(CliResult* result) {
  std::vector<std::string> files = UndoFiles(RealDisk(), ProgramDir);
  for (size_t i = files.size(); i-- > 0;) {
    UndoRecord record;
    std::string error;
    if (ReadUndoFile(RealDisk(), files[i], ProgramDir, &record, &error))
      Appendf(&result->out, "%s\t%zu groups\t%zu items\t%s\n", UndoTimeText(record.time).c_str(),
              record.groups.size(), record.ItemCount(), files[i].c_str());
    else
      Appendf(&result->out, "unusable: %s\t%s\n", error.c_str(), files[i].c_str());
  }
  Appendf(&result->out, "%zu undo records\n", files.size());
}

// One step back: each group of the latest apply restored or left alone.
void Undo(PriceLibrary* library, CliResult* result) {
  UndoReport report = UndoLatest(library, RealDisk(), ProgramDir);
  if (!report.found) {
    result->out += "nothing to undo\n";
    return;
  }
  if (report.refused) {
    result->err = "costupdate-cli: " + report.path + ": " + report.error + "\n";
    result->exit_code = 1;
    return;
  }
  int restored = 0, left = 0;
  for (const UndoGroupResult& g : report.groups) {
    const char* what = g.outcome == kUndoRestored       ? "restored"
                       : g.outcome == kUndoChangedSince ? "changed since: left alone"
                                                        : "write failed: left as it was";
    Appendf(&result->out, "%s\t%s\n", GroupText(g.code).c_str(), what);
    if (g.outcome == kUndoRestored)
      ++restored;
    else
      ++left;
  }
  Appendf(&result->out, "undone: the apply of %s, %d groups restored, %d left alone\n",
          UndoTimeText(report.record.time).c_str(), restored, left);
  if (left) result->exit_code = 1;
}

// The GUI's Patrol, reported line by line; the database is not needed.
void Patrol(CliResult* result) {
  // A scheduled Patrol without its list would otherwise do nothing and report success.
  std::string list_path = CheckList.GetFilePath();
  Disk::File list_file = RealDisk()->OpenForRead(list_path.c_str());
  if (list_file == Disk::kNoFile) {
    result->err = "costupdate-cli: no check list at " + list_path + "\n";
    result->exit_code = 1;
    return;
  }
  RealDisk()->Close(list_file);
  CheckList.Load();
  std::vector<PatrolLine> lines =
      RunPatrolCore(PatrolEntries(CheckList), ProgramDir, NewHttpTransport, RealDisk());
  int written = 0, unchanged = 0, failed = 0;
  for (const PatrolLine& line : lines) {
    Appendf(&result->out, "%s\t%s\t%s\n", line.name.c_str(), line.url.c_str(),
            DescribeOutcome(line).c_str());
    if (line.outcome == kPatrolWritten)
      ++written;
    else if (line.outcome == kPatrolUnchanged)
      ++unchanged;
    else
      ++failed;
  }
  Appendf(&result->out, "written %d, unchanged %d, failed %d\n", written, unchanged, failed);
  if (failed) result->exit_code = 3;
}

// The commands that write into the program folder are refused before they start when it
// cannot be written; the others work in a read-only folder.
bool WritableWhereNeeded(const Options& o, CliResult* result) {
  if (o.command != "patrol" && o.command != "apply" && !(o.command == "undo" && !o.list))
    return true;
  std::string reason;
  if (CanWriteProgramDir(RealDisk(), ProgramDir, &reason)) return true;
  result->err =
      std::string("costupdate-cli: cannot write into ") + ProgramDir + ": " + reason + "\n";
  result->exit_code = 1;
  return false;
}

}  // namespace

CliResult RunCli(int argc, const char* const* args, const char* default_dir,
                 const LibraryOpener& open_library, LeadBytePredicate is_lead_byte) {
  CliResult result{0, "", ""};
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(args[i], "--help") == 0) {
      result.out = kCliUsage;
      return result;
    }
  }
  Options o;
  o.dir = default_dir;
  std::string usage_error = ParseOptions(argc, args, &o);
  if (!usage_error.empty()) {
    result.exit_code = 2;
    result.err = "costupdate-cli: " + usage_error + " (see --help)\n";
    return result;
  }
  // A folder named 単価表 ends in the byte 0x5C, which is no separator there.
  AppendSeparator(&o.dir, kSeparator, kSeparators, is_lead_byte);
  if (o.dir.size() >= sizeof ProgramDir) {
    result.exit_code = 2;
    result.err = "costupdate-cli: the folder name is too long\n";
    return result;
  }
  std::strcpy(ProgramDir, o.dir.c_str());
  std::strcpy(StartFile, o.file.c_str());

  std::string error;
  PriceLibrary* library = nullptr;
  if (!WritableWhereNeeded(o, &result)) {
    // refused: result says why
  } else if (o.command == "patrol") {
    Patrol(&result);
  } else if (!(library = open_library(ProgramDir, &error))) {
    result.exit_code = 1;
    result.err = "costupdate-cli: " + error + "\n";
  } else {
    library->InitDatabase(ProgramDir);
    CheckList.Load();
    if (o.command == "catalogue") {
      PrintCatalogue(&result);
    } else if (o.command == "undo") {
      if (o.list)
        ListUndo(&result);
      else
        Undo(library, &result);
    } else {
      ItemStore store;
      if (!Load(o, library, &store, &result)) {
        result.exit_code = 1;
      } else if (o.command == "compare") {
        Compare(o, library, store, &result);
      } else {
        Apply(o, library, &store, &result);
      }
      ReleaseItems(&store);
    }
  }
  if (o.utf8) {
    result.out = Cp932ToUtf8(result.out);
    result.err = Cp932ToUtf8(result.err);
  }
  return result;
}
