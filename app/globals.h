// Process-wide state set at start-up and read by the rest of the program.
#pragma once

#include <cstdint>

#include "checklist/url_list.h"
#include "data/item_store.h"
#include "data/price_library.h"

// Directory of the executable, ending with its separator ("\" on Windows).
extern char ProgramDir[256];
// 0 when start-up found that ProgramDir or its cache folder cannot be written: the commands
// that would write there refuse, saying why.
extern int ProgramDirWritable;
// The two lists, their files in ProgramDir; the candidate list is constructed first.
extern class CandidateList CandidateList;
extern class CheckList CheckList;
// The update file named on the command line; empty when none.
extern char StartFile[512];
// The estimating database library, bound at start-up.
extern PriceLibrary* Library;
// The items of the loaded update file.
extern ItemStore Store;
// 1 when the last load found and read its file.
extern int FileLoaded;

// Mirrors of the main tool bar's check buttons; none is kept between runs.
// Bit k lets items with change bit k through (field filters 10001 + k).
extern uint16_t KindFilter;
// 1: category names and sub-number instead of the code column.
extern int ItemNameColumns;
// 1: a second line in each row with the database's values.
extern int ShowChanges;
// 1: writing replaces the database's two prices too.
extern int OverwritePrices;
