// WinINet's error codes as download failures, and the https-to-http redirect test.
#include "net/download_failure.h"

namespace {

// The codes of wininet.h, which portable code cannot include.
enum : uint32_t {
  kErrorNotEnoughMemory = 8,  // ERROR_NOT_ENOUGH_MEMORY
  kErrorOutOfMemory = 14,     // ERROR_OUTOFMEMORY
  kTimeout = 12002,
  kNameNotResolved = 12007,
  kCannotConnect = 12029,
  kCertDateInvalid = 12037,
  kCertCnInvalid = 12038,
  kHttpsToHttpOnRedirect = 12040,
  kClientAuthCertNeeded = 12044,
  kInvalidCa = 12045,
  kCertErrors = 12055,
  kCertNoRevocation = 12056,
  kCertRevocationFailed = 12057,
  kSecurityChannelError = 12157,
  kDisconnected = 12163,
  kServerUnreachable = 12164,
  kInvalidCert = 12169,
  kCertRevoked = 12170,
  kFailedSecurityCheck = 12171,
  kDecodingFailed = 12175,
};

bool StartsWithIgnoringCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

DownloadFailure WinInetFailure(uint32_t error) {
  switch (error) {
    // Wine says 12057 where Windows says 12045 for a root it does not know.
    case kInvalidCa:
    case kCertNoRevocation:
    case kCertRevocationFailed:
      return DownloadCertificateUntrusted;
    case kCertCnInvalid:
      return DownloadCertificateName;
    case kCertDateInvalid:
      return DownloadCertificateExpired;
    case kClientAuthCertNeeded:
    case kCertErrors:
    case kSecurityChannelError:
    case kInvalidCert:
    case kCertRevoked:
    case kFailedSecurityCheck:
    case kDecodingFailed:
      return DownloadCertificateProblem;
    case kNameNotResolved:
      return DownloadHostNotFound;
    case kCannotConnect:
    case kDisconnected:
    case kServerUnreachable:
      return DownloadCannotConnect;
    case kTimeout:
      return DownloadTimedOut;
    case kHttpsToHttpOnRedirect:
      return DownloadRedirectedToHttp;
    case kErrorNotEnoughMemory:
    case kErrorOutOfMemory:
      return DownloadOutOfMemory;
    default:
      return DownloadConnectionFailed;
  }
}

bool RedirectedToHttp(const std::string& requested, const std::string& final_url) {
  return StartsWithIgnoringCase(requested, "https://") &&
         !StartsWithIgnoringCase(final_url, "https://");
}
