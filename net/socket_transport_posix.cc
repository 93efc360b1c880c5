// HTTP GETs over POSIX sockets, for the native build: HTTP/1.0, so bodies come unchunked.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "net/http_text.h"
#include "net/http_transport.h"

namespace {

const int kMaxRedirects = 10;
const size_t kMaxHeadSize = 64 * 1024;
const int kPollSliceMs = 100;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

class SocketTransport : public HttpTransport {
 public:
  ~SocketTransport() override { Close(); }

  bool Open(const char* url, const std::string& if_modified_since) override {
    current_ = url;
    if_modified_since_ = if_modified_since;
    failure_ = DownloadConnectionFailed;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
      HttpAddress address;
      if (!SplitHttpAddress(current_, &address) || !Connect(address) || !Send(address) ||
          !ReadHead()) {
        CloseSocket();
        return false;
      }
      bool redirect =
          status_ == 301 || status_ == 302 || status_ == 303 || status_ == 307 || status_ == 308;
      if (!redirect || location_.empty()) return true;
      CloseSocket();
      current_ = ResolveLocation(address, location_);
    }
    failure_ = DownloadConnectionFailed;
    return false;
  }

  DownloadFailure Failure() override { return failure_; }

  bool GetFinalUrl(std::string* out) override {
    *out = current_;
    return true;
  }

  bool GetStatus(uint32_t* code) override {
    if (!has_status_) return false;
    *code = status_;
    return true;
  }

  bool GetLastModified(CalendarTime* out) override {
    CalendarTime t;
    if (last_modified_.empty() || !ParseHttpDate(last_modified_.c_str(), &t)) return false;
    *out = t;
    return true;
  }

  bool GetContentLength(uint64_t* out) override {
    if (!has_length_) return false;
    *out = length_;
    return true;
  }

  bool Read(char* buffer, uint32_t size, uint32_t* done) override {
    *done = 0;
    if (aborted_.load()) return false;
    // Bytes past the announced length are not the body's.
    if (has_length_ && size > remaining_) size = uint32_t(remaining_);
    if (size == 0) return true;
    if (body_start_ < head_buffer_.size()) {
      size_t n = head_buffer_.size() - body_start_;
      if (n > size) n = size;
      std::memcpy(buffer, head_buffer_.data() + body_start_, n);
      body_start_ += n;
      Consumed(n, done);
      return true;
    }
    for (;;) {
      ssize_t n = recv(fd_, buffer, size, 0);
      if (n >= 0) {
        Consumed(size_t(n), done);
        return !aborted_.load();
      }
      if (errno != EINTR || aborted_.load()) return FailedReceive();
    }
  }

  void Abort() override {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_.store(true);
    // Wakes a recv or poll blocked on the socket; only Close closes it.
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
  }

  void Close() override { CloseSocket(); }

 private:
  void Consumed(size_t n, uint32_t* done) {
    *done = uint32_t(n);
    if (has_length_) remaining_ -= n;
  }

  void CloseSocket() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  bool Connect(const HttpAddress& address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(address.port);
    int resolved = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
      // Without a name server the lookup fails with EAI_AGAIN: to the user the host is
      // not found either way.
      bool no_host = resolved == EAI_NONAME || resolved == EAI_AGAIN || resolved == EAI_FAIL;
#ifdef EAI_NODATA
      no_host = no_host || resolved == EAI_NODATA;
#endif
      failure_ = no_host ? DownloadHostNotFound : DownloadConnectionFailed;
      return false;
    }
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) connected = ConnectTo(*a);
    freeaddrinfo(found);
    return connected;
  }

  // A non-blocking connect, so that Abort and the time limit can end it.
  bool ConnectTo(const addrinfo& a) {
    int fd = socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
    if (fd < 0) return false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (aborted_.load()) {
        close(fd);
        return false;
      }
      fd_ = fd;
    }
    failure_ = DownloadCannotConnect;
    if (connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
      if (errno != EINPROGRESS) return Drop();
      auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReceiveTimeoutMs);
      for (;;) {
        pollfd p = {fd, POLLOUT, 0};
        int r = poll(&p, 1, kPollSliceMs);
        if (aborted_.load()) return Drop();
        if (std::chrono::steady_clock::now() > end) {
          failure_ = DownloadTimedOut;
          return Drop();
        }
        if (r > 0) break;
        if (r < 0 && errno != EINTR) return Drop();
      }
      int error = 0;
      socklen_t length = sizeof error;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        if (error == ETIMEDOUT) failure_ = DownloadTimedOut;
        return Drop();
      }
    }
    failure_ = DownloadConnectionFailed;
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    timeval timeout = {kReceiveTimeoutMs / 1000, (kReceiveTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return true;
  }

  // A receive that failed: the time limit (SO_RCVTIMEO) gives EAGAIN.
  bool FailedReceive() {
    failure_ =
        errno == EAGAIN || errno == EWOULDBLOCK ? DownloadTimedOut : DownloadConnectionFailed;
    return false;
  }

  bool Drop() {
    CloseSocket();
    return false;
  }

  bool Send(const HttpAddress& address) {
    std::string host =
        address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    if (address.port != 80) host += ":" + std::to_string(address.port);
    std::string request = "GET " + address.target + " HTTP/1.0\r\nHost: " + host +
                          "\r\nUser-Agent: " + kUserAgent + "\r\n" +
                          RequestHeaders(if_modified_since_);
    size_t sent = 0;
    while (sent < request.size()) {
      ssize_t n = send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR && !aborted_.load()) continue;
      if (n <= 0) return false;
      sent += size_t(n);
    }
    return true;
  }

  bool ReadHead() {
    head_buffer_.clear();
    body_start_ = 0;
    has_status_ = has_length_ = false;
    last_modified_.clear();
    location_.clear();
    size_t end;
    while ((end = head_buffer_.find("\r\n\r\n")) == std::string::npos) {
      if (head_buffer_.size() > kMaxHeadSize) return false;
      char chunk[4096];
      ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR && !aborted_.load()) continue;
      if (n < 0 && !aborted_.load()) return FailedReceive();
      if (n <= 0 || aborted_.load()) return false;
      head_buffer_.append(chunk, size_t(n));
    }
    body_start_ = end + 4;
    return ParseHead(head_buffer_.substr(0, end));
  }

  bool ParseHead(const std::string& head) {
    size_t line_end = head.find("\r\n");
    std::string status_line = head.substr(0, line_end);
    unsigned major, minor, code;
    if (std::sscanf(status_line.c_str(), "HTTP/%u.%u %3u", &major, &minor, &code) != 3 ||
        code < 100 || code > 999)
      return false;
    status_ = code;
    has_status_ = true;
    for (size_t pos = line_end; pos != std::string::npos && pos < head.size();) {
      size_t start = pos + 2;
      pos = head.find("\r\n", start);
      std::string line = head.substr(start, pos == std::string::npos ? pos : pos - start);
      size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      std::string name = Trim(line.substr(0, colon));
      std::string value = Trim(line.substr(colon + 1));
      if (EqualsIgnoringCase(name, "Content-Length")) {
        has_length_ = ParseContentLength(value.c_str(), &length_);
        remaining_ = length_;
      } else if (EqualsIgnoringCase(name, "Last-Modified")) {
        last_modified_ = value;
      } else if (EqualsIgnoringCase(name, "Location")) {
        location_ = value;
      }
    }
    return true;
  }

  std::mutex mutex_;  // fd_ between the worker and Abort
  int fd_ = -1;
  std::atomic<bool> aborted_{false};
  std::string current_;  // the address asked for last, redirects followed
  std::string if_modified_since_;
  DownloadFailure failure_ = DownloadConnectionFailed;
  std::string head_buffer_;
  size_t body_start_ = 0;
  bool has_status_ = false;
  uint32_t status_ = 0;
  std::string last_modified_;
  std::string location_;
  bool has_length_ = false;
  uint64_t length_ = 0;
  uint64_t remaining_ = 0;
};

}  // namespace

std::unique_ptr<HttpTransport> NewHttpTransport() {
  return std::unique_ptr<HttpTransport>(new SocketTransport());
}
