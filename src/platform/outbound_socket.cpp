#include "platform/outbound_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "platform/client_socket.h"
#include "platform/socket_info.h"

int TOutboundSocket::Connect(const std::string& ip, int port) {
  fd_.Reset();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (port <= 0 || port > 65535 || inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
    return WinsockErrorCode(EINVAL);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return WinsockErrorCode(errno);
  fd_.Reset(fd);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
  const int error = errno;
  // The Windows socket reports a connect under way as "would block".
  if (error == EINPROGRESS || error == EAGAIN) return kConnectInProgress;
  fd_.Reset();
  return WinsockErrorCode(error);
}

TReadiness TOutboundSocket::PollReadable() const {
  if (!fd_.IsOpen()) return {false, WinsockErrorCode(EBADF)};
  pollfd entry{fd_.Get(), POLLIN, 0};
  const int ready = poll(&entry, 1, 0);
  if (ready < 0) return {false, WinsockErrorCode(errno)};
  if (ready == 0) return {};
  // A failed connect shows as an error on the socket: the receive reports it.
  return {(entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0, 0};
}

TReceived TOutboundSocket::Receive(void* buffer, std::size_t capacity) {
  TReceived result;
  if (!fd_.IsOpen()) {
    result.Error = WinsockErrorCode(EBADF);
    return result;
  }
  const ssize_t got = recv(fd_.Get(), buffer, capacity, MSG_DONTWAIT);
  if (got > 0) {
    result.Bytes = static_cast<std::size_t>(got);
  } else if (got == 0) {
    result.Closed = true;
  } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
    result.WouldBlock = true;
  } else {
    result.Error = WinsockErrorCode(errno);
  }
  return result;
}

long TOutboundSocket::Send(const void* data, std::size_t length, int& error) {
  error = 0;
  if (!fd_.IsOpen()) {
    error = WinsockErrorCode(EBADF);
    return -1;
  }
  const ssize_t sent = send(fd_.Get(), data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
  if (sent < 0) {
    error = WinsockErrorCode(errno);
    return -1;
  }
  return static_cast<long>(sent);
}

int TOutboundSocket::LocalPort() const {
  int port = 0;
  if (!fd_.IsOpen() || !SocketLocalPort(fd_.Get(), port)) return 0;
  return port;
}

std::string TOutboundSocket::PeerAddress() const {
  std::string ip;
  if (!fd_.IsOpen() || !SocketPeerIP(fd_.Get(), ip)) return {};
  return ip;
}
