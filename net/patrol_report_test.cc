// The Patrol's wording: each outcome's CLI text and user text, and the window's message.
#include "net/patrol_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PatrolLine Line(PatrolOutcome outcome, DownloadFailure failure = DownloadNoFailure,
                uint32_t status = 0, const char* name = "n") {
  PatrolLine line;
  line.name = name;
  line.url = "http://h/x.dat";
  line.outcome = outcome;
  line.failure = failure;
  line.http_status = status;
  return line;
}

PatrolLine Failed(DownloadFailure failure, uint32_t status = 0) {
  return Line(kPatrolDownloadFailed, failure, status);
}

TEST(PatrolReport, EveryOutcomeInBothWordings) {
  const struct {
    PatrolLine line;
    const char* cli;
    const char* user;
  } cases[] = {
      {Line(kPatrolWritten), "written", ""},
      {Line(kPatrolUnchanged), "unchanged", ""},
      // A failure noted on a fetched line does not make it a failure.
      {Line(kPatrolWritten, DownloadShortBody), "written", ""},
      {Failed(DownloadHttpStatus, 404), "failed: HTTP status 404", "HTTP ステータス 404"},
      {Failed(DownloadHttpStatus, 500), "failed: HTTP status 500", "HTTP ステータス 500"},
      {Failed(DownloadCertificateUntrusted), "failed: certificate not trusted",
       "証明書が信頼されていません"},
      {Failed(DownloadCertificateName), "failed: certificate for another name",
       "証明書の名前が一致しません"},
      {Failed(DownloadCertificateExpired), "failed: certificate expired",
       "証明書の有効期限が切れています"},
      {Failed(DownloadCertificateProblem), "failed: certificate problem", "証明書に問題があります"},
      {Failed(DownloadHostNotFound), "failed: host not found", "サーバーが見つかりません"},
      {Failed(DownloadCannotConnect), "failed: cannot connect", "サーバーに接続できません"},
      {Failed(DownloadTimedOut), "failed: timed out", "サーバーが応答しません"},
      {Failed(DownloadRedirectedToHttp), "failed: redirected to http",
       "暗号化されない http に転送されたため受け取りませんでした"},
      {Failed(DownloadShortBody), "failed: short body", "受信が途中で切れました"},
      {Failed(DownloadTooLarge), "failed: too large", "ファイルが大きすぎます"},
      {Failed(DownloadOutOfMemory), "failed: out of memory", "メモリが足りません"},
      {Failed(DownloadCancelled), "failed: cancelled", "中止しました"},
      {Line(kPatrolCacheWriteFailed), "failed: cache write", "キャッシュファイルに書き込めません"},
      {Line(kPatrolNoCacheName), "failed: no cache file name",
       "キャッシュファイル名を作れない更新先です"},
      {Failed(DownloadConnectionFailed), "failed: connection", "通信に失敗しました"},
      // A failed download without a reason, or with one this build does not know.
      {Failed(DownloadNoFailure), "failed: connection", "通信に失敗しました"},
      {Failed(DownloadFailure(99)), "failed: connection", "通信に失敗しました"},
      // The status number belongs to HTTP status lines only.
      {Failed(DownloadTooLarge, 404), "failed: too large", "ファイルが大きすぎます"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cli);
    EXPECT_EQ(c.cli, DescribeOutcome(c.line));
    EXPECT_EQ(c.user, FailureForUser(c.line));
    EXPECT_EQ(*c.user == '\0', Fetched(c.line));
  }
}

const std::string kFirst =
    "次の更新先から取得できませんでした。前回取得したファイルはそのまま残っています。";

TEST(PatrolReport, MessageNamesTheFailedInListOrder) {
  std::vector<PatrolLine> lines = {
      Line(kPatrolWritten, DownloadNoFailure, 0, "月次"),
      Line(kPatrolDownloadFailed, DownloadHttpStatus, 404, "四半期"),
      Line(kPatrolUnchanged, DownloadNoFailure, 0, "年次"),
      Line(kPatrolDownloadFailed, DownloadCertificateExpired, 0, "期限切れ"),
      Line(kPatrolCacheWriteFailed, DownloadNoFailure, 0, ""),
  };
  EXPECT_EQ(kFirst +
                "\n・四半期: HTTP ステータス 404"
                "\n・期限切れ: 証明書の有効期限が切れています"
                "\n・http://h/x.dat: キャッシュファイルに書き込めません",
            PatrolFailureMessage(lines));
  // Nothing to tell when every address was fetched, or there were none.
  lines = {lines[0], lines[2]};
  EXPECT_EQ("", PatrolFailureMessage(lines));
  EXPECT_EQ("", PatrolFailureMessage({}));
}

TEST(PatrolReport, MessageNamesAtMostTwentyAndCountsTheRest) {
  for (size_t failed : {1u, 19u, 20u, 21u, 22u, 57u}) {
    SCOPED_TRACE(failed);
    std::vector<PatrolLine> lines;
    std::string want = kFirst;
    for (size_t i = 0; i < failed; ++i) {
      // Fetched lines between the failed ones are not counted.
      lines.push_back(Line(kPatrolWritten, DownloadNoFailure, 0, "ok"));
      std::string name = "addr" + std::to_string(i);
      lines.push_back(Line(kPatrolDownloadFailed, DownloadCannotConnect, 0, name.c_str()));
      if (i < kMaxNamedFailures) want += "\n・" + name + ": サーバーに接続できません";
    }
    if (failed > kMaxNamedFailures)
      want += "\nほか " + std::to_string(failed - kMaxNamedFailures) + " 件";
    EXPECT_EQ(want, PatrolFailureMessage(lines));
  }
}

}  // namespace
