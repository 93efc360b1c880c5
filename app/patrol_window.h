// The Patrol: every check-list address downloaded into the cache.
#pragma once

#include <windows.h>

#include <string>

// Runs one Patrol on the calling (GUI) thread, handling the windows' messages meanwhile,
// until every download has ended or the user stopped it (Esc, closing the window). What
// to tell the user once the window is refreshed: the failed addresses; empty when every
// address was fetched or the user stopped the Patrol.
std::string RunPatrol(HWND main_window);

// Shows RunPatrol's text, when there is one, in a warning box over the window.
void ShowPatrolFailures(HWND main_window, const std::string& text);
