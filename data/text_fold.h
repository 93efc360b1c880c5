// Case-insensitive comparison of code page 932 bytes that leaves double-byte characters alone.
#pragma once

// Folds only ASCII letters that are not the trail byte of a double-byte character, so
// "ア" (0x83 0x41) and "ヂ" (0x83 0x61) stay different. <0, 0 or >0.
int CompareFoldedSjis(const char* a, const char* b);
