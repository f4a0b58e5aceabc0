// The ports test hubs listen on: below the kernel's ephemeral range, where
// no outgoing connection of another program can take them between the
// choice and the hub's bind.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include <optional>
#include <set>
#include <string>

#include "e2e/e2e_home.h"
#include "e2e/kavrod_process.h"
#include "e2e/nmdc_client.h"
#include "settings/settings.h"
#include "support/test_port.h"

namespace {

TEST(TestPortTest, RangeTextParsesOrIsRefused) {
  struct TCase {
    const char* text;
    std::optional<int> low;
    int high;
  };
  const TCase cases[] = {
      {"32768\t60999\n", 32768, 60999},
      {"1024 65535", 1024, 65535},
      {"", std::nullopt, 0},
      {"32768", std::nullopt, 0},
      {"x 60999", std::nullopt, 0},
      {"60999 32768", std::nullopt, 0},
      {"0 100", std::nullopt, 0},
      {"1000 70000", std::nullopt, 0},
  };
  for (const TCase& c : cases) {
    const std::optional<TPortRange> range = ParsePortRange(c.text);
    ASSERT_EQ(range.has_value(), c.low.has_value()) << c.text;
    if (!range) continue;
    EXPECT_EQ(range->Low, *c.low) << c.text;
    EXPECT_EQ(range->High, c.high) << c.text;
  }
}

TEST(TestPortTest, TestRangeLiesBelowTheEphemeralOneWhenThereIsRoom) {
  struct TCase {
    const char* name;
    TPortRange ephemeral;
    TPortRange expected;
  };
  const TCase cases[] = {
      {"Linux default", {32768, 60999}, {10000, 32752}},
      {"low start", {8000, 60999}, {1024, 7984}},
      {"everything above the well-known ports", {1024, 60000}, {60001, 65519}},
  };
  for (const TCase& c : cases) {
    const TPortRange range = TestPortRange(c.ephemeral);
    EXPECT_EQ(range.Low, c.expected.Low) << c.name;
    EXPECT_EQ(range.High, c.expected.High) << c.name;
  }
}

// Below this machine's range (the table above covers a range that leaves
// no room below).
TEST(TestPortTest, ChosenPortsAreOutsideTheEphemeralRangeBindableAndDistinct) {
  const TPortRange ephemeral = EphemeralPortRange();
  const TPortRange test = TestPortRange(ephemeral);
  std::set<int> seen;
  for (int i = 0; i < 20; ++i) {
    const int port = i % 2 == 0 ? ChooseTestPort() : TE2EHome::FreePort();
    ASSERT_GT(port, 0);
    EXPECT_TRUE(port < ephemeral.Low || port > ephemeral.High) << port;
    EXPECT_GE(port, test.Low);
    EXPECT_LE(port, test.High);
    EXPECT_TRUE(PortBindable(port)) << port;
    EXPECT_TRUE(seen.insert(port).second) << port << " handed out twice";
  }
}

// Another program's socket on `port` of `address`, closed with the object.
class TTakenPort {
 public:
  explicit TTakenPort(int port, const char* address = "127.0.0.1")
      : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address, &a.sin_addr);
    taken_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 1) == 0;
  }
  ~TTakenPort() { ::close(fd_); }
  TTakenPort(const TTakenPort&) = delete;
  TTakenPort& operator=(const TTakenPort&) = delete;
  bool Taken() const { return taken_; }

 private:
  int fd_;
  bool taken_ = false;
};

TEST(TestPortTest, APortInUseIsNotBindable) {
  const int port = ChooseTestPort();
  ASSERT_GT(port, 0);
  {
    const TTakenPort taken(port);
    ASSERT_TRUE(taken.Taken());
    EXPECT_FALSE(PortBindable(port));
  }
  EXPECT_TRUE(PortBindable(port));
}

// A port taken between the choice and the hub's bind: the hub starts again
// on another one, and clients reach it there.
TEST(TestPortTest, HubStartsOnAnotherPortWhenItsPortWasTaken) {
  TE2EHome home;
  home.WriteSettings();
  const int chosen = home.Port();
  const TTakenPort taken(chosen);
  ASSERT_TRUE(taken.Taken());
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  EXPECT_NE(home.Port(), chosen);
  auto client = TNmdcClient::Connect(home.Port());
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->Login("moved"));
  EXPECT_EQ(home.StopHub(), 0);
}

// The settings a test home writes bind loopback only, so the window entry
// (no --listen-address) leaves the port free on every other address.
TEST(TestPortTest, WrittenSettingsListenOnLoopbackOnly) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) { settings.NmdcsPorts = ""; });
  const TTakenPort elsewhere(home.Port(), "127.0.0.2");
  ASSERT_TRUE(elsewhere.Taken());
  TKavrodProcess hub({"--home", home.Folder(), "--start"}, home.File("loopback.log"));
  ASSERT_TRUE(hub.WaitForOutput("Hub started")) << hub.Output();
  EXPECT_NE(TNmdcClient::Connect(home.Port()), nullptr);
  EXPECT_EQ(hub.Stop(SIGTERM), std::optional<int>(0));
}

}  // namespace
