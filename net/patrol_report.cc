// The Patrol's wording table and the texts made from it.
#include "net/patrol_report.h"

namespace {

enum Reason {
  kWritten,
  kUnchanged,
  kHttpStatus,
  kUntrusted,
  kOtherName,
  kExpired,
  kCertificateProblem,
  kHostNotFound,
  kCannotConnect,
  kTimedOut,
  kRedirectedToHttp,
  kShortBody,
  kTooLarge,
  kOutOfMemory,
  kCancelled,
  kCacheWrite,
  kNoCacheName,
  kConnection,
};

struct Wording {
  Reason reason;
  const char* cli;   // after "failed: " for failures
  const char* user;  // the HTTP status's number follows both texts
};

// In Reason order. A cancelled line is never shown to the user: a stopped Patrol says
// nothing.
constexpr Wording kWordings[] = {
    {kWritten, "written", ""},
    {kUnchanged, "unchanged", ""},
    {kHttpStatus, "HTTP status ", "HTTP ステータス "},
    {kUntrusted, "certificate not trusted", "証明書が信頼されていません"},
    {kOtherName, "certificate for another name", "証明書の名前が一致しません"},
    {kExpired, "certificate expired", "証明書の有効期限が切れています"},
    {kCertificateProblem, "certificate problem", "証明書に問題があります"},
    {kHostNotFound, "host not found", "サーバーが見つかりません"},
    {kCannotConnect, "cannot connect", "サーバーに接続できません"},
    {kTimedOut, "timed out", "サーバーが応答しません"},
    {kRedirectedToHttp, "redirected to http",
     "暗号化されない http に転送されたため受け取りませんでした"},
    {kShortBody, "short body", "受信が途中で切れました"},
    {kTooLarge, "too large", "ファイルが大きすぎます"},
    {kOutOfMemory, "out of memory", "メモリが足りません"},
    {kCancelled, "cancelled", "中止しました"},
    {kCacheWrite, "cache write", "キャッシュファイルに書き込めません"},
    {kNoCacheName, "no cache file name", "キャッシュファイル名を作れない更新先です"},
    {kConnection, "connection", "通信に失敗しました"},
};

constexpr bool InReasonOrder() {
  for (size_t i = 0; i < sizeof kWordings / sizeof kWordings[0]; ++i)
    if (kWordings[i].reason != Reason(i)) return false;
  return sizeof kWordings / sizeof kWordings[0] == kConnection + 1;
}
static_assert(InReasonOrder(), "one wording per reason, in Reason order");

Reason ReasonOf(const PatrolLine& line) {
  switch (line.outcome) {
    case kPatrolWritten:
      return kWritten;
    case kPatrolUnchanged:
      return kUnchanged;
    case kPatrolNoCacheName:
      return kNoCacheName;
    case kPatrolCacheWriteFailed:
      return kCacheWrite;
    case kPatrolDownloadFailed:
      break;
  }
  switch (line.failure) {
    case DownloadHttpStatus:
      return kHttpStatus;
    case DownloadCertificateUntrusted:
      return kUntrusted;
    case DownloadCertificateName:
      return kOtherName;
    case DownloadCertificateExpired:
      return kExpired;
    case DownloadCertificateProblem:
      return kCertificateProblem;
    case DownloadHostNotFound:
      return kHostNotFound;
    case DownloadCannotConnect:
      return kCannotConnect;
    case DownloadTimedOut:
      return kTimedOut;
    case DownloadRedirectedToHttp:
      return kRedirectedToHttp;
    case DownloadShortBody:
      return kShortBody;
    case DownloadTooLarge:
      return kTooLarge;
    case DownloadOutOfMemory:
      return kOutOfMemory;
    case DownloadCancelled:
      return kCancelled;
    case DownloadNoFailure:
    case DownloadNotModified:  // the run reports it as unchanged
    case DownloadConnectionFailed:
      break;
  }
  return kConnection;
}

std::string Text(const PatrolLine& line, const char* wording) {
  std::string text = wording;
  if (ReasonOf(line) == kHttpStatus) text += std::to_string(line.http_status);
  return text;
}

}  // namespace

bool Fetched(const PatrolLine& line) {
  return line.outcome == kPatrolWritten || line.outcome == kPatrolUnchanged;
}

std::string DescribeOutcome(const PatrolLine& line) {
  const Wording& w = kWordings[ReasonOf(line)];
  return Fetched(line) ? w.cli : "failed: " + Text(line, w.cli);
}

std::string FailureForUser(const PatrolLine& line) {
  return Fetched(line) ? "" : Text(line, kWordings[ReasonOf(line)].user);
}

std::string PatrolFailureMessage(const std::vector<PatrolLine>& lines) {
  std::string text;
  size_t failed = 0;
  for (const PatrolLine& line : lines) {
    if (Fetched(line)) continue;
    if (++failed > kMaxNamedFailures) continue;
    // A check-list entry may have no name; its address then names it.
    text += "\n・" + (line.name.empty() ? line.url : line.name) + ": " + FailureForUser(line);
  }
  if (failed == 0) return "";
  if (failed > kMaxNamedFailures)
    text += "\nほか " + std::to_string(failed - kMaxNamedFailures) + " 件";
  return "次の更新先から取得できませんでした。前回取得したファイルはそのまま残っています。" + text;
}
