#pragma once

#include <cstddef>
#include <cstdint>

// One non-blocking TCP socket of a simulated user, bound to its own loopback
// source address before it connects. Owns the descriptor; the only file of
// the load generator that calls the OS for sockets.
class TBotSocket {
 public:
  TBotSocket() = default;
  ~TBotSocket();
  TBotSocket(const TBotSocket&) = delete;
  TBotSocket& operator=(const TBotSocket&) = delete;

  // Binds to `sourceIp` (host order) and starts connecting to ip:port.
  // False when the socket could not be made or the connect failed at once.
  bool Connect(std::uint32_t sourceIp, std::uint32_t hubIp, std::uint16_t hubPort);
  // The result of a finished non-blocking connect: true when established.
  bool ConnectSucceeded() const;
  void Close();

  int Fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Bytes moved, 0 when the call would block, -1 when the peer closed or
  // the socket failed.
  long Read(char* buffer, std::size_t capacity);
  long Write(const char* data, std::size_t length);

 private:
  int fd_ = -1;
};

// Dotted text of a host-order IPv4 address.
void FormatIp(std::uint32_t ip, char* out, std::size_t capacity);
