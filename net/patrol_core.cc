// The Patrol's task list, its polling and the cache comparison.
#include "net/patrol_core.h"

#include <cstring>
#include <memory>

#include "data/cache_path.h"
#include "net/http_download_task.h"

namespace {

const int kPollMs = 100;
const size_t kCompareChunk = 64 * 1024;

struct RunningTask {
  DownloadTask* task;
  size_t line;
};

// The file holds exactly size bytes equal to data.
bool SameContent(Disk* disk, const char* path, const char* data, size_t size) {
  Disk::File file = disk->OpenForRead(path);
  if (file == Disk::kNoFile) return false;
  uint64_t file_size = 0;
  bool same = disk->FileSize(file, &file_size) && file_size == size;
  std::unique_ptr<char[]> buffer(same ? new char[kCompareChunk] : nullptr);
  for (size_t at = 0; same && at < size;) {
    size_t n = size - at < kCompareChunk ? size - at : kCompareChunk;
    same =
        disk->ReadFull(file, buffer.get(), n) == n && std::memcmp(buffer.get(), data + at, n) == 0;
    at += n;
  }
  disk->Close(file);
  return same;
}

void HandleCompleted(DownloadTask* task, const char* program_dir, Disk* disk, PatrolLine* line) {
  char url[512], path[kCachePathSize];
  if (!task->GetSourceUrl(url) || !CachePath(path, program_dir, url)) {
    line->outcome = kPatrolNoCacheName;
    return;
  }
  const char* data = "";
  int size = task->GetData(&data);
  switch (UpdateCacheFile(path, data, size_t(size), disk)) {
    case kCacheWritten:
      line->outcome = kPatrolWritten;
      break;
    case kCacheUnchanged:
      line->outcome = kPatrolUnchanged;
      break;
    case kCacheWriteFailed:
      line->outcome = kPatrolCacheWriteFailed;
      break;
  }
}

bool Wait(const PatrolWaiter& wait, FinishSignal* finished, uint64_t seen, int milliseconds) {
  if (wait) return wait(finished, seen, milliseconds);
  finished->WaitPast(seen, milliseconds);
  return true;
}

// Handles and destroys a task that has ended; false, leaving it, while it runs.
bool PollTask(const RunningTask& running, const char* program_dir, Disk* disk, PatrolLine* line) {
  DownloadStatus status = running.task->Wait(0);
  if (status == DownloadComplete) {
    HandleCompleted(running.task, program_dir, disk, line);
  } else if (status < 0) {
    line->failure = running.task->GetFailure(&line->http_status);
    // The server's file has not changed since the cache file was written: it stays.
    if (line->failure == DownloadNotModified) {
      line->outcome = kPatrolUnchanged;
      line->failure = DownloadNoFailure;
    }
  } else {
    return false;
  }
  DestroyDownloadTask(running.task);
  return true;
}

// The user asked to stop: the window must be back at once. Every task is cancelled; a
// download that completed meanwhile is kept like any other, and a task still running is
// abandoned, not awaited: its worker ends by itself (under Wine a blocked WinINet call
// goes on after its handles close) and nothing it fetches is written.
void StopTasks(std::vector<RunningTask>* tasks, const char* program_dir, Disk* disk,
               std::vector<PatrolLine>* lines) {
  for (const RunningTask& running : *tasks) running.task->Cancel();
  for (const RunningTask& running : *tasks) {
    PatrolLine* line = &(*lines)[running.line];
    if (PollTask(running, program_dir, disk, line)) continue;
    line->failure = DownloadCancelled;
    running.task->Abandon();
    DestroyDownloadTask(running.task);
  }
  tasks->clear();
}

}  // namespace

CacheUpdate UpdateCacheFile(const char* path, const char* data, size_t size, Disk* disk) {
  if (SameContent(disk, path, data, size)) return kCacheUnchanged;
  // Through a temporary file: a failed write must not cost the good copy.
  return disk->ReplaceFile(path, data, size) ? kCacheWritten : kCacheWriteFailed;
}

std::vector<PatrolLine> RunPatrolCore(const std::vector<PatrolEntry>& entries,
                                      const char* program_dir, const TransportFactory& transports,
                                      Disk* disk, const PatrolWaiter& wait) {
  std::vector<PatrolLine> lines(entries.size());
  // Made at start-up, but a Patrol from the command line, or after the folder was
  // removed, would otherwise fail every write.
  disk->CreateFolder((std::string(program_dir) + kCacheDirName).c_str());
  FinishSignal finished;
  std::vector<RunningTask> tasks;
  for (size_t i = 0; i < lines.size(); ++i) {
    char path[kCachePathSize];
    const char* url = entries[i].url.c_str();
    lines[i].name = entries[i].name;
    lines[i].url = entries[i].url;
    if (!CachePath(path, program_dir, url)) {
      lines[i].outcome = kPatrolNoCacheName;
      continue;
    }
    DownloadTask* task = CreateDownloadTask(url, transports, &finished);
    if (!task) {
      lines[i].failure = DownloadOutOfMemory;
      continue;
    }
    // Only a changed file is sent again. The time is the cache file's last write, which
    // stands for when its content last changed.
    CalendarTime written;
    if (disk->LastWriteTime(path, false, &written)) task->SetIfModifiedSince(written);
    task->Start();
    tasks.push_back({task, i});
  }
  // In list order from the first task after each one handled, as one poll over the tasks;
  // between passes the thread sleeps until some task ends rather than on each in turn.
  bool stopped = false;
  while (!tasks.empty() && !stopped) {
    uint64_t seen = finished.Count();
    bool handled = false;
    for (size_t k = 0; k < tasks.size() && !handled; ++k) {
      if (!PollTask(tasks[k], program_dir, disk, &lines[tasks[k].line])) continue;
      tasks.erase(tasks.begin() + long(k));
      handled = true;
    }
    if (!handled) stopped = !Wait(wait, &finished, seen, kPollMs);
  }
  if (stopped) StopTasks(&tasks, program_dir, disk, &lines);
  return lines;
}
