// Work on other threads while the GUI thread keeps the windows painted: their input is
// dropped, the wait cursor shows, and Esc or closing a window asks the work to stop.
#pragma once

#include <windows.h>

#include <functional>

// True while a BusyWait runs: commands that would start other work are refused. Any thread.
bool IsBusy();
// For WM_SETCURSOR: sets the wait cursor and returns true while busy.
bool ShowBusyCursor();
// Asks the running work to stop (a window's close while busy): window, when not null,
// is sent WM_CLOSE again once the work has ended.
void RequestStop(HWND window);

// One spell of work; spells do not nest (a second one is refused by IsBusy first).
class BusyWait {
 public:
  BusyWait();
  ~BusyWait();
  BusyWait(const BusyWait&) = delete;
  BusyWait& operator=(const BusyWait&) = delete;

  // Handles messages until done() is true or milliseconds have passed. False once the
  // user has asked to stop; the wait is made all the same.
  bool Wait(const std::function<bool()>& done, int milliseconds);
  bool Stopped() const;
};
