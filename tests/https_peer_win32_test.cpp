// costupdate-cli's patrol over https through WinINet, against the loopback servers of
// tests/http_server.py --tls: a trusted certificate, each kind of bad one, redirects between
// http and https, a closed port and an unknown host, each told with its reason.
// Also: WinINet's own cache and a request that asks If-Modified-Since.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli.h"
#include "data/cache_path.h"
#include "net/download_task.h"
#include "tests/http_test_server.h"
#include "tests/test_ca_win32.h"

namespace fs = std::filesystem;

namespace {

const char kOld[] = "old contents";

class HttpsPatrolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running() && !server_.TestCa().empty())
        << "run this program through tests/http_server.py --rules F --tls DIR";
    static std::string trusted = TrustTestCaFromHelper(server_.TestCa());
    ASSERT_EQ("", trusted);
    dir_ = ::testing::TempDir() + "https-patrol-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "\\";
    fs::create_directories(dir_ + kCacheDirName);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Cache(const std::string& url) {
    char path[kCachePathSize];
    EXPECT_EQ(1, CachePath(path, dir_.c_str(), url.c_str()));
    return path;
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string ReadFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<none>";
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
  }

  TestServer server_;
  std::string dir_;
};

TEST_F(HttpsPatrolTest, EachAddressWithItsReason) {
  const std::string body = "served over https\r\n" + std::string(70000, 'h');
  server_.Serve("/tls/a.dat", body);
  const std::string good = server_.HttpsUrl("HTTPS_TEST_PORT", "/tls/a.dat");
  const std::string up = server_.Url("/tls/up.dat");
  const std::string down = server_.HttpsUrl("HTTPS_TEST_PORT", "/tls/down.dat");
  server_.SetRules("/tls/up.dat redirect=" + good +
                   "\n/tls/down.dat redirect=" + server_.Url("/tls/a.dat") + "\n");
  const struct {
    const char* name;
    std::string url;
    const char* outcome;
    bool cached;  // an old cache file before the Patrol
  } cases[] = {
      {"https", good, "written", false},
      // Followed to https, and written under the check list's own address.
      {"http to https", up, "written", true},
      {"https to http", down, "failed: redirected to http", true},
      {"untrusted", server_.HttpsUrl("HTTPS_UNTRUSTED_PORT", "/tls/a.dat"),
       "failed: certificate not trusted", true},
      {"other name", server_.HttpsUrl("HTTPS_OTHER_NAME_PORT", "/tls/a.dat"),
       "failed: certificate for another name", true},
      {"expired", server_.HttpsUrl("HTTPS_EXPIRED_PORT", "/tls/a.dat"),
       "failed: certificate expired", true},
      {"missing", server_.HttpsUrl("HTTPS_TEST_PORT", "/tls/missing.dat"),
       "failed: HTTP status 404", false},
      {"closed port", "https://127.0.0.1:1/tls/a.dat", "failed: cannot connect", true},
      {"unknown host", "https://costupdate-test.invalid/tls/a.dat", "failed: host not found",
       false},
  };
  std::string list, want;
  for (const auto& c : cases) {
    list += std::string(c.name) + "," + c.url + "\r\n";
    want += std::string(c.name) + "\t" + c.url + "\t" + c.outcome + "\n";
    if (c.cached) WriteFile(Cache(c.url), kOld);
  }
  want += "written 2, unchanged 0, failed 7\n";
  WriteFile(dir_ + "FavoriteList.txt", list);

  std::vector<const char*> args = {"--dir", dir_.c_str(), "patrol"};
  CliResult r = RunCli(int(args.size()), args.data(), "unused", [](const char*, std::string* e) {
    *e = "no database";
    return static_cast<PriceLibrary*>(nullptr);
  });
  EXPECT_EQ(3, r.exit_code) << r.err;
  EXPECT_EQ(want, r.out);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool written = std::strcmp(c.outcome, "written") == 0;
    // Compared, not printed: the body is long.
    EXPECT_TRUE((written ? body : c.cached ? kOld : "<none>") == ReadFile(Cache(c.url)));
  }
  // The refused redirect was asked for: the program saw where it led and said no.
  EXPECT_EQ(1u, server_.Requests("/tls/down.dat").size());
}

// A copy of the address in WinINet's cache (as another program of the user may leave) neither
// answers a request that asks If-Modified-Since nor turns the server's 304 into its 200.
TEST(WinInetCache, NeitherAnswersNorHidesA304) {
  TestServer server;
  ASSERT_TRUE(server.Running());
  const std::string path = "/wininet-cache/list.dat", url = server.Url(path);
  const std::string old_time = std::to_string(long(std::time(nullptr)) - 7200);
  const std::string new_time = std::to_string(long(std::time(nullptr)) + 7200);
  server.Serve(path, "cached bytes");
  server.SetRules(path + " last-modified=" + old_time + "\n");
  // An ordinary read, which WinINet keeps in its cache.
  HINTERNET session =
      InternetOpenA("cache primer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  ASSERT_TRUE(session);
  HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, 0, 0);
  ASSERT_TRUE(request);
  char buffer[64];
  DWORD n = 0;
  while (InternetReadFile(request, buffer, sizeof buffer, &n) && n > 0) {
  }
  InternetCloseHandle(request);
  InternetCloseHandle(session);
  DWORD size = 0;
  GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
  ASSERT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << "no cache entry to test with";

  server.Serve(path, "server bytes");
  SYSTEMTIME now;
  GetSystemTime(&now);
  CalendarTime since;
  std::memcpy(&since, &now, sizeof since);
  struct {
    std::string rule;
    DownloadStatus status;
    DownloadFailure failure;
    const char* body;
  } cases[] = {
      {"conditional last-modified=" + old_time, DownloadFailed, DownloadNotModified, ""},
      {"conditional last-modified=" + new_time, DownloadComplete, DownloadNoFailure,
       "server bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    server.SetRules(path + " " + c.rule + "\n");
    size_t before = server.Requests(path).size();
    DownloadTask* task = CreateDownloadTask(url.c_str());
    task->SetIfModifiedSince(since);
    task->Start();
    EXPECT_EQ(c.status, task->Wait(-1));
    uint32_t http_status = 0;
    EXPECT_EQ(c.failure, task->GetFailure(&http_status));
    if (c.status == DownloadComplete) {
      const char* data = "";
      int length = task->GetData(&data);
      EXPECT_EQ(c.body, std::string(data, size_t(length)));
    }
    DestroyDownloadTask(task);
    // The server was asked, once, with the header once.
    std::vector<std::string> requests = server.Requests(path);
    ASSERT_EQ(before + 1, requests.size());
    const std::string& sent = requests.back();
    size_t first = sent.find("If-Modified-Since");
    EXPECT_NE(std::string::npos, first) << sent;
    EXPECT_EQ(std::string::npos, sent.find("If-Modified-Since", first + 1)) << sent;
  }
  DeleteUrlCacheEntryA(url.c_str());
}

}  // namespace
