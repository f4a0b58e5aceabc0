// The built-in user commands: their answers, the echo, the history's
// argument rules and self-registration.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/commands/command_delegator.h"
#include "core/commands/commands_fixture.h"

class IntegratedCommandsTest : public TCommandsFixture {
 protected:
  IntegratedCommandsTest() {
    op_ = &Online("op1", MakeProfile("Op", {TProfileRight::IsOperator}));
    user_ = &Online("user1");
  }

  TCommandSource Say(THubSocket& user, std::string_view text, bool pm = false) {
    message_ = pm ? BotPM(user, text) : ChatLine(user, text);
    return delegator_.Delegate(user, message_, pm ? PMStart(user) : ChatStart(user), pm);
  }
  // The user's output after one line.
  std::string Answer(std::string_view text, bool pm = false) {
    EXPECT_EQ(Say(*user_, text, pm), TCommandSource::BuiltIn) << text;
    Out(*op_);
    return Out(*user_);
  }

  TCommandDelegator delegator_{ctx_};
  std::string message_;
  THubSocket* op_ = nullptr;
  THubSocket* user_ = nullptr;
};

TEST_F(IntegratedCommandsTest, FirstInTopicAndStatsAnswerByMainChatOrPrivateMessage) {
  stats_.FirstNick = "alice";
  stats_.CurrentUsers = 3;
  stats_.PeakUsers = 7;
  stats_.AllTimePeakUsers = 9;
  EXPECT_EQ(Answer("+firstin"), Bot("First one to connect was: alice"));
  EXPECT_EQ(Answer("!FIRSTIN", true), BotTo(*user_, "First one to connect was: alice"));
  EXPECT_EQ(Answer("+showtopic"), Bot("No topic has been set"));
  settings_.SetTopic("pay $5 | now");
  EXPECT_EQ(Answer("+showtopic"), Bot("Current topic is: " + settings_.Topic()));
  EXPECT_EQ(Answer("\xA7stats"), Bot("\r\n Hub: Kavro 1.040\r\n Uptime: 1:02:03:04"
                                     "\r\n Online users: 3 / 7\r\n All-time peak users: 9"));
}

TEST_F(IntegratedCommandsTest, HistoryTakesNothingOrAPositiveNumber) {
  history_.Resize(10, 2);
  for (const char* line : {"<a> one", "<b> t$o", "<c> three"}) history_.Add(line);
  language_.SetText(TLanguageKey::HistoryNonIntegerParameter, "Type $hy 5, not ABC");
  const std::string header = "- Mainchat history [showing ";
  const std::string last2 = "[12:34:56] <b> t$o\r\n[12:34:56] <c> three\r\n";
  struct TCase {
    std::string_view Line;
    std::string Expected;
  };
  const TCase cases[] = {
      {"+hy", Bot(header + "2 lines]:\r\n" + last2)},
      {"!history 1", Bot(header + "1 lines]:\r\n[12:34:56] <c> three\r\n")},
      {"+hy 50", Bot(header + "3 lines]:\r\n[12:34:56] <a> one\r\n" + last2)},
      {"!hy x", Bot("Type !hy 5, not ABC")},
      {"+hy 5x", Bot("Type +hy 5, not ABC")},
      {"+hy 99999999999", Bot("Type +hy 5, not ABC")},
      {"+hy 0", Bot(Text(TLanguageKey::HistoryZeroParameter))},
      {"+hy -3", Bot(Text(TLanguageKey::HistoryNegativeParameter))},
  };
  for (const TCase& c : cases) EXPECT_EQ(Answer(c.Line), c.Expected) << c.Line;
}

TEST_F(IntegratedCommandsTest, EchoFollowsItsOwnSettingAndNeverPrivateMessages) {
  using V = TCommandVisibility;
  struct TCase {
    TCommandVisibility Visibility;
    bool PM;
    int ToUser, ToOp;
  };
  const TCase cases[] = {
      {V::Nobody, false, 0, 0},   {V::Writer, false, 1, 0},
      {V::Operators, false, 0, 1}, {V::OperatorsAndWriter, false, 1, 1},
      {V::Everyone, false, 1, 1}, {V::Everyone, true, 0, 0},
  };
  for (const TCase& c : cases) {
    settings_.IntegratedCommandsVisability = c.Visibility;
    ASSERT_EQ(Say(*user_, "+firstin", c.PM), TCommandSource::BuiltIn);
    const std::string echo = ChatLine(*user_, "+firstin");
    EXPECT_EQ(Out(*user_).starts_with(echo) ? 1 : 0, c.ToUser) << static_cast<int>(c.Visibility);
    EXPECT_EQ(Out(*op_) == echo ? 1 : 0, c.ToOp) << static_cast<int>(c.Visibility);
  }
  settings_.IntegratedCommandsVisability = V::Nobody;
  settings_.IntegratedCommandsForceToPM = true;
  EXPECT_EQ(Answer("+firstin"), BotTo(*user_, "First one to connect was: "));
}

TEST_F(IntegratedCommandsTest, RegMeProtectsTheNickWithTheWordGiven) {
  EXPECT_EQ(Say(*user_, "+regme pw"), TCommandSource::None);  // registering is off
  settings_.AllowUsersToRegister = true;
  settings_.IntegratedCommandsVisability = TCommandVisibility::Operators;
  const std::string wrong = Bot(Text(TLanguageKey::UserRegisterMeIncorrectParameter));
  EXPECT_EQ(Answer("+regme"), wrong);
  EXPECT_EQ(Answer("+regme two words"), wrong);
  EXPECT_EQ(registered_.GetCount(), 0);

  ASSERT_EQ(Say(*user_, "+regme pa$$w"), TCommandSource::BuiltIn);
  EXPECT_EQ(Out(*op_), ChatLine(*user_, "+regme ****"));  // the password stays private
  EXPECT_EQ(Out(*user_), Bot("Your nick has been registered, upon next connection you'll have "
                             "to supply the password pa$$w (this message is only visible to "
                             "you)"));
  ASSERT_EQ(registered_.GetCount(), 1);
  ASSERT_NE(registered_.Find("USER1"), nullptr);
  ASSERT_NE(registered_.Find("user1"), nullptr);
  EXPECT_EQ(registered_.Find("user1")->Pass, "pa$$w");
  EXPECT_EQ(registered_.Find("user1")->Created, now_);
  EXPECT_EQ(Answer("!regme other", true),
            BotTo(*user_, Text(TLanguageKey::UserRegisterMeAlreadyRegistered)));

  EXPECT_EQ(Answer("+unregme"), Bot(Text(TLanguageKey::UserUnRegisterMeUnRegistered)));
  EXPECT_EQ(registered_.GetCount(), 0);
  EXPECT_EQ(Answer("+unregme"), Bot(Text(TLanguageKey::UserUnRegisterMeNotFound)));

  // A nick with an account of its own needs no protection.
  THubSocket& member = Online("member", MakeProfile("Member", {}));
  ASSERT_EQ(Say(member, "+regme pw"), TCommandSource::BuiltIn);
  EXPECT_EQ(Out(member), Bot(Text(TLanguageKey::UserRegisterMeHasAccount)));
  EXPECT_EQ(registered_.GetCount(), 0);
}
