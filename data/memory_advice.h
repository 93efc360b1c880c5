// Hints to the system about large, freshly allocated arrays.
#pragma once

#include <cstddef>

// Asks for large pages behind the untouched part of a large malloc'ed array, so that its
// first touch costs one fault per 2 MB instead of one per 4 KB. Where first touches are
// expensive (virtual machines), that is most of the cost of filling a large array. Only a
// hint: where the system has no such pages (or on Windows), nothing happens.
void AdviseLargePages(void* data, size_t bytes);
