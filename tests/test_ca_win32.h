// The loopback https servers' test CA (tests/http_server.py --tls) made a trusted root of
// the Wine prefix, as an administrator would add a company CA.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_dirs_win32.h"

const char kTestCaName[] = "costupdate test CA";

// Puts the DER certificate at path into the machine's root store, after removing the test
// CAs of earlier runs (each run makes its own). An error text, empty on success.
inline std::string TrustTestCa(const std::string& path) {
  std::vector<unsigned char> der;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    unsigned char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      der.insert(der.end(), buffer, buffer + n);
    std::fclose(f);
  }
  if (der.empty()) return "cannot read " + path;
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
  if (!store) return "cannot open the root store: " + std::to_string(GetLastError());
  while (PCCERT_CONTEXT old = CertFindCertificateInStore(
             store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_A, kTestCaName, nullptr)) {
    if (!CertDeleteCertificateFromStore(old)) break;  // frees old in any case
  }
  BOOL added =
      CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), DWORD(der.size()),
                                       CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  DWORD error = GetLastError();
  // Wine keeps the root store open for the whole process and writes it to the registry
  // only when told to.
  if (added && !CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
    added = FALSE;
    error = GetLastError();
  }
  CertCloseStore(store, 0);
  return added ? "" : "cannot add the test CA: " + std::to_string(error);
}

// TrustTestCa in a process of its own (window_probe trust-ca, beside the test program): Wine
// reads the root store once per process, so a test process must find the CA there when
// it starts its first https request. An error text, empty on success.
inline std::string TrustTestCaFromHelper(const std::string& path) {
  std::string command = "\"" + ExeDir() + "window_probe.exe\" trust-ca \"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return "cannot run " + command;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == 0 ? "" : command + " failed";
}
