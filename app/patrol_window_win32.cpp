// The Patrol of the main window: the downloads run while the window stays painted.
#include "app/busy_wait.h"
#include "app/globals.h"
#include "app/patrol_entries.h"
#include "app/patrol_window.h"
#include "checklist/url_list.h"
#include "data/disk.h"
#include "net/patrol_core.h"

void RunPatrol(HWND) {
  BusyWait busy;
  RunPatrolCore(PatrolEntries(CheckList), ProgramDir, NewHttpTransport, RealDisk(),
                [&](FinishSignal* finished, uint64_t seen, int milliseconds) {
                  return busy.Wait([&] { return finished->Count() != seen; }, milliseconds);
                });
}
