#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/io_slice.h"
#include "platform/tls_context.h"
#include "platform/unique_fd.h"

// Socket errors are reported under their Windows names (WinsockErrorName);
// this maps an errno value onto those codes. Values without a Windows
// counterpart come back unchanged.
int WinsockErrorCode(int errnoValue);

// Makes a write to a socket whose peer has gone fail with EPIPE instead of
// ending the process. Every socket write of this layer already passes
// MSG_NOSIGNAL; this covers any other writer. Safe to call more than once.
void IgnoreBrokenPipeSignal();

// A connection's socket: owns the descriptor and, on a TLS port, the TLS
// session over it. Reads and writes never block and never raise SIGPIPE;
// their outcomes are classified (TIoResult). Used by one thread at a time.
class TClientSocket {
 public:
  TClientSocket() = default;
  // Takes ownership of `fd`, a connected non-blocking IPv4 stream socket,
  // and of `tls` (a finished hand-shake over it) when given.
  explicit TClientSocket(int fd, std::unique_ptr<TTlsSession> tls = nullptr);
  TClientSocket(TClientSocket&& other) noexcept = default;
  TClientSocket& operator=(TClientSocket&& other) noexcept;
  TClientSocket(const TClientSocket&) = delete;
  TClientSocket& operator=(const TClientSocket&) = delete;
  ~TClientSocket();

  // Receives at most `capacity` bytes. A reader fills its buffer by calling
  // until kWouldBlock or the buffer is full; with a full buffer it must come
  // back while HasBufferedInput() holds, since no readiness will say so.
  TIoResult Read(void* buffer, std::size_t capacity);
  // Sends at most `length` bytes; kDone may report fewer.
  TIoResult Write(const void* data, std::size_t length);
  // Sends the slices in order as one stream, in one system call on a plain
  // socket (one TLS record write per slice over TLS); kDone may report
  // fewer bytes than given, and then the rest was not sent.
  TIoResult WriteSlices(const TIoSlice* slices, int count);
  bool HasBufferedInput() const;

  // Ends the TLS session (close alert, best effort) and closes the socket.
  // Reads and writes afterwards report kClosed.
  void Close();

  bool IsOpen() const { return fd_.IsOpen(); }
  int Fd() const { return fd_.Get(); }  // for readiness watches only
  bool IsTls() const { return tls_ != nullptr; }
  TTlsSession* Tls() const { return tls_.get(); }
  // Dotted IPv4 address and port of the peer; "" and 0 when unknown.
  const std::string& PeerAddress() const { return peerAddress_; }
  uint16_t PeerPort() const { return peerPort_; }

 private:
  TUniqueFd fd_;
  std::unique_ptr<TTlsSession> tls_;  // declared after fd_: goes first
  std::string peerAddress_;
  uint16_t peerPort_ = 0;
};

// An accepted connection on its way from a listener to the hub core. Owns
// the socket (and TLS session); dropping it closes them.
struct TAcceptedSocket {
  TClientSocket socket;
  uint64_t acceptTick = 0;  // MonotonicMs() when the connection was accepted
  int listenerPort = 0;     // the configured port (the hub core's key) of its listener
};
