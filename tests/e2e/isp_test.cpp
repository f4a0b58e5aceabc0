// The ISP check against a real kavrod over loopback: refusals for an
// address of no ISP and for a nick without the ISP's prefix, with their
// texts, the admissions beside them, the ISP's restriction at "$MyINFO",
// and isps.xml rewritten while a user waits for "$GetPass". Clients come
// from distinct 127.0.x.y addresses, each inside or outside a range.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kRedirect = "127.0.0.1:4113";

std::string Bot(std::string_view text) { return "<-Kavro-> " + std::string(text) + "|"; }

std::string MyINFOWithHubs(std::string_view nick, int hubs) {
  return "$MyINFO $ALL " + std::string(nick) + " e2e client <EiskaltDC++ V:2.4.2,M:A,H:" +
         std::to_string(hubs) + "/0/0,S:3>$ $20\x01$$0$|";
}

// Writes settings/isps.xml as the hub's list would: the ISPs `fill` adds.
void WriteISPs(const std::string& home, const std::function<void(TISPList&)>& fill) {
  SetProgramFolder(home);
  TLanguage language;
  TISPList isps(language);
  isps.Load();
  isps.Clear();
  fill(isps);
  ASSERT_TRUE(isps.Save());
}

TISP& AddISP(TISPList& isps, const char* name, const char* prefix, const char* range,
             int maxHubs = 0) {
  TISP* isp = isps.Add(name);
  EXPECT_NE(isp, nullptr) << name;
  isp->Prefix = prefix;
  isp->Restriction.MaxHubsEnabled = maxHubs > 0;
  isp->Restriction.MaxHubs = maxHubs;
  EXPECT_TRUE(isps.AddIP(*isp, range)) << range;
  return *isp;
}

std::unique_ptr<TNmdcClient> From(int port, const char* source) {
  auto client = TNmdcClient::Connect(port, false, source);
  EXPECT_NE(client, nullptr) << source;
  return client;
}

// One hub for the refusals and admissions. The general prefix list holds
// where an ISP has no prefixes of its own.
class ISPTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) {
      settings.UseISPCheck = true;
      settings.UseGeneralPrefixPatternCheck = true;
      settings.GeneralPrefixPattern = "[GEN]";
      settings.RedirectOnISP.Enabled = true;
      settings.RedirectOnISP.SetAddresses(kRedirect);
    });
    home_->AddAccount("member", "pw");
    WriteISPs(home_->Folder(), [](TISPList& isps) {
      AddISP(isps, "Home|Net", "[H|N];[HN]", "127.0.20.*");
      AddISP(isps, "Plain", "", "127.0.21.*", 2);
    });
    started_ = home_->StartHub();
  }
  static void TearDownTestSuite() {
    if (started_) {
      EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
    }
    delete home_;
    home_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(started_) << home_->Hub().Output(); }

  static TE2EHome* home_;
  static bool started_;
};

TE2EHome* ISPTest::home_ = nullptr;
bool ISPTest::started_ = false;

// Refused right after "$ValidateNick"; only the ISP refusal redirects. The
// '|' of the file's texts travels escaped, so it cannot end the line.
TEST_F(ISPTest, RefusalsAtTheNick) {
  const std::string noISP =
      Bot("Your ISP/IP isn't allowed on this hub, allowed ISPs are: Home&#124;Net and Plain");
  const std::string homePrefix =
      Bot("Your name should have (one of) the following prefix(s): [H&#124;N] or [HN]");
  const std::vector<std::string> forceMove{noISP, std::string("$ForceMove ") + kRedirect + "|"};
  const struct {
    const char* source;
    const char* nick;
    std::vector<std::string> after;
  } cases[] = {
      {"127.0.30.1", "[HN]visitor", forceMove},
      {"127.0.20.1", "[X]joe", {homePrefix}},
      {"127.0.20.2", "[HN]", {homePrefix}},     // the prefix alone is no nick with it
      {"127.0.20.3", "[hn]joe", {homePrefix}},  // prefixes compare with case
      {"127.0.20.4", "[GEN]joe", {homePrefix}},  // the ISP's prefixes replace the general
      {"127.0.21.1", "joe",
       {Bot("Your name should have (one of) the following prefix(s): [GEN]")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.nick);
    auto client = From(home_->Port(), c.source);
    ASSERT_TRUE(client && client->Handshake(c.nick));
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_EQ(client->AfterTheNick(), c.after) << client->ReceivedText();
  }

  // An account is checked once its password is right.
  auto member = From(home_->Port(), "127.0.30.2");
  ASSERT_TRUE(member && member->Handshake("member"));
  ASSERT_TRUE(member->ReadUntil("$GetPass|")) << member->ReceivedText();
  member->Send("$MyPass pw|");
  EXPECT_TRUE(member->WaitClosed());
  const std::vector<std::string> tail(member->Received().end() - 2, member->Received().end());
  EXPECT_EQ(tail, forceMove) << member->ReceivedText();
}

TEST_F(ISPTest, AdmissionsInsideTheRanges) {
  const struct {
    const char* source;
    const char* nick;
    const char* password;
  } cases[] = {
      {"127.0.20.10", "[HN]joe", nullptr},
      {"127.0.21.10", "[GEN]bob", nullptr},
      {"127.0.20.12", "member", "pw"},  // a registered nick needs no prefix
  };
  std::vector<std::unique_ptr<TNmdcClient>> online;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.nick);
    auto client = From(home_->Port(), c.source);
    ASSERT_TRUE(client);
    const bool in =
        c.password == nullptr ? client->Login(c.nick) : client->Login(c.nick, c.password);
    EXPECT_TRUE(in) << client->ReceivedText();
    online.push_back(std::move(client));
  }
}

// The ISP's own restriction is the one in force at "$MyINFO".
TEST_F(ISPTest, TheISPRestrictionHolds) {
  auto client = From(home_->Port(), "127.0.21.20");
  ASSERT_TRUE(client && client->Handshake("[GEN]many"));
  ASSERT_TRUE(client->ReadUntil("$Hello [GEN]many|")) << client->ReceivedText();
  client->Send("$Version 1,0091|$GetNickList|" + MyINFOWithHubs("[GEN]many", 3));
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Got(Bot("You're currently connected to too many hubs, you're on 3 hubs "
                              "and the current limit is: 2")))
      << client->ReceivedText();

  auto elsewhere = From(home_->Port(), "127.0.20.20");
  ASSERT_TRUE(elsewhere && elsewhere->Handshake("[HN]many"));
  ASSERT_TRUE(elsewhere->ReadUntil("$Hello [HN]many|"));
  elsewhere->Send("$Version 1,0091|$GetNickList|" + MyINFOWithHubs("[HN]many", 3));
  EXPECT_TRUE(elsewhere->ReadUntil("$MyINFO $ALL [HN]many ")) << elsewhere->ReceivedText();
}

// isps.xml rewritten while one user waits at "$GetPass" with the
// restriction of an ISP the new file drops, and another is listed: the
// waiting user finishes the login on the copy it holds, the listed one is
// held to its ISP's new restriction, and the hub goes on. A profile that
// bypasses the ISP check keeps the general restriction when the accounts
// are reloaded too.
TEST(ISPReloadTest, RewrittenFileWhileAUserWaitsForThePassword) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.UseISPCheck = true;
    settings.SetAutoLoadSettings(true);
    settings.Password = {true, "secret"};
  });
  home.AddAccount("vip", "vpw");
  {
    SetProgramFolder(home.Folder());
    TSettings settings;
    TProfiles profiles(settings);
    ASSERT_TRUE(profiles.Load());
    profiles.Find("Member")->SetRight(TProfileRight::MayByPassISPIPCheck, 1);
    ASSERT_TRUE(profiles.Save());
  }
  WriteISPs(home.Folder(), [](TISPList& isps) {
    AddISP(isps, "Old", "", "127.0.40.*", 3);
    AddISP(isps, "Keep", "", "127.0.42.*", 3);
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  auto listed = From(home.Port(), "127.0.42.1");
  ASSERT_TRUE(listed && listed->Login("listed", "secret")) << listed->ReceivedText();
  auto vip = From(home.Port(), "127.0.42.2");
  ASSERT_TRUE(vip && vip->Login("vip", "vpw")) << vip->ReceivedText();
  auto waiter = From(home.Port(), "127.0.40.1");
  ASSERT_TRUE(waiter && waiter->Handshake("waiter"));
  ASSERT_TRUE(waiter->ReadUntil("$GetPass|")) << waiter->ReceivedText();

  WriteISPs(home.Folder(), [](TISPList& isps) {
    AddISP(isps, "New", "", "127.0.41.*");
    AddISP(isps, "Keep", "", "127.0.42.*", 1);
  });
  const std::string refusal =
      Bot("Your ISP/IP isn't allowed on this hub, allowed ISPs are: Keep and New");
  bool reloaded = false;
  for (int attempt = 0; attempt < 10 && !reloaded; ++attempt) {
    auto probe = From(home.Port(), "127.0.40.2");
    ASSERT_TRUE(probe && probe->Handshake("probe"));
    probe->ReadUntil("$GetPass|", 3s);
    reloaded = probe->Got(refusal);
  }
  ASSERT_TRUE(reloaded) << home.Hub().Output();

  ASSERT_TRUE(waiter->Send("$MyPass secret|"));
  ASSERT_TRUE(waiter->ReadUntil("$Hello waiter|")) << waiter->ReceivedText();
  waiter->Send("$Version 1,0091|$GetNickList|" + MyINFOWithHubs("waiter", 3));
  EXPECT_TRUE(waiter->ReadUntil("$MyINFO $ALL waiter ")) << waiter->ReceivedText();

  listed->Send(MyINFOWithHubs("listed", 2));
  EXPECT_TRUE(listed->WaitClosed());
  EXPECT_TRUE(listed->Got(Bot("You're currently connected to too many hubs, you're on 2 hubs "
                              "and the current limit is: 1")))
      << listed->ReceivedText();

  auto fresh = From(home.Port(), "127.0.41.1");
  ASSERT_TRUE(fresh && fresh->Login("fresh", "secret")) << fresh->ReceivedText();

  // A new account: once it logs in, the accounts were reloaded and the vip
  // bound again.
  home.AddAccount("late", "lpw");
  bool rebound = false;
  for (int attempt = 0; attempt < 10 && !rebound; ++attempt) {
    auto late = From(home.Port(), "127.0.41.2");
    rebound = late && late->Login("late", "lpw");
  }
  ASSERT_TRUE(rebound) << home.Hub().Output();
  vip->Send(MyINFOWithHubs("vip", 2));
  const auto echoed = vip->ReadUntil("$MyINFO $ALL vip ");
  ASSERT_TRUE(echoed) << vip->ReceivedText();
  EXPECT_NE(echoed->find(",H:2/0/0,"), std::string::npos) << *echoed;
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

}  // namespace
