// The Patrol of the main window: the downloads run while the window stays painted.
#include "app/busy_wait.h"
#include "app/globals.h"
#include "app/patrol_entries.h"
#include "app/patrol_window.h"
#include "checklist/url_list.h"
#include "data/disk.h"
#include "net/patrol_core.h"
#include "net/patrol_report.h"

std::string RunPatrol(HWND) {
  BusyWait busy;
  std::vector<PatrolLine> lines =
      RunPatrolCore(PatrolEntries(CheckList), ProgramDir, NewHttpTransport, RealDisk(),
                    [&](FinishSignal* finished, uint64_t seen, int milliseconds) {
                      return busy.Wait([&] { return finished->Count() != seen; }, milliseconds);
                    });
  // The user who stopped the Patrol knows it did not finish.
  return busy.Stopped() ? "" : PatrolFailureMessage(lines);
}

void ShowPatrolFailures(HWND main_window, const std::string& text) {
  if (text.empty()) return;
  MessageBoxA(main_window, text.c_str(), "単価アップデートプログラム", MB_OK | MB_ICONWARNING);
}
