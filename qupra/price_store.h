// The price records and name tables of the estimating database, kept in one SQLite file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "data/price_item.h"
#include "qupra/group_cache.h"
#include "qupra/name_tables.h"

struct sqlite3;

const char kStoreFileName[] = "qupra.db";
enum class OpenMode { kReadWrite, kReadOnly };

// Every operation of a store that is not open, or whose file is unreadable or corrupt, gives
// an empty result or false and changes nothing.
//
// The records of each group are kept in memory once read, with an index by code, and the
// name tables likewise, so that a look-up costs no file lock. The cache follows the store's own
// writes at once. Writes by other connections (other processes, or other stores in this one) are
// noticed through the file's data version: GetItem asks for it when kRecheckMs have passed since it
// last did, ReadGroup and every write ask each time. A change drops every cached group; each group
// is read in one read transaction, so it is never part old, part new. No lock or transaction is
// held between calls. Not safe for use by several threads at once.
class PriceStore {
 public:
  // How long a look-up trusts the cache before it asks the file again.
  static constexpr uint64_t kRecheckMs = 50;

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
  // The same records given to take, straight from memory when the group is held. take says
  // whether it could keep them all; when it could not, the read counts as failed (and the
  // group cannot be written until it is read again).
  typedef std::function<bool(const PriceItem* records, size_t count)> GroupSink;
  bool ReadGroup(Code code, const GroupSink& take);
  // Replaces the group's records by items, in one transaction. A record of another group,
  // or a group of category 0, refuses the whole write: false, nothing changed. So does a
  // group whose last ReadGroup failed: its caller could not have seen all its records.
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

  // Bytes of records and indexes held in memory.
  size_t CachedBytes() const;
  // The clock that decides when the cache is checked again; tests stop and move it.
  void SetClockForTesting(uint64_t (*clock)()) { clock_ = clock; }

 private:
  bool CreateSchema();
  // The two ways of writing a group's rows inside the write transaction: all rows replaced,
  // or, where the group's rows are held as stored at positions 0 to stored_count - 1, only
  // the rows that differ from them.
  bool ReplaceRows(unsigned group, const PriceItem* items, size_t count);
  bool WriteChangedRows(unsigned group, const PriceItem* stored, size_t stored_count,
                        const PriceItem* items, size_t count);
  bool InsertRows(unsigned group, const PriceItem* items, size_t from, size_t to);
  bool PutItem(const PriceItem& item);
  bool GetName(NameTable table, Code code, unsigned number, char* out);

  // Reads the file's data version (inside a transaction when one is open); a change since
  // the last reading drops the cache. False when the file cannot be read.
  bool CheckDataVersion();
  // Checks the data version when force is set or kRecheckMs have passed; false when the
  // cache cannot be trusted (the file could not be read).
  bool Revalidate(bool force);
  // Drops every held record and name.
  void DropCache();
  // Reads a whole name table into memory within a read transaction.
  void LoadNames(NameTable table);
  // The cached group, read from the file when missing; null when it cannot be read or held.
  const GroupCache::Entry* Group(unsigned group);
  // Reads the group into the cache within a read transaction.
  void LoadGroup(unsigned group);
  bool ReadGroupRecords(Code code, std::vector<PriceItem>* out);
  // The first record of code straight from the file, for a group too large to hold.
  bool QueryItem(Code code, PriceItem* out);

  sqlite3* db_;
  uint64_t (*clock_)();
  GroupCache cache_;
  // The name tables, each read whole on first use.
  NameCache names_[5];
  int64_t data_version_ = -1;
  std::unordered_set<unsigned> unreadable_;  // groups whose last ReadGroup failed
  bool checked_ = false;  // the cache matches data_version_, as read at checked_at_
  uint64_t checked_at_ = 0;
};
