// costupdate-cli's patrol over https through WinINet, against the loopback servers of
// tests/http_server.py --tls: a trusted certificate, each kind of bad one, redirects between
// http and https, a closed port and an unknown host, each told with its reason.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli.h"
#include "data/cache_path.h"
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

}  // namespace
