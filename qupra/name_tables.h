// The store's five name tables: their entries, their rows in the file, their copies in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/price_item.h"

struct sqlite3;

// Text outputs take 256 bytes: names are at most 255 bytes and a NUL.
const int kStoreTextSize = 256;
const size_t kMaxNameBytes = 255;

enum class NameTable { kLarge, kMiddle, kSmall, kUnit, kSupplier };

struct NameEntry {
  NameTable table = NameTable::kLarge;
  // Key of the level tables: the category and the levels down to the table's own; the
  // code's lower parts are ignored.
  Code code = 0;
  // Key of the unit and supplier tables, 1 to 65535 (0 means none in a record).
  unsigned number = 0;
  // Code page 932 bytes, at most 255 and no NUL; empty removes the entry.
  std::string name;
};

// Category nonzero for the level tables, number 1..65535 for the others, name that fits.
bool IsValidNameEntry(const NameEntry& entry);

// A name table read whole on first use; keyed by the parts of a level name's code (as
// MakeCode packs them) or by a unit or supplier number.
struct NameCache {
  bool loaded = false;
  std::unordered_map<uint64_t, std::string> names;
};

// Reads the whole table into cache and marks it loaded; false, with cache left empty, when
// the file cannot be read or memory runs out. Called within a read transaction, so that the
// table is one snapshot.
bool LoadNameTable(sqlite3* db, NameTable table, NameCache* cache);
// The name of key's table and key (its name is not looked at) into out (kStoreTextSize
// bytes): from cache when it is loaded, else from the file. False and "" when there is none.
bool FindName(sqlite3* db, const NameEntry& key, const NameCache& cache, char* out);
// Sets the entry, or with an empty name removes it.
bool WriteName(sqlite3* db, const NameEntry& entry);
// Every entry of the five tables, table by table in key order; on failure out is empty.
bool ReadNameTables(sqlite3* db, std::vector<NameEntry>* out);
// Frees the names held and marks the table to be read again.
void ClearNameCache(NameCache* cache);
size_t NameCacheBytes(const NameCache& cache);
