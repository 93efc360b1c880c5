// Whether the program may write where it keeps its state: the program folder and its cache
// folder, tried with a file made and removed at once.
#pragma once

#include <string>

#include "data/disk.h"

// True when a new file can be created, closed and removed in program_dir (ending with its
// separator) and in its cache folder, which is made first when missing. Otherwise false, with
// *reason saying which step failed where; a file that was made but cannot be removed is
// reported too. Check files left by programs that ended in the middle are removed.
bool CanWriteProgramDir(Disk* disk, const char* program_dir, std::string* reason);
