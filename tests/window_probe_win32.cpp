// Test helper: waits for a top-level window of a class or a dialog, reports it, and drives it.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tests/test_ca_win32.h"

// window_probe wait CLASS TIMEOUT_MS: prints "title=<hex bytes> width=W height=H visible=V
//   view=N rebar=N toolbars=N combos=N" (the last four count child windows by class)
// window_probe close CLASS: posts WM_CLOSE to the window
// window_probe press CLASS ID: toggles the tool-bar check button ID of the window and
//   posts its command, as a click does
// window_probe command CLASS TIMEOUT_MS ID: posts command ID to the window (a push button)
// window_probe trust-ca FILE: makes the DER certificate FILE (tests/http_server.py --tls's
//   test CA) a trusted root of the prefix, for the demo's https address
// Dialogs and message boxes are named by their caption with "dialog:" before it:
// window_probe click dialog:CAPTION TIMEOUT_MS ID: posts a click to the dialog's button ID
// window_probe answer dialog:CAPTION TIMEOUT_MS ID: ends a message box with button ID
// window_probe text dialog:CAPTION TIMEOUT_MS: prints the texts of the dialog's static
//   controls (a message box's message) in UTF-8, one line each
// window_probe pick dialog:CAPTION TIMEOUT_MS LIST ROW: selects a row of the dialog's list box
//   and tells the dialog, as a click on the row does
namespace {

// A dialog counts once it is shown: a command posted to one still being created can be lost.
HWND Find(const char* name) {
  if (std::strncmp(name, "dialog:", 7) != 0) return FindWindowA(name, nullptr);
  HWND dialog = FindWindowA("#32770", name + 7);
  return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

HWND WaitFor(const char* window_class, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = Find(window_class);
    if (window) return window;
    if (GetTickCount() - start > timeout_ms) return nullptr;
    Sleep(100);
  }
}

struct ChildCount {
  int view = 0, rebar = 0, tool_bars = 0, combos = 0;
};

BOOL CALLBACK CountChild(HWND child, LPARAM lparam) {
  auto* n = reinterpret_cast<ChildCount*>(lparam);
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  n->view += lstrcmpiA(cls, "CUViewWndClass") == 0;
  n->rebar += lstrcmpiA(cls, REBARCLASSNAMEA) == 0;
  n->tool_bars += lstrcmpiA(cls, TOOLBARCLASSNAMEA) == 0;
  n->combos += lstrcmpiA(cls, "ComboBox") == 0;
  return TRUE;
}

int Report(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  RECT rect;
  GetWindowRect(window, &rect);
  std::printf("title=");
  for (const char* p = title; *p; ++p) std::printf("%02x", static_cast<unsigned char>(*p));
  std::printf(" width=%ld height=%ld visible=%d", rect.right - rect.left, rect.bottom - rect.top,
              IsWindowVisible(window) ? 1 : 0);
  ChildCount children;
  EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&children));
  std::printf(" view=%d rebar=%d toolbars=%d combos=%d\n", children.view, children.rebar,
              children.tool_bars, children.combos);
  return 0;
}

BOOL CALLBACK FindToolBar(HWND child, LPARAM lparam) {
  auto* find = reinterpret_cast<std::pair<int, HWND>*>(lparam);
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  if (std::strcmp(cls, TOOLBARCLASSNAMEA) != 0 ||
      SendMessageA(child, TB_COMMANDTOINDEX, WPARAM(find->first), 0) < 0)
    return TRUE;
  find->second = child;
  return FALSE;
}

// Tool-bar queries that take no buffer work across processes.
int Press(HWND window, int id) {
  std::pair<int, HWND> find(id, nullptr);
  EnumChildWindows(window, FindToolBar, reinterpret_cast<LPARAM>(&find));
  if (!find.second) return 1;
  LRESULT checked = SendMessageA(find.second, TB_ISBUTTONCHECKED, WPARAM(id), 0);
  SendMessageA(find.second, TB_CHECKBUTTON, WPARAM(id), checked ? FALSE : TRUE);
  return PostMessageA(window, WM_COMMAND, WPARAM(id), reinterpret_cast<LPARAM>(find.second)) ? 0
                                                                                             : 1;
}

// Read with the W functions: the A ones come back garbled across processes.
BOOL CALLBACK PrintStatic(HWND child, LPARAM) {
  wchar_t cls[64] = L"";
  GetClassNameW(child, cls, 64);
  if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
  wchar_t text[2048] = L"";
  SendMessageW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
  if (!text[0]) return TRUE;
  char utf8[8192];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (n > 0) std::printf("%s\n", utf8);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: window_probe wait|close|text CLASS [TIMEOUT_MS] | press|command|click|answer "
        "CLASS TIMEOUT_MS ID | pick CLASS TIMEOUT_MS LIST ROW\n");
    return 2;
  }
  if (std::strcmp(argv[1], "trust-ca") == 0) {
    std::string error = TrustTestCa(argv[2]);
    if (!error.empty()) std::fprintf(stderr, "window_probe: %s\n", error.c_str());
    return error.empty() ? 0 : 1;
  }
  DWORD timeout = argc > 3 ? DWORD(std::strtoul(argv[3], nullptr, 10)) : 0;
  HWND window = WaitFor(argv[2], timeout);
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  if (std::strcmp(argv[1], "wait") == 0) return Report(window);
  if (std::strcmp(argv[1], "press") == 0 && argc > 4) return Press(window, std::atoi(argv[4]));
  if (std::strcmp(argv[1], "command") == 0 && argc > 4)
    return PostMessageA(window, WM_COMMAND, WPARAM(std::atoi(argv[4])), 0) ? 0 : 1;
  if (std::strcmp(argv[1], "click") == 0 && argc > 4)
    return PostMessageA(GetDlgItem(window, std::atoi(argv[4])), BM_CLICK, 0, 0) ? 0 : 1;
  if (std::strcmp(argv[1], "answer") == 0 && argc > 4)
    return PostMessageA(window, WM_COMMAND, WPARAM(std::atoi(argv[4])), 0) ? 0 : 1;
  if (std::strcmp(argv[1], "pick") == 0 && argc > 5) {
    int list = std::atoi(argv[4]);
    SendDlgItemMessageA(window, list, LB_SETCURSEL, WPARAM(std::atoi(argv[5])), 0);
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(list, LBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(GetDlgItem(window, list)))
               ? 0
               : 1;
  }
  if (std::strcmp(argv[1], "text") == 0) {
    EnumChildWindows(window, PrintStatic, 0);
    return 0;
  }
  if (std::strcmp(argv[1], "close") == 0) return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  return 2;
}
