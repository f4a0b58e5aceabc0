#include "platform/local_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

// Local time is universal time shifted by the zone, never by more than 14 h.
TEST(LocalClockTest, NowLocalIsNearUniversalTime) {
  const auto universal = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  const TDateTime local = NowLocal();
  EXPECT_LE(std::abs(local.Seconds - universal), 14 * 3600 + 60);
  EXPECT_GE(DecodeDateTime(local).Year, 2024);
}

}  // namespace
