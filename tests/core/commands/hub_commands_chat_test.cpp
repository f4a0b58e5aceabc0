// Chat control: penalties with their levels, speaking for others, the bot's
// messages and the text-command edits.

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/commands/page_recorder.h"
#include "core/commands/text_commands.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

class ChatCommandsTest : public TCommandsFixture {
 protected:
  void Run(THubSocket& user, std::string_view text) {
    Dispatch(commands_, tokens_, message_, user, text, true);
  }

  TStringList tokens_{16};
  THubCommands commands_{ctx_, tokens_};
  std::string message_;
};

TEST_F(ChatCommandsTest, MuteIsAnnouncedAndOnlyACoveringLevelLiftsIt) {
  THubSocket& master = Online("master", MakeProfile("Master", {R::MayUseMuteUser, R::MayUseSay}, 9, 3));
  THubSocket& op = Online("op", MakeProfile("Op", {R::MayUseMuteUser}, 5, 1));
  THubSocket& bob = Online("bob");
  Out(master), Out(op), Out(bob);

  Run(master, "!mute bob");
  EXPECT_TRUE(bob.UserInfo().Muted);
  EXPECT_EQ(bob.UserInfo().MutedLevel, 9);
  EXPECT_EQ(Out(bob), Bot("bob has been muted"));
  EXPECT_EQ(feed_.LastAction(), "master muted bob");
  Out(master), Out(op);

  Run(op, "!unmute bob");
  EXPECT_EQ(Out(op), BotTo(op, Text(TLanguageKey::UnMuteTooStrongMute)));
  EXPECT_TRUE(bob.UserInfo().Muted);

  Run(op, "!mute bob");
  EXPECT_EQ(Out(op), BotTo(op, "bob is already muted"));
  Run(op, "!mute master");
  EXPECT_EQ(Out(op), BotTo(op, Text(TLanguageKey::MuteProfileAccessError)));
  Run(op, "!mute HubBot");
  EXPECT_EQ(Out(op), BotTo(op, Text(TLanguageKey::MuteImpossible)));
  Run(op, "!mute nobody");
  EXPECT_EQ(Out(op), BotTo(op, "The user nobody wasn't found"));

  // "*" lifts every penalty the sender may act on, whatever its level.
  Run(op, "!unmute *");
  EXPECT_EQ(Out(op), BotTo(op, "You've unmuted 1 users out of 1"));
  EXPECT_FALSE(bob.UserInfo().Muted);
  EXPECT_EQ(bob.UserInfo().MutedLevel, -1);
  Run(op, "!mute bob");
  EXPECT_EQ(bob.UserInfo().MutedLevel, 4);  // a lower right: one level under the sender
}

TEST_F(ChatCommandsTest, KennylizeIsNotAnnouncedToItsTarget) {
  THubSocket& master = Online("master", MakeProfile("Master", {R::MayUseKennylizeUser, R::MayUseLunarizeUser}, 9, 3));
  THubSocket& bob = Online("bob");
  THubSocket& ann = Online("ann");
  Out(master), Out(bob), Out(ann);
  Run(master, "!kennylize bob");
  EXPECT_TRUE(bob.UserInfo().Kennylized);
  EXPECT_EQ(Out(bob), "");
  EXPECT_EQ(Out(ann), Bot("bob has been kennylized"));
  Out(master);
  Run(master, "!lunarize *");
  EXPECT_EQ(Out(master), BotTo(master, "2 user(s) out of 2 were lunarized"));
  EXPECT_EQ(feed_.LastAction(), "master lunarized 2 out of 2 user(s)");
  Run(master, "!unlunarize bob");
  EXPECT_EQ(Out(bob), Bot("bob has been unlunarized"));
}

TEST_F(ChatCommandsTest, SayNeedsTheTopLevelForTheBot) {
  THubSocket& master = Online("master", MakeProfile("Master", {R::MayUseSay}, 9, 3));
  THubSocket& op = Online("op", MakeProfile("Op", {R::MayUseSay}, 5, 1));
  THubSocket& bob = Online("bob");
  Out(master), Out(op), Out(bob);
  Run(op, "!say hubbot hi there");
  EXPECT_EQ(Out(op), BotTo(op, Text(TLanguageKey::SayImpossible)));
  Run(master, "!say hubbot hi there");
  EXPECT_EQ(Out(bob), "<HubBot> hi there|");
  Out(op);
  Run(op, "!say master hi");
  EXPECT_EQ(Out(op), BotTo(op, Text(TLanguageKey::SayProfileAccessError)));
  Run(op, "!say BOB hi all");
  EXPECT_EQ(Out(bob), "<bob> hi all|");
  EXPECT_EQ(feed_.LastAction(), "op spoke as bob saying: hi all");
}


// Master (level 9, every right at its strongest), Op (level 5, rights at the
// lower level) and Guide (level 3, no command right), and bob, unregistered;
// by private message to the bot, so replies come back the same way.
class BotMessagesTest : public TCommandsFixture {
 protected:
  BotMessagesTest() {
    const auto master = MakeProfile("Master", kRights, 9, paHigher);
    const auto op = MakeProfile("Op", kRights, 5, paLower);
    const auto guide = MakeProfile("Guide", {}, 3);
    for (const auto& profile : {master, op, guide}) profiles_.AddProfile(profile);
    master_ = &Online("master", master);
    op_ = &Online("op", op);
    guide_ = &Online("guide", guide);
    bob_ = &Online("bob");
    ctx_.TextCommands = [this] { return &texts_; };
    ctx_.Pages = &pages_;
    for (const auto& [name, level, content] :
         {std::tuple{"rules", 1, "Be $nice|"}, std::tuple{"secret", 9, "a&#36;$b|"},
          std::tuple{"motd", 3, "hi|"}}) {
      TTextCommand& command = Required(texts_.Add(name), name);
      command.EditLevel = level;
      command.Content = content;
    }
    Required(texts_.Find("motd"), "motd").Enabled = false;
    commands_ = std::make_unique<THubCommands>(ctx_, tokens_);
    ClearAll();
  }

  void Run(THubSocket& user, std::string_view text) {
    Dispatch(*commands_, tokens_, message_, user, text, true);
  }

  void ClearAll() {
    for (THubSocket* user : Users()) Out(*user);
    feed_.Actions.clear();
    pages_.Take();
  }
  std::array<THubSocket*, 4> Users() const { return {master_, op_, guide_, bob_}; }

  // One line and what each of master, op, guide and bob received, and the
  // feed lines it posted.
  struct TCase {
    const char* Line;
    int By;  // 0 master, 1 op, 2 guide
    std::array<std::string, 4> Received;
    std::vector<std::string> Feed;
  };
  void Check(const std::vector<TCase>& cases) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Line);
      ClearAll();
      Run(*Users()[c.By], c.Line);
      for (std::size_t i = 0; i < Users().size(); ++i)
        EXPECT_EQ(Out(*Users()[i]), c.Received[i]) << Users()[i]->Nick;
      EXPECT_EQ(feed_.Actions, c.Feed);
    }
  }

  static constexpr std::initializer_list<R> kRights = {
      R::IsOperator, R::MayUseMC, R::MayUseWarn, R::MayUseInform, R::MayUsePM,
      R::MayUsePMProfile, R::MayUseOPM, R::MayAdminTextFiles};

  TTextCommands texts_{TTextCommandsContext{settings_, language_, nickList_, messages_, stats_,
                                            nullptr, {}, {}, {}, {}, {}, {}}};
  TPageRecorder pages_;
  TStringList tokens_{16};
  std::unique_ptr<THubCommands> commands_;
  std::string message_;
  THubSocket *master_ = nullptr, *op_ = nullptr, *guide_ = nullptr, *bob_ = nullptr;
};

TEST_F(BotMessagesTest, SpeakingForTheHub) {
  const std::string forbidden = Text(TLanguageKey::ForbiddenCommand);
  const std::string warned = "You have been warned because: spam, if you don't calm down you WILL be kicked from the hub";
  const std::string warnedMC = "bob has been warned because: spam. If IT doesn't calm down IT WILL be kicked from the hub";
  const std::string plainMC = "bob has been warned. If IT doesn't calm down IT WILL be kicked from the hub";
  const std::string impossible = Text(TLanguageKey::WarnImpossible);
  const std::string all = Bot("hello  there");
  Check({
      {"!mc hello  there", 0, {all, all, all, all}, {"master sent a mainchat message: hello  there"}},
      {"!mc hi", 2, {"", "", BotTo(*guide_, forbidden), ""}, {}},
      {"!warn BOB spam", 0,
       {Bot(warnedMC), Bot(warnedMC), Bot(warnedMC), BotTo(*bob_, warned) + Bot(warnedMC)}, {}},
      {"!warn bob", 1,
       {Bot(plainMC), Bot(plainMC), Bot(plainMC),
        BotTo(*bob_, Text(TLanguageKey::WarnMessage)) + Bot(plainMC)},
       {}},
      {"!warn master x", 1, {"", BotTo(*op_, Text(TLanguageKey::WarnProfileAccessError)), "", ""}, {}},
      {"!warn HubBot x", 1, {"", BotTo(*op_, impossible), "", ""}, {}},
      {"!warn nobody", 0, {BotTo(*master_, "The user nobody wasn't found"), "", "", ""}, {}},
      {"!inform Bob be  nice", 1,
       {"", BotTo(*op_, "The user bob has been informed"), "", BotTo(*bob_, "be  nice")}, {}},
      {"!inform hubbot x", 1, {"", BotTo(*op_, Text(TLanguageKey::InformImpossible)), "", ""}, {}},
      {"!inform nobody x", 1, {"", BotTo(*op_, "The user nobody wasn't found"), "", ""}, {}},
      {"!inform bob", 1, {"", BotTo(*op_, "Wrong number of parameters. Type !help for help"), "", ""}, {}},
      {"!pm to all", 1,
       {BotTo(*master_, "to all"), BotTo(*op_, "to all"), BotTo(*guide_, "to all"),
        BotTo(*bob_, "to all")},
       {"op sent a broadcast message to everyone: to all"}},
      {"!pmprofile guide to guides", 0, {"", "", BotTo(*guide_, "to guides"), ""},
       {"master sent a broadcast message to users of profile Guide: to guides"}},
      {"!pmprofile nosuch x", 0,
       {BotTo(*master_, "Profile does not exist, type !showprofiles (sp) to list profiles"), "", "", ""},
       {}},
      {"!pmprofile Master x", 1,
       {"", BotTo(*op_, Text(TLanguageKey::PMProfileProfileAccessError)), "", ""}, {}},
      {"!opm ops  only", 1, {BotTo(*master_, "ops  only"), BotTo(*op_, "ops  only"), "", ""},
       {"op sent a broadcast message to all operators: ops  only"}},
  });
}

TEST_F(BotMessagesTest, TextCommandEdits) {
  const std::string dash = "\r\n" + std::string(105, '-');
  const auto list = [&](THubSocket& to, int shown, int offset, int total, std::string_view search,
                        std::initializer_list<std::string_view> names) {
    std::string text = dash + "\r\n\xA6 Showing " + std::to_string(shown) + " hits from offset " +
                       std::to_string(offset) + ", total hits: " + std::to_string(total) +
                       "\r\n\xA6 On search: " + std::string(search);
    if (names.size() > 0) text += dash;
    for (const std::string_view name : names) text += "\r\n\xA6  " + std::string(name);
    return BotTo(to, text + dash);
  };
  const std::string tooHigh = Text(TLanguageKey::EnableTextCommandProfileAccessError);
  Check({
      // Only what the sender may edit is counted and listed.
      {"!listtextcommand", 1, {"", list(*op_, 2, 0, 2, "*", {"motd", "rules"}), "", ""}, {}},
      {"!listcmd", 0, {list(*master_, 3, 0, 3, "*", {"motd", "rules", "secret"}), "", "", ""}, {}},
      {"!listcmd r*", 0, {list(*master_, 1, 0, 1, "r*", {"rules"}), "", "", ""}, {}},
      {"!listcmd * 1", 0, {list(*master_, 2, 1, 3, "*", {"rules", "secret"}), "", "", ""}, {}},
      {"!listcmd * 5", 0, {list(*master_, 0, 5, 3, "*", {}), "", "", ""}, {}},
      {"!listcmd * x", 1, {"", list(*op_, 2, 0, 2, "*", {"motd", "rules"}), "", ""}, {}},
      {"!listcmd", 2, {"", "", BotTo(*guide_, Text(TLanguageKey::ForbiddenCommand)), ""}, {}},
      {"!textcommand rules OFF", 1, {"", BotTo(*op_, "The text command rules was disabled"), "", ""},
       {"The text command rules was disabled by op"}},
      {"!textcommand rules off", 1,
       {"", BotTo(*op_, "The text command rules is already disabled"), "", ""}, {}},
      {"!enablecmd MOTD on", 1, {"", BotTo(*op_, "The text command motd was enabled"), "", ""},
       {"The text command motd was enabled by op"}},
      {"!textcommand motd on", 1,
       {"", BotTo(*op_, "The text command motd is already enabled"), "", ""}, {}},
      {"!textcommand secret on", 1, {"", BotTo(*op_, tooHigh), "", ""}, {}},
      {"!textcommand rules maybe", 1,
       {"", BotTo(*op_, Text(TLanguageKey::EnableTextCommandInvalidParameter)), "", ""}, {}},
      {"!textcommand nosuch on", 1, {"", BotTo(*op_, "The text command nosuch wasn't found"), "", ""},
       {}},
      // "$" and "|" encoded, and what was encoded already kept readable.
      {"!showcmd rules", 1, {"", BotTo(*op_, "The content of rules:\r\nBe &#36;nice&#124;"), "", ""},
       {}},
      {"!showtextcommand secret", 0,
       {BotTo(*master_, "The content of secret:\r\na&amp;#36;&#36;b&#124;"), "", "", ""}, {}},
      {"!showcmd secret", 1,
       {"", BotTo(*op_, Text(TLanguageKey::ShowTextCommandProfileAccessError)), "", ""}, {}},
      {"!setcmd secret x", 1,
       {"", BotTo(*op_, Text(TLanguageKey::SetTextCommandProfileAccessError)), "", ""}, {}},
      {"!setcmd rules a&#124;b  &amp;#36;", 1,
       {"", BotTo(*op_, "The content of rules has been updated"), "", ""}, {}},
      {"!showcmd rules", 1, {"", BotTo(*op_, "The content of rules:\r\na&#124;b  &amp;#36;&#124;"), "", ""},
       {}},
  });
  ASSERT_NE(texts_.Find("rules"), nullptr);
  EXPECT_EQ(texts_.Find("rules")->Content, "a|b  &#36;|");
  ASSERT_NE(texts_.Find("motd"), nullptr);
  EXPECT_TRUE(texts_.Find("motd")->Enabled);
  ASSERT_NE(texts_.Find("secret"), nullptr);
  EXPECT_EQ(texts_.Find("secret")->Content, "a&#36;$b|");

  // The window's row follows a change, and only a change.
  Run(*master_, "!setcmd motd");
  ASSERT_NE(texts_.Find("motd"), nullptr);
  EXPECT_EQ(texts_.Find("motd")->Content, "|");
  EXPECT_EQ(pages_.Take(), std::vector<std::string>{"text motd"});
  Run(*master_, "!setcmd motd |");
  Run(*master_, "!textcommand motd on");
  EXPECT_EQ(pages_.Take(), std::vector<std::string>{});
  Run(*master_, "!textcommand motd off");
  EXPECT_EQ(pages_.Take(), std::vector<std::string>{"text motd"});
}

TEST_F(BotMessagesTest, ListTextCommandShowsAtMostOnePage) {
  settings_.MaxHitsOnSearch = 2;
  Run(*master_, "!listcmd");
  const std::string out = Out(*master_);
  EXPECT_NE(out.find("Showing 2 hits from offset 0, total hits: 3"), std::string::npos) << out;
  EXPECT_NE(out.find("\xA6  rules"), std::string::npos);
  EXPECT_EQ(out.find("\xA6  secret"), std::string::npos);
}

}  // namespace
