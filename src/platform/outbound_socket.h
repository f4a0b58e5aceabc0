#pragma once

#include <cstddef>
#include <string>

#include "platform/unique_fd.h"

// Windows' "would block" code: what a non-blocking connect that is still in
// progress reports.
inline constexpr int kConnectInProgress = 10035;

// What a look at a socket without waiting found.
struct TReadiness {
  bool Readable = false;  // data, the peer's close or an error waits
  int Error = 0;          // the look itself failed (a Windows socket code)
};

// What a receive brought.
struct TReceived {
  std::size_t Bytes = 0;
  bool Closed = false;     // the peer closed the connection
  bool WouldBlock = false;  // nothing waited after all
  int Error = 0;           // a Windows socket code
};

// A TCP connection the hub opens itself (to a hub-list server). Owns the
// descriptor; every call returns at once and never raises SIGPIPE. Errors
// are Windows socket codes (WinsockErrorCode), for WinsockErrorName.
class TOutboundSocket {
 public:
  TOutboundSocket() = default;
  TOutboundSocket(TOutboundSocket&&) noexcept = default;
  TOutboundSocket& operator=(TOutboundSocket&&) noexcept = default;
  TOutboundSocket(const TOutboundSocket&) = delete;
  TOutboundSocket& operator=(const TOutboundSocket&) = delete;

  // Opens a non-blocking IPv4 socket and connects it to `ip`:`port`.
  // 0: connected at once; kConnectInProgress: under way; else the error,
  // and the socket is closed again.
  int Connect(const std::string& ip, int port);
  TReadiness PollReadable() const;
  TReceived Receive(void* buffer, std::size_t capacity);
  // The bytes written (all of them or fewer); -1 with `error` set.
  long Send(const void* data, std::size_t length, int& error);
  // 0 when unknown.
  int LocalPort() const;
  // Dotted IPv4 text; "" when unknown.
  std::string PeerAddress() const;

  void Close() { fd_.Reset(); }
  bool IsOpen() const { return fd_.IsOpen(); }

 private:
  TUniqueFd fd_;
};
