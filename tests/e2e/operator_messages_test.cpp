// Operator and information messages against a real kavrod over loopback:
// "$Kick" (by an operator account, by a regular user, of an unknown nick,
// and the auto-ban), "$OpForceMove", "$UserIP" and "$BotINFO". Every client
// comes from its own 127.0.9.x address, so one kick's temporary IP ban
// meets nobody else.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/language_loader.h"
#include "settings/settings.h"
#include "utils/program_folder.h"
#include "utils/text_format.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kMoveTo = "127.0.0.1:4111";

std::string Bot(std::string_view text) { return "<-Kavro-> " + std::string(text) + "|"; }

std::string Text(TLanguageKey key) {
  static const TLanguage language;
  return language.Text(key);
}

// "boss" with an operator profile that may kick, redirect and see IPs.
void AddOperator(TE2EHome& home) {
  home.AddAccount("boss", "bosspass", true);
  SetProgramFolder(home.Folder());
  TSettings settings;
  settings.Load();
  TProfiles profiles(settings);
  ASSERT_TRUE(profiles.Load());
  const std::shared_ptr<TProfile> op = profiles.Find("Operator");
  ASSERT_NE(op, nullptr);
  op->SetRight(TProfileRight::MayKickUser, paLower);
  op->SetRight(TProfileRight::MayRedirect, paLower);
  op->SetRight(TProfileRight::MayAccessUserIP2, 1);
  ASSERT_TRUE(profiles.Save());
}

class OperatorMessagesE2ETest : public TSharedHubTest<OperatorMessagesE2ETest> {
 public:
  static void Configure(TSettings& settings) {
    settings.HubDescription = "a|b$c";
    settings.AutoBanOnKick.Enabled = false;
  }
  static void Prepare(TE2EHome& home) {
    AddOperator(home);
  }

 protected:
  static std::unique_ptr<TNmdcClient> Login(const std::string& nick, const std::string& source,
                                            std::optional<std::string_view> password = {}) {
    auto client = TNmdcClient::Connect(home_->Port(), false, source);
    EXPECT_TRUE(client && client->Login(nick, password)) << nick;
    return client;
  }

  // Round trip through the hub: once a client's own chat line is back,
  // everything the hub did for its earlier messages has been queued.
  static void Sync(TNmdcClient& client, const std::string& nick) {
    const std::string line = "<" + nick + "> sync " + std::to_string(++syncs_) + "|";
    ASSERT_TRUE(client.Send(line));
    ASSERT_TRUE(client.ReadUntil(line).has_value()) << client.ReceivedText();
  }

  static inline int syncs_ = 0;
};

TEST_F(OperatorMessagesE2ETest, OperatorKickClosesTellsAndBansForAWhile) {
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  auto bob = Login("bob", "127.0.9.2");
  auto carol = Login("carol", "127.0.9.3");
  ASSERT_TRUE(boss && bob && carol);

  ASSERT_TRUE(boss->Send("<boss> boss is kicking bob because: spam|$Kick bob|"));

  EXPECT_TRUE(bob->WaitClosed()) << bob->ReceivedText();
  EXPECT_TRUE(carol->ReadUntil("$Quit bob|").has_value()) << carol->ReceivedText();
  const std::string told =
      Bot(FormatText(Text(TLanguageKey::OnKickUserWithReason), "bob", "127.0.9.2", "boss", "spam"));
  EXPECT_TRUE(boss->ReadUntil(told).has_value()) << boss->ReceivedText();
  EXPECT_TRUE(home_->Hub().WaitForOutput(
      FormatText(Text(TLanguageKey::OnKickFeedMessageHasReason), "bob", "boss", "spam")))
      << home_->Hub().Output();
  Sync(*carol, "carol");
  EXPECT_FALSE(carol->Got(told)) << "only operators hear of kicks";

  // Back at once under the same nick: the temporary ban, with its reason.
  auto again = TNmdcClient::Connect(home_->Port(), false, "127.0.9.2");
  ASSERT_TRUE(again && again->Handshake("bob"));
  EXPECT_TRUE(again->WaitClosed());
  const std::string banned = FormatText(Text(TLanguageKey::TmpBanNickWithReason), "", "spam");
  const std::string start = banned.substr(0, banned.find("another"));
  EXPECT_NE(again->ReceivedText().find("<-Kavro-> " + start), std::string::npos)
      << again->ReceivedText();
  EXPECT_NE(again->ReceivedText().find("because: spam|"), std::string::npos)
      << again->ReceivedText();
}

TEST_F(OperatorMessagesE2ETest, KickByARegularUserIsDropped) {
  auto dave = Login("dave", "127.0.9.4");
  auto erin = Login("erin", "127.0.9.5");
  ASSERT_TRUE(dave && erin);

  const std::size_t before = dave->Received().size();
  ASSERT_TRUE(dave->Send("$Kick erin|"));
  Sync(*dave, "dave");
  Sync(*erin, "erin");

  EXPECT_FALSE(erin->Closed());
  const std::vector<std::string> after(dave->Received().begin() + static_cast<long>(before),
                                       dave->Received().end());
  for (const std::string& message : after) {
    EXPECT_FALSE(message.starts_with("<-Kavro-> ")) << message;
    EXPECT_NE(message, "$Quit erin|");
  }
}

TEST_F(OperatorMessagesE2ETest, KickOfAnUnknownNickTellsTheOperator) {
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  ASSERT_TRUE(boss);
  ASSERT_TRUE(boss->Send("$Kick ghost|"));
  EXPECT_TRUE(boss->ReadUntil(Bot(Text(TLanguageKey::OnKickUserNotFound))).has_value())
      << boss->ReceivedText();
}

TEST_F(OperatorMessagesE2ETest, OpForceMoveShowsTheReasonThenMoves) {
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  auto frank = Login("frank", "127.0.9.6");
  ASSERT_TRUE(boss && frank);

  ASSERT_TRUE(boss->Send(std::string("$OpForceMove $Who:frank$Where:") + kMoveTo +
                         "$Msg:You are being redirected to " + kMoveTo + ": go away|"));

  const std::string shown = "<boss> " +
      FormatText(Text(TLanguageKey::OnRedirectUserWithReason), kMoveTo, "go away") + "|";
  EXPECT_TRUE(frank->ReadUntil(shown).has_value()) << frank->ReceivedText();
  EXPECT_EQ(frank->Read(), std::string("$ForceMove ") + kMoveTo + "|");
  EXPECT_TRUE(frank->WaitClosed());
  EXPECT_TRUE(home_->Hub().WaitForOutput(
      FormatText(Text(TLanguageKey::OnRedirectFeedMessage), "boss", "frank", kMoveTo)));
}

TEST_F(OperatorMessagesE2ETest, OpForceMoveWithoutAnAddressIsDropped) {
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  auto gina = Login("gina", "127.0.9.7");
  ASSERT_TRUE(boss && gina);

  ASSERT_TRUE(boss->Send("$OpForceMove $Who:gina$Where:$Msg:You are being redirected to : bye|"));
  Sync(*boss, "boss");
  Sync(*gina, "gina");

  EXPECT_FALSE(gina->Closed());
  EXPECT_FALSE(gina->Got("$ForceMove")) << gina->ReceivedText();
  const std::string redirecting = Text(TLanguageKey::OnRedirectUserWithReason);
  EXPECT_FALSE(gina->Got("<boss> " + redirecting.substr(0, redirecting.find('%'))))
      << gina->ReceivedText();
  EXPECT_EQ(home_->Hub().Output().find("redirected gina"), std::string::npos);
}

TEST_F(OperatorMessagesE2ETest, UserIPAnswersTheKnownNicksInOneLine) {
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  auto hank = Login("hank", "127.0.9.8");
  auto ida = Login("ida", "127.0.9.9");
  ASSERT_TRUE(boss && hank && ida);

  ASSERT_TRUE(boss->Send("$UserIP hank$$ghost$$ida|"));
  EXPECT_TRUE(boss->ReadUntil("$UserIP hank 127.0.9.8$$ida 127.0.9.9|").has_value())
      << boss->ReceivedText();
}

// The list an operator with UserIP2 gets at login has the form of the
// answer above: "$$" between entries, none after the last.
TEST_F(OperatorMessagesE2ETest, UserIPListAtLoginEndsWithTheLastEntry) {
  auto jack = Login("jack", "127.0.9.11");
  auto zoe = Login("zoe", "127.0.9.12");
  ASSERT_TRUE(jack && zoe);
  auto boss = Login("boss", "127.0.9.1", "bosspass");
  ASSERT_TRUE(boss);
  const auto& got = boss->Received();
  auto list = std::find_if(got.begin(), got.end(),
                           [](const std::string& m) { return m.starts_with("$UserIP "); });
  std::optional<std::string> text;
  if (list != got.end()) text = *list;
  if (!text) text = boss->ReadUntil("$UserIP ");
  ASSERT_TRUE(text.has_value()) << boss->ReceivedText();
  EXPECT_NE(text->find("jack 127.0.9.11$$"), std::string::npos) << *text;
  EXPECT_TRUE(text->ends_with("$$zoe 127.0.9.12|")) << *text;
  EXPECT_EQ(text->find("boss "), std::string::npos) << *text;
}

TEST_F(OperatorMessagesE2ETest, BotINFOIsAnsweredFiveTimesAMinuteWithEscapedFields) {
  auto pinger = TNmdcClient::Connect(home_->Port(), false, "127.0.9.10");
  ASSERT_TRUE(pinger && pinger->ReadUntil("$Lock ").has_value());
  std::string six;
  for (int i = 0; i < 6; ++i) six += "$BotINFO pinger bot|";
  ASSERT_TRUE(pinger->Send(six));
  pinger->Drain(1500ms);

  const auto& got = pinger->Received();
  const auto answers = std::count_if(got.begin(), got.end(), [](const std::string& m) {
    return m.starts_with("$HubINFO ");
  });
  EXPECT_EQ(answers, 5) << pinger->ReceivedText();
  const std::string address = "hub.example.org:" + std::to_string(home_->Port());
  EXPECT_TRUE(pinger->Got("$HubINFO ")) << pinger->ReceivedText();
  for (const std::string& m : got) {
    if (!m.starts_with("$HubINFO ")) continue;
    EXPECT_NE(m.find("$" + address + "$a&#124;b&#36;c$3000$"), std::string::npos) << m;
    EXPECT_EQ(std::count(m.begin(), m.end(), '$'), 12) << m;
    break;
  }
}

// A hub that bans a user's nick at the first kick, with an auto-ban reason
// from its language file that holds a '|'.
TEST(OperatorAutoBanE2ETest, FirstKickBansTheNickAndTheReasonStaysInside) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) { settings.AutoBanOnKick = {true, 1, 6}; });
  AddOperator(home);
  {
    SetProgramFolder(home.Folder());
    TLanguage language;
    language.SetText(TLanguageKey::OnKickAutoBanReason, "kicked|$ForceMove 127.0.0.1:1");
    TLanguageLoader(language).Save("english.xml");
  }
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto connect = [&home](const std::string& nick, const char* source,
                         std::optional<std::string_view> password = {}) {
    auto client = TNmdcClient::Connect(home.Port(), false, source);
    EXPECT_TRUE(client && client->Login(nick, password)) << nick;
    return client;
  };
  auto boss = connect("boss", "127.0.8.1", "bosspass");
  auto jack = connect("jack", "127.0.8.2");
  ASSERT_TRUE(boss && jack);

  ASSERT_TRUE(boss->Send("$Kick jack|"));

  EXPECT_TRUE(jack->WaitClosed());
  const std::string escaped = "kicked&#124;$ForceMove 127.0.0.1:1";
  EXPECT_NE(jack->ReceivedText().find(escaped), std::string::npos) << jack->ReceivedText();
  EXPECT_FALSE(jack->Got("$ForceMove")) << jack->ReceivedText();
  EXPECT_TRUE(boss->ReadUntil(Bot(FormatText(Text(TLanguageKey::OnKickUserWithTotalKicksAndAutoBan),
                                             "jack", "127.0.8.2", 1, "boss")))
                  .has_value())
      << boss->ReceivedText();

  // From another address, past the temporary ban's IP: the nick ban holds.
  auto again = TNmdcClient::Connect(home.Port(), false, "127.0.8.3");
  ASSERT_TRUE(again && again->Handshake("jack"));
  EXPECT_TRUE(again->WaitClosed());
  EXPECT_NE(again->ReceivedText().find(escaped), std::string::npos) << again->ReceivedText();
  EXPECT_NE(again->ReceivedText().find("boss"), std::string::npos) << again->ReceivedText();
  EXPECT_FALSE(again->Got("$ForceMove")) << again->ReceivedText();
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

}  // namespace

namespace {

// A user kicked with "!reason" must change the share before coming back.
TEST(ShareTraceE2ETest, KickedWithADemandComesBackOnlyWithAnotherShare) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.AutoBanOnKick.Enabled = false;
    settings.TmpBanTime.Enabled = false;  // so only the share trace stands in the way
  });
  AddOperator(home);
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto boss = TNmdcClient::Connect(home.Port(), false, "127.0.10.1");
  auto kim = TNmdcClient::Connect(home.Port(), false, "127.0.10.2");
  ASSERT_TRUE(boss && boss->Login("boss", "bosspass"));
  ASSERT_TRUE(kim && kim->Login("kim"));
  ASSERT_TRUE(boss->Send("<boss> boss is kicking kim because: !share more|$Kick kim|"));
  EXPECT_TRUE(kim->WaitClosed());

  const auto comeBack = [&home](const std::string& share) {
    auto client = TNmdcClient::Connect(home.Port(), false, "127.0.10.2");
    EXPECT_TRUE(client && client->Handshake("kim"));
    EXPECT_TRUE(client->ReadUntil("$Hello kim|").has_value()) << client->ReceivedText();
    EXPECT_TRUE(client->Send("$Version 1,0091|$GetNickList|$MyINFO $ALL kim e2e client "
                             "<EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$" +
                             share + "$|"));
    return client;
  };
  auto same = comeBack("0");
  EXPECT_TRUE(same->WaitClosed());
  EXPECT_TRUE(same->Got(Bot(FormatText(Text(TLanguageKey::ShareTraceNoUpdateReason), "share more"))))
      << same->ReceivedText();

  auto changed = comeBack("5000000000");
  EXPECT_TRUE(changed->ReadUntil("$MyINFO $ALL kim ").has_value()) << changed->ReceivedText();
  EXPECT_TRUE(home.Hub().WaitForOutput(
      FormatText(Text(TLanguageKey::ShareTraceNotifyShareUpdateMessage), "kim", "127.0.10.2")))
      << home.Hub().Output();
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

}  // namespace
