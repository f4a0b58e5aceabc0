// The hand-shake and the login against a real kavrod over loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

using namespace std::chrono_literals;

std::string BotLine(TLanguageKey key) {
  return "<-Kavro-> " + std::string(LanguageKeyInfo(key).DefaultText) + "|";
}

TEST(NmdcKeyTest, MatchesRealClients) {
  const auto hex = [](std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
      out += pair;
    }
    return out;
  };
  const std::string ncdc = NmdcKey("EXTENDEDPROTOCOL_NMDC_0626");
  EXPECT_EQ(hex(ncdc.substr(0, 23)), "44d1c011b0a010104120d1b1b1c0c0303111309070c1f6");
  EXPECT_EQ(ncdc.substr(23), "/%DCN096%/@@");
  EXPECT_EQ(hex(NmdcKey("EXTENDEDPROTOCOLABCABCABCABCABCABC")),
            "14d1c011b0a010104120d1b1b1c0c030d03010203010203010203010203010203010");
}

// One hub for the login cases: nicks of 3 to 19 characters without '#',
// a member account and an operator account.
class LoginTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) {
      settings.NickMinLength = {true, 3};
      settings.NickMaxLength = {true, 20};
      std::string allowed = settings.AllowedNickChars();
      allowed.resize(256, '1');
      allowed[static_cast<unsigned char>('#')] = '0';
      settings.SetAllowedNickChars(allowed);
      settings.AllowedNickCharsEnabled = true;
      settings.NotifyInvalidCharsInNick = true;
    });
    home_->AddAccount("alice", "secret");
    home_->AddAccount("boss", "topsecret", true);
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

  static std::unique_ptr<TNmdcClient> Connect() {
    auto client = TNmdcClient::Connect(home_->Port());
    EXPECT_NE(client, nullptr);
    return client;
  }

  static TE2EHome* home_;
  static bool started_;
};

TE2EHome* LoginTest::home_ = nullptr;
bool LoginTest::started_ = false;

TEST_F(LoginTest, LockComesAfterTheHoldAndTheKeyIsAccepted) {
  const auto start = std::chrono::steady_clock::now();
  auto client = Connect();
  const std::optional<std::string> lock = client->ReadUntil("$Lock ");
  ASSERT_TRUE(lock);
  // A hub that speaks at once lets early-data clients through unseen.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
  EXPECT_NE(lock->find(" Pk="), std::string::npos) << *lock;
  EXPECT_FALSE(client->Got("<"));  // nothing before the lock

  ASSERT_TRUE(client->Login("newbie"));
  EXPECT_TRUE(client->Got("$Supports NoHello NoGetINFO UserIP2"));
  EXPECT_TRUE(client->Got("$Hello newbie|"));
  EXPECT_TRUE(client->Got("$OpList -Kavro-$$|"));
  EXPECT_TRUE(client->Got("$MyINFO $ALL -Kavro- "));
}

TEST_F(LoginTest, WrongKeyIsDropped) {
  auto client = Connect();
  ASSERT_TRUE(client->ReadUntil("$Lock "));
  client->Send("$Supports NoHello |$Key nonsense|$ValidateNick keyless|");
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_FALSE(client->Got("$Hello"));
}

TEST_F(LoginTest, PasswordLogin) {
  auto member = Connect();
  ASSERT_TRUE(member->Login("alice", "secret"));
  EXPECT_TRUE(member->Got("$GetPass|"));
  EXPECT_FALSE(member->Got("$LogedIn"));

  auto op = Connect();
  ASSERT_TRUE(op->Login("boss", "topsecret"));
  EXPECT_TRUE(op->Got("$LogedIn boss|"));
  // Everyone learns of the new operator.
  EXPECT_TRUE(member->ReadUntil("$OpList ").has_value());
  EXPECT_NE(member->Received().back().find("boss$$"), std::string::npos)
      << member->Received().back();
}

TEST_F(LoginTest, RefusalsCloseWithTheirText) {
  const struct {
    const char* Nick;
    const char* Password;  // "" for none
    std::string Expected;
  } cases[] = {
      {"ab", "", BotLine(TLanguageKey::ValidateNickToShort)},
      {"abcdefghijklmnopqrst", "", BotLine(TLanguageKey::ValidateNickToLong)},
      {"bad#nick", "", "<-Kavro-> Your nickname contains forbidden characters: #|"},
      {"alice", "wrong", BotLine(TLanguageKey::IncorrectPassword)},
      {"-Kavro-", "", BotLine(TLanguageKey::NickInUse)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Nick);
    auto client = Connect();
    ASSERT_TRUE(client->Handshake(c.Nick));
    if (*c.Password != '\0') {
      ASSERT_TRUE(client->ReadUntil("$GetPass|"));
      client->Send(std::string("$MyPass ") + c.Password + "|");
    }
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(client->Got(c.Expected)) << client->ReceivedText();
    EXPECT_FALSE(client->Got("$Hello"));
  }
}

// Bytes that could forge protocol messages in every nick list are refused
// even when the hub's allowed-characters map is off. '|' never reaches the
// check: it ends the "$ValidateNick" message before the nick is read.
TEST(LoginNickBytesTest, ProtocolBytesAreRefusedWithTheMapOff) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.AllowedNickCharsEnabled = false;
    settings.NotifyInvalidCharsInNick = true;
  });
  ASSERT_TRUE(home.StartHub());
  const std::string bytes = {'\x01', '\x05', '\t', '\x0b', '\x1f', ' ', '$'};
  // All connect at once so that their lock holds overlap.
  std::vector<std::unique_ptr<TNmdcClient>> clients;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    clients.push_back(TNmdcClient::Connect(home.Port()));
    ASSERT_NE(clients.back(), nullptr);
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(byte)));
    TNmdcClient& client = *clients[i];
    ASSERT_TRUE(client.Handshake(std::string("ab") + byte + "cd"));
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_TRUE(client.Got("<-Kavro-> Your nickname contains forbidden characters: " +
                           std::string(1, byte) + "|"))
        << client.ReceivedText();
    EXPECT_FALSE(client.Got("$Hello"));
  }
  // With the map off, any other byte is welcome.
  TNmdcClient& client = *clients.back();
  ASSERT_TRUE(client.Login("ab#\x7f\xe4"));
  EXPECT_TRUE(client.Got("$Hello ab#\x7f\xe4|"));
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

TEST_F(LoginTest, SecondLoginOfANickIsRefused) {
  auto first = Connect();
  ASSERT_TRUE(first->Login("carol"));
  auto second = Connect();
  ASSERT_TRUE(second->Handshake("carol"));
  EXPECT_TRUE(second->WaitClosed());
  EXPECT_TRUE(second->Got(BotLine(TLanguageKey::NickInUse))) << second->ReceivedText();
  // The first one is still served.
  first->Send("$GetNickList|");
  EXPECT_TRUE(first->ReadUntil("$MyINFO $ALL carol ").has_value());
}

TEST_F(LoginTest, NewcomerSeesTheOthersAndTheyseeTheNewcomer) {
  auto old = Connect();
  ASSERT_TRUE(old->Login("dave"));
  auto newcomer = Connect();
  ASSERT_TRUE(newcomer->Login("erin"));
  newcomer->Drain(300ms);
  EXPECT_TRUE(newcomer->Got("$MyINFO $ALL dave ")) << newcomer->ReceivedText();
  EXPECT_TRUE(newcomer->Got("$OpList -Kavro-$$"));
  EXPECT_TRUE(old->ReadUntil("$MyINFO $ALL erin ").has_value()) << old->ReceivedText();
}

TEST_F(LoginTest, MessageWithoutEndIsCutOff) {
  auto client = Connect();
  ASSERT_TRUE(client->Handshake("flooder"));
  client->Send(std::string(40 * 1024, 'x'));
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Got(
      "<-Kavro-> The message you've sent is too long, max length allowed is: 32768 bytes|"))
      << client->ReceivedText().substr(0, 400);
}

TEST_F(LoginTest, ClientThatSpeaksBeforeTheLockIsDropped) {
  auto client = Connect();
  client->Send("$Supports NoHello |");
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Received().empty()) << client->ReceivedText();
}

TEST(LoginFullHubTest, FullHubRefusesAndRedirects) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.MaxUsers = 1;
    settings.RedirectOnFull.Enabled = true;
    settings.RedirectOnFull.SetAddresses("127.0.0.1:4111");
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto first = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(first && first->Login("first"));
  auto second = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(second && second->Handshake("second"));
  EXPECT_TRUE(second->WaitClosed());
  EXPECT_TRUE(second->Got(BotLine(TLanguageKey::HubIsFull))) << second->ReceivedText();
  EXPECT_TRUE(second->Got("$ForceMove 127.0.0.1:4111|")) << second->ReceivedText();
  EXPECT_EQ(home.StopHub(), 0);
}

// Bytes ahead of "$Lock" mark a flooder on a plain port only: on a TLS port
// the client speaks first by nature, in records that are not messages.
TEST(LoginTlsTest, EarlyDataRefusalSparesTlsClients) {
  TE2EHome home;
  ASSERT_TRUE(home.MakeCertificate());
  home.WriteSettings([](TSettings& settings) {
    settings.NmdcsEnabled = true;
    settings.CheckDataBeforeLock = {true, 0};
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  ASSERT_TRUE(home.Hub().WaitForOutput(std::to_string(home.TlsPort()) + " started"))
      << home.Hub().Output();
  auto secure = TNmdcClient::Connect(home.TlsPort(), true);
  ASSERT_NE(secure, nullptr);
  ASSERT_TRUE(secure->SendKeyUpdate());  // raw bytes waiting when the hub takes it over
  EXPECT_TRUE(secure->Login("secure")) << secure->ReceivedText();

  auto early = TNmdcClient::Connect(home.Port());
  ASSERT_NE(early, nullptr);
  early->Send("$Supports NoHello |");
  EXPECT_TRUE(early->WaitClosed());
  EXPECT_TRUE(early->Received().empty()) << early->ReceivedText();
  auto patient = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(patient && patient->Login("patient"));
  EXPECT_EQ(home.StopHub(), 0);
}

TEST(LoginTlsTest, LoginOverTls) {
  TE2EHome home;
  ASSERT_TRUE(home.MakeCertificate());
  home.WriteSettings([](TSettings& settings) { settings.NmdcsEnabled = true; });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  ASSERT_TRUE(home.Hub().WaitForOutput(std::to_string(home.TlsPort()) + " started"))
      << home.Hub().Output();
  auto client = TNmdcClient::Connect(home.TlsPort(), true);
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->Login("secure")) << client->ReceivedText();
  // The plain port still serves plain text.
  auto plain = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(plain && plain->Login("plain"));
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace

namespace {

// The first "$MyINFO" is measured against the hub's restriction; a user who
// fails it is told why, sent on when a redirect is set, and never listed.
TEST(LoginRestrictionTest, MyINFOOutsideTheRestrictionIsRefused) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.ConnRestriction.MinShareEnabled = true;
    settings.ConnRestriction.MinShare = std::int64_t{1} << 30;
    settings.RedirectOnLowShare.Enabled = true;
    settings.RedirectOnLowShare.SetAddresses("127.0.0.1:4112");
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto watcher = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(watcher);
  // The watcher itself shares nothing either: it only needs the hand-shake.
  ASSERT_TRUE(watcher->Handshake("watcher"));
  ASSERT_TRUE(watcher->ReadUntil("$Hello watcher|"));

  auto client = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(client && client->Handshake("lowshare"));
  ASSERT_TRUE(client->ReadUntil("$Hello lowshare|"));
  client->Send("$Version 1,0091|" + TNmdcClient::MyINFO("lowshare"));
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_TRUE(client->Got("<-Kavro-> You're not sharing enough")) << client->ReceivedText();
  EXPECT_TRUE(client->Got("$ForceMove 127.0.0.1:4112|")) << client->ReceivedText();
  EXPECT_FALSE(client->Got("$MyINFO $ALL lowshare "));
  watcher->Drain(300ms);
  EXPECT_FALSE(watcher->Got("$MyINFO $ALL lowshare "));
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
