// Cutting input into messages, dispatch by login state and the junk-data
// guard.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol_test_fixture.h"
#include "base/exceptions.h"
#include "utils/text_format.h"

namespace {

class TProtocolFramingTest : public TProtocolFixture {};

struct TFramingCase {
  const char* Name;
  std::vector<std::string> Reads;  // one receive each, parsed after each
  std::vector<std::string> Handled;
  std::int64_t Junk;
  bool Closing;
};

TEST_F(TProtocolFramingTest, CutsReadsIntoMessages) {
  settings_.JunkData.Enabled = false;
  settings_.JunkDataDK.Enabled = false;
  const std::vector<TFramingCase> cases = {
      {"one message", {"$Search x|"}, {"6:$Search x|"}, 0, false},
      {"split across reads", {"$Sea", "rch a", "b|"}, {"6:$Search ab|"}, 0, false},
      {"many in one read", {"$Kick a|$Search b|<x> hi|"}, {"7:$Kick a|", "6:$Search b|", "0:<x> hi|"}, 0, false},
      {"tail waits for its end", {"$Kick a|$Sea", "rch z|"}, {"7:$Kick a|", "6:$Search z|"}, 0, false},
      {"four empty messages", {"||||"}, {}, 3, false},
      {"five empty messages", {"|||||$Kick a|"}, {}, 3, true},
      {"empties counted per read", {"|||", "|||"}, {}, 4, false},
      {"short messages are junk", {"$Kic|ab|"}, {}, 8, false},
      {"unknown command is junk", {"$Nonsense|"}, {}, 10, false},
  };
  for (const TFramingCase& c : cases) {
    SCOPED_TRACE(c.Name);
    handlers_.Seen.clear();
    THubSocket& user = NewUser(lgLoggedIn, "alice");
    for (const std::string& read : c.Reads) Feed(user, read);
    EXPECT_EQ(handlers_.Seen, c.Handled);
    EXPECT_EQ(user.UserInfo().Transfer.JunkBytes, c.Junk);
    EXPECT_EQ(user.LifeState == lsClosing, c.Closing);
  }
}

TEST_F(TProtocolFramingTest, FullBlockWithoutEndStaysFull) {
  THubSocket& user = NewUser(lgLoggedIn, "alice");
  Feed(user, std::string(32768, 'a'));
  EXPECT_EQ(user.ReadBuffer().FreeSpace(), 0);  // the read pass refuses it
  EXPECT_TRUE(handlers_.Seen.empty());
}

struct TDispatchCase {
  std::uint8_t State;
  const char* Message;
  bool Handled;
  bool Closing;
  const char* Reply;  // exact output, or nullptr to skip
};

TEST_F(TProtocolFramingTest, DispatchesByLoginState) {
  settings_.JunkData.Enabled = false;
  settings_.JunkDataDK.Enabled = false;
  const std::vector<TDispatchCase> cases = {
      {lgLockSent, "$MyNick other|", true, true, "$Error CTM2HUB|"},
      {lgLockSent, "$ValidateNick bob|", false, false, ""},
      {lgKeyAccepted, "$Search a|", false, false, ""},
      {lgPasswordWait, "$ValidateNick bob|", false, false, ""},
      {lgNickAccepted, "$GetINFO a b|", false, false, ""},
      {lgNickAccepted, "$GetNickList|", true, false, nullptr},
      {lgNickAccepted, "$Version 1,0091|", true, false, ""},
      {lgNickAccepted, "<alice> hello|", false, false, ""},
      {lgMyINFOReceived, "$MyINFO $ALL alice x$ $1\x01$$0$|", false, false, ""},
      {lgLoggedIn, "$Quit alice|", true, true, ""},
      {lgLoggedIn, "$ForceMove 127.0.0.1|", true, true, ""},
      {lgLoggedIn, "$GetINFO bob alice|", true, false, ""},
      {lgLoggedIn, "$Searching for more|", true, false, ""},
      {lgLoggedIn, "$Key abc|", false, false, ""},
  };
  for (const TDispatchCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.State) + " " + c.Message);
    THubSocket& user = NewUser(c.State, "alice");
    const std::string message = c.Message;
    EXPECT_EQ(protocol_.HandleMessage(user, message), c.Handled);
    EXPECT_EQ(user.LifeState == lsClosing, c.Closing);
    // Handled and closing messages never count as junk.
    EXPECT_EQ(user.UserInfo().Transfer.JunkBytes,
              c.Handled || c.Closing ? 0 : static_cast<std::int64_t>(message.size()));
    if (c.Reply != nullptr) {
      EXPECT_EQ(Output(user), c.Reply);
    }
  }
}

TEST_F(TProtocolFramingTest, HandlerExceptionNamesTheKey) {
  THubSocket& user = NewUser(lgLoggedIn, "alice");
  try {
    protocol_.HandleMessage(user, "$Search boom|");
    FAIL() << "no exception";
  } catch (const EProtocolException& e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("TProtocol.HandleMessage:", 0), 0u) << what;
    EXPECT_NE(what.find("handler failed"), std::string::npos) << what;
  }
}

TEST_F(TProtocolFramingTest, JunkGuardWarnsThenDrops) {
  settings_.JunkData = {true, 20};
  settings_.JunkDataDK = {true, 1000};
  settings_.MaxSpamWarnings = 2;
  THubSocket& user = NewUser(lgLoggedIn, "alice");
  const std::string junk = "$Nonsense message here|";  // 23 bytes, over the warning mark
  for (int warning = 1; warning <= 2; ++warning) {
    Feed(user, junk);
    EXPECT_EQ(user.UserInfo().Transfer.Warnings, warning);
    EXPECT_NE(Output(user).find("SpamWarning " + std::to_string(warning)), std::string::npos);
    EXPECT_EQ(user.LifeState, lsInitialised);
  }
  Feed(user, junk);
  EXPECT_EQ(user.LifeState, lsClosing);
  EXPECT_EQ(Output(user), Bot(Text(TLanguageKey::SpamAbuseKickJunkData)));
  EXPECT_EQ(login_.TempBans, std::vector<std::string>{"alice"});
}

// A warning is a private message once the connection has a nick; before,
// a private message would go to nobody, so it is a bot line.
TEST_F(TProtocolFramingTest, JunkWarningGoesWhereTheConnectionCanReadIt) {
  settings_.JunkData = {true, 5};
  settings_.JunkDataDK.Enabled = false;
  settings_.MaxSpamWarnings = 0;
  settings_.NotifyJunkDataSpam = true;
  const std::string warning = FormatText(Text(TLanguageKey::JunkDataSpamWarning), 1);
  const std::string bot = settings_.BotName();
  struct TCase {
    std::uint8_t state;
    const char* nick;
    std::string reply;
  };
  const TCase cases[] = {
      {lgLockSent, "", Bot(warning)},
      {lgKeyAccepted, "", Bot(warning)},
      {lgNickAccepted, "alice", "$To: alice From: " + bot + " $<" + bot + "> " + warning + "|"},
      {lgLoggedIn, "alice", "$To: alice From: " + bot + " $<" + bot + "> " + warning + "|"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.state) + " '" + c.nick + "'");
    THubSocket& user = NewUser(c.state, c.nick);
    Feed(user, "$Nonsense message here|");
    EXPECT_EQ(user.UserInfo().Transfer.Warnings, 1);
    EXPECT_EQ(Output(user), c.reply);
    EXPECT_EQ(user.LifeState, lsInitialised);
  }
}

TEST_F(TProtocolFramingTest, JunkDropMarkCountsPerCheck) {
  settings_.JunkData.Enabled = false;
  settings_.JunkDataDK = {true, 30};
  THubSocket& user = NewUser(lgLoggedIn, "alice");
  user.UserInfo().Transfer.JunkBytes = 25;
  EXPECT_TRUE(protocol_.CheckJunkData(user, true));  // under the mark: marks move
  user.UserInfo().Transfer.JunkBytes += 25;
  EXPECT_TRUE(protocol_.CheckJunkData(user, true));  // 25 since the last check
  user.UserInfo().Transfer.JunkBytes += 31;
  EXPECT_FALSE(protocol_.CheckJunkData(user, true));
  EXPECT_EQ(user.LifeState, lsClosing);
}

}  // namespace
