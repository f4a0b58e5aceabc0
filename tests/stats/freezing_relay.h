#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

// A loopback TCP relay in front of a database server that can be frozen:
// while frozen it neither accepts, reads nor forwards, but keeps every
// socket open, so the client sees a host that stopped answering (as a
// stopped server process looks) without stopping the server others share.
// Thaw() forwards what waited. Links close when either side closes.
class TFreezingRelay {
 public:
  explicit TFreezingRelay(int targetPort) : target_(targetPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(0);
    socklen_t len = sizeof(addr);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~TFreezingRelay() {
    done_ = true;
    thread_.join();
    for (const auto& [a, b] : links_) {
      ::close(a);
      ::close(b);
    }
    ::close(listener_);
  }
  TFreezingRelay(const TFreezingRelay&) = delete;
  TFreezingRelay& operator=(const TFreezingRelay&) = delete;

  int Port() const { return port_; }
  void Freeze() { frozen_ = true; }
  void Thaw() { frozen_ = false; }
  // Open client links.
  int Links() const { return linkCount_; }

  // Thaws on scope exit, whatever the test's outcome.
  class TThawGuard {
   public:
    explicit TThawGuard(TFreezingRelay& relay) : relay_(relay) {}
    ~TThawGuard() { relay_.Thaw(); }
    TThawGuard(const TThawGuard&) = delete;
    TThawGuard& operator=(const TThawGuard&) = delete;

   private:
    TFreezingRelay& relay_;
  };

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
  }

  int Connect() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = Loopback(target_);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

  void Run() {
    while (!done_) {
      if (frozen_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const auto& [a, b] : links_) {
        fds.push_back({a, POLLIN, 0});
        fds.push_back({b, POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), 20) <= 0 || frozen_) continue;
      if ((fds[0].revents & POLLIN) != 0) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = client >= 0 ? Connect() : -1;
        if (server >= 0) {
          links_.emplace_back(client, server);
        } else if (client >= 0) {
          ::close(client);
        }
      }
      std::vector<bool> dead(links_.size(), false);
      for (std::size_t i = 1; i < fds.size(); ++i) {
        const std::size_t link = (i - 1) / 2;
        if (fds[i].revents == 0 || dead[link]) continue;
        const int from = fds[i].fd;
        const int to = from == links_[link].first ? links_[link].second : links_[link].first;
        char buffer[16384];
        const ssize_t n = ::read(from, buffer, sizeof(buffer));
        if (n <= 0 || ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) {
          dead[link] = true;
        }
      }
      for (std::size_t i = dead.size(); i-- > 0;) {
        if (!dead[i]) continue;
        ::close(links_[i].first);
        ::close(links_[i].second);
        links_.erase(links_.begin() + static_cast<std::ptrdiff_t>(i));
      }
      linkCount_ = static_cast<int>(links_.size());
    }
  }

  int target_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> frozen_{false};
  std::atomic<bool> done_{false};
  std::atomic<int> linkCount_{0};
  std::vector<std::pair<int, int>> links_;  // relay thread only, until joined
  std::thread thread_;
};
