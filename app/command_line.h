// What start-up takes from the command line and the executable's path.
#pragma once

#include <cstddef>

#include "text/path_separator.h"

enum CommandLineResult {
  kCommandLineRun,      // start_file holds the file to offer (maybe empty)
  kCommandLineSwitch,   // a switch: the process ends at once
  kCommandLineTooLong,  // the file name does not fit; start_file is left empty
};

const size_t kStartFileSize = 512;
const size_t kProgramDirSize = 256;

// The arguments of a whole command line (GetCommandLineA): the program name is skipped as
// the C runtime reads it (quoted parts may hold blanks; otherwise it ends at a blank or a
// tab), then only the 0x20 blanks after it. MinGW's start-up code also drops tabs and other
// control bytes there, which would turn a file name that begins with a tab into another one.
const char* SkipProgramName(const char* command_line);

// The command line without the program name.
CommandLineResult ParseCommandLine(const char* command_line, char* start_file);

// The directory part of module_path (up to and including its last '\' or ':'; a path
// without either stays whole). Separator bytes that are the trail byte of a double-byte
// character do not count; is_lead_byte tells those characters (Windows passes the ANSI code
// page's rule). False, with out empty, when the result does not fit out_size.
bool ProgramDirFromModulePath(const char* module_path, char* out, size_t out_size,
                              LeadBytePredicate is_lead_byte = IsSjisLeadByte);
