// A scripted HTTP transport for tests: fails where told, delivers the body in the pieces
// given, and can hold the worker inside Open or Read until the test lets it go.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/http_text.h"
#include "net/http_transport.h"

struct FakeScript {
  bool open_ok = true;
  bool status_ok = true;
  uint32_t status = 200;
  bool has_last_modified = false;
  CalendarTime last_modified = {};
  bool has_length = false;
  uint64_t length = 0;
  std::vector<std::string> pieces;  // one per Read, cut to the reader's buffer
  bool fail_after_pieces = false;   // a failed read instead of the end
  bool hold_in_open = false;        // Open waits for Release (or Abort)
  int hold_at_read = -1;            // this Read waits for Release (or Abort); -1: none
  bool deaf_to_abort = false;       // a held call waits for Release only, as under Wine
  DownloadFailure failure = DownloadConnectionFailed;  // why a failed Open or Read failed
  std::string final_url;                               // empty: the transport cannot tell
  // As most servers do: a request whose If-Modified-Since is not earlier than
  // last_modified gets 304 and no body.
  bool honours_if_modified_since = false;
};

// What a transport was asked, shared between the test and the task that owns it.
class FakeRecord {
 public:
  void Note(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    changed_.notify_all();
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // Waits (at most milliseconds) until call has been made.
  bool WaitFor(const std::string& call, int milliseconds = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
      for (const std::string& c : calls_)
        if (c == call) return true;
      return false;
    });
  }
  // Lets a held call go on.
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  // Holds the caller until Release or (unless deaf) Abort; false after Abort.
  bool Hold(bool deaf_to_abort) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return released_ || (aborted_ && !deaf_to_abort); });
    return !aborted_;
  }
  void Abort() {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    calls_.push_back("Abort");
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
  bool released_ = false;
  bool aborted_ = false;
};

class FakeTransport : public HttpTransport {
 public:
  // by_url, when given, replaces script with the opened address's own.
  FakeTransport(const FakeScript& script, std::shared_ptr<FakeRecord> record,
                const std::map<std::string, FakeScript>* by_url = nullptr)
      : script_(script), record_(std::move(record)), by_url_(by_url) {}

  bool Open(const char* url, const std::string& if_modified_since) override {
    record_->Note(std::string("Open ") + url);
    if (!if_modified_since.empty()) record_->Note("If-Modified-Since: " + if_modified_since);
    if (by_url_ && by_url_->count(url)) script_ = by_url_->at(url);
    if (script_.honours_if_modified_since && NotModifiedSince(if_modified_since)) {
      script_.status = 304;
      script_.pieces.clear();
    }
    if (script_.hold_in_open && !record_->Hold(script_.deaf_to_abort)) return false;
    return script_.open_ok;
  }
  bool GetStatus(uint32_t* code) override {
    record_->Note("GetStatus");
    if (!script_.status_ok) return false;
    *code = script_.status;
    return true;
  }
  bool GetLastModified(CalendarTime* out) override {
    if (!script_.has_last_modified) return false;
    *out = script_.last_modified;
    return true;
  }
  bool GetContentLength(uint64_t* out) override {
    if (!script_.has_length) return false;
    *out = script_.length;
    return true;
  }
  bool Read(char* buffer, uint32_t size, uint32_t* done) override {
    *done = 0;
    if (reads_++ == script_.hold_at_read) {
      record_->Note("Read held");
      if (!record_->Hold(script_.deaf_to_abort)) return false;
    }
    if (next_ == script_.pieces.size()) return !script_.fail_after_pieces;
    std::string& piece = script_.pieces[next_];
    size_t n = piece.size() < size ? piece.size() : size;
    std::memcpy(buffer, piece.data(), n);
    piece.erase(0, n);
    if (piece.empty()) ++next_;
    *done = uint32_t(n);
    return true;
  }
  void Abort() override { record_->Abort(); }
  void Close() override { record_->Note("Close"); }
  DownloadFailure Failure() override { return script_.failure; }
  bool GetFinalUrl(std::string* out) override {
    if (script_.final_url.empty()) return false;
    *out = script_.final_url;
    return true;
  }

 private:
  bool NotModifiedSince(const std::string& date) const {
    CalendarTime since;
    if (!script_.has_last_modified || !ParseHttpDate(date.c_str(), &since)) return false;
    const CalendarTime& m = script_.last_modified;
    const uint16_t a[] = {m.year, m.month, m.day, m.hour, m.minute, m.second};
    const uint16_t b[] = {since.year, since.month,  since.day,
                          since.hour, since.minute, since.second};
    return !std::lexicographical_compare(b, b + 6, a, a + 6);
  }

  FakeScript script_;
  std::shared_ptr<FakeRecord> record_;
  const std::map<std::string, FakeScript>* by_url_;
  size_t next_ = 0;
  int reads_ = 0;
};

// Transports for several addresses, each with its script; an unknown address fails to open.
class FakeNetwork {
 public:
  void Serve(const std::string& url, const FakeScript& script) { scripts_[url] = script; }
  TransportFactory Factory() {
    return [this]() {
      FakeScript unknown;
      unknown.open_ok = false;
      records_.push_back(std::make_shared<FakeRecord>());
      return std::unique_ptr<HttpTransport>(new FakeTransport(unknown, records_.back(), &scripts_));
    };
  }
  size_t TransportsMade() const { return records_.size(); }
  // The If-Modified-Since date of each open of url, in the order the transports were made;
  // "" for an open that asked nothing.
  std::vector<std::string> DatesAsked(const std::string& url) {
    const std::string open = "Open " + url, asked = "If-Modified-Since: ";
    std::vector<std::string> dates;
    for (auto& record : records_) {
      std::vector<std::string> calls = record->Calls();
      for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] != open) continue;
        bool has = i + 1 < calls.size() && calls[i + 1].compare(0, asked.size(), asked) == 0;
        dates.push_back(has ? calls[i + 1].substr(asked.size()) : "");
      }
    }
    return dates;
  }
  // Lets every held call go on, the deaf ones too.
  void ReleaseAll() {
    for (auto& record : records_) record->Release();
  }

 private:
  std::map<std::string, FakeScript> scripts_;
  std::vector<std::shared_ptr<FakeRecord>> records_;
};
