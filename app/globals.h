// Process-wide state set at start-up and read by the rest of the program.
#pragma once

#include "data/item_store.h"
#include "data/price_library.h"

// Directory of the executable, ending with its separator ("\" on Windows).
extern char ProgramDir[256];
// The update file named on the command line; empty when none.
extern char StartFile[512];
// The estimating database library, bound at start-up.
extern PriceLibrary* Library;
// The items of the loaded update file.
extern ItemStore Store;
// 1 when the last load found and read its file.
extern int FileLoaded;
