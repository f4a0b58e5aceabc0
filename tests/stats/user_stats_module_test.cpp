#include "stats/user_stats_module.h"

#include <gtest/gtest.h>

#include "core/hub_core.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "core/program_lifecycle.h"
#include "platform/event_loop.h"
#include "platform/tcp_listener.h"
#include "settings/settings.h"
#include "stats/user_stats_local.h"
#include "stats_fixture.h"
#include "support/loop_runner.h"
#include "support/loopback_hub.h"
#include "support/nmdc_test_client.h"
#include "support/temp_folder.h"

namespace {

class UserStatsModuleTest : public TStatsFixture {
 protected:
  TUserStatsModule module_{Context(), [] { return std::uint64_t{0}; }};
};

TEST_F(UserStatsModuleTest, HourlyPruneOnlyWhileEnabledAndAboveZero) {
  struct TCase {
    TEnabledInt Prune;
    bool Pruned;
  } cases[] = {{{true, 5}, true}, {{false, 5}, false}, {{true, 0}, false}, {{true, 7}, false}};
  for (const TCase& c : cases) {
    settings_.UserStatsType = 1;
    now_ = At(2024, 5, 6, 12, 0, 0);
    THubSocket& user = Online("old");
    module_.LoggedIn(user);
    nickList_.Remove(user);
    module_.LoggedOut(user);
    user.Close(false);
    now_ = At(2024, 5, 12, 12, 0, 0);  // six days on
    settings_.UserStatsAutoPrune = c.Prune;
    module_.HourlyStep();
    EXPECT_EQ(module_.Local().FindNick("old") == nullptr, c.Pruned)
        << c.Prune.Enabled << " " << c.Prune.Value;
  }
}

TEST_F(UserStatsModuleTest, TypeZeroRecordsNoLogin) {
  settings_.UserStatsType = 0;
  THubSocket& user = Online("quiet");
  module_.LoggedIn(user);
  EXPECT_EQ(module_.Local().FindNick("quiet"), nullptr);
  EXPECT_FALSE(user.StatsLogin);
  settings_.UserStatsType = 1;
  module_.LoggedIn(user);
  EXPECT_NE(module_.Local().FindNick("quiet"), nullptr);
}

// The root built with the statistics: logins and logouts of real clients
// reach the in-memory back end, and a stored mute comes back with the nick.
class UserStatsRootTest : public testing::Test {
 protected:
  UserStatsRootTest() { root_.Settings().PerformDNSLookup = false; }

  TUserStatsModule& Module() { return dynamic_cast<TUserStatsModule&>(root_.UserStats()); }

  void LogIn(TNmdcTestClient& client, int port, const std::string& nick) {
    ASSERT_TRUE(client.Greet(loop_, port, nick)) << client.Received();
    ASSERT_TRUE(client.WaitFor(loop_, "$Hello " + nick + "|")) << client.Received();
    client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL " + nick +
                " x<t V:1,M:A,H:1/0/0,S:3>$ $20\x01$$0$|");
    ASSERT_TRUE(RunLoopUntil(loop_, [&] { return root_.NickList().FindUser(nick) != nullptr; }));
  }

  TTempFolder home_{"kavro-stats-root-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String(), MakeUserStats};
};

TEST_F(UserStatsRootTest, LoginsReachTheBackEndWhileTypeIsNotZero) {
  THubCore& core = root_.HubCore();
  const int port = StartOnLoopback(core);
  ASSERT_NE(port, 0);
  const TUserStatsLocal& local = Module().Local();

  root_.Settings().UserStatsType = 0;
  {
    TNmdcTestClient client;
    LogIn(client, port, "nobody");
  }
  EXPECT_EQ(local.FindNick("nobody"), nullptr);

  root_.Settings().UserStatsType = 1;
  {
    TNmdcTestClient client;
    LogIn(client, port, "carla");
    ASSERT_NE(local.FindNick("carla"), nullptr);
    EXPECT_TRUE(local.FindNick("carla")->Online);
    THubSocket* user = root_.NickList().FindUser("carla");
    user->UserInfo().Muted = true;
    user->UserInfo().MutedLevel = 3;
    client.Close();
    ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !local.FindNick("carla")->Online; }));
  }
  EXPECT_EQ(local.FindNick("carla")->Muted, 3);
  TNmdcTestClient again;
  LogIn(again, port, "carla");
  EXPECT_TRUE(root_.NickList().FindUser("carla")->UserInfo().Muted);
  core.Stop();
}

// The program's hourly step reaches the prune.
TEST_F(UserStatsRootTest, HourlyStepOfTheHubPrunes) {
  root_.Settings().UserStatsAutoPrune = {true, 1};
  int notified = 0;
  Module().Active().SetChangeNotification([&] { ++notified; });
  root_.Hub().HourlyStatisticsStep();
  EXPECT_EQ(notified, 0);  // nothing stored, nothing changed
  EXPECT_EQ(Module().Local().NickCount(), 0);
}

}  // namespace
