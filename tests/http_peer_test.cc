// Downloads and costupdate-cli's patrol against a real HTTP server on loopback: WinINet
// under Wine, the socket transport natively.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/cli.h"
#include "data/cache_path.h"
#include "net/download_task.h"
#include "net/http_text.h"
#include "tests/http_test_server.h"

namespace fs = std::filesystem;

namespace {

class PeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "run this program through tests/http_server.py --rules F";
  }
  TestServer server_;
};

struct Case {
  const char* path;
  const char* rule;
  const char* served;  // null: no file
  DownloadStatus status;
  DownloadFailure failure;
  uint32_t http_status;
  const char* body;
};

const std::string kPieces = std::string(100, 'p') + "!";
const std::string kLarge = std::string(1 << 20, 'L') + "end";

TEST_F(PeerTest, DownloadsEndAsTheServerAnswers) {
  const Case cases[] = {
      {"/peer/plain.dat", "last-modified=784111777", "plain body", DownloadComplete,
       DownloadNoFailure, 0, "plain body"},
      {"/peer/no-lm.dat", "no-last-modified", "no time", DownloadComplete, DownloadNoFailure, 0,
       "no time"},
      {"/peer/missing.dat", "", nullptr, DownloadFailed, DownloadHttpStatus, 404, ""},
      {"/peer/500.dat", "status=500", "x", DownloadFailed, DownloadHttpStatus, 500, ""},
      {"/peer/304.dat", "status=304", "x", DownloadFailed, DownloadHttpStatus, 304, ""},
      // Both transports follow a redirect, as WinINet does by itself.
      {"/peer/moved.dat", "redirect=/peer/plain.dat", nullptr, DownloadComplete, DownloadNoFailure,
       0, "plain body"},
      {"/peer/drop.dat", "drop=5", "0123456789abcdef", DownloadFailed, DownloadShortBody, 0, ""},
      {"/peer/empty.dat", "", "", DownloadComplete, DownloadNoFailure, 0, ""},
      {"/peer/pieces.dat", "pieces=7/10", kPieces.c_str(), DownloadComplete, DownloadNoFailure, 0,
       kPieces.c_str()},
      {"/peer/no-length.dat", "no-length", "until the close", DownloadComplete, DownloadNoFailure,
       0, "until the close"},
      {"/peer/huge.dat", "length=300000000", "small", DownloadFailed, DownloadTooLarge, 0, ""},
      {"/peer/large.dat", "", kLarge.c_str(), DownloadComplete, DownloadNoFailure, 0,
       kLarge.c_str()},
  };
  std::string rules;
  for (const Case& c : cases) {
    if (*c.rule) rules += std::string(c.path) + " " + c.rule + "\n";
    if (c.served) server_.Serve(c.path, c.served);
  }
  server_.SetRules(rules);
  // All at once, as the Patrol runs them.
  std::vector<DownloadTask*> tasks;
  for (const Case& c : cases) {
    tasks.push_back(CreateDownloadTask(server_.Url(c.path).c_str()));
    ASSERT_TRUE(tasks.back());
    tasks.back()->Start();
  }
  for (size_t i = 0; i < tasks.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.status, tasks[i]->Wait(-1));
    uint32_t http_status = 0;
    EXPECT_EQ(c.failure, tasks[i]->GetFailure(&http_status));
    EXPECT_EQ(c.http_status, http_status);
    if (c.status == DownloadComplete) {
      const char* data = nullptr;
      int n = tasks[i]->GetData(&data);
      EXPECT_EQ(c.body, std::string(data ? data : "", size_t(n)));
    }
    DestroyDownloadTask(tasks[i]);
  }
}

TEST_F(PeerTest, LastModifiedAndRequestHeaders) {
  server_.Serve("/peer/time.dat", "t");
  server_.Serve("/peer/untimed.dat", "u");
  server_.SetRules("/peer/time.dat last-modified=784111777\n/peer/untimed.dat no-last-modified\n");
  struct {
    const char* path;
    CalendarTime want;
  } cases[] = {{"/peer/time.dat", {1994, 11, 0, 6, 8, 49, 37, 0}},
               {"/peer/untimed.dat", {0, 0, 0, 0, 0, 0, 0, 0}}};
  for (const auto& c : cases) {
    DownloadTask* task = CreateDownloadTask(server_.Url(c.path).c_str());
    task->Start();
    ASSERT_EQ(DownloadComplete, task->Wait(-1)) << c.path;
    CalendarTime got;
    std::memset(&got, 0x55, sizeof got);
    EXPECT_EQ(0, task->GetLastModified(&got));
    EXPECT_EQ(0, std::memcmp(&c.want, &got, sizeof got))
        << c.path << " " << got.year << "-" << got.month << "-" << got.day << " dow "
        << got.day_of_week;
    DestroyDownloadTask(task);
    std::vector<std::string> requests = server_.Requests(c.path);
    ASSERT_EQ(1u, requests.size()) << c.path;
    EXPECT_NE(std::string::npos, requests[0].find("[\"User-Agent\", \"KelvadPYPY\"]"))
        << requests[0];
    EXPECT_NE(std::string::npos, requests[0].find("[\"Accept\", \"*/*\"]")) << requests[0];
    EXPECT_NE(std::string::npos, requests[0].find("\"method\": \"GET\"")) << requests[0];
  }
}

// A server that stops sending mid-body must not keep a destroyed task's owner waiting.
TEST_F(PeerTest, DestroyEndsAStalledDownload) {
  server_.Serve("/peer/stall.dat", std::string(100000, 's'));
  server_.SetRules("/peer/stall.dat stall=1000\n");
  DownloadTask* task = CreateDownloadTask(server_.Url("/peer/stall.dat").c_str());
  task->Start();
  for (int i = 0; i < 500 && task->Wait(20) != DownloadReading; ++i) {
  }
  ASSERT_EQ(DownloadReading, task->Wait(0));
  auto start = std::chrono::steady_clock::now();
  DestroyDownloadTask(task);
  // Well below the receive time limit: the destroying thread ended the read itself.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

class CliPatrolTest : public PeerTest {
 protected:
  void SetUp() override {
    PeerTest::SetUp();
    dir_ = ::testing::TempDir() + "cli-patrol-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
           kCacheDirName[std::strlen(kCacheDirName) - 1];
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteList(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text;
    for (const auto& e : entries) text += e.first + "," + e.second + "\r\n";
    WriteFile(dir_ + "FavoriteList.txt", text);
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string Cache(const std::string& url) {
    char path[kCachePathSize];
    EXPECT_EQ(1, CachePath(path, dir_.c_str(), url.c_str()));
    return path;
  }
  CliResult Patrol() {
    std::vector<const char*> args = {"--dir", dir_.c_str(), "patrol"};
    return RunCli(int(args.size()), args.data(), "unused", [](const char*, std::string* error) {
      ADD_FAILURE() << "the patrol opened the database";
      *error = "no database";
      return static_cast<PriceLibrary*>(nullptr);
    });
  }
  std::string dir_;
};

TEST_F(CliPatrolTest, ReportsEveryAddressAndFailsWhenOneFails) {
  server_.Serve("/cli/new.dat", "new contents");
  server_.Serve("/cli/same.dat", "same contents");
  server_.Serve("/cli/drop.dat", "0123456789");
  server_.Serve("/cli/huge.dat", "small");
  server_.Serve("/cli/blocked.dat", "cannot be put in place");
  server_.SetRules("/cli/drop.dat drop=3\n/cli/huge.dat length=300000000\n");
  const std::string refused = "http://127.0.0.1:1/cli/refused.dat";
  const std::string nowhere = "http://costupdate-test.invalid/cli/nowhere.dat";
  WriteList({{"月次単価", server_.Url("/cli/new.dat")},
             {"same", server_.Url("/cli/same.dat")},
             {"missing", server_.Url("/cli/missing.dat")},
             {"drop", server_.Url("/cli/drop.dat")},
             {"huge", server_.Url("/cli/huge.dat")},
             {"refused", refused},
             {"nowhere", nowhere},
             {"blocked", server_.Url("/cli/blocked.dat")}});
  fs::create_directories(dir_ + kCacheDirName);
  WriteFile(Cache(server_.Url("/cli/same.dat")), "same contents");
  WriteFile(Cache(server_.Url("/cli/drop.dat")), "kept");
  // A folder where the cache file belongs: the download cannot take its place.
  fs::create_directories(Cache(server_.Url("/cli/blocked.dat")));

  CliResult r = Patrol();
  EXPECT_EQ(3, r.exit_code) << r.err;
  EXPECT_EQ("月次単価\t" + server_.Url("/cli/new.dat") + "\twritten\n" + "same\t" +
                server_.Url("/cli/same.dat") + "\tunchanged\n" + "missing\t" +
                server_.Url("/cli/missing.dat") + "\tfailed: HTTP status 404\n" + "drop\t" +
                server_.Url("/cli/drop.dat") + "\tfailed: short body\n" + "huge\t" +
                server_.Url("/cli/huge.dat") + "\tfailed: too large\n" + "refused\t" + refused +
                "\tfailed: cannot connect\n" + "nowhere\t" + nowhere +
                "\tfailed: host not found\n" + "blocked\t" + server_.Url("/cli/blocked.dat") +
                "\tfailed: cache write\n" + "written 1, unchanged 1, failed 6\n",
            r.out);
  EXPECT_EQ("", r.err);
  EXPECT_TRUE(fs::is_directory(Cache(server_.Url("/cli/blocked.dat"))));
  std::string kept;
  {
    FILE* f = std::fopen(Cache(server_.Url("/cli/drop.dat")).c_str(), "rb");
    ASSERT_TRUE(f);
    char buffer[16] = {};
    kept.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
    std::fclose(f);
  }
  EXPECT_EQ("kept", kept);
  // Only the cache files and the blocking folder: no temporary file is left.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir_ + kCacheDirName)) {
    ++entries;
    EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp")) << e.path();
  }
  EXPECT_EQ(4, entries);

  // Every address fetched: exit code 0; the new file is now the same.
  WriteList({{"new", server_.Url("/cli/new.dat")}, {"same", server_.Url("/cli/same.dat")}});
  r = Patrol();
  EXPECT_EQ(0, r.exit_code) << r.out;
  EXPECT_EQ("new\t" + server_.Url("/cli/new.dat") + "\tunchanged\nsame\t" +
                server_.Url("/cli/same.dat") + "\tunchanged\nwritten 0, unchanged 2, failed 0\n",
            r.out);
}

// The If-Modified-Since dates a logged request carried, whatever the header's case.
std::vector<std::string> DatesAsked(const std::string& request) {
  std::vector<std::string> dates;
  std::string lower = request;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  const std::string name = "[\"if-modified-since\", \"";
  for (size_t at = lower.find(name); at != std::string::npos; at = lower.find(name, at + 1)) {
    size_t start = at + name.size();
    dates.push_back(request.substr(start, request.find('"', start) - start));
  }
  return dates;
}

// A second Patrol asks each server for files changed since the cache files were written: a
// server that answers 304 sends no body and the cache file stays, even where the server's
// bytes changed under an old time; servers that ignore the question, or match it exactly
// as nginx does by default, send the file and the bytes decide as before.
TEST_F(CliPatrolTest, SecondPatrolAsksForChangedFilesOnly) {
  const std::string old_time = std::to_string(long(std::time(nullptr)) - 7200);
  struct {
    const char* path;
    const char* rule;
    const char* second_body;  // served for the second Patrol
    bool cache_set_back;      // the cache file's time set before the server's
    const char* outcome;
    const char* cached;  // afterwards
  } cases[] = {
      {"/cond/honours.dat", "conditional", "changed", false, "unchanged", "first"},
      {"/cond/ignores.dat", "", "changed", false, "written", "changed"},
      {"/cond/ignores-same.dat", "", "first", false, "unchanged", "first"},
      {"/cond/exact.dat", "conditional=exact", "changed", false, "written", "changed"},
      {"/cond/cache-older.dat", "conditional", "changed", true, "written", "changed"},
  };
  std::string rules;
  std::vector<std::pair<std::string, std::string>> list;
  for (const auto& c : cases) {
    rules += std::string(c.path) + " last-modified=" + old_time + " " + c.rule + "\n";
    server_.Serve(c.path, "first");
    list.push_back({c.path, server_.Url(c.path)});
  }
  server_.SetRules(rules);
  WriteList(list);
  CliResult r = Patrol();
  ASSERT_EQ(0, r.exit_code) << r.out;
  for (const auto& c : cases) {
    server_.Serve(c.path, c.second_body);
    if (c.cache_set_back)
      fs::last_write_time(Cache(server_.Url(c.path)),
                          fs::file_time_type::clock::now() - std::chrono::hours(3));
  }
  r = Patrol();
  EXPECT_EQ(0, r.exit_code) << r.out;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_NE(std::string::npos,
              r.out.find(c.path + std::string("\t") + server_.Url(c.path) + "\t" + c.outcome))
        << r.out;
    std::string cached;
    {
      FILE* f = std::fopen(Cache(server_.Url(c.path)).c_str(), "rb");
      ASSERT_TRUE(f);
      char buffer[16] = {};
      cached.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
      std::fclose(f);
    }
    EXPECT_EQ(c.cached, cached);
    // The first request had no cache file to ask about; the second asks once, in the
    // form of RFC 1123.
    std::vector<std::string> requests = server_.Requests(c.path);
    ASSERT_EQ(2u, requests.size());
    EXPECT_TRUE(DatesAsked(requests[0]).empty()) << requests[0];
    std::vector<std::string> asked = DatesAsked(requests[1]);
    ASSERT_EQ(1u, asked.size()) << requests[1];
    CalendarTime since;
    EXPECT_TRUE(ParseHttpDate(asked[0].c_str(), &since)) << asked[0];
    EXPECT_EQ(29u, asked[0].size()) << asked[0];
    EXPECT_EQ(" GMT", asked[0].substr(25)) << asked[0];
  }
}

TEST_F(CliPatrolTest, UsageAndAnEmptyList) {
  WriteList({});
  CliResult r = Patrol();
  EXPECT_EQ(0, r.exit_code);
  EXPECT_EQ("written 0, unchanged 0, failed 0\n", r.out);
  const char* with_file[] = {"patrol", "x.costupdate"};
  r = RunCli(2, with_file, dir_.c_str(), nullptr);
  EXPECT_EQ(2, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find("patrol takes no file")) << r.err;
}

}  // namespace
