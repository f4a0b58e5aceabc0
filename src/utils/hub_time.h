#pragma once

#include <cstdint>
#include <string>

// The hub's millisecond clock. It reads the 64-bit monotonic clock, so it
// holds no state; values are only comparable with each other.
class TTime {
 public:
  static uint64_t Now();

  // "hh:mm:ss", prefixed by "d:" (days, as many digits as needed) once the
  // duration reaches a day. A negative duration (a moment already past)
  // prints as "00:00:00".
  static std::string FormatDuration(int64_t milliseconds);
};

// Extends a 32-bit millisecond tick (as some peers and counters deliver) to
// 64 bits by counting its wraps. Readings must come often enough that the
// tick never wraps twice between two of them.
class TTickWrap {
 public:
  uint64_t Extend(uint32_t tick);

 private:
  uint32_t lastTick_ = 0;
  uint64_t wraps_ = 0;
};
