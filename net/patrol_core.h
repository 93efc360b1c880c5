// The Patrol without a window: every check-list address downloaded at once, and each cache
// file rewritten only when its download differs from it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/disk.h"
#include "net/download_task.h"
#include "net/http_download_task.h"
#include "net/http_transport.h"

enum CacheUpdate {
  kCacheWritten,
  kCacheUnchanged,
  kCacheWriteFailed,  // the old file, if any, is as it was
};

// Puts data in the cache file at path unless the file already holds exactly these bytes.
CacheUpdate UpdateCacheFile(const char* path, const char* data, size_t size, Disk* disk);

enum PatrolOutcome {
  kPatrolWritten,
  kPatrolUnchanged,
  kPatrolDownloadFailed,
  kPatrolNoCacheName,  // the address maps to no usable cache file name; nothing is fetched
  kPatrolCacheWriteFailed,
};

// One address to fetch, as the check list names it.
struct PatrolEntry {
  std::string name;
  std::string url;
};

struct PatrolLine {
  std::string name;
  std::string url;
  PatrolOutcome outcome = kPatrolDownloadFailed;
  DownloadFailure failure = DownloadNoFailure;  // for kPatrolDownloadFailed
  uint32_t http_status = 0;                     // for DownloadHttpStatus
};

// How the run waits between its passes over the tasks: until finished's count passes
// seen or milliseconds have gone by. False when the user asked the run to stop.
using PatrolWaiter = std::function<bool(FinishSignal* finished, uint64_t seen, int milliseconds)>;

// One Patrol of the entries' addresses into program_dir's cache folder, on the calling thread
// until every download has ended or wait asks it to stop (null: a plain wait). An address
// whose cache file exists asks for the file only if changed since the cache file's last
// write; a server that answers it has not is unchanged. A stopped run still handles the
// downloads that completed; the others read DownloadCancelled, are left to end by
// themselves and leave their cache files alone. The lines are in the entries' order.
std::vector<PatrolLine> RunPatrolCore(const std::vector<PatrolEntry>& entries,
                                      const char* program_dir, const TransportFactory& transports,
                                      Disk* disk, const PatrolWaiter& wait = nullptr);
