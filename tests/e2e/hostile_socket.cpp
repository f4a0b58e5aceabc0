#include "e2e/hostile_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "e2e/nmdc_client.h"

#ifndef IP_BIND_ADDRESS_NO_PORT
#define IP_BIND_ADDRESS_NO_PORT 24
#endif

namespace {

using TClock = std::chrono::steady_clock;

THostileSocket::TLimit Left(TClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<THostileSocket::TLimit>(deadline - TClock::now());
  return left.count() < 0 ? THostileSocket::TLimit(0) : left;
}

}  // namespace

std::unique_ptr<THostileSocket> THostileSocket::Open(const std::string& source, int port,
                                                     int receiveBuffer) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::unique_ptr<THostileSocket> client(new THostileSocket(fd));
  // The port is picked at connect: thousands of binds would run out first.
  const int one = 1;
  setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
  if (receiveBuffer > 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (inet_pton(AF_INET, source.c_str(), &local.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
    return nullptr;
  sockaddr_in hub{};
  hub.sin_family = AF_INET;
  hub.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  hub.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&hub), sizeof hub) != 0 && errno != EINPROGRESS)
    return nullptr;
  return client;
}

THostileSocket::~THostileSocket() {
  if (fd_ >= 0) close(fd_);
}

bool THostileSocket::Wait(short events, TLimit limit) const {
  pollfd ready{fd_, events, 0};
  return poll(&ready, 1, static_cast<int>(limit.count())) > 0;
}

bool THostileSocket::WaitConnected(TLimit limit) const {
  if (!Wait(POLLOUT, limit)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool THostileSocket::Send(std::string_view data, TLimit limit) {
  const auto deadline = TClock::now() + limit;
  while (!data.empty()) {
    const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN) return false;
    if (TClock::now() >= deadline) return false;
    Wait(POLLOUT, std::min(Left(deadline), TLimit(100)));
  }
  return true;
}

bool THostileSocket::Pump() {
  char chunk[65536];
  while (!closed_) {
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got > 0) {
      input_.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOTCONN)) break;
    closed_ = true;
  }
  return !closed_;
}

bool THostileSocket::WaitFor(std::string_view text, TLimit limit) {
  const auto deadline = TClock::now() + limit;
  for (;;) {
    Pump();
    if (input_.find(text) != std::string::npos) return true;
    if (closed_ || TClock::now() >= deadline) return false;
    Wait(POLLIN, Left(deadline));
  }
}

bool THostileSocket::WaitClosed(TLimit limit) {
  const auto deadline = TClock::now() + limit;
  for (;;) {
    Pump();
    if (closed_) return true;
    if (TClock::now() >= deadline) return false;
    Wait(POLLIN, Left(deadline));
  }
}

bool THostileSocket::Handshake(std::string_view nick, TLimit limit) {
  if (!WaitFor(" Pk=", limit)) return false;
  const std::size_t start = input_.find("$Lock ");
  const std::size_t end = input_.find(" Pk=", start);
  if (start == std::string::npos || end == std::string::npos) return false;
  const std::string_view lock = std::string_view(input_).substr(start + 6, end - start - 6);
  return Send("$Supports NoGetINFO NoHello UserIP2 |$Key " + NmdcKey(lock) + "|$ValidateNick " +
              std::string(nick) + "|");
}

bool THostileSocket::Login(std::string_view nick, TLimit limit) {
  const auto deadline = TClock::now() + limit;
  if (!Handshake(nick, limit) || !WaitFor("$Hello " + std::string(nick) + "|", Left(deadline)))
    return false;
  if (!Send("$Version 1,0091|$GetNickList|" + TNmdcClient::MyINFO(nick))) return false;
  return WaitFor("$MyINFO $ALL " + std::string(nick) + " ", Left(deadline));
}

std::string HostileSource(int index, int perAddress) {
  const int address = index / perAddress;
  // 127.0.0.x is left to the well-behaved probes.
  return "127.0." + std::to_string(address / 250 + 1) + "." + std::to_string(address % 250 + 1);
}

int WaitEachFor(THostileSockets& sockets, std::string_view text, THostileSocket::TLimit limit) {
  const auto deadline = TClock::now() + limit;
  std::vector<bool> done(sockets.size(), false);
  int holding = 0;
  std::size_t finished = 0;
  std::vector<pollfd> waiting;
  for (;;) {
    waiting.clear();
    for (std::size_t i = 0; i < sockets.size(); ++i) {
      if (done[i]) continue;
      THostileSocket& socket = *sockets[i];
      socket.Pump();
      if (socket.Input().find(text) != std::string::npos) {
        done[i] = true;
        ++holding;
        ++finished;
      } else if (socket.Closed()) {
        done[i] = true;
        ++finished;
      } else {
        waiting.push_back({socket.Fd(), POLLIN, 0});
      }
    }
    if (finished == sockets.size() || TClock::now() >= deadline) return holding;
    // A short sleep in poll: the sockets are pumped again either way.
    const auto pause = std::min(Left(deadline), THostileSocket::TLimit(50));
    poll(waiting.data(), waiting.size(), static_cast<int>(pause.count()));
  }
}
