// Case-insensitive comparison of code page 932 texts, as the database comparison needs it.
#pragma once

// 0 when equal without regard to case. On Windows this is lstrcmpiA; the portable
// stand-in folds only ASCII letters that are not the trail byte of a double-byte character.
int CompareTextNoCase(const char* a, const char* b);
