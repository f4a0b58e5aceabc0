#include "platform/tcp_listener.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/monotonic_clock.h"
#include "support/loop_runner.h"

namespace {

using std::chrono::milliseconds;

// A blocking client socket connected to 127.0.0.1:port; closed at the end.
class TTestClient {
 public:
  explicit TTestClient(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("connect to the listener");
  }
  ~TTestClient() { close(fd_); }
  TTestClient(const TTestClient&) = delete;
  TTestClient& operator=(const TTestClient&) = delete;

  void Send(const std::string& text) {
    ASSERT_EQ(send(fd_, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  }
  // True when the hub side ends the connection within `limit`.
  bool SeesEnd(milliseconds limit) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
    char byte;
    return recv(fd_, &byte, 1, 0) <= 0;
  }

 private:
  int fd_;
};

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

struct TDelivered {
  TAcceptedSocket accepted;
  uint64_t deliveredAt;
};

class ListenerTest : public ::testing::Test {
 protected:
  // Loopback only; port 0 takes a free port (BoundPort tells which).
  std::unique_ptr<TListener> MakeListener(int port = 0, TListenerLimits limits = {}) {
    auto listener = std::make_unique<TListener>(loop_, port, "127.0.0.1", false, limits);
    listener->SetOnSocket([this](TAcceptedSocket accepted) {
      delivered_.push_back({std::move(accepted), MonotonicMs()});
    });
    listener->SetOnClosed([this](int error, TListener&) { closedErrors_.push_back(error); });
    return listener;
  }

  EventLoop loop_;
  std::vector<TDelivered> delivered_;
  std::vector<int> closedErrors_;
};

TEST_F(ListenerTest, HandsOnAPlainClientOnlyAfterItsHold) {
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  const auto start = std::chrono::steady_clock::now();
  TTestClient client(listener->BoundPort());
  client.Send("early");  // speaks before the hub: must still reach the core
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, milliseconds(1000));
  EXPECT_LT(waited, milliseconds(1800));

  TDelivered& got = delivered_.front();
  EXPECT_GT(got.deliveredAt - got.accepted.acceptTick, TListener::kHandOnDelayMs);
  EXPECT_EQ(got.accepted.listenerPort, listener->Port());
  EXPECT_EQ(got.accepted.socket.PeerAddress(), "127.0.0.1");
  EXPECT_FALSE(got.accepted.socket.IsTls());
  char buffer[16];
  const TIoResult read = got.accepted.socket.Read(buffer, sizeof buffer);
  ASSERT_EQ(read.status, TIoStatus::kDone);
  EXPECT_EQ(std::string(buffer, read.bytes), "early");
}

// Past the cap on held connections a new one is closed at once and
// counted; the held ones are still handed on.
TEST_F(ListenerTest, ConnectionsPastTheHeldCapAreRefusedAndCounted) {
  TListenerLimits limits;
  limits.MaxHeldSockets = 3;
  auto listener = MakeListener(0, limits);
  ASSERT_TRUE(listener->Listen());
  std::vector<std::unique_ptr<TTestClient>> clients;
  for (int i = 0; i < 5; ++i) clients.push_back(std::make_unique<TTestClient>(listener->BoundPort()));
  // Well inside the hold: only the refused ones are closed by now.
  EXPECT_TRUE(clients[3]->SeesEnd(milliseconds(500)));
  EXPECT_TRUE(clients[4]->SeesEnd(milliseconds(500)));
  EXPECT_EQ(listener->Refused(), 2u);
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return delivered_.size() == 3; }));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(clients[i]->SeesEnd(milliseconds(0))) << i;
  RunLoopFor(loop_, milliseconds(50));
  EXPECT_EQ(delivered_.size(), 3u);
}

// The kernel's accept queue gets the backlog asked for (a listening
// socket's TCP_INFO reports it).
TEST_F(ListenerTest, ListensWithTheBacklogAskedFor) {
  for (const int backlog : {7, 64}) {
    TListenerLimits limits;
    limits.Backlog = backlog;
    auto listener = MakeListener(0, limits);
    ASSERT_TRUE(listener->Listen());
    tcp_info info{};
    socklen_t length = sizeof info;
    ASSERT_EQ(getsockopt(listener->Socket(), IPPROTO_TCP, TCP_INFO, &info, &length), 0);
    EXPECT_EQ(info.tcpi_sacked, static_cast<unsigned>(backlog));
  }
}

struct TFloodCase {
  const char* name;
  int clients;
  int spacingMs;  // between two connects
};

class ListenerFloodTest : public ListenerTest, public ::testing::WithParamInterface<TFloodCase> {};

// Every held connection whose hold is over goes on in the same turn: new
// connections arriving all the time must not keep the old ones waiting.
TEST_P(ListenerFloodTest, EveryClientIsHandedOnSoonAfterItsHold) {
  const TFloodCase& c = GetParam();
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  std::vector<std::unique_ptr<TTestClient>> clients;
  std::thread connector([&] {
    for (int i = 0; i < c.clients; ++i) {
      clients.push_back(std::make_unique<TTestClient>(listener->BoundPort()));
      if (c.spacingMs > 0) std::this_thread::sleep_for(milliseconds(c.spacingMs));
    }
  });
  const bool all = RunLoopUntil(
      loop_, [&] { return delivered_.size() >= static_cast<std::size_t>(c.clients); },
      milliseconds(10000));
  connector.join();
  ASSERT_TRUE(all) << delivered_.size() << " of " << c.clients;
  for (const TDelivered& d : delivered_) {
    const uint64_t held = d.deliveredAt - d.accepted.acceptTick;
    EXPECT_GT(held, TListener::kHandOnDelayMs);
    EXPECT_LT(held, TListener::kHandOnDelayMs + 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(Clients, ListenerFloodTest,
                         ::testing::Values(TFloodCase{"Burst", 200, 0},
                                           TFloodCase{"SteadyStream", 200, 7}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ListenerTest, ListenAndStopKeepTheirState) {
  auto first = MakeListener();
  ASSERT_TRUE(first->Listen());
  EXPECT_FALSE(first->Listen());  // already listening
  const int port = first->BoundPort();
  EXPECT_GE(first->Socket(), 0);

  auto rival = MakeListener(port);
  EXPECT_FALSE(rival->Listen());  // port in use
  EXPECT_EQ(rival->Socket(), -1);

  ASSERT_TRUE(first->Stop());
  EXPECT_FALSE(first->Stop());
  EXPECT_FALSE(first->Listening());
  EXPECT_EQ(first->Socket(), -1);

  // The port is free again, and a stopped listener opens again.
  auto again = MakeListener(port);
  ASSERT_TRUE(again->Listen());
  ASSERT_TRUE(again->Stop());
  ASSERT_TRUE(again->Listen());
  TTestClient client(again->BoundPort());
  EXPECT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  EXPECT_TRUE(closedErrors_.empty());
}

TEST_F(ListenerTest, RefusesAddressesItCannotBind) {
  for (const char* address : {"256.1.1.1", "localhost", "1.2.3", "127.0.0.1 "}) {
    TListener listener(loop_, 0, address, false);
    EXPECT_FALSE(listener.Listen()) << address;
    EXPECT_EQ(listener.Socket(), -1) << address;
  }
}

struct TStopCase {
  const char* name;
  int stopAfterMs;
  bool runLoopBeforeStop;  // false: the hand-on may be queued, not yet run
};

class ListenerStopTest : public ListenerTest, public ::testing::WithParamInterface<TStopCase> {};

TEST_P(ListenerStopTest, StopDropsWhatIsNotHandedOnAndReportsNothing) {
  const TStopCase& c = GetParam();
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TTestClient client(listener->BoundPort());
  if (c.runLoopBeforeStop) {
    RunLoopFor(loop_, milliseconds(c.stopAfterMs));
  } else {
    std::this_thread::sleep_for(milliseconds(c.stopAfterMs));
  }
  ASSERT_TRUE(delivered_.empty());
  ASSERT_TRUE(listener->Stop());
  RunLoopFor(loop_, milliseconds(300));
  EXPECT_TRUE(delivered_.empty());
  EXPECT_TRUE(closedErrors_.empty());
  EXPECT_TRUE(client.SeesEnd(milliseconds(1000)));
}

INSTANTIATE_TEST_SUITE_P(Moments, ListenerStopTest,
                         ::testing::Values(TStopCase{"DuringTheHold", 200, true},
                                           TStopCase{"WithTheHandOnQueued", 1300, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ListenerTest, ADyingListeningSocketIsReportedAndCanListenAgain) {
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TListener* reported = nullptr;
  listener->SetOnClosed([&](int error, TListener& which) {
    closedErrors_.push_back(error);
    reported = &which;
  });
  // The kernel ends the listening socket under the accept thread.
  ASSERT_EQ(shutdown(listener->Socket(), SHUT_RDWR), 0);
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !closedErrors_.empty(); }));
  EXPECT_EQ(reported, listener.get());
  EXPECT_EQ(closedErrors_.front(), 10022);  // WSAEINVAL: accept on a socket no longer listening
  EXPECT_FALSE(listener->Listening());
  EXPECT_EQ(listener->Socket(), -1);
  EXPECT_FALSE(listener->Stop());  // already closed

  ASSERT_TRUE(listener->Listen());
  TTestClient client(listener->BoundPort());
  EXPECT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  EXPECT_EQ(closedErrors_.size(), 1u);
}

TEST_F(ListenerTest, NoDescriptorOutlivesTheListener) {
  const std::size_t before = OpenDescriptors();
  {
    auto listener = MakeListener();
    ASSERT_TRUE(listener->Listen());
    std::vector<std::unique_ptr<TTestClient>> clients;
    for (int i = 0; i < 5; ++i) clients.push_back(std::make_unique<TTestClient>(listener->BoundPort()));
    ASSERT_TRUE(RunLoopUntil(loop_, [&] { return delivered_.size() == 5; }));
    for (int i = 0; i < 3; ++i) clients.push_back(std::make_unique<TTestClient>(listener->BoundPort()));
    RunLoopFor(loop_, milliseconds(100));  // these three are still held
    delivered_.clear();
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
