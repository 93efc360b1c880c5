// The price records of the estimating database in one SQLite file, held in memory once read.
#include "qupra/price_store.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

#include "qupra/sqlite_statement.h"
#include "qupra/steady_clock.h"
#include "qupra/store_path.h"

namespace {

// Bumped when the tables change; a file of another version is left alone.
const int kSchemaVersion = 1;
// A second process holding the file waits this long before a call gives up.
const int kBusyTimeoutMs = 5000;
// A group whose last position says it holds more records than this is not reserved for
// in advance: the position is only a hint, and a foreign writer may leave gaps.
const int64_t kMaxReservedRecords = int64_t(1) << 24;

// Records are kept whole as 84-byte blobs; the columns beside them only index them.
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS items("
    " grp INTEGER NOT NULL,"
    " pos INTEGER NOT NULL,"
    " code INTEGER NOT NULL,"
    " record BLOB NOT NULL CHECK(length(record) = 84),"
    " PRIMARY KEY(grp, pos)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS items_code ON items(code);"
    "CREATE TABLE IF NOT EXISTS large_names("
    " category INTEGER NOT NULL, large INTEGER NOT NULL, name BLOB NOT NULL,"
    " PRIMARY KEY(category, large)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS middle_names("
    " category INTEGER NOT NULL, large INTEGER NOT NULL, middle INTEGER NOT NULL,"
    " name BLOB NOT NULL, PRIMARY KEY(category, large, middle)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS small_names("
    " category INTEGER NOT NULL, large INTEGER NOT NULL, middle INTEGER NOT NULL,"
    " small INTEGER NOT NULL, name BLOB NOT NULL,"
    " PRIMARY KEY(category, large, middle, small)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS unit_names(unit INTEGER PRIMARY KEY, name BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS supplier_names("
    " supplier INTEGER PRIMARY KEY, name BLOB NOT NULL);"
    "PRAGMA user_version = 1;";

// SQLite integers are signed: a code is kept as the same 64 bits.
int64_t ToSql(Code code) {
  int64_t value;
  std::memcpy(&value, &code, sizeof value);
  return value;
}

bool ReadUserVersion(sqlite3* db, int* out) {
  Statement s(db, "PRAGMA user_version");
  if (s.Step() != SQLITE_ROW) return false;
  *out = int(s.Int(0));
  return true;
}

// The stored record, when the column holds exactly one.
bool StoredRecord(Statement* s, int column, PriceItem* out) {
  const void* data = s->Blob(column);
  if (!data || s->Bytes(column) != int(sizeof(PriceItem))) return false;
  std::memcpy(out, data, sizeof(PriceItem));
  return true;
}

}  // namespace

PriceStore::PriceStore() : db_(nullptr), clock_(SteadyMilliseconds) {}

PriceStore::~PriceStore() { Close(); }

bool PriceStore::Open(const char* folder, OpenMode mode) {
  Close();
  std::string path, file_name;
  if (!JoinFolderFile(folder, kStoreFileName, kHostPathStyle, &path) ||
      !SqliteFileName(path, &file_name))
    return false;
  int flags = mode == OpenMode::kReadOnly ? SQLITE_OPEN_READONLY
                                          : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file_name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  db_ = db;
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Reading the version is the first access: a file that is no database fails here.
  int version = 0;
  bool usable = ReadUserVersion(db_, &version) &&
                (version == kSchemaVersion ||
                 (version == 0 && mode == OpenMode::kReadWrite && CreateSchema()));
  if (!usable) Close();
  return usable;
}

bool PriceStore::CreateSchema() {
  // Large pages for a new file: reading a group then takes a sixteenth of the reads, each
  // a system call (under Wine a good deal more). It must come before the first write
  // transaction; a file that has pages already keeps their size.
  Exec(db_, "PRAGMA page_size = 65536");
  Transaction t(db_);
  int version = 0;
  // Another process may have created the tables while this one waited for the lock.
  if (!t.begun() || !ReadUserVersion(db_, &version)) return false;
  if (version == kSchemaVersion) return true;
  return version == 0 && Exec(db_, kSchema) && t.Commit();
}

void PriceStore::Close() {
  sqlite3_close(db_);
  db_ = nullptr;
  DropCache();
  unreadable_.clear();
  checked_ = false;
  data_version_ = -1;
}

bool PriceStore::CheckDataVersion() {
  Statement s(db_, "PRAGMA data_version");
  if (s.Step() != SQLITE_ROW) {
    DropCache();
    checked_ = false;
    return false;
  }
  int64_t version = s.Int(0);
  if (version != data_version_) {
    DropCache();
    data_version_ = version;
  }
  checked_ = true;
  checked_at_ = clock_();
  return true;
}

bool PriceStore::Revalidate(bool force) {
  if (!force && checked_ && clock_() - checked_at_ < kRecheckMs) return true;
  return CheckDataVersion();
}

size_t PriceStore::CachedBytes() const {
  size_t bytes = cache_.MemoryBytes();
  for (const NameCache& c : names_) bytes += NameCacheBytes(c);
  return bytes;
}

void PriceStore::DropCache() {
  cache_.Clear();
  for (NameCache& c : names_) ClearNameCache(&c);
}

const GroupCache::Entry* PriceStore::Group(unsigned group) {
  const GroupCache::Entry* entry = cache_.Get(group);
  if (!entry) {
    LoadGroup(group);
    entry = cache_.Get(group);
  }
  return entry && !entry->direct ? entry : nullptr;
}

void PriceStore::LoadGroup(unsigned group) {
  // The version and the records from one snapshot: a write by another process either
  // happened before both or after both.
  Transaction read(db_, "BEGIN");
  if (!read.begun() || !CheckDataVersion()) return;
  // Positions run from 0 when the library wrote the group, so the last one sizes it.
  Statement last(db_, "SELECT min(pos), max(pos) FROM items WHERE grp = ?1");
  last.Bind(1, group);
  if (last.Step() != SQLITE_ROW) return;
  int64_t first_pos = last.Int(0), last_pos = last.Int(1);
  // A group a foreign writer left with gaps or odd positions is not held.
  if (first_pos < 0 || last_pos >= kMaxReservedRecords) {
    cache_.PutDirect(group);
    return;
  }
  size_t capacity = size_t(last_pos) + 1;
  PriceItem* space = cache_.Reserve(capacity);
  if (!space) {
    cache_.PutDirect(group);
    return;
  }
  Statement s(db_, "SELECT code, record FROM items WHERE grp = ?1 ORDER BY pos");
  s.Bind(1, group);
  size_t count = 0;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    // A row whose code column disagrees with its record is found by neither through the
    // file; the group is left to the uncached look-ups, which keep that behaviour.
    if (count == capacity || !StoredRecord(&s, 1, &space[count]) ||
        CodeGroup(space[count].code) != group || s.Int(0) != ToSql(space[count].code)) {
      cache_.Abandon(capacity);
      cache_.PutDirect(group);
      return;
    }
    count++;
  }
  if (rc != SQLITE_DONE) {
    cache_.Abandon(capacity);
    return;
  }
  // Positions are unique, so count rows from 0 to count - 1 leave no gap.
  bool dense = count == 0 || (first_pos == 0 && size_t(last_pos) + 1 == count);
  cache_.Put(group, space, capacity, count, dense);
  read.Commit();
}

bool PriceStore::GetItem(Code code, PriceItem* out) {
  if (!db_ || !out || CodeCategory(code) == 0 || !Revalidate(false)) return false;
  const GroupCache::Entry* cached = Group(CodeGroup(code));
  if (!cached) return QueryItem(code, out);
  size_t k = cached->index.Find(cached->records, code);
  if (k == CodeIndex::kNone) return false;
  *out = cached->records[k];
  return true;
}

bool PriceStore::QueryItem(Code code, PriceItem* out) {
  Statement s(db_, "SELECT record FROM items WHERE grp = ?1 AND code = ?2 ORDER BY pos LIMIT 1");
  s.Bind(1, CodeGroup(code));
  s.Bind(2, ToSql(code));
  PriceItem item;
  if (s.Step() != SQLITE_ROW || !StoredRecord(&s, 0, &item) || item.code != code) return false;
  *out = item;
  return true;
}

bool PriceStore::ReadGroup(Code code, std::vector<PriceItem>* out) {
  out->clear();
  return ReadGroup(code, [out](const PriceItem* records, size_t count) {
    out->assign(records, records + count);
    return true;
  });
}

bool PriceStore::ReadGroup(Code code, const GroupSink& take) {
  std::vector<PriceItem> read;
  bool ok = false;
  if (db_ && Revalidate(true)) {
    // A held group goes to the caller straight from memory.
    if (const GroupCache::Entry* cached = Group(CodeGroup(code)))
      ok = take(cached->records, cached->count);
    else
      ok = ReadGroupRecords(code, &read) && take(read.data(), read.size());
  }
  // A caller that could not take every record must not write the group back either.
  if (ok)
    unreadable_.erase(CodeGroup(code));
  else
    unreadable_.insert(CodeGroup(code));
  return ok;
}

bool PriceStore::ReadGroupRecords(Code code, std::vector<PriceItem>* out) {
  out->clear();
  // Callers read a group to change it and write it back: they get what the file holds now.
  if (!db_ || !Revalidate(true)) return false;
  if (const GroupCache::Entry* cached = Group(CodeGroup(code))) {
    out->assign(cached->records, cached->records + cached->count);
    return true;
  }
  Statement s(db_, "SELECT record FROM items WHERE grp = ?1 ORDER BY pos");
  s.Bind(1, CodeGroup(code));
  int rc;
  PriceItem item;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (!StoredRecord(&s, 0, &item) || CodeGroup(item.code) != CodeGroup(code)) break;
    out->push_back(item);
  }
  if (rc != SQLITE_DONE) out->clear();
  return rc == SQLITE_DONE;
}

namespace {

// A group's write changes more pages than SQLite's page cache holds by default (2 MB);
// spilled before the commit, they cost a further sync and are written twice. The cache is
// large only for the write (after the transaction ends), so that reading keeps its memory.
class WriteCacheSize {
 public:
  explicit WriteCacheSize(sqlite3* db) : db_(db) { Exec(db_, "PRAGMA cache_size = -16384"); }
  ~WriteCacheSize() { Exec(db_, "PRAGMA cache_size = -2000"); }
  WriteCacheSize(const WriteCacheSize&) = delete;
  WriteCacheSize& operator=(const WriteCacheSize&) = delete;

 private:
  sqlite3* db_;
};

}  // namespace

bool PriceStore::WriteGroup(Code code, const PriceItem* items, size_t count) {
  if (!db_ || CodeCategory(code) == 0 || (count && !items)) return false;
  unsigned group = CodeGroup(code);
  for (size_t i = 0; i < count; ++i)
    if (CodeGroup(items[i].code) != group) return false;
  // Written back, a group read in part would lose the records that were not read.
  if (unreadable_.count(group)) return false;
  WriteCacheSize large(db_);
  Transaction t(db_);
  // Holding the write lock, the version tells whether anyone else wrote since the last look.
  if (!t.begun() || !CheckDataVersion()) return false;
  const GroupCache::Entry* held = cache_.Get(group);
  bool written = held && !held->direct && held->dense
                     ? WriteChangedRows(group, held->records, held->count, items, count)
                     : ReplaceRows(group, items, count);
  if (!written) return false;
  if (!t.Commit()) {
    // A commit that failed part way may have reached the file or not: read it again.
    DropCache();
    return false;
  }
  cache_.Update(group, items, count);
  return true;
}

bool PriceStore::ReplaceRows(unsigned group, const PriceItem* items, size_t count) {
  Statement remove(db_, "DELETE FROM items WHERE grp = ?1");
  remove.Bind(1, group);
  if (!remove.Run()) return false;
  return InsertRows(group, items, 0, count);
}

bool PriceStore::InsertRows(unsigned group, const PriceItem* items, size_t from, size_t to) {
  if (from >= to) return true;
  Statement insert(db_, "INSERT INTO items(grp, pos, code, record) VALUES(?1, ?2, ?3, ?4)");
  for (size_t i = from; i < to; ++i) {
    insert.Bind(1, group);
    insert.Bind(2, int64_t(i));
    insert.Bind(3, ToSql(items[i].code));
    insert.BindBlob(4, &items[i], sizeof(PriceItem));
    if (!insert.Run()) return false;
  }
  return true;
}

bool PriceStore::WriteChangedRows(unsigned group, const PriceItem* stored, size_t stored_count,
                                  const PriceItem* items, size_t count) {
  // Rows that keep their record are not touched, and the code index only where a code
  // changes: an apply changes a field or two of some records and appends a few.
  Statement set_record(db_, "UPDATE items SET record = ?3 WHERE grp = ?1 AND pos = ?2");
  Statement set_row(db_, "UPDATE items SET code = ?3, record = ?4 WHERE grp = ?1 AND pos = ?2");
  size_t common = count < stored_count ? count : stored_count;
  for (size_t i = 0; i < common; ++i) {
    if (std::memcmp(&stored[i], &items[i], sizeof(PriceItem)) == 0) continue;
    bool same_code = stored[i].code == items[i].code;
    Statement& set = same_code ? set_record : set_row;
    set.Bind(1, group);
    set.Bind(2, int64_t(i));
    if (!same_code) set.Bind(3, ToSql(items[i].code));
    set.BindBlob(same_code ? 3 : 4, &items[i], sizeof(PriceItem));
    if (!set.Run()) return false;
  }
  if (count < stored_count) {
    Statement remove(db_, "DELETE FROM items WHERE grp = ?1 AND pos >= ?2");
    remove.Bind(1, group);
    remove.Bind(2, int64_t(count));
    if (!remove.Run()) return false;
  }
  return InsertRows(group, items, common, count);
}

bool PriceStore::PutItems(const std::vector<PriceItem>& items) {
  if (!db_) return false;
  for (const PriceItem& item : items)
    if (CodeCategory(item.code) == 0) return false;
  Transaction t(db_);
  if (!t.begun() || !CheckDataVersion()) return false;
  for (const PriceItem& item : items)
    if (!PutItem(item)) return false;
  if (!t.Commit()) return false;
  // Placing each item needs the group as it is in the file: those groups are read anew.
  for (const PriceItem& item : items) cache_.Forget(CodeGroup(item.code));
  return true;
}

bool PriceStore::PutItem(const PriceItem& item) {
  unsigned group = CodeGroup(item.code);
  Statement find(db_, "SELECT pos FROM items WHERE grp = ?1 AND code = ?2 ORDER BY pos LIMIT 1");
  find.Bind(1, group);
  find.Bind(2, ToSql(item.code));
  int rc = find.Step();
  if (rc == SQLITE_ROW) {
    int64_t pos = find.Int(0);
    find.Reset();
    Statement update(db_, "UPDATE items SET record = ?3 WHERE grp = ?1 AND pos = ?2");
    update.Bind(1, group);
    update.Bind(2, pos);
    update.BindBlob(3, &item, sizeof item);
    return update.Run();
  }
  if (rc != SQLITE_DONE) return false;
  Statement insert(db_,
                   "INSERT INTO items(grp, pos, code, record)"
                   " SELECT ?1, coalesce(max(pos) + 1, 0), ?2, ?3 FROM items WHERE grp = ?1");
  insert.Bind(1, group);
  insert.Bind(2, ToSql(item.code));
  insert.BindBlob(3, &item, sizeof item);
  return insert.Run();
}

bool PriceStore::ReadAll(std::vector<PriceItem>* out) {
  out->clear();
  if (!db_) return false;
  Statement s(db_, "SELECT record FROM items ORDER BY grp, pos");
  int rc;
  PriceItem item;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (!StoredRecord(&s, 0, &item)) break;
    out->push_back(item);
  }
  if (rc != SQLITE_DONE) out->clear();
  return rc == SQLITE_DONE;
}

void PriceStore::LoadNames(NameTable table) {
  Transaction read(db_, "BEGIN");
  if (!read.begun() || !CheckDataVersion()) return;
  if (LoadNameTable(db_, table, &names_[int(table)])) read.Commit();
}

bool PriceStore::GetName(NameTable table, Code code, unsigned number, char* out) {
  if (!out) return false;
  out[0] = '\0';
  if (!db_ || !Revalidate(false)) return false;
  if (!names_[int(table)].loaded) LoadNames(table);
  NameEntry key;
  key.table = table;
  key.code = code;
  key.number = number;
  return FindName(db_, key, names_[int(table)], out);
}

bool PriceStore::GetLevelName(Code code, int level, char* out) {
  static const NameTable kLevels[] = {NameTable::kLarge, NameTable::kMiddle, NameTable::kSmall};
  if (level < 0 || level > 2) {
    if (out) out[0] = '\0';
    return false;
  }
  return GetName(kLevels[level], code, 0, out);
}

bool PriceStore::GetUnitName(unsigned unit_code, char* out) {
  return GetName(NameTable::kUnit, 0, unit_code, out);
}

bool PriceStore::GetSupplierName(unsigned supplier_code, char* out) {
  return GetName(NameTable::kSupplier, 0, supplier_code, out);
}

bool PriceStore::PutNames(const std::vector<NameEntry>& entries) {
  if (!db_) return false;
  for (const NameEntry& entry : entries)
    if (!IsValidNameEntry(entry)) return false;
  Transaction t(db_);
  if (!t.begun() || !CheckDataVersion()) return false;
  for (const NameEntry& entry : entries)
    if (!WriteName(db_, entry)) return false;
  if (!t.Commit()) return false;
  for (NameCache& c : names_) ClearNameCache(&c);
  return true;
}

bool PriceStore::ReadAllNames(std::vector<NameEntry>* out) {
  out->clear();
  if (!db_) return false;
  return ReadNameTables(db_, out);
}
