#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

// Ports for test hubs. A port found free and closed again stays free only
// until the kernel hands it to some program's next outgoing connection, which
// it does from the ephemeral range: on a busy machine the hub's bind then
// fails. Test ports therefore come from below that range, at random so test
// programs running side by side rarely meet, and are checked free on each
// address the hub will listen on.

struct TPortRange {
  int Low = 0;
  int High = 0;
};

// The two numbers of /proc/sys/net/ipv4/ip_local_port_range ("32768\t60999").
inline std::optional<TPortRange> ParsePortRange(std::string_view text) {
  std::istringstream in{std::string(text)};
  TPortRange range;
  if (!(in >> range.Low >> range.High)) return std::nullopt;
  if (range.Low < 1 || range.High > 65535 || range.Low > range.High) return std::nullopt;
  return range;
}

// The kernel's ephemeral range; Linux's default when it cannot be read.
inline TPortRange EphemeralPortRange() {
  std::ifstream file("/proc/sys/net/ipv4/ip_local_port_range");
  std::ostringstream text;
  text << file.rdbuf();
  return ParsePortRange(text.str()).value_or(TPortRange{32768, 60999});
}

// Where test ports come from: below the ephemeral range, clear of the
// well-known ports and of the range's first few (a test may use port + 1).
// Above it only when the ephemeral range leaves no room below.
inline TPortRange TestPortRange(const TPortRange& ephemeral) {
  constexpr int kMargin = 16;
  constexpr int kMinWidth = 256;
  const int high = ephemeral.Low - kMargin;
  for (const int low : {10000, 1024})
    if (high - low >= kMinWidth) return {low, high};
  return {ephemeral.High + 1, 65535 - kMargin};
}

// True when a listening socket could take `port` on `address` right now.
inline bool PortBindable(int port, const char* address = "127.0.0.1") {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool bound = inet_pton(AF_INET, address, &a.sin_addr) == 1 &&
                     ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     ::listen(fd, 1) == 0;
  ::close(fd);
  return bound;
}

// A free port of TestPortRange, bindable on every one of `addresses`, never
// handed out before by this process; -1 when none was found.
inline int ChooseTestPort(std::initializer_list<const char*> addresses = {"127.0.0.1"}) {
  static std::mutex mutex;
  static std::set<int> given;
  static std::mt19937 random{std::random_device{}()};
  const std::lock_guard<std::mutex> lock(mutex);
  const TPortRange range = TestPortRange(EphemeralPortRange());
  if (range.Low > range.High) return -1;
  std::uniform_int_distribution<int> pick(range.Low, range.High);
  for (int attempt = 0; attempt < 500; ++attempt) {
    const int port = pick(random);
    if (given.count(port) != 0) continue;
    bool free = true;
    for (const char* address : addresses) free = free && PortBindable(port, address);
    if (!free) continue;
    given.insert(port);
    return port;
  }
  return -1;
}
