// costupdate-perf for Windows: the measurements through QUPRA.dll beside the executable.
#include <windows.h>

#include <cstdio>
#include <string>

#include "data/qupra_binding.h"
#include "perf/measure.h"
#include "text/path_separator.h"

int main(int argc, char** argv) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path, length < MAX_PATH ? length : 0);
  size_t last = FindLastSeparator(dll.data(), dll.size(), "\\",
                                  [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; });
  dll = dll.substr(0, last == kNoSeparator ? 0 : last + 1) + "QUPRA.dll";
  return RunPerf(
      argc - 1, argv + 1,
      [&](std::string* error) {
        char text[kBindingErrorSize];
        PriceLibrary* library = OpenQupraLibrary(dll.c_str(), text);
        if (!library) *error = text;
        return library;
      },
      stdout, stderr);
}
