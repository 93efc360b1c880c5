// Command-line and program-directory rules of start-up.
#include "app/command_line.h"

#include <cstring>

#include "text/path_separator.h"

const char* SkipProgramName(const char* command_line) {
  const char* p = command_line;
  bool quoted = false;
  for (; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
    } else if (!quoted && (*p == ' ' || *p == '\t')) {
      break;
    }
  }
  while (*p == ' ') ++p;
  return p;
}

CommandLineResult ParseCommandLine(const char* command_line, char* start_file) {
  start_file[0] = '\0';
  const char* p = command_line;
  while (*p == ' ') ++p;  // blanks only: a tab is part of the name
  if (*p == '\0') return kCommandLineRun;
  if (*p == '-' || *p == '/') return kCommandLineSwitch;
  const char* begin = p;
  size_t length;
  if (*p == '"') {
    begin = p + 1;
    const char* close = std::strchr(begin, '"');
    length = close ? size_t(close - begin) : std::strlen(begin);
  } else {
    length = std::strlen(begin);
  }
  // A name cut to fit would be the name of another file.
  if (length >= kStartFileSize) return kCommandLineTooLong;
  std::memcpy(start_file, begin, length);
  start_file[length] = '\0';
  return kCommandLineRun;
}

bool ProgramDirFromModulePath(const char* module_path, char* out, size_t out_size,
                              LeadBytePredicate is_lead_byte) {
  size_t length = std::strlen(module_path);
  // The first byte is never a cut point of its own; no separator: the path stays whole.
  size_t last = FindLastSeparator(module_path, length, "\\:", is_lead_byte);
  size_t cut = last == kNoSeparator || last == 0 ? length : last + 1;
  if (out_size == 0) return false;
  if (cut >= out_size) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, module_path, cut);
  out[cut] = '\0';
  return true;
}
