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
#include "tests/test_ca_win32.h"
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

const char kBoxCaption[] = "単価アップデートプログラム";
const char kBoxFirstLine[] =
    "次の更新先から取得できませんでした。前回取得したファイルはそのまま残っています。";

// The message box a Patrol may show, watched for from another thread while the GUI
// thread runs the Patrol: its text and buttons and what the window showed meanwhile; it
// is answered with OK.
class BoxWatcher {
 public:
  BoxWatcher() : thread_([this] { Watch(); }) {}
  // Call once the Patrol's command has returned: a box comes before that or not at all.
  void Finish() {
    done_ = true;
    thread_.join();
  }
  bool seen = false;
  std::string text;
  bool only_ok = false;       // an OK button and no other
  bool warning_icon = false;  // the system's warning icon
  int loaded_at_box = -1;     // FileLoaded while the box showed
  int selector_lines_at_box = -1;

 private:
  void Watch() {
    while (!done_) {
      HWND box = FindWindowA("#32770", kBoxCaption);
      if (!box || !IsWindowVisible(box)) {
        Sleep(20);
        continue;
      }
      seen = true;
      char buffer[16384] = "";
      GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
      text = buffer;
      only_ok = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDYES) &&
                !GetDlgItem(box, IDNO);
      // Wine's and Windows' message boxes keep their icon in control 0x440.
      HICON icon = HICON(SendDlgItemMessageA(box, 0x440, STM_GETICON, 0, 0));
      warning_icon = icon && icon == LoadIconA(nullptr, IDI_WARNING);
      loaded_at_box = FileLoaded;
      selector_lines_at_box = int(SendMessageA(MainBars.file_selector, CB_GETCOUNT, 0, 0));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      for (int i = 0; i < 400 && IsWindow(box); ++i) Sleep(20);
      return;
    }
  }
  std::atomic<bool> done_{false};
  std::thread thread_;
};

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
    // Asked with the cache file's time: a 304 says it has not changed, and it stays.
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
  BoxWatcher box;
  ClickPatrol();
  box.Finish();
  patrolling = false;
  watcher.join();
  EXPECT_TRUE(saw_wait);
  // One box, after the refresh, naming the failed addresses in list order.
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(std::string(kBoxFirstLine) +
                "\n・missing.dat: HTTP ステータス 404"
                "\n・500.dat: HTTP ステータス 500"
                "\n・drop.dat: 受信が途中で切れました"
                "\n・huge.dat: ファイルが大きすぎます"
                "\n・never.dat: HTTP ステータス 404",
            box.text);
  EXPECT_TRUE(box.only_ok);
  EXPECT_TRUE(box.warning_icon);
  EXPECT_EQ(1, box.loaded_at_box);
  EXPECT_EQ(int(std::size(kCases)), box.selector_lines_at_box);

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
  BoxWatcher box;
  ClickPatrol();
  box.Finish();
  EXPECT_EQ(std::string(kBoxFirstLine) + "\n・down: HTTP ステータス 500", box.text);
  EXPECT_EQ(1, box.loaded_at_box);
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
  BoxWatcher all_fetched;
  ClickPatrol();
  all_fetched.Finish();
  prober.join();
  EXPECT_FALSE(all_fetched.seen) << all_fetched.text;
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
    // The stop comes once the quick file is in, however long a loaded machine takes for it.
    std::atomic<long long> stop_at{0};
    std::thread stopper([&] {
      if (!wait_busy()) return;
      for (int i = 0; i < 2000 && Read(Cache("/patrol/quicker.dat")) == kUpdateFile; ++i)
        Sleep(10);
      stop_at = std::chrono::steady_clock::now().time_since_epoch().count();
      PostMessageA(window_, stop.message, stop.wparam, 0);
      probe_while_busy();
    });
    BoxWatcher stopped;
    ClickPatrol();
    auto back = std::chrono::steady_clock::now().time_since_epoch().count();
    stopped.Finish();
    stopper.join();
    EXPECT_FALSE(stopped.seen) << stopped.text;
    ASSERT_NE(0, stop_at.load());
    // Well before the slow answers come (8 s after their requests).
    EXPECT_LT(std::chrono::steady_clock::duration(back - stop_at.load()),
              std::chrono::milliseconds(4000));
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

// https addresses and every kind of network failure, told in the box by the names the
// check list gives them; with more than 20 failed, the rest are counted.
TEST_F(PatrolWindowTest, BoxTellsEachFailureWithItsReason) {
  ASSERT_FALSE(server_.TestCa().empty()) << "run this program through http_server.py --tls DIR";
  ASSERT_EQ("", TrustTestCaFromHelper(server_.TestCa()));
  server_.Serve("/box/a.dat", kUpdateFile);
  const std::string good = server_.HttpsUrl("HTTPS_TEST_PORT", "/box/a.dat");
  server_.SetRules("/box/down.dat redirect=" + server_.Url("/box/a.dat") + "\n");
  const struct {
    const char* name;
    std::string url;
    const char* reason;  // null: fetched
  } cases[] = {
      {"https", good, nullptr},
      {"信頼されない", server_.HttpsUrl("HTTPS_UNTRUSTED_PORT", "/box/a.dat"),
       "証明書が信頼されていません"},
      {"別名", server_.HttpsUrl("HTTPS_OTHER_NAME_PORT", "/box/a.dat"),
       "証明書の名前が一致しません"},
      {"期限切れ", server_.HttpsUrl("HTTPS_EXPIRED_PORT", "/box/a.dat"),
       "証明書の有効期限が切れています"},
      {"http へ", server_.HttpsUrl("HTTPS_TEST_PORT", "/box/down.dat"),
       "暗号化されない http に転送されたため受け取りませんでした"},
      {"閉じたポート", "http://127.0.0.1:1/box/a.dat", "サーバーに接続できません"},
      {"ない名前", "http://costupdate-test.invalid/box/a.dat", "サーバーが見つかりません"},
  };
  for (int missing : {0, 13, 14, 20}) {
    SCOPED_TRACE(missing);
    std::string list, want = kBoxFirstLine;
    int failed = 0;
    for (const auto& c : cases) {
      list += std::string(c.name) + "," + c.url + "\r\n";
      if (c.reason && ++failed <= 20) want += "\n・" + std::string(c.name) + ": " + c.reason;
    }
    // More failed addresses after them: 404s.
    for (int i = 0; i < missing; ++i) {
      std::string name = "m" + std::to_string(i);
      list += name + "," + server_.Url("/box/missing" + std::to_string(i) + ".dat") + "\r\n";
      if (++failed <= 20) want += "\n・" + name + ": HTTP ステータス 404";
    }
    if (failed > 20) want += "\nほか " + std::to_string(failed - 20) + " 件";
    Write(dir_ + "FavoriteList.txt", list.c_str());
    Open();
    BoxWatcher box;
    ClickPatrol();
    box.Finish();
    EXPECT_EQ(want, box.text);
    // The https address was fetched: line 0 is loaded.
    EXPECT_EQ(1, box.loaded_at_box);
    char https_cache[kCachePathSize];
    ASSERT_EQ(1, CachePath(https_cache, ProgramDir, good.c_str()));
    EXPECT_EQ(kUpdateFile, Read(https_cache));
    DestroyWindow(window_);
    window_ = nullptr;
    Pump();
  }
}

// Esc while the only server answers after 3 s: the window is back at once, and what that
// server sends later is not written.
TEST_F(PatrolWindowTest, EscGivesTheWindowBackAtOnce) {
  server_.Serve("/patrol/late.dat", "late bytes");
  server_.SetRules("/patrol/late.dat delay=3000\n");
  Write(dir_ + "FavoriteList.txt", ("late," + server_.Url("/patrol/late.dat") + "\r\n").c_str());
  Write(Cache("/patrol/late.dat"), kOld);
  Open();
  std::atomic<long long> esc_at{0};
  std::thread stopper([&] {
    for (int i = 0; i < 500 && !IsBusy(); ++i) Sleep(10);
    // The request is under way before the user gives up on it.
    for (int i = 0; i < 500 && server_.Requests("/patrol/late.dat").empty(); ++i) Sleep(10);
    Sleep(200);
    esc_at = std::chrono::steady_clock::now().time_since_epoch().count();
    PostMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  BoxWatcher box;
  ClickPatrol();
  auto back = std::chrono::steady_clock::now().time_since_epoch().count();
  box.Finish();
  stopper.join();
  ASSERT_NE(0, esc_at.load());
  EXPECT_LT(std::chrono::steady_clock::duration(back - esc_at.load()),
            std::chrono::milliseconds(300));
  EXPECT_FALSE(box.seen) << box.text;
  EXPECT_FALSE(IsBusy());
  // The abandoned download ends by itself after the answer; its bytes go nowhere.
  Sleep(3500);
  Pump();
  EXPECT_EQ(kOld, Read(Cache("/patrol/late.dat")));
}

}  // namespace
