// Puts the grid's copy text on the clipboard as Unicode and as code page 932 text.
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "app/copy_rows.h"
#include "app/globals.h"
#include "view/copy_text.h"
#include "view/item_view.h"

namespace {

const UINT kSjisCodePage = 932;

HGLOBAL GlobalCopy(const void* data, size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return nullptr;
  void* at = GlobalLock(block);
  if (!at) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(at, data, bytes);
  GlobalUnlock(block);
  return block;
}

// The text with its NUL in a block, as CF_UNICODETEXT wants it; null when it cannot be made.
HGLOBAL UnicodeBlock(const std::string& text) {
  if (text.size() >= size_t(INT_MAX)) return nullptr;
  const int n = int(text.size());
  int wide_length = MultiByteToWideChar(kSjisCodePage, 0, text.data(), n, nullptr, 0);
  if (n > 0 && wide_length <= 0) return nullptr;
  std::wstring wide(size_t(wide_length), L'\0');
  if (n > 0) MultiByteToWideChar(kSjisCodePage, 0, text.data(), n, &wide[0], wide_length);
  return GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

// Another program may hold the clipboard open for a moment.
bool OpenClipboardSoon(HWND owner) {
  for (int attempt = 0; attempt < 10; attempt++) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

// Both formats or neither; the clipboard owns a block once it took it.
bool PutOnClipboard(HWND owner, const std::string& text) {
  HGLOBAL unicode = UnicodeBlock(text);
  HGLOBAL ansi = GlobalCopy(text.c_str(), text.size() + 1);
  bool ok = unicode && ansi && OpenClipboardSoon(owner);
  if (ok) {
    ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, unicode);
    if (ok) unicode = nullptr;
    ok = ok && SetClipboardData(CF_TEXT, ansi);
    if (ok) ansi = nullptr;
    if (!ok) EmptyClipboard();
    CloseClipboard();
  }
  if (unicode) GlobalFree(unicode);
  if (ansi) GlobalFree(ansi);
  return ok;
}

}  // namespace

void CopyRows(HWND window) {
  if (PutOnClipboard(window, CopyText(CurrentGrid(), &Shown, Library))) return;
  // Saying nothing would leave the user pasting whatever the clipboard held before.
  MessageBoxA(window, "クリップボードにコピーできませんでした。", "コピー", MB_OK | MB_ICONERROR);
}
