#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

#include "core/protocol.h"
#include "platform/event_loop.h"
#include "support/loop_runner.h"

// "$Key ...|" answering the "$Lock" in what a client received.
inline std::string KeyFor(std::string_view received) {
  const std::size_t start = received.find("$Lock ");
  const std::size_t end = received.find(" Pk=", start);
  return "$Key " + TProtocol::KeyOfLock(received.substr(start + 6, end - start - 6)) + "|";
}

// A scripted NMDC client for tests: one non-blocking socket to the hub, the
// bytes received so far, and waits that run the hub's event loop on the
// same thread meanwhile. Owns its socket.
class TNmdcTestClient {
 public:
  TNmdcTestClient() = default;
  explicit TNmdcTestClient(int fd) : fd_(fd) {}  // a connected non-blocking socket
  ~TNmdcTestClient() { Close(); }
  TNmdcTestClient(const TNmdcTestClient&) = delete;
  TNmdcTestClient& operator=(const TNmdcTestClient&) = delete;

  // Connects to 127.0.0.1:port; false on failure.
  bool Connect(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int rc = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return rc == 0 || errno == EINPROGRESS;
  }

  // Connects, waits for the lock, answers it and asks for `nick`.
  bool Greet(EventLoop& loop, int port, const std::string& nick) {
    return Connect(port) && WaitFor(loop, " Pk=") &&
           Send(KeyFor(received_) + "$ValidateNick " + nick + "|");
  }

  // Writes all of `bytes` (small test messages fit the socket buffer).
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  // Takes whatever has arrived; notes the end of the stream.
  void Poll() {
    char block[65536];
    for (;;) {
      const ssize_t got = recv(fd_, block, sizeof block, 0);
      if (got > 0) {
        received_.append(block, static_cast<std::size_t>(got));
        continue;
      }
      if (got == 0) closed_ = true;
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) closed_ = true;
      return;
    }
  }

  bool WaitFor(EventLoop& loop, std::string_view needle,
               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    return RunLoopUntil(loop, [&] {
      Poll();
      return received_.find(needle) != std::string::npos;
    }, limit);
  }

  bool WaitClosed(EventLoop& loop, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    return RunLoopUntil(loop, [&] {
      Poll();
      return closed_;
    }, limit);
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  const std::string& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  bool Closed() const { return closed_; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::string received_;
  bool closed_ = false;
};
