// Large-page advice on Windows: large pages need a privilege that users lack, so none.
#include "data/memory_advice.h"

void AdviseLargePages(void*, size_t) {}
