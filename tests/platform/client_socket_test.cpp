#include "platform/client_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A connected TCP pair over loopback: the accepted end (non-blocking, as a
// listener hands it on) and the client end (blocking, the test's peer).
struct TLoopbackPair {
  int server = -1;
  int client = -1;
  TLoopbackPair() {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("loopback listener");
    client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0)
      throw std::runtime_error("connect");
    server = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    close(listener);
    if (server < 0) throw std::runtime_error("accept");
  }
  ~TLoopbackPair() { CloseClient(); }
  void CloseClient() {
    if (client >= 0) close(client);
    client = -1;
  }
  // Closes the client end with a reset instead of an orderly end.
  void ResetClient() {
    const linger hard{1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    CloseClient();
  }
  void ClientSends(const std::string& text) {
    ASSERT_EQ(send(client, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  }
  uint16_t ClientPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(client, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
  }
};

// Waits (bounded) until `fd` is readable, so a read cannot race the loopback.
void WaitReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  poll(&p, 1, 2000);
}

enum class TPeerAction { kNothing, kSendAbc, kCloseAfterAbc, kReset };

struct TReadCase {
  const char* name;
  TPeerAction action;
  TIoStatus first;
  std::string firstBytes;
  int firstError;
  TIoStatus second;
  int secondError;
};

class ClientSocketReadTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(ClientSocketReadTest, ClassifiesWhatThePeerDid) {
  const TReadCase& c = GetParam();
  TLoopbackPair pair;
  TClientSocket socket(pair.server);
  switch (c.action) {
    case TPeerAction::kNothing:
      break;
    case TPeerAction::kSendAbc:
      pair.ClientSends("abc");
      break;
    case TPeerAction::kCloseAfterAbc:
      pair.ClientSends("abc");
      pair.CloseClient();
      break;
    case TPeerAction::kReset:
      pair.ResetClient();
      break;
  }
  if (c.action != TPeerAction::kNothing) WaitReadable(socket.Fd());
  char buffer[16];
  TIoResult result = socket.Read(buffer, sizeof buffer);
  EXPECT_EQ(result.status, c.first);
  EXPECT_EQ(std::string(buffer, result.bytes), c.firstBytes);
  EXPECT_EQ(result.error, c.firstError);
  result = socket.Read(buffer, sizeof buffer);
  EXPECT_EQ(result.status, c.second);
  EXPECT_EQ(result.bytes, 0u);
  EXPECT_EQ(result.error, c.secondError);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ClientSocketReadTest,
    ::testing::Values(
        TReadCase{"NothingSent", TPeerAction::kNothing, TIoStatus::kWouldBlock, "", 0,
                  TIoStatus::kWouldBlock, 0},
        TReadCase{"DataWaiting", TPeerAction::kSendAbc, TIoStatus::kDone, "abc", 0,
                  TIoStatus::kWouldBlock, 0},
        TReadCase{"OrderlyEnd", TPeerAction::kCloseAfterAbc, TIoStatus::kDone, "abc", 0,
                  TIoStatus::kClosed, 0},
        // WSAECONNRESET once; the stream then reads as ended.
        TReadCase{"Reset", TPeerAction::kReset, TIoStatus::kError, "", 10054,
                  TIoStatus::kClosed, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClientSocketTest, EmptyRequestsAreNotMistakenForTheEnd) {
  TLoopbackPair pair;
  TClientSocket socket(pair.server);
  char buffer[1];
  EXPECT_EQ(socket.Read(buffer, 0).status, TIoStatus::kDone);
  EXPECT_EQ(socket.Write("x", 0).status, TIoStatus::kDone);
}

TEST(ClientSocketTest, WriteStopsWithWouldBlockWhenThePeerDoesNotRead) {
  TLoopbackPair pair;
  TClientSocket socket(pair.server);
  const std::vector<char> chunk(64 * 1024, 'x');
  std::size_t total = 0;
  TIoResult result;
  for (int i = 0; i < 10000; ++i) {
    result = socket.Write(chunk.data(), chunk.size());
    if (result.status != TIoStatus::kDone) break;
    total += result.bytes;
  }
  EXPECT_EQ(result.status, TIoStatus::kWouldBlock);
  EXPECT_TRUE(result.waitWrite);
  EXPECT_EQ(result.bytes, 0u);
  EXPECT_GT(total, 0u);
}

TEST(ClientSocketTest, KnowsItsPeer) {
  TLoopbackPair pair;
  TClientSocket socket(pair.server);
  EXPECT_EQ(socket.PeerAddress(), "127.0.0.1");
  EXPECT_EQ(socket.PeerPort(), pair.ClientPort());
  EXPECT_FALSE(socket.IsTls());
  EXPECT_FALSE(socket.HasBufferedInput());
}

TEST(ClientSocketTest, CloseEndsTheStreamAndLaterCallsReportClosed) {
  TLoopbackPair pair;
  TClientSocket socket(pair.server);
  socket.Close();
  EXPECT_FALSE(socket.IsOpen());
  EXPECT_EQ(socket.Fd(), -1);
  char buffer[4];
  EXPECT_EQ(socket.Read(buffer, sizeof buffer).status, TIoStatus::kClosed);
  EXPECT_EQ(socket.Write("x", 1).status, TIoStatus::kClosed);
  EXPECT_EQ(recv(pair.client, buffer, sizeof buffer, 0), 0);  // the peer sees the end
}

TEST(ClientSocketTest, MovingHandsTheDescriptorOver) {
  TLoopbackPair pair;
  TClientSocket first(pair.server);
  TClientSocket second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  first = std::move(second);
  EXPECT_EQ(first.Write("ok", 2).bytes, 2u);
  char buffer[4];
  EXPECT_EQ(recv(pair.client, buffer, sizeof buffer, 0), 2);
}

// Writing to a peer that is gone must come back as an error; with the signal
// at its default action a SIGPIPE would end the process.
TEST(ClientSocketDeathTest, WritingToAGonePeerReturnsAnErrorAndTheProcessLives) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        signal(SIGPIPE, SIG_DFL);
        TLoopbackPair pair;
        TClientSocket socket(pair.server);
        pair.CloseClient();
        TIoResult result;
        for (int i = 0; i < 100 && result.status != TIoStatus::kError; ++i) {
          result = socket.Write("data", 4);
          usleep(1000);
        }
        // WSAESHUTDOWN: EPIPE, the error that comes with the signal.
        std::exit(result.status == TIoStatus::kError && result.error == 10058 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
