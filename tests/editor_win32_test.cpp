// The check-list editor through the real dialog: the main window and the dialog run on this
// thread's modal loops while a driver thread fills, clicks and answers them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/busy_wait.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/tool_bars.h"
#include "checklist/url_list.h"
#include "data/qupra_binding.h"
#include "resources/resource.h"
#include "tests/gui_process_win32.h"
#include "tests/http_test_server.h"
#include "tests/test_dirs_win32.h"
#include "view/item_view.h"

namespace {

const char kEditorCaption[] = "巡回チェックリストの編集";

// What the driver thread does to the dialog.
struct Driver {
  HWND dialog = nullptr;
  std::vector<std::string> boxes;  // "caption: text" of every message box answered

  bool Open() { return (dialog = WaitDialog(kEditorCaption)) != nullptr; }
  HWND Item(int id) { return GetDlgItem(dialog, id); }
  void Type(int id, const char* text) {
    SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  // A click on a button whose command opens no message box.
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
  // A click whose command shows a message box: posted, so that this thread can answer it.
  void ClickAndAnswer(int id, const char* caption, int answer) {
    PostMessageA(Item(id), BM_CLICK, 0, 0);
    Answer(caption, answer);
  }
  void Answer(const char* caption, int answer) { boxes.push_back(AnswerBox(caption, answer)); }
  void Pick(int list, int row) {
    SendMessageA(Item(list), LB_SETCURSEL, WPARAM(row), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(list)));
  }
  std::vector<std::string> Rows(int list) {
    std::vector<std::string> rows;
    int n = int(SendMessageA(Item(list), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[256] = "";
      SendMessageA(Item(list), LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
      rows.push_back(text);
    }
    return rows;
  }
  bool Enabled(int id) { return IsWindowEnabled(Item(id)) != 0; }
  // OK or Cancel; the dialog closes.
  void Close(int id) {
    PostMessageA(Item(id), BM_CLICK, 0, 0);
    Gone(dialog);
  }
};

class EditorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PrepareGuiProcess(); }

  void SetUp() override {
    dir_ = NewTempDir("costupdate-editor");
    std::strcpy(ProgramDir, dir_.c_str());
    Library->InitDatabase(ProgramDir);
    StartFile[0] = '\0';
    WriteFile("FavoriteList.txt",
              "月次,http://127.0.0.1:1/a.dat\r\n四半期,http://127.0.0.1:1/b.dat\r\n");
    WriteFile("BaseUrlList.txt",
              "候補一,http://127.0.0.1:1/p.dat\r\n候補二,http://127.0.0.1:1/q.dat\r\n");
  }

  void TearDown() override {
    ProgramDirWritable = 1;
    if (window_) DestroyWindow(window_);
    Pump();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }

  void WriteFile(const char* name, const std::string& bytes) {
    FILE* f = std::fopen((dir_ + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string ReadFile(const char* name) {
    FILE* f = std::fopen((dir_ + name).c_str(), "rb");
    if (!f) return "<none>";
    std::string bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes += char(c);
    std::fclose(f);
    return bytes;
  }

  void Open() {
    window_ = OpenMainWindow();
    ASSERT_TRUE(window_);
    Pump();
  }

  // Runs command 7200 on this thread while drive works the dialog; false when no dialog came.
  bool Edit(const std::function<void(Driver&)>& drive) {
    Driver driver;
    bool opened = false;
    std::thread t([&] {
      opened = driver.Open();
      if (opened) drive(driver);
    });
    SendMessageA(window_, WM_COMMAND, IDC_EDIT_CHECKLIST, 0);
    t.join();
    boxes_ = driver.boxes;
    return opened;
  }

  // Whether command 1563 was posted to the main window; it is taken off the queue.
  bool PatrolPosted() {
    MSG msg;
    bool posted = false;
    while (PeekMessageA(&msg, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE))
      posted |= LOWORD(msg.wParam) == IDC_PATROL;
    return posted;
  }

  int SelectorLines() { return int(SendMessageA(MainBars.file_selector, CB_GETCOUNT, 0, 0)); }

  std::string dir_;
  HWND window_ = nullptr;
  std::vector<std::string> boxes_;
};

TEST_F(EditorTest, AddOkAsksAndNoRefillsTheSelector) {
  Open();
  EXPECT_EQ(2, SelectorLines());
  ASSERT_TRUE(Edit([](Driver& d) {
    EXPECT_FALSE(d.Enabled(IDC_MOVE_UP));
    EXPECT_FALSE(d.Enabled(IDC_MOVE_DOWN));
    EXPECT_FALSE(d.Enabled(IDC_COPY_CANDIDATE));
    EXPECT_EQ(50, int(SendMessageA(d.Item(IDC_NAME_EDIT), EM_GETLIMITTEXT, 0, 0)));
    EXPECT_EQ(100, int(SendMessageA(d.Item(IDC_URL_EDIT), EM_GETLIMITTEXT, 0, 0)));
    d.Type(IDC_NAME_EDIT, "新規");
    d.Type(IDC_URL_EDIT, "http://127.0.0.1:1/new.dat");
    d.Click(IDC_ADD_ENTRY);
    EXPECT_EQ((std::vector<std::string>{"月次", "四半期", "新規"}), d.Rows(IDC_CHECK_LIST));
    d.ClickAndAnswer(IDOK, "巡回", IDNO);
  }));
  EXPECT_EQ(std::vector<std::string>{"巡回: 今すぐ更新を確認しますか？"}, boxes_);
  EXPECT_EQ(
      "月次,http://127.0.0.1:1/a.dat\r\n四半期,http://127.0.0.1:1/b.dat\r\n"
      "新規,http://127.0.0.1:1/new.dat\r\n",
      ReadFile("FavoriteList.txt"));
  EXPECT_FALSE(PatrolPosted());
  EXPECT_EQ(3, SelectorLines());
}

TEST_F(EditorTest, YesPostsThePatrol) {
  Open();
  ASSERT_TRUE(Edit([](Driver& d) {
    d.Pick(IDC_CANDIDATE_LIST, 1);
    EXPECT_TRUE(d.Enabled(IDC_COPY_CANDIDATE));
    d.Click(IDC_COPY_CANDIDATE);
    d.ClickAndAnswer(IDOK, "巡回", IDYES);
  }));
  EXPECT_TRUE(PatrolPosted());
  EXPECT_NE(std::string::npos,
            ReadFile("FavoriteList.txt").find("候補二,http://127.0.0.1:1/q.dat"));
}

TEST_F(EditorTest, CancelAndUnchangedOkLeaveTheFile) {
  Open();
  const std::string before = ReadFile("FavoriteList.txt");
  for (int close : {IDCANCEL, IDOK}) {
    ASSERT_TRUE(Edit([close](Driver& d) {
      if (close == IDCANCEL) {
        d.Type(IDC_NAME_EDIT, "x");
        d.Type(IDC_URL_EDIT, "y");
        d.Click(IDC_ADD_ENTRY);
      }
      d.Close(close);
    }));
    EXPECT_TRUE(boxes_.empty());  // no question: nothing was saved
    EXPECT_EQ(before, ReadFile("FavoriteList.txt"));
    EXPECT_EQ(2, CheckList.GetCount());
  }
}

// In a folder that cannot be written, OK after a change says why and keeps the dialog open;
// OK without a change closes it as usual.
TEST_F(EditorTest, ReadOnlyFolderRefusesChangedOk) {
  Open();
  ProgramDirWritable = 0;
  const std::string before = ReadFile("FavoriteList.txt");
  ASSERT_TRUE(Edit([](Driver& d) { d.Close(IDOK); }));
  EXPECT_TRUE(boxes_.empty());
  ASSERT_TRUE(Edit([](Driver& d) {
    d.Type(IDC_NAME_EDIT, "x");
    d.Type(IDC_URL_EDIT, "http://h/x");
    d.Click(IDC_ADD_ENTRY);
    d.ClickAndAnswer(IDOK, "単価アップデートプログラム", IDOK);
    EXPECT_TRUE(IsWindowVisible(d.dialog)) << "the edits would be lost";
    d.Close(IDCANCEL);
  }));
  ASSERT_EQ(1u, boxes_.size());
  EXPECT_EQ("単価アップデートプログラム: このフォルダには書き込めません: " + dir_ +
                "\n更新（巡回）、データベースへの書き込み、チェックリストの編集はできません。",
            boxes_[0]);
  EXPECT_EQ(before, ReadFile("FavoriteList.txt"));
  EXPECT_FALSE(PatrolPosted());
}

TEST_F(EditorTest, MovesKeepRowsAndFileInOrderAndDeleteAllEmptiesIt) {
  WriteFile("FavoriteList.txt", "a,http://h/a\r\nb,http://h/b\r\nc,http://h/c\r\n");
  Open();
  ASSERT_TRUE(Edit([](Driver& d) {
    d.Pick(IDC_CHECK_LIST, 0);
    EXPECT_FALSE(d.Enabled(IDC_MOVE_UP));
    EXPECT_TRUE(d.Enabled(IDC_MOVE_DOWN));
    d.Click(IDC_MOVE_DOWN);
    d.Click(IDC_MOVE_DOWN);
    EXPECT_FALSE(d.Enabled(IDC_MOVE_DOWN));
    EXPECT_EQ(2, int(SendMessageA(d.Item(IDC_CHECK_LIST), LB_GETCURSEL, 0, 0)));
    d.Pick(IDC_CHECK_LIST, 1);
    d.Click(IDC_MOVE_UP);
    EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), d.Rows(IDC_CHECK_LIST));
    d.ClickAndAnswer(IDOK, "巡回", IDNO);
  }));
  EXPECT_EQ("c,http://h/c\r\nb,http://h/b\r\na,http://h/a\r\n", ReadFile("FavoriteList.txt"));

  ASSERT_TRUE(Edit([](Driver& d) {
    for (int i = 0; i < 3; ++i) {
      d.Pick(IDC_CHECK_LIST, 0);
      d.Click(IDC_DELETE_ENTRY);
    }
    EXPECT_FALSE(d.Enabled(IDC_DELETE_ENTRY));
    d.ClickAndAnswer(IDOK, "巡回", IDNO);
  }));
  EXPECT_EQ("", ReadFile("FavoriteList.txt"));
}

TEST_F(EditorTest, CopyWithoutCandidateAsksForOne) {
  Open();
  ASSERT_TRUE(Edit([](Driver& d) {
    d.Pick(IDC_CANDIDATE_LIST, 0);
    EXPECT_TRUE(d.Enabled(IDC_COPY_CANDIDATE));
    d.Pick(IDC_CANDIDATE_LIST, -1);
    EXPECT_FALSE(d.Enabled(IDC_COPY_CANDIDATE));
    // The command itself, as after a refresh that left the button enabled.
    PostMessageA(d.dialog, WM_COMMAND, IDC_COPY_CANDIDATE, 0);
    d.Answer("巡回チェックリストへ追加", IDOK);
    EXPECT_EQ(2u, d.Rows(IDC_CHECK_LIST).size());
    d.Close(IDCANCEL);
  }));
  EXPECT_EQ(std::vector<std::string>{"巡回チェックリストへ追加: 追加するURLを選択してください"},
            boxes_);
}

// The refresh against the loopback server: each outcome, in one dialog.
TEST_F(EditorTest, RefreshOutcomes) {
  TestServer server;
  ASSERT_TRUE(server.Running()) << "runs inside tests/http_server.py";
  _putenv_s("COSTUPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
  const std::string path = "/newdownload/BaseURLList.csv";
  const std::string offer =
      "新候補,http://127.0.0.1:1/n.dat\r\n別候補,http://127.0.0.1:1/m.dat\r\n";
  server.Serve(path, offer);
  const std::string local = dir_ + "BaseUrlList.txt";
  const long now = long(std::time(nullptr));
  struct Step {
    std::string rules;
    bool remove_local;
    const char* message;
    std::vector<std::string> rows;
  };
  const std::vector<std::string> old_rows = {"候補一", "候補二"};
  const std::vector<std::string> new_rows = {"新候補", "別候補"};
  const Step steps[] = {
      {"no-last-modified", false, "一覧に更新はありませんでした。", old_rows},
      {"status=404", false, "一覧の更新情報が取得できませんでした。", old_rows},
      {"drop=10", false, "一覧の更新情報が取得できませんでした。", old_rows},
      {"no-last-modified", true, "一覧を更新しました。", new_rows},
      {"last-modified=" + std::to_string(now - 3600), false, "一覧に更新はありませんでした。",
       new_rows},
      {"last-modified=" + std::to_string(now + 3600), false, "一覧を更新しました。", new_rows},
  };
  Open();
  ASSERT_TRUE(Edit([&](Driver& d) {
    d.Pick(IDC_CANDIDATE_LIST, 0);
    for (const Step& step : steps) {
      server.SetRules(path + " " + step.rules + "\n");
      if (step.remove_local) DeleteFileA(local.c_str());
      d.ClickAndAnswer(IDC_REFRESH_CANDIDATES, "一覧を更新", IDOK);
      EXPECT_EQ(step.rows, d.Rows(IDC_CANDIDATE_LIST)) << step.rules;
    }
    // The copy button was left enabled; without a selected candidate it asks for one.
    d.ClickAndAnswer(IDC_COPY_CANDIDATE, "巡回チェックリストへ追加", IDOK);
    d.Pick(IDC_CANDIDATE_LIST, 1);
    d.Click(IDC_COPY_CANDIDATE);
    d.ClickAndAnswer(IDOK, "巡回", IDNO);
  }));
  ASSERT_EQ(8u, boxes_.size());
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(std::string("一覧を更新: ") + steps[i].message, boxes_[i]) << steps[i].rules;
  EXPECT_EQ("巡回チェックリストへ追加: 追加するURLを選択してください", boxes_[6]);
  EXPECT_EQ(offer, ReadFile("BaseUrlList.txt"));
  EXPECT_NE(std::string::npos,
            ReadFile("FavoriteList.txt").find("別候補,http://127.0.0.1:1/m.dat"));
  for (const std::string& request : server.Requests(path))
    EXPECT_NE(std::string::npos, request.find("KelvadPYPY")) << request;
  _putenv_s("COSTUPDATE_SERVER", "");
}

// With a local list the refresh asks only for a list changed since the file's last write:
// a server that answers 304 is "no update", and WinINet hands the 304 on rather than a
// copy of its own; without a local file nothing is asked and a 304 stays a failure.
TEST_F(EditorTest, RefreshAsksForANewerListOnly) {
  TestServer server;
  ASSERT_TRUE(server.Running()) << "runs inside tests/http_server.py";
  _putenv_s("COSTUPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
  const std::string path = "/newdownload/BaseURLList.csv";
  const std::string offer = "新候補,http://127.0.0.1:1/n.dat\r\n";
  server.Serve(path, offer);
  const long now = long(std::time(nullptr));
  struct Step {
    std::string rules;
    bool remove_local;
    const char* message;
    std::vector<std::string> rows;
    size_t dates_asked;
  };
  const std::vector<std::string> old_rows = {"候補一", "候補二"};
  const std::vector<std::string> new_rows = {"新候補"};
  const Step steps[] = {
      {"conditional last-modified=" + std::to_string(now - 3600), false,
       "一覧に更新はありませんでした。", old_rows, 1},
      {"conditional last-modified=" + std::to_string(now + 3600), false, "一覧を更新しました。",
       new_rows, 1},
      {"status=304", true, "一覧の更新情報が取得できませんでした。", new_rows, 0},
  };
  const size_t before = server.Requests(path).size();
  Open();
  ASSERT_TRUE(Edit([&](Driver& d) {
    for (const Step& step : steps) {
      server.SetRules(path + " " + step.rules + "\n");
      if (step.remove_local) DeleteFileA((dir_ + "BaseUrlList.txt").c_str());
      d.ClickAndAnswer(IDC_REFRESH_CANDIDATES, "一覧を更新", IDOK);
      EXPECT_EQ(step.rows, d.Rows(IDC_CANDIDATE_LIST)) << step.rules;
    }
    d.Close(IDCANCEL);
  }));
  ASSERT_EQ(3u, boxes_.size());
  std::vector<std::string> requests = server.Requests(path);
  ASSERT_EQ(before + 3, requests.size());
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(steps[i].rules);
    EXPECT_EQ(std::string("一覧を更新: ") + steps[i].message, boxes_[i]);
    std::string lower = requests[before + i];
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    size_t dates = 0;
    for (size_t at = lower.find("\"if-modified-since\""); at != std::string::npos;
         at = lower.find("\"if-modified-since\"", at + 1))
      ++dates;
    EXPECT_EQ(steps[i].dates_asked, dates) << requests[before + i];
  }
  _putenv_s("COSTUPDATE_SERVER", "");
}

// A slow server: the dialog stays answering, Esc stops the refresh without a message and
// with the old list, and closing the dialog stops it and closes it.
TEST_F(EditorTest, SlowRefreshStopsOnEscAndClose) {
  TestServer server;
  ASSERT_TRUE(server.Running()) << "runs inside tests/http_server.py";
  _putenv_s("COSTUPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
  const std::string path = "/newdownload/BaseURLList.csv";
  server.Serve(path, "新候補,http://127.0.0.1:1/n.dat\r\n");
  server.SetRules(path + " delay=8000\n");
  const std::string old_file = ReadFile("BaseUrlList.txt");
  auto busy_within = [](bool busy, int ms) {
    for (int i = 0; i < ms / 10 && IsBusy() != busy; ++i) Sleep(10);
    return IsBusy() == busy;
  };
  Open();
  int late = 0;
  ASSERT_TRUE(Edit([&](Driver& d) {
    for (UINT stop : {UINT(WM_KEYDOWN), UINT(WM_CLOSE)}) {
      PostMessageA(d.Item(IDC_REFRESH_CANDIDATES), BM_CLICK, 0, 0);
      ASSERT_TRUE(busy_within(true, 5000));
      DWORD_PTR result;
      for (int i = 0; i < 5; ++i, Sleep(100))
        if (!SendMessageTimeoutA(d.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result)) ++late;
      PostMessageA(d.dialog, stop, stop == WM_KEYDOWN ? VK_ESCAPE : 0, 0);
      EXPECT_TRUE(busy_within(false, 4000));
      if (stop == WM_KEYDOWN) {
        EXPECT_EQ((std::vector<std::string>{"候補一", "候補二"}), d.Rows(IDC_CANDIDATE_LIST));
      }
    }
    Gone(d.dialog);
  }));
  EXPECT_EQ(0, late);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(old_file, ReadFile("BaseUrlList.txt"));
  _putenv_s("COSTUPDATE_SERVER", "");
}

TEST_F(EditorTest, OpensByItselfWithEmptyListAndNoFile) {
  WriteFile("FavoriteList.txt", "");
  std::strcpy(StartFile, (dir_ + "missing.costupdate").c_str());
  Driver driver;
  std::thread t([&] {
    ASSERT_TRUE(driver.Open());
    driver.Close(IDCANCEL);
  });
  Open();  // the posted 7200 runs the dialog inside this pump
  t.join();
}

}  // namespace
