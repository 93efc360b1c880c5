// The download task: its worker's steps over an HTTP transport, and its events.
#include "net/http_download_task.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

uint64_t FinishSignal::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

void FinishSignal::Raise() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++count_;
  changed_.notify_all();
}

bool FinishSignal::WaitPast(uint64_t seen, int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return count_ > seen; });
}

namespace {

const size_t kReadSize = 4096;
const size_t kUrlSize = 512;

// The task's three manual-reset events; one lock, so that the worker can wait for either
// of two of them.
class TaskEvents {
 public:
  enum Which { kStart, kFinish, kCancel };

  void Set(Which e) {
    std::lock_guard<std::mutex> lock(mutex_);
    flags_[e] = true;
    changed_.notify_all();
  }
  void Reset(Which e) {
    std::lock_guard<std::mutex> lock(mutex_);
    flags_[e] = false;
  }
  bool IsSet(Which e) {
    std::lock_guard<std::mutex> lock(mutex_);
    return flags_[e];
  }
  // Cancel wins when both are set.
  Which WaitForStartOrCancel() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return flags_[kStart] || flags_[kCancel]; });
    return flags_[kCancel] ? kCancel : kStart;
  }
  // milliseconds < 0: no limit.
  void WaitFor(Which e, int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (milliseconds < 0)
      changed_.wait(lock, [&] { return flags_[e]; });
    else
      changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return flags_[e]; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool flags_[3] = {false, false, false};
};

class HttpDownloadTask : public DownloadTask {
 public:
  HttpDownloadTask(const char* url, std::unique_ptr<HttpTransport> transport,
                   FinishSignal* finished, size_t max_size)
      : url_(url), transport_(std::move(transport)), finished_(finished), max_size_(max_size) {
    std::memset(&last_modified_, 0, sizeof last_modified_);
  }

  ~HttpDownloadTask() override {
    events_.Set(TaskEvents::kCancel);
    if (worker_.joinable()) {
      // A worker blocked on a stalled connection would never see the cancel event.
      transport_->Abort();
      worker_.join();
    }
  }

  int SetOwner(void* window, int number) override {
    owner_window_ = window;
    owner_number_ = number;
    return 1;
  }

  int Start() override {
    if (!started_) {
      started_ = true;
      try {
        worker_ = std::thread(&HttpDownloadTask::Work, this);
      } catch (const std::system_error&) {
        // Without a worker the task would stay idle and its poller would wait forever.
        End(DownloadOutOfMemory);
        return 1;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      request_flag_ = true;
      body_flag_ = true;
    }
    events_.Set(TaskEvents::kStart);
    return 1;
  }

  DownloadStatus Wait(int milliseconds) override {
    events_.WaitFor(TaskEvents::kFinish, milliseconds);
    return DownloadStatus(status_.load());
  }

  int GetLastModified(CalendarTime* out) override {
    std::memcpy(out, &last_modified_, sizeof *out);
    return 0;
  }

  int GetData(const char** out) override {
    if (data_.empty()) return 0;
    *out = data_.data();
    return int(data_.size());
  }

  int GetSourceUrl(char* out) override {
    // A cut address would name another cache file.
    if (url_.empty() || url_.size() >= kUrlSize) {
      out[0] = '\0';
      return 0;
    }
    std::memcpy(out, url_.c_str(), url_.size() + 1);
    return 1;
  }

  DownloadFailure GetFailure(uint32_t* http_status) override {
    *http_status = 0;
    // The reason is written before the status turns DownloadFailed.
    if (status_.load() != DownloadFailed) return DownloadNoFailure;
    if (failure_ == DownloadHttpStatus) *http_status = http_status_;
    return failure_;
  }

 private:
  void Work() {
    for (;;) {
      if (events_.WaitForStartOrCancel() == TaskEvents::kCancel) {
        Fail(DownloadCancelled);
        break;
      }
      events_.Reset(TaskEvents::kStart);
      bool request, body;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        request = request_flag_;
        body = body_flag_;
      }
      if (request && status_.load() == DownloadIdle) {
        status_.store(DownloadConnecting);
        if (!transport_->Open(url_.c_str()))
          Fail(DownloadConnectionFailed);
        else if (CheckResponse())
          status_.store(DownloadAccepted);
      }
      if (body && status_.load() == DownloadAccepted) ReadBody();
      int32_t s = status_.load();
      if (s == DownloadFailed || s == DownloadComplete) break;
    }
    transport_->Close();
    End(DownloadNoFailure);
  }

  // Status 200 only; Last-Modified stays all zero when the header is missing.
  bool CheckResponse() {
    uint32_t code = 0;
    if (!transport_->GetStatus(&code)) {
      Fail(DownloadConnectionFailed);
      return false;
    }
    if (code != 200) {
      http_status_ = code;
      Fail(DownloadHttpStatus);
      return false;
    }
    CalendarTime t;
    std::memset(&t, 0, sizeof t);
    if (transport_->GetLastModified(&t)) last_modified_ = t;
    last_modified_.milliseconds = 0;
    has_length_ = transport_->GetContentLength(&length_);
    if (has_length_ && length_ > max_size_) {
      Fail(DownloadTooLarge);
      return false;
    }
    return true;
  }

  void ReadBody() {
    status_.store(DownloadReading);
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      std::vector<char>().swap(data_);
      if (has_length_) data_.reserve(size_t(length_));
    } catch (const std::bad_alloc&) {
      Fail(DownloadOutOfMemory);
      return;
    }
    char buffer[kReadSize];
    for (;;) {
      if (events_.IsSet(TaskEvents::kCancel)) {
        Fail(DownloadCancelled);
        return;
      }
      uint32_t n = 0;
      if (!transport_->Read(buffer, sizeof buffer, &n)) {
        Fail(events_.IsSet(TaskEvents::kCancel) ? DownloadCancelled : DownloadConnectionFailed);
        return;
      }
      if (n == 0) {
        // A dropped connection ends the body early, just as its true end would.
        if (has_length_ && data_.size() < length_)
          Fail(DownloadShortBody);
        else
          status_.store(DownloadComplete);
        return;
      }
      if (n > max_size_ - data_.size()) {
        Fail(DownloadTooLarge);
        return;
      }
      try {
        std::lock_guard<std::mutex> lock(mutex_);
        data_.insert(data_.end(), buffer, buffer + n);
      } catch (const std::bad_alloc&) {
        Fail(DownloadOutOfMemory);
        return;
      }
    }
  }

  void Fail(DownloadFailure why) {
    failure_ = why;
    status_.store(DownloadFailed);
  }

  // The worker's last step, or Start's when there is no worker.
  void End(DownloadFailure why) {
    if (why != DownloadNoFailure) Fail(why);
    // Raised first, so that whoever saw the finish event also sees the count.
    if (finished_) finished_->Raise();
    events_.Set(TaskEvents::kFinish);
  }

  const std::string url_;
  std::unique_ptr<HttpTransport> transport_;
  FinishSignal* const finished_;
  const size_t max_size_;
  std::thread worker_;
  bool started_ = false;
  std::mutex mutex_;  // the data buffer and the two request flags
  TaskEvents events_;
  void* owner_window_ = nullptr;
  int owner_number_ = 0;
  uint32_t http_status_ = 0;
  CalendarTime last_modified_;
  bool has_length_ = false;
  uint64_t length_ = 0;
  bool request_flag_ = false;
  bool body_flag_ = false;
  std::atomic<int32_t> status_{DownloadIdle};
  DownloadFailure failure_ = DownloadNoFailure;
  std::vector<char> data_;
};

}  // namespace

DownloadTask* CreateDownloadTask(const char* url, const TransportFactory& transports,
                                 FinishSignal* finished, size_t max_size) {
  try {
    std::unique_ptr<HttpTransport> transport = transports();
    if (!transport) return nullptr;
    return new HttpDownloadTask(url, std::move(transport), finished, max_size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

DownloadTask* CreateDownloadTask(const char* url) {
  return CreateDownloadTask(url, NewHttpTransport, nullptr);
}
