// Prepared statements and transactions on a SQLite connection, released with their scope.
#pragma once

#include <cstddef>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// Runs SQL that gives no rows; true when all of it succeeded.
bool Exec(sqlite3* db, const char* sql);

// One prepared statement, finalized when it goes out of scope. A failed prepare leaves it
// empty, and every step of an empty statement fails.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, int64_t value);
  void BindBlob(int index, const void* data, size_t size);
  int Step();
  // Runs a statement that gives no rows, ready to be bound and run again.
  bool Run();
  void Reset();
  int64_t Int(int column);
  bool IsInteger(int column);
  // The column's bytes; ask for them before Bytes, as SQLite converts on the first ask.
  const void* Blob(int column);
  int Bytes(int column);

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// By default takes the write lock at once, so a second writer waits at the start instead of
// failing halfway; a read transaction ("BEGIN") holds one snapshot over several statements.
// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db, const char* begin = "BEGIN IMMEDIATE");
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool begun() const { return begun_; }
  bool Commit();

 private:
  sqlite3* db_;
  bool begun_;
  bool committed_ = false;
};
