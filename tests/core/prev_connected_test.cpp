#include "core/prev_connected.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/fake_connection.h"

namespace {

class PrevConnectedTest : public ::testing::Test {
 protected:
  void Close(std::string_view nick, std::string_view ip, std::uint64_t at) {
    auto connection = users.Connect(nick);
    connection->IP = std::string(ip);
    prev.Touch(*connection, at);
  }

  TFakeUsers users;
  TPrevConnected prev;
};

TEST_F(PrevConnectedTest, NicksAreKnownWithoutCaseAndFromBufferSlices) {
  Close("Alice", "10.0.0.1", 1'000);
  Close("", "10.0.0.2", 1'000);  // left before it had a nick
  EXPECT_TRUE(prev.WasConnected("alice"));
  EXPECT_FALSE(prev.WasConnected("bob"));
  EXPECT_FALSE(prev.WasConnected(""));
  const char buffer[] = "$To: ALICE From: bob";
  EXPECT_TRUE(prev.WasConnectedBuf(buffer + 5, 5));
  EXPECT_FALSE(prev.WasConnectedBuf(buffer + 5, 4));
  EXPECT_FALSE(prev.WasConnectedBuf(buffer, 0));
  EXPECT_FALSE(prev.WasConnectedBuf(nullptr, 5));
  EXPECT_EQ(prev.CountByNick(), 1);
  EXPECT_EQ(prev.CountByIP(), 2);
  EXPECT_TRUE(prev.WasConnectedIP("10.0.0.2"));
}

TEST_F(PrevConnectedTest, PurgeDropsWhatWasLastSeenBeforeTheCutoff) {
  Close("a", "10.0.0.1", 1'000);
  Close("b", "10.0.0.2", 2'000);
  Close("c", "10.0.0.3", 3'000);
  Close("A", "10.0.0.9", 3'500);  // "a" seen again, from another address

  prev.Purge(3'000);
  EXPECT_TRUE(prev.WasConnected("a"));
  EXPECT_FALSE(prev.WasConnected("b"));
  EXPECT_TRUE(prev.WasConnected("c"));  // seen exactly at the cutoff
  EXPECT_FALSE(prev.WasConnectedIP("10.0.0.1"));
  EXPECT_FALSE(prev.WasConnectedIP("10.0.0.2"));
  EXPECT_TRUE(prev.WasConnectedIP("10.0.0.3"));
  EXPECT_TRUE(prev.WasConnectedIP("10.0.0.9"));

  prev.Purge(10'000);
  EXPECT_EQ(prev.CountByNick(), 0);
  EXPECT_EQ(prev.CountByIP(), 0);
}

TEST_F(PrevConnectedTest, ManyEntriesPurgeCompletely) {
  for (int i = 0; i < 500; ++i)
    Close("user" + std::to_string(i),
          "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
          static_cast<std::uint64_t>(i % 2 == 0 ? 100 : 900));
  prev.Purge(500);
  EXPECT_EQ(prev.CountByNick(), 250);
  EXPECT_EQ(prev.CountByIP(), 250);
  for (int i = 0; i < 500; ++i)
    EXPECT_EQ(prev.WasConnected("user" + std::to_string(i)), i % 2 == 1) << i;
}

}  // namespace
