// Benchmark: how long a Patrol of many slow addresses takes beside its slowest download.
// Run inside tests/http_server.py (scripts/bench-patrol.sh does it all):
//   patrol_bench [ADDRESSES [RUNS]]   with HTTP_TEST_PORT and HTTP_TEST_ROOT set
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "data/cache_path.h"
#include "net/patrol_core.h"

namespace {

using Clock = std::chrono::steady_clock;

// When each download opened and closed, seen from the worker threads.
struct Timings {
  std::mutex mutex;
  std::vector<std::pair<Clock::time_point, Clock::time_point>> downloads;
};

// The platform's transport, timed from the open to the close.
class TimedTransport : public HttpTransport {
 public:
  explicit TimedTransport(Timings* timings) : inner_(NewHttpTransport()), timings_(timings) {}
  bool Open(const char* url, const std::string& if_modified_since) override {
    opened_ = Clock::now();
    return inner_->Open(url, if_modified_since);
  }
  bool GetStatus(uint32_t* code) override { return inner_->GetStatus(code); }
  bool GetLastModified(CalendarTime* out) override { return inner_->GetLastModified(out); }
  bool GetContentLength(uint64_t* out) override { return inner_->GetContentLength(out); }
  bool Read(char* buffer, uint32_t size, uint32_t* done) override {
    return inner_->Read(buffer, size, done);
  }
  void Abort() override { inner_->Abort(); }
  void Close() override {
    inner_->Close();
    std::lock_guard<std::mutex> lock(timings_->mutex);
    timings_->downloads.emplace_back(opened_, Clock::now());
  }

 private:
  std::unique_ptr<HttpTransport> inner_;
  Timings* timings_;
  Clock::time_point opened_;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string LocalPath(std::string unix_path) {
#ifdef _WIN32
  for (char& c : unix_path)
    if (c == '/') c = '\\';
  unix_path = "Z:" + unix_path;
#endif
  return unix_path;
}

}  // namespace

int main(int argc, char** argv) {
  const char* port = std::getenv("HTTP_TEST_PORT");
  const char* root = std::getenv("HTTP_TEST_ROOT");
  if (!port || !root) {
    std::fprintf(stderr, "patrol_bench: run it through tests/http_server.py\n");
    return 2;
  }
  int addresses = argc > 1 ? std::atoi(argv[1]) : 200;
  int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  namespace fs = std::filesystem;
  fs::path served = fs::path(LocalPath(root)) / "bench";
  fs::create_directories(served);
  std::vector<PatrolEntry> list;
  for (int i = 0; i < addresses; ++i) {
    std::string name = std::to_string(i) + ".dat";
    std::string body = "update file " + name + std::string(2000, 'x') + "\r\n";
    FILE* f = std::fopen((served / name).string().c_str(), "wb");
    if (!f) return 1;
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);
    list.push_back(
        {name.c_str(), ("http://127.0.0.1:" + std::string(port) + "/bench/" + name).c_str()});
  }
  fs::path dir = fs::temp_directory_path() / "costupdate-patrol-bench";
  std::printf("%d addresses, %d runs (the first fills the cache, the others compare)\n", addresses,
              runs);
  std::printf("%-5s %10s %20s %18s %22s %7s\n", "run", "patrol ms", "slowest download ms",
              "last start at ms", "after last download ms", "failed");
  for (int run = 1; run <= runs; ++run) {
    if (run == 1) fs::remove_all(dir);
    fs::create_directories(dir);
    std::string program_dir = dir.string() + kCacheDirName[std::strlen(kCacheDirName) - 1];
    Timings timings;
    TransportFactory timed = [&timings]() {
      return std::unique_ptr<HttpTransport>(new TimedTransport(&timings));
    };
    Clock::time_point start = Clock::now();
    std::vector<PatrolLine> lines = RunPatrolCore(list, program_dir.c_str(), timed, RealDisk());
    Clock::time_point end = Clock::now();
    Clock::duration slowest{}, last_open{}, last_close{};
    for (const auto& d : timings.downloads) {
      slowest = std::max(slowest, d.second - d.first);
      last_open = std::max(last_open, d.first - start);
      last_close = std::max(last_close, d.second - start);
    }
    int failed = int(std::count_if(lines.begin(), lines.end(), [](const PatrolLine& l) {
      return l.outcome != kPatrolWritten && l.outcome != kPatrolUnchanged;
    }));
    std::printf("%-5d %10.1f %20.1f %18.1f %22.1f %7d\n", run, Ms(end - start), Ms(slowest),
                Ms(last_open), Ms(end - start - last_close), failed);
  }
  fs::remove_all(dir);
  return 0;
}
