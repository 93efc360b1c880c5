// The tick count of Windows: read from shared memory, where the precise counters of the C++
// library take a system call under Wine (about 100 ns, too much for a million look-ups).
#include <windows.h>

#include "qupra/steady_clock.h"

uint64_t SteadyMilliseconds() { return GetTickCount64(); }
