// costupdate-perf's measurements: loading, comparing and writing through a database library.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "data/price_library.h"

// Opens the library the program would use; null with *error set when it cannot. The
// library belongs to the opener.
typedef std::function<PriceLibrary*(std::string* error)> PerfLibraryOpener;

// argv are the arguments after the program name:
//   load FILE                      one load and sort of FILE
//   compare DIR FILE               load FILE, then compare it twice with the database in DIR
//   apply DIR FILE [--overwrite-prices]
//                                  load and compare, select every shown item, write them
//   paint DIR FILE                 load and compare, then build one page's drawing list
//   in-memory DIR FILE             load and compare through an in-memory copy of the
//                                  file's groups in DIR: the program's own share
// Each prints one line of name=value pairs on out. Returns 0, 1 on a failure, 2 on a
// usage error.
int RunPerf(int argc, const char* const* argv, const PerfLibraryOpener& open_library, FILE* out,
            FILE* err);
