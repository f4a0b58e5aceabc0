// User actions and bans typed by an operator into a real kavrod over
// loopback: what the target and the others see, the banned users refused
// at their next login, and bans.xml after the shutdown save. Clients come
// from distinct 127.0.x.y addresses so each case meets only its own bans.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;
using R = TProfileRight;

std::string Bot(std::string_view text) { return "<HubBot> " + std::string(text) + "|"; }

std::unique_ptr<TNmdcClient> LoggedIn(int port, const char* source, std::string_view nick) {
  auto client = TNmdcClient::Connect(port, false, source);
  if (!client || !client->Login(nick)) return nullptr;
  return client;
}

// Refused at the login, with the ban's own text.
bool RefusedWith(int port, const char* source, std::string_view nick, std::string_view text) {
  auto client = TNmdcClient::Connect(port, false, source);
  if (!client || !client->Handshake(nick)) return false;
  const bool closed = client->WaitClosed();
  return closed && client->Got(text) && !client->Got("$Hello " + std::string(nick) + "|");
}

}  // namespace

TEST(BanCommandsE2E, ActionsReachTheirTargetsAndBansHoldAfterTheShutdown) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.HubCommandsShowCommandToSelf = false;
    settings.AutoBanIncorrectPassword.Enabled = false;
    settings.InformOperatorsInMcOnBan = true;
    settings.RedirectOnBans.Enabled = false;
    settings.PMSpamCheck.State = TTriState::Unchecked;  // the operator types fast
  });
  home.AddAccount("master", "mpw", "Master", 9,
                  {R::IsOperator, R::MayUseHubCommands, R::MayRedirect, R::MayDropUser,
                   R::MayBanNick, R::MayBanIP, R::MayBanDNS, R::MayBanClients});
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  const int port = home.Port();

  auto master = TNmdcClient::Connect(port, false, "127.0.0.1");
  ASSERT_TRUE(master && master->Login("master", "mpw"));
  master->Drain(200ms);
  // Replies come by private message, so they stay apart from main chat.
  const auto command = [&](std::string_view line, std::string_view reply) {
    EXPECT_TRUE(master->Send("$To: HubBot From: master $<master> " + std::string(line) + "|"));
    const std::string expected = "$To: master From: HubBot $<HubBot> " + std::string(reply) + "|";
    EXPECT_EQ(master->ReadUntil(expected), expected) << line << "\n" << master->ReceivedText();
  };

  // Redirect: the reason under the operator's nick, then the move.
  auto alice = LoggedIn(port, "127.0.1.1", "alice");
  ASSERT_NE(alice, nullptr);
  command("!redirect alice other.test:411 see you there",
          "You've redirected alice to other.test:411");
  EXPECT_EQ(alice->ReadUntil("<master> "),
            "<master> You're being redirected to other.test:411 because: see you there|");
  EXPECT_EQ(alice->ReadUntil("$ForceMove"), "$ForceMove other.test:411|");
  EXPECT_TRUE(alice->WaitClosed());

  // Drop: gone without a word; the others see him leave.
  auto bobby = LoggedIn(port, "127.0.1.2", "bobby");
  ASSERT_NE(bobby, nullptr);
  command("!drop bobby", "bobby was dropped from the hub");
  EXPECT_TRUE(bobby->WaitClosed());
  ASSERT_FALSE(bobby->Received().empty());
  EXPECT_EQ(bobby->Received().back(), "|") << bobby->ReceivedText();
  EXPECT_EQ(master->ReadUntil("$Quit bobby"), "$Quit bobby|");

  // A user banned by address: told, closed, and his address refused.
  auto carl = LoggedIn(port, "127.0.2.1", "carl");
  ASSERT_NE(carl, nullptr);
  command("!ban carl spam", "carl was banned from the hub");
  EXPECT_TRUE(master->Got(Bot("carl, IP address: 127.0.2.1 was banned by master because: spam")));
  EXPECT_TRUE(carl->WaitClosed());
  EXPECT_TRUE(carl->Got(Bot("You've been banned by master because: spam"))) << carl->ReceivedText();
  EXPECT_TRUE(RefusedWith(port, "127.0.2.1", "carl2",
                          Bot("You're banned from this hub by master because: spam")));

  // A nick ban: the nick is refused from anywhere, the address is not.
  auto dave = LoggedIn(port, "127.0.3.1", "dave");
  ASSERT_NE(dave, nullptr);
  command("!bannick dave", "The nick: dave was banned from the hub");
  EXPECT_TRUE(dave->WaitClosed());
  EXPECT_TRUE(RefusedWith(port, "127.0.3.9", "DAVE", Bot("You're banned from this hub by master")));
  EXPECT_NE(LoggedIn(port, "127.0.3.1", "dave2"), nullptr);

  // Ranges, lists, patterns and timed bans, refused at their next login.
  command("!tbanip 127.0.4.*.* 2 range", "The IP/IP range: 127.0.4.* was banned for 2 hours from the hub");
  EXPECT_TRUE(RefusedWith(port, "127.0.4.9", "erin", "<HubBot> You're temporary banned until "));
  command("!tbannick spam* 3", "The nick: spam* was banned for 3 hours from the hub");
  EXPECT_TRUE(RefusedWith(port, "127.0.5.1", "spammer", "<HubBot> You're temporary banned until "));
  command("!banclient BadClient1.* leech",
          "The client/client pattern: BadClient1.* was banned from the hub");
  command("!bandns *.bad.test", "The DNS/DNS pattern: *.bad.test was banned from the hub");

  const TDateTime issuedAround = [] {
    TLanguage language;
    TBanList clock(language);
    return clock.Now();
  }();
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();

  // Every ban is in the file, with its reason, author and expiry.
  SetProgramFolder(home.Folder());
  TLanguage language;
  TBanList bans(language);
  ASSERT_TRUE(bans.Load());
  const TBan* byAddress = bans.FindIPBan("127.0.2.1");
  ASSERT_NE(byAddress, nullptr);
  EXPECT_EQ(byAddress->Reason, "spam");
  EXPECT_EQ(byAddress->BannedBy, "master");
  EXPECT_EQ(byAddress->Expires, TDateTime{});
  ASSERT_NE(bans.FindNickBan("dave"), nullptr);
  EXPECT_EQ(bans.FindNickBan("dave")->Expires, TDateTime{});
  const TBan* range = bans.FindIPBan("127.0.4.*");
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(range->Reason, "range");
  EXPECT_NEAR(static_cast<double>(range->Expires.Seconds - range->Issued.Seconds), 7200.0, 1.0);
  EXPECT_NEAR(static_cast<double>(range->Expires.Seconds - issuedAround.Seconds), 7200.0, 60.0);
  const TBan* pattern = bans.FindNickBan("spam*");
  ASSERT_NE(pattern, nullptr);
  EXPECT_NEAR(static_cast<double>(pattern->Expires.Seconds - pattern->Issued.Seconds), 10800.0, 1.0);
  ASSERT_NE(bans.FindClientBan("BadClient1.*"), nullptr);
  EXPECT_EQ(bans.FindClientBan("BadClient1.*")->Reason, "leech");
  EXPECT_NE(bans.FindDNSBan("*.bad.test"), nullptr);
  EXPECT_EQ(bans.GetCount(TBanKind::IP), 2);
  EXPECT_EQ(bans.GetCount(TBanKind::Nick), 2);
}
