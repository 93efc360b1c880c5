// costupdate-cli for Windows: the database through QUPRA.dll beside the executable.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/ansi_lead_byte.h"
#include "app/cli.h"
#include "app/command_line.h"
#include "data/qupra_binding.h"

int main(int argc, char** argv) {
  char module_path[4096];
  DWORD length = GetModuleFileNameA(nullptr, module_path, sizeof module_path);
  char dir[4096] = ".\\";
  if (length > 0 && length < sizeof module_path)
    ProgramDirFromModulePath(module_path, dir, sizeof dir, IsAnsiLeadByte);
  CliResult r = RunCli(
      argc - 1, argv + 1, dir,
      [](const char* program_dir, std::string* error) {
        // The DLL of the installation named by --dir, as the GUI there would use it.
        std::string path = std::string(program_dir) + "QUPRA.dll";
        char text[kBindingErrorSize];
        PriceLibrary* library = OpenQupraLibrary(path.c_str(), text);
        if (!library) *error = text;
        return library;
      },
      IsAnsiLeadByte);
  std::fwrite(r.out.data(), 1, r.out.size(), stdout);
  std::fwrite(r.err.data(), 1, r.err.size(), stderr);
  return r.exit_code;
}
