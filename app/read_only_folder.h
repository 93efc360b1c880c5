// A program folder that cannot be written: found at start, told once, and told again by
// each command that would write into it.
#pragma once

#include <windows.h>

// Set by the restart as administrator, so that the restarted program does not offer it again.
extern const char kRestartedVariable[];

// Tries ProgramDir and its cache folder. When they cannot be written, clears
// ProgramDirWritable and asks whether to start again as administrator; false when that
// start succeeded and this process is to end.
bool CheckProgramDirAtStart(const char* command_line_arguments);

// When ProgramDir cannot be written: tells so in a box owned by owner and gives true, and the
// caller writes nothing. False otherwise.
bool RefuseReadOnlyFolder(HWND owner);
