// One HTTP download on a worker thread of its own, polled by the GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/disk.h"

enum DownloadStatus : int32_t {
  DownloadIdle = 0,        // created, nothing done yet
  DownloadConnecting = 1,  // opening the session and the address
  DownloadAccepted = 2,    // the server answered 200
  DownloadReading = 3,     // the body is being read
  DownloadComplete = 4,    // the whole body is in the data buffer
  DownloadFailed = -1,     // the buffer is not to be used
};

// Complete or failed: the task does no more work.
inline bool DownloadEnded(DownloadStatus status) {
  return status == DownloadComplete || status < 0;
}

// Why a task ended DownloadFailed, as the Patrol reports it to the user and the CLI.
enum DownloadFailure : int32_t {
  DownloadNoFailure = 0,
  DownloadConnectionFailed = 1,      // a network failure that none of the others names
  DownloadHttpStatus = 2,            // an answer other than 200
  DownloadShortBody = 3,             // fewer bytes than the announced Content-Length
  DownloadTooLarge = 4,              // more than kMaxDownloadSize bytes
  DownloadOutOfMemory = 5,           // no room for the body or no worker thread
  DownloadCancelled = 6,             // destroyed before the end
  DownloadCertificateUntrusted = 7,  // unknown root, or revocation not checkable
  DownloadCertificateName = 8,       // the certificate names another host
  DownloadCertificateExpired = 9,    // outside its validity dates
  DownloadCertificateProblem = 10,   // any other certificate or TLS failure
  DownloadHostNotFound = 11,         // the host name does not resolve
  DownloadCannotConnect = 12,        // the host refused or could not be reached
  DownloadTimedOut = 13,             // the server stopped answering
  DownloadRedirectedToHttp = 14,     // an https address sent on to plain http: refused
  // Not a failure to the caller: the server says its file has not changed since the time
  // given to SetIfModifiedSince (HTTP 304), so no body came.
  DownloadNotModified = 15,
};

// How long a cancelled task's worker may take to end; a task destroyed after that is
// left to end by itself.
const int kCancelGraceMs = 2000;

// The largest body a task keeps: a broken server must not exhaust memory.
const size_t kMaxDownloadSize = size_t(256) << 20;

// The six operations, in this slot order, are the task's interface; GetFailure comes after
// the destructor so that their slots stay where they are.
class DownloadTask {
 public:
  // Kept for the caller; read by nothing. window is the owner's window handle.
  virtual int SetOwner(void* window, int number) = 0;
  // Starts the download (the worker thread on the first call). Returns 1.
  virtual int Start() = 0;
  // Waits up to milliseconds (-1: no limit) for the end; the status at that moment.
  virtual DownloadStatus Wait(int milliseconds) = 0;
  // The response's Last-Modified in UTC, milliseconds 0; all zero without one. Returns 0.
  virtual int GetLastModified(CalendarTime* out) = 0;
  // Number of body bytes; *out points at them when there are any (left alone otherwise).
  // The bytes belong to the task. Only after DownloadComplete.
  virtual int GetData(const char** out) = 0;
  // 1 with the address in out (512 bytes), or 0 with an empty text.
  virtual int GetSourceUrl(char* out) = 0;
  // Cancels a running download and waits for the worker to end.
  virtual ~DownloadTask() {}
  // After DownloadFailed: why, with the status code for DownloadHttpStatus (else 0).
  virtual DownloadFailure GetFailure(uint32_t* http_status) {
    *http_status = 0;
    return DownloadNoFailure;
  }
  // Asks a running download to end without waiting for it, so that a caller with many
  // tasks stops them all at once; the destructor then waits only what is left of the
  // grace a stuck worker gets.
  virtual void Cancel() {}
  // Cancels, and lets a worker that is still running end by itself: the destructor then
  // returns at once. The worker frees what it holds and touches nothing outside the task.
  virtual void Abandon() { Cancel(); }
  // Before Start: asks for the body only when the server's file changed since a local copy
  // last written at file_time (UTC). If the server answers that it did not, the task ends
  // DownloadFailed with DownloadNotModified. A time the request cannot carry (before 1970)
  // asks nothing. A task that cannot ask ignores it and always downloads.
  virtual void SetIfModifiedSince(const CalendarTime& file_time) { (void)file_time; }
};

// A new idle task for url, or null when memory runs out.
DownloadTask* CreateDownloadTask(const char* url);
// Destroys the task (null is allowed). Returns 1.
int DestroyDownloadTask(DownloadTask* task);
