#include "core/hub_list.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/dns_lookup.h"
#include "support/hub_list_server.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/loop_runner.h"
#include "support/temp_folder.h"
#include "utils/general.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr int kHubPort = 4111;
constexpr const char* kLock = "$Lock EXTENDEDPROTOCOLlistcheck Pk=fakelist|";
constexpr const char* kLockBody = "EXTENDEDPROTOCOLlistcheck";

// The line the hub should send for the key of a lock seen from `peerPort`.
std::string ExpectedLine(int peerPort) {
  return "$Key " + ExpectedHubListKey(kLockBody, peerPort) +
         "|TestHub|dchub://hub.test:4111|about &#124; us|3|12345|";
}

// A normal server: the lock, the hub's line, the close.
void Registers(TFakeHubListServer& s, int fd) {
  TFakeHubListServer::Send(fd, kLock);
  s.Line = s.ReadBars(fd, 6, 5000ms);
}

class HubListTest : public ::testing::Test {
 protected:
  HubListTest()
      : saved_(ProgramFolder()),
        dns(loop, [](std::uint64_t) -> THubSocket* { return nullptr; }, [](THubSocket&) {}) {
    SetProgramFolder(home_.String());
    settings.SetHubName("TestHub");
    settings.HubAddress = "dchub://hub.test";
    settings.HubDescription = "about | us";
    THubListHub hub;
    hub.Running = [this] { return running; };
    hub.Ports = [this] { return ports; };
    hub.DefaultPortListed = [this] { return defaultPortListed; };
    hub.UserCount = [] { return 3; };
    hub.ShareTotal = [] { return 12345; };
    // One pass at Start; the tests call further passes themselves.
    list = std::make_unique<THubList>(loop, settings, language, dns, std::move(hub),
                                      [this](const std::string& line) { errors.push_back(line); },
                                      3600000, 5);
    list->SetClock([this] { return now; });
    list->Hosts().Load();
  }
  ~HubListTest() override {
    list.reset();
    SetProgramFolder(saved_);
  }

  THost& AddHost(const std::string& name, int port, const std::string& address = "127.0.0.1") {
    THost* added = list->Hosts().Add(name);
    // A helper that returns a reference cannot stop the test: it throws,
    // so the test fails under its name instead of crashing the binary.
    if (added == nullptr) throw std::logic_error("missing: host " + name);
    THost& host = *added;
    host.Host = address;
    host.Port = port;
    return host;
  }
  bool RunUntilFinished(std::chrono::milliseconds limit = 5000ms) {
    return RunLoopUntil(loop, [this] { return !list->Polling(); }, limit);
  }
  const std::string& Text(TLanguageKey key) const { return language.Text(key); }

  TTempFolder home_;
  std::string saved_;
  EventLoop loop;
  TSettings settings;
  TLanguage language;
  TDNSLookup dns;
  std::unique_ptr<THubList> list;
  std::vector<std::string> errors;
  bool running = true;
  std::vector<THubListPort> ports{{kHubPort, false}};
  bool defaultPortListed = false;
  std::uint64_t now = 1000;
};

TEST_F(HubListTest, RegistersWithTheKeyOfItsLocalPortAndTheWholeLine) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); });
  THost& host = AddHost("list", server.Port());
  ASSERT_TRUE(list->Start());
  EXPECT_FALSE(list->Start());
  ASSERT_TRUE(RunUntilFinished());
  server.Join();
  ASSERT_TRUE(server.Accepted);
  EXPECT_EQ(server.Line, ExpectedLine(server.PeerPort));
  EXPECT_EQ(host.Status, Text(TLanguageKey::RegisterCompleted));
  EXPECT_FALSE(host.Failed);
  EXPECT_NE(host.LastRun, TDateTime{});
  EXPECT_TRUE(list->Stop());
  EXPECT_FALSE(list->Stop());
}

TEST_F(HubListTest, TheAddressNamesSchemeAndPortByTheListeners) {
  const struct {
    const char* Name;
    std::vector<THubListPort> Ports;
    bool DefaultPortListed;
    const char* HubAddress;
    bool SupportsNmdcs;
    const char* Address;
    int Runs = 1;
  } cases[] = {
      {"plain port", {{4111, false}}, false, "dchub://hub.test", false, "dchub://hub.test:4111"},
      {"no scheme given", {{4111, false}}, false, "hub.test", false, "dchub://hub.test:4111"},
      {"default port open", {{411, false}, {4111, false}}, true, "hub.test", false,
       "dchub://hub.test"},
      {"port in the address", {{4111, false}}, false, "nmdcs://hub.test:999", false,
       "dchub://hub.test:999"},
      {"TLS to a list that takes it", {{5000, true}}, false, "hub.test", true,
       "nmdcs://hub.test:5000"},
      {"TLS to a list that does not", {{5000, true}}, false, "hub.test", false,
       "dchub://hub.test:5000"},
      // Whichever port is picked, a list without TLS gets the first one;
      // the pick is random, so several runs see both.
      {"plain list, mixed ports", {{4111, false}, {5000, true}}, false, "hub.test", false,
       "dchub://hub.test:4111", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int run = 0; run < c.Runs; ++run) {
      ports = c.Ports;
      defaultPortListed = c.DefaultPortListed;
      settings.HubAddress = c.HubAddress;
      TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); });
      THost& host = AddHost("list", server.Port());
      host.SupportsNmdcs = c.SupportsNmdcs;
      list->RegistrationPass();
      ASSERT_TRUE(RunUntilFinished());
      server.Join();
      const std::string& line = server.Line;
      const std::size_t nameEnd = line.find("|TestHub|");
      ASSERT_NE(nameEnd, std::string::npos) << line;
      const std::size_t start = nameEnd + 9;
      EXPECT_EQ(line.substr(start, line.find('|', start) - start), c.Address);
      EXPECT_FALSE(host.Failed);
    }
  }
}

TEST_F(HubListTest, ALockInTwoSegmentsGetsItsKey) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) {
    const std::string lock = kLock;
    TFakeHubListServer::Send(fd, lock.substr(0, 12));
    std::this_thread::sleep_for(200ms);  // several polls see the first half alone
    TFakeHubListServer::Send(fd, lock.substr(12));
    s.Line = s.ReadBars(fd, 6, 5000ms);
  });
  THost& host = AddHost("list", server.Port());
  list->Start();
  ASSERT_TRUE(RunUntilFinished());
  server.Join();
  EXPECT_EQ(server.Line, ExpectedLine(server.PeerPort));
  EXPECT_FALSE(host.Failed);
}

TEST_F(HubListTest, ASecondLockAfterTheKeyGetsNoAnswer) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) {
    Registers(s, fd);
    TFakeHubListServer::Send(fd, "$Lock anotherlockhere Pk=again|");
    std::string more;
    s.WaitClosed(fd, 400ms, more);
    s.Extra = more;
  });
  THost& host = AddHost("list", server.Port());
  list->Start();
  ASSERT_TRUE(RunUntilFinished());
  server.Join();
  EXPECT_EQ(server.Line, ExpectedLine(server.PeerPort));
  EXPECT_EQ(server.Extra, "");
  EXPECT_EQ(host.Status, Text(TLanguageKey::RegisterCompleted));
  EXPECT_FALSE(host.Failed);
}

TEST_F(HubListTest, FailuresEndThePassWithTheirStatus) {
  // A server that closes before the key.
  TFakeHubListServer closing([](TFakeHubListServer&, int) {});
  // One that never says a word: its socket is held until the limit.
  TFakeHubListServer silent([](TFakeHubListServer& s, int fd) {
    std::string extra;
    s.WaitClosed(fd, 5000ms, extra);
  });
  // 32 KB of talk and no lock.
  TFakeHubListServer chatty([](TFakeHubListServer& s, int fd) {
    const std::string junk(1024, 'x');
    for (int i = 0; i < 40; ++i) TFakeHubListServer::Send(fd, junk);
    std::string extra;
    s.WaitClosed(fd, 5000ms, extra);
  });
  int refusedPort = 0;
  {
    TFakeHubListServer gone([](TFakeHubListServer&, int) {}, 1ms);
    refusedPort = gone.Port();
  }
  dns.SetResolvers(nullptr, [](const std::string& name, std::string& ip) {
    if (name == "no.such.host.invalid") return false;
    ip = name;
    return true;
  });
  THost& closed = AddHost("closing", closing.Port());
  THost& quiet = AddHost("silent", silent.Port());
  THost& talker = AddHost("chatty", chatty.Port());
  THost& refused = AddHost("refused", refusedPort);
  THost& unknown = AddHost("unknown", 2501, "no.such.host.invalid");
  list->Start();
  ASSERT_TRUE(RunLoopUntil(loop, [&] {
    return closed.State == hsFinished && refused.State == hsFinished &&
           unknown.State == hsFinished && talker.State == hsFinished &&
           quiet.State == hsConnecting;
  }));
  EXPECT_EQ(closed.Status, Text(TLanguageKey::ConnectionClosedByForeignHost));
  EXPECT_EQ(talker.Status, Text(TLanguageKey::ConnectionTimeOut));
  EXPECT_EQ(unknown.Status, Text(TLanguageKey::ResolvingIPFailed));
  EXPECT_TRUE(refused.Status == WinsockErrorName(10061) ||
              refused.Status == Text(TLanguageKey::ConnectionFailed))
      << refused.Status;
  RunLoopFor(loop, 50ms);
  EXPECT_EQ(quiet.State, hsConnecting);  // the limit has not passed yet
  now += THubList::kExchangeLimitMs + 1;
  ASSERT_TRUE(RunUntilFinished());
  EXPECT_EQ(quiet.Status, Text(TLanguageKey::ConnectionTimeOut));
  for (const THost* host : {&closed, &quiet, &talker, &refused, &unknown})
    EXPECT_TRUE(host->Failed) << host->Name;
  silent.Join();
  EXPECT_TRUE(silent.PeerClosed);
  chatty.Join();
  EXPECT_TRUE(chatty.PeerClosed);
}

// A server that never closes but keeps the socket readable after the key
// is still dropped at the limit.
TEST_F(HubListTest, AServerTalkingOnAfterTheKeyIsHeldToTheLimit) {
  std::atomic<bool> stop{false};
  TFakeHubListServer server([&stop](TFakeHubListServer& s, int fd) {
    Registers(s, fd);
    while (!stop) {
      TFakeHubListServer::Send(fd, "$Chatter|");
      std::this_thread::sleep_for(1ms);
    }
  });
  THost& host = AddHost("list", server.Port());
  list->Start();
  ASSERT_TRUE(RunLoopUntil(loop, [&] { return host.State == hsKeySent; }));
  RunLoopFor(loop, 50ms);
  EXPECT_EQ(host.State, hsKeySent);
  now += THubList::kExchangeLimitMs + 1;
  EXPECT_TRUE(RunUntilFinished());
  stop = true;
  server.Join();
  EXPECT_EQ(host.Status, Text(TLanguageKey::ConnectionTimeOut));
  EXPECT_TRUE(host.Failed);
}

TEST_F(HubListTest, LocalhostThroughTheRealResolver) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); });
  THost& host = AddHost("list", server.Port(), "localhost");
  list->Start();
  ASSERT_TRUE(RunUntilFinished());
  server.Join();
  EXPECT_EQ(server.Line, ExpectedLine(server.PeerPort));
  EXPECT_FALSE(host.Failed);
}

TEST_F(HubListTest, DisabledHostsAndHostsAddedDuringAPassAreNotContacted) {
  TFakeHubListServer disabledServer([](TFakeHubListServer& s, int fd) { Registers(s, fd); },
                                    400ms);
  TFakeHubListServer lateServer([](TFakeHubListServer& s, int fd) { Registers(s, fd); }, 400ms);
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); });
  THost& disabled = AddHost("disabled", disabledServer.Port());
  disabled.Enabled = false;
  AddHost("list", server.Port());
  list->Start();
  THost& late = AddHost("late", lateServer.Port());
  ASSERT_TRUE(RunUntilFinished());
  disabledServer.Join();
  lateServer.Join();
  EXPECT_FALSE(disabledServer.Accepted);
  EXPECT_FALSE(lateServer.Accepted);
  EXPECT_EQ(disabled.Status, "Missing");
  EXPECT_EQ(late.Status, "Missing");
  EXPECT_EQ(disabled.LastRun, TDateTime{});
}

TEST_F(HubListTest, NothingHappensWhileTheHubIsDown) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); }, 300ms);
  running = false;
  THost& host = AddHost("list", server.Port());
  list->Start();
  EXPECT_TRUE(list->Active());
  EXPECT_FALSE(list->Polling());
  server.Join();
  EXPECT_FALSE(server.Accepted);
  EXPECT_EQ(host.LastRun, TDateTime{});
}

TEST_F(HubListTest, TheServersAddressBecomesThePingerAddressAtOnce) {
  TFakeHubListServer server([](TFakeHubListServer& s, int fd) { Registers(s, fd); });
  THost& host = AddHost("list", server.Port());
  host.BotNickPattern = "Pinger";
  host.BotNickPatternEnabled = true;
  host.BotIPPattern = "10.1.1.1";
  host.BotIPPatternEnabled = true;
  host.UpdateBotIPWithDNS = true;
  list->Hosts().RebuildPatterns();
  EXPECT_EQ(list->Hosts().PingerClass("Pinger", "127.0.0.1"), 3);
  list->Start();
  ASSERT_TRUE(RunUntilFinished());
  EXPECT_EQ(host.BotIPPattern, "127.0.0.1");
  EXPECT_EQ(list->Hosts().PingerClass("Pinger", "127.0.0.1"), 1);
  ASSERT_TRUE(list->Hosts().Save());
  std::string text;
  ReadFileBytes(THostList::FilePath(), text);
  EXPECT_NE(text.find(">127.0.0.1</BotIPPattern>"), std::string::npos) << text;
}

// A reload frees the hosts in the middle of their pass: their sockets
// close, and the answer of a look-up still running finds nobody to connect.
TEST_F(HubListTest, AReloadDuringLookUpsAndConnectionsDropsThem) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  dns.SetResolvers(nullptr, [released](const std::string& name, std::string& ip) {
    if (name == "slow.test") released.wait();
    ip = "127.0.0.1";
    return true;
  });
  TFakeHubListServer silent([](TFakeHubListServer& s, int fd) {
    std::string extra;
    s.WaitClosed(fd, 5000ms, extra);
  });
  TFakeHubListServer slowServer([](TFakeHubListServer& s, int fd) { Registers(s, fd); }, 1000ms);
  AddHost("connected", silent.Port());
  THost& slow = AddHost("slow", slowServer.Port(), "slow.test");
  list->Start();
  ASSERT_TRUE(RunLoopUntil(loop, [&] {
    const THost* connected = list->Hosts().Find("connected");
    return connected != nullptr && connected->State == hsConnecting && slow.State == hsResolving;
  }));
  ASSERT_TRUE(list->Hosts().Save());
  ASSERT_TRUE(list->Hosts().Load());
  release.set_value();
  ASSERT_TRUE(RunLoopUntil(loop, [&] { return dns.InFlight() == 0; }));
  RunLoopFor(loop, 50ms);
  silent.Join();
  EXPECT_TRUE(silent.PeerClosed);
  slowServer.Join();
  EXPECT_FALSE(slowServer.Accepted);
  for (int i = 0; i < list->Hosts().GetCount(); ++i)
    EXPECT_EQ(list->Hosts().GetHost(i)->State, hsFinished);
  EXPECT_FALSE(list->Polling());
}

TEST_F(HubListTest, DeletingAHostClosesItsConnection) {
  TFakeHubListServer silent([](TFakeHubListServer& s, int fd) {
    std::string extra;
    s.WaitClosed(fd, 5000ms, extra);
  });
  THost& host = AddHost("connected", silent.Port());
  list->Start();
  ASSERT_TRUE(RunLoopUntil(loop, [&] { return host.State == hsConnecting; }));
  EXPECT_TRUE(list->Hosts().Delete("CONNECTED"));
  silent.Join();
  EXPECT_TRUE(silent.PeerClosed);
  EXPECT_TRUE(RunUntilFinished());
}

TEST_F(HubListTest, DestroyedWithALookUpOnItsWay) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  dns.SetResolvers(nullptr, [released](const std::string&, std::string& ip) {
    released.wait();
    ip = "127.0.0.1";
    return true;
  });
  AddHost("slow", 2501, "slow.test");
  list->Start();
  ASSERT_TRUE(RunLoopUntil(loop, [&] { return dns.InFlight() == 1; }));
  RunLoopFor(loop, 20ms);
  list.reset();
  release.set_value();
  EXPECT_TRUE(RunLoopUntil(loop, [&] { return dns.InFlight() == 0; }));
}

}  // namespace
