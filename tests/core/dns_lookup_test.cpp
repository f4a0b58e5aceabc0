#include "core/dns_lookup.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/event_loop.h"
#include "support/fake_connection.h"
#include "support/loop_runner.h"

namespace {

TEST(HostNameFilterTest, OnlyPlainDnsBytesUpTo253) {
  const struct {
    std::string name;
    bool accepted;
  } cases[] = {
      {"localhost", true},
      {"host-1.example_net.", true},
      {std::string(253, 'a'), true},
      {"", false},
      {std::string(254, 'a'), false},
      {std::string(300, 'a'), false},
      {"evil host", false},
      {"evil|$ForceMove x", false},
      {"a$b", false},
      {"caf\xC3\xA9.example", false},  // UTF-8 bytes
      {"tab\there", false},
      {std::string("nul\0x", 5), false},
      {"<script>", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAcceptableHostName(c.name), c.accepted) << c.name;
}

class DNSLookupTest : public ::testing::Test {
 protected:
  DNSLookupTest()
      : dns(
            loop,
            [this](std::uint64_t id) -> THubSocket* {
              const auto it = open.find(id);
              return it == open.end() ? nullptr : it->second.get();
            },
            [this](THubSocket& connection) { continued.push_back(connection.Id()); }) {}

  THubSocket& Waiting(std::string_view ip, std::uint8_t loginState = 4) {
    auto connection = users.Connect("nick");
    connection->IP = std::string(ip);
    connection->LoginState = loginState;
    THubSocket& ref = *connection;
    open[ref.Id()] = std::move(connection);
    return ref;
  }

  bool Settle() {
    return RunLoopUntil(loop, [this] { return dns.InFlight() == 0; });
  }

  TFakeUsers users;
  EventLoop loop;
  std::map<std::uint64_t, std::unique_ptr<THubSocket>> open;
  std::vector<std::uint64_t> continued;
  TDNSLookup dns;
};

TEST_F(DNSLookupTest, LoopbackReverseLookupCompletesAWaitingLogin) {
  THubSocket& connection = Waiting("127.0.0.1");
  dns.ReverseLookup(connection);
  EXPECT_EQ(dns.InFlight(), 1);
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(connection.DNSDone);
  // Whatever the machine calls its loopback, or nothing at all.
  EXPECT_TRUE(connection.DNSName.empty() || IsAcceptableHostName(connection.DNSName))
      << connection.DNSName;
  EXPECT_EQ(continued, std::vector<std::uint64_t>{connection.Id()});
  EXPECT_EQ(dns.Peak(), 1);
}

TEST_F(DNSLookupTest, HostileNamesAreStoredAsNoName) {
  const std::string answers[] = {"ok.example", "evil|name", std::string(300, 'x'),
                                 "caf\xC3\xA9", "with space"};
  for (const std::string& answer : answers) {
    dns.SetResolvers(
        [answer](const std::string&, std::string& name) {
          name = answer;
          return true;
        },
        nullptr);
    THubSocket& connection = Waiting("10.0.0.1");
    dns.ReverseLookup(connection);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(connection.DNSDone);
    EXPECT_EQ(connection.DNSName, IsAcceptableHostName(answer) ? answer : "") << answer;
  }
}

TEST_F(DNSLookupTest, AnswersAreAppliedOnlyToTheSameOpenConnection) {
  dns.SetResolvers(
      [](const std::string&, std::string& name) {
        name = "host.example";
        return true;
      },
      nullptr);
  enum class TChange { None, Freed, Closing, StillHandshaking, NewAddress, NotWaiting };
  const struct {
    const char* what;
    TChange change;
    bool stored;
    bool continuedLogin;
  } cases[] = {
      {"waiting in state 4", TChange::None, true, true},
      {"freed meanwhile", TChange::Freed, false, false},
      {"closing", TChange::Closing, false, false},
      {"back in state 1", TChange::StillHandshaking, false, false},
      {"address changed", TChange::NewAddress, false, false},
      {"not waiting (state 3)", TChange::NotWaiting, true, false},
  };
  for (const auto& c : cases) {
    continued.clear();
    THubSocket& connection = Waiting("10.0.0.1");
    const std::uint64_t id = connection.Id();
    dns.ReverseLookup(connection);
    switch (c.change) {
      case TChange::None: break;
      case TChange::Freed: open.erase(id); break;
      case TChange::Closing: connection.LifeState = lsClosing; break;
      case TChange::StillHandshaking: connection.LoginState = 1; break;
      case TChange::NewAddress: connection.IP = "10.0.0.2"; break;
      case TChange::NotWaiting: connection.LoginState = 3; break;
    }
    ASSERT_TRUE(Settle()) << c.what;
    EXPECT_EQ(continued.size(), c.continuedLogin ? 1u : 0u) << c.what;
    if (c.change == TChange::Freed) continue;
    EXPECT_EQ(connection.DNSDone, c.stored) << c.what;
    EXPECT_EQ(connection.DNSName, c.stored ? "host.example" : "") << c.what;
  }
}

TEST_F(DNSLookupTest, ANameWithoutAnswerStillMovesTheLoginOn) {
  dns.SetResolvers([](const std::string&, std::string&) { return false; }, nullptr);
  THubSocket& connection = Waiting("10.0.0.1");
  dns.ReverseLookup(connection);
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(connection.DNSDone);
  EXPECT_EQ(connection.DNSName, "");
  EXPECT_EQ(continued.size(), 1u);
}

TEST_F(DNSLookupTest, EightRunAtOnceAndTheNinthWaits) {
  std::mutex lock;
  std::condition_variable changed;
  int running = 0;
  int mostRunning = 0;
  bool release = false;
  dns.SetResolvers(
      [&](const std::string&, std::string& name) {
        std::unique_lock guard(lock);
        mostRunning = std::max(mostRunning, ++running);
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
        --running;
        name = "host.example";
        return true;
      },
      nullptr);
  for (int i = 0; i < 9; ++i) dns.ReverseLookup(Waiting("10.0.0." + std::to_string(i)));
  EXPECT_EQ(dns.Peak(), 9);
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return running == 8; }));
    // The ninth cannot start while all eight workers are held.
    EXPECT_FALSE(
        changed.wait_for(guard, std::chrono::milliseconds(100), [&] { return running > 8; }));
    release = true;
    changed.notify_all();
  }
  ASSERT_TRUE(Settle());
  EXPECT_EQ(mostRunning, 8);
  EXPECT_EQ(continued.size(), 9u);
  EXPECT_EQ(dns.Peak(), 9);
}

TEST_F(DNSLookupTest, ForwardLookupsAnswerOnTheLoopThread) {
  dns.SetResolvers(nullptr, [](const std::string& name, std::string& ip) {
    if (name != "hublist.example") return false;
    ip = "192.0.2.7";
    return true;
  });
  std::vector<std::string> answers;
  dns.ForwardLookup("hublist.example", [&](const std::string& ip) { answers.push_back(ip); });
  dns.ForwardLookup("unknown.example", [&](const std::string& ip) { answers.push_back(ip); });
  ASSERT_TRUE(Settle());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_NE(std::find(answers.begin(), answers.end(), "192.0.2.7"), answers.end());
  EXPECT_NE(std::find(answers.begin(), answers.end(), ""), answers.end());
}

TEST(DNSLookupShutdownTest, AnswersArrivingAfterDestructionAreDropped) {
  TFakeUsers users;
  EventLoop loop;
  std::atomic<int> looked{0};
  auto connection = users.Connect("nick");
  connection->LoginState = 4;
  bool touched = false;
  {
    TDNSLookup dns(
        loop, [&](std::uint64_t) { touched = true; return connection.get(); },
        [&](THubSocket&) { touched = true; });
    dns.SetResolvers(
        [&](const std::string&, std::string& name) {
          ++looked;
          name = "host.example";
          return true;
        },
        nullptr);
    dns.ReverseLookup(*connection);
    while (looked == 0) std::this_thread::yield();
  }
  loop.RunPending();
  EXPECT_FALSE(touched);
  EXPECT_FALSE(connection->DNSDone);
}

}  // namespace
