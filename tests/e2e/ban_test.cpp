// Lasting bans against a real kavrod over loopback: nick, IP, host-name and
// client bans refused at their moment with their texts, the password
// auto-ban, a ban that runs out beside a range ban, and bans.xml edited
// while the hub runs. Clients come from distinct 127.0.x.y addresses so
// each case meets only its own IP bans.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "platform/local_clock.h"
#include "platform/name_resolver.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kRedirect = "127.0.0.1:4113";

std::string Bot(std::string_view text) { return "<-Kavro-> " + std::string(text) + "|"; }

std::string MyINFOWithTag(std::string_view nick, std::string_view tag) {
  return "$MyINFO $ALL " + std::string(nick) + " e2e client " + std::string(tag) +
         "$ $20\x01$$0$|";
}

// Writes settings/bans.xml as the hub's list would: the bans `fill` adds.
// Runs in the test process, so its clock is the hub's.
void WriteBans(const std::string& home, const std::function<void(TBanList&)>& fill) {
  SetProgramFolder(home);
  TLanguage language;
  TBanList bans(language);
  bans.Load();
  bans.Clear();
  fill(bans);
  ASSERT_TRUE(bans.Save());
}

TDateTime SecondsFromNow(std::int64_t seconds) { return TDateTime{NowLocal().Seconds + seconds}; }

// One hub for the nick, IP, client and host-name cases.
class BanTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) {
      settings.PerformDNSLookup = true;
      settings.SetAutoLoadSettings(true);
      settings.RedirectOnBans.Enabled = true;
      settings.RedirectOnBans.SetAddresses(kRedirect);
    });
    if (!ReverseLookupIPv4("127.0.0.1", localName_)) localName_.clear();
    ipExpiry_ = SecondsFromNow(30 * 86400);
    WriteBans(home_->Folder(), BaseBans);
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

  static void BaseBans(TBanList& bans) {
    bans.AddNickBan("banned*", "no trolls", 0, {}, "op");
    bans.AddIPBan("127.0.7.*", "", 0, ipExpiry_, "netop");
    bans.AddClientBan("BadClient1.*", "leech", {}, "op");
    if (!localName_.empty()) bans.AddDNSBan(localName_, "dns", {}, "op");
  }

  static std::unique_ptr<TNmdcClient> From(const char* source) {
    auto client = TNmdcClient::Connect(home_->Port(), false, source);
    EXPECT_NE(client, nullptr) << source;
    return client;
  }

  // Logs in up to "$Hello" and sends "$MyINFO" with `tag`.
  static std::unique_ptr<TNmdcClient> UpToMyINFO(const char* source, const std::string& nick,
                                                 std::string_view tag) {
    auto client = From(source);
    if (!client || !client->Handshake(nick) || !client->ReadUntil("$Hello " + nick + "|"))
      return nullptr;
    client->Send("$Version 1,0091|$GetNickList|" + MyINFOWithTag(nick, tag));
    return client;
  }

  static TE2EHome* home_;
  static bool started_;
  static std::string localName_;
  static TDateTime ipExpiry_;
};

TE2EHome* BanTest::home_ = nullptr;
bool BanTest::started_ = false;
std::string BanTest::localName_;
TDateTime BanTest::ipExpiry_;

// Refused right after "$ValidateNick": the refusal and the redirect are all
// that follows the hand-shake.
TEST_F(BanTest, NickAndIPBansRefuseAtTheNick) {
  const struct {
    const char* source;
    const char* nick;
    std::string refusal;
  } cases[] = {
      {"127.0.3.1", "BannedUser", Bot("You're banned from this hub by op because: no trolls")},
      {"127.0.7.5", "honest",
       Bot("You're temporary banned until " + FormatDateTime(ipExpiry_) + " by netop")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nick);
    auto client = From(c.source);
    ASSERT_TRUE(client && client->Handshake(c.nick));
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_EQ(client->AfterTheNick(),
              (std::vector<std::string>{c.refusal, std::string("$ForceMove ") + kRedirect + "|"}))
        << client->ReceivedText();
  }
  // The same nick from elsewhere and another nick from there are let in.
  auto other = From("127.0.3.2");
  ASSERT_TRUE(other && other->Login("honest2")) << other->ReceivedText();
}

// A banned client passes the nick, gets "$Hello", and is refused once its
// "$MyINFO" shows the tag; so is a listed user who changes to it.
TEST_F(BanTest, ClientBanRefusesAtMyINFO) {
  const std::string refusal = Bot("Your client is banned from this hub by op because: leech");
  auto client = UpToMyINFO("127.0.5.1", "leecher", "<BadClient V:1.2,M:A,H:1/0/0,S:3>");
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Got("$Hello leecher|"));
  EXPECT_FALSE(client->Got("$MyINFO $ALL leecher ")) << client->ReceivedText();
  ASSERT_GE(client->Received().size(), 2u);
  const auto& received = client->Received();
  EXPECT_EQ(received[received.size() - 2], refusal) << client->ReceivedText();
  EXPECT_EQ(received.back(), std::string("$ForceMove ") + kRedirect + "|");

  auto listed = From("127.0.5.2");
  ASSERT_TRUE(listed && listed->Login("switcher"));
  listed->Send(MyINFOWithTag("switcher", "<BadClient V:1.0,M:A,H:1/0/0,S:3>"));
  EXPECT_TRUE(listed->WaitClosed());
  EXPECT_TRUE(listed->Got(refusal)) << listed->ReceivedText();

  // Another version of the client is not banned.
  auto newer = UpToMyINFO("127.0.5.3", "upgraded", "<BadClient V:2.0,M:A,H:1/0/0,S:3>");
  ASSERT_NE(newer, nullptr);
  EXPECT_TRUE(newer->ReadUntil("$MyINFO $ALL upgraded ").has_value()) << newer->ReceivedText();
}

// The host name is known only once the look-up ends: the ban refuses when
// the login completes, after "$MyINFO". A client whose address has no name
// is never refused by it.
TEST_F(BanTest, HostNameBanRefusesWhenTheLoginCompletes) {
  if (localName_.empty())
    GTEST_SKIP() << "127.0.0.1 has no name in this machine's resolver (/etc/hosts)";
  auto client = UpToMyINFO("127.0.0.1", "fromhome", "<EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>");
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Got("$Hello fromhome|"));
  EXPECT_TRUE(client->Got(Bot("You're banned from this hub by op because: dns")))
      << "banned name: " << localName_ << "\n"
      << client->ReceivedText();
  EXPECT_FALSE(client->Got("$MyINFO $ALL fromhome ")) << client->ReceivedText();

  std::string name;
  if (!ReverseLookupIPv4("127.0.6.1", name) || name != localName_) {
    auto nameless = From("127.0.6.1");
    ASSERT_TRUE(nameless && nameless->Login("elsewhere")) << nameless->ReceivedText();
  }
}

// bans.xml rewritten while the hub runs: the watcher reloads it, and a ban
// that runs out beside a range ban lets the range ban answer.
TEST_F(BanTest, EditedFileIsReloadedAndAnExpiredBanHidesNothing) {
  const TDateTime exactEnd = SecondsFromNow(8);
  WriteBans(home_->Folder(), [&](TBanList& bans) {
    BaseBans(bans);
    bans.AddNickBan("latecomer", "edited", 0, {}, "editor");
    bans.AddIPBan("127.0.8.1", "exact", 0, exactEnd, "a");
    bans.AddIPBan("127.0.8.*", "range", 0, {}, "b");
  });

  // Until the reload the nick still gets in.
  bool refused = false;
  for (int attempt = 0; attempt < 10 && !refused; ++attempt) {
    auto client = From("127.0.9.1");
    ASSERT_TRUE(client && client->Handshake("latecomer"));
    client->ReadUntil("$Hello latecomer|", 3s);
    refused = client->Got(Bot("You're banned from this hub by editor because: edited"));
  }
  ASSERT_TRUE(refused) << home_->Hub().Output();

  auto early = From("127.0.8.1");
  ASSERT_TRUE(early && early->Handshake("early"));
  EXPECT_TRUE(early->WaitClosed());
  EXPECT_TRUE(early->Got(Bot("You're temporary banned until " + FormatDateTime(exactEnd) +
                             " by a because: exact")))
      << early->ReceivedText();

  while (NowLocal() <= exactEnd) std::this_thread::sleep_for(200ms);
  auto late = From("127.0.8.1");
  ASSERT_TRUE(late && late->Handshake("late"));
  EXPECT_TRUE(late->WaitClosed());
  EXPECT_TRUE(late->Got(Bot("You're banned from this hub by b because: range")))
      << late->ReceivedText();
}

// Wrong passwords up to the count ban the IP for the hub itself; that ban
// refuses even a profile that may bypass IP bans, and the shutdown save
// keeps it.
TEST(BanPasswordTest, WrongPasswordsBanTheIPForEveryone) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.AutoBanIncorrectPassword.Enabled = true;
    settings.AutoBanIncorrectPassword.Count = 3;
    settings.AutoBanIncorrectPassword.Hours = 24;
  });
  home.AddAccount("vip", "right");
  {
    SetProgramFolder(home.Folder());
    TSettings settings;
    TProfiles profiles(settings);
    ASSERT_TRUE(profiles.Load());
    profiles.Find("Member")->SetRight(TProfileRight::MayByPassIPBans, 1);
    ASSERT_TRUE(profiles.Save());
  }
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  const auto attempt = [&](const char* source, const char* password) {
    auto client = TNmdcClient::Connect(home.Port(), false, source);
    EXPECT_TRUE(client && client->Handshake("vip"));
    if (client->ReadUntil("$GetPass|", 3s)) client->Send(std::string("$MyPass ") + password + "|");
    EXPECT_TRUE(client->WaitClosed());
    return client;
  };
  for (int i = 1; i < 3; ++i) {
    auto client = attempt("127.0.4.1", "wrong");
    EXPECT_EQ(client->Received().back(), Bot("Incorrect password"))
        << i << "\n" << client->ReceivedText();
    EXPECT_FALSE(client->Got("$BadPass|"));
  }
  auto third = attempt("127.0.4.1", "wrong");
  EXPECT_TRUE(third->Got("$BadPass|")) << third->ReceivedText();
  EXPECT_EQ(third->Received().back(),
            Bot("You've been banned for supplying an incorrect password too many times"));

  auto right = attempt("127.0.4.1", "right");
  EXPECT_FALSE(right->Got("$GetPass|")) << "refused at the nick";
  const std::string& refusal = right->Received().back();
  EXPECT_TRUE(refusal.starts_with("<-Kavro-> You're temporary banned until ")) << refusal;
  EXPECT_TRUE(refusal.ends_with(" by Kavro because: [auto]Incorrect password supplied|"))
      << refusal;

  // The IP, not the nick, is banned.
  auto elsewhere = TNmdcClient::Connect(home.Port(), false, "127.0.4.2");
  ASSERT_TRUE(elsewhere && elsewhere->Login("vip", "right")) << elsewhere->ReceivedText();
  elsewhere.reset();

  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  std::string file;
  ASSERT_TRUE(ReadFileBytes(home.File("settings/bans.xml"), file));
  EXPECT_NE(file.find("<Overrideable>true</Overrideable>\r\n      <IP>127.0.4.1</IP>\r\n"
                      "      <BannedBy>Kavro</BannedBy>"),
            std::string::npos)
      << file;
}

}  // namespace
