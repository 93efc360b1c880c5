// Test helper: SQLite's own file system wrapped so that one chosen call fails, or so that
// the database file behaves as a read-only file.
#pragma once

#include <sqlite3.h>

#include <cstring>

enum VfsFault {
  kVfsNoFault,
  kVfsFailOpen,    // a file opened while armed (the journal) cannot be created
  kVfsFailWrite,   // half the bytes are written, then the disk is full
  kVfsFailSync,    // flushing to the disk fails
  kVfsFailDelete,  // the journal cannot be deleted: the commit itself fails
};

inline const char* VfsFaultName(VfsFault fault) {
  static const char* const names[] = {"none", "open", "write", "sync", "delete"};
  return names[fault];
}

// Registered as the default file system while it lives; one at a time.
class FaultyVfs {
 public:
  FaultyVfs() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "costupdate-faulty";
    vfs_.szOsFile = int(sizeof(File)) + real_->szOsFile;
    vfs_.pAppData = this;
    vfs_.xOpen = Open;
    vfs_.xDelete = Delete;
    std::memset(&methods_, 0, sizeof methods_);
    methods_.iVersion = 1;  // no shared memory: rollback journals only
    methods_.xClose = [](sqlite3_file* f) {
      int rc = Real(f)->pMethods->xClose(Real(f));
      return rc;
    };
    methods_.xRead = [](sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
      return Real(f)->pMethods->xRead(Real(f), p, n, at);
    };
    methods_.xWrite = [](sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
      FaultyVfs* self = Self(f);
      if (self->Hit(kVfsFailWrite)) {
        Real(f)->pMethods->xWrite(Real(f), p, n / 2, at);
        return SQLITE_FULL;
      }
      return Real(f)->pMethods->xWrite(Real(f), p, n, at);
    };
    methods_.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
      return Real(f)->pMethods->xTruncate(Real(f), size);
    };
    methods_.xSync = [](sqlite3_file* f, int flags) {
      if (Self(f)->Hit(kVfsFailSync)) return SQLITE_IOERR_FSYNC;
      return Real(f)->pMethods->xSync(Real(f), flags);
    };
    methods_.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
      return Real(f)->pMethods->xFileSize(Real(f), size);
    };
    methods_.xLock = [](sqlite3_file* f, int lock) {
      return Real(f)->pMethods->xLock(Real(f), lock);
    };
    methods_.xUnlock = [](sqlite3_file* f, int lock) {
      return Real(f)->pMethods->xUnlock(Real(f), lock);
    };
    methods_.xCheckReservedLock = [](sqlite3_file* f, int* out) {
      return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
    };
    methods_.xFileControl = [](sqlite3_file* f, int op, void* arg) {
      return Real(f)->pMethods->xFileControl(Real(f), op, arg);
    };
    methods_.xSectorSize = [](sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); };
    methods_.xDeviceCharacteristics = [](sqlite3_file* f) {
      return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
    };
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~FaultyVfs() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
  }
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  // The skip-th call of the fault's kind from now on fails (0: the next one).
  void Arm(VfsFault fault, int skip) {
    fault_ = fault;
    skip_ = skip;
    injected_ = 0;
  }
  void Disarm() { fault_ = kVfsNoFault; }
  int injected() const { return injected_; }
  // The main database file opens read-only, as a file without write permission does.
  void set_read_only_database(bool on) { read_only_database_ = on; }

 private:
  struct File {
    sqlite3_file base;
    FaultyVfs* self;
    // The real file's structure follows.
  };
  static sqlite3_file* Real(sqlite3_file* f) {
    return reinterpret_cast<sqlite3_file*>(reinterpret_cast<File*>(f) + 1);
  }
  static FaultyVfs* Self(sqlite3_file* f) { return reinterpret_cast<File*>(f)->self; }
  static FaultyVfs* Self(sqlite3_vfs* vfs) { return static_cast<FaultyVfs*>(vfs->pAppData); }

  bool Hit(VfsFault kind) {
    if (fault_ != kind) return false;
    if (skip_-- > 0) return false;
    fault_ = kVfsNoFault;
    ++injected_;
    return true;
  }

  static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* out_flags) {
    FaultyVfs* self = Self(vfs);
    File* file = reinterpret_cast<File*>(f);
    file->base.pMethods = nullptr;
    file->self = self;
    if (self->Hit(kVfsFailOpen)) return SQLITE_CANTOPEN;
    if (self->read_only_database_ && (flags & SQLITE_OPEN_MAIN_DB)) {
      flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
      flags |= SQLITE_OPEN_READONLY;
    }
    int rc = self->real_->xOpen(self->real_, name, Real(f), flags, out_flags);
    if (rc == SQLITE_OK && Real(f)->pMethods) file->base.pMethods = &self->methods_;
    return rc;
  }
  static int Delete(sqlite3_vfs* vfs, const char* name, int sync_dir) {
    FaultyVfs* self = Self(vfs);
    if (self->Hit(kVfsFailDelete)) return SQLITE_IOERR_DELETE;
    return self->real_->xDelete(self->real_, name, sync_dir);
  }

  sqlite3_vfs* real_;
  sqlite3_vfs vfs_;
  sqlite3_io_methods methods_;
  VfsFault fault_ = kVfsNoFault;
  int skip_ = 0;
  int injected_ = 0;
  bool read_only_database_ = false;
};
