// The download task over an HTTP transport, and the signal that tells a poller a task ended.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "net/download_task.h"
#include "net/http_transport.h"

// Shared by tasks that a single thread polls: each task raises it once when it ends, so
// the poller sleeps until some task has ended instead of waiting on them one at a time.
class FinishSignal {
 public:
  // Number of raises so far.
  uint64_t Count();
  void Raise();
  // Waits up to milliseconds for the count to pass seen; true when it has.
  bool WaitPast(uint64_t seen, int milliseconds);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t count_ = 0;
};

// A new idle task that downloads url through transports' transport, raising finished
// (may be null) when it ends. Null when memory runs out.
DownloadTask* CreateDownloadTask(const char* url, const TransportFactory& transports,
                                 FinishSignal* finished, size_t max_size = kMaxDownloadSize);
