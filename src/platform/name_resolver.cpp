#include "platform/name_resolver.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>

namespace {

struct TAddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
struct TIfAddrsFree {
  void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

bool DottedIPv4(const in_addr& address, std::string& out) {
  std::array<char, INET_ADDRSTRLEN> text{};
  if (::inet_ntop(AF_INET, &address, text.data(), text.size()) == nullptr) return false;
  out = text.data();
  return true;
}

std::unique_ptr<addrinfo, TAddrInfoFree> LookUp(const std::string& name) {
  if (name.empty()) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  addrinfo* list = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0) return nullptr;
  return std::unique_ptr<addrinfo, TAddrInfoFree>(list);
}

}  // namespace

bool ReverseLookupIPv4(const std::string& ip, std::string& name) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) return false;
  std::array<char, NI_MAXHOST> host{};
  const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address,
                               host.data(), host.size(), nullptr, 0, NI_NAMEREQD);
  if (rc != 0) return false;
  name = host.data();
  return true;
}

std::vector<std::string> ResolveIPv4Addresses(const std::string& name) {
  std::vector<std::string> addresses;
  const auto list = LookUp(name);
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    sockaddr_in address{};
    std::copy_n(reinterpret_cast<const unsigned char*>(entry->ai_addr), sizeof address,
                reinterpret_cast<unsigned char*>(&address));
    std::string dotted;
    if (!DottedIPv4(address.sin_addr, dotted)) continue;
    if (std::find(addresses.begin(), addresses.end(), dotted) == addresses.end())
      addresses.push_back(std::move(dotted));
  }
  return addresses;
}

bool ForwardLookupIPv4(const std::string& name, std::string& ip) {
  std::vector<std::string> addresses = ResolveIPv4Addresses(name);
  if (addresses.empty()) return false;
  ip = std::move(addresses.front());
  return true;
}

bool LocalHostName(std::string& name) {
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) != 0) return false;
  name = host.data();
  return !name.empty();
}

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> addresses;
  ifaddrs* raw = nullptr;
  if (::getifaddrs(&raw) != 0) return addresses;
  const std::unique_ptr<ifaddrs, TIfAddrsFree> list(raw);
  for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0) continue;
    sockaddr_in address{};
    std::copy_n(reinterpret_cast<const unsigned char*>(entry->ifa_addr), sizeof address,
                reinterpret_cast<unsigned char*>(&address));
    std::string dotted;
    if (DottedIPv4(address.sin_addr, dotted)) addresses.push_back(std::move(dotted));
  }
  return addresses;
}

bool IsLoopbackIPv4(const std::string& ip) {
  in_addr address{};
  if (::inet_pton(AF_INET, ip.c_str(), &address) != 1) return false;
  return (ntohl(address.s_addr) >> 24) == 127;
}
