// One HTTP GET as a download task's worker drives it: WinINet on Windows, sockets natively.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/disk.h"
#include "net/download_task.h"

// What every transport sends and how WinINet is asked to open an address.
extern const char kUserAgent[];     // "KelvadPYPY"
extern const char kAcceptHeader[];  // "Accept: */*\r\n\r\n"
// INTERNET_FLAG_RAW_DATA | NO_CACHE_WRITE; WinINet's transport adds IGNORE_REDIRECT_TO_HTTPS.
const uint32_t kOpenUrlFlags = 0x44000000;
// A server that sends nothing for this long has stalled; the download fails.
const int kReceiveTimeoutMs = 30000;

class HttpTransport {
 public:
  virtual ~HttpTransport() {}
  // Opens the session when there is none, then sends the GET and reads the answer's head;
  // redirects are followed. if_modified_since, when not empty, is the HTTP date of an
  // If-Modified-Since header sent with the request (once, and again after each redirect);
  // the transport's own caches never answer such a request. False when either fails (the
  // session is then closed).
  virtual bool Open(const char* url, const std::string& if_modified_since) = 0;
  // The answer's status code; false when it cannot be told.
  virtual bool GetStatus(uint32_t* code) = 0;
  // Last-Modified as UTC calendar time; false, with out untouched, without a usable one.
  virtual bool GetLastModified(CalendarTime* out) = 0;
  // The announced Content-Length; false when the answer has none.
  virtual bool GetContentLength(uint64_t* out) = 0;
  // Up to size bytes of the body; *done is 0 at its end (or when the connection dropped:
  // only the announced length tells). False when the read fails.
  virtual bool Read(char* buffer, uint32_t size, uint32_t* done) = 0;
  // Called from another thread while the worker may be blocked in Open or Read: that call
  // ends soon, failing, and so does every later one.
  virtual void Abort() = 0;
  // Closes the request, then the session (each when open).
  virtual void Close() = 0;
  // After a failed Open or Read: why, as far as the transport can tell.
  virtual DownloadFailure Failure() { return DownloadConnectionFailed; }
  // After Open: the address the answer came from, redirects followed; false when the
  // transport cannot tell.
  virtual bool GetFinalUrl(std::string* out) {
    (void)out;
    return false;
  }
};

typedef std::function<std::unique_ptr<HttpTransport>()> TransportFactory;

// The platform's transport.
std::unique_ptr<HttpTransport> NewHttpTransport();
