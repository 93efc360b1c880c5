// What start-up takes from the command line and the executable's path.
#pragma once

#include <cstddef>

enum CommandLineResult {
  kCommandLineRun,      // start_file holds the file to offer (maybe empty)
  kCommandLineSwitch,   // a switch: the process ends at once
  kCommandLineTooLong,  // the file name does not fit; start_file is left empty
};

const size_t kStartFileSize = 512;
const size_t kProgramDirSize = 256;

// The command line without the program name, as WinMain receives it.
CommandLineResult ParseCommandLine(const char* command_line, char* start_file);

// The directory part of module_path (up to and including its last '\' or ':'; a path
// without either stays whole). Separator bytes that are the trail byte of a code page 932
// character do not count. False, with out empty, when the result does not fit out_size.
bool ProgramDirFromModulePath(const char* module_path, char* out, size_t out_size);
