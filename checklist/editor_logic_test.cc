// The check-list editor's rules over fake controls and list files in a temporary folder.
#include "checklist/editor_logic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "data/faulty_disk.h"
#include "resources/resource.h"

namespace {

// The variable for this process, empty to remove it (MinGW has no setenv).
void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  if (*value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

class FakeControls : public EditorControls {
 public:
  std::map<int, bool> enabled;
  std::map<int, std::string> text;
  std::map<int, int> limit;
  std::map<int, std::vector<std::string>> rows;
  std::map<int, int> selection;
  std::vector<std::string> messages;  // "caption: text"

  void Enable(int id, bool on) override { enabled[id] = on; }
  void SetText(int id, const char* t) override { text[id] = t; }
  void GetText(int id, char* out, int size) override {
    snprintf(out, size_t(size), "%s", text[id].c_str());
  }
  void LimitText(int id, int bytes) override { limit[id] = bytes; }
  int Selection(int list) override { return selection.count(list) ? selection[list] : -1; }
  int RowCount(int list) override { return int(rows[list].size()); }
  void ClearRows(int list) override {
    rows[list].clear();
    selection[list] = -1;
  }
  void AddRow(int list, const char* t) override { rows[list].push_back(t); }
  void InsertRow(int list, int row, const char* t) override {
    rows[list].insert(rows[list].begin() + row, t);
  }
  // A list box loses its selection when the selected row goes.
  void DeleteRow(int list, int row) override {
    rows[list].erase(rows[list].begin() + row);
    if (Selection(list) == row) selection[list] = -1;
  }
  void Select(int list, int row) override { selection[list] = row; }
  void Message(const char* t, const char* caption) override {
    messages.push_back(std::string(caption) + ": " + t);
  }
  void* Window() override { return this; }

  // "udcx" for the enable states of ↑ ↓ 変更を反映 削除: letter when enabled, '-' when not.
  std::string Buttons() {
    std::string s;
    const int ids[] = {IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_CHANGE_ENTRY, IDC_DELETE_ENTRY};
    for (int i = 0; i < 4; ++i) {
      bool on = enabled.count(ids[i]) ? enabled[ids[i]] : true;  // template: all enabled
      s += on ? "udcx"[i] : '-';
    }
    return s;
  }
};

// The lists of the dialog, on files of their own.
class TestCheckList : public UrlList {
 public:
  std::string path;
  int ReplaceFile(const char*, int) override { return 1; }
  std::string GetFilePath() const override { return path; }
};

class TestCandidateList : public CandidateList {
 public:
  std::string path;
  int outdated = 1;
  std::string GetFilePath() const override { return path; }
  int IsOutdated(const CalendarTime&) override { return outdated; }
};

std::string ReadFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<none>";
  std::string bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes += char(c);
  std::fclose(f);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

class Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial;
    std::string dir = ::testing::TempDir() + "editor" + std::to_string(++serial) + "_";
    check_.path = dir + "FavoriteList.txt";
    candidates_.path = dir + "BaseUrlList.txt";
    WriteFile(check_.path, "a,http://h/a\r\nb,http://h/b\r\nc,http://h/c\r\n");
    WriteFile(candidates_.path, "p,http://m/p\r\nq,http://m/q\r\n");
    OpenEditor(&c_, &check_, &candidates_);
  }

  // Returns the end code, or -1 while the dialog stays open.
  int Command(int id, int notification = 0) {
    int end = -1;
    EXPECT_EQ(id == 1 || id == 2,
              EditorCommand(&c_, id, notification, &check_, &candidates_, fetch_, &end));
    return end;
  }
  void Pick(int list, int row) {
    c_.selection[list] = row;
    Command(list, kSelectionChanged);
  }
  // The list box rows and the check list's names, which must agree.
  std::string Rows() {
    std::string shown, held;
    for (const std::string& r : c_.rows[IDC_CHECK_LIST]) shown += r;
    char name[256];
    for (int i = 0; i < check_.GetCount(); ++i) {
      check_.GetName(i, name);
      held += name;
    }
    EXPECT_EQ(shown, held);
    return shown;
  }

  FakeControls c_;
  TestCheckList check_;
  TestCandidateList candidates_;
  std::vector<std::string> requested_;
  std::vector<void*> owners_;
  CandidateDownload::Outcome fetched_ = CandidateDownload::kComplete;
  std::string fetched_body_;
  CandidateFetch fetch_ = [this](const char* url, void* owner) {
    requested_.push_back(url);
    owners_.push_back(owner);
    CandidateDownload got;
    got.outcome = fetched_;
    got.body = fetched_body_;
    return got;
  };
};

TEST_F(Editor, OpeningFillsBothListsAndSetsTheButtons) {
  EXPECT_EQ("abc", Rows());
  EXPECT_EQ((std::vector<std::string>{"p", "q"}), c_.rows[IDC_CANDIDATE_LIST]);
  EXPECT_EQ("--cx", c_.Buttons());
  EXPECT_FALSE(c_.enabled[IDC_COPY_CANDIDATE]);
  EXPECT_EQ("", c_.text[IDC_CANDIDATE_NAME]);
  EXPECT_EQ(50, c_.limit[IDC_NAME_EDIT]);
  EXPECT_EQ(100, c_.limit[IDC_URL_EDIT]);
  EXPECT_EQ(0, CheckListChanged);
}

// Each step: an action, then the rows, the buttons and the selection of list 100.
TEST_F(Editor, EditingStepsKeepRowsListAndButtonsInStep) {
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* rows;
    const char* buttons;
    int selection;
  };
  const Step steps[] = {
      {"select first", [&] { Pick(IDC_CHECK_LIST, 0); }, "abc", "-dcx", 0},
      {"down", [&] { Command(IDC_MOVE_DOWN); }, "bac", "udcx", 1},
      {"down to last", [&] { Command(IDC_MOVE_DOWN); }, "bca", "u-cx", 2},
      {"down at last: nothing", [&] { Command(IDC_MOVE_DOWN); }, "bca", "u-cx", 2},
      {"up", [&] { Command(IDC_MOVE_UP); }, "bac", "udcx", 1},
      {"up to first", [&] { Command(IDC_MOVE_UP); }, "abc", "-dcx", 0},
      {"select last", [&] { Pick(IDC_CHECK_LIST, 2); }, "abc", "u-cx", 2},
      {"change with empty name: nothing",
       [&] {
         c_.text[IDC_NAME_EDIT] = "";
         Command(IDC_CHANGE_ENTRY);
       },
       "abc", "u-cx", 2},
      {"change",
       [&] {
         c_.text[IDC_NAME_EDIT] = "z";
         Command(IDC_CHANGE_ENTRY);
       },
       "abz", "u-cx", -1},
      {"up without selection: nothing", [&] { Command(IDC_MOVE_UP); }, "abz", "u-cx", -1},
      {"no selection", [&] { Pick(IDC_CHECK_LIST, -1); }, "abz", "----", -1},
      {"add",
       [&] {
         c_.text[IDC_NAME_EDIT] = "n";
         c_.text[IDC_URL_EDIT] = "http://h/n";
         Command(IDC_ADD_ENTRY);
       },
       "abzn", "----", -1},
      {"select first", [&] { Pick(IDC_CHECK_LIST, 0); }, "abzn", "-dcx", 0},
      {"delete", [&] { Command(IDC_DELETE_ENTRY); }, "bzn", "----", -1},
      {"delete without selection: nothing", [&] { Command(IDC_DELETE_ENTRY); }, "bzn", "----", -1},
      {"copy without candidate: message", [&] { Command(IDC_COPY_CANDIDATE); }, "bzn", "----", -1},
      {"copy candidate q twice",
       [&] {
         Pick(IDC_CANDIDATE_LIST, 1);
         Command(IDC_COPY_CANDIDATE);
         Command(IDC_COPY_CANDIDATE);
       },
       "bznqq", "----", -1},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(s.rows, Rows()) << s.what;
    EXPECT_EQ(s.buttons, c_.Buttons()) << s.what;
    EXPECT_EQ(s.selection, c_.Selection(IDC_CHECK_LIST)) << s.what;
  }
  EXPECT_EQ(1, CheckListChanged);
  EXPECT_EQ((std::vector<std::string>{"巡回チェックリストへ追加: 追加するURLを選択してください"}),
            c_.messages);
  EXPECT_EQ("", c_.text[IDC_NAME_EDIT]);  // emptied by the delete
  EXPECT_EQ("q", c_.text[IDC_CANDIDATE_NAME]);
  EXPECT_EQ("http://m/q", c_.text[IDC_CANDIDATE_URL]);
  char url[256];
  check_.GetUrl(1, url);
  EXPECT_STREQ("http://h/c", url);  // 変更を反映 kept the address of the edit
}

TEST_F(Editor, OkSavesOnlyAfterAChangeAndCancelReloads) {
  const std::string original = ReadFile(check_.path);
  EXPECT_EQ(0, Command(1));  // no change: nothing written
  EXPECT_EQ(original, ReadFile(check_.path));

  c_.text[IDC_NAME_EDIT] = "n";
  c_.text[IDC_URL_EDIT] = "http://h/n";
  Command(IDC_ADD_ENTRY);
  EXPECT_EQ(0, Command(2));
  EXPECT_EQ(original, ReadFile(check_.path));
  EXPECT_EQ(original, check_.SaveBytes());  // the list equals the file again

  OpenEditor(&c_, &check_, &candidates_);
  for (int i = 0; i < 3; ++i) {
    Pick(IDC_CHECK_LIST, 0);
    Command(IDC_DELETE_ENTRY);
  }
  EXPECT_EQ(1, Command(1));
  EXPECT_EQ("", ReadFile(check_.path));
}

TEST_F(Editor, LongAddressIsCopiedWholeButChangedTo119Bytes) {
  std::string long_url = "http://h/" + std::string(191, 'x');
  WriteFile(candidates_.path, "long," + long_url + "\r\n");
  OpenEditor(&c_, &check_, &candidates_);
  Pick(IDC_CANDIDATE_LIST, 0);
  Command(IDC_COPY_CANDIDATE);
  char url[256];
  check_.GetUrl(3, url);
  EXPECT_EQ(long_url, url);
  Pick(IDC_CHECK_LIST, 3);
  Command(IDC_CHANGE_ENTRY);
  check_.GetUrl(3, url);
  EXPECT_EQ(long_url.substr(0, 119), url);
}

TEST_F(Editor, RefreshOutcomes) {
  struct Case {
    CandidateDownload::Outcome outcome;
    int outdated;
    const char* body;
    const char* message;  // null: none (stopped by the user)
    const char* file;     // BaseUrlList.txt afterwards
    std::vector<std::string> rows;
  };
  const std::string old_file = "p,http://m/p\r\nq,http://m/q\r\n";
  const Case cases[] = {
      {CandidateDownload::kFailed,
       1,
       "r,http://m/r\r\n",
       "一覧の更新情報が取得できませんでした。",
       old_file.c_str(),
       {"p", "q"}},
      {CandidateDownload::kComplete,
       0,
       "r,http://m/r\r\n",
       "一覧に更新はありませんでした。",
       old_file.c_str(),
       {"p", "q"}},
      {CandidateDownload::kComplete,
       1,
       "r,http://m/r\r\n",
       "一覧を更新しました。",
       "r,http://m/r\r\n",
       {"r"}},
      {CandidateDownload::kComplete, 1, "", "一覧を更新しました。", "", {}},
      // The server says its list has not changed since the local file: whatever the times.
      {CandidateDownload::kNotModified,
       1,
       "r,http://m/r\r\n",
       "一覧に更新はありませんでした。",
       old_file.c_str(),
       {"p", "q"}},
      // Stopped by the user: no message, the old list.
      {CandidateDownload::kStopped, 1, "r,http://m/r\r\n", nullptr, old_file.c_str(), {"p", "q"}},
  };
  SetEnv("COSTUPDATE_SERVER", "http://127.0.0.1:8123");
  for (const Case& k : cases) {
    WriteFile(candidates_.path, old_file);
    OpenEditor(&c_, &check_, &candidates_);
    Pick(IDC_CANDIDATE_LIST, 1);
    fetched_ = k.outcome;
    fetched_body_ = k.body;
    candidates_.outdated = k.outdated;
    c_.messages.clear();
    Command(IDC_REFRESH_CANDIDATES);
    std::vector<std::string> told;
    if (k.message) told.push_back(std::string("一覧を更新: ") + k.message);
    EXPECT_EQ(told, c_.messages);
    EXPECT_EQ(k.file, ReadFile(candidates_.path)) << told.size();
    EXPECT_EQ(k.rows, c_.rows[IDC_CANDIDATE_LIST]) << told.size();
    EXPECT_EQ(c_.Window(), owners_.back());
    EXPECT_TRUE(c_.enabled[IDC_COPY_CANDIDATE]);  // not reset by the refresh
    EXPECT_EQ(0, CheckListChanged);
  }
  EXPECT_EQ("http://127.0.0.1:8123/newdownload/BaseURLList.csv", requested_.back());
  SetEnv("COSTUPDATE_SERVER", "");
  EXPECT_EQ("http://update.kelvad.co.jp/newdownload/BaseURLList.csv", CandidateListAddress());
}

}  // namespace

namespace {

// A save or a refresh that cannot write its file says so and loses nothing: OK keeps the
// dialog open with the edits, and the candidate rows stay those of the old file.
TEST_F(Editor, FailedWritesAreToldAndLoseNothing) {
  const std::string check_file = ReadFile(check_.path);
  const std::string candidate_file = ReadFile(candidates_.path);
  FaultyDisk disk(kFailRename);
  SetListDisk(&disk);

  c_.text[IDC_NAME_EDIT] = "n";
  c_.text[IDC_URL_EDIT] = "http://h/n";
  Command(IDC_ADD_ENTRY);
  c_.messages.clear();
  int end = -1;
  EXPECT_FALSE(EditorCommand(&c_, 1, 0, &check_, &candidates_, fetch_, &end));
  EXPECT_EQ(-1, end);
  EXPECT_EQ(
      std::vector<std::string>{
          "巡回チェックリストの編集: 巡回チェックリストを保存できませんでした。"},
      c_.messages);
  EXPECT_EQ("abcn", Rows());
  EXPECT_EQ(check_file, ReadFile(check_.path));

  fetched_body_ = "r,http://m/r\r\n";
  c_.messages.clear();
  Command(IDC_REFRESH_CANDIDATES);
  EXPECT_EQ(std::vector<std::string>{"一覧を更新: 一覧を保存できませんでした。"}, c_.messages);
  EXPECT_EQ((std::vector<std::string>{"p", "q"}), c_.rows[IDC_CANDIDATE_LIST]);
  EXPECT_EQ(candidate_file, ReadFile(candidates_.path));
  EXPECT_EQ(2, disk.injected());

  SetListDisk(nullptr);  // the disk works again: the same OK saves and ends
  EXPECT_EQ(1, Command(1));
  EXPECT_EQ(check_file + "n,http://h/n\r\n", ReadFile(check_.path));
}

}  // namespace
