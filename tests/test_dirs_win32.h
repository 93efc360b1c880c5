// Folders of the Windows tests: the test program's own and fresh temporary ones.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "text/path_separator.h"

// The test program's folder, with its separator: the built programs and QUPRA.dll are there.
inline std::string ExeDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  size_t last = FindLastSeparator(dir.data(), dir.size(), "\\",
                                  [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; });
  return dir.substr(0, last == kNoSeparator ? 0 : last + 1);
}

// A new empty folder under the temporary folder, with its separator.
inline std::string NewTempDir(const char* prefix) {
  static int serial;
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  char dir[MAX_PATH];
  std::snprintf(dir, sizeof dir, "%s%s-%lu-%lu-%d\\", base, prefix, GetCurrentProcessId(),
                GetTickCount(), ++serial);
  CreateDirectoryA(dir, nullptr);
  return dir;
}
