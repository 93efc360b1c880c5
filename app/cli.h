// costupdate-cli: the catalogue, the comparison and the writing of the GUI, from scripts.
#pragma once

#include <functional>
#include <string>

#include "data/price_library.h"
#include "text/path_separator.h"

// Opens the database library for a program directory (ending with its separator);
// null with *error set when it cannot.
typedef std::function<PriceLibrary*(const char* program_dir, std::string* error)> LibraryOpener;

struct CliResult {
  // 0 done; 1 file not opened or a write not verified; 2 usage error; 3 (patrol) some
  // address not fetched into its cache file
  int exit_code;
  std::string out;  // standard output, code page 932 unless --utf8
  std::string err;  // standard error, one line
};

// args are the arguments after the program name. default_dir is the executable's folder.
// The library belongs to the caller's opener and is not deleted here. is_lead_byte is the
// code page's rule for the bytes of --dir (Windows passes the ANSI code page's).
CliResult RunCli(int argc, const char* const* args, const char* default_dir,
                 const LibraryOpener& open_library,
                 LeadBytePredicate is_lead_byte = IsSjisLeadByte);

extern const char kCliUsage[];
