// Acting on users and the ban lists: block, redirect, drop, the bans of
// users, nicks, addresses, host names and clients, and their listings.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/buffer_text.h"
#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/user_stats_side.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;
using L = TLanguageKey;

constexpr std::initializer_list<R> kBanRights = {
    R::IsOperator,  R::MayUseHubCommands, R::MayBlockUser,  R::MayRedirect,
    R::MayDropUser, R::MayBanNick,        R::MayBanIP,      R::MayBanDNS,
    R::MayBanClients, R::MayBanTempban};

// The stored blocks of away nicks the commands lift: "issuer nick pm".
class TBlockStats : public TUserStatsSide {
 public:
  std::vector<std::string> Cleared;
  void ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) override {
    Cleared.push_back(issuer.Nick + " " + std::string(nick) + (isPM ? " pm" : " mc"));
  }
};

const std::string kDash = "\r\n" + std::string(105, '-');

std::string Padded(std::string_view text, int column) {
  TWriteBuffer buffer(1);
  AppendTabPadded(text, buffer, column);
  return buffer.GetString();
}

class BanCommandsTest : public TCommandsFixture {
 protected:
  BanCommandsTest() {
    master_ = MakeProfile("Master", kBanRights, 9, paHigher);
    op_ = MakeProfile("Op", kBanRights, 5, paLower);
    guide_ = MakeProfile("Guide", {R::MayUseHubCommands}, 3);
    for (const auto& profile : {master_, op_, guide_}) profiles_.AddProfile(profile);
    accounts_.Add("Boss", "Master");
    ctx_.UserStats = [this] { return &stats_; };
    commands_ = std::make_unique<THubCommands>(ctx_, tokens_);
    master = &Online("master", master_);  // 10.0.0.1
    op = &Online("op", op_);              // 10.0.0.2
    guide = &Online("guide", guide_);     // 10.0.0.3
    bob = &Online("bob");                 // 10.0.0.4
    Out(*master), Out(*op), Out(*guide), Out(*bob);
  }

  // The bot's private replies to a line sent to it.
  std::string Run(THubSocket& user, std::string_view text) {
    Dispatch(*commands_, tokens_, message_, user, text, true);
    return Out(user);
  }
  // A text as the sender reads it: "$help" with the prefix he typed.
  std::string To(const THubSocket& user, TLanguageKey key) const {
    std::string text = Text(key);
    std::replace(text.begin(), text.end(), '$', '!');
    return BotTo(user, text);
  }
  int Count(TBanKind kind) const { return bans_.GetCount(kind); }
  TDateTime HoursLater(int hours) const { return TDateTime{now_.Seconds + hours * 3600LL}; }

  std::shared_ptr<TProfile> master_, op_, guide_;
  TBlockStats stats_;
  TStringList tokens_{16};
  std::unique_ptr<THubCommands> commands_;
  std::string message_;
  THubSocket* master = nullptr;
  THubSocket* op = nullptr;
  THubSocket* guide = nullptr;
  THubSocket* bob = nullptr;
};

struct TRefusal {
  const char* Who;  // "master", "op" or "guide"
  const char* Line;
  TLanguageKey Reply;
};

TEST_F(BanCommandsTest, RefusalsAnswerOnceAndChangeNothing) {
  const TRefusal cases[] = {
      {"guide", "!block bob", L::ForbiddenCommand},
      {"guide", "!showtemp", L::ForbiddenCommand},
      {"guide", "!unban bob", L::ForbiddenCommand},
      {"op", "!block", L::ErrorCommand},
      {"op", "!tbanip 10.0.0.9", L::ErrorCommand},
      {"op", "!block HubBot", L::BlockUserUnBlockAble},
      {"op", "!block nobody", L::BlockUserNotFound},
      {"op", "!block master", L::BlockUserTooLowAccountLvl},
      {"op", "!unblock HubBot", L::BlockUserUnBlockAble},
      {"op", "!redirect nobody x.test", L::OnRedirectUserNotFound},
      {"op", "!redirect HubBot x.test", L::OnRedirectUserUnMoveable},
      {"op", "!redirect master x.test", L::OnRedirectUserTooLowAccountLvl},
      {"op", "!drop master", L::DropUserTooLowAccountLvl},
      {"op", "!drop op", L::DropUserTooLowAccountLvl},  // a lower right: not his own level
      {"op", "!drop HubBot", L::DropUserUnDropAble},
      {"op", "!drop nobody", L::DropUserNotFound},
      {"op", "!ban master", L::BanUserTooLowAccountLvl},
      {"op", "!ban nobody", L::BanUserNotFound},
      {"op", "!tban HubBot 2", L::BanUserUnBanAble},
      {"op", "!bannick HubBot", L::BanUserUnBanAble},
      {"op", "!bannick Boss", L::BanUserTooLowAccountLvl},  // away, of a higher account
      {"op", "!tbannick master 2", L::BanUserTooLowAccountLvl},
      {"master", "!tban bob 0", L::BanTimeIncorrectHours},
      {"master", "!tban bob -2", L::BanTimeIncorrectHours},
      {"master", "!tbannick bob 1.5", L::BanTimeIncorrectHours},
      {"master", "!tbanip 10.1.1.1 876001", L::BanTimeIncorrectHours},
      {"master", "!tbandns x.test abc", L::BanTimeIncorrectHours},
      {"master", "!tbanip 10.1.1.1 99999999999", L::BanTimeIncorrectHours},
      {"master", "!banip 10.0.0.300", L::BanIPIncorrectIP},
      {"master", "!banip 1.2.3.4.5", L::BanIPIncorrectIP},
      {"master", "!banip ;", L::ErrorCommand},
      {"master", "!bannick *", L::ErrorCommand},  // would ban every nick
      {"master", "!bandns *", L::ErrorCommand},
      {"master", "!cleartemp 0", L::ClearTempBanIncorrectLimit},
      {"master", "!cleartemp x", L::ClearTempBanIncorrectLimit},
      {"master", "!unbanclient nothing*", L::UnBanClientFailed},
  };
  for (const TRefusal& c : cases) {
    SCOPED_TRACE(c.Line);
    THubSocket& user = std::string_view(c.Who) == "master" ? *master
                       : std::string_view(c.Who) == "op"   ? *op
                                                           : *guide;
    const std::string expected =
        c.Reply == L::UnBanClientFailed
            ? BotTo(user, "The client/client pattern nothing* wasn't found in the banlist")
            : To(user, c.Reply);
    EXPECT_EQ(Run(user, c.Line), expected);
  }
  for (const TBanKind kind : {TBanKind::Nick, TBanKind::IP, TBanKind::DNS, TBanKind::Client})
    EXPECT_EQ(Count(kind), 0);
  EXPECT_TRUE(feed_.Actions.empty());
  EXPECT_EQ(Out(*bob), "");
  EXPECT_NE(bob->LifeState, lsClosing);
  EXPECT_NE(master->LifeState, lsClosing);
  EXPECT_FALSE(bob->UserInfo().Blocked);
  EXPECT_EQ(master->Account->Stats.TimeBans + master->Account->Stats.Bans, 0);
}

TEST_F(BanCommandsTest, OnlyALevelThatCoversTheBlockLiftsIt) {
  EXPECT_EQ(Run(*master, "!block BOB"),
            BotTo(*master, "bob was blocked from searching and downloading"));
  EXPECT_EQ(feed_.LastAction(), "bob was blocked by master");
  EXPECT_EQ(bob->UserInfo().BlockedLevel, 9);
  EXPECT_EQ(Run(*op, "!unblock bob"), To(*op, L::UnBlockUserTooStrongBlock));
  EXPECT_TRUE(bob->UserInfo().Blocked);
  EXPECT_EQ(Run(*master, "!block bob"), BotTo(*master, "bob is already blocked"));

  EXPECT_EQ(Run(*master, "!unblock bob"),
            BotTo(*master, "bob was unblocked, enabling searching and downloading"));
  EXPECT_EQ(feed_.LastAction(), "bob was unblocked by master");
  EXPECT_FALSE(bob->UserInfo().Blocked);
  EXPECT_EQ(bob->UserInfo().BlockedLevel, -1);
  EXPECT_EQ(Run(*op, "!unblock bob"), BotTo(*op, "bob isn't blocked"));

  // A lower right blocks one level under the sender, so his peers may lift it.
  Run(*op, "!block bob");
  EXPECT_EQ(bob->UserInfo().BlockedLevel, 4);
  EXPECT_EQ(Run(*op, "!unblock bob"),
            BotTo(*op, "bob was unblocked, enabling searching and downloading"));

  // The stored block of an away nick is the statistics' to lift and answer.
  EXPECT_EQ(Run(*op, "!unblock away"), "");
  EXPECT_EQ(stats_.Cleared, std::vector<std::string>{"op away pm"});
}

TEST_F(BanCommandsTest, RedirectTellsTheUserThenMovesHim) {
  EXPECT_EQ(Run(*op, "!redirect BOB other.test:411 go  to the  other hub"),
            BotTo(*op, "You've redirected bob to other.test:411"));
  EXPECT_EQ(Out(*bob),
            "<op> You're being redirected to other.test:411 because: go  to the  other hub|"
            "$ForceMove other.test:411|");
  EXPECT_EQ(bob->LifeState, lsClosing);
  EXPECT_EQ(feed_.LastAction(), "op redirected bob to other.test:411");
  EXPECT_EQ(op->UserInfo().Transfer.Redirects, 1);
  EXPECT_EQ(op->Account->Stats.Redirects, 1);

  THubSocket& carl = Online("carl");
  Run(*op, "!redirect carl other.test");
  EXPECT_EQ(Out(carl), "<op> You're being redirected to other.test|$ForceMove other.test|");

  auto vip = MakeProfile("Vip", {R::MayNeverBeRedirected, R::MayNeverBeDropped}, 0);
  THubSocket& dan = Online("dan", vip);
  EXPECT_EQ(Run(*master, "!redirect dan other.test"), To(*master, L::OnRedirectUserUnMoveable));
  EXPECT_EQ(Run(*master, "!drop dan"), To(*master, L::DropUserUnDropAble));
  EXPECT_EQ(Out(dan), "");
  EXPECT_NE(dan.LifeState, lsClosing);
}

TEST_F(BanCommandsTest, DropClosesWithoutAWord) {
  EXPECT_EQ(Run(*op, "!drop bob"), BotTo(*op, "bob was dropped from the hub"));
  EXPECT_EQ(Out(*bob), "|");
  EXPECT_EQ(bob->LifeState, lsClosing);
  EXPECT_EQ(feed_.LastAction(), "bob was dropped by op");
}

TEST_F(BanCommandsTest, BanTakesTheAddressAndTellsTheOperators) {
  const std::string announced =
      Bot("bob, IP address: 10.0.0.4 was banned by master because: spamming  ads");
  EXPECT_EQ(Run(*master, "!ban bob spamming  ads"),
            announced + BotTo(*master, "bob was banned from the hub"));
  EXPECT_EQ(Out(*bob), Bot("You've been banned by master because: spamming  ads"));
  EXPECT_EQ(bob->LifeState, lsClosing);
  EXPECT_EQ(Out(*op), announced);
  EXPECT_EQ(Out(*guide), "");
  EXPECT_EQ(feed_.LastAction(), "bob was banned by master because: spamming  ads");
  EXPECT_EQ(master->Account->Stats.Bans, 1);
  const TBan* ban = bans_.FindIPBan("10.0.0.4");
  ASSERT_NE(ban, nullptr);
  EXPECT_EQ(ban->Expires, TDateTime{});
  EXPECT_TRUE(bans_.CheckNickAndIPBan("anyone", "10.0.0.4", false, false).has_value());

  // The address is banned already: the standing ban is shown, not a new one.
  THubSocket& carl = Online("carl");
  carl.IP = "10.0.0.4";
  feed_.Actions.clear();
  EXPECT_EQ(Run(*master, "!ban carl"),
            BotTo(*master, "Ban: 10.0.0.4\r\nExpires: [Permanent]"));
  EXPECT_TRUE(feed_.Actions.empty());
  EXPECT_EQ(master->Account->Stats.Bans, 1);
  EXPECT_EQ(carl.LifeState, lsClosing);
  EXPECT_EQ(Out(*op), "");
}

TEST_F(BanCommandsTest, TimedBanCountsWholeHoursFromNow) {
  EXPECT_EQ(Run(*master, "!tban bob 2"),
            Bot("bob, IP address: 10.0.0.4 was banned for 2 hours by master") +
                BotTo(*master, "bob was banned for 2 hours from the hub"));
  EXPECT_EQ(Out(*bob), Bot("You've been temporary banned until 2024-05-06 14:34:56 by master"));
  EXPECT_EQ(Out(*op), Bot("bob, IP address: 10.0.0.4 was banned for 2 hours by master"));
  EXPECT_EQ(feed_.LastAction(), "bob was banned for 2 hours by master");
  ASSERT_NE(bans_.FindIPBan("10.0.0.4"), nullptr);
  EXPECT_EQ(bans_.FindIPBan("10.0.0.4")->Expires, HoursLater(2));
  EXPECT_EQ(master->Account->Stats.TimeBans, 1);
  EXPECT_EQ(master->Account->Stats.Bans, 0);

  // A hundred years is the longest ban.
  THubSocket& carl = Online("carl");
  Run(*master, "!tban carl 876000 for good");
  ASSERT_NE(bans_.FindIPBan(carl.IP), nullptr);
  EXPECT_EQ(bans_.FindIPBan(carl.IP)->Expires, HoursLater(876000));
  EXPECT_EQ(feed_.LastAction(), "carl was banned for 876000 hours by master because: for good");
}

TEST_F(BanCommandsTest, NickBansCloseTheOnlineUserWhateverTheAnnouncement) {
  settings_.InformOperatorsInMcOnBan = false;
  EXPECT_EQ(Run(*master, "!bannick BOB flooding"),
            BotTo(*master, "The nick: bob was banned from the hub"));
  EXPECT_EQ(bob->LifeState, lsClosing);
  EXPECT_EQ(Out(*bob), Bot("You've been banned by master because: flooding"));
  EXPECT_EQ(Out(*op), "");
  EXPECT_EQ(feed_.LastAction(), "The nick: bob was banned by master because: flooding");
  ASSERT_NE(bans_.FindNickBan("bob"), nullptr);
  EXPECT_EQ(bans_.FindNickBan("bob")->Pattern, "bob");

  // "ipban" bans the nick it is given.
  settings_.InformOperatorsInMcOnBan = true;
  THubSocket& carl = Online("carl");
  Run(*master, "!ipban carl");
  EXPECT_NE(bans_.FindNickBan("carl"), nullptr);
  EXPECT_EQ(bans_.FindIPBan(carl.IP), nullptr);
  EXPECT_EQ(Out(*op), Bot("carl, IP address: 10.0.0.5 was banned by master"));
  EXPECT_EQ(master->Account->Stats.Bans, 2);

  // Away nicks and patterns; an account lends its level to the ban.
  EXPECT_EQ(Run(*op, "!tbannick spam* 3 bots"),
            BotTo(*op, "The nick: spam* was banned for 3 hours from the hub"));
  EXPECT_EQ(feed_.LastAction(), "The nick: spam* was banned for 3 hours by op because: bots");
  ASSERT_NE(bans_.FindNickBan("spam*"), nullptr);
  EXPECT_EQ(bans_.FindNickBan("spam*")->Expires, HoursLater(3));
  EXPECT_EQ(op->Account->Stats.TimeBans, 1);
  Run(*master, "!bannick boss");
  ASSERT_NE(bans_.FindNickBan("boss"), nullptr);
  EXPECT_EQ(bans_.FindNickBan("boss")->Level, 9);

  // A nick a ban covers already: the standing ban answers, nothing counts.
  feed_.Actions.clear();
  EXPECT_EQ(Run(*op, "!bannick spammer"),
            BotTo(*op, "Ban: spam*\r\nExpires: 2024-05-06 15:34:56"));
  EXPECT_TRUE(feed_.Actions.empty());
  EXPECT_EQ(op->Account->Stats.Bans, 0);
}

TEST_F(BanCommandsTest, AddressListsBanEachGoodPartWithoutCounting) {
  EXPECT_EQ(Run(*master, "!banip 10.0.0.*;x.y;;192.168.*.* bad net"),
            BotTo(*master, "The IP/IP range: 10.0.0.* was banned from the hub") +
                To(*master, L::BanIPIncorrectIP) +
                BotTo(*master, "The IP/IP range: 192.168.* was banned from the hub"));
  EXPECT_EQ(feed_.Actions, (std::vector<std::string>{"The IP/IP range: 10.0.0.* was banned by master",
                                                     "The IP/IP range: 192.168.* was banned by master"}));
  ASSERT_NE(bans_.FindIPBan("192.168.*"), nullptr);
  EXPECT_EQ(bans_.FindIPBan("192.168.*")->Reason, "bad net");
  EXPECT_EQ(master->Account->Stats.Bans, 0);
  EXPECT_NE(bob->LifeState, lsClosing);  // connected users are not checked now

  feed_.Actions.clear();
  EXPECT_EQ(Run(*master, "!tbanip 10.1.*.* 5 why"),
            BotTo(*master, "The IP/IP range: 10.1.* was banned for 5 hours from the hub"));
  EXPECT_EQ(feed_.LastAction(), "The IP/IP range: 10.1.* was banned for 5 hours by master because: why");
  ASSERT_NE(bans_.FindIPBan("10.1.*"), nullptr);
  EXPECT_EQ(bans_.FindIPBan("10.1.*")->Expires, HoursLater(5));
  EXPECT_EQ(master->Account->Stats.TimeBans, 1);

  Run(*master, "!bandns *.bad.test;*.worse.test");
  EXPECT_EQ(Count(TBanKind::DNS), 2);
  EXPECT_EQ(Run(*master, "!tbandns *.x.test 1"),
            BotTo(*master, "The DNS/DNS pattern: *.x.test was banned for 1 hours from the hub"));
  EXPECT_EQ(Run(*master, "!banclient DC++0.1* old"),
            BotTo(*master, "The client/client pattern: DC++0.1* was banned from the hub"));
  EXPECT_EQ(feed_.LastAction(), "The client/client pattern: DC++0.1* was banned by master because: old");
  EXPECT_EQ(master->Account->Stats.Bans, 1);

  // The same pattern again is the standing ban.
  EXPECT_EQ(Run(*master, "!banclient dc++0.1*"),
            BotTo(*master, "Ban: DC++0.1*\r\nExpires: [Permanent]"));
}

TEST_F(BanCommandsTest, UnbanTakesTheFirstListThatHoldsTheWord) {
  bans_.AddNickBan("boss", "", 9, {}, "master");
  bans_.AddNickBan("bob*", "", 0, {}, "master");
  bans_.AddIPBan("10.0.0.*", "", 0, {}, "master");
  bans_.AddDNSBan("*.bad.test", "", {}, "master");
  bans_.AddClientBan("DC++0.1*", "", {}, "master");

  EXPECT_EQ(Run(*op, "!unban BOSS"), To(*op, L::UnBanUserTooLowAccountLvl));
  EXPECT_EQ(Run(*op, "!unban BOB*"), BotTo(*op, "The nick/nick pattern: bob* was removed from the banlist"));
  EXPECT_EQ(feed_.LastAction(), "The nick/nick pattern: bob* was unbanned by op");
  EXPECT_EQ(Run(*op, "!unban 10.0.0.*.*"),
            BotTo(*op, "The IP/IP range: 10.0.0.* was removed from the banlist"));
  EXPECT_EQ(feed_.LastAction(), "The IP/IP range: 10.0.0.* was unbanned by op");
  EXPECT_EQ(Run(*op, "!unban *.bad.test"),
            BotTo(*op, "The DNS/DNS pattern: *.bad.test was removed from the banlist"));
  EXPECT_EQ(Run(*op, "!unban *.bad.test"), BotTo(*op, "*.bad.test wasn't found in any banlist"));

  // Only the nick right: an address is not looked for.
  THubSocket& nicker = Online("nicker", MakeProfile("Nicker", {R::MayBanNick}, 5, paHigher));
  bans_.AddIPBan("10.2.*", "", 0, {}, "master");
  EXPECT_EQ(Run(nicker, "!unban 10.2.*"), BotTo(nicker, "10.2.* wasn't found in any banlist"));
  EXPECT_NE(bans_.FindIPBan("10.2.*"), nullptr);

  EXPECT_EQ(Run(*op, "!unbanclient dc++0.1*"),
            BotTo(*op, "The client/client pattern: DC++0.1* was removed from the banlist"));
  EXPECT_EQ(feed_.LastAction(), "The client/client pattern: DC++0.1* was unbanned by op");
}

TEST_F(BanCommandsTest, ClearingKeepsTheBansOfStrongerUsers) {
  bans_.AddNickBan("boss", "", 9, {}, "master");
  bans_.AddNickBan("peer", "", 5, {}, "master");
  bans_.AddNickBan("low", "", 3, {}, "master");
  bans_.AddIPBan("10.9.*", "", 0, {}, "master");
  bans_.AddIPBan("10.8.0.1", "", 7, {}, "master");
  bans_.AddDNSBan("*.a.test", "", {}, "master");
  bans_.AddDNSBan("*.b.test", "", {}, "master");

  EXPECT_EQ(Run(*op, "!cnb"), BotTo(*op, "1 nick bans removed of a total of 3 bans"));
  EXPECT_EQ(feed_.LastAction(), "1 nick bans removed of a total of 3 bans by op");
  EXPECT_NE(bans_.FindNickBan("peer"), nullptr);
  EXPECT_EQ(Run(*op, "!clearipbans"), BotTo(*op, "1 IP bans removed of a total of 2 bans"));
  EXPECT_NE(bans_.FindIPBan("10.8.0.1"), nullptr);
  EXPECT_EQ(Run(*op, "!cdb"), BotTo(*op, "2 DNS bans removed"));
  EXPECT_EQ(feed_.LastAction(), "2 DNS bans removed by op");

  // Nothing removed: no feed line.
  feed_.Actions.clear();
  EXPECT_EQ(Run(*op, "!ccb"), BotTo(*op, "0 client bans removed"));
  EXPECT_EQ(Run(*op, "!cnb"), BotTo(*op, "0 nick bans removed of a total of 2 bans"));
  EXPECT_TRUE(feed_.Actions.empty());

  // Without the nick right only the address bans of no one in particular go.
  THubSocket& netop = Online("netop", MakeProfile("NetOp", {R::MayBanIP}, 9, paHigher));
  bans_.AddIPBan("10.7.*", "", 0, {}, "master");
  EXPECT_EQ(Run(netop, "!cib"), BotTo(netop, "1 IP bans removed of a total of 2 bans"));
  EXPECT_NE(bans_.FindIPBan("10.8.0.1"), nullptr);
}

TEST_F(BanCommandsTest, ListingsShowACardForOneHitAndRowsOtherwise) {
  settings_.MaxHitsOnSearch = 2;
  bans_.AddNickBan("alpha", "first", 0, {}, "master");
  bans_.AddNickBan("alpine", "", 0, HoursLater(1), "op");
  bans_.AddNickBan("beta", "", 0, {}, "master");
  bans_.AddNickBan("gone", "", 0, TDateTime{now_.Seconds + 10}, "master");
  bans_.AddDNSBan("*.a.test", "", {}, "master");
  bans_.AddDNSBan("*.b.test", "", {}, "master");
  now_.Seconds += 20;  // "gone" has run out

  const std::string permanent = Padded("[Permanent]", 3);
  EXPECT_EQ(Run(*master, "!snb al* 0"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 2 hits from offset 0, total hits: 2" +
                               "\r\n\xA6 On search: al*" + kDash + "\r\n\xA6  " +
                               Padded("alpha", 3) + " " + permanent + " first" + "\r\n\xA6  " +
                               Padded("alpine", 3) + " 2024-05-06 13:34:56\t\t " + kDash));
  // Past the page: the header counts the rows written.
  EXPECT_EQ(Run(*master, "!shownickbans * 1"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 2 hits from offset 1, total hits: 3" +
                               "\r\n\xA6 On search: *" + kDash + "\r\n\xA6  " +
                               Padded("alpine", 3) + " 2024-05-06 13:34:56\t\t " + "\r\n\xA6  " +
                               Padded("beta", 3) + " " + permanent + " " + kDash));
  EXPECT_EQ(Run(*master, "!snb"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 2 hits from offset 0, total hits: 3" +
                               "\r\n\xA6 On search: *" + kDash + "\r\n\xA6  " +
                               Padded("alpha", 3) + " " + permanent + " first" + "\r\n\xA6  " +
                               Padded("alpine", 3) + " 2024-05-06 13:34:56\t\t " + kDash));
  EXPECT_EQ(Run(*master, "!snb * 7"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 0 hits from offset 7, total hits: 3" +
                               "\r\n\xA6 On search: *" + kDash));
  EXPECT_EQ(bans_.FindNickBan("gone"), nullptr);

  // One hit is a card, whatever the offset.
  ASSERT_NE(bans_.FindNickBan("alpha"), nullptr);
  bans_.FindNickBan("alpha")->LastUsed = now_;
  EXPECT_EQ(Run(*master, "!snb alpha 5"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 1 hits from offset 5, total hits: 1" +
                               "\r\n\xA6 Ban: alpha" + kDash + "\r\n\xA6  Banned by: master" +
                               "\r\n\xA6  Issued: 2024-05-06 12:34:56" +
                               "\r\n\xA6  Expires: [Permanent]" +
                               "\r\n\xA6  Last used: 2024-05-06 12:35:16" +
                               "\r\n\xA6  Reason: first" + kDash));
  EXPECT_EQ(Run(*master, "!snb alpine"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 1 hits from offset 0, total hits: 1" +
                               "\r\n\xA6 Ban: alpine" + kDash + "\r\n\xA6  Banned by: op" +
                               "\r\n\xA6  Issued: 2024-05-06 12:34:56" +
                               "\r\n\xA6  Expires: 2024-05-06 13:34:56" +
                               "\r\n\xA6  Last used: [Never]" + "\r\n\xA6  Reason: [None]" + kDash));

  // Host names are searched from their end.
  EXPECT_EQ(Run(*master, "!sdb a.test"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 1 hits from offset 0, total hits: 1" +
                               "\r\n\xA6 Ban: *.a.test" + kDash + "\r\n\xA6  Banned by: master" +
                               "\r\n\xA6  Issued: 2024-05-06 12:34:56" +
                               "\r\n\xA6  Expires: [Permanent]" + "\r\n\xA6  Last used: [Never]" +
                               "\r\n\xA6  Reason: [None]" + kDash));
  EXPECT_EQ(Run(*master, "!sdb .test"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 2 hits from offset 0, total hits: 2" +
                               "\r\n\xA6 On search: *.test" + kDash + "\r\n\xA6  " +
                               Padded("*.a.test", 5) + " " + permanent + " " + "\r\n\xA6  " +
                               Padded("*.b.test", 5) + " " + permanent + " " + kDash));
}

TEST_F(BanCommandsTest, TemporaryBansListFromAnOffsetAndClearNewestFirst) {
  settings_.TmpBanTime.Enabled = true;
  settings_.TmpBanTime.Value = 90000000;  // a day and an hour
  tmpBans_.Add("ann", "10.5.0.1", "");
  hubMs_ += 3600000;
  tmpBans_.Add("ben", "10.5.0.2", "");
  tmpBans_.Add("cid", "10.5.0.3", "");
  hubMs_ += 1000;

  EXPECT_EQ(Run(*master, "!showtemp 5"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 0 hits from offset 3, total hits: 3" + kDash));
  EXPECT_EQ(Run(*master, "!st 2"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 1 hits from offset 2, total hits: 3" + kDash +
                               "\r\n\xA6  " + Padded("Nick: cid", 4) + Padded("IP: 10.5.0.3", 3) +
                               "Time: 1:00:59:59" + kDash));
  EXPECT_EQ(Run(*master, "!showtempbans x"),
            BotTo(*master, kDash + "\r\n\xA6 Showing 3 hits from offset 0, total hits: 3" + kDash +
                               "\r\n\xA6  " + Padded("Nick: ann", 4) + Padded("IP: 10.5.0.1", 3) +
                               "Time: 23:59:59" + "\r\n\xA6  " + Padded("Nick: ben", 4) +
                               Padded("IP: 10.5.0.2", 3) + "Time: 1:00:59:59" + "\r\n\xA6  " +
                               Padded("Nick: cid", 4) + Padded("IP: 10.5.0.3", 3) +
                               "Time: 1:00:59:59" + kDash));

  EXPECT_EQ(Run(*master, "!ct 2"), BotTo(*master, "2 temporary bans were removed"));
  EXPECT_NE(tmpBans_.FindNick("ann"), nullptr);
  EXPECT_EQ(Run(*master, "!cleartemp"), BotTo(*master, "1 temporary bans were removed"));
  EXPECT_EQ(tmpBans_.Count(), 0);
}

}  // namespace
