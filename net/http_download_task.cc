// The download task: its worker's steps over an HTTP transport, and its events.
#include "net/http_download_task.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "net/download_failure.h"
#include "net/http_text.h"

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
  // A zero wait is a look: a timed wait would sleep until the timer interrupt comes.
  if (milliseconds == 0) return count_ > seen;
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return count_ > seen; });
}

namespace {

const size_t kReadSize = 4096;
// The most a task sets aside for an announced length before the body comes.
const uint64_t kReserveLimit = uint64_t(1) << 20;
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
  // milliseconds < 0: no limit. Whether the event is set.
  bool WaitFor(Which e, int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Wait(0) is how pollers look at a task; a timed wait, even an expired one, costs a
    // sleep until the timer interrupt.
    if (milliseconds == 0) return flags_[e];
    if (milliseconds > 0)
      return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return flags_[e]; });
    changed_.wait(lock, [&] { return flags_[e]; });
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool flags_[3] = {false, false, false};
};

// What the worker uses. It is shared with the worker, so that a worker that outlives its
// task (see ~HttpDownloadTask) never touches freed memory.
struct TaskState {
  TaskState(const char* url, std::unique_ptr<HttpTransport> transport, FinishSignal* finished,
            size_t max_size)
      : url(url), transport(std::move(transport)), finished(finished), max_size(max_size) {
    std::memset(&last_modified, 0, sizeof last_modified);
  }

  void Work() {
    for (;;) {
      if (events.WaitForStartOrCancel() == TaskEvents::kCancel) {
        Fail(DownloadCancelled);
        break;
      }
      events.Reset(TaskEvents::kStart);
      bool request, body;
      std::string since;
      {
        std::lock_guard<std::mutex> lock(mutex);
        request = request_flag;
        body = body_flag;
        since = if_modified_since;
      }
      if (request && status.load() == DownloadIdle) {
        status.store(DownloadConnecting);
        if (!transport->Open(url.c_str(), since))
          Fail(events.IsSet(TaskEvents::kCancel) ? DownloadCancelled : transport->Failure());
        else if (CheckResponse(!since.empty()))
          status.store(DownloadAccepted);
      }
      if (body && status.load() == DownloadAccepted) ReadBody();
      int32_t s = status.load();
      if (s == DownloadFailed || s == DownloadComplete) break;
    }
    transport->Close();
    End(DownloadNoFailure);
  }

  // Status 200 only, and not over plain http when https was asked for (the transport may
  // follow such a redirect by itself); Last-Modified stays all zero without the header.
  // A 304 means "not modified" only to a request that asked; to any other it is a fault.
  bool CheckResponse(bool conditional) {
    std::string final_url;
    if (transport->GetFinalUrl(&final_url) && RedirectedToHttp(url, final_url)) {
      Fail(DownloadRedirectedToHttp);
      return false;
    }
    uint32_t code = 0;
    if (!transport->GetStatus(&code)) {
      Fail(DownloadConnectionFailed);
      return false;
    }
    if (code == 304 && conditional) {
      Fail(DownloadNotModified);
      return false;
    }
    if (code != 200) {
      http_status = code;
      Fail(DownloadHttpStatus);
      return false;
    }
    CalendarTime t;
    std::memset(&t, 0, sizeof t);
    if (transport->GetLastModified(&t)) last_modified = t;
    last_modified.milliseconds = 0;
    has_length = transport->GetContentLength(&length);
    if (has_length && length > max_size) {
      Fail(DownloadTooLarge);
      return false;
    }
    return true;
  }

  void ReadBody() {
    status.store(DownloadReading);
    try {
      std::lock_guard<std::mutex> lock(mutex);
      std::vector<char>().swap(data);
      // Room for the announced body, up to a point: a header alone must not hold memory
      // that no body fills, up to the cap for every task of a Patrol.
      if (has_length) data.reserve(size_t(length < kReserveLimit ? length : kReserveLimit));
    } catch (const std::bad_alloc&) {
      Fail(DownloadOutOfMemory);
      return;
    }
    char buffer[kReadSize];
    for (;;) {
      if (events.IsSet(TaskEvents::kCancel)) {
        Fail(DownloadCancelled);
        return;
      }
      uint32_t n = 0;
      if (!transport->Read(buffer, sizeof buffer, &n)) {
        Fail(events.IsSet(TaskEvents::kCancel) ? DownloadCancelled : transport->Failure());
        return;
      }
      if (n == 0) {
        // A dropped connection ends the body early, just as its true end would.
        if (has_length && data.size() < length)
          Fail(DownloadShortBody);
        else
          status.store(DownloadComplete);
        return;
      }
      if (n > max_size - data.size()) {
        Fail(DownloadTooLarge);
        return;
      }
      try {
        std::lock_guard<std::mutex> lock(mutex);
        data.insert(data.end(), buffer, buffer + n);
      } catch (const std::bad_alloc&) {
        Fail(DownloadOutOfMemory);
        return;
      }
    }
  }

  void Fail(DownloadFailure why) {
    failure = why;
    status.store(DownloadFailed);
  }

  // The worker's last step, or Start's when there is no worker.
  void End(DownloadFailure why) {
    if (why != DownloadNoFailure) Fail(why);
    {
      // Raised first, so that whoever saw the finish event also sees the count.
      std::lock_guard<std::mutex> lock(signal_mutex);
      if (finished) finished->Raise();
    }
    events.Set(TaskEvents::kFinish);
  }

  // The signal may go with the task's owner; a worker left behind must not raise it.
  void DropSignal() {
    std::lock_guard<std::mutex> lock(signal_mutex);
    finished = nullptr;
  }

  const std::string url;
  const std::unique_ptr<HttpTransport> transport;
  std::mutex signal_mutex;
  FinishSignal* finished;
  const size_t max_size;
  std::mutex mutex;  // the data buffer, the two request flags and the request's date
  TaskEvents events;
  uint32_t http_status = 0;
  CalendarTime last_modified;
  bool has_length = false;
  uint64_t length = 0;
  bool request_flag = false;
  bool body_flag = false;
  std::string if_modified_since;  // empty: the request asks nothing
  std::atomic<int32_t> status{DownloadIdle};
  DownloadFailure failure = DownloadNoFailure;
  std::vector<char> data;
};

class HttpDownloadTask : public DownloadTask {
 public:
  explicit HttpDownloadTask(std::shared_ptr<TaskState> state) : state_(std::move(state)) {}

  ~HttpDownloadTask() override {
    Cancel();
    if (!worker_.joinable()) return;
    if (abandoned_ && !state_->events.IsSet(TaskEvents::kFinish)) {
      state_->DropSignal();
      worker_.detach();
      return;
    }
    // Under Wine neither a closed handle nor the receive time limit ends a blocked
    // WinINet read: a worker still blocked after a while is left to end by itself.
    auto waited = std::chrono::steady_clock::now() - cancelled_at_;
    long long left =
        kCancelGraceMs - std::chrono::duration_cast<std::chrono::milliseconds>(waited).count();
    if (state_->events.WaitFor(TaskEvents::kFinish, left > 0 ? int(left) : 0)) {
      worker_.join();
    } else {
      state_->DropSignal();
      worker_.detach();
    }
  }

  void Cancel() override {
    if (cancelled_) return;
    cancelled_ = true;
    cancelled_at_ = std::chrono::steady_clock::now();
    state_->events.Set(TaskEvents::kCancel);
    // A worker blocked on a stalled connection would never see the cancel event.
    if (worker_.joinable()) state_->transport->Abort();
  }

  void Abandon() override {
    Cancel();
    abandoned_ = true;
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
        std::shared_ptr<TaskState> state = state_;
        worker_ = std::thread([state] { state->Work(); });
      } catch (const std::system_error&) {
        // Without a worker the task would stay idle and its poller would wait forever.
        state_->End(DownloadOutOfMemory);
        return 1;
      }
    }
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->request_flag = true;
      state_->body_flag = true;
    }
    state_->events.Set(TaskEvents::kStart);
    return 1;
  }

  void SetIfModifiedSince(const CalendarTime& file_time) override {
    std::string date;
    if (!IfModifiedSinceFor(file_time, &date)) date.clear();
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->if_modified_since = date;
  }

  DownloadStatus Wait(int milliseconds) override {
    state_->events.WaitFor(TaskEvents::kFinish, milliseconds);
    return DownloadStatus(state_->status.load());
  }

  int GetLastModified(CalendarTime* out) override {
    std::memcpy(out, &state_->last_modified, sizeof *out);
    return 0;
  }

  int GetData(const char** out) override {
    if (state_->data.empty()) return 0;
    *out = state_->data.data();
    return int(state_->data.size());
  }

  int GetSourceUrl(char* out) override {
    // A cut address would name another cache file.
    const std::string& url = state_->url;
    if (url.empty() || url.size() >= kUrlSize) {
      out[0] = '\0';
      return 0;
    }
    std::memcpy(out, url.c_str(), url.size() + 1);
    return 1;
  }

  DownloadFailure GetFailure(uint32_t* http_status) override {
    *http_status = 0;
    // The reason is written before the status turns DownloadFailed.
    if (state_->status.load() != DownloadFailed) return DownloadNoFailure;
    if (state_->failure == DownloadHttpStatus) *http_status = state_->http_status;
    return state_->failure;
  }

 private:
  std::shared_ptr<TaskState> state_;
  std::thread worker_;
  bool started_ = false;
  bool cancelled_ = false;
  bool abandoned_ = false;
  std::chrono::steady_clock::time_point cancelled_at_;
  void* owner_window_ = nullptr;
  int owner_number_ = 0;
};

}  // namespace

DownloadTask* CreateDownloadTask(const char* url, const TransportFactory& transports,
                                 FinishSignal* finished, size_t max_size) {
  try {
    std::unique_ptr<HttpTransport> transport = transports();
    if (!transport) return nullptr;
    return new HttpDownloadTask(
        std::make_shared<TaskState>(url, std::move(transport), finished, max_size));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

DownloadTask* CreateDownloadTask(const char* url) {
  return CreateDownloadTask(url, NewHttpTransport, nullptr);
}
