#include "platform/socket_info.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

namespace {

// A connected loopback TCP pair: the accepted side is what the hub holds.
class TLoopbackPair {
 public:
  TLoopbackPair() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    client_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(client_, reinterpret_cast<sockaddr*>(&address), length);
    accepted_ = ::accept(listener_, nullptr, nullptr);
  }
  ~TLoopbackPair() {
    for (int fd : {accepted_, client_, listener_})
      if (fd >= 0) ::close(fd);
  }
  int Accepted() const { return accepted_; }
  int Port() const { return port_; }
  int TakeAccepted() {
    const int fd = accepted_;
    accepted_ = -1;
    return fd;
  }

 private:
  int listener_ = -1;
  int client_ = -1;
  int accepted_ = -1;
  int port_ = 0;
};

TEST(SocketInfo, ReadsThePeerAndTheLocalPortOfAnAcceptedSocket) {
  TLoopbackPair pair;
  ASSERT_GE(pair.Accepted(), 0);
  std::string ip;
  int port = 0;
  ASSERT_TRUE(SocketPeerIP(pair.Accepted(), ip));
  ASSERT_TRUE(SocketLocalPort(pair.Accepted(), port));
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(port, pair.Port());
}

TEST(SocketInfo, LeavesTheDefaultsForSocketsThatAreNotIPv4) {
  int fds[2] = {-1, -1};
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  std::string ip = "0.0.0.0";
  int port = 0;
  EXPECT_FALSE(SocketPeerIP(fds[0], ip));
  EXPECT_FALSE(SocketLocalPort(fds[0], port));
  EXPECT_FALSE(SocketPeerIP(-1, ip));
  EXPECT_EQ(ip, "0.0.0.0");
  EXPECT_EQ(port, 0);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(SocketInfo, CloseReleasesTheDescriptor) {
  TLoopbackPair pair;
  const int fd = pair.TakeAccepted();
  ASSERT_GE(fd, 0);
  CloseSocketHandle(fd);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  CloseSocketHandle(-1);  // ignored
}

}  // namespace
