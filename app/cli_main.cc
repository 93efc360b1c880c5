// costupdate-cli for Linux: the database through the storage code linked in.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli.h"
#include "qupra/store_library.h"

int main(int argc, char** argv) {
  char exe[PATH_MAX] = "";
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string dir = n > 0 ? std::string(exe, size_t(n)) : std::string("./");
  dir.erase(dir.find_last_of('/') + 1);
  std::unique_ptr<StoreLibrary> library;
  CliResult r = RunCli(argc - 1, argv + 1, dir.c_str(), [&](const char*, std::string*) {
    library.reset(new StoreLibrary());
    return library.get();
  });
  std::fwrite(r.out.data(), 1, r.out.size(), stdout);
  std::fwrite(r.err.data(), 1, r.err.size(), stderr);
  return r.exit_code;
}
