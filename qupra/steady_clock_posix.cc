// The coarse monotonic clock of Linux: read from the vDSO without a system call.
#include <time.h>

#include "qupra/steady_clock.h"

uint64_t SteadyMilliseconds() {
  timespec t;
  if (clock_gettime(CLOCK_MONOTONIC_COARSE, &t) != 0) clock_gettime(CLOCK_MONOTONIC, &t);
  return uint64_t(t.tv_sec) * 1000u + uint64_t(t.tv_nsec) / 1000000u;
}
