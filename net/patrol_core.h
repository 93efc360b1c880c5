// The Patrol without a window: every check-list address downloaded at once, and each cache
// file rewritten only when its download differs from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checklist/url_list.h"
#include "data/disk.h"
#include "net/download_task.h"
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

struct PatrolLine {
  std::string name;
  std::string url;
  PatrolOutcome outcome = kPatrolDownloadFailed;
  DownloadFailure failure = DownloadNoFailure;  // for kPatrolDownloadFailed
  uint32_t http_status = 0;                     // for DownloadHttpStatus
};

// "written", "unchanged" or "failed: " and the reason.
std::string DescribeOutcome(const PatrolLine& line);

// One Patrol of list's addresses into program_dir's cache folder, on the calling thread
// until every download has ended. The lines are in list order.
std::vector<PatrolLine> RunPatrolCore(const UrlList& list, const char* program_dir,
                                      const TransportFactory& transports, Disk* disk);
