// The file selector's lines (one per check-list address, plus the command-line file) and
// loading the selected file with its comparison against the database.
#pragma once

#include <string>
#include <vector>

#include "checklist/url_list.h"
#include "data/disk.h"
#include "data/item_store.h"
#include "data/price_library.h"

struct Catalogue {
  std::vector<std::string> lines;
  int selection = -1;  // -1: nothing selected
};

// Lines in list order, each with its cache file's local last-write time or the absent
// text, then the start-file line when start_file is not empty; selects that line, else
// line 0 when there is one.
void FillCatalogue(const UrlList& list, const char* program_dir, const char* start_file, Disk* disk,
                   Catalogue* out);

// Replaces the store with the items of the selected line's file and their states.
// Returns FileLoaded: 1 when the file was read.
int LoadSelectedFile(int selection, const UrlList& list, const char* program_dir,
                     const char* start_file, PriceLibrary* library, ItemStore* store);
