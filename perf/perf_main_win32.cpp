// costupdate-perf for Windows: the measurements through QUPRA.dll beside the executable.
#include <windows.h>

#include <cstdio>
#include <string>

#include "data/qupra_binding.h"
#include "perf/measure.h"

int main(int argc, char** argv) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path, length < MAX_PATH ? length : 0);
  dll = dll.substr(0, dll.find_last_of('\\') + 1) + "QUPRA.dll";
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
