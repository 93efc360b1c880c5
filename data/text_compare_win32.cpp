// Case-insensitive comparison by the system, in the ANSI code page.
#include <windows.h>

#include "data/text_compare.h"

int CompareTextNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }
