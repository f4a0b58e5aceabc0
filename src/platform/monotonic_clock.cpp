#include "platform/monotonic_clock.h"

#include <time.h>

uint64_t MonotonicMs() {
  timespec ts{};
  // CLOCK_MONOTONIC cannot fail with a valid pointer, so the result is not checked.
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}
