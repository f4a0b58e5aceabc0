#include "core/cpu_info.h"

#include <gtest/gtest.h>

#include "platform/event_loop.h"

namespace {

TEST(CPUInfoTest, PercentIsFiveSignificantDigitsShownWithTwoDecimals) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "0.00%"},          {100, "100.00%"},       {12.3456, "12.35%"},
      {0.005, "0.01%"},      {0.0049, "0.00%"},      {99.995, "100.00%"},
      {99.994, "99.99%"},    {1234.56, "1234.60%"},  {0.125, "0.13%"},
      {-3, "0.00%"},         {799.999, "800.00%"},   {5.5, "5.50%"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCPUPercent(c.value), c.text) << c.value;
}

TEST(CPUInfoTest, LoadIsTheShareOfOneProcessorOverThePeriod) {
  EventLoop loop;
  TCPUSample sample{2'000'000, 1'000};
  TCPUInfo info(loop, [&] { return sample; });
  EXPECT_EQ(info.CPUUsage(), "N/A");
  EXPECT_EQ(info.CPUTime(), "00:00:00");

  // 15 s of processor time in 30 s: half a processor.
  sample = {17'000'000, 31'000};
  info.Update();
  EXPECT_EQ(info.CPUUsage(), "50.00%");
  EXPECT_EQ(info.CPUTime(), "00:00:17");

  // Two processors busy the whole time.
  sample = {77'000'000, 61'000};
  info.Update();
  EXPECT_EQ(info.CPUUsage(), "200.00%");

  // No time passed: the figure stays rather than dividing by zero.
  info.Update();
  EXPECT_EQ(info.CPUUsage(), "200.00%");

  // An hour and more of processor time.
  sample = {3'700'000'000, 91'000};
  info.Update();
  EXPECT_EQ(info.CPUTime(), "01:01:40");
}

}  // namespace
