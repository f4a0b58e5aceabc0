// Main chat: its road from arrival to the broadcast.

#include <functional>
#include <string>

#include "chat_test_fixture.h"
#include "utils/text_format.h"

namespace {

class ChatMainTest : public TChatFixture {};

TEST_F(ChatMainTest, LineReachesEveryLoggedInUserAndTheSenderByteExact) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  THubSocket& carol = Online("carol");
  THubSocket& pending = NewUser(lgNickAccepted, "dave");  // not logged in yet
  const std::string line = "<alice> hello $ \xA7 world|";

  EXPECT_TRUE(Send(alice, line));

  for (THubSocket* user : {&alice, &bob, &carol}) EXPECT_EQ(Output(*user), line) << user->Nick;
  EXPECT_EQ(Output(pending), "");
  EXPECT_EQ(alice.UserInfo().Transfer.MainChatLines, 1);
  EXPECT_EQ(stats_.Protocol.MainchatMessages, 1);
}

TEST_F(ChatMainTest, RefusalsAnswerOnlyTheSender) {
  struct TCase {
    const char* name;
    std::function<void(THubSocket&)> setup;
    std::string reply;  // what the sender gets instead of the broadcast
  };
  const std::string locked = Bot(Text(TLanguageKey::MainChatLocked));
  const std::string disabled = Bot(Text(TLanguageKey::MainChatDisabled));
  const std::vector<TCase> cases = {
      {"locked", [this](THubSocket&) { settings_.MainChatIsLocked = true; }, locked},
      {"switched off",
       [this](THubSocket&) { settings_.MainChatMessageAllowed = false; }, disabled},
      {"profile may not talk",
       [this](THubSocket& u) {
         Profile("Quiet", TProfileRight::MaySendMainChatMessages, 0);
         u.BindAccount(AddAccount(u.Nick, "Quiet", "pw"), settings_.ConnRestriction);
       },
       disabled},
      {"muted", [](THubSocket& u) { u.UserInfo().Muted = true; },
       Bot(Text(TLanguageKey::MutedUserMessage))},
      {"script swallows", [this](THubSocket&) { chat_.SwallowChat = true; }, ""},
      {"command taken", [this](THubSocket&) { chat_.TakeCommands = true; }, ""},
      {"scanner refuses",
       [this](THubSocket&) { chat_.Verdict = TScanVerdict::Refuse; }, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THubSocket& alice = Online(std::string("a") + std::to_string(users_.size()));
    THubSocket& bob = Online(std::string("b") + std::to_string(users_.size()));
    c.setup(alice);
    EXPECT_TRUE(Send(alice, "<" + alice.Nick + "> hi|"));
    EXPECT_EQ(Output(alice), c.reply);
    EXPECT_EQ(Output(bob), "");
    EXPECT_NE(alice.LifeState, lsClosing);
    EXPECT_EQ(history_.Count(), 0);
    // Undo the shared switches for the next row.
    settings_.MainChatIsLocked = false;
    settings_.MainChatMessageAllowed = true;
    chat_ = TRecordingChatHooks();
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(ChatMainTest, LockedChatStillLetsOperatorsAndAllowedSpeakersThrough) {
  settings_.MainChatIsLocked = true;
  THubSocket& op = Online("op", "Op");
  THubSocket& speaker = Online("speaker");
  speaker.UserInfo().AllowedToSpeak = true;
  EXPECT_TRUE(Send(op, "<op> listen|"));
  EXPECT_TRUE(Send(speaker, "<speaker> ok|"));
  EXPECT_EQ(Output(speaker), "<op> listen|<speaker> ok|");
}

TEST_F(ChatMainTest, ForgedNickBansAndClosesTheSender) {
  for (const char* line : {"<bob> I am bob|", "<Alice> case counts|", "<alicex> longer|",
                           "<alice hi|", "<|"}) {
    SCOPED_TRACE(line);
    login_.TempBans.clear();
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    Send(alice, line);
    EXPECT_EQ(alice.LifeState, lsClosing);
    EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::IncorrectNickInMainChat)));
    EXPECT_EQ(login_.TempBans, std::vector<std::string>{"alice"});
    EXPECT_EQ(alice.UserInfo().KickCount, 1);
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(ChatMainTest, OriginBypassRelaysTheLineAsWritten) {
  Profile("Trusted", TProfileRight::MayByPassMessageOriginCheck, 1);
  THubSocket& bot = Online("relay", "Trusted");
  THubSocket& bob = Online("bob");
  EXPECT_TRUE(Send(bot, "<[IRC]zed> from afar|"));
  EXPECT_EQ(Output(bob), "<[IRC]zed> from afar|");
  EXPECT_NE(bot.LifeState, lsClosing);
}

TEST_F(ChatMainTest, LengthLimitCutsOnePastTheLimit) {
  settings_.MainChatMaxMessageLength = {true, 10};
  const std::string cut = "...\r\n" + Text(TLanguageKey::CutDueToLengthMessage);
  struct TCase {
    std::string text;
    std::string relayed;
  };
  const std::vector<TCase> cases = {
      {"0123456789", "<alice> 0123456789|"},
      {"0123456789A", "<alice> 0123456789" + cut + "|"},
      {std::string(5000, 'x'), "<alice> xxxxxxxxxx" + cut + "|"},
  };
  THubSocket& alice = Online("alice");
  for (const TCase& c : cases) {
    EXPECT_TRUE(Send(alice, "<alice> " + c.text + "|"));
    EXPECT_EQ(Output(alice), c.relayed);
  }
  // The history keeps what was relayed.
  EXPECT_NE(history_.BuildHistory(2).find("<alice> 0123456789" + cut), std::string::npos);

  Profile("Long", TProfileRight::MayByPassMCLengthCheck, 1);
  THubSocket& bard = Online("bard", "Long");
  EXPECT_TRUE(Send(bard, "<bard> 0123456789ABC|"));
  EXPECT_EQ(Output(bard), "<bard> 0123456789ABC|");
}

TEST_F(ChatMainTest, PenaltiesTransformOnlyTheText) {
  struct TCase {
    const char* name;
    TScanVerdict verdict;
    bool kennylized, lunarized;
    std::string relayed;
  };
  const std::vector<TCase> cases = {
      {"scanner asks kenny", TScanVerdict::Kennylize, false, false, "<alice> mmph(hi)|"},
      {"scanner asks luna", TScanVerdict::Lunarize, false, false, "<alice> luna(hi)|"},
      {"kennylized user", TScanVerdict::Accept, true, false, "<alice> mmph(hi)|"},
      {"kenny wins over luna", TScanVerdict::Accept, true, true, "<alice> mmph(hi)|"},
      {"lunarized user", TScanVerdict::Accept, false, true, "<alice> luna(hi)|"},
  };
  THubSocket& alice = Online("alice");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    chat_.Verdict = c.verdict;
    alice.UserInfo().Kennylized = c.kennylized;
    alice.UserInfo().Lunarized = c.lunarized;
    EXPECT_TRUE(Send(alice, "<alice> hi|"));
    EXPECT_EQ(Output(alice), c.relayed);
  }
}

// A text the scanner changed is relayed rebuilt, and then penalised.
TEST_F(ChatMainTest, ScannerChangesTheRelayedText) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  chat_.ScanReplace = "hi Joe";
  EXPECT_TRUE(Send(alice, "<alice> hi word|"));
  EXPECT_EQ(Output(bob), "<alice> hi Joe|");
  chat_.Verdict = TScanVerdict::Lunarize;
  EXPECT_TRUE(Send(alice, "<alice> hi word|"));
  EXPECT_EQ(Output(bob), "<alice> luna(hi Joe)|");
  chat_.Verdict = TScanVerdict::Refuse;
  EXPECT_TRUE(Send(alice, "<alice> hi word|"));
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(history_.BuildHistory(5).find("hi word"), std::string::npos);
}

TEST_F(ChatMainTest, CommandsGetTheTextAfterTheNick) {
  THubSocket& alice = Online("alice");
  chat_.TakeCommands = true;
  EXPECT_TRUE(Send(alice, "<alice> +help me|"));
  EXPECT_EQ(chat_.Commands, std::vector<std::string>{"M:+help me"});
}

TEST_F(ChatMainTest, KickAnnouncementKeepsTheReasonForItsVictimOnly) {
  Profile("Kicker", TProfileRight::MayKickUser, 9);
  THubSocket& op = Online("op", "Kicker");
  THubSocket& bob = Online("bob");
  const std::string line = "<op> op is kicking bob because: spam|";

  settings_.SuppressKickMessagesInMainChat = true;
  EXPECT_TRUE(Send(op, line));
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(chat_.Kicks, std::vector<std::string>{"bob/spam"});
  EXPECT_EQ(router_.Chat().TakeKickReason(op, "carol"), std::nullopt);
  EXPECT_EQ(router_.Chat().TakeKickReason(op, "BOB"), "spam");
  EXPECT_EQ(router_.Chat().TakeKickReason(op, "bob"), std::nullopt);  // used up

  settings_.SuppressKickMessagesInMainChat = false;
  EXPECT_TRUE(Send(op, "<op> op is kicking bob because: |"));
  EXPECT_EQ(Output(bob), "<op> op is kicking bob because: |");
  EXPECT_EQ(router_.Chat().TakeKickReason(op, "bob"), "");
}

TEST_F(ChatMainTest, KickAnnouncementOfAUserWithoutKickRightIsDropped) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  EXPECT_TRUE(Send(alice, "<alice> alice is kicking bob because: fun|"));
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(router_.Chat().TakeKickReason(alice, "bob"), std::nullopt);
  // Lines that only look alike are ordinary chat.
  for (const char* line : {"<alice> bob is kicking carol because: x|",
                           "<alice> alice is kicking bob because:x|",
                           "<alice> alice is kicking  because: x|"}) {
    EXPECT_TRUE(Send(alice, line));
    EXPECT_EQ(Output(bob), line);
  }
}

TEST_F(ChatMainTest, HistoryStampsEachRelayedLine) {
  THubSocket& alice = Online("alice");
  EXPECT_TRUE(Send(alice, "<alice> one|"));
  EXPECT_TRUE(Send(alice, "<alice> two|"));
  EXPECT_EQ(history_.BuildHistory(0),
            FormatText(Text(TLanguageKey::HistoryShowingLines), 2) +
                "\r\n[12:34:56] <alice> one\r\n[12:34:56] <alice> two\r\n");
}

TEST_F(ChatMainTest, FloodGateRefusesAtItsCount) {
  settings_.MainChatSpamMaxCount = {TTriState::Checked, 3, 60000};
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(Send(alice, "<alice> x|"));
  EXPECT_EQ(Output(bob), "<alice> x|<alice> x|");
  EXPECT_TRUE(Send(alice, "<alice> x|"));
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(alice.UserInfo().Transfer.Warnings, 1);
}

TEST_F(ChatMainTest, ClosingSenderIsIgnored) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  alice.LifeState = lsClosing;
  EXPECT_TRUE(router_.Handle(TProtocolKey::MainChat, alice, "<alice> late|"));
  EXPECT_EQ(Output(bob), "");
}

}  // namespace
