#include "core/hub_stats.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(HubStatsTest, LoginsKeepTheFirstNickAndThePeaks) {
  TStats stats("10.0.0.1");
  stats.UserLoggedIn("a");
  stats.UserLoggedIn("b");
  --stats.CurrentUsers;  // a logged-in user's connection closed
  stats.UserLoggedIn("c");
  EXPECT_EQ(stats.CurrentUsers, 2);
  EXPECT_EQ(stats.PeakUsers, 2);
  EXPECT_EQ(stats.AllTimePeakUsers, 2);
  EXPECT_EQ(stats.FirstNick, "a");
  EXPECT_TRUE(stats.FirstUserSeen);

  stats.CurrentUsers = 0;  // everyone left: the first nick stays
  stats.UserLoggedIn("d");
  EXPECT_EQ(stats.FirstNick, "a");
  EXPECT_EQ(stats.PeakUsers, 2);
}

TEST(HubStatsTest, SharePeaksFollowTheLargestTotalBeyond32Bits) {
  TStats stats("10.0.0.1");
  const std::int64_t steps[] = {5'000'000'000'000, 1'000, 9'000'000'000'000, 0};
  const std::int64_t peaks[] = {5'000'000'000'000, 5'000'000'000'000, 9'000'000'000'000,
                                9'000'000'000'000};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    stats.CurrentSharesize = steps[i];
    stats.UpdateSharePeak();
    EXPECT_EQ(stats.PeakSharesize, peaks[i]) << i;
    EXPECT_EQ(stats.AllTimePeakSharesize, peaks[i]) << i;
  }
}

// Announced shares are added without trust: the total stays within
// 0..INT64_MAX, and a sum held at the maximum comes back exactly.
TEST(HubStatsTest, ShareTotalSaturatesAndComesBackExactly) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  enum TOp { Add, Remove, Change, Store };
  struct TStep {
    TOp op;
    std::int64_t bytes;
    std::int64_t total;
    std::int64_t peak;
  };
  struct TCase {
    const char* name;
    std::vector<TStep> steps;
  };
  const TCase cases[] = {
      {"logins, a change and a departure",
       {{Add, 5, 5, 5}, {Add, 3, 8, 8}, {Change, 1, 9, 9}, {Remove, 4, 5, 9}, {Remove, 5, 0, 9}}},
      {"two users at the maximum",
       {{Add, kMax, kMax, kMax}, {Add, kMax, kMax, kMax}, {Remove, kMax, kMax, kMax},
        {Remove, kMax, 0, kMax}}},
      {"a change below the maximum while saturated",
       {{Add, kMax, kMax, kMax}, {Add, 10, kMax, kMax}, {Change, 1 - kMax, 11, kMax},
        {Remove, 10, 1, kMax}}},
      {"three at the maximum",
       {{Add, kMax, kMax, kMax}, {Add, kMax, kMax, kMax}, {Add, kMax, kMax, kMax},
        {Remove, kMax, kMax, kMax}, {Remove, kMax, kMax, kMax}, {Change, -kMax, 0, kMax}}},
      {"never below zero", {{Add, 5, 5, 5}, {Remove, 7, 0, 5}, {Add, 2, 0, 5}, {Add, 1, 1, 5}}},
      {"a total stored directly is where changes start",
       {{Add, kMax, kMax, kMax}, {Add, kMax, kMax, kMax}, {Store, 7000, 7000, kMax},
        {Remove, 5000, 2000, kMax}}},
  };
  for (const TCase& c : cases) {
    TStats stats("10.0.0.1");
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const TStep& step = c.steps[i];
      switch (step.op) {
        case Add: stats.AddShare(step.bytes); break;
        case Remove: stats.RemoveShare(step.bytes); break;
        case Change: stats.AddShare(step.bytes); break;
        case Store: stats.CurrentSharesize = step.bytes; break;
      }
      EXPECT_EQ(stats.CurrentSharesize, step.total) << c.name << " step " << i;
      EXPECT_EQ(stats.PeakSharesize, step.peak) << c.name << " step " << i;
      EXPECT_EQ(stats.AllTimePeakSharesize, step.peak) << c.name << " step " << i;
    }
  }
}

TEST(HubStatsTest, LocalIPPrefersARealAddressOverLoopback) {
  struct TCase {
    const char* name;
    std::vector<std::string> host;
    std::vector<std::string> interfaces;
    std::string expected;
  };
  const TCase cases[] = {
      {"name unresolvable", {}, {"192.168.1.5"}, "127.0.0.1"},
      {"name resolves to a real address", {"10.1.2.3"}, {"192.168.1.5"}, "10.1.2.3"},
      {"loopback name, first real interface",
       {"127.0.1.1"},
       {"127.0.0.1", "192.168.1.5", "10.0.0.9"},
       "192.168.1.5"},
      {"loopback name, no real interface", {"127.0.1.1"}, {"127.0.0.1"}, "127.0.1.1"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ChooseLocalIP(c.host, c.interfaces), c.expected) << c.name;
}

}  // namespace
