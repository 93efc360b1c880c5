// The Patrol over scripted downloads and real cache files in a temporary program folder.
#include "net/patrol_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "data/cache_path.h"
#include "data/faulty_disk.h"
#include "net/fake_transport.h"
#include "net/patrol_report.h"
#include "net/test_files.h"

namespace fs = std::filesystem;

namespace {

const char kOld[] = "old cache contents";

// The real disk, but the cache files' times are the test's.
class TimedDisk : public FaultyDisk {
 public:
  std::map<std::string, CalendarTime> times;  // by path; a file not named has none
  bool LastWriteTime(const char* path, bool local, CalendarTime* out) override {
    EXPECT_FALSE(local) << "the request's date is in UTC";
    auto found = times.find(path);
    if (found == times.end()) return false;
    *out = found->second;
    return true;
  }
};

// The real disk, but every replacement fails.
class FailingDisk : public FaultyDisk {
 public:
  bool ReplaceFile(const char*, const void*, size_t) override { return false; }
};

class PatrolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::path(::testing::TempDir()) /
        ("patrol-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_ / kCacheDirName);
    // The program folder ends with the separator the cache folder's name ends with.
    program_dir_ = dir_.string() + kCacheDirName[std::strlen(kCacheDirName) - 1];
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path CacheFile(const std::string& url) {
    char path[kCachePathSize];
    EXPECT_EQ(1, CachePath(path, program_dir_.c_str(), url.c_str()));
    return path;
  }

  std::vector<std::string> CacheFolder() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / kCacheDirName))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  std::string program_dir_;  // with its separator
  FakeNetwork network_;
};

FakeScript Body(const std::string& bytes) {
  FakeScript s;
  if (!bytes.empty()) s.pieces = {bytes};
  return s;
}

FakeScript Status(uint32_t code) {
  FakeScript s = Body("error page");
  s.status = code;
  return s;
}

struct Case {
  const char* url;
  const char* cached;  // null: no cache file before the run
  FakeScript served;
  const char* outcome;
  std::string after;  // the cache file afterwards
};

// Each entry of one check list is a case; all download at the same time.
TEST_F(PatrolTest, RewritesExactlyTheFilesThatDiffer) {
  FakeScript short_body = Body("0123");
  short_body.has_length = true;
  short_body.length = 10;
  FakeScript broken = Body("01");
  broken.fail_after_pieces = true;
  const Case cases[] = {
      {"http://h/new.dat", nullptr, Body("fresh"), "written", "fresh"},
      {"http://h/same.dat", "same bytes", Body("same bytes"), "unchanged", "same bytes"},
      {"http://h/longer.dat", "abc", Body("abcd"), "written", "abcd"},
      {"http://h/shorter.dat", "abcd", Body("abc"), "written", "abc"},
      {"http://h/one-byte.dat", "abcd", Body("abXd"), "written", "abXd"},
      {"http://h/emptied.dat", "abcd", Body(""), "written", ""},
      {"http://h/empty.dat", "", Body(""), "unchanged", ""},
      {"http://h/big.dat", nullptr, Body(std::string(200000, 'q') + "end"), "written",
       std::string(200000, 'q') + "end"},
      {"http://h/404.dat", kOld, Status(404), "failed: HTTP status 404", kOld},
      {"http://h/500.dat", kOld, Status(500), "failed: HTTP status 500", kOld},
      {"http://h/short.dat", kOld, short_body, "failed: short body", kOld},
      {"http://h/broken.dat", kOld, broken, "failed: connection", kOld},
      {"http://h/missing.dat", nullptr, Status(404), "failed: HTTP status 404", "<none>"},
  };
  std::vector<PatrolEntry> list;
  for (const Case& c : cases) {
    list.push_back({c.url, c.url});
    network_.Serve(c.url, c.served);
  }
  // The window's wait handles messages between passes; it must not change a result.
  int waits = 0;
  PatrolWaiter window_wait = [&](FinishSignal* finished, uint64_t seen, int ms) {
    ++waits;
    finished->WaitPast(seen, ms);
    return true;
  };
  for (const PatrolWaiter& wait : {PatrolWaiter(), window_wait}) {
    for (const Case& c : cases)
      if (c.cached)
        WriteTestFile(CacheFile(c.url), c.cached);
      else
        fs::remove(CacheFile(c.url));
    // Unchanged files keep their time: set it well back and look again afterwards.
    auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    for (const Case& c : cases)
      if (c.cached) fs::last_write_time(CacheFile(c.url), old_time);

    std::vector<PatrolLine> lines =
        RunPatrolCore(list, program_dir_.c_str(), network_.Factory(), RealDisk(), wait);

    ASSERT_EQ(std::size(cases), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      const Case& c = cases[i];
      SCOPED_TRACE(c.url);
      EXPECT_EQ(c.url, lines[i].name);
      EXPECT_EQ(c.url, lines[i].url);
      EXPECT_EQ(c.outcome, DescribeOutcome(lines[i]));
      EXPECT_EQ(c.after, ReadTestFile(CacheFile(c.url)));
      if (c.cached && lines[i].outcome != kPatrolWritten) {
        // Wine keeps file times in whole seconds; a rewrite would show today.
        auto moved = fs::last_write_time(CacheFile(c.url)) - old_time;
        EXPECT_LT(std::chrono::abs(moved), std::chrono::seconds(2));
      }
    }
    // One file per address that has one, and no temporary file left.
    EXPECT_EQ(std::size(cases) - 1, CacheFolder().size());
  }
  EXPECT_EQ(2 * std::size(cases), network_.TransportsMade());
}

// A cache file's time goes with its request; a server that says the file has not changed
// since leaves the cache file as it is, even where its bytes differ; a server that ignores
// the question, or sends the file, is decided by the bytes as before.
TEST_F(PatrolTest, AsksOnlyForChangedFiles) {
  const CalendarTime written = {2026, 12, 4, 10, 5, 43, 30, 0};
  const CalendarTime earlier = {2026, 11, 0, 1, 9, 0, 0, 0};
  const CalendarTime later = {2026, 12, 5, 11, 0, 0, 0, 0};
  const CalendarTime before_1970 = {1969, 12, 3, 31, 23, 0, 0, 0};
  const char* kAsked = "Thu, 10 Dec 2026 05:43:29 GMT";
  auto served = [](const char* body, bool honours, const CalendarTime& modified) {
    FakeScript s = Body(body);
    s.honours_if_modified_since = honours;
    s.has_last_modified = true;
    s.last_modified = modified;
    return s;
  };
  struct {
    const char* url;
    const char* cached;        // null: no cache file
    const CalendarTime* time;  // the cache file's; null: none to be had
    FakeScript served;
    const char* outcome;
    const char* after;
    const char* asked;  // "": no If-Modified-Since
  } cases[] = {
      // The cache file is newer than the server's: not sent, not written.
      {"http://h/older-on-server.dat", kOld, &written, served("other bytes", true, earlier),
       "unchanged", kOld, kAsked},
      {"http://h/same-second.dat", kOld, &written, served("same second", true, written), "written",
       "same second", kAsked},
      {"http://h/newer-on-server.dat", kOld, &written, served("newer", true, later), "written",
       "newer", kAsked},
      {"http://h/ignores.dat", kOld, &written, served("ignored", false, earlier), "written",
       "ignored", kAsked},
      {"http://h/ignores-same.dat", kOld, &written, served(kOld, false, earlier), "unchanged", kOld,
       kAsked},
      {"http://h/no-cache.dat", nullptr, nullptr, served("first", true, earlier), "written",
       "first", ""},
      {"http://h/no-time.dat", kOld, nullptr, served("untimed", true, earlier), "written",
       "untimed", ""},
      {"http://h/before-1970.dat", kOld, &before_1970, served("old clock", true, earlier),
       "written", "old clock", ""},
      // A 304 that nobody asked for stays a failure.
      {"http://h/unasked-304.dat", kOld, nullptr, Status(304), "failed: HTTP status 304", kOld, ""},
  };
  TimedDisk disk;
  std::vector<PatrolEntry> list;
  for (const auto& c : cases) {
    list.push_back({c.url, c.url});
    network_.Serve(c.url, c.served);
    if (c.cached) WriteTestFile(CacheFile(c.url), c.cached);
    if (c.time) disk.times[CacheFile(c.url).string()] = *c.time;
  }
  std::vector<PatrolLine> lines =
      RunPatrolCore(list, program_dir_.c_str(), network_.Factory(), &disk);
  ASSERT_EQ(std::size(cases), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.url);
    EXPECT_EQ(c.outcome, DescribeOutcome(lines[i]));
    EXPECT_EQ(c.after, ReadTestFile(CacheFile(c.url)));
    EXPECT_EQ(std::vector<std::string>{c.asked}, network_.DatesAsked(c.url));
  }
  // The unchanged file is not in the window's list of failures.
  std::string message = PatrolFailureMessage(lines);
  EXPECT_EQ(std::string::npos, message.find("older-on-server")) << message;
  EXPECT_NE(std::string::npos, message.find("unasked-304")) << message;
}

// Stopped by the user: the downloads that completed are written, the others are cancelled
// and left at once, their files untouched, even those whose worker never answers the
// cancel and ends only later.
TEST_F(PatrolTest, StoppedRunKeepsWhatCompleted) {
  FakeScript held = Body("never");
  held.hold_in_open = true;
  FakeScript deaf = held;
  deaf.deaf_to_abort = true;
  FakeScript read_held = Body("half");
  read_held.hold_at_read = 0;
  const Case cases[] = {
      {"http://h/a.dat", kOld, Body("first"), "written", "first"},
      {"http://h/held.dat", kOld, held, "failed: cancelled", kOld},
      {"http://h/deaf.dat", nullptr, deaf, "failed: cancelled", "<none>"},
      {"http://h/deaf2.dat", kOld, deaf, "failed: cancelled", kOld},
      {"http://h/reading.dat", kOld, read_held, "failed: cancelled", kOld},
      {"http://h/b.dat", nullptr, Body("second"), "written", "second"},
  };
  std::vector<PatrolEntry> list;
  for (const Case& c : cases) {
    list.push_back({c.url, c.url});
    network_.Serve(c.url, c.served);
    if (c.cached) WriteTestFile(CacheFile(c.url), c.cached);
  }
  // Esc once the two quick downloads have ended; no wait follows it.
  int waits_after_stop = 0;
  PatrolWaiter wait = [&](FinishSignal* finished, uint64_t seen, int ms) {
    finished->WaitPast(seen, ms);
    if (finished->Count() < 2) return true;
    ++waits_after_stop;
    return false;
  };
  auto start = std::chrono::steady_clock::now();
  std::vector<PatrolLine> lines =
      RunPatrolCore(list, program_dir_.c_str(), network_.Factory(), RealDisk(), wait);
  auto took = std::chrono::steady_clock::now() - start;
  network_.ReleaseAll();

  ASSERT_EQ(std::size(cases), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(cases[i].url);
    EXPECT_EQ(cases[i].outcome, DescribeOutcome(lines[i]));
    EXPECT_EQ(cases[i].after, ReadTestFile(CacheFile(cases[i].url)));
  }
  EXPECT_EQ(1, waits_after_stop);
  // Not even one grace is waited for the deaf workers.
  EXPECT_LT(took, std::chrono::milliseconds(kCancelGraceMs));
}

// The same address twice: both download; the second to end finds the file equal. The
// cache folder is made when it is missing.
TEST_F(PatrolTest, SameAddressTwiceWritesOnce) {
  fs::remove_all(dir_ / kCacheDirName);
  std::vector<PatrolEntry> list;
  list.push_back({"a", "http://h/twice.dat"});
  list.push_back({"b", "http://h/twice.dat"});
  network_.Serve("http://h/twice.dat", Body("twice"));
  std::vector<PatrolLine> lines =
      RunPatrolCore(list, program_dir_.c_str(), network_.Factory(), RealDisk());
  ASSERT_EQ(2u, lines.size());
  std::multiset<std::string> outcomes = {DescribeOutcome(lines[0]), DescribeOutcome(lines[1])};
  EXPECT_EQ((std::multiset<std::string>{"written", "unchanged"}), outcomes);
  EXPECT_EQ("twice", ReadTestFile(CacheFile("http://h/twice.dat")));
}

// A write that fails leaves the old file whole; an address without a usable cache name is
// not fetched at all; an empty list fetches nothing.
TEST_F(PatrolTest, FailuresOfTheCacheSide) {
  std::vector<PatrolEntry> list;
  list.push_back({"changed", "http://h/changed.dat"});
  list.push_back({"new", "http://h/new.dat"});
  list.push_back({"device", "http://h\\con"});
  network_.Serve("http://h/changed.dat", Body("new contents"));
  network_.Serve("http://h/new.dat", Body("new file"));
  WriteTestFile(CacheFile("http://h/changed.dat"), kOld);
  FailingDisk disk;
  std::vector<PatrolLine> lines =
      RunPatrolCore(list, program_dir_.c_str(), network_.Factory(), &disk);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("failed: cache write", DescribeOutcome(lines[0]));
  EXPECT_EQ("failed: cache write", DescribeOutcome(lines[1]));
  EXPECT_EQ("failed: no cache file name", DescribeOutcome(lines[2]));
  EXPECT_EQ(kOld, ReadTestFile(CacheFile("http://h/changed.dat")));
  EXPECT_EQ("<none>", ReadTestFile(CacheFile("http://h/new.dat")));
  EXPECT_EQ(2u, network_.TransportsMade());

  std::vector<PatrolEntry> empty;
  EXPECT_TRUE(RunPatrolCore(empty, program_dir_.c_str(), network_.Factory(), RealDisk()).empty());
  EXPECT_EQ(2u, network_.TransportsMade());
}

}  // namespace
