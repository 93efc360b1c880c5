// The Patrol. Downloads are not built yet: a run fetches nothing and leaves the cache as it is.
#include "net/patrol.h"

void RunPatrol(HWND) {}
