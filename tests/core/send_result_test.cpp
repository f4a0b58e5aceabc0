#include "core/send_result.h"

#include <gtest/gtest.h>

namespace {

TSendResult WithOutcomes(std::uint64_t emptied, std::uint64_t notWritable,
                         std::uint64_t noBuffers) {
  TSendResult result(0);
  for (std::uint64_t i = 0; i < emptied; ++i) result.RecordOutcome(soEmptied);
  for (std::uint64_t i = 0; i < notWritable; ++i) result.RecordOutcome(soNotWritable);
  for (std::uint64_t i = 0; i < noBuffers; ++i) result.RecordOutcome(soNoBuffers);
  return result;
}

TEST(SendResultTest, BadLinkRule) {
  const struct {
    std::uint64_t emptied, notWritable, noBuffers;
    bool bad;
  } cases[] = {
      {0, 0, 0, false},      // no sends at all
      {100, 100, 0, false},  // half not writable, but under 201 samples
      {150, 150, 0, true},   // the same share over 300
      {121, 80, 0, false},   // 201 samples, 39.8 % not writable
      {120, 81, 0, true},    // 201 samples, 40.3 %
      {195, 0, 5, true},     // 2.5 % without buffer space
      {196, 0, 4, false},    // exactly 2 %
      {0, 0, 1, true},       // the only send found no buffers
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithOutcomes(c.emptied, c.notWritable, c.noBuffers).IsBadLink(), c.bad)
        << c.emptied << "/" << c.notWritable << "/" << c.noBuffers;
  }
}

TEST(SendResultTest, OutcomesIgnoreTheTopBitAndUnknownValues) {
  TSendResult result(0);
  result.RecordOutcome(0x80 | soClosed);
  result.RecordOutcome(soRemaining);
  result.RecordOutcome(5);
  result.RecordOutcome(0xFF);
  EXPECT_EQ(result.Outcome(soClosed), 1u);
  EXPECT_EQ(result.Outcome(soRemaining), 1u);
  EXPECT_EQ(result.Total(), 2u);
  result.ResetOutcomes();
  EXPECT_EQ(result.Total(), 0u);
}

TEST(SendResultTest, RatesComeFromTheLastCompleteWindow) {
  TSendResult result(1'000);
  for (std::uint64_t t = 1'000; t < 21'000; t += 2'000) result.AddSent(100'000, t);
  EXPECT_EQ(result.Sending(), 0u);  // the window is still running
  result.AddSent(7, 21'000);        // starts the next window
  EXPECT_EQ(result.Sending(), 50'000u);
  result.AddSent(0, 41'000);
  EXPECT_EQ(result.Sending(), 0u);  // 7 bytes / 20 s in whole bytes

  // Receiving runs apart, and a window past 4 GiB does not wrap.
  result.AddReceived(6'000'000'000, 2'000);
  result.AddReceived(0, 30'000);
  EXPECT_EQ(result.Recieving(), 300'000'000u);
  EXPECT_EQ(result.Sending(), 0u);

  // A reading from before the window start stays in the window.
  result.AddReceived(20, 10'000);
  result.AddReceived(0, 50'000);
  EXPECT_EQ(result.Recieving(), 1u);
}

}  // namespace
