// The hub core's accept refusals and its read, send and housekeeping passes,
// over socket pairs handed to Accept as a listener would.

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/buffer_pools.h"
#include "core/hub_core.h"
#include "core/write_buffer.h"
#include "platform/client_socket.h"
#include "platform/event_loop.h"
#include "protocol_test_fixture.h"
#include "support/loop_runner.h"
#include "support/nmdc_test_client.h"
#include "utils/hub_time.h"

namespace {

class THubCorePassesTest : public TProtocolFixture {
 protected:
  THubCorePassesTest() {
    myINFO_.Protocol = &core_.Protocol();
    settings_.MaxAmountOfSameIP.Enabled = false;
  }

  // A client whose other end went through Accept.
  TNmdcTestClient& Connect(std::string_view early = "") {
    int pair[2] = {-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
    clients_.push_back(std::make_unique<TNmdcTestClient>(pair[1]));
    if (!early.empty()) clients_.back()->Send(early);
    TAcceptedSocket accepted;
    accepted.socket = TClientSocket(pair[0]);
    core_.Accept(std::move(accepted));
    return *clients_.back();
  }

  THubSocket& Last() { return *core_.ConnectionAt(core_.ConnectionCount() - 1); }

  // Lets readiness arrive, then one read and one send pass.
  void Pump() {
    RunLoopFor(loop_, std::chrono::milliseconds(20));
    core_.TryReadAll();
    core_.SendAll();
    for (auto& client : clients_) client->Poll();
  }

  EventLoop loop_;
  THubCore core_{loop_, settings_, language_, nickList_, messages_, accounts_,
                 nicksInUse_, defaults_, hooks_};
  std::vector<std::unique_ptr<TNmdcTestClient>> clients_;
};

TEST_F(THubCorePassesTest, AcceptSendsTheLockAtOnce) {
  TNmdcTestClient& client = Connect();
  client.Poll();
  EXPECT_EQ(client.Received().rfind("$Lock EXTENDEDPROTOCOL", 0), 0u) << client.Received();
  EXPECT_EQ(core_.ConnectionCount(), 1);
  EXPECT_EQ(core_.Protocol().Authorizing(), 1);
}

TEST_F(THubCorePassesTest, RefusalsCloseOnceAndLeaveNoRecord) {
  struct TCase {
    const char* Name;
    bool Busy;
    bool SameIP;
    const char* Text;
  };
  const std::vector<TCase> cases = {
      {"too busy", true, false, "The hub is currently too busy"},
      {"same IP", false, true, "too many users is connected from same IP"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    settings_.MaxAmountAuthorizing = {c.Busy, 1};
    settings_.MaxAmountOfSameIP = {c.SameIP, 1};
    TNmdcTestClient& first = Connect();
    TNmdcTestClient& second = Connect();
    second.Poll();
    EXPECT_NE(second.Received().find(c.Text), std::string::npos) << second.Received();
    EXPECT_TRUE(second.Closed());
    EXPECT_EQ(core_.ConnectionCount(), 1);
    EXPECT_EQ(core_.Protocol().Authorizing(), 1);  // counted out exactly once
    first.Poll();
    EXPECT_FALSE(first.Closed());
    core_.CloseNow(Last());
    EXPECT_EQ(core_.Protocol().Authorizing(), 0);
  }
}

TEST_F(THubCorePassesTest, EarlyDataIsRefusedSilently) {
  struct TCase {
    int Limit;
    const char* Early;
    bool Refused;
  };
  const std::vector<TCase> cases = {{0, "x", true}, {4, "abcde", true}, {4, "abcd", false}, {0, "", false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Early);
    settings_.CheckDataBeforeLock = {true, c.Limit};
    const int before = core_.ConnectionCount();
    TNmdcTestClient& client = Connect(c.Early);
    client.Poll();
    EXPECT_EQ(client.Closed(), c.Refused);
    EXPECT_EQ(client.Received().empty(), c.Refused);
    EXPECT_EQ(core_.ConnectionCount(), before + (c.Refused ? 0 : 1));
  }
}

TEST_F(THubCorePassesTest, MessageWithoutEndFillsTheBlockAndIsRefused) {
  TNmdcTestClient& client = Connect();
  client.ClearReceived();
  ASSERT_TRUE(client.Send(std::string(40 * 1024, 'a')));
  for (int i = 0; i < 5 && !client.Closed(); ++i) Pump();
  EXPECT_NE(client.Received().find("max length allowed is: 32768 bytes|"), std::string::npos)
      << client.Received();
  EXPECT_TRUE(client.Closed());
  EXPECT_EQ(core_.ConnectionCount(), 0);
}

TEST_F(THubCorePassesTest, OneFailingConnectionDoesNotStopThePass) {
  std::vector<TNmdcTestClient*> clients;
  for (const char* nick : {"ann", "bad", "cid"}) {
    clients.push_back(&Connect());
    THubSocket& user = Last();
    user.Nick = nick;
    user.LoginState = lgNickAccepted;
    user.DNSDone = true;
  }
  for (TNmdcTestClient* client : clients) client->ClearReceived();
  clients[0]->Send("$MyINFO $ALL ann x$ $1\x01$$0$|");
  clients[1]->Send("$MyINFO $ALL bad boom$ $1\x01$$0$|");
  clients[2]->Send("$MyINFO $ALL cid x$ $1\x01$$0$|");
  Pump();
  ASSERT_EQ(feed_.Errors.size(), 1u);
  EXPECT_EQ(feed_.Errors[0].rfind("ECoreCriticalError:THubCore.TryReadAll(", 0), 0u)
      << feed_.Errors[0];
  EXPECT_TRUE(clients[1]->Closed());
  EXPECT_NE(nickList_.FindUser("ann"), nullptr);
  EXPECT_NE(nickList_.FindUser("cid"), nullptr);
  EXPECT_EQ(core_.ConnectionCount(), 2);
}

TEST_F(THubCorePassesTest, SendChunkFollowsTheWorkPace) {
  for (int pace : {0, 3, 5}) {
    SCOPED_TRACE(pace);
    settings_.SetWorkPace(pace);
    TNmdcTestClient& client = Connect();
    client.Poll();
    client.ClearReceived();
    Last().WriteBuffer().AppendString(std::string(100000, 'x') + "|");
    core_.SendAll();
    client.Poll();
    EXPECT_EQ(client.Received().size(),
              static_cast<std::size_t>(kWorkPaceTable[static_cast<std::size_t>(pace)].SendChunk));
  }
}

// The send pass tells the buffer which rounds took nothing: that, not
// bytes left behind, is what limits its growth.
TEST_F(THubCorePassesTest, RoundsThatTakeNothingAreCountedUntilTheClientReads) {
  settings_.SetWorkPace(7);
  TNmdcTestClient& client = Connect();
  client.Poll();
  TWriteBuffer& out = Last().WriteBuffer();
  ASSERT_TRUE(out.ReserveExtra(1000000));
  out.AppendString(std::string(1000000, 'x') + "|");
  // The socket pair's buffers fill; then each round takes nothing.
  int stalled = 0;
  for (int round = 0; round < 40 && stalled < 2; ++round) {
    core_.SendAll();
    stalled = out.StalledRounds();
  }
  EXPECT_EQ(stalled, 2);
  client.Poll();
  core_.SendAll();
  EXPECT_EQ(out.StalledRounds(), 0);
  EXPECT_FALSE(out.Overflow());
}

TEST_F(THubCorePassesTest, SpeedLevelsWrapAndStayInTheTable) {
  for (const auto& [level, expected] : std::vector<std::pair<int, int>>{{7, 7}, {130, 2}, {9, 7}, {0, 0}}) {
    core_.SetSpeed(level);
    EXPECT_EQ(core_.Speed(), expected) << level;
  }
}

TEST_F(THubCorePassesTest, HousekeepingTimeOuts) {
  // Far from the clock's start, whatever the machine's uptime.
  const std::uint64_t now = 50000000;
  core_.SetClock([=] { return now; });
  settings_.HandshakeTimeOut = {true, 40000};
  settings_.IdleTimeOut = {true, 300000};
  struct TCase {
    const char* Name;
    bool LoggedIn;
    std::uint64_t ConnectAgo;
    std::uint64_t QuietFor;
    const char* Output;  // queued for the client
    bool Closing;
    bool Gone;
  };
  const std::vector<TCase> cases = {
      {"fresh", false, 1000, 0, "", false, false},
      {"login takes too long though the client keeps talking", false, 41000, 10,
       "You've been disconnected because the negotiation", true, false},
      {"logged in for long", true, 500000, 10, "", false, false},
      {"keep-alive near the idle limit", true, 500000, 250000, "|", false, false},
      {"idle past the limit", true, 500000, 300500, "", false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Connect();
    THubSocket& user = Last();
    const std::uint64_t id = user.Id();
    user.WriteBuffer().Clear(false);
    user.LoginState = c.LoggedIn ? lgLoggedIn : lgKeyAccepted;
    user.ConnectTick = now - c.ConnectAgo;
    user.LastActivity = now - c.QuietFor;
    core_.Housekeeping();
    THubSocket* after = core_.FindConnection(id);
    ASSERT_EQ(after == nullptr, c.Gone);
    if (c.Gone) continue;
    const std::string out = after->WriteBuffer().GetString();
    EXPECT_NE(out.find(c.Output), std::string::npos) << out;
    if (c.Output[0] == '\0') {
      EXPECT_EQ(out, "");
    }
    EXPECT_EQ(after->LifeState == lsClosing, c.Closing);
    core_.CloseNow(*after);
  }
}

}  // namespace
