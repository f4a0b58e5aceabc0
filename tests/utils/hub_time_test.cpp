#include "utils/hub_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct TDurationCase {
  int64_t ms;
  const char* text;
};

TEST(HubTime, FormatDuration) {
  const TDurationCase cases[] = {
      {0, "00:00:00"},
      {999, "00:00:00"},
      {3'723'000, "01:02:03"},
      {86'399'999, "23:59:59"},
      {86'400'000, "1:00:00:00"},
      {90'061'000, "1:01:01:01"},
      {10LL * 86'400'000 + 5'000, "10:00:00:05"},
      {-1, "00:00:00"},
      {INT64_MIN, "00:00:00"},
      {INT64_MAX, "106751991167:07:12:55"},
  };
  for (const auto& c : cases) EXPECT_EQ(TTime::FormatDuration(c.ms), c.text) << c.ms;
}

TEST(HubTime, NowNeverGoesBackwards) {
  uint64_t last = TTime::Now();
  for (int i = 0; i < 1000; ++i) {
    const uint64_t now = TTime::Now();
    ASSERT_GE(now, last);
    last = now;
  }
}

struct TWrapCase {
  const char* name;
  std::vector<uint32_t> ticks;
  std::vector<uint64_t> expected;
};

TEST(TickWrap, Extend) {
  constexpr uint64_t k2to32 = uint64_t{1} << 32;
  const TWrapCase cases[] = {
      {"no wrap", {0, 5, 5, 4'294'967'295u}, {0, 5, 5, 4'294'967'295u}},
      {"one wrap", {4'294'967'000u, 200}, {4'294'967'000u, 200 + k2to32}},
      {"wrap to zero", {4'294'967'295u, 0}, {4'294'967'295u, k2to32}},
      {"two wraps", {100, 50, 4'000'000'000u, 10},
       {100, 50 + k2to32, 4'000'000'000u + k2to32, 10 + 2 * k2to32}},
  };
  for (const auto& c : cases) {
    TTickWrap wrap;
    for (std::size_t i = 0; i < c.ticks.size(); ++i)
      EXPECT_EQ(wrap.Extend(c.ticks[i]), c.expected[i]) << c.name << " reading " << i;
  }
}

}  // namespace
