#include "platform/socket_info.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// getpeername / getsockname into an IPv4 address; false for anything else.
template <typename Lookup>
bool LookupIPv4(int fd, Lookup lookup, sockaddr_in& address) {
  if (fd < 0) return false;
  sockaddr_storage storage{};
  socklen_t length = sizeof(storage);
  if (lookup(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return false;
  if (storage.ss_family != AF_INET || length < sizeof(sockaddr_in)) return false;
  std::memcpy(&address, &storage, sizeof(address));
  return true;
}

}  // namespace

bool SocketPeerIP(int fd, std::string& ip) {
  sockaddr_in address{};
  if (!LookupIPv4(fd, ::getpeername, address)) return false;
  char text[INET_ADDRSTRLEN] = {};
  if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text)) == nullptr) return false;
  ip = text;
  return true;
}

bool SocketLocalPort(int fd, int& port) {
  sockaddr_in address{};
  if (!LookupIPv4(fd, ::getsockname, address)) return false;
  port = ntohs(address.sin_port);
  return true;
}

void CloseSocketHandle(int fd) noexcept {
  if (fd >= 0) ::close(fd);
}
