// The busy wait: a message loop that paints and drops input until the work ends.
#include <atomic>

#include "app/busy_wait.h"

namespace {

std::atomic<bool> Busy{false};
bool StopAsked = false;
HWND CloseAfter = nullptr;
HCURSOR CursorBefore = nullptr;

// A slice short enough that an ended task is noticed at once.
const DWORD kSliceMs = 10;

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Handles what is queued; client input is dropped but Esc stops. Alt+F4 and the
// non-client area (title bar, close box) go through, so the windows can be moved and
// closed, and a close arrives as WM_CLOSE, which the windows turn into RequestStop.
void HandleQueued() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));  // for the loop outside
      StopAsked = true;
      return;
    }
    bool system_key =
        msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP || msg.message == WM_SYSCHAR;
    if (IsInput(msg.message) && !system_key) {
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) StopAsked = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

bool IsBusy() { return Busy; }

bool ShowBusyCursor() {
  if (!Busy) return false;
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  return true;
}

void RequestStop(HWND window) {
  StopAsked = true;
  if (window) CloseAfter = window;
}

BusyWait::BusyWait() {
  Busy = true;
  StopAsked = false;
  CloseAfter = nullptr;
  CursorBefore = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

BusyWait::~BusyWait() {
  Busy = false;
  SetCursor(CursorBefore);
  if (CloseAfter) PostMessageA(CloseAfter, WM_CLOSE, 0, 0);
  CloseAfter = nullptr;
}

bool BusyWait::Wait(const std::function<bool()>& done, int milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    HandleQueued();
    DWORD passed = GetTickCount() - start;
    if (done() || passed >= DWORD(milliseconds)) break;
    DWORD left = DWORD(milliseconds) - passed;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < kSliceMs ? left : kSliceMs, QS_ALLINPUT);
  }
  return !StopAsked;
}

bool BusyWait::Stopped() const { return StopAsked; }
