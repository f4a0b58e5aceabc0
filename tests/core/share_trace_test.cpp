#include "core/share_trace.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hub_feed.h"
#include "core/hub_stats.h"
#include "nick_list_test_support.h"

namespace {

TEST(ShareTraceKeyTest, NickAndIPCannotBleedIntoEachOther) {
  const struct {
    const char* nick;
    const char* ip;
  } pairs[] = {
      {"ab", "1.2.3.4"},   {"a", "b1.2.3.4"},  {"ab1.2.3.", "4"},  {"", "ab1.2.3.4"},
      {"a|b", "1.2.3.4"},  {"a$b", "1.2.3.4"}, {"a b", "1.2.3.4"}, {"\xA0\xFF", "1.2.3.4"},
  };
  std::set<std::string> keys;
  for (const auto& p : pairs) {
    const std::string key = ShareTraceKey(p.nick, p.ip);
    EXPECT_EQ(key, std::string(p.nick) + '\x01' + p.ip);
    keys.insert(key);
  }
  EXPECT_EQ(keys.size(), std::size(pairs));
}

class ShareTraceTest : public ::testing::Test, public TNickListFixture {
 protected:
  ShareTraceTest()
      : feed(settings, language, list, stats, ""),
        trace(settings, language, feed, [this] { return now; }) {
    feed.SetSink([this](std::string_view line) { feedLines.emplace_back(line); });
  }

  THubSocket& User(std::string_view nick, std::string_view ip, std::int64_t share) {
    online.push_back(users.Connect(nick));
    THubSocket& user = *online.back();
    user.IP = std::string(ip);
    user.UserInfo().RealShare = share;
    return user;
  }

  TStats stats{"127.0.0.1"};
  TDateTime now{1'000'000};
  THubFeed feed;
  TShareTrace trace;
  std::vector<std::string> feedLines;
};

TEST_F(ShareTraceTest, ASameShareIsRefusedWithTheReasonUntilItChanges) {
  THubSocket& kicked = User("bob", "10.0.0.1", 1000);
  trace.Add(kicked, "share more");

  THubSocket& again = User("BOB", "10.0.0.1", 1000);
  EXPECT_FALSE(trace.Check(again));
  EXPECT_EQ(Take(again), "<" + settings.BotName() +
                             "> You've been kicked because: share more and still haven't "
                             "corrected your share|");
  EXPECT_EQ(trace.Count(), 1);

  THubSocket& changed = User("bob", "10.0.0.1", 1001);
  EXPECT_TRUE(trace.Check(changed));
  EXPECT_EQ(Take(changed), "");
  EXPECT_EQ(trace.Count(), 0);
  ASSERT_EQ(feedLines.size(), 1u);
  EXPECT_NE(feedLines[0].find("bob (IP: 10.0.0.1) has updated the share"), std::string::npos);

  EXPECT_TRUE(trace.Check(again));  // nothing remembered any more
}

TEST_F(ShareTraceTest, CheckWithoutReasonQuietNotifyAndOtherAddresses) {
  settings.ShareTraceNotifyShareUpdate = false;
  THubSocket& kicked = User("bob", "10.0.0.1", 1000);
  trace.Add(kicked, "");
  trace.Add(kicked, "a second kick keeps the first item");
  ASSERT_NE(trace.Find("bob", "10.0.0.1"), nullptr);
  EXPECT_EQ(trace.Find("bob", "10.0.0.1")->Reason, "");

  EXPECT_TRUE(trace.Check(User("bob", "10.0.0.2", 1000)));    // another address
  EXPECT_TRUE(trace.Check(User("bobby", "10.0.0.1", 1000)));  // another nick
  THubSocket& same = User("bob", "10.0.0.1", 1000);
  EXPECT_FALSE(trace.Check(same));
  EXPECT_EQ(Take(same), "<" + settings.BotName() +
                            "> You've been requested to update your share but you still "
                            "haven't|");
  EXPECT_TRUE(trace.Check(User("bob", "10.0.0.1", 0)));
  EXPECT_TRUE(feedLines.empty());
}

TEST_F(ShareTraceTest, AReasonCannotSmuggleACommandIntoTheBotLine) {
  THubSocket& kicked = User("bob", "10.0.0.1", 5);
  trace.Add(kicked, "x|$ForceMove evil.example");
  THubSocket& again = User("bob", "10.0.0.1", 5);
  EXPECT_FALSE(trace.Check(again));
  EXPECT_EQ(Messages(Take(again)).size(), 1u);
}

TEST_F(ShareTraceTest, ExpireKeepsItemsMadeAtOrAfterTheCutoff) {
  const std::int64_t made[] = {100, 200, 300, 400};
  for (std::int64_t seconds : made) {
    now = TDateTime{seconds};
    trace.Add(User("u" + std::to_string(seconds), "10.0.0.1", 1), "r");
  }
  trace.Expire(TDateTime{300});
  EXPECT_EQ(trace.Count(), 2);
  EXPECT_EQ(trace.Find("u200", "10.0.0.1"), nullptr);
  EXPECT_NE(trace.Find("u300", "10.0.0.1"), nullptr);
  EXPECT_NE(trace.Find("u400", "10.0.0.1"), nullptr);
  trace.Clear();
  EXPECT_EQ(trace.Count(), 0);
}

}  // namespace
