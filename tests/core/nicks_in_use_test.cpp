#include "core/nicks_in_use.h"

#include <gtest/gtest.h>

#include "utils/constants.h"

namespace {

TEST(NicksInUse, ReservesTheProgramNamesFromTheStart) {
  TNicksInUse nicks;
  EXPECT_EQ(nicks.Count(), 2);
  EXPECT_TRUE(nicks.Exists(kProductName));
}

TEST(NicksInUse, ComparesWithoutCaseAndKeepsTheStoredSpelling) {
  TNicksInUse nicks;
  EXPECT_TRUE(nicks.Add("-Bot\xC4-"));
  EXPECT_FALSE(nicks.Add("-bot\xE4-"));  // Windows-1252 A/a umlaut fold together
  EXPECT_TRUE(nicks.Exists("-BOT\xC4-"));
  EXPECT_EQ(nicks.GetRealCase("-bot\xE4-"), "-Bot\xC4-");
  EXPECT_EQ(nicks.GetRealCase("other"), "");
  const char buffer[] = "$ValidateNick -BOT\xE4-|";
  EXPECT_TRUE(nicks.ExistsBuf(buffer + 14, 6));
  EXPECT_FALSE(nicks.ExistsBuf(buffer + 14, 5));
  EXPECT_FALSE(nicks.ExistsBuf(nullptr, 6));
  EXPECT_TRUE(nicks.Remove("-BOT\xC4-"));
  EXPECT_FALSE(nicks.Remove("-BOT\xC4-"));
  EXPECT_FALSE(nicks.Exists("-Bot\xC4-"));
}

TEST(NicksInUse, RefusesAnEmptyNick) {
  TNicksInUse nicks;
  EXPECT_FALSE(nicks.Add(""));
  EXPECT_FALSE(nicks.Exists(""));
}

}  // namespace
