// Ending a download task, whichever implementation made it.
#include "net/download_task.h"

int DestroyDownloadTask(DownloadTask* task) {
  delete task;  // the destructor cancels and waits for the worker
  return 1;
}
