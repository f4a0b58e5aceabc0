#include "core/hub_stats.h"

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
