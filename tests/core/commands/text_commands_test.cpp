// Text commands: who receives what, the parameters and placeholders, the
// runs on connect, at login and on schedule.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/commands/text_commands.h"
#include "core/hub_feed.h"
#include "support/temp_folder.h"
#include "utils/string_list.h"

class TextCommandsTest : public TCommandsFixture {
 protected:
  TextCommandsTest() {
    settings_.SetHubName("TestHub");
    op_ = &Online("op1", MakeProfile("Op", {TProfileRight::IsOperator,
                                            TProfileRight::MayReceiveTextCommandFeed},
                                     5));
    op_->UserInfo().Supports.Feed = true;
    user_ = &Online("user1");
    bob_ = &Online("bob");
    commands_.SeedRandom(7);
  }

  // A command with the given content, answering nothing else by default.
  TTextCommand& Make(std::string_view name, std::string_view content) {
    TTextCommand& command = Required(commands_.Add(name), name);
    command.Content = std::string(content);
    command.MainchatCommandVisibility = 0;
    return command;
  }

  // Runs a "+" line as the delegator would.
  bool Call(THubSocket& user, std::string_view text, bool pm = false) {
    message_ = pm ? BotPM(user, text) : ChatLine(user, text);
    const std::size_t start = pm ? PMStart(user) : ChatStart(user);
    TStringList tokens;
    std::string_view words = std::string_view(message_).substr(start + 1);
    words.remove_suffix(1);
    const std::size_t end = words.find(' ');
    tokens.Add(std::string(words.substr(0, end)));
    return commands_.Execute(user, tokens, pm, message_, start);
  }

  void ClearAll() {
    for (THubSocket* user : {op_, user_, bob_}) Out(*user);
  }

  TTempFolder folder_;
  THubFeed hubFeed_{settings_, language_, nickList_, stats_, folder_.String() + "/"};
  bool feedRoom_ = true;
  std::uint64_t clock_ = 1000;
  TTextCommands commands_{TTextCommandsContext{
      settings_, language_, nickList_, messages_, stats_, &hubFeed_, [this] { return feedRoom_; },
      [] { return std::string("0:01:02"); }, [this] { return now_; }, [this] { return clock_; },
      [this](const std::string& line) { gui_.push_back(line); }, {}}};
  std::vector<std::string> gui_;
  std::string message_;
  THubSocket* op_ = nullptr;
  THubSocket* user_ = nullptr;
  THubSocket* bob_ = nullptr;
};

TEST_F(TextCommandsTest, SectionsTargetsAndFormsReachTheirReceivers) {
  struct TCase {
    std::string_view Content;
    int BroadCast;
    int Form;
    bool PM;  // called by private message
    std::string Caller, Op, Bob;
  };
  const std::string f = " From: HubBot $<HubBot> ";
  const TCase cases[] = {
      // Placeholders, as called.
      {"Hi <nick> on <hubname> (<botname>)", 0, 0, false, "<HubBot> Hi user1 on TestHub (HubBot)|",
       "", ""},
      {"Hi <nick>", 0, 0, true, "$To: user1" + f + "Hi user1|", "", ""},
      {"at <date> <time> up <uptime>, <users> users", 0, 2, true,
       "<HubBot> at 2024-05-06 12:34:56 up 0:01:02, 3 users|", "", ""},
      // Each form to the caller.
      {"x", 0, 1, false, "$To: user1" + f + "x|", "", ""},
      {"$Raw|", 0, 3, false, "$Raw|", "", ""},
      // Sections: the operators' part, the rest to the caller.
      {"A<[ops]>B</[ops]>C", 0, 0, false, "<HubBot> AC|", "<HubBot> B|", ""},
      // An unclosed section runs to the end.
      {"A<[all]>B", 0, 0, false, "<HubBot> B|<HubBot> A|", "<HubBot> B|", "<HubBot> B|"},
      {"<[self]>S</[self]><[ops]>O", 2, 0, false, "<HubBot> S|", "<HubBot> O|", ""},
      {"<[feed]>F</[feed]>", 0, 0, false, "", "$Feed F|", ""},
      // Targets with each form.
      {"o", 1, 0, true, "", "$To: op1" + f + "o|", ""},
      {"o", 1, 2, true, "", "<HubBot> o|", ""},
      {"a", 2, 1, false, "$To: user1" + f + "a|", "$To: op1" + f + "a|", "$To: bob" + f + "a|"},
      {"$R|", 2, 3, false, "$R|", "$R|", "$R|"},
      {"feed|line", 3, 1, false, "", "$Feed feed&#124;line|", ""},
      // Form 4 picks one non-empty part; one with none sends nothing.
      {"||", 0, 4, false, "", "", ""},
      {"||", 2, 4, false, "", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Content) + " target " + std::to_string(c.BroadCast) + " form " +
                 std::to_string(c.Form));
    commands_.Delete("t");
    TTextCommand& command = Make("t", c.Content);
    command.BroadCast = c.BroadCast;
    command.MessageType = c.Form;
    ClearAll();
    EXPECT_TRUE(Call(*user_, "+t", c.PM));
    EXPECT_EQ(Out(*user_), c.Caller);
    EXPECT_EQ(Out(*op_), c.Op);
    EXPECT_EQ(Out(*bob_), c.Bob);
  }
}

TEST_F(TextCommandsTest, TheFeedTargetNeedsAFeedRoom) {
  Make("t", "<[feed]>F").BroadCast = 3;
  feedRoom_ = false;
  ClearAll();
  EXPECT_TRUE(Call(*user_, "+t"));
  EXPECT_EQ(Out(*op_), "");
}

TEST_F(TextCommandsTest, TheRandomLineIsOneNonEmptyPart) {
  TTextCommand& command = Make("t", "|a||b|");
  command.MessageType = 4;
  std::set<std::string> seen;
  for (std::uint32_t seed = 0; seed < 40; ++seed) {
    commands_.SeedRandom(seed);
    Call(*user_, "+t");
    seen.insert(Out(*user_));
  }
  EXPECT_EQ(seen, (std::set<std::string>{"<HubBot> a|", "<HubBot> b|"}));
  // A fixed seed gives the same choice each time.
  commands_.SeedRandom(11);
  Call(*user_, "+t");
  const std::string first = Out(*user_);
  commands_.SeedRandom(11);
  Call(*user_, "+t");
  EXPECT_EQ(Out(*user_), first);
}

TEST_F(TextCommandsTest, OnlyReceiversInTheShowRangeGetABroadcast) {
  TTextCommand& command = Make("t", "x");
  command.BroadCast = 2;
  command.ShowMinLevel = 5;
  ClearAll();
  Call(*user_, "+t");
  EXPECT_EQ(Out(*op_), "<HubBot> x|");
  EXPECT_EQ(Out(*user_), "");
  EXPECT_EQ(Out(*bob_), "");
}

TEST_F(TextCommandsTest, ParametersComeFromTheWholeLine) {
  struct TCase {
    int Parameters;
    std::string_view Content, Line, Expected;
  };
  const std::string tooFew = "<HubBot> You need to supply at least 2 parameters|";
  const TCase cases[] = {
      {2, "<parm1>/<parm2>", "+t a b c", "<HubBot> a/b c|"},
      {2, "<parm1>/<parm2>", "+t  a   b  c", "<HubBot> a/b  c|"},
      {2, "<parm1>/<parm2>", "+t a", tooFew},
      {7, "<parm1>.<parm6>.<parm7>", "+t 1 2 3 4 5 6 7 8", "<HubBot> 1.6.7 8|"},
      // A parameter beyond the count stays as written.
      {1, "<parm1><parm2><parm", "+t a", "<HubBot> a<parm2><parm|"},
      // A caller's word opens no section and fills no other parameter.
      {1, "Hi <parm1>", "+greet x <[all]>spam <parm1>",
       "<HubBot> Hi x <[all]>spam <parm1>|"},
      // Nor does a placeholder's value.
      {0, "I am <nick>", "+t", "<HubBot> I am <[ops]>x|"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Line));
    commands_.Delete("t");
    commands_.Delete("greet");
    const std::string_view name = c.Line.starts_with("+greet") ? "greet" : "t";
    Make(name, c.Content).Parameters = c.Parameters;
    ClearAll();
    user_->Nick = c.Expected.find("<[ops]>") != std::string_view::npos ? "<[ops]>x" : "user1";
    EXPECT_TRUE(Call(*user_, c.Line));
    user_->Nick = "user1";
    EXPECT_EQ(Out(*user_), c.Expected);
    EXPECT_EQ(Out(*op_), "");
    EXPECT_EQ(Out(*bob_), "");
  }
}

TEST_F(TextCommandsTest, OnlyCallableCommandsTakeTheLine) {
  Make("rules", "R").Enabled = true;
  Make("off", "O").Enabled = false;
  Make("high", "H").AccessMinLevel = 3;
  Make("gag", "G").OverrideMuted = false;
  Make("free", "F");
  user_->UserInfo().Muted = true;
  struct TCase {
    std::string_view Line;
    bool Taken;
  };
  const TCase cases[] = {{"+RULES", true}, {"+nothing", false}, {"+off", false},
                         {"+high", false}, {"+gag", false},     {"+free", true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Line));
    ClearAll();
    EXPECT_EQ(Call(*user_, c.Line), c.Taken);
    EXPECT_EQ(Out(*user_).empty(), !c.Taken);
  }
  // The access range holds both its ends (the operator is at level 5).
  Make("upto5", "U5").AccessMaxLevel = 5;
  Make("upto4", "U4").AccessMaxLevel = 4;
  Make("from5", "F5").AccessMinLevel = 5;
  Make("from6", "F6").AccessMinLevel = 6;
  TTextCommand& only5 = Make("only5", "O5");
  only5.AccessMinLevel = 5;
  only5.AccessMaxLevel = 5;
  const TCase opCases[] = {{"+high", true},  {"+upto5", true}, {"+upto4", false},
                           {"+from5", true}, {"+from6", false}, {"+only5", true}};
  for (const TCase& c : opCases) {
    SCOPED_TRACE("op " + std::string(c.Line));
    ClearAll();
    EXPECT_EQ(Call(*op_, c.Line), c.Taken);
    EXPECT_EQ(Out(*op_).empty(), !c.Taken);
  }
}

TEST_F(TextCommandsTest, TheMainChatLineIsEchoedAsTheCommandSays) {
  TTextCommand& command = Make("t", "");
  struct TCase {
    int Visibility;
    bool Caller, Op, Bob;
  };
  const TCase cases[] = {{0, false, false, false}, {1, true, false, false},
                         {2, false, true, false},  {3, true, true, false},
                         {4, true, true, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Visibility);
    command.MainchatCommandVisibility = c.Visibility;
    ClearAll();
    Call(*user_, "+t");
    const std::string line = "<user1> +t|";
    EXPECT_EQ(Out(*user_), c.Caller ? line : "");
    EXPECT_EQ(Out(*op_), c.Op ? line : "");
    EXPECT_EQ(Out(*bob_), c.Bob ? line : "");
    // A private message is never echoed.
    Call(*user_, "+t", true);
    EXPECT_EQ(Out(*user_), "");
  }
}

TEST_F(TextCommandsTest, TheScheduleRunsEachIntervalAfterLoading) {
  TTextCommand& timed = Make("timed", "tick");
  timed.BroadCast = 2;
  commands_.SetSchedule(timed, 1);
  TTextCommand& self = Make("self", "never");
  commands_.SetSchedule(self, 1);
  TTextCommand& negative = Make("neg", "never");
  negative.BroadCast = 2;
  commands_.SetSchedule(negative, -5);
  EXPECT_EQ(commands_.ScheduledCount(), 2);
  const std::string tick = "$To: bob From: HubBot $<HubBot> tick|";
  struct TStep {
    std::uint64_t At;
    std::string Bob;
  };
  const TStep steps[] = {{1000 + 59000, ""}, {1000 + 60000, tick}, {1000 + 119999, ""},
                         {1000 + 120000, tick}, {1000 + 120500, ""}};
  ClearAll();
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.At);
    clock_ = step.At;
    commands_.RunScheduled();
    EXPECT_EQ(Out(*bob_), step.Bob);
  }
  commands_.SetSchedule(timed, 0);
  EXPECT_EQ(commands_.ScheduledCount(), 1);
  clock_ += 600000;
  commands_.RunScheduled();
  EXPECT_EQ(Out(*bob_), "");
}

TEST_F(TextCommandsTest, ConnectAndLoginRuns) {
  TTextCommand& connect = Make("hello", "Welcome <nick>");
  connect.MessageType = 1;
  commands_.SetAutorun(connect, 1);
  TTextCommand& login = Make("motd", "Logged in <nick>");
  commands_.SetAutorun(login, 2);
  login.AccessMaxLevel = 3;
  commands_.SetAutorun(Make("quiet", "x"), 1);
  ASSERT_NE(commands_.Find("quiet"), nullptr);
  commands_.Find("quiet")->Enabled = false;
  EXPECT_EQ(commands_.AutorunCount(), 3);

  // Before the nick is known the private form goes to main chat.
  auto newcomer = fake_.Connect("");
  commands_.RunOnConnect(*newcomer);
  EXPECT_EQ(Out(*newcomer), "<HubBot> Welcome |");

  ClearAll();
  commands_.RunOnLogin(*user_);
  EXPECT_EQ(Out(*user_), "<HubBot> Logged in user1|");
  commands_.RunOnLogin(*op_);
  EXPECT_EQ(Out(*op_), "");
}

TEST_F(TextCommandsTest, RenameAndDeleteKeepTheListsInStep) {
  TTextCommand& a = Make("alpha", "A");
  commands_.SetSchedule(a, 5);
  commands_.SetAutorun(a, 2);
  Make("beta", "B");
  EXPECT_EQ(commands_.Add("ALPHA"), nullptr);
  EXPECT_FALSE(commands_.Rename(a, "alpha"));
  EXPECT_FALSE(commands_.Rename(a, "BETA"));
  EXPECT_TRUE(commands_.Rename(a, "gamma"));
  EXPECT_EQ(commands_.Find("alpha"), nullptr);
  EXPECT_EQ(commands_.Find("GAMMA"), &a);
  EXPECT_EQ(commands_.GetItem(1).Name(), "gamma");
  // The timed and the login lists know the new name.
  EXPECT_TRUE(commands_.Delete("gamma"));
  EXPECT_EQ(commands_.ScheduledCount(), 0);
  EXPECT_EQ(commands_.AutorunCount(), 0);
  EXPECT_FALSE(commands_.Delete("gamma"));
  EXPECT_EQ(commands_.GetCount(), 1);
}

TEST_F(TextCommandsTest, ARegisteredOnlyHubWarnsOfConnectTexts) {
  commands_.SetAutorun(Make("hello", "x"), 1);
  commands_.SetAutorun(Make("motd", "x"), 2);
  commands_.WarnOnConnectRegOnly();
  EXPECT_TRUE(gui_.empty());
  settings_.RegOnlyHub = true;
  commands_.WarnOnConnectRegOnly();
  EXPECT_EQ(gui_, (std::vector<std::string>{
                      "Warning! TextCommand: [hello] is sended in OnConnect but hub is for reg "
                      "only users!"}));
}
