// The one kick of the operator command and the built-in command: lookup
// and guards, one kick however often a user is named, the announcement
// by its six texts, the auto-ban's hours and the feed line.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/commands/command_delegator.h"
#include "core/commands/commands_fixture.h"
#include "core/hub_feed.h"
#include "core/share_trace.h"
#include "security/account.h"
#include "utils/text_format.h"

class KickUserTest : public TCommandsFixture {
 protected:
  KickUserTest() {
    settings_.HubCommandsShowCommandToSelf = false;
    settings_.IntegratedCommandsVisability = TCommandVisibility::Nobody;
    op_ = &Online("oper1", MakeProfile("Op", {TProfileRight::IsOperator,
                                              TProfileRight::MayUseHubCommands,
                                              TProfileRight::MayKickUser},
                                       5, paSame));
    bob_ = &Online("bob");
  }

  TCommandSource Say(THubSocket& user, std::string_view text, bool pm = false) {
    message_ = pm ? BotPM(user, text) : ChatLine(user, text);
    return delegator_.Delegate(user, message_, pm ? PMStart(user) : ChatStart(user), pm);
  }
  // The announcement operators get, and the kicker's own output.
  std::string Kick(std::string_view line) {
    EXPECT_NE(Say(*op_, line), TCommandSource::None) << line;
    return Out(*op_);
  }
  std::string Announced(std::string_view text) const { return Bot(text); }

  TCommandDelegator delegator_{ctx_};
  std::string message_;
  THubSocket* op_ = nullptr;
  THubSocket* bob_ = nullptr;
};

TEST_F(KickUserTest, TargetsAreLookedUpAndGuarded) {
  auto op = MakeProfile("Op2", {TProfileRight::IsOperator}, 5);
  auto boss = MakeProfile("Boss", {}, 9);
  Online("same", op);
  Online("boss", boss);
  Online("rock", MakeProfile("Rock", {TProfileRight::MayNeverBeKicked}));
  THubSocket& lower = Online("lower", MakeProfile("Lower", {TProfileRight::MayUseHubCommands,
                                                            TProfileRight::MayKickUser},
                                                  5, paLower));
  struct TCase {
    THubSocket* Sender;
    std::string_view Line;
    TLanguageKey Expected;
  };
  const TCase cases[] = {
      {op_, "!kick nobody", TLanguageKey::OnKickUserNotFound},
      {op_, "!kick HUBBOT", TLanguageKey::OnKickUserUnKickable},  // the hub keeps it
      {op_, "!kick rock", TLanguageKey::OnKickUserUnKickable},
      {op_, "!kick boss", TLanguageKey::OnKickUserTooLowAccountLvl},
      {&lower, "!kick same", TLanguageKey::OnKickUserTooLowAccountLvl},
      {&lower, "+kick same", TLanguageKey::OnKickUserTooLowAccountLvl},
      {op_, "!kick same", TLanguageKey::KickUserKicked},
      {&lower, "+kick bob", TLanguageKey::KickUserKicked},
  };
  for (const TCase& c : cases) {
    Say(*c.Sender, c.Line);
    const std::string reply = FormatText(Text(c.Expected), c.Line.substr(6));
    EXPECT_NE(Out(*c.Sender).find(Bot(reply)), std::string::npos) << c.Line;
  }
  EXPECT_EQ(feed_.Kicks, (std::vector<std::string>{"same was kicked by oper1",
                                                   "bob was kicked by lower"}));
}

TEST_F(KickUserTest, AKickTellsEveryoneConcernedOnce) {
  THubSocket& op2 = Online("op2", MakeProfile("Watcher", {TProfileRight::IsOperator}));
  THubSocket& carol = Online("carol");
  bob_->UserInfo().Kennylized = true;
  // Seven words and a '$': the reason is the rest of the line, as typed.
  const std::string reason = "no $help here, stop it now please";
  EXPECT_EQ(Say(*op_, "!kick bob " + reason), TCommandSource::Hub);

  const std::string kenny = Bot("Oh my god, oper1! You killed kenny. You bastard");
  const std::string announced = Bot("bob, IP address: " + bob_->IP +
                                    " was kicked by oper1 because: " + reason);
  EXPECT_EQ(Out(*op_), announced + Bot("bob was kicked from the hub") + kenny);
  EXPECT_EQ(Out(op2), announced + kenny);
  // The target is on his way out: the farewell is for the others.
  EXPECT_EQ(Out(*bob_), Bot("You were kicked by oper1 because: " + reason));
  EXPECT_EQ(Out(carol), kenny);
  EXPECT_EQ(feed_.Kicks, std::vector<std::string>{"bob was kicked by oper1 because: " + reason});
  EXPECT_EQ(login_.TempBans, std::vector<std::string>{"bob " + reason});
  EXPECT_EQ(bob_->LifeState, lsClosing);
  EXPECT_EQ(stats_.Protocol.Kicks, 1);
  EXPECT_EQ(bob_->UserInfo().KickCount, 1);
  EXPECT_EQ(op_->UserInfo().Transfer.Kicks, 1);
  EXPECT_EQ(op_->Account->Stats.Kicks, 1);

  // Named again before he is gone: only closing again, nothing told or
  // counted, by either command.
  EXPECT_EQ(Say(*op_, "!kick bob again"), TCommandSource::Hub);
  EXPECT_EQ(Say(*op_, "+kick bob"), TCommandSource::BuiltIn);
  EXPECT_EQ(Out(*op_), "");
  EXPECT_EQ(Out(*bob_), "");
  EXPECT_EQ(feed_.Kicks.size(), 1u);
  EXPECT_EQ(stats_.Protocol.Kicks, 1);
  EXPECT_EQ(bob_->UserInfo().KickCount, 1);
}

TEST_F(KickUserTest, TheAnnouncementSaysAutoBannedBeforeTheCount) {
  struct TCase {
    const char* Name;
    TCountPerHours AutoBan;
    int KicksBefore;
    std::string_view Reason;
    std::string Expected;  // after "bob, IP address: {ip} was kicked "
  };
  const TCase cases[] = {
      {"first", {true, 5, 6}, 0, "", "by oper1"},
      {"first with reason", {true, 5, 6}, 0, "why", "by oper1 because: why"},
      {"again", {true, 5, 6}, 1, "", "(total kicks: 2) by oper1"},
      {"again with reason", {false, 2, 6}, 1, "why", "(total kicks: 2) by oper1 because: why"},
      {"banned at two", {true, 2, 2}, 1, "", "(total kicks: 2 thus auto banned) by oper1"},
      {"banned at two with reason", {true, 2, 2}, 1, "why",
       "(total kicks: 2 thus auto banned) by oper1 because: why"},
      {"banned at once", {true, 1, 2}, 0, "why",
       "(total kicks: 1 thus auto banned) by oper1 because: why"},
  };
  for (const TCase& c : cases) {
    settings_.AutoBanOnKick = c.AutoBan;
    THubSocket& target = Online("t" + std::to_string(users_.size()));
    target.UserInfo().KickCount = c.KicksBefore;
    const std::string out =
        Kick("!kick " + target.Nick + (c.Reason.empty() ? "" : " ") + std::string(c.Reason));
    const std::string announced = FormatText(Bot("%s, IP address: %s was kicked " + c.Expected),
                                             target.Nick, target.IP);
    EXPECT_TRUE(out.starts_with(announced)) << c.Name << "\n" << out;
    const bool banned = c.AutoBan.Enabled && c.KicksBefore + 1 >= c.AutoBan.Count;
    const TBan* ban = bans_.FindNickBan(target.Nick);
    ASSERT_EQ(ban != nullptr, banned) << c.Name;
    if (ban != nullptr) {
      EXPECT_EQ(ban->Expires.Seconds - now_.Seconds, c.AutoBan.Hours * 3600) << c.Name;
      EXPECT_EQ(ban->Reason, Text(TLanguageKey::OnKickAutoBanReason));
      EXPECT_EQ(ban->BannedBy, "oper1");
    }
  }
}

TEST_F(KickUserTest, BansAnnouncementsAndTheShareTraceFollowTheirSettings) {
  THubFeed feed(settings_, language_, nickList_, stats_, "");
  TShareTrace trace(settings_, language_, feed);
  ctx_.ShareTrace = &trace;
  TCommandDelegator delegator(ctx_);
  const auto kick = [&](THubSocket& target, std::string_view reason) {
    message_ = ChatLine(*op_, "!kick " + target.Nick + " " + std::string(reason));
    delegator.Delegate(*op_, message_, ChatStart(*op_), false);
    return Out(*op_);
  };

  THubSocket& sturdy = Online("sturdy", MakeProfile("Sturdy", {TProfileRight::MayByPassTmpBans}));
  kick(sturdy, "\xA7share more");
  EXPECT_TRUE(login_.TempBans.empty());
  ASSERT_NE(trace.Find("sturdy", sturdy.IP), nullptr);
  EXPECT_EQ(trace.Find("sturdy", sturdy.IP)->Reason, "share more");

  settings_.UseShareTrace = false;
  settings_.TmpBanTime.Enabled = false;
  settings_.InformOperatorsInMcOnKick = false;
  kick(*bob_, "!share");
  EXPECT_EQ(trace.Count(), 1);
  EXPECT_TRUE(login_.TempBans.empty());
  EXPECT_EQ(Out(*op_), "");
  EXPECT_EQ(Out(*bob_), Bot("You were kicked by oper1 because: !share"));
}

TEST_F(KickUserTest, TheBuiltInKickChecksItsOwnRightAndArguments) {
  THubSocket& helper = Online("helper", MakeProfile("Helper", {TProfileRight::MayUseHubCommands}));
  language_.SetText(TLanguageKey::KickUserKicked, "%s %s %d gone, type $help");
  EXPECT_EQ(Say(*op_, "+kick"), TCommandSource::BuiltIn);
  EXPECT_EQ(Out(*op_), Bot("Wrong number of parameters. Type +help for help"));
  EXPECT_EQ(Say(helper, "+kick bob", true), TCommandSource::BuiltIn);
  EXPECT_EQ(Out(helper), BotTo(helper, Text(TLanguageKey::ForbiddenCommand)));
  EXPECT_EQ(bob_->LifeState, lsInitialised);
  // An edited text with too many places fills what it can.
  EXPECT_EQ(Say(*op_, "+kick bob", true), TCommandSource::BuiltIn);
  EXPECT_NE(Out(*op_).find(BotTo(*op_, "bob %s %d gone, type +help")), std::string::npos);
}
