// "$Kick", "$OpForceMove", "$UserIP", "$BotINFO" and "$GetINFO" through the
// protocol engine's dispatch, with the real chat handler keeping the kick
// reasons.

#include <cstdint>
#include <string>
#include <vector>

#include "chat_test_fixture.h"
#include "core/hub_feed.h"
#include "core/operator_messages.h"
#include "core/share_trace.h"
#include "security/ban_list.h"
#include "utils/constants.h"
#include "utils/text_format.h"

namespace {

// The feed with its Kick lines.
class TKickFeed : public TRecordingFeed {
 public:
  std::vector<std::string> Kicks;
  void PostKick(const std::string& line) override { Kicks.push_back(line); }
};

// Temporary bans as "nick ip reason".
class TTempBans : public TLoginHooks {
 public:
  std::vector<std::string> Bans;
  void TempBan(THubSocket& user, const std::string& reason) override {
    Bans.push_back(user.Nick + " " + user.IP + " " + reason);
  }
};

class OperatorMessagesTest : public TChatFixture {
 protected:
  static constexpr std::int64_t kBanNow = 1'700'000'000;

  OperatorMessagesTest() {
    hooks_.SetFeed(&kickFeed_);
    hooks_.SetLogin(&tempBans_);
    router_.SetFallback(&ops_);
    messages_.SetRedirectCounter([this] { ++stats_.Protocol.Redirects; });
    op_->ProfileLevel = 5;
    op_->SetRight(TProfileRight::MayKickUser, paLower);
    op_->SetRight(TProfileRight::MayRedirect, paLower);
    settings_.AutoBanOnKick.Enabled = false;
    settings_.SuppressKickMessagesInMainChat = true;
  }
  ~OperatorMessagesTest() override { router_.SetFallback(nullptr); }

  // A kick announced in main chat, then the client's "$Kick".
  void Kick(THubSocket& op, std::string_view victim, std::string_view reason) {
    if (!reason.empty()) {
      Send(op, "<" + op.Nick + "> " + op.Nick + " is kicking " + std::string(victim) +
                   " because: " + std::string(reason) + "|");
    }
    EXPECT_TRUE(Send(op, "$Kick " + std::string(victim) + "|"));
  }

  std::string Format(TLanguageKey key, const auto&... args) const {
    return FormatText(Text(key), args...);
  }

  TKickFeed kickFeed_;
  TTempBans tempBans_;
  TBanList bans_{language_, {}, [] { return TDateTime{kBanNow}; }};
  std::uint64_t now_ = 0;
  std::vector<int> ports_;
  TOperatorMessages ops_{{settings_, language_, nickList_, messages_, nicksInUse_, hooks_, stats_,
                          bans_, router_.Chat()},
                         [this] { return ports_; },
                         [this] { return now_; }};
};

// --- $Kick -------------------------------------------------------------------

TEST_F(OperatorMessagesTest, KickClosesTheTargetAndAccountsForIt) {
  THubSocket& op = Online("op", "Op");
  THubSocket& bob = Online("bob", {}, "10.0.0.2");
  THubSocket& carol = Online("carol");
  Output(op);

  Kick(op, "bob", "spam");

  EXPECT_EQ(bob.LifeState, lsClosing);
  EXPECT_TRUE(bob.UserInfo().Kicked);
  EXPECT_EQ(carol.LifeState, lsInitialised);
  EXPECT_EQ(tempBans_.Bans, std::vector<std::string>{"bob 10.0.0.2 spam"});
  EXPECT_EQ(stats_.Protocol.Kicks, 1);
  EXPECT_EQ(bob.UserInfo().KickCount, 1);
  EXPECT_EQ(op.UserInfo().Transfer.Kicks, 1);
  EXPECT_EQ(op.Account->Stats.Kicks, 1);
  // Only operators hear of it; the feed gets its Kick line.
  EXPECT_EQ(Output(op), Bot(Format(TLanguageKey::OnKickUserWithReason, "bob", "10.0.0.2", "op",
                                   "spam")));
  EXPECT_EQ(Output(carol), "");
  EXPECT_EQ(kickFeed_.Kicks,
            std::vector<std::string>{Format(TLanguageKey::OnKickFeedMessageHasReason, "bob", "op",
                                            "spam")});
}

TEST_F(OperatorMessagesTest, KickRefusalsTellTheKickerOnly) {
  auto boss = Profile("Boss", TProfileRight::IsOperator, 1);
  boss->ProfileLevel = 9;
  auto saint = Profile("Saint", TProfileRight::MayNeverBeKicked, 1);
  struct TCase {
    const char* name;
    std::string victim;
    std::string profile;  // the victim's
    std::string reply;    // empty: dropped silently
  };
  const std::vector<TCase> cases = {
      {"unknown nick", "nobody", "", Bot(Text(TLanguageKey::OnKickUserNotFound))},
      {"the hub's own name", "Kavro", "", Bot(Text(TLanguageKey::OnKickUserUnKickable))},
      {"never kicked", "saint", "Saint", Bot(Text(TLanguageKey::OnKickUserUnKickable))},
      {"stronger target", "boss", "Boss", Bot(Text(TLanguageKey::OnKickUserTooLowAccountLvl))},
  };
  THubSocket& op = Online("op", "Op");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THubSocket* victim = c.victim == "nobody" || c.victim == "Kavro"
                             ? nullptr
                             : &Online(c.victim, c.profile);
    Output(op);
    Kick(op, c.victim, "");
    EXPECT_EQ(Output(op), c.reply);
    if (victim != nullptr) {
      EXPECT_EQ(victim->LifeState, lsInitialised);
    }
  }
  EXPECT_EQ(stats_.Protocol.Kicks, 0);
  EXPECT_TRUE(kickFeed_.Kicks.empty());
  EXPECT_TRUE(tempBans_.Bans.empty());
}

TEST_F(OperatorMessagesTest, KickWithoutTheRightIsDropped) {
  THubSocket& user = Online("user");
  THubSocket& bob = Online("bob");
  Kick(user, "bob", "");
  EXPECT_EQ(bob.LifeState, lsInitialised);
  EXPECT_EQ(Output(user), "");

  settings_.KickAllowed = false;
  THubSocket& op = Online("op", "Op");
  Kick(op, "bob", "");
  EXPECT_EQ(bob.LifeState, lsInitialised);
  EXPECT_EQ(stats_.Protocol.Kicks, 0);
}

TEST_F(OperatorMessagesTest, ShortKickClosesTheSender) {
  THubSocket& op = Online("op", "Op");
  EXPECT_FALSE(Send(op, "$Kick |"));
  EXPECT_EQ(op.LifeState, lsClosing);
}

TEST_F(OperatorMessagesTest, SecondKickOfAKickedUserOnlyClosesAgain) {
  THubSocket& op = Online("op", "Op");
  THubSocket& op2 = Online("op2", "Op");
  THubSocket& bob = Online("bob");
  Kick(op, "bob", "one");
  Output(op);
  Output(op2);

  Kick(op2, "bob", "two");

  EXPECT_EQ(bob.LifeState, lsClosing);
  EXPECT_EQ(Output(op), "");
  EXPECT_EQ(stats_.Protocol.Kicks, 1);
  EXPECT_EQ(bob.UserInfo().KickCount, 1);
  EXPECT_EQ(tempBans_.Bans.size(), 1u);
  EXPECT_EQ(kickFeed_.Kicks.size(), 1u);
}

TEST_F(OperatorMessagesTest, AnnouncedReasonServesOneKickOnly) {
  THubSocket& op = Online("op", "Op");
  THubSocket& bob = Online("bob");
  Kick(op, "bob", "spam");
  nickList_.Remove(bob);
  Online("bob");  // back under the same nick

  Kick(op, "bob", "");

  ASSERT_EQ(kickFeed_.Kicks.size(), 2u);
  EXPECT_EQ(kickFeed_.Kicks[1], Format(TLanguageKey::OnKickFeedMessage, "bob", "op"));
  EXPECT_EQ(tempBans_.Bans[1], "bob 10.0.0.1 ");
}

TEST_F(OperatorMessagesTest, ReasonOfAKickThatFoundNobodyIsGoneToo) {
  THubSocket& op = Online("op", "Op");
  Kick(op, "bob", "spam");  // bob is not here yet
  Online("bob");

  Kick(op, "bob", "");

  EXPECT_EQ(kickFeed_.Kicks,
            std::vector<std::string>{Format(TLanguageKey::OnKickFeedMessage, "bob", "op")});
}

TEST_F(OperatorMessagesTest, OperatorLineNamesTheAutoBanBeforeTheCount) {
  struct TCase {
    const char* name;
    std::string reason;
    int earlierKicks;
    int autoBanCount;  // 0: off
    TLanguageKey text;
  };
  const std::vector<TCase> cases = {
      {"first kick", "", 0, 0, TLanguageKey::OnKickUser},
      {"first kick, reason", "spam", 0, 0, TLanguageKey::OnKickUserWithReason},
      {"second kick", "", 1, 0, TLanguageKey::OnKickUserWithTotalKicks},
      {"second kick, reason", "spam", 1, 0, TLanguageKey::OnKickUserWithTotalKicksAndReason},
      {"banned at once", "", 0, 1, TLanguageKey::OnKickUserWithTotalKicksAndAutoBan},
      {"banned at the second", "", 1, 2, TLanguageKey::OnKickUserWithTotalKicksAndAutoBan},
      {"banned at the second, reason", "spam", 1, 2,
       TLanguageKey::OnKickUserWithTotalKicksAndReasonAndAutoBan},
      {"not yet banned", "", 1, 3, TLanguageKey::OnKickUserWithTotalKicks},
  };
  THubSocket& op = Online("op", "Op");
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string nick = "v" + std::to_string(++n);
    THubSocket& victim = Online(nick, {}, "10.0.1." + std::to_string(n));
    victim.UserInfo().KickCount = c.earlierKicks;
    settings_.AutoBanOnKick = {c.autoBanCount > 0, c.autoBanCount, 6};
    Output(op);

    Kick(op, nick, c.reason);

    const int kicks = c.earlierKicks + 1;
    const std::string expected =
        c.text == TLanguageKey::OnKickUser ? Format(c.text, nick, victim.IP, "op")
        : c.text == TLanguageKey::OnKickUserWithReason
            ? Format(c.text, nick, victim.IP, "op", c.reason)
        : c.reason.empty() ? Format(c.text, nick, victim.IP, kicks, "op")
                           : Format(c.text, nick, victim.IP, kicks, "op", c.reason);
    EXPECT_EQ(Output(op), Bot(expected));
  }
}

TEST_F(OperatorMessagesTest, AutoBanBansTheNickForTheHoursByTheKicker) {
  settings_.AutoBanOnKick = {true, 1, 6};
  auto vip = Profile("Member", TProfileRight::MaySendMainChatMessages, 1);
  vip->ProfileLevel = 3;
  THubSocket& op = Online("op", "Op");
  THubSocket& bob = Online("bob", "Member");
  Output(bob);

  Kick(op, "bob", "");

  const TBan* ban = bans_.FindNickBan("bob");
  ASSERT_NE(ban, nullptr);
  EXPECT_EQ(ban->Reason, Text(TLanguageKey::OnKickAutoBanReason));
  EXPECT_EQ(ban->BannedBy, "op");
  EXPECT_EQ(ban->Level, 3);
  EXPECT_EQ(ban->Expires.Seconds, kBanNow + 6 * 3600);
  // The user is told by the ban's own text.
  const std::string told = Output(bob);
  EXPECT_TRUE(told.starts_with(settings_.BotChatPrefix())) << told;
  EXPECT_NE(told.find(Text(TLanguageKey::OnKickAutoBanReason)), std::string::npos) << told;
}

TEST_F(OperatorMessagesTest, AutoBanReasonFromTheLanguageFileCannotEndTheMessage) {
  settings_.AutoBanOnKick = {true, 1, 6};
  language_.SetText(TLanguageKey::OnKickAutoBanReason, "kicked|$ForceMove evil.example");
  THubSocket& op = Online("op", "Op");
  THubSocket& bob = Online("bob");
  Output(bob);

  Kick(op, "bob", "");

  const std::string told = Output(bob);
  EXPECT_EQ(told.find('|'), told.size() - 1) << told;
  EXPECT_NE(told.find("kicked&#124;$ForceMove evil.example"), std::string::npos) << told;
}

TEST_F(OperatorMessagesTest, KickSwitchesAndProfiles) {
  THubSocket& op = Online("op", "Op");
  Profile("Sturdy", TProfileRight::MayByPassTmpBans, 1);
  THubSocket& bob = Online("bob", "Sturdy");
  THubSocket& kenny = Online("kenny");
  kenny.UserInfo().Kennylized = true;
  settings_.InformOperatorsInMcOnKick = false;
  Output(op);

  Kick(op, "bob", "");
  EXPECT_EQ(bob.LifeState, lsClosing);
  EXPECT_TRUE(tempBans_.Bans.empty());  // may bypass temporary bans
  EXPECT_EQ(Output(op), "");            // operators not told

  Kick(op, "kenny", "");
  EXPECT_EQ(Output(op), Bot(Format(TLanguageKey::OnKickIfKennylized, "op")));

  settings_.TmpBanTime.Enabled = false;
  THubSocket& carol = Online("carol");
  Kick(op, "carol", "");
  EXPECT_EQ(carol.LifeState, lsClosing);
  EXPECT_EQ(tempBans_.Bans.size(), 1u);  // kenny's only
}

TEST_F(OperatorMessagesTest, ShareDemandGoesToTheShareTrace) {
  THubFeed feed{settings_, language_, nickList_, stats_, ""};
  TShareTrace trace{settings_, language_, feed};
  ops_.SetShareTrace(&trace);
  THubSocket& op = Online("op", "Op");
  Online("bob", {}, "10.0.0.2");
  Online("carol", {}, "10.0.0.3");

  Kick(op, "bob", "!share more");
  Kick(op, "carol", "plain");

  const TShareTraceItem* item = trace.Find("bob", "10.0.0.2");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Reason, "share more");
  EXPECT_EQ(trace.Count(), 1);
  ops_.SetShareTrace(nullptr);
}

// --- $OpForceMove --------------------------------------------------------------

TEST_F(OperatorMessagesTest, OpForceMoveShowsTheReasonAndMovesTheTarget) {
  struct TCase {
    const char* name;
    std::string message;  // after "$Msg:"
    std::string shown;
  };
  const std::string to = "127.0.0.1:4111";
  const std::vector<TCase> cases = {
      {"standard sentence", "You are being redirected to " + to + ": go away",
       Format(TLanguageKey::OnRedirectUserWithReason, to, "go away")},
      {"own words", "see you there", Format(TLanguageKey::OnRedirectUserWithReason, to,
                                            "see you there")},
      {"no message", "", Format(TLanguageKey::OnRedirectUser, to)},
      {"standard sentence without a reason", "You are being redirected to " + to + ":",
       Format(TLanguageKey::OnRedirectUser, to)},
  };
  THubSocket& op = Online("op", "Op");
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string nick = "t" + std::to_string(++n);
    THubSocket& target = Online(nick);
    EXPECT_TRUE(Send(op, "$OpForceMove $Who:" + nick + "$Where:" + to + "$Msg:" + c.message + "|"));
    EXPECT_EQ(Output(target), "<op> " + c.shown + "|$ForceMove " + to + "|");
    EXPECT_EQ(target.LifeState, lsClosing);
    ASSERT_EQ(kickFeed_.Actions.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(kickFeed_.Actions.back(), Format(TLanguageKey::OnRedirectFeedMessage, "op", nick, to));
  }
  EXPECT_EQ(op.UserInfo().Transfer.Redirects, n);
  EXPECT_EQ(op.Account->Stats.Redirects, n);
  EXPECT_EQ(stats_.Protocol.Redirects, n);
}

TEST_F(OperatorMessagesTest, OpForceMoveWithoutAnAddressIsDropped) {
  THubSocket& op = Online("op", "Op");
  THubSocket& bob = Online("bob");
  for (const char* where : {"", "  "}) {
    EXPECT_TRUE(Send(op, std::string("$OpForceMove $Who:bob$Where:") + where +
                             "$Msg:You are being redirected|"));
  }
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(bob.LifeState, lsInitialised);
  EXPECT_EQ(op.UserInfo().Transfer.Redirects, 0);
  EXPECT_EQ(op.Account->Stats.Redirects, 0);
  EXPECT_EQ(stats_.Protocol.Redirects, 0);
  EXPECT_TRUE(kickFeed_.Actions.empty());
}

TEST_F(OperatorMessagesTest, OpForceMoveRefusals) {
  auto boss = Profile("Boss", TProfileRight::IsOperator, 1);
  boss->ProfileLevel = 9;
  Profile("Fixed", TProfileRight::MayNeverBeRedirected, 1);
  auto mover = Profile("Mover", TProfileRight::MayRedirect, paHigher);  // no operator
  THubSocket& op = Online("op", "Op");
  THubSocket& user = Online("user", "Mover");
  THubSocket& boss1 = Online("boss", "Boss");
  THubSocket& fixed = Online("fixed", "Fixed");
  Online("bob");
  const auto move = [this](THubSocket& from, std::string_view nick) {
    return Send(from, "$OpForceMove $Who:" + std::string(nick) +
                          "$Where:127.0.0.1:4111$Msg:go away now|");
  };
  struct TCase {
    const char* name;
    THubSocket* from;
    std::string nick;
    std::string reply;
  };
  const std::vector<TCase> cases = {
      {"not an operator", &user, "bob", ""},
      {"unknown", &op, "nobody", Bot(Text(TLanguageKey::OnRedirectUserNotFound))},
      {"the hub's own name", &op, "Kavro", Bot(Text(TLanguageKey::OnRedirectUserUnMoveable))},
      {"never redirected", &op, "fixed", Bot(Text(TLanguageKey::OnRedirectUserUnMoveable))},
      {"stronger", &op, "boss", Bot(Text(TLanguageKey::OnRedirectUserTooLowAccountLvl))},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(move(*c.from, c.nick));
    EXPECT_EQ(Output(*c.from), c.reply);
  }
  settings_.RedirectAllowed = false;
  EXPECT_TRUE(move(op, "bob"));
  EXPECT_EQ(Output(op), "");
  for (THubSocket* u : {&boss1, &fixed}) EXPECT_EQ(u->LifeState, lsInitialised);
  ASSERT_NE(nickList_.FindUser("bob"), nullptr);
  EXPECT_EQ(nickList_.FindUser("bob")->LifeState, lsInitialised);
  EXPECT_EQ(stats_.Protocol.Redirects, 0);
  (void)mover;

  settings_.RedirectAllowed = true;

  EXPECT_FALSE(Send(op, "$OpForceMove $Who:bob and no end at all|"));  // no '$' after the nick
  EXPECT_FALSE(Send(op, "$OpForceMove $Who:b$Where:x$Msg:|"));  // too short
  EXPECT_EQ(op.LifeState, lsClosing);
}

// --- $UserIP, $GetINFO ----------------------------------------------------------

TEST_F(OperatorMessagesTest, UserIPAnswersEveryKnownNickInOneLine) {
  auto ip = Profile("Seer", TProfileRight::MayAccessUserIP2, 1);
  THubSocket& seer = Online("seer", "Seer");
  Online("alice", {}, "1.2.3.4");
  Online("bob", {}, "5.6.7.8");
  Online("carol", {}, "9.9.9.9");
  struct TCase {
    std::string request;
    std::string reply;
  };
  const std::vector<TCase> cases = {
      {"$UserIP alice$$ghost$$bob$$carol|",
       "$UserIP alice 1.2.3.4$$bob 5.6.7.8$$carol 9.9.9.9|"},
      {"$UserIP BOB|", "$UserIP bob 5.6.7.8|"},
      {"$UserIP ghost$$nobody|", ""},
      {"$UserIP |", ""},
  };
  for (const TCase& c : cases) {
    EXPECT_TRUE(Send(seer, c.request));
    EXPECT_EQ(Output(seer), c.reply) << c.request;
  }
  THubSocket& plain = Online("plain");
  EXPECT_TRUE(Send(plain, "$UserIP alice|"));
  EXPECT_EQ(Output(plain), "");
  (void)ip;
}

TEST_F(OperatorMessagesTest, GetINFOIsCountedAndNotAnswered) {
  THubSocket& user = Online("user");
  EXPECT_TRUE(Send(user, "$GetINFO bob user|"));
  EXPECT_EQ(Output(user), "");
  EXPECT_EQ(user.UserInfo().Transfer.GetINFOs, 1);
  EXPECT_EQ(stats_.Protocol.GetINFOs, 1);
}

// --- $BotINFO -------------------------------------------------------------------

TEST_F(OperatorMessagesTest, BotINFOAnswersFiveTimesAMinute) {
  THubSocket& pinger = NewUser(lgKeyAccepted, "");
  std::vector<bool> answered;
  // From the clock's very first moment: nothing may hang on its start.
  for (std::uint64_t t : {0, 1, 2, 30000, 59999, 59999, 60000, 60001}) {
    now_ = t;
    EXPECT_TRUE(Send(pinger, "$BotINFO pinger|"));
    answered.push_back(Output(pinger).starts_with("$HubINFO "));
  }
  EXPECT_EQ(answered, (std::vector<bool>{true, true, true, true, true, false, true, true}));
  EXPECT_EQ(stats_.Protocol.BotINFO, 7);
  EXPECT_EQ(pinger.UserInfo().Transfer.BotINFOs, 7);
}

TEST_F(OperatorMessagesTest, BotINFOSendsTheIconOnceLoaded) {
  THubSocket& pinger = NewUser(lgLockSent, "");
  settings_.HublistIconLoaded = true;
  settings_.HublistIconAddress = "http://icons.example/a.jpg";
  EXPECT_TRUE(Send(pinger, "$BotINFO pinger|"));
  const std::string out = Output(pinger);
  EXPECT_TRUE(out.starts_with("$SetIcon http://icons.example/a.jpg|$HubINFO ")) << out;
}

TEST(HubINFOTest, AddressGetsThePortOnlyWhenClientsCouldNotGuessIt) {
  struct TCase {
    std::string address;
    std::vector<int> ports;
    std::string sent;
  };
  const std::vector<TCase> cases = {
      {"hub.example", {4111, 5000}, "hub.example:4111"},
      {"hub.example", {4111, 411}, "hub.example"},
      {"hub.example", {}, "hub.example"},
      {"hub.example:999", {4111}, "hub.example:999"},
  };
  for (const TCase& c : cases) {
    TSettings settings;
    settings.HubAddress = c.address;
    const std::string text = BuildHubINFO(settings, c.ports);
    const std::size_t start = text.find('$', 1) + 1;
    EXPECT_EQ(text.substr(start, text.find('$', start) - start), c.sent) << text;
  }
}

TEST(HubINFOTest, TwelveFieldsEachEscaped) {
  TSettings settings;
  settings.SetHubName("Hub");
  settings.HubAddress = "hub.example";
  settings.HubDescription = "a|b$c";
  settings.MaxUsers = 100;
  settings.ConnRestriction.MinShareEnabled = true;
  settings.ConnRestriction.MinShare = 1024;
  settings.ConnRestriction.MinSlotsEnabled = false;
  settings.ConnRestriction.MinSlots = 7;
  settings.ConnRestriction.MaxHubsEnabled = true;
  settings.ConnRestriction.MaxHubs = 4;
  settings.HubOwner = "me$";
  settings.HubCategory = "cat";
  settings.HublistEmail = "x@example.org";
  settings.HublistWeb = "web|";
  const std::string software = std::string(kProductName) + " " + std::string(kProgramVersion);
  EXPECT_EQ(BuildHubINFO(settings, {411}), "$HubINFO Hub$hub.example$a&#124;b&#36;c$100$1024$0$4$" +
                                               software + "$me&#36;$cat$x@example.org$web&#124;|");
}

}  // namespace
