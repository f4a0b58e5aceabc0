// Private messages and "$MCTo".

#include <functional>
#include <string>

#include "chat_test_fixture.h"
#include "base/case_tables.h"
#include "utils/text_format.h"

namespace {

class ChatPrivateTest : public TChatFixture {
 protected:
  static std::string PM(std::string_view to, std::string_view from, std::string_view text) {
    return "$To: " + std::string(to) + " From: " + std::string(from) + " $<" + std::string(from) +
           "> " + std::string(text) + "|";
  }
};

TEST_F(ChatPrivateTest, MessageReachesOnlyItsTarget) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  THubSocket& carol = Online("carol");
  const std::string sent = PM("bob", "alice", "psst \xA7 secret");
  EXPECT_TRUE(Send(alice, sent));
  EXPECT_EQ(Output(bob), sent);
  EXPECT_EQ(Output(alice), "");
  EXPECT_EQ(Output(carol), "");
  EXPECT_EQ(stats_.Protocol.PrivateMessages, 1);
  // A target is found whatever the letter case of its nick.
  EXPECT_TRUE(Send(alice, PM("BOB", "alice", "hi")));
  EXPECT_EQ(Output(bob), PM("BOB", "alice", "hi"));
}

TEST_F(ChatPrivateTest, MessageToTheBotGoesToTheCommandsAlone) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  EXPECT_TRUE(Send(alice, PM(UpperString(settings_.BotName()), "alice", "!help")));
  EXPECT_EQ(chat_.Commands, std::vector<std::string>{"P:!help"});
  EXPECT_EQ(Output(alice), "");
  EXPECT_EQ(Output(bob), "");
}

TEST_F(ChatPrivateTest, DroppedWithoutReachingTheTarget) {
  struct TCase {
    const char* name;
    std::function<void()> setup;
    std::string target;
  };
  const std::vector<TCase> cases = {
      {"scanner refuses", [this] { chat_.RefusePM = true; }, "bob"},
      {"room takes it", [this] { chat_.TakeRoom = true; }, "bob"},
      {"script swallows", [this] { chat_.SwallowTo = true; }, "bob"},
      {"target offline", [] {}, "nobody"},
  };
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    chat_ = TRecordingChatHooks();
    c.setup();
    EXPECT_TRUE(Send(alice, PM(c.target, "alice", "hello there")));
    EXPECT_EQ(Output(bob), "");
    EXPECT_EQ(Output(alice), "");
    EXPECT_NE(alice.LifeState, lsClosing);
  }
}

TEST_F(ChatPrivateTest, DisabledMessagesAnswerInTheSendersOwnWindow) {
  settings_.PrivateMessageAllowed = false;
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  EXPECT_TRUE(Send(alice, PM("bob", "alice", "hello")));
  EXPECT_EQ(Output(alice), "$To: alice From: alice $" + settings_.BotChatPrefix() +
                               Text(TLanguageKey::PrivateMessageDisabled) + "|");
  EXPECT_EQ(Output(bob), "");
}

TEST_F(ChatPrivateTest, ForgedOrMissingSenderBansAndCloses) {
  for (const char* message : {"$To: bob From: carol $<alice> hi|", "$To: bob From: alice $<carol> hi|",
                              "$To: bob From: alice $hi there you|",
                              "$To: bob From: Alice $<Alice> hi|"}) {
    SCOPED_TRACE(message);
    login_.TempBans.clear();
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    Send(alice, message);
    EXPECT_EQ(alice.LifeState, lsClosing);
    EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::InvalidPMSuppliedByClient)));
    EXPECT_EQ(login_.TempBans.size(), 1u);
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(ChatPrivateTest, MalformedMessagesAreUnhandled) {
  struct TCase {
    std::string message;
    bool closes;
  };
  const std::vector<TCase> cases = {
      {"$To: bob From: al|", true},  // under 20 bytes
      {"$To:  From: alice $<alice> hi|", false},
      {"$To: bob alice $<alice> hello|", false},
      {"$To: bob From: alice <alice> hello|", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.message);
    THubSocket& alice = Online("alice");
    EXPECT_FALSE(Send(alice, c.message));
    EXPECT_EQ(alice.LifeState == lsClosing, c.closes);
    nickList_.Remove(alice);
  }
}

TEST_F(ChatPrivateTest, LengthLimitCutsOnePastTheLimit) {
  settings_.PrivateMessageMaxMessageLength = {true, 10};
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  EXPECT_TRUE(Send(alice, PM("bob", "alice", "0123456789")));
  EXPECT_EQ(Output(bob), PM("bob", "alice", "0123456789"));
  EXPECT_TRUE(Send(alice, PM("bob", "alice", "0123456789A")));
  EXPECT_EQ(Output(bob), PM("bob", "alice",
                            "0123456789...\r\n" + Text(TLanguageKey::CutDueToLengthMessage)));
}

TEST_F(ChatPrivateTest, MCToShowsAMainChatLineToTheTargetAlone) {
  Profile("Mc", TProfileRight::MayAccessMCTo, 1);
  THubSocket& alice = Online("alice", "Mc");
  THubSocket& bob = Online("bob");
  THubSocket& carol = Online("carol");
  EXPECT_TRUE(Send(alice, "$MCTo: bob $<alice> just you|"));
  EXPECT_EQ(Output(bob), "<alice> just you|");
  EXPECT_EQ(Output(carol), "");
  EXPECT_EQ(Output(alice), "");
}

TEST_F(ChatPrivateTest, MCToRefusals) {
  Profile("Mc", TProfileRight::MayAccessMCTo, 1);
  struct TCase {
    const char* name;
    std::string message;
    bool mayMCTo;
    bool handled, closes, banned;
  };
  const std::vector<TCase> cases = {
      {"no right", "$MCTo: bob $<alice> hi|", false, true, false, false},
      {"too short", "$MCTo: b|", true, false, true, false},
      {"no space after target", "$MCTo: bob|", true, false, false, false},
      {"offline target", "$MCTo: zed $<alice> hi|", true, true, false, false},
      {"second dollar", "$MCTo: bob $$Kick bob|", true, true, true, false},
      {"forged nick", "$MCTo: bob $<carol> hi|", true, true, true, true},
      {"no sender shown", "$MCTo: bob $* alice waves|", true, true, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    login_.TempBans.clear();
    THubSocket& alice = Online("alice", c.mayMCTo ? "Mc" : "");
    THubSocket& bob = Online("bob");
    EXPECT_EQ(Send(alice, c.message), c.handled);
    EXPECT_EQ(alice.LifeState == lsClosing, c.closes);
    EXPECT_EQ(login_.TempBans.size(), c.banned ? 1u : 0u);
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
    accounts_.Delete("alice");
  }
  ASSERT_EQ(feed_.Actions.size(), 1u);
  EXPECT_EQ(feed_.Actions[0], FormatText(Text(TLanguageKey::OnInvalidMcToFeedMessage), "alice",
                                         "$MCTo: bob $$Kick bob|"));
}

TEST_F(ChatPrivateTest, MutedUserCannotMCTo) {
  Profile("Mc", TProfileRight::MayAccessMCTo, 1);
  THubSocket& alice = Online("alice", "Mc");
  THubSocket& bob = Online("bob");
  alice.UserInfo().Muted = true;
  EXPECT_TRUE(Send(alice, "$MCTo: bob $<alice> hi|"));
  EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::MutedUserMessage)));
  EXPECT_EQ(Output(bob), "");
}

}  // namespace
