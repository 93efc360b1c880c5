// The price records and name tables of the estimating database, kept in one SQLite file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/price_item.h"

struct sqlite3;

const char kStoreFileName[] = "qupra.db";
// Text outputs take 256 bytes: names are at most 255 bytes and a NUL.
const int kStoreTextSize = 256;
const size_t kMaxNameBytes = 255;

enum class OpenMode { kReadWrite, kReadOnly };

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

// Every operation of a store that is not open, or whose file is unreadable or corrupt, gives
// an empty result or false and changes nothing.
class PriceStore {
 public:
  PriceStore();
  ~PriceStore();
  PriceStore(const PriceStore&) = delete;
  PriceStore& operator=(const PriceStore&) = delete;

  // Opens qupra.db in folder (host code page bytes), creating it with its tables when it is
  // missing and mode allows. Closes what was open before. False leaves the store closed.
  bool Open(const char* folder, OpenMode mode = OpenMode::kReadWrite);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // The first stored record with exactly this code.
  bool GetItem(Code code, PriceItem* out);
  // The records of the code's group (top 16 bits) in the order last written; an empty group
  // gives true and no records, a failure false and no records.
  bool ReadGroup(Code code, std::vector<PriceItem>* out);
  // Replaces the group's records by items, in one transaction. A record of another group,
  // or a group of category 0, refuses the whole write: false, nothing changed.
  bool WriteGroup(Code code, const PriceItem* items, size_t count);
  // Replaces the stored record of each item's code in place, or appends it to its group,
  // keeping the groups' other records; all or nothing. Items of category 0 refuse the lot.
  bool PutItems(const std::vector<PriceItem>& items);
  // Every record, by group and then in group order.
  bool ReadAll(std::vector<PriceItem>* out);

  // level 0 large, 1 middle, 2 small item name of the code; out gets "" when there is none.
  bool GetLevelName(Code code, int level, char* out);
  bool GetUnitName(unsigned unit_code, char* out);
  bool GetSupplierName(unsigned supplier_code, char* out);
  // Sets (or with an empty name removes) every entry, all or nothing; an invalid entry
  // refuses the lot.
  bool PutNames(const std::vector<NameEntry>& entries);
  // Every entry of the five tables, table by table in key order.
  bool ReadAllNames(std::vector<NameEntry>* out);

 private:
  bool CreateSchema();
  bool PutItem(const PriceItem& item);
  bool PutName(const NameEntry& entry);
  bool GetName(NameTable table, Code code, unsigned number, char* out);

  sqlite3* db_;
};
