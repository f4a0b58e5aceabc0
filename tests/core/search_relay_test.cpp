// Searches: their checks, who receives them, and the made-up results.

#include <functional>
#include <string>

#include "chat_test_fixture.h"
#include "utils/text_format.h"

namespace {

class SearchRelayTest : public TChatFixture {
 protected:
  // The made-up result `text` for a search of `folders` (each followed by '\').
  std::string Notice(std::string_view folders, TLanguageKey text) const {
    return "$SR " + settings_.BotName() + " restrictions\\" + std::string(folders) +
           Text(text) + ".txt\x05" + "0 9/30\x05" + "TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ (" +
           std::string(kLocalIP) + ")|";
  }
};

TEST(SearchQueryTest, FieldsAreCutAtTheirOwnMarks) {
  struct TCase {
    const char* message;
    bool passive;
    const char* address;
    const char* type;
    const char* pattern;
  };
  const TCase cases[] = {
      {"$Search 1.2.3.4:412 F?T?0?1?foo$bar|", false, "1.2.3.4:412", "1", "foo$bar"},
      {"$Search Hub:bob T?F?100?9?TTH:ABC|", true, "Hub:bob", "9", "TTH:ABC"},
      {"$Search Hub:bob F?T?0?1?what?now|", true, "Hub:bob", "1", "what?now"},
      {"$Search 1.2.3.4:412 F?T?0?x|", false, "1.2.3.4:412", "", "x"},
      {"$Search nospace|", false, "nospace", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.message);
    const TSearchQuery q = TSearchQuery::Parse(c.message);
    EXPECT_EQ(q.Passive, c.passive);
    EXPECT_EQ(q.Address, c.address);
    EXPECT_EQ(q.Type, c.type);
    EXPECT_EQ(q.Pattern, c.pattern);
  }
}

TEST_F(SearchRelayTest, RecipientsDependOnModeShareAndBacklog) {
  THubSocket& active = Online("active", "", "10.0.0.1");
  THubSocket& passive = Online("passive", "", "10.0.0.2");
  THubSocket& hider = Online("hider", "", "10.0.0.3");
  THubSocket& busy = Online("busy", "", "10.0.0.4");
  THubSocket& other = Online("other", "", "10.0.0.5");
  passive.Passive = true;
  hider.HidesShare = true;
  busy.WriteBuffer().AppendString("backlog");
  busy.WriteBuffer().Consume(1);  // the last send left bytes behind
  const std::string activeSearch = "$Search 10.0.0.1:412 F?T?0?1?music|";
  const std::string passiveSearch = "$Search Hub:passive F?T?0?1?music|";

  EXPECT_TRUE(Send(active, activeSearch));
  EXPECT_TRUE(Send(passive, passiveSearch));

  EXPECT_EQ(Output(active), passiveSearch);
  EXPECT_EQ(Output(passive), activeSearch);
  EXPECT_EQ(Output(hider), "");
  EXPECT_EQ(Output(busy), "acklog");
  EXPECT_EQ(Output(other), activeSearch + passiveSearch);
  EXPECT_EQ(stats_.Protocol.ActiveSearches, 1);
  EXPECT_EQ(stats_.Protocol.PassiveSearches, 1);
}

TEST_F(SearchRelayTest, SharersOnlySwitchSkipsEmptyShares) {
  THubSocket& alice = Online("alice");
  THubSocket& empty = Online("empty");
  THubSocket& full = Online("full");
  full.UserInfo().Share = 1;
  chat_.SharersOnly = true;
  EXPECT_TRUE(Send(alice, "$Search 10.0.0.1:412 F?T?0?1?music|"));
  EXPECT_EQ(Output(empty), "");
  EXPECT_EQ(Output(full), "$Search 10.0.0.1:412 F?T?0?1?music|");
}

TEST_F(SearchRelayTest, LengthBounds) {
  settings_.SearchMaxLength.Enabled = false;
  struct TCase {
    std::size_t length;  // without the '|'
    bool closes;
    bool relayed;
  };
  const std::string start = "$Search Hub:alice F?T?0?1?";
  for (const TCase& c : {TCase{13, true, false}, TCase{14, false, false},
                         TCase{1024, false, true}, TCase{1025, true, false}}) {
    SCOPED_TRACE(c.length);
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    std::string search = start;
    search.resize(c.length, 'x');
    search += '|';
    EXPECT_EQ(Send(alice, search), !c.closes);
    EXPECT_EQ(alice.LifeState == lsClosing, c.closes);
    EXPECT_EQ(Output(bob), c.relayed ? search : "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(SearchRelayTest, RefusalsComeBackAsMadeUpResults) {
  struct TCase {
    const char* name;
    std::function<void()> setup;
    std::string search;
    std::string reply;
  };
  const std::vector<TCase> cases = {
      {"too long", [this] { settings_.SearchMaxLength = {true, 30}; },
       "$Search 10.0.0.1:412 F?T?0?1?some$long$words|",
       Notice("some\\long\\words\\", TLanguageKey::SearchTooLong)},
      {"searching off", [this] { settings_.SearchAllowed = false; },
       "$Search 10.0.0.1:412 F?T?0?1?abc|", Notice("abc\\", TLanguageKey::SearchingDisabled)},
      {"passive off", [this] { settings_.PassiveSearchAllowed = false; },
       "$Search Hub:alice F?T?0?1?a$$b|",
       Notice("a\\b\\", TLanguageKey::PassiveSearchNotAllowed)},
      {"any too short", [this] { settings_.SearchMinLengthAny = {true, 4}; },
       "$Search Hub:alice F?T?0?1?abc|", Notice("abc\\", TLanguageKey::ToShortPassiveSearch)},
      {"specific too short", [this] { settings_.SearchMinLengthSpec = {true, 4}; },
       "$Search Hub:alice F?T?0?2?abc|", Notice("abc\\", TLanguageKey::ToShortPassiveSearch)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    c.setup();
    EXPECT_TRUE(Send(alice, c.search));
    EXPECT_EQ(Output(alice), c.reply);
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
    settings_.SearchMaxLength = {true, 150};
    settings_.SearchAllowed = settings_.PassiveSearchAllowed = true;
    settings_.SearchMinLengthAny = {false, 4};
    settings_.SearchMinLengthSpec = {false, 2};
  }
}

TEST_F(SearchRelayTest, MinimumLengthChecksFollowTheirOwnSwitches) {
  struct TCase {
    bool anyOn;
    bool minLengthOn;
    const char* type;
    const char* pattern;
    bool relayed;
  };
  const TCase cases[] = {
      {true, false, "1", "abc", false},    // any-type search under 4
      {true, false, "1", "abcd", true},
      {true, false, "2", "abc", true},     // the any-type limit only
      {false, true, "1", "abc", true},     // the limit of 2 is met
      {false, true, "1", "a", false},
      {false, false, "1", "a", true},      // both off: no limit
      {true, false, "1", "a?bc", true},    // '?' in the pattern counts as a byte
  };
  settings_.SearchMinLengthAny.Value = 4;
  settings_.SearchMinLengthSpec.Value = 2;
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.pattern);
    settings_.SearchMinLengthAny.Enabled = c.anyOn;
    settings_.SearchMinLengthSpec.Enabled = c.minLengthOn;
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    const std::string search = std::string("$Search Hub:alice F?T?0?") + c.type + "?" + c.pattern + "|";
    EXPECT_TRUE(Send(alice, search));
    EXPECT_EQ(Output(bob), c.relayed ? search : "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(SearchRelayTest, DroppedSilently) {
  struct TCase {
    const char* name;
    std::function<void(THubSocket&)> setup;
    std::string search;
  };
  const std::vector<TCase> cases = {
      {"foreign passive nick", [](THubSocket&) {}, "$Search Hub:bob F?T?0?1?music|"},
      {"blocked", [](THubSocket& u) { u.UserInfo().Blocked = true; },
       "$Search 10.0.0.1:412 F?T?0?1?music|"},
      {"scanner", [this](THubSocket&) { chat_.RefuseSearches = true; },
       "$Search 10.0.0.1:412 F?T?0?1?music|"},
      {"port not a number", [](THubSocket&) {}, "$Search 10.0.0.1:41a F?T?0?1?music|"},
      {"port too large", [](THubSocket&) {}, "$Search 10.0.0.1:65536 F?T?0?1?music|"},
      {"no port", [](THubSocket&) {}, "$Search 10.0.0.1 F?T?0?1?music|"},
  };
  settings_.CheckSenderIPOnSearchAndConnectToMe = false;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    chat_ = TRecordingChatHooks();
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    c.setup(alice);
    EXPECT_TRUE(Send(alice, c.search));
    EXPECT_EQ(Output(bob), "");
    EXPECT_EQ(Output(alice), "");
    EXPECT_NE(alice.LifeState, lsClosing);
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(SearchRelayTest, WrongIPIsNoticedTwiceThenDroppedQuietly) {
  THubSocket& alice = Online("alice", "", "10.0.0.1");
  THubSocket& bob = Online("bob");
  const std::string notice =
      Bot(FormatText(Text(TLanguageKey::InvalidIPOnSearchOrConnectToMe), "6.6.6.6", "10.0.0.1"));
  for (const std::string& reply : {notice, notice, std::string()}) {
    EXPECT_TRUE(Send(alice, "$Search 6.6.6.6:412 F?T?0?1?music|"));
    EXPECT_EQ(Output(alice), reply);
  }
  EXPECT_TRUE(Send(alice, "$Search :412 F?T?0?1?music|"));
  EXPECT_EQ(Output(bob), "");

  Profile("Nat", TProfileRight::MayByPassIPCheckOnSearchAndConnectToMe, 1);
  THubSocket& nat = Online("nat", "Nat", "10.0.0.9");
  EXPECT_TRUE(Send(nat, "$Search 6.6.6.6:412 F?T?0?1?music|"));
  EXPECT_EQ(Output(bob), "$Search 6.6.6.6:412 F?T?0?1?music|");
}

TEST_F(SearchRelayTest, PassiveSearchOfARestrictedUserRedirectsAndCloses) {
  settings_.ConnRestriction.MayBeInPassiveMode = false;
  settings_.RedirectOnPassiveMode.Enabled = true;
  settings_.RedirectOnPassiveMode.SetAddresses("other.example.org:411");
  THubSocket& alice = Online("alice");
  alice.Restriction.MayBeInPassiveMode = false;
  EXPECT_TRUE(Send(alice, "$Search Hub:alice F?T?0?1?music|"));
  EXPECT_EQ(alice.LifeState, lsClosing);
  EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::NoPassiveWhileConnected)) +
                               "$ForceMove other.example.org:411|");
}

TEST_F(SearchRelayTest, FloodGateRefusesAtItsCount) {
  settings_.SearchSpamMaxCount = {TTriState::Checked, 3, 60000};
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  const std::string search = "$Search 10.0.0.1:412 F?T?0?1?music|";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Send(alice, search));
  EXPECT_EQ(Output(bob), search + search);
  EXPECT_EQ(Output(alice), "$To: alice From: " + settings_.BotName() + " $" + Bot(
                               FormatText(Text(TLanguageKey::SearchSpamWarning), 1)));
}

}  // namespace

namespace {

class SearchScannerReasonTest : public SearchRelayTest {};

// A refusal with a reason answers the searcher alone with one made-up result.
TEST_F(SearchScannerReasonTest, ReasonBecomesTheOnlyResult) {
  settings_.CheckSenderIPOnSearchAndConnectToMe = false;
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  chat_.RefuseSearches = true;
  chat_.SearchReason = "No warez";
  EXPECT_TRUE(Send(alice, "$Search 10.0.0.1:412 F?T?0?1?foo$warez|"));
  EXPECT_EQ(Output(bob), "");
  EXPECT_EQ(Output(alice), "$SR " + settings_.BotName() +
                               " restrictions\\foo\\warez\\No warez.txt\x05" + "0 9/30\x05" +
                               "TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ (" +
                               std::string(kLocalIP) + ")|");
}

}  // namespace
