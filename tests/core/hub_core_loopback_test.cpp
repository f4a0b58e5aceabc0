// A real hub core on an event loop with a listener on 127.0.0.1, driven by
// a scripted client through hand-shake, login and disconnect.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/hub_core.h"
#include "platform/event_loop.h"
#include "platform/tcp_listener.h"
#include "protocol_test_fixture.h"
#include "support/loop_runner.h"
#include "support/nmdc_test_client.h"

namespace {

class THubCoreLoopbackTest : public TProtocolFixture {
 protected:
  THubCoreLoopbackTest() {
    myINFO_.Protocol = &core_.Protocol();
    core_.SetSpeed(7);
  }

  int OpenHub() {
    EXPECT_TRUE(core_.AddListener(0, "127.0.0.1", false));
    EXPECT_TRUE(core_.StartListening());
    EXPECT_TRUE(core_.Start());
    const TListener* listener = core_.ListenerAt(0);
    EXPECT_NE(listener, nullptr);
    return listener == nullptr ? -1 : listener->BoundPort();
  }

  EventLoop loop_;
  THubCore core_{loop_, settings_, language_, nickList_, messages_, accounts_,
                 nicksInUse_, defaults_, hooks_};
};

TEST_F(THubCoreLoopbackTest, StartNeedsAnOpenListener) {
  EXPECT_FALSE(core_.Start());
  EXPECT_FALSE(core_.StartListening());  // no port configured
  ASSERT_EQ(feed_.Errors.size(), 1u);
  const int port = OpenHub();
  EXPECT_GT(port, 0);
  EXPECT_TRUE(core_.Started());
  EXPECT_FALSE(core_.AddListener(0, "127.0.0.1", false));  // same port key
  EXPECT_TRUE(core_.Stop());
  EXPECT_FALSE(core_.Stop());
  EXPECT_FALSE(core_.Listening());
}

// An operator's stop is reported; the shutdown's stop (sockets kept) and a
// core going away with the program are not: nobody is left to read it.
TEST_F(THubCoreLoopbackTest, StopReportsOnlyWhileTheProgramRuns) {
  struct TCase {
    const char* name;
    bool keepSockets;
    std::vector<std::string> events;
  };
  const TCase cases[] = {
      {"operator stop", false, {"Listening on port 0 stopped", "Hub stopped"}},
      {"shutdown", true, {}},
  };
  ASSERT_TRUE(core_.AddListener(0, "127.0.0.1", false));
  for (const TCase& c : cases) {
    ASSERT_TRUE(core_.StartListening()) << c.name;
    ASSERT_TRUE(core_.Start()) << c.name;
    feed_.Events.clear();
    EXPECT_TRUE(core_.Stop(c.keepSockets)) << c.name;
    EXPECT_EQ(feed_.Events, c.events) << c.name;
    EXPECT_FALSE(core_.Listening()) << c.name;
  }

  {
    THubCore running{loop_, settings_, language_, nickList_, messages_, accounts_,
                     nicksInUse_, defaults_, hooks_};
    ASSERT_TRUE(running.AddListener(0, "127.0.0.1", false));
    ASSERT_TRUE(running.StartListening());
    ASSERT_TRUE(running.Start());
    feed_.Events.clear();
  }
  EXPECT_EQ(feed_.Events, std::vector<std::string>{}) << "destroyed while running";
}

TEST_F(THubCoreLoopbackTest, ClientLogsInAndLeaves) {
  const int port = OpenHub();
  TNmdcTestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.WaitFor(loop_, " Pk=")) << client.Received();
  ASSERT_TRUE(client.WaitFor(loop_, "|"));
  // As EiskaltDC++ does: three messages in one segment (without ZPipe0,
  // which would compress the replies).
  client.Send("$Supports UserCommand NoGetINFO NoHello UserIP2 TTHSearch TLS |" +
              KeyFor(client.Received()) + "$ValidateNick loop1|");
  ASSERT_TRUE(client.WaitFor(loop_, "$Hello loop1|")) << client.Received();
  EXPECT_NE(client.Received().find(TProtocol::kSupportsReply), std::string::npos);
  client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL loop1 x<t V:1,M:A,H:1/0/0,S:3>$ $20\x01$$0$|");
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return nickList_.FindUser("loop1") != nullptr; }));
  EXPECT_EQ(core_.Protocol().Authorizing(), 0);
  client.Close();
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return core_.ConnectionCount() == 0; }));
  EXPECT_EQ(nickList_.GetCount(), 0);
  EXPECT_EQ(core_.Protocol().Authorizing(), 0);
}

TEST_F(THubCoreLoopbackTest, WrongKeyIsToldAndClosed) {
  const int port = OpenHub();
  TNmdcTestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.WaitFor(loop_, " Pk="));
  client.Send("$Key nonsense|");
  ASSERT_TRUE(client.WaitClosed(loop_)) << client.Received();
  EXPECT_NE(client.Received().find(Text(TLanguageKey::InvalidKeySuppliedByClient)),
            std::string::npos);
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return core_.ConnectionCount() == 0; }));
}

}  // namespace
