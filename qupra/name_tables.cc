// The store's five name tables: their entries, their rows in the file, their copies in memory.
#include "qupra/name_tables.h"

#include <sqlite3.h>

#include <cstring>
#include <new>

#include "qupra/sqlite_statement.h"

namespace {

struct NameTableSql {
  int keys;
  const char* get;
  const char* put;  // the name is parameter keys + 1
  const char* remove;
  const char* all;  // the keys, then the name
};

const NameTableSql kNameTables[] = {
    {2, "SELECT name FROM large_names WHERE category = ?1 AND large = ?2",
     "INSERT OR REPLACE INTO large_names(category, large, name) VALUES(?1, ?2, ?3)",
     "DELETE FROM large_names WHERE category = ?1 AND large = ?2",
     "SELECT category, large, name FROM large_names ORDER BY category, large"},
    {3, "SELECT name FROM middle_names WHERE category = ?1 AND large = ?2 AND middle = ?3",
     "INSERT OR REPLACE INTO middle_names(category, large, middle, name) VALUES(?1, ?2, ?3, ?4)",
     "DELETE FROM middle_names WHERE category = ?1 AND large = ?2 AND middle = ?3",
     "SELECT category, large, middle, name FROM middle_names ORDER BY category, large, middle"},
    {4,
     "SELECT name FROM small_names"
     " WHERE category = ?1 AND large = ?2 AND middle = ?3 AND small = ?4",
     "INSERT OR REPLACE INTO small_names(category, large, middle, small, name)"
     " VALUES(?1, ?2, ?3, ?4, ?5)",
     "DELETE FROM small_names WHERE category = ?1 AND large = ?2 AND middle = ?3 AND small = ?4",
     "SELECT category, large, middle, small, name FROM small_names"
     " ORDER BY category, large, middle, small"},
    {1, "SELECT name FROM unit_names WHERE unit = ?1",
     "INSERT OR REPLACE INTO unit_names(unit, name) VALUES(?1, ?2)",
     "DELETE FROM unit_names WHERE unit = ?1", "SELECT unit, name FROM unit_names ORDER BY unit"},
    {1, "SELECT name FROM supplier_names WHERE supplier = ?1",
     "INSERT OR REPLACE INTO supplier_names(supplier, name) VALUES(?1, ?2)",
     "DELETE FROM supplier_names WHERE supplier = ?1",
     "SELECT supplier, name FROM supplier_names ORDER BY supplier"},
};

const NameTableSql& SqlOf(NameTable table) { return kNameTables[int(table)]; }

bool IsLevelTable(NameTable table) { return SqlOf(table).keys > 1; }

// A stored name as the library hands it out: cut at 255 bytes and at a NUL.
std::string StoredName(Statement* s, int column) {
  const char* data = static_cast<const char*>(s->Blob(column));
  int bytes = s->Bytes(column);
  if (!data || bytes <= 0) return std::string();
  size_t size = size_t(bytes) < kMaxNameBytes ? size_t(bytes) : kMaxNameBytes;
  const void* nul = std::memchr(data, 0, size);
  if (nul) size = size_t(static_cast<const char*>(nul) - data);
  return std::string(data, size);
}

void CopyName(const std::string& name, char* out) {
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
}

// The key columns of an entry, as its table orders them.
void KeyOf(const NameEntry& entry, int64_t key[4]) {
  if (IsLevelTable(entry.table)) {
    key[0] = CodeCategory(entry.code);
    key[1] = CodeLargeItem(entry.code);
    key[2] = CodeMiddleItem(entry.code);
    key[3] = CodeSmallItem(entry.code);
  } else {
    key[0] = entry.number;
  }
}

}  // namespace

bool IsValidNameEntry(const NameEntry& entry) {
  if (int(entry.table) < 0 || int(entry.table) > int(NameTable::kSupplier)) return false;
  if (entry.name.size() > kMaxNameBytes || entry.name.find('\0') != std::string::npos) return false;
  if (IsLevelTable(entry.table)) return CodeCategory(entry.code) != 0;
  return entry.number >= 1 && entry.number <= 0xFFFF;
}

bool LoadNameTable(sqlite3* db, NameTable table, NameCache* cache) {
  const NameTableSql& sql = SqlOf(table);
  Statement s(db, sql.all);
  int rc;
  try {
    while ((rc = s.Step()) == SQLITE_ROW) {
      // Only keys that a look-up can ask for: whole numbers within the parts' ranges.
      static const int64_t kMax[4] = {0xFF, 0xFF, 0xFFFF, 0xFFFF};
      int64_t part[4] = {0, 0, 0, 0};
      bool usable = true;
      for (int i = 0; i < sql.keys; ++i) {
        part[i] = s.Int(i);
        int64_t max = IsLevelTable(table) ? kMax[i] : int64_t(UINT32_MAX);
        usable = usable && s.IsInteger(i) && part[i] >= 0 && part[i] <= max;
      }
      if (!usable) continue;
      uint64_t key = IsLevelTable(table) ? MakeCode(unsigned(part[0]), unsigned(part[1]),
                                                    unsigned(part[2]), unsigned(part[3]), 0)
                                         : uint64_t(part[0]);
      cache->names[key] = StoredName(&s, sql.keys);
    }
  } catch (const std::bad_alloc&) {
    rc = SQLITE_NOMEM;
  }
  if (rc != SQLITE_DONE) {
    std::unordered_map<uint64_t, std::string>().swap(cache->names);
    return false;
  }
  cache->loaded = true;
  return true;
}

bool FindName(sqlite3* db, const NameEntry& key, const NameCache& cache, char* out) {
  out[0] = '\0';
  int64_t parts[4];
  KeyOf(key, parts);
  const NameTableSql& sql = SqlOf(key.table);
  if (cache.loaded) {
    uint64_t wanted = IsLevelTable(key.table) ? MakeCode(unsigned(parts[0]), unsigned(parts[1]),
                                                         sql.keys > 2 ? unsigned(parts[2]) : 0,
                                                         sql.keys > 3 ? unsigned(parts[3]) : 0, 0)
                                              : uint64_t(parts[0]);
    auto it = cache.names.find(wanted);
    if (it == cache.names.end()) return false;
    CopyName(it->second, out);
    return out[0] != '\0';
  }
  Statement s(db, sql.get);
  for (int i = 0; i < sql.keys; ++i) s.Bind(i + 1, parts[i]);
  if (s.Step() != SQLITE_ROW) return false;
  CopyName(StoredName(&s, 0), out);
  return out[0] != '\0';
}

bool WriteName(sqlite3* db, const NameEntry& entry) {
  const NameTableSql& sql = SqlOf(entry.table);
  int64_t key[4];
  KeyOf(entry, key);
  Statement s(db, entry.name.empty() ? sql.remove : sql.put);
  for (int i = 0; i < sql.keys; ++i) s.Bind(i + 1, key[i]);
  if (!entry.name.empty()) s.BindBlob(sql.keys + 1, entry.name.data(), entry.name.size());
  return s.Run();
}

bool ReadNameTables(sqlite3* db, std::vector<NameEntry>* out) {
  out->clear();
  for (int t = 0; t <= int(NameTable::kSupplier); ++t) {
    NameTable table = NameTable(t);
    const NameTableSql& sql = SqlOf(table);
    Statement s(db, sql.all);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) {
      NameEntry entry;
      entry.table = table;
      if (IsLevelTable(table)) {
        unsigned part[4] = {0, 0, 0, 0};
        for (int i = 0; i < sql.keys; ++i) part[i] = unsigned(s.Int(i));
        entry.code = MakeCode(part[0], part[1], part[2], part[3], 0);
      } else {
        entry.number = unsigned(s.Int(0)) & 0xFFFF;
      }
      entry.name = StoredName(&s, sql.keys);
      out->push_back(entry);
    }
    if (rc != SQLITE_DONE) {
      out->clear();
      return false;
    }
  }
  return true;
}

void ClearNameCache(NameCache* cache) {
  std::unordered_map<uint64_t, std::string>().swap(cache->names);
  cache->loaded = false;
}

size_t NameCacheBytes(const NameCache& cache) {
  size_t bytes = 0;
  for (const auto& entry : cache.names) bytes += sizeof entry + entry.second.capacity();
  return bytes;
}
