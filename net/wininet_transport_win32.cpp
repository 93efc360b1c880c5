// HTTP GETs through WinINet.
#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <cstring>
#include <mutex>
#include <string>

#include "net/download_failure.h"
#include "net/http_text.h"
#include "net/http_transport.h"

namespace {

// An http address that the server sends on to https is followed (WinINet refuses that by
// default); the download checks the final address against a move the other way.
const DWORD kFlags = kOpenUrlFlags | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
// A request that carries its own If-Modified-Since must reach the server: WinINet's cache
// must neither answer it nor make a 304 into its cached copy's 200.
const DWORD kConditionalFlags = kFlags | INTERNET_FLAG_RELOAD;

class WinInetTransport : public HttpTransport {
 public:
  ~WinInetTransport() override { Close(); }

  bool Open(const char* url, const std::string& if_modified_since) override {
    HINTERNET session;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (aborted_) return false;
      if (!session_) {
        session_ = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session_) return Failed();
        // Requests take the session's limit (Wine 8 ignores it).
        DWORD timeout = kReceiveTimeoutMs;
        InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
      }
      session = session_;
    }
    std::string headers = RequestHeaders(if_modified_since);
    HINTERNET request = InternetOpenUrlA(session, url, headers.c_str(), DWORD(headers.size()),
                                         if_modified_since.empty() ? kFlags : kConditionalFlags, 0);
    DWORD error = request ? 0 : GetLastError();
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_) {  // Abort closed the session under the open
      if (request) InternetCloseHandle(request);
      return false;
    }
    if (!request) {
      InternetCloseHandle(session_);
      session_ = nullptr;
      failure_ = WinInetFailure(error);
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
    DWORD error = ok ? 0 : GetLastError();
    *done = n;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ok) failure_ = WinInetFailure(error);
    return ok && !aborted_;
  }

  DownloadFailure Failure() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

  bool GetFinalUrl(std::string* out) override {
    std::string url(2048, '\0');
    DWORD size = DWORD(url.size());
    HINTERNET request = Request();
    if (!InternetQueryOptionA(request, INTERNET_OPTION_URL, &url[0], &size)) {
      // A longer address: size now says how long.
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= url.size()) return false;
      url.resize(size);
      if (!InternetQueryOptionA(request, INTERNET_OPTION_URL, &url[0], &size)) return false;
    }
    out->assign(url.c_str());
    return true;
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

  // A failure of the session's open, with the reason its error code gives.
  bool Failed() {
    failure_ = WinInetFailure(GetLastError());
    return false;
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
  DownloadFailure failure_ = DownloadConnectionFailed;
};

}  // namespace

std::unique_ptr<HttpTransport> NewHttpTransport() {
  return std::unique_ptr<HttpTransport>(new WinInetTransport());
}
