// Native file names go to SQLite as they are.
#include "qupra/store_path.h"

bool SqliteFileName(const std::string& path, std::string* out) {
  // A relative "file:..." would read as a URI where SQLite is built to accept them.
  *out = path.compare(0, 5, "file:") == 0 ? "./" + path : path;
  return !path.empty();
}
