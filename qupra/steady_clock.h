// A cheap monotonic millisecond clock for deciding when cached data must be checked again.
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start; never goes back. Called on every look-up, so it
// must cost a few nanoseconds: a coarse clock, not a precise one.
uint64_t SteadyMilliseconds();
