// "$ConnectToMe" and "$RevConnectToMe".

#include <string>

#include "chat_test_fixture.h"
#include "utils/text_format.h"

namespace {

class ConnectRequestTest : public TChatFixture {};

TEST_F(ConnectRequestTest, ConnectToMeReachesTheTargetOnly) {
  THubSocket& alice = Online("alice", "", "10.0.0.1");
  THubSocket& bob = Online("bob", "", "10.0.0.2");
  THubSocket& carol = Online("carol", "", "10.0.0.3");
  EXPECT_TRUE(Send(alice, "$ConnectToMe bob 10.0.0.1:4112|"));
  EXPECT_EQ(Output(bob), "$ConnectToMe bob 10.0.0.1:4112|");
  EXPECT_EQ(Output(carol), "");
  EXPECT_EQ(stats_.Protocol.ConnectToMe, 1);
}

TEST_F(ConnectRequestTest, ConnectToMeRefusals) {
  struct TCase {
    const char* name;
    std::string message;
    bool disabled;  // ConnectToMeAllowed off
    bool handled, closes;
    std::string reply;
  };
  const std::string wrongIP =
      Bot(FormatText(Text(TLanguageKey::InvalidIPOnSearchOrConnectToMe), "6.6.6.6", "10.0.0.1"));
  const std::string missingIP =
      Bot(FormatText(Text(TLanguageKey::InvalidIPOnSearchOrConnectToMe), "[Missing]", "10.0.0.1"));
  const std::vector<TCase> cases = {
      {"wrong ip", "$ConnectToMe bob 6.6.6.6:4112|", false, true, false, wrongIP},
      {"missing ip", "$ConnectToMe bob :4112000000|", false, true, false, missingIP},
      {"disabled", "$ConnectToMe bob 10.0.0.1:4112|", true, true, false,
       Bot(Text(TLanguageKey::ConnectToMeDisabled))},
      {"offline target", "$ConnectToMe zed 10.0.0.1:4112|", false, true, false, ""},
      {"too short", "$ConnectToMe b 1:2|", false, false, true, ""},
      {"no space", "$ConnectToMe bob10.0.0.1:4112|", false, false, false, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.ConnectToMeAllowed = !c.disabled;
    THubSocket& alice = Online("alice", "", "10.0.0.1");
    THubSocket& bob = Online("bob", "", "10.0.0.2");
    EXPECT_EQ(Send(alice, c.message), c.handled);
    EXPECT_EQ(alice.LifeState == lsClosing, c.closes);
    EXPECT_EQ(Output(alice), c.reply);
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(ConnectRequestTest, HiddenShareIsReachedOncePerRevConnectToMe) {
  THubSocket& hider = Online("hider", "", "10.0.0.1");
  THubSocket& bob = Online("bob", "", "10.0.0.2");
  THubSocket& carol = Online("carol", "", "10.0.0.3");
  hider.HidesShare = true;
  const std::string fromBob = "$ConnectToMe hider 10.0.0.2:4000|";

  EXPECT_TRUE(Send(bob, fromBob));
  EXPECT_EQ(Output(hider), "");  // not asked for

  EXPECT_TRUE(Send(hider, "$RevConnectToMe hider bob|"));
  EXPECT_EQ(Output(bob), "$RevConnectToMe hider bob|");
  EXPECT_TRUE(hider.Passive);

  EXPECT_TRUE(Send(carol, "$ConnectToMe hider 10.0.0.3:4000|"));
  EXPECT_EQ(Output(hider), "");  // carol was not asked
  EXPECT_TRUE(Send(bob, fromBob));
  EXPECT_EQ(Output(hider), fromBob);
  EXPECT_TRUE(Send(bob, fromBob));
  EXPECT_EQ(Output(hider), "");  // once per request

  // Nobody gets a passive request for a hidden share.
  EXPECT_TRUE(Send(bob, "$RevConnectToMe bob hider|"));
  EXPECT_EQ(Output(hider), "");
}

TEST_F(ConnectRequestTest, RevConnectToMeWithAForgedNickBansAndCloses) {
  for (const char* message : {"$RevConnectToMe carol bob|", "$RevConnectToMe Alice bob|",
                              "$RevConnectToMe alicebob  x|"}) {
    SCOPED_TRACE(message);
    login_.TempBans.clear();
    THubSocket& alice = Online("alice");
    THubSocket& bob = Online("bob");
    EXPECT_TRUE(Send(alice, message));
    EXPECT_EQ(alice.LifeState, lsClosing);
    EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::InvalidRevConnectToMe)));
    EXPECT_EQ(login_.TempBans, std::vector<std::string>{"alice"});
    EXPECT_EQ(Output(bob), "");
    nickList_.Remove(alice);
    nickList_.Remove(bob);
  }
}

TEST_F(ConnectRequestTest, RevConnectToMeRefusals) {
  THubSocket& alice = Online("alice");
  Profile("Leech", TProfileRight::MaySendConnectToMe, 0);
  THubSocket& leech = Online("leech", "Leech");
  EXPECT_TRUE(Send(alice, "$RevConnectToMe alice leech|"));
  EXPECT_EQ(Output(leech), "");
  EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::RevConnectToMeResponseDisabled)));

  settings_.RevConnectToMeAllowed = false;
  EXPECT_TRUE(Send(alice, "$RevConnectToMe alice leech|"));
  EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::RevConnectToMeDisabled)));

  EXPECT_FALSE(Send(alice, "$RevConnectToMe alice|"));  // too short
  EXPECT_EQ(alice.LifeState, lsClosing);
}

TEST_F(ConnectRequestTest, RevConnectToMeOfARestrictedUserRedirectsAndCloses) {
  THubSocket& alice = Online("alice");
  THubSocket& bob = Online("bob");
  alice.Restriction.MayBeInPassiveMode = false;
  EXPECT_TRUE(Send(alice, "$RevConnectToMe alice bob|"));
  EXPECT_EQ(alice.LifeState, lsClosing);
  EXPECT_EQ(Output(alice), Bot(Text(TLanguageKey::NoPassiveWhileConnected)));
  EXPECT_EQ(Output(bob), "");
}

}  // namespace
