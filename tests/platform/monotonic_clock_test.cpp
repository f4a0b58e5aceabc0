#include "platform/monotonic_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(MonotonicClock, CountsMilliseconds) {
  const uint64_t start = MonotonicMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const uint64_t elapsed = MonotonicMs() - start;
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 5'000u);  // milliseconds, not micro- or nanoseconds
}

}  // namespace
