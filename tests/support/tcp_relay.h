#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A loopback TCP relay in front of a server: clients connect to Port() and
// reach the target; Kill() closes the listener and every link at once, as a
// server process that died would (later connects are refused). Freeze()
// stops accepting, reading and forwarding but keeps every socket open, so
// clients see a host that stopped answering without stopping a server other
// tests share; Thaw() forwards what waited.
class TTcpRelay {
 public:
  explicit TTcpRelay(int targetPort) : target_(targetPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~TTcpRelay() {
    Kill();
    thread_.join();
  }
  TTcpRelay(const TTcpRelay&) = delete;
  TTcpRelay& operator=(const TTcpRelay&) = delete;

  int Port() const { return port_; }
  void Freeze() { frozen_ = true; }
  void Thaw() { frozen_ = false; }
  // Open client links.
  int Links() const { return linkCount_; }

  // Thaws on scope exit, whatever the test's outcome.
  class TThawGuard {
   public:
    explicit TThawGuard(TTcpRelay& relay) : relay_(relay) {}
    ~TThawGuard() { relay_.Thaw(); }
    TThawGuard(const TThawGuard&) = delete;
    TThawGuard& operator=(const TThawGuard&) = delete;

   private:
    TTcpRelay& relay_;
  };

  void Kill() {
    if (killed_.exchange(true)) return;
    std::lock_guard lock(mutex_);
    ::shutdown(listener_, SHUT_RDWR);
    for (const auto& [a, b] : links_) {
      ::shutdown(a, SHUT_RDWR);
      ::shutdown(b, SHUT_RDWR);
    }
  }

 private:
  int Connect() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(target_));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

  void Run() {
    std::vector<std::pair<int, int>> links;
    while (!killed_) {
      if (frozen_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const auto& [a, b] : links) {
        fds.push_back({a, POLLIN, 0});
        fds.push_back({b, POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), 50) <= 0 || frozen_) continue;
      if (killed_) break;
      if ((fds[0].revents & POLLIN) != 0) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = client >= 0 ? Connect() : -1;
        if (server >= 0) {
          std::lock_guard lock(mutex_);
          links.emplace_back(client, server);
          links_ = links;
        } else if (client >= 0) {
          ::close(client);
        }
      }
      std::vector<bool> dead(links.size(), false);
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0 || dead[(i - 1) / 2]) continue;
        const auto& link = links[(i - 1) / 2];
        const int from = fds[i].fd;
        const int to = from == link.first ? link.second : link.first;
        char buffer[16384];
        const ssize_t n = ::read(from, buffer, sizeof(buffer));
        if (n <= 0 || ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) {
          dead[(i - 1) / 2] = true;
        }
      }
      std::lock_guard lock(mutex_);
      for (std::size_t i = links.size(); i-- > 0;) {
        if (!dead[i]) continue;
        ::close(links[i].first);
        ::close(links[i].second);
        links.erase(links.begin() + static_cast<std::ptrdiff_t>(i));
      }
      links_ = links;
      linkCount_ = static_cast<int>(links.size());
    }
    std::lock_guard lock(mutex_);
    for (const auto& [a, b] : links) {
      ::close(a);
      ::close(b);
    }
    links_.clear();
    ::close(listener_);
  }

  int target_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> killed_{false};
  std::atomic<bool> frozen_{false};
  std::atomic<int> linkCount_{0};
  std::mutex mutex_;
  std::vector<std::pair<int, int>> links_;  // for Kill, under the mutex
  std::thread thread_;
};
