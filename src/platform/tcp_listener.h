#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/client_socket.h"

class EventLoop;

// The bounds of one listener; tests lower them to reach them.
struct TListenerLimits {
  // Every user of a full hub reconnects within the hold after a restart.
  std::size_t MaxHeldSockets = 16384;
  // Each pending hand-shake holds a TLS session: a flood of silent clients
  // must not grow memory without end.
  std::size_t MaxPendingHandshakes = 1024;
  // The hub serves thousands of users; a burst of reconnects after a
  // restart must not overflow the kernel's accept queue (the kernel caps it
  // at net.core.somaxconn).
  int Backlog = 4096;
};

class TAcceptThread;
class TTlsServerContext;

// One port the hub serves: the listening socket, the accept thread that
// takes new connections off it and, on a TLS port, the TLS server context
// and hand-shake thread. Accepted sockets reach the hub core on the loop's
// thread as TAcceptedSocket (OnSocket). Owns the listening socket, the
// threads and every socket not yet handed on; owns nothing handed on.
//
// A plain connection is held for more than kHandOnDelayMs after accept
// before it is handed on (a client that speaks first, during the hold, is
// the hub core's early-data case); a TLS one is handed on as soon as its
// hand-shake finishes. At most MaxHeldSockets plain connections are held and
// MaxPendingHandshakes TLS ones shaking hands: under a flood, new ones
// beyond that are closed at once and counted (Refused).
//
// Threads: everything here belongs to the loop's thread. The loop must
// outlive the listener. Handlers run on the loop's thread, never after Stop
// for anything of the stopped listening session (sockets still on their way
// are closed), and may Stop, Listen again or destroy the listener.
class TListener {
 public:
  using TSocketHandler = std::function<void(TAcceptedSocket accepted)>;
  // `error` is a Windows socket error code (WinsockErrorName names it).
  using TClosedHandler = std::function<void(int error, TListener& listener)>;
  using TErrorHandler = std::function<void(const std::string& line)>;

  static constexpr uint64_t kHandOnDelayMs = 1000;
  static constexpr uint64_t kHandshakeLimitMs = 20000;
  // The fixed password of the hub's TLS key.
  static constexpr const char* kKeyPassword = "vindle";

  // `bindAddress` is a dotted IPv4 address, or "" for all local addresses.
  // `tls`: the port speaks TLS (when the certificate can be loaded).
  TListener(EventLoop& loop, int port, std::string bindAddress, bool tls,
            TListenerLimits limits = {});
  ~TListener();  // Stop, without a report
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  void SetOnSocket(TSocketHandler handler) { onSocket_ = std::move(handler); }
  // Called when the listening socket dies while listening; the listener is
  // then closed already and may Listen again.
  void SetOnClosed(TClosedHandler handler) { onClosed_ = std::move(handler); }
  // Error-feed lines: a TLS certificate or key that cannot be used.
  void SetOnError(TErrorHandler handler) { onError_ = std::move(handler); }
  // How long a TLS client may take from accept to the end of its hand-shake.
  void SetHandshakeLimit(uint64_t limitMs) { handshakeLimitMs_ = limitMs; }
  // The PEM certificate and its key for a TLS port.
  void SetTlsFiles(std::string certificateFile, std::string keyFile) {
    certificateFile_ = std::move(certificateFile);
    keyFile_ = std::move(keyFile);
  }

  // Opens the port. False when already listening, or when the socket cannot
  // be made, bound (port in use, bad address) or listened on. On a TLS port
  // the context is made from the TLS files on first use; when that fails
  // the error goes to
  // OnError and the port is served in plain text (ServesTls() is false);
  // the next Listen tries again. Also ignores SIGPIPE process-wide
  // (IgnoreBrokenPipeSignal), beside the MSG_NOSIGNAL of every write here.
  bool Listen();
  // Closes the port and drops every socket not yet handed on. False when not
  // listening. Reports nothing.
  bool Stop();

  int Port() const { return port_; }
  // The port actually bound (differs from Port() when that is 0); 0 when
  // not listening.
  int BoundPort() const { return boundPort_; }
  const std::string& BindAddress() const { return bindAddress_; }
  bool Tls() const { return tls_; }
  bool ServesTls() const { return listening_ && servesTls_; }
  bool Listening() const { return listening_; }
  int Socket() const { return listenFd_.Get(); }  // -1 when closed
  // Connections closed at once because a cap was reached, since creation.
  uint64_t Refused() const { return refused_.load(std::memory_order_relaxed); }

 private:
  struct TSession;

  void Close();
  void Deliver(TAcceptedSocket accepted);
  static void DeliverAll(const std::weak_ptr<TSession>& weak, std::vector<TAcceptedSocket> batch);
  static void ReportClosed(const std::weak_ptr<TSession>& weak, int error);

  EventLoop& loop_;
  const int port_;
  const std::string bindAddress_;
  const bool tls_;
  const TListenerLimits limits_;
  uint64_t handshakeLimitMs_ = kHandshakeLimitMs;
  std::string certificateFile_;
  std::string keyFile_;
  std::atomic<uint64_t> refused_{0};  // counted on the accept thread
  TSocketHandler onSocket_;
  TClosedHandler onClosed_;
  TErrorHandler onError_;

  std::unique_ptr<TTlsServerContext> tlsContext_;  // made on first TLS use
  TUniqueFd listenFd_;
  int boundPort_ = 0;
  bool listening_ = false;
  bool servesTls_ = false;
  // Identifies the current listening session to the tasks the threads post:
  // a task whose session is gone (Stop, closed, destroyed) does nothing.
  std::shared_ptr<TSession> session_;
  std::unique_ptr<TAcceptThread> acceptThread_;  // after what it uses
};
