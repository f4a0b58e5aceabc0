// Chat control: penalties with their levels, speaking for others.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

class ChatCommandsTest : public TCommandsFixture {
 protected:
  void Run(THubSocket& user, std::string_view text) {
    message_ = BotPM(user, text);
    const std::size_t position = PMStart(user);
    tokens_.Split(std::string_view(message_).substr(position + 1, message_.size() - position - 2),
                  ' ');
    while (tokens_.Count() > 6) tokens_.Delete(6);
    commands_.SetSender(user, message_, true);
    commands_.HandleMessage(position, true);
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
  EXPECT_EQ(feed_.Actions.back(), "master muted bob");
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
  EXPECT_EQ(feed_.Actions.back(), "master lunarized 2 out of 2 user(s)");
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
  EXPECT_EQ(feed_.Actions.back(), "op spoke as bob saying: hi all");
}

}  // namespace
