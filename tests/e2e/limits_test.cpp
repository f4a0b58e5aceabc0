// The limits and main-chat commands over loopback: what locked main chat
// lets through, redirect-all's "$ForceMove" to everyone, and the pace and
// limits in settings.xml after the shutdown save.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "security/profile.h"
#include "settings/conn_restriction.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

// Main-chat lines `client` reads before `sentinel`; nullopt when it never comes.
std::optional<std::vector<std::string>> ChatUntil(TNmdcClient& client, std::string_view sentinel) {
  std::vector<std::string> seen;
  for (;;) {
    const std::optional<std::string> message = client.Read();
    if (!message) return std::nullopt;
    if (*message == sentinel) return seen;
    if (message->starts_with('<')) seen.push_back(*message);
  }
}

}  // namespace

TEST(LimitsE2E, LockedMainChatRedirectAllAndTheSavedLimits) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.HubCommandsShowCommandToSelf = false;
    // The operator types more lines than a chatting user would.
    settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
    settings.PMSpamCheck.State = TTriState::Unchecked;
  });
  using R = TProfileRight;
  home.AddAccount("master", "mpw", "Master", 9,
                  {R::IsOperator, R::MayUseHubCommands, R::MayDisabledMainChat,
                   R::MaySetWorkPace, R::MaySetMinShare, R::MayChangeUserLimit,
                   R::MayRedirectAll, R::MayShowHubInfo, R::MayShowTrafficStats,
                   R::MayShowUserInfo});
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  auto master = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(master && master->Login("master", "mpw"));
  auto u1 = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(u1 && u1->Login("user1"));
  auto u2 = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(u2 && u2->Login("user2"));
  for (TNmdcClient* c : {master.get(), u1.get(), u2.get()}) c->Drain(200ms);

  ASSERT_TRUE(master->Send("<master> !mainchat on|"));
  EXPECT_EQ(u2->ReadUntil("<HubBot> Mainchat"),
            "<HubBot> Mainchat is currently locked, all chatting is disabled|");
  EXPECT_TRUE(master->ReadUntil("<HubBot> You've locked mainchat").has_value());
  u1->Drain(100ms);

  // Held back while locked; allowed, the same user is heard.
  ASSERT_TRUE(u1->Send("<user1> hello|"));
  u1->Drain(200ms);
  ASSERT_TRUE(master->Send("<master> mark|"));
  const auto before = ChatUntil(*u2, "<master> mark|");
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(*before, std::vector<std::string>{});
  ASSERT_TRUE(master->Send("<master> !allowmc user1|"));
  EXPECT_EQ(u1->ReadUntil("<HubBot> You've been"),
            "<HubBot> You've been allowed to speak in mainchat even though it's locked|");
  ASSERT_TRUE(u1->Send("<user1> hello again|"));
  const auto after = ChatUntil(*u2, "<user1> hello again|");
  EXPECT_TRUE(after.has_value());

  for (std::string_view command : {"!workpace lazy", "!setminshare 2 g", "!userlimit 100"})
    ASSERT_TRUE(master->Send("$To: HubBot From: master $<master> " + std::string(command) + "|"));
  EXPECT_TRUE(master->ReadUntil("$To: master From: HubBot $<HubBot> Current userlimit").has_value())
      << master->ReceivedText();

  // The reports read this process and the live user list.
  const std::string pm = "$To: HubBot From: master $<master> ";
  const std::string answer = "$To: master From: HubBot $<HubBot> ";
  ASSERT_TRUE(master->Send(pm + "!hubinfo|"));
  const std::optional<std::string> info = master->ReadUntil(answer + "\r\nHub Information");
  ASSERT_TRUE(info.has_value()) << master->ReceivedText();
  EXPECT_NE(info->find("Port(s): " + std::to_string(home.Port())), std::string::npos) << *info;
  EXPECT_NE(info->find("Workpace: Lazy"), std::string::npos) << *info;
  EXPECT_NE(info->find("Userlimit: 100"), std::string::npos) << *info;
  EXPECT_EQ(info->find("Memory usage: 0 B"), std::string::npos) << *info;
  EXPECT_EQ(info->find("Memory available: 0 B"), std::string::npos) << *info;
  ASSERT_TRUE(master->Send(pm + "!ts mc|"));
  const std::optional<std::string> top = master->ReadUntil(answer + "\r\n---");
  ASSERT_TRUE(top.has_value()) << master->ReceivedText();
  EXPECT_NE(top->find("Top 100 mainchat talkers"), std::string::npos) << *top;
  EXPECT_NE(top->find("user1"), std::string::npos) << *top;
  EXPECT_TRUE(top->ends_with("-|")) << *top;
  ASSERT_TRUE(master->Send(pm + "!ui user1|"));
  const std::optional<std::string> user = master->ReadUntil(answer);
  ASSERT_TRUE(user.has_value()) << master->ReceivedText();
  EXPECT_NE(user->find("user1"), std::string::npos) << *user;

  // Last nick first, round-robin; the sender's level takes him along too.
  ASSERT_TRUE(master->Send(
      "$To: HubBot From: master $<master> !redirectall 127.0.0.1:1;127.0.0.1:2 bye|"));
  EXPECT_EQ(u2->ReadUntil("<master> You're"),
            "<master> You're being redirected to 127.0.0.1:1 because: bye|");
  EXPECT_EQ(u2->ReadUntil("$ForceMove"), "$ForceMove 127.0.0.1:1|");
  EXPECT_EQ(u1->ReadUntil("$ForceMove"), "$ForceMove 127.0.0.1:2|");
  EXPECT_EQ(master->ReadUntil("$ForceMove"), "$ForceMove 127.0.0.1:1|");
  EXPECT_EQ(master->ReadUntil("$To: master From: HubBot $<HubBot> You've redirected"),
            "$To: master From: HubBot $<HubBot> You've redirected 3 users to 127.0.0.1:1 "
            "because: bye|");
  EXPECT_TRUE(u1->WaitClosed());
  EXPECT_TRUE(u2->WaitClosed());

  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
  SetProgramFolder(home.Folder());
  TSettings settings;
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.WorkPace(), 3);
  EXPECT_EQ(settings.MaxUsers, 100);
  EXPECT_TRUE(settings.ConnRestriction.MinShareEnabled);
  EXPECT_EQ(settings.ConnRestriction.MinShare, 2LL << 30);
}
