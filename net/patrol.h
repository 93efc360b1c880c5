// The Patrol: every check-list address downloaded into the cache.
#pragma once

#include <windows.h>

// Runs one Patrol to its end on the calling (GUI) thread.
void RunPatrol(HWND main_window);
