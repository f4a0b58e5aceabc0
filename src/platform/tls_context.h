#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The program's binding of the TLS library: a server context built from the
// hub's certificate and key, and the sessions made on it. The library's own
// types stay behind these classes.

// The outcome of one non-blocking transfer on a connection, plain or TLS.
enum class TIoStatus {
  kDone,        // `bytes` moved (0 only for an empty request)
  kWouldBlock,  // nothing moved; try again once the socket is ready
  kClosed,      // the peer ended the stream in order (or the socket is closed)
  kError,       // the connection is broken; `error` says why
};

struct TIoResult {
  TIoStatus status = TIoStatus::kDone;
  std::size_t bytes = 0;
  // kError: a Windows socket error code (WinsockErrorName names it); a TLS
  // protocol failure reports kTlsFailureCode.
  int error = 0;
  // kWouldBlock: the socket must become writable rather than readable before
  // the call can progress (a TLS read may need to write, and the reverse).
  bool waitWrite = false;
};

// WSAECONNABORTED: the code a broken TLS stream reports, having no errno.
inline constexpr int kTlsFailureCode = 10053;

enum class THandshakeStatus { kDone, kWantRead, kWantWrite, kFailed };

// One TLS server session over a socket it does not own. Its writes never
// raise SIGPIPE (they go out with MSG_NOSIGNAL). Partial writes are enabled
// and the data may move between retries, but after kWouldBlock a write must
// be retried with at least the bytes it was given before.
class TTlsSession {
  struct TImpl;

 public:
  // Made by TTlsServerContext::NewSession (only it can build the impl).
  explicit TTlsSession(std::unique_ptr<TImpl> impl);
  ~TTlsSession();
  TTlsSession(const TTlsSession&) = delete;
  TTlsSession& operator=(const TTlsSession&) = delete;

  // One step of the server hand-shake; never blocks.
  THandshakeStatus Accept();
  // A peer that closes without a TLS close alert reads as kClosed, as a plain
  // socket's end of stream does.
  TIoResult Read(void* buffer, std::size_t capacity);
  TIoResult Write(const void* data, std::size_t length);
  // Decrypted or received bytes held inside the session: the socket will not
  // report them as readable, so a reader that stopped early must come back.
  bool HasBufferedInput() const;
  // Sends the close alert once, best effort, when the session is healthy.
  void Shutdown();
  // "TLSv1.3" and so on, once the hand-shake is done.
  std::string ProtocolVersion() const;
  std::string CipherName() const;

 private:
  friend class TTlsServerContext;

  std::unique_ptr<TImpl> impl_;
};

// A TLS server context: TLS 1.2 at least, modern suites first with
// "AES256-SHA" kept last for old clients, no client certificates.
class TTlsServerContext {
  struct TImpl;

 public:
  // Made by InitServerContext (only it can build the impl).
  explicit TTlsServerContext(std::unique_ptr<TImpl> impl);
  ~TTlsServerContext();
  TTlsServerContext(const TTlsServerContext&) = delete;
  TTlsServerContext& operator=(const TTlsServerContext&) = delete;

  // Loads the PEM certificate (chain) and the private key, decrypting the key
  // with `password` when it is encrypted. nullptr when any step fails; then
  // `error` holds "TTlsServerContext.InitServerContext(<file>: <reason>)".
  static std::unique_ptr<TTlsServerContext> InitServerContext(const std::string& certFile,
                                                              const std::string& keyFile,
                                                              std::string_view password,
                                                              std::string& error);

  // A session on `fd` in server mode; nullptr when the library refuses one.
  // The session keeps what it needs of the context: it may outlive it.
  std::unique_ptr<TTlsSession> NewSession(int fd) const;

 private:
  std::unique_ptr<TImpl> impl_;
};
