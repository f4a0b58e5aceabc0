#pragma once

#include <chrono>
#include <cstdint>

// Microseconds of the monotonic clock: send and receive stamps of one
// process, so differences are delivery delays.
inline std::uint64_t NowUs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}
