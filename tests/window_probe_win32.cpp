// Test helper: waits for a top-level window of a class, reports it, and can close it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// window_probe wait CLASS TIMEOUT_MS: prints "title=<hex bytes> width=W height=H visible=V"
// window_probe close CLASS: posts WM_CLOSE to the window
// window_probe count CLASS: prints how many visible top-level windows have the class
namespace {

HWND WaitFor(const char* window_class, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(window_class, nullptr);
    if (window) return window;
    if (GetTickCount() - start > timeout_ms) return nullptr;
    Sleep(100);
  }
}

int Report(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  RECT rect;
  GetWindowRect(window, &rect);
  std::printf("title=");
  for (const char* p = title; *p; ++p) std::printf("%02x", static_cast<unsigned char>(*p));
  std::printf(" width=%ld height=%ld visible=%d\n", rect.right - rect.left, rect.bottom - rect.top,
              IsWindowVisible(window) ? 1 : 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_probe wait|close CLASS [TIMEOUT_MS]\n");
    return 2;
  }
  DWORD timeout = argc > 3 ? DWORD(std::strtoul(argv[3], nullptr, 10)) : 0;
  HWND window = WaitFor(argv[2], timeout);
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  if (std::strcmp(argv[1], "wait") == 0) return Report(window);
  if (std::strcmp(argv[1], "close") == 0) return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  return 2;
}
