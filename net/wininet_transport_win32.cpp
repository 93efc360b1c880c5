// HTTP GETs through WinINet.
#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <cstring>
#include <mutex>

#include "net/http_text.h"
#include "net/http_transport.h"

namespace {

class WinInetTransport : public HttpTransport {
 public:
  ~WinInetTransport() override { Close(); }

  bool Open(const char* url) override {
    HINTERNET session;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (aborted_) return false;
      if (!session_) {
        session_ = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session_) return false;
        // Requests take the session's limit (Wine 8 ignores it).
        DWORD timeout = kReceiveTimeoutMs;
        InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
      }
      session = session_;
    }
    HINTERNET request = InternetOpenUrlA(session, url, kAcceptHeader, DWORD(strlen(kAcceptHeader)),
                                         kOpenUrlFlags, 0);
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_) {  // Abort closed the session under the open
      if (request) InternetCloseHandle(request);
      return false;
    }
    if (!request) {
      InternetCloseHandle(session_);
      session_ = nullptr;
      return false;
    }
    request_ = request;
    return true;
  }

  bool GetStatus(uint32_t* code) override {
    DWORD value = 0, size = sizeof value;
    if (!HttpQueryInfoA(Request(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size,
                        nullptr))
      return false;
    *code = value;
    return true;
  }

  bool GetLastModified(CalendarTime* out) override {
    SYSTEMTIME time;
    DWORD size = sizeof time;
    static_assert(sizeof time == sizeof *out, "CalendarTime has the SYSTEMTIME layout");
    if (!HttpQueryInfoA(Request(), HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &time,
                        &size, nullptr))
      return false;
    std::memcpy(out, &time, sizeof *out);
    return true;
  }

  bool GetContentLength(uint64_t* out) override {
    char text[32];
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(Request(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    return ParseContentLength(text, out);
  }

  bool Read(char* buffer, uint32_t size, uint32_t* done) override {
    DWORD n = 0;
    HINTERNET request = Request();
    BOOL ok = request && InternetReadFile(request, buffer, size, &n);
    *done = n;
    std::lock_guard<std::mutex> lock(mutex_);
    return ok && !aborted_;
  }

  // Closing a handle is WinINet's way to end a blocking call on it from another thread
  // (Wine 8 lets the call go on).
  void Abort() override {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    CloseHandles();
  }

  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseHandles();
  }

 private:
  HINTERNET Request() {
    std::lock_guard<std::mutex> lock(mutex_);
    return request_;
  }

  void CloseHandles() {
    if (request_) InternetCloseHandle(request_);
    request_ = nullptr;
    if (session_) InternetCloseHandle(session_);
    session_ = nullptr;
  }

  std::mutex mutex_;  // the handles between the worker and Abort
  HINTERNET session_ = nullptr;
  HINTERNET request_ = nullptr;
  bool aborted_ = false;
};

}  // namespace

std::unique_ptr<HttpTransport> NewHttpTransport() {
  return std::unique_ptr<HttpTransport>(new WinInetTransport());
}
