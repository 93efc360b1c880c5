// The download task's worker against scripted transports: every way a download ends.
#include "net/http_download_task.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "net/fake_transport.h"

#ifdef __SANITIZE_ADDRESS__
// The sanitizer's count of the bytes allocated now (its header comes with clang only).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

CalendarTime Time(uint16_t y, uint16_t mo, uint16_t dow, uint16_t d, uint16_t h, uint16_t mi,
                  uint16_t s, uint16_t ms) {
  return CalendarTime{y, mo, dow, d, h, mi, s, ms};
}

bool operator==(const CalendarTime& a, const CalendarTime& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Task {
  explicit Task(const FakeScript& script, size_t max_size = kMaxDownloadSize,
                const char* url = "http://h/x.dat")
      : record(std::make_shared<FakeRecord>()) {
    auto r = record;
    task = CreateDownloadTask(
        url, [script, r]() { return std::unique_ptr<HttpTransport>(new FakeTransport(script, r)); },
        &finished, max_size);
  }
  ~Task() { DestroyDownloadTask(task); }
  std::string Body() {
    const char* data = nullptr;
    int n = task->GetData(&data);
    return n ? std::string(data, size_t(n)) : "";
  }
  std::shared_ptr<FakeRecord> record;
  FinishSignal finished;
  DownloadTask* task;
};

struct Case {
  const char* what;
  FakeScript script;
  size_t max_size;
  DownloadStatus status;
  DownloadFailure failure;
  uint32_t http_status;
  std::string body;
};

FakeScript Script(std::vector<std::string> pieces) {
  FakeScript s;
  s.pieces = std::move(pieces);
  return s;
}

FakeScript With(FakeScript s, void (*change)(FakeScript*)) {
  change(&s);
  return s;
}

TEST(HttpDownloadTask, EndsAsTheTransportSays) {
  const std::string big(5000, 'b');
  const Case cases[] = {
      {"body in odd pieces", Script({"a", std::string(4095, 'c'), big, "", "z"}), kMaxDownloadSize,
       DownloadComplete, DownloadNoFailure, 0, "a" + std::string(4095, 'c') + big},
      // An empty piece reads as the end, as WinINet's 0 bytes do.
      {"empty body", Script({}), kMaxDownloadSize, DownloadComplete, DownloadNoFailure, 0, ""},
      {"open fails", With(Script({"x"}), [](FakeScript* s) { s->open_ok = false; }),
       kMaxDownloadSize, DownloadFailed, DownloadConnectionFailed, 0, ""},
      // The transport's own reason passes through, for the open and for a read.
      {"host not found",
       With(Script({"x"}),
            [](FakeScript* s) {
              s->open_ok = false;
              s->failure = DownloadHostNotFound;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadHostNotFound, 0, ""},
      {"certificate expired",
       With(Script({"x"}),
            [](FakeScript* s) {
              s->open_ok = false;
              s->failure = DownloadCertificateExpired;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadCertificateExpired, 0, ""},
      {"read timed out",
       With(Script({"abc"}),
            [](FakeScript* s) {
              s->fail_after_pieces = true;
              s->failure = DownloadTimedOut;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadTimedOut, 0, ""},
      {"no status", With(Script({"x"}), [](FakeScript* s) { s->status_ok = false; }),
       kMaxDownloadSize, DownloadFailed, DownloadConnectionFailed, 0, ""},
      {"404", With(Script({"nf"}), [](FakeScript* s) { s->status = 404; }), kMaxDownloadSize,
       DownloadFailed, DownloadHttpStatus, 404, ""},
      {"500", With(Script({}), [](FakeScript* s) { s->status = 500; }), kMaxDownloadSize,
       DownloadFailed, DownloadHttpStatus, 500, ""},
      {"304", With(Script({}), [](FakeScript* s) { s->status = 304; }), kMaxDownloadSize,
       DownloadFailed, DownloadHttpStatus, 304, ""},
      {"302 not followed", With(Script({}), [](FakeScript* s) { s->status = 302; }),
       kMaxDownloadSize, DownloadFailed, DownloadHttpStatus, 302, ""},
      {"read fails mid-body",
       With(Script({"abc"}), [](FakeScript* s) { s->fail_after_pieces = true; }), kMaxDownloadSize,
       DownloadFailed, DownloadConnectionFailed, 0, ""},
      {"dropped before the announced length",
       With(Script({"abc"}),
            [](FakeScript* s) {
              s->has_length = true;
              s->length = 4;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadShortBody, 0, ""},
      {"the announced length",
       With(Script({"ab", "cd"}),
            [](FakeScript* s) {
              s->has_length = true;
              s->length = 4;
            }),
       kMaxDownloadSize, DownloadComplete, DownloadNoFailure, 0, "abcd"},
      {"announced beyond the cap",
       With(Script({}),
            [](FakeScript* s) {
              s->has_length = true;
              s->length = kMaxDownloadSize + 1;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadTooLarge, 0, ""},
      // At the cap the announcement passes; the body is then short, not too large.
      {"announced at the cap",
       With(Script({"abc"}),
            [](FakeScript* s) {
              s->has_length = true;
              s->length = kMaxDownloadSize;
            }),
       kMaxDownloadSize, DownloadFailed, DownloadShortBody, 0, ""},
      {"streamed past the cap", Script({"12345", "678901"}), 10, DownloadFailed, DownloadTooLarge,
       0, ""},
      {"streamed up to the cap", Script({"12345", "67890"}), 10, DownloadComplete,
       DownloadNoFailure, 0, "1234567890"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Task t(c.script, c.max_size);
    EXPECT_EQ(1, t.task->Start());
    EXPECT_EQ(c.status, t.task->Wait(-1));
    uint32_t http_status = 99;
    EXPECT_EQ(c.failure, t.task->GetFailure(&http_status));
    EXPECT_EQ(c.http_status, http_status);
    if (c.status == DownloadComplete) {
      EXPECT_EQ(c.body, t.Body());
    }
    // The worker closed the transport before it signalled the end.
    std::vector<std::string> calls = t.record->Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("Open http://h/x.dat", calls.front());
    EXPECT_EQ("Close", calls.back());
    EXPECT_EQ(1u, t.finished.Count());
    EXPECT_TRUE(t.finished.WaitPast(0, 0));
  }
}

TEST(HttpDownloadTask, EmptyBodyLeavesTheCallersPointer) {
  Task t(Script({}));
  t.task->Start();
  ASSERT_EQ(DownloadComplete, t.task->Wait(-1));
  const char* data = "mine";
  EXPECT_EQ(0, t.task->GetData(&data));
  EXPECT_STREQ("mine", data);
}

TEST(HttpDownloadTask, LastModifiedWithoutMillisecondsOrAllZero) {
  CalendarTime sent = Time(2025, 3, 1, 3, 4, 5, 6, 789);
  FakeScript with_time = Script({"x"});
  with_time.has_last_modified = true;
  with_time.last_modified = sent;
  struct {
    FakeScript script;
    CalendarTime want;
  } cases[] = {
      {with_time, Time(2025, 3, 1, 3, 4, 5, 6, 0)},
      {Script({"x"}), Time(0, 0, 0, 0, 0, 0, 0, 0)},
  };
  for (auto& c : cases) {
    Task t(c.script);
    t.task->Start();
    ASSERT_EQ(DownloadComplete, t.task->Wait(-1));
    CalendarTime got = Time(1, 1, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(0, t.task->GetLastModified(&got));
    EXPECT_TRUE(got == c.want) << got.year << " " << got.milliseconds;
  }
}

// Wait(0) gives the state of the moment: idle before Start, connecting while the address
// opens, reading while the body comes; after the end it returns at once, every time.
TEST(HttpDownloadTask, WaitReportsEachStateWithoutBlocking) {
  FakeScript script = Script({"ab", "cd"});
  script.hold_in_open = true;
  Task t(script);
  EXPECT_EQ(DownloadIdle, t.task->Wait(0));
  EXPECT_EQ(DownloadIdle, t.task->Wait(20));
  t.task->Start();
  ASSERT_TRUE(t.record->WaitFor("Open http://h/x.dat"));
  EXPECT_EQ(DownloadConnecting, t.task->Wait(0));
  t.record->Release();
  EXPECT_EQ(DownloadComplete, t.task->Wait(-1));
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(DownloadComplete, t.task->Wait(1000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ("abcd", t.Body());
}

TEST(HttpDownloadTask, ReadingIsSeenWhileTheBodyIsHeld) {
  FakeScript script = Script({"ab", "cd"});
  script.hold_at_read = 1;
  Task t(script);
  t.task->Start();
  ASSERT_TRUE(t.record->WaitFor("Read held"));
  EXPECT_EQ(DownloadReading, t.task->Wait(0));
  EXPECT_EQ(DownloadReading, t.task->Wait(30));
  t.record->Release();
  EXPECT_EQ(DownloadComplete, t.task->Wait(-1));
}

// A server that announces a length up to the cap and sends nothing must not make each
// task hold that much memory: a Patrol runs every address at once.
TEST(HttpDownloadTask, AnnouncedLengthIsNotHeldBeforeTheBody) {
#ifndef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "counts allocations through AddressSanitizer";
#else
  FakeScript script = Script({"abc"});
  script.has_length = true;
  script.length = kMaxDownloadSize;
  script.hold_at_read = 0;
  long long before = (long long)__sanitizer_get_current_allocated_bytes();
  Task t(script);
  t.task->Start();
  ASSERT_TRUE(t.record->WaitFor("Read held"));
  EXPECT_LT((long long)__sanitizer_get_current_allocated_bytes() - before, 16ll << 20);
  t.record->Release();
  EXPECT_EQ(DownloadFailed, t.task->Wait(-1));
  uint32_t status;
  EXPECT_EQ(DownloadShortBody, t.task->GetFailure(&status));
#endif
}

TEST(HttpDownloadTask, StartTwiceDownloadsOnce) {
  Task t(Script({"x"}));
  t.task->Start();
  ASSERT_EQ(DownloadComplete, t.task->Wait(-1));
  EXPECT_EQ(1, t.task->Start());
  EXPECT_EQ(DownloadComplete, t.task->Wait(-1));
  int opens = 0;
  for (const std::string& c : t.record->Calls()) opens += c.compare(0, 4, "Open") == 0;
  EXPECT_EQ(1, opens);
  EXPECT_EQ(1u, t.finished.Count());
}

// Destroying a task blocked on a stalled connection aborts the transport and returns, in
// the open as in the body; a task never started has no worker to wait for.
TEST(HttpDownloadTask, DestroyEndsAStalledDownload) {
  for (bool in_open : {true, false}) {
    FakeScript script = Script({"ab", "cd"});
    script.hold_in_open = in_open;
    script.hold_at_read = in_open ? -1 : 1;
    auto task = std::make_unique<Task>(script);
    std::shared_ptr<FakeRecord> record = task->record;
    task->task->Start();
    ASSERT_TRUE(record->WaitFor(in_open ? "Open http://h/x.dat" : "Read held"));
    task.reset();
    std::vector<std::string> calls = record->Calls();
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "Abort")) << in_open;
    EXPECT_EQ("Close", calls.back()) << in_open;
  }
  auto never = std::make_unique<Task>(Script({"x"}));
  std::shared_ptr<FakeRecord> record = never->record;
  never.reset();
  EXPECT_TRUE(record->Calls().empty());
}

// A transport that an abort cannot stop (WinINet under Wine): destroying the task returns
// all the same, and the worker it leaves behind ends later without touching the task's
// owner (ASan sees any use of the freed signal).
TEST(HttpDownloadTask, DestroyLeavesADeafWorkerBehind) {
  FakeScript script = Script({"ab", "cd"});
  script.hold_at_read = 1;
  script.deaf_to_abort = true;
  auto task = std::make_unique<Task>(script);
  std::shared_ptr<FakeRecord> record = task->record;
  task->task->Start();
  ASSERT_TRUE(record->WaitFor("Read held"));
  task.reset();
  EXPECT_FALSE(record->WaitFor("Close", 0));
  record->Release();
  EXPECT_TRUE(record->WaitFor("Close", 10000));
}

// Abandoned, the task does not wait even the grace for a worker that ignores the abort;
// the worker ends later by itself, touching nothing of the task's owner.
TEST(HttpDownloadTask, AbandonedTaskLeavesItsWorkerAtOnce) {
  FakeScript script = Script({"ab", "cd"});
  script.hold_at_read = 1;
  script.deaf_to_abort = true;
  auto task = std::make_unique<Task>(script);
  std::shared_ptr<FakeRecord> record = task->record;
  task->task->Start();
  ASSERT_TRUE(record->WaitFor("Read held"));
  auto start = std::chrono::steady_clock::now();
  task->task->Abandon();
  task.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kCancelGraceMs));
  EXPECT_FALSE(record->WaitFor("Close", 0));
  record->Release();
  EXPECT_TRUE(record->WaitFor("Close", 10000));
}

// A transport that follows redirects by itself: an https address that ends on plain http
// is refused before its body is read; every other ending is taken.
TEST(HttpDownloadTask, HttpsRedirectedToHttpIsRefused) {
  struct {
    const char* url;
    const char* final_url;  // "": the transport cannot tell
    DownloadStatus status;
  } cases[] = {
      {"https://h/x.dat", "http://h/x.dat", DownloadFailed},
      {"HTTPS://h/x.dat", "Http://other/y.dat", DownloadFailed},
      {"https://h/x.dat", "https://h/x.dat", DownloadComplete},
      {"https://h/x.dat", "HTTPS://mirror/x.dat", DownloadComplete},
      {"http://h/x.dat", "https://h/x.dat", DownloadComplete},
      {"http://h/x.dat", "http://h/y.dat", DownloadComplete},
      {"https://h/x.dat", "", DownloadComplete},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.url) + " -> " + c.final_url);
    FakeScript script = Script({"body"});
    script.final_url = c.final_url;
    Task t(script, kMaxDownloadSize, c.url);
    t.task->Start();
    EXPECT_EQ(c.status, t.task->Wait(-1));
    uint32_t http_status = 0;
    EXPECT_EQ(c.status == DownloadFailed ? DownloadRedirectedToHttp : DownloadNoFailure,
              t.task->GetFailure(&http_status));
    std::vector<std::string> calls = t.record->Calls();
    EXPECT_EQ(c.status == DownloadComplete, std::count(calls.begin(), calls.end(), "GetStatus"));
  }
}

TEST(HttpDownloadTask, SourceUrl) {
  const std::string longest(511, 'u'), too_long(512, 'u');
  struct {
    std::string url;
    int result;
  } cases[] = {{"http://h/x.dat", 1}, {"", 0}, {longest, 1}, {too_long, 0}};
  for (const auto& c : cases) {
    Task t(Script({}), kMaxDownloadSize, c.url.c_str());
    char out[512] = "junk";
    EXPECT_EQ(c.result, t.task->GetSourceUrl(out)) << c.url.size();
    EXPECT_EQ(c.result ? c.url : "", out);
  }
  EXPECT_EQ(1, DestroyDownloadTask(nullptr));
}

TEST(FinishSignal, WaitsUntilRaised) {
  FinishSignal signal;
  EXPECT_FALSE(signal.WaitPast(0, 10));
  std::thread raiser([&] { signal.Raise(); });
  EXPECT_TRUE(signal.WaitPast(0, 10000));
  raiser.join();
  EXPECT_EQ(1u, signal.Count());
  EXPECT_FALSE(signal.WaitPast(1, 0));
}

}  // namespace
