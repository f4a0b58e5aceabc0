#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

// The key a hub-list server expects: the clients' lock-to-key rule with the
// two bytes of the hub's port (as the server sees it) in place of 5.
// Written apart from the hub's code so that the two check each other.
inline std::string ExpectedHubListKey(std::string_view lock, int hubPort) {
  const std::size_t n = lock.size();
  std::string key(n, '\0');
  const auto at = [&lock](std::size_t i) { return static_cast<unsigned char>(lock[i]); };
  for (std::size_t i = 1; i < n; ++i) key[i] = static_cast<char>(at(i) ^ at(i - 1));
  key[0] = static_cast<char>(at(0) ^ at(n - 1) ^ at(n - 2) ^ (((hubPort >> 8) + hubPort) & 0xFF));
  std::string out;
  for (char& c : key) {
    const auto b = static_cast<unsigned char>(c);
    const auto swapped = static_cast<unsigned char>(((b << 4) | (b >> 4)) & 0xFF);
    if (swapped == 0 || swapped == 5 || swapped == 36 || swapped == 96 || swapped == 124 ||
        swapped == 126) {
      char escape[16];
      std::snprintf(escape, sizeof escape, "/%%DCN%03d%%/", swapped);
      out += escape;
    } else {
      out += static_cast<char>(swapped);
    }
  }
  return out;
}

// A hub-list server on a loopback port that takes one connection and runs
// a script over it on its own thread. What the script records is read
// after Join().
class TFakeHubListServer {
 public:
  using TLimit = std::chrono::milliseconds;
  using TScript = std::function<void(TFakeHubListServer& server, int fd)>;

  explicit TFakeHubListServer(TScript script, TLimit acceptLimit = TLimit(10000)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listenFd_, 4);
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, script = std::move(script), acceptLimit] {
      pollfd entry{listenFd_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(acceptLimit.count())) <= 0) return;
      sockaddr_in peer{};
      socklen_t peerLength = sizeof peer;
      const int fd = ::accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLength);
      if (fd < 0) return;
      Accepted = true;
      PeerPort = ntohs(peer.sin_port);
      script(*this, fd);
      ::close(fd);
    });
  }
  ~TFakeHubListServer() {
    Join();
    ::close(listenFd_);
  }
  TFakeHubListServer(const TFakeHubListServer&) = delete;
  TFakeHubListServer& operator=(const TFakeHubListServer&) = delete;

  int Port() const { return port_; }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  // Script helpers, on the server's thread.
  static void Send(int fd, std::string_view text) {
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  }
  // Reads until `bars` '|' arrived, the peer closed or `limit` passed.
  std::string ReadBars(int fd, int bars, TLimit limit) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::count(text.begin(), text.end(), '|') < bars) {
      if (!ReadSome(fd, text, end)) break;
    }
    return text;
  }
  // True when the peer closed within `limit`; what came first goes to
  // `extra`.
  bool WaitClosed(int fd, TLimit limit, std::string& extra) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (ReadSome(fd, extra, end)) {
    }
    return PeerClosed;
  }

  // Set by the thread, read after Join().
  bool Accepted = false;
  int PeerPort = 0;
  bool PeerClosed = false;
  std::string Line;
  std::string Extra;
  std::chrono::steady_clock::time_point ClosedAt{};

 private:
  bool ReadSome(int fd, std::string& text, std::chrono::steady_clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) {
      PeerClosed = true;
      ClosedAt = std::chrono::steady_clock::now();
      return false;
    }
    text.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  int listenFd_ = -1;
  int port_ = 0;
  std::thread thread_;
};
