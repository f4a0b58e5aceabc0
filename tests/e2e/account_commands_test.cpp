// Accounts made by operator command over loopback: the new account asks
// for its password at once and logs in with it.

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/isp_list.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

}  // namespace

TEST(AccountCommandsE2E, AnAddedAccountLogsInWithItsPassword) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.HubCommandsShowCommandToSelf = false;
    settings.AutoBanIncorrectPassword.Enabled = false;
  });
  using R = TProfileRight;
  home.AddAccount("master", "mpw", "Master", 9,
             {R::IsOperator, R::MayUseHubCommands, R::MayAccountsAdd, R::MayAccountsDel,
              R::MayISPAddISP, R::MayISPAddIP});
  home.AddAccount("member0", "m0", "Member", 1, {});
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  auto master = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(master && master->Login("master", "mpw"));
  master->Drain(200ms);
  ASSERT_TRUE(master->Send("<master> !addreg newbie npw Member|"));
  EXPECT_EQ(master->ReadUntil("<HubBot> Registered"),
            "<HubBot> Registered the account newbie of profile Member with password npw @ " +
                TSettings().HubAddress + "|");

  // Without the password the hub does not let the nick in.
  auto guess = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(guess);
  EXPECT_FALSE(guess->Login("newbie"));
  auto wrong = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(wrong);
  EXPECT_FALSE(wrong->Login("newbie", "bad"));
  auto newbie = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(newbie);
  EXPECT_TRUE(newbie->Login("newbie", "npw"));

  // Deleted, the nick logs in without a password again.
  newbie.reset();
  ASSERT_TRUE(master->Send("<master> !delreg newbie|"));
  EXPECT_EQ(master->ReadUntil("<HubBot> Deleted"), "<HubBot> Deleted the account newbie|");
  auto again = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->Login("newbie")) << again->ReceivedText();

  // What the commands changed is in the files after the shutdown save.
  ASSERT_TRUE(master->Send("<master> !addreg keeper kpw Member 10.*|"));
  ASSERT_TRUE(master->ReadUntil("<HubBot> Registered").has_value());
  ASSERT_TRUE(master->Send("<master> !addisp Net [NET]|"));
  ASSERT_TRUE(master->ReadUntil("<HubBot> The ISP Net").has_value());
  // By private message: main chat has had its share of lines.
  ASSERT_TRUE(master->Send("$To: HubBot From: master $<master> !addip 10.9.*.* Net|"));
  EXPECT_EQ(master->ReadUntil("$To: master From: HubBot $<HubBot> 10.9"),
            "$To: master From: HubBot $<HubBot> 10.9.* was added to Net|")
      << master->ReceivedText();
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();

  SetProgramFolder(home.Folder());
  TSettings settings;
  settings.Load();
  TProfiles profiles(settings);
  profiles.Load();
  TAccounts accounts(profiles);
  accounts.Load();
  const auto keeper = accounts.Find("keeper");
  ASSERT_NE(keeper, nullptr);
  EXPECT_EQ(keeper->Pass, "kpw");
  EXPECT_EQ(keeper->IPPattern, "10.*");
  EXPECT_EQ(keeper->Owner, "master");
  EXPECT_EQ(accounts.Find("newbie"), nullptr);
  TLanguage language;
  TISPList isps(language);
  isps.Load();
  const TISP* net = isps.Find("Net");
  ASSERT_NE(net, nullptr);
  EXPECT_EQ(net->Prefix, "[NET]");
  EXPECT_EQ(isps.FindByIP("10.9.1.1"), net);
}
