// Prepared statements and transactions on a SQLite connection, released with their scope.
#include "qupra/sqlite_statement.h"

#include <sqlite3.h>

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement::Statement(sqlite3* db, const char* sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Bind(int index, int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
}

void Statement::BindBlob(int index, const void* data, size_t size) {
  // A zero-length blob bound from null would be NULL, which the tables refuse.
  static const char kEmpty = 0;
  if (stmt_) sqlite3_bind_blob64(stmt_, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
}

int Statement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }

bool Statement::Run() {
  bool done = Step() == SQLITE_DONE;
  Reset();
  return done;
}

void Statement::Reset() {
  if (stmt_) sqlite3_reset(stmt_);
}

int64_t Statement::Int(int column) { return sqlite3_column_int64(stmt_, column); }

bool Statement::IsInteger(int column) {
  return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER;
}

const void* Statement::Blob(int column) { return sqlite3_column_blob(stmt_, column); }

int Statement::Bytes(int column) { return sqlite3_column_bytes(stmt_, column); }

Transaction::Transaction(sqlite3* db, const char* begin) : db_(db), begun_(Exec(db, begin)) {}

Transaction::~Transaction() {
  if (begun_ && !committed_) Exec(db_, "ROLLBACK");
}

bool Transaction::Commit() {
  committed_ = begun_ && Exec(db_, "COMMIT");
  return committed_;
}
