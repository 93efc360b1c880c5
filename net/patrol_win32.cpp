// The Patrol of the main window: blocks it, under the wait cursor, until every download ends.
#include "app/globals.h"
#include "checklist/url_list.h"
#include "data/disk.h"
#include "net/patrol.h"
#include "net/patrol_core.h"

void RunPatrol(HWND) {
  // No message is handled meanwhile, so nothing sets the cursor back before the end.
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  RunPatrolCore(CheckList, ProgramDir, NewHttpTransport, RealDisk());
  SetCursor(previous);
}
