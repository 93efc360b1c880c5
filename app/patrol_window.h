// The Patrol: every check-list address downloaded into the cache.
#pragma once

#include <windows.h>

// Runs one Patrol on the calling (GUI) thread, handling the windows' messages meanwhile,
// until every download has ended or the user stopped it (Esc, closing the window).
void RunPatrol(HWND main_window);
