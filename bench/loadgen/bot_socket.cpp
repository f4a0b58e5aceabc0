#include "bot_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

sockaddr_in AddressOf(std::uint32_t ip, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(ip);
  a.sin_port = htons(port);
  return a;
}

}  // namespace

TBotSocket::~TBotSocket() { Close(); }

bool TBotSocket::Connect(std::uint32_t sourceIp, std::uint32_t hubIp, std::uint16_t hubPort) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  const int one = 1;
  // Small protocol messages must leave at once for the delays to mean anything.
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // Every user has its own address, so ports never run out and the hub sees
  // distinct IPs as it would on the Internet.
  sockaddr_in source = AddressOf(sourceIp, 0);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) {
    Close();
    return false;
  }
  sockaddr_in hub = AddressOf(hubIp, hubPort);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&hub), sizeof hub) != 0 &&
      errno != EINPROGRESS) {
    Close();
    return false;
  }
  return true;
}

bool TBotSocket::ConnectSucceeded() const {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
  return error == 0;
}

void TBotSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

long TBotSocket::Read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, capacity, 0);
    if (n > 0) return static_cast<long>(n);
    if (n == 0) return -1;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

long TBotSocket::Write(const char* data, std::size_t length) {
  for (;;) {
    const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

void FormatIp(std::uint32_t ip, char* out, std::size_t capacity) {
  std::snprintf(out, capacity, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255u, (ip >> 8) & 255u,
                ip & 255u);
}
