// WinINet's error codes as reasons, and the redirect that drops https.
#include "net/download_failure.h"

#include <gtest/gtest.h>

namespace {

TEST(WinInetFailure, EachCodeItsReason) {
  const struct {
    uint32_t code;
    DownloadFailure want;
  } cases[] = {
      // Seen under Wine 8 against loopback servers, and their Windows twins.
      {12057, DownloadCertificateUntrusted},  // untrusted root (Wine)
      {12045, DownloadCertificateUntrusted},  // untrusted root (Windows)
      {12056, DownloadCertificateUntrusted},  // revocation not checked
      {12038, DownloadCertificateName},
      {12037, DownloadCertificateExpired},
      {12055, DownloadCertificateProblem},
      {12157, DownloadCertificateProblem},  // the TLS channel itself
      {12169, DownloadCertificateProblem},
      {12170, DownloadCertificateProblem},  // revoked
      {12175, DownloadCertificateProblem},
      {12044, DownloadCertificateProblem},  // the server wants a client certificate
      {12007, DownloadHostNotFound},
      {12029, DownloadCannotConnect},
      {12164, DownloadCannotConnect},
      {12163, DownloadCannotConnect},
      {12002, DownloadTimedOut},
      {12040, DownloadRedirectedToHttp},
      {8, DownloadOutOfMemory},
      {14, DownloadOutOfMemory},
      // Everything else, neighbours of the codes above included, is a plain failure.
      {0, DownloadConnectionFailed},
      {12001, DownloadConnectionFailed},
      {12003, DownloadConnectionFailed},
      {12006, DownloadConnectionFailed},  // unknown scheme
      {12030, DownloadConnectionFailed},  // connection aborted
      {12031, DownloadConnectionFailed},  // connection reset
      {12039, DownloadConnectionFailed},  // http to https: followed, never an error
      {12152, DownloadConnectionFailed},  // invalid server response
      {12058, DownloadConnectionFailed},
      {0xFFFFFFFFu, DownloadConnectionFailed},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, WinInetFailure(c.code)) << c.code;
}

TEST(RedirectedToHttp, OnlyHttpsThatLeftHttps) {
  const struct {
    const char* requested;
    const char* final_url;
    bool refused;
  } cases[] = {
      {"https://a/x", "http://a/x", true},
      {"HTTPS://a/x", "HTTP://b/y", true},
      {"https://a/x", "ftp://a/x", true},
      {"https://a/x", "", true},
      {"https://a/x", "https://a/x", false},
      {"https://a/x", "hTTps://b:8443/y", false},
      {"http://a/x", "http://a/y", false},
      {"http://a/x", "https://a/x", false},
      {"httpsx://a", "http://a", false},
      {"https:/a/x", "http://a/x", false},
      {"", "http://a", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.refused, RedirectedToHttp(c.requested, c.final_url))
        << c.requested << " -> " << c.final_url;
}

}  // namespace
