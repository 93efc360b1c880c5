// libFuzzer target: the download task over a transport scripted by the input. Every
// transport call notes the task's status, and a destroy happens inside a chosen call, so
// each run takes the same steps.
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/http_download_task.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const uint32_t kReadSize = 4096;

struct Op {
  enum Kind { kData, kEnd, kFail } kind;
  uint32_t size;
};

struct Script {
  bool open_ok = true, status_ok = true;
  uint32_t status = 200;
  bool has_last_modified = false;
  CalendarTime last_modified = {};
  bool has_length = false;
  uint64_t length = 0;
  size_t cap = kMaxDownloadSize;
  // The call at which the task is destroyed: 0 Open, k + 1 the k-th Read; -1 before Start,
  // -2 never.
  int destroy_at = -2;
  // Whether the call held at the destroy fails once aborted; otherwise it goes on as
  // scripted, as WinINet does under Wine.
  bool abort_fails = true;
  bool start_again = false;
  // Why a failed Open or Read failed, as the transport tells it.
  DownloadFailure reason = DownloadConnectionFailed;
  // The address the answer came from; empty: the transport cannot tell.
  std::string final_url;
  std::string url;
  std::vector<Op> ops;
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  uint32_t Byte() { return p_ < end_ ? *p_++ : 0; }
  uint32_t Word() {
    uint32_t low = Byte();
    return low | Byte() << 8;
  }
  uint64_t Long() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(Byte()) << (8 * i);
    return value;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// The body byte at offset i: any pattern that shows a byte lost, doubled or moved.
char BodyByte(uint64_t i) { return char((i * 131 + (i >> 8)) & 0xFF); }

Script Parse(const uint8_t* data, size_t size) {
  Input in(data, size);
  Script s;
  uint32_t flags = in.Byte();
  s.open_ok = !(flags & 1);
  s.status_ok = !(flags & 2);
  if (flags & 4) s.status = in.Word();
  s.has_last_modified = flags & 8;
  if (s.has_last_modified) {
    uint16_t* f = &s.last_modified.year;
    for (int i = 0; i < 8; ++i) f[i] = uint16_t(in.Word());
  }
  s.abort_fails = !(flags & 0x10);
  s.start_again = flags & 0x20;
  if (flags & 0x40) s.cap = in.Word();
  uint32_t destroy = in.Byte();
  s.destroy_at = destroy == 0xFF ? -1 : destroy >= 0xC0 ? int(destroy - 0xC0) : -2;
  // Around the 512 bytes GetSourceUrl takes.
  uint32_t url_size = in.Word() % 640;
  if (flags & 0x80) {
    // Transport reasons, https addresses and where a redirect led.
    s.reason = DownloadFailure(1 + in.Byte() % DownloadRedirectedToHttp);
    uint32_t where = in.Byte();
    const char* finals[] = {"", "http://h/moved", "https://h/moved", "HTTP://h/x"};
    s.final_url = finals[where % 4];
    if (where & 4) s.url = "https://h/";
  }
  if (s.url.empty()) s.url = "http://h/";
  s.url = (s.url + std::string(640, 'u')).substr(0, url_size);
  uint32_t length_mode = in.Byte();
  uint64_t delta = in.Byte();
  uint64_t raw_length = (length_mode >> 1 & 7) >= 6 ? in.Long() : 0;
  // Bodies a little larger than the largest small cap: a run stays short.
  uint64_t scripted = 0;
  while (!in.empty() && s.ops.size() < 200 && scripted < 80000) {
    uint32_t o = in.Byte();
    if (o % 4 == 0) s.ops.push_back({Op::kData, (o >> 2) + 1});
    if (o % 4 == 1) s.ops.push_back({Op::kData, in.Word() + 1});
    if (o % 4 == 2) s.ops.push_back({Op::kEnd, 0});
    if (o % 4 == 3) s.ops.push_back({Op::kFail, 0});
    scripted += s.ops.back().size;
  }
  // The announced length, measured against the body the script sends before its end.
  uint64_t body = 0;
  for (const Op& op : s.ops) {
    if (op.kind != Op::kData) break;
    body += op.size;
  }
  s.has_length = length_mode & 1;
  switch (length_mode >> 1 & 7) {
    case 0:
      s.length = body;
      break;
    case 1:
      s.length = body > delta ? body - delta - 1 : 0;
      break;
    case 2:
      s.length = body + delta + 1;
      break;
    case 3:
      s.length = kMaxDownloadSize - 1 + delta % 3;
      break;
    case 4:
      s.length = s.cap + delta % 3 - 1;
      break;
    case 5:
      s.length = UINT64_MAX - delta;
      break;
    default:
      s.length = raw_length;
      break;
  }
  return s;
}

// One transport call as the task should make it, with the status it has meanwhile.
struct Step {
  std::string call;
  DownloadStatus status;
};

// What the task should do with the script: its calls, how it ends and with which body.
struct Expected {
  std::vector<Step> steps;
  DownloadStatus status = DownloadIdle;
  DownloadFailure failure = DownloadNoFailure;
  uint32_t http_status = 0;
  bool accepted = false;
  std::string body;
};

Expected Model(const Script& s) {
  Expected e;
  auto fail = [&](DownloadFailure why) {
    e.status = DownloadFailed;
    e.failure = why;
    e.steps.push_back({"Close", DownloadFailed});
  };
  e.steps.push_back({"Open", DownloadConnecting});
  if (!s.open_ok) return fail(s.reason), e;
  // Asked for over https, answered over anything else: refused before the status.
  bool https = s.url.compare(0, 8, "https://") == 0;
  if (https && !s.final_url.empty() && s.final_url.compare(0, 8, "https://") != 0)
    return fail(DownloadRedirectedToHttp), e;
  e.steps.push_back({"GetStatus", DownloadConnecting});
  if (!s.status_ok) return fail(DownloadConnectionFailed), e;
  if (s.status != 200) {
    e.http_status = s.status;
    return fail(DownloadHttpStatus), e;
  }
  e.accepted = true;
  e.steps.push_back({"GetLastModified", DownloadConnecting});
  e.steps.push_back({"GetContentLength", DownloadConnecting});
  if (s.has_length && s.length > s.cap) return fail(DownloadTooLarge), e;
  size_t next = 0;
  uint32_t left = 0;  // of the piece being read
  for (int read = 0;; ++read) {
    e.steps.push_back({"Read " + std::to_string(read), DownloadReading});
    if (left == 0 && next < s.ops.size() && s.ops[next].kind == Op::kData) left = s.ops[next].size;
    if (left == 0 && next < s.ops.size() && s.ops[next].kind == Op::kFail) return fail(s.reason), e;
    if (left == 0) {
      if (s.has_length && e.body.size() < s.length) return fail(DownloadShortBody), e;
      e.status = DownloadComplete;
      e.steps.push_back({"Close", DownloadComplete});
      return e;
    }
    uint32_t n = left < kReadSize ? left : kReadSize;
    if (n > s.cap - e.body.size()) return fail(DownloadTooLarge), e;
    for (uint32_t i = 0; i < n; ++i) e.body += BodyByte(e.body.size());
    left -= n;
    if (left == 0) ++next;
  }
}

// What the worker's transport calls see, and the one call in which the task is destroyed:
// the worker stops there until the destroy aborts the transport. Each call notes the
// task's status as Wait(0) reports it, so every step is seen without a thread switch.
class Stage {
 public:
  explicit Stage(const std::string& destroy_call) : destroy_call_(destroy_call) {}
  // Before Start.
  void SetTask(DownloadTask* task) { task_ = task; }

  // The worker's side: false once the task is being destroyed.
  bool Arrive(const std::string& call) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (aborted_) {
      late_.push_back(call);
      return false;
    }
    steps_.push_back({call, task_->Wait(0)});
    if (call == "Close") closed_ = true;
    if (call == destroy_call_) held_ = true;
    changed_.notify_all();
    if (!held_) return true;
    changed_.wait(lock, [&] { return aborted_; });
    return false;
  }
  // This thread's side: true when the worker waits in the destroy call, false when it has
  // closed the transport without coming to it.
  bool WaitForDestroyCall() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return held_ || closed_; });
    return held_;
  }
  void Abort() {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    changed_.notify_all();
  }
  std::vector<Step> Steps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
  }
  // Calls made after the abort.
  std::vector<std::string> Late() {
    std::lock_guard<std::mutex> lock(mutex_);
    return late_;
  }

 private:
  const std::string destroy_call_;
  DownloadTask* task_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Step> steps_;
  std::vector<std::string> late_;
  bool held_ = false, closed_ = false, aborted_ = false;
};

class ScriptedTransport : public HttpTransport {
 public:
  ScriptedTransport(const Script& script, Stage* stage) : s_(script), stage_(stage) {}

  bool Open(const char* url, const std::string& if_modified_since) override {
    Check(url == s_.url && if_modified_since.empty());
    return Go("Open") && s_.open_ok;
  }
  bool GetStatus(uint32_t* code) override {
    if (!Go("GetStatus") && s_.abort_fails) return false;
    if (!s_.status_ok) return false;
    *code = s_.status;
    return true;
  }
  bool GetLastModified(CalendarTime* out) override {
    if (!Go("GetLastModified") && s_.abort_fails) return false;
    if (!s_.has_last_modified) return false;
    *out = s_.last_modified;
    return true;
  }
  bool GetContentLength(uint64_t* out) override {
    if (!Go("GetContentLength") && s_.abort_fails) return false;
    if (!s_.has_length) return false;
    *out = s_.length;
    return true;
  }
  bool Read(char* buffer, uint32_t size, uint32_t* done) override {
    *done = 0;
    Check(size == kReadSize);
    if (!Go("Read " + std::to_string(reads_++)) && s_.abort_fails) return false;
    if (left_ == 0 && next_ < s_.ops.size() && s_.ops[next_].kind == Op::kData)
      left_ = s_.ops[next_].size;
    if (left_ == 0) return next_ >= s_.ops.size() || s_.ops[next_].kind != Op::kFail;
    uint32_t n = left_ < size ? left_ : size;
    for (uint32_t i = 0; i < n; ++i) buffer[i] = BodyByte(sent_++);
    left_ -= n;
    if (left_ == 0) ++next_;
    *done = n;
    return true;
  }
  void Abort() override { stage_->Abort(); }
  void Close() override { Go("Close"); }
  DownloadFailure Failure() override { return s_.reason; }
  bool GetFinalUrl(std::string* out) override {
    if (s_.final_url.empty()) return false;
    *out = s_.final_url;
    return true;
  }

 private:
  // False once the task is being destroyed: a real transport then fails every call, a deaf
  // one goes on.
  bool Go(const std::string& call) { return stage_->Arrive(call) || !s_.abort_fails; }

  const Script s_;
  Stage* stage_;
  size_t next_ = 0;
  uint32_t left_ = 0;
  uint64_t sent_ = 0;
  int reads_ = 0;
};

// The transitions of a download. Accepted lasts no transport call (the body is read at
// once), so Connecting is seen followed by Reading.
bool Allowed(DownloadStatus from, DownloadStatus to) {
  if (from == to) return true;
  switch (from) {
    case DownloadIdle:
      return to == DownloadConnecting || to == DownloadFailed;
    case DownloadConnecting:
      return to == DownloadAccepted || to == DownloadFailed || to == DownloadReading;
    case DownloadAccepted:
      return to == DownloadReading;
    case DownloadReading:
      return to == DownloadComplete || to == DownloadFailed;
    default:
      return false;  // Complete and Failed are final
  }
}

bool SameTime(const CalendarTime& a, const CalendarTime& b) {
  return memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Script script = Parse(data, size);
  const Expected expected = Model(script);
  Stage stage(script.destroy_at == 0  ? "Open"
              : script.destroy_at > 0 ? "Read " + std::to_string(script.destroy_at - 1)
                                      : "");
  FinishSignal finished;
  DownloadTask* task = CreateDownloadTask(
      script.url.c_str(),
      [&] { return std::unique_ptr<HttpTransport>(new ScriptedTransport(script, &stage)); },
      &finished, script.cap);
  Check(task != nullptr);
  stage.SetTask(task);

  std::unique_ptr<char[]> url(new char[512]);
  int has_url = task->GetSourceUrl(url.get());
  bool fits = !script.url.empty() && script.url.size() < 512;
  Check(has_url == (fits ? 1 : 0) && url.get() == (fits ? script.url : std::string()));

  Check(task->Wait(0) == DownloadIdle);
  if (script.destroy_at == -1) {
    DestroyDownloadTask(task);
    Check(finished.Count() == 0 && stage.Steps().empty() && stage.Late().empty());
    return 0;
  }
  task->Start();
  if (script.start_again) task->Start();  // while it runs: nothing changes

  // Each call the worker made, in order, with the status at that moment: as the model says,
  // and each status reached by the allowed transitions.
  auto check_steps = [&](const std::vector<Step>& steps) {
    Check(steps.size() <= expected.steps.size());
    DownloadStatus last = DownloadIdle;
    for (size_t i = 0; i < steps.size(); ++i) {
      Check(steps[i].call == expected.steps[i].call && steps[i].status == expected.steps[i].status);
      Check(Allowed(last, steps[i].status));
      last = steps[i].status;
    }
  };
  if (script.destroy_at >= 0 && stage.WaitForDestroyCall()) {
    check_steps(stage.Steps());
    DestroyDownloadTask(task);
    // The worker ended in time, raised its signal once, read no further and closed last.
    Check(finished.Count() == 1);
    std::vector<std::string> late = stage.Late();
    Check(!late.empty() && late.back() == "Close");
    for (size_t i = 0; i + 1 < late.size(); ++i)
      Check(late[i] != "Close" && late[i].compare(0, 5, "Read ") != 0);
    return 0;
  }

  DownloadStatus final_status = task->Wait(-1);
  std::vector<Step> steps = stage.Steps();
  check_steps(steps);
  Check(steps.size() == expected.steps.size());
  Check(final_status == steps.back().status && final_status == expected.status);
  Check(task->Wait(0) == final_status && finished.Count() == 1);
  if (script.start_again) {
    task->Start();
    Check(task->Wait(-1) == final_status && finished.Count() == 1);
  }
  uint32_t http_status = 12345;
  Check(task->GetFailure(&http_status) == expected.failure && http_status == expected.http_status);

  CalendarTime time;
  memset(&time, 0xA5, sizeof time);
  Check(task->GetLastModified(&time) == 0);
  CalendarTime want = {};
  if (expected.accepted && script.has_last_modified) {
    want = script.last_modified;
    want.milliseconds = 0;
  }
  Check(SameTime(time, want));

  if (final_status == DownloadComplete) {
    const char* bytes = reinterpret_cast<const char*>(&time);
    int n = task->GetData(&bytes);
    Check(n >= 0 && size_t(n) == expected.body.size() && size_t(n) <= script.cap);
    // Never less than was announced.
    Check(!script.has_length || uint64_t(n) >= script.length);
    if (n == 0)
      Check(bytes == reinterpret_cast<const char*>(&time));
    else
      Check(memcmp(bytes, expected.body.data(), size_t(n)) == 0);
  }
  DestroyDownloadTask(task);
  Check(stage.Late().empty() && stage.Steps().size() == expected.steps.size());
  return 0;
}
