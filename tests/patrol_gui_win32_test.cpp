// The Patrol of the real main window (command 1563, the 更新 button) against the loopback
// server: which cache files change, and the selector and the grid afterwards.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/busy_wait.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/tool_bars.h"
#include "data/cache_path.h"
#include "data/test_record.h"
#include "resources/resource.h"
#include "tests/gui_process_win32.h"
#include "tests/http_test_server.h"
#include "tests/test_dirs_win32.h"
#include "view/item_view.h"

namespace {

// Two items: the first equals the database, the second is new.
const char kUpdateFile[] =
    "単価アップデートファイル\r\n"
    "1-01-0001-0001-0001,異形棒鋼 D10,JIS,68000,72000,3,110,1\r\n"
    "1-01-0001-0001-0002,異形棒鋼 D13,JIS,67000,71000,3,110,1\r\n";
const char kOld[] = "old contents";

struct Case {
  const char* path;
  const char* rule;
  const char* served;  // null: no file on the server
  const char* cached;  // null: no cache file before the Patrol
  const char* after;   // null: no cache file after it
};

const std::string kSlow(3000, 's');

const Case kCases[] = {
    // Line 0, loaded after the Patrol: a new cache file.
    {"/patrol/new.dat", "", kUpdateFile, nullptr, kUpdateFile},
    {"/patrol/same.dat", "", "same bytes", "same bytes", "same bytes"},
    {"/patrol/longer.dat", "", "abcd", "abc", "abcd"},
    {"/patrol/changed.dat", "", "abXd", "abcd", "abXd"},
    {"/patrol/emptied.dat", "", "", "abcd", ""},
    {"/patrol/empty.dat", "", "", "", ""},
    {"/patrol/untimed.dat", "no-last-modified", "no time", nullptr, "no time"},
    {"/patrol/moved.dat", "redirect=/patrol/same.dat", nullptr, kOld, "same bytes"},
    {"/patrol/slow.dat", "pieces=500/40", kSlow.c_str(), nullptr, kSlow.c_str()},
    {"/patrol/missing.dat", "", nullptr, kOld, kOld},
    {"/patrol/500.dat", "status=500", "x", kOld, kOld},
    {"/patrol/304.dat", "status=304", "x", kOld, kOld},
    {"/patrol/drop.dat", "drop=4", "dropped mid-body", kOld, kOld},
    {"/patrol/huge.dat", "length=300000000", "small", kOld, kOld},
    {"/patrol/never.dat", "status=404", nullptr, nullptr, nullptr},
};

class PatrolWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PrepareGuiProcess(); }

  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "run this program through tests/http_server.py --rules F";
    dir_ = NewTempDir("costupdate-patrol");
    std::strcpy(ProgramDir, dir_.c_str());
    StartFile[0] = '\0';
    CreateDirectoryA((dir_ + kCacheDirName).c_str(), nullptr);
    Library->InitDatabase(ProgramDir);
    PriceItem known = TestRecord(MakeCode(1, 1, 1, 1, 1), "異形棒鋼 D10", 68000, 72000);
    RecordBlock block = Library->AllocBlock(sizeof known);
    std::memcpy(Library->LockBlock(block), &known, sizeof known);
    Library->UnlockBlock(block);
    Library->WriteGroup(known.code, block, 1);
    Library->FreeBlock(block);
    KindFilter = kChangeBits;
    View = ViewState();
  }

  void TearDown() override {
    if (window_) DestroyWindow(window_);
    Pump();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }

  std::string Cache(const char* path) {
    char out[kCachePathSize];
    EXPECT_EQ(1, CachePath(out, ProgramDir, server_.Url(path).c_str()));
    return out;
  }

  void Write(const std::string& path, const char* bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes, 1, std::strlen(bytes), f);
    std::fclose(f);
  }

  // The file's bytes, or null text "<none>" when it cannot be opened.
  std::string Read(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<none>";
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
  }

  // Last-write time, or all zero without the file.
  FILETIME Written(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
  }

  void SetWritten(const std::string& path, FILETIME when) {
    HANDLE f =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f) << path;
    SetFileTime(f, nullptr, nullptr, &when);
    CloseHandle(f);
  }

  std::string SelectorLine(int index) {
    char text[512] = "";
    SendMessageA(MainBars.file_selector, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
  }

  // The 更新 button pressed as a user does; returns when the command has.
  void ClickPatrol() {
    RECT r;
    ASSERT_TRUE(SendMessageA(MainBars.patrol_tool_bar, TB_GETRECT, IDC_PATROL,
                             reinterpret_cast<LPARAM>(&r)));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(MainBars.patrol_tool_bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(MainBars.patrol_tool_bar, WM_LBUTTONUP, 0, at);
    Pump();
  }

  void Open() {
    window_ = OpenMainWindow();
    ASSERT_TRUE(window_);
    Pump();
  }

  TestServer server_;
  std::string dir_;
  HWND window_ = nullptr;
};

TEST_F(PatrolWindowTest, RefreshesTheCacheTheSelectorAndTheGrid) {
  std::string rules, list;
  for (const Case& c : kCases) {
    if (*c.rule) rules += std::string(c.path) + " " + c.rule + "\n";
    if (c.served) server_.Serve(c.path, c.served);
    list += std::string(c.path + 8) + "," + server_.Url(c.path) + "\r\n";
  }
  server_.SetRules(rules);
  Write(dir_ + "FavoriteList.txt", list.c_str());
  // Files that keep their contents must keep this time too.
  // Whole seconds: Wine keeps no fractions.
  const SYSTEMTIME june_2019 = {2019, 6, 6, 1, 12, 0, 0, 0};
  FILETIME old;
  SystemTimeToFileTime(&june_2019, &old);
  for (const Case& c : kCases) {
    if (!c.cached) continue;
    Write(Cache(c.path), c.cached);
    SetWritten(Cache(c.path), old);
  }

  Open();
  int lines = int(std::size(kCases));
  ASSERT_EQ(lines, SendMessageA(MainBars.file_selector, CB_GETCOUNT, 0, 0));
  EXPECT_NE(std::string::npos, SelectorLine(0).find("更新ファイルがありません。"));
  EXPECT_EQ(0, FileLoaded);

  // The cursor the user sees while the window is blocked, watched from another thread.
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  std::atomic<bool> patrolling{true}, saw_wait{false};
  std::thread watcher([&] {
    while (patrolling) {
      CURSORINFO info = {};
      info.cbSize = sizeof info;
      if (GetCursorInfo(&info) && info.hCursor == wait) saw_wait = true;
      Sleep(5);
    }
  });
  ClickPatrol();
  patrolling = false;
  watcher.join();
  EXPECT_TRUE(saw_wait);

  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.after ? c.after : "<none>", Read(Cache(c.path)));
    FILETIME now = Written(Cache(c.path));
    bool same_time =
        now.dwLowDateTime == old.dwLowDateTime && now.dwHighDateTime == old.dwHighDateTime;
    bool rewritten = c.cached && std::string(c.cached) != c.after;
    if (c.cached) {
      EXPECT_EQ(!rewritten, same_time);
    }
  }
  // One cache file per address that has one; no temporary file stays.
  int files = 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir_ + kCacheDirName + "*").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  do {
    if (found.cFileName[0] == '.') continue;
    ++files;
    EXPECT_NE(nullptr, std::strstr(found.cFileName, ".costupdate")) << found.cFileName;
    EXPECT_EQ(nullptr, std::strstr(found.cFileName, ".tmp")) << found.cFileName;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  EXPECT_EQ(lines - 1, files);

  // The selector was filled again and line 0 loaded: its file is there now.
  ASSERT_EQ(lines, SendMessageA(MainBars.file_selector, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(0, SendMessageA(MainBars.file_selector, CB_GETCURSEL, 0, 0));
  EXPECT_NE(std::string::npos, SelectorLine(0).find("\t最終更新日 2")) << SelectorLine(0);
  EXPECT_NE(std::string::npos, SelectorLine(lines - 1).find("更新ファイルがありません。"));
  EXPECT_EQ(1, FileLoaded);
  ASSERT_EQ(2, Store.count);
  EXPECT_EQ(0, Store.states[0]);
  EXPECT_EQ(kNewItemState, Store.states[1]);
  EXPECT_EQ(1, ShownItemCount());
}

// With nothing to fetch the Patrol still refreshes the selector and the loaded file.
TEST_F(PatrolWindowTest, AllFailedStillRefreshes) {
  server_.SetRules("/patrol/down.dat status=500\n");
  Write(dir_ + "FavoriteList.txt", ("down," + server_.Url("/patrol/down.dat") + "\r\n").c_str());
  Open();
  // A file appears behind the program's back; the Patrol's refresh shows it.
  Write(Cache("/patrol/down.dat"), kUpdateFile);
  EXPECT_EQ(0, FileLoaded);
  ClickPatrol();
  EXPECT_EQ(kUpdateFile, Read(Cache("/patrol/down.dat")));
  EXPECT_EQ(1, FileLoaded);
  EXPECT_EQ(2, Store.count);
  EXPECT_NE(std::string::npos, SelectorLine(0).find("\t最終更新日 2")) << SelectorLine(0);
}

// A slow server does not freeze the window: it answers and paints within 100 ms all along,
// a second 更新 is refused, and Esc or closing the window stops the Patrol, keeping what
// had come and leaving the rest of the cache as it was.
TEST_F(PatrolWindowTest, WindowAnswersDuringASlowPatrolAndStops) {
  Write(dir_ + "FavoriteList.txt",
        ("quick," + server_.Url("/patrol/quicker.dat") + "\r\nslow," +
         server_.Url("/patrol/slower.dat") + "\r\nnew," + server_.Url("/patrol/newer.dat") + "\r\n")
            .c_str());
  server_.Serve("/patrol/quicker.dat", kUpdateFile);
  server_.Serve("/patrol/slower.dat", "slow bytes");
  server_.Serve("/patrol/newer.dat", "new bytes");
  Open();

  auto wait_busy = [] {
    for (int i = 0; i < 500 && !IsBusy(); ++i) Sleep(10);
    return IsBusy();
  };
  // Probes from another thread, as Windows does before it marks a window as hung.
  std::atomic<int> probes{0}, late{0};
  auto probe_while_busy = [&] {
    while (IsBusy()) {
      auto start = std::chrono::steady_clock::now();
      DWORD_PTR result;
      if (!SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result)) ++late;
      InvalidateRect(ItemView, nullptr, FALSE);
      while (GetUpdateRect(ItemView, nullptr, FALSE) &&
             std::chrono::steady_clock::now() - start < std::chrono::milliseconds(100))
        Sleep(1);
      if (GetUpdateRect(ItemView, nullptr, FALSE) && IsBusy()) ++late;
      ++probes;
      Sleep(150);
    }
  };

  server_.SetRules("/patrol/slower.dat delay=3000\n");
  std::thread prober([&] {
    if (!wait_busy()) return;
    PostMessageA(window_, WM_COMMAND, IDC_PATROL, 0);  // a second 更新: refused
    probe_while_busy();
  });
  ClickPatrol();
  prober.join();
  EXPECT_GE(probes, 10);
  EXPECT_EQ(0, late);
  EXPECT_EQ(1u, server_.Requests("/patrol/slower.dat").size());
  EXPECT_EQ("slow bytes", Read(Cache("/patrol/slower.dat")));
  EXPECT_EQ(1, FileLoaded);

  struct Stop {
    const char* how;
    UINT message;
    WPARAM wparam;
  };
  for (const Stop& stop : {Stop{"Esc", WM_KEYDOWN, VK_ESCAPE}, Stop{"close", WM_CLOSE, 0}}) {
    SCOPED_TRACE(stop.how);
    server_.SetRules("/patrol/slower.dat delay=8000\n/patrol/newer.dat delay=8000\n");
    server_.Serve("/patrol/quicker.dat", "quick, new contents");
    Write(Cache("/patrol/slower.dat"), kOld);
    DeleteFileA(Cache("/patrol/newer.dat").c_str());
    std::thread stopper([&] {
      if (!wait_busy()) return;
      for (int i = 0; i < 500 && Read(Cache("/patrol/quicker.dat")) == kUpdateFile; ++i) Sleep(10);
      PostMessageA(window_, stop.message, stop.wparam, 0);
      probe_while_busy();
    });
    auto start = std::chrono::steady_clock::now();
    ClickPatrol();
    auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_LT(took, std::chrono::milliseconds(6000));  // well before the answers come
    EXPECT_EQ(0, late);
    EXPECT_EQ("quick, new contents", Read(Cache("/patrol/quicker.dat")));
    EXPECT_EQ(kOld, Read(Cache("/patrol/slower.dat")));
    EXPECT_EQ("<none>", Read(Cache("/patrol/newer.dat")));
    Pump();
    EXPECT_EQ(stop.message == WM_CLOSE, !IsWindow(window_));
    Write(Cache("/patrol/quicker.dat"), kUpdateFile);
  }
  window_ = nullptr;
}

}  // namespace
