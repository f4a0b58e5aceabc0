// Which source takes a line: the prefix, the sender's right to use the
// operator commands and the word decide.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/commands/command_delegator.h"
#include "core/commands/commands_fixture.h"

namespace {

// A text-command runner that knows "rules" and counts the lines it saw.
class TRulesRunner : public TTextCommandRunner {
 public:
  int Calls = 0;
  bool Execute(THubSocket&, const TStringList& tokens, bool, std::string_view,
               std::size_t) override {
    ++Calls;
    return tokens.Get(0) == "rules";
  }
};

}  // namespace

class CommandDelegatorTest : public TCommandsFixture {
 protected:
  CommandDelegatorTest() {
    oper_ = &Online("oper1", MakeProfile("Op", {TProfileRight::IsOperator,
                                                TProfileRight::MayUseHubCommands,
                                                TProfileRight::MayKickUser},
                                         5, paSame));
    user_ = &Online("user1");
    bob_ = &Online("bob");
    delegator_.SetTextCommands(&rules_);
  }
  ~CommandDelegatorTest() override { delegator_.SetTextCommands(nullptr); }

  TCommandSource Say(THubSocket& user, std::string_view text, bool pm = false) {
    message_ = pm ? BotPM(user, text) : ChatLine(user, text);
    return delegator_.Delegate(user, message_, pm ? PMStart(user) : ChatStart(user), pm);
  }

  TRulesRunner rules_;
  TCommandDelegator delegator_{ctx_};
  std::string message_;
  THubSocket* oper_ = nullptr;
  THubSocket* user_ = nullptr;
  THubSocket* bob_ = nullptr;
};

TEST_F(CommandDelegatorTest, ThePrefixTheProfileAndTheWordChooseTheSource) {
  using S = TCommandSource;
  struct TCase {
    std::string_view Text;
    bool Operator;  // sender: the operator, else a user without command rights
    bool PM;
    TCommandSource Expected;
  };
  const TCase cases[] = {
      {"..x", true, false, S::None},
      {".x", true, false, S::Hub},                 // unknown: answered
      {"+nosuch", true, false, S::None},
      {"+nosuch", false, false, S::None},
      {"!kick bob", false, false, S::None},        // no command rights: chat
      {"+kick bob", false, false, S::None},
      {"!kick bob", true, false, S::Hub},
      {"+kick bob", true, false, S::BuiltIn},
      {"#help", true, false, S::Hub},
      {".help", true, true, S::Hub},
      {"?help", true, false, S::Hub},
      {"#help", false, false, S::None},
      {"#firstin", true, false, S::Hub},           // '#' reaches only the operator commands
      {"#firstin", false, false, S::None},
      {"!firstin", true, false, S::BuiltIn},       // a built-in name typed by an operator
      {"!firstin", false, false, S::BuiltIn},
      {"+firstin", false, true, S::BuiltIn},
      {"\xA7" "firstin", false, false, S::BuiltIn},
      {".firstin", false, false, S::None},
      {"!stats", true, false, S::Hub},
      {"!stats", false, false, S::BuiltIn},
      {"!nosuch", true, false, S::Hub},
      {"!nosuch", false, false, S::None},
      {"!regme pw", false, false, S::None},        // registering is off
      {"+rules", false, false, S::Text},
      {"!rules", false, false, S::None},
      {"+", true, false, S::None},
      {"+ ", true, false, S::None},
      {"!", true, false, S::None},
      {"\xA7", true, false, S::None},
      {"!   ", true, true, S::None},
      {"\xC2\xA7help", true, false, S::None},      // UTF-8 of the section sign is chat
      {"", true, false, S::None},
      {"hello", true, false, S::None},
  };
  for (const TCase& c : cases) {
    THubSocket& sender = c.Operator ? *oper_ : *user_;
    EXPECT_EQ(Say(sender, c.Text, c.PM), c.Expected)
        << "'" << c.Text << "' by " << sender.Nick << (c.PM ? " (PM)" : "");
    Out(*oper_);
    Out(*user_);
  }
}

TEST_F(CommandDelegatorTest, APrefixWithoutAWordReachesNoSource) {
  for (const std::string_view text : {"+", "+  ", "!", "\xA7 "}) {
    EXPECT_EQ(Say(*oper_, text), TCommandSource::None) << text;
    EXPECT_EQ(Out(*oper_), "") << text;
  }
  EXPECT_EQ(rules_.Calls, 0);
  Say(*user_, "+nosuch");
  EXPECT_EQ(rules_.Calls, 1);
}

TEST_F(CommandDelegatorTest, AtMostSixWordsAreTokens) {
  EXPECT_EQ(Say(*oper_, "!nosuch  a b   c d e f g"), TCommandSource::Hub);
  const TStringList& tokens = delegator_.Tokens();
  ASSERT_EQ(tokens.Count(), 6);
  EXPECT_EQ(tokens.Get(0), "nosuch");
  EXPECT_EQ(tokens.Get(5), "e");
}

TEST_F(CommandDelegatorTest, ABuiltInNameTypedByAnOperatorIsEchoedOnceAndNotRefused) {
  settings_.HubCommandsVisability = TCommandVisibility::Everyone;
  settings_.IntegratedCommandsVisability = TCommandVisibility::Everyone;
  EXPECT_EQ(Say(*oper_, "!showtopic"), TCommandSource::BuiltIn);
  const std::string echo = ChatLine(*oper_, "!showtopic");
  EXPECT_EQ(Out(*bob_), echo);
  EXPECT_EQ(Out(*oper_), echo + Bot(Text(TLanguageKey::ShowTopicNone)));

  // An unknown name the operator commands take is echoed by them alone.
  EXPECT_EQ(Say(*oper_, "!nosuch"), TCommandSource::Hub);
  EXPECT_EQ(Out(*bob_), ChatLine(*oper_, "!nosuch"));
}
