// The native stand-in for lstrcmpiA.
#include "data/text_compare.h"
#include "data/text_fold.h"

int CompareTextNoCase(const char* a, const char* b) { return CompareFoldedSjis(a, b); }
