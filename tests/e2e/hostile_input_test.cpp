// Clients that send the wrong things, too little or too much, against a real
// kavrod on loopback. Each hostile client has a loopback address of its own
// (the hub bans by address); afterwards a fresh client must still log in
// and chat, and the hub must report no critical error.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/hostile_hub.h"
#include "e2e/hostile_socket.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

using namespace std::chrono_literals;

// The shortest login time-out the hub allows; its check runs every 20 s.
constexpr std::int64_t kLoginTimeoutMs = 20000;
constexpr auto kLoginTimeoutBound = 45s;
constexpr int kRounds = 4;  // of random input per login state

class HostileInputTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) {
      HostileSettings(settings);
      settings.HandshakeTimeOut = {true, kLoginTimeoutMs};
    });
    // A wrong password bans the nick a while: one account per round.
    for (int round = 0; round < kRounds; ++round)
      home_->AddAccount("member" + std::to_string(round), "secret");
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
  void TearDown() override {
    EXPECT_EQ(HubServes(*home_, "probe" + std::to_string(++probes_)), "");
    EXPECT_EQ(CriticalErrors(home_->Hub().Output()), 0) << home_->Hub().Output();
  }

  // A client from an address no other test case uses.
  static std::unique_ptr<THostileSocket> Open() {
    auto client = THostileSocket::Open(HostileSource(++sources_), home_->Port());
    EXPECT_NE(client, nullptr);
    return client;
  }

  static TE2EHome* home_;
  static bool started_;
  static int sources_;
  static int probes_;
};

TE2EHome* HostileInputTest::home_ = nullptr;
bool HostileInputTest::started_ = false;
int HostileInputTest::sources_ = 0;
int HostileInputTest::probes_ = 0;

// One silent client and one that types its key a byte a second: neither
// may hold its login slot past the time-out, and others get in meanwhile.
TEST_F(HostileInputTest, SilentAndTricklingClientsLoseTheirLoginSlot) {
  const auto start = std::chrono::steady_clock::now();
  auto silent = Open();
  auto trickler = Open();
  ASSERT_TRUE(silent && trickler);
  ASSERT_TRUE(trickler->WaitFor(" Pk="));
  const std::string slow = "$Supports NoHello |$Key " + std::string(200, 'k') + "|";
  std::size_t next = 0;
  bool served = false;
  while (std::chrono::steady_clock::now() - start < kLoginTimeoutBound) {
    if (!trickler->Closed() && next < slow.size()) trickler->Send(slow.substr(next++, 1));
    silent->Pump();
    trickler->Pump();
    if (silent->Closed() && trickler->Closed()) break;
    if (!served) {
      EXPECT_EQ(HubServes(*home_, "meanwhile"), "");
      served = true;
    }
    std::this_thread::sleep_for(1s);
  }
  EXPECT_TRUE(silent->Closed());
  EXPECT_TRUE(trickler->Closed()) << next << " bytes sent";
  EXPECT_GT(next, 10u);  // it did trickle for a while
}

// A "message" longer than any real one: the hub refuses it instead of
// buffering without bound, before and after the login.
TEST_F(HostileInputTest, MegabyteWithoutSeparatorIsRefused) {
  const std::string megabyte(1 << 20, 'A');
  for (const bool loggedIn : {false, true}) {
    SCOPED_TRACE(loggedIn ? "logged in" : "before the key");
    auto client = Open();
    ASSERT_TRUE(client);
    if (loggedIn) {
      ASSERT_TRUE(client->Login("bulky")) << client->Input().substr(0, 300);
    } else {
      ASSERT_TRUE(client->WaitFor(" Pk="));
    }
    const auto start = std::chrono::steady_clock::now();
    client->Send(megabyte, 10s);  // may fail part way: the hub closes
    EXPECT_TRUE(client->WaitClosed(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  }
}

// Junk from a connection that has no nick yet: the warning is a bot line
// it can read, not a private message to an empty nick.
TEST_F(HostileInputTest, JunkBeforeTheNickIsWarnedInMainChat) {
  auto client = Open();
  ASSERT_TRUE(client);
  ASSERT_TRUE(client->WaitFor(" Pk="));
  const TSettings defaults;
  ASSERT_TRUE(defaults.JunkData.Enabled && defaults.NotifyJunkDataSpam);
  // One message over the warning mark, sent before "$Key".
  const std::string junk =
      "$Nonsense " + std::string(static_cast<std::size_t>(defaults.JunkData.Value), 'x') + "|";
  ASSERT_TRUE(client->Send(junk));
  const TLanguage language;
  const std::string warning =
      defaults.BotChatPrefix() + FormatText(language.Text(TLanguageKey::JunkDataSpamWarning), 1) + "|";
  EXPECT_TRUE(client->WaitFor(warning)) << client->Input().substr(0, 500);
  EXPECT_EQ(client->Input().find("$To: "), std::string::npos) << client->Input().substr(0, 500);
}

// Where a client is in the login when its garbage arrives.
enum class TLoginState { Connected, Locked, AskedForPassword, Greeted, LoggedIn };

// Messages that start like the real ones, with random bytes after, and
// runs of plain random bytes; '|' appears where the generator puts it.
std::string Garbage(std::mt19937& random, std::size_t size) {
  static const char* const kStarts[] = {
      "$Key ",      "$ValidateNick ", "$MyPass ",   "$Version ",      "$GetNickList",
      "$MyINFO $ALL ", "$To: ",       "$Search ",   "$SR ",           "$ConnectToMe ",
      "$RevConnectToMe ", "$Supports ", "<",        "$Kick ",         "$OpForceMove $Who:",
      "$GetINFO ",  "$MultiSearch ",  "$BotINFO ",  "$UserIP ",       "$Quit ",
      "$ZOn|",      "$",              "",           "$MyINFO $ALL x $ $\x01$$0$"};
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<std::size_t> start(0, std::size(kStarts) - 1);
  std::uniform_int_distribution<int> length(0, 400);
  std::string out;
  while (out.size() < size) {
    out += kStarts[start(random)];
    for (int n = length(random); n > 0; --n) {
      const char c = static_cast<char>(byte(random));
      out += c == '|' ? '$' : c;
    }
    out += '|';
  }
  return out;
}

// Plain noise in the first round, message-shaped noise after.
std::string Noise(int round, TLoginState state) {
  std::mt19937 random(static_cast<unsigned>(round * 31 + static_cast<int>(state)));
  if (round > 0) return Garbage(random, 16384);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string noise;
  for (int i = 0; i < 16384; ++i) noise += static_cast<char>(byte(random));
  return noise;
}

TEST_F(HostileInputTest, RandomBytesInEveryLoginState) {
  const struct {
    const char* Name;
    TLoginState State;
  } cases[] = {
      {"connected", TLoginState::Connected},
      {"locked", TLoginState::Locked},
      {"asked for a password", TLoginState::AskedForPassword},
      {"greeted", TLoginState::Greeted},
      {"logged in", TLoginState::LoggedIn},
  };
  // All clients wait out the lock's hold together.
  std::vector<std::unique_ptr<THostileSocket>> clients[std::size(cases)];
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    for (int round = 0; round < kRounds; ++round) {
      clients[i].push_back(Open());
      ASSERT_TRUE(clients[i].back());
      if (cases[i].State == TLoginState::Connected)
        clients[i].back()->Send(Noise(round, cases[i].State), 5s);
    }
  }
  for (std::size_t i = 1; i < std::size(cases); ++i)
    ASSERT_EQ(WaitEachFor(clients[i], " Pk=", 10s), kRounds) << cases[i].Name;
  for (std::size_t i = 1; i < std::size(cases); ++i) {
    for (int round = 0; round < kRounds; ++round) {
      SCOPED_TRACE(std::string(cases[i].Name) + ", round " + std::to_string(round));
      THostileSocket& client = *clients[i][static_cast<std::size_t>(round)];
      const std::string nick = "rnd" + std::to_string(i) + "x" + std::to_string(round);
      switch (cases[i].State) {
        case TLoginState::Connected:
        case TLoginState::Locked:
          break;
        case TLoginState::AskedForPassword:
          ASSERT_TRUE(client.Handshake("member" + std::to_string(round)));
          ASSERT_TRUE(client.WaitFor("$GetPass|")) << client.Input().substr(0, 300);
          break;
        case TLoginState::Greeted:
          ASSERT_TRUE(client.Handshake(nick));
          ASSERT_TRUE(client.WaitFor("$Hello " + nick + "|")) << client.Input().substr(0, 300);
          break;
        case TLoginState::LoggedIn:
          ASSERT_TRUE(client.Login(nick)) << client.Input().substr(0, 300);
          break;
      }
      // Closed or still connected: either is fine, as long as the hub lives.
      client.Send(Noise(round, cases[i].State), 5s);
    }
  }
  std::this_thread::sleep_for(300ms);
}

}  // namespace
