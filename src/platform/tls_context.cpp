#include "platform/tls_context.h"

#include <errno.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>

#include "platform/client_socket.h"

namespace {

// Modern TLS 1.2 suites in order of preference, then the one suite old
// clients of the protocol are known to offer.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305:"
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "DHE-RSA-AES256-GCM-SHA384:DHE-RSA-AES128-GCM-SHA256:"
    "AES256-SHA";
constexpr const char* kTls13Suites =
    "TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256:TLS_AES_128_GCM_SHA256";

struct TCtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct TSslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// The library's queued errors as one line; empties the queue.
std::string TakeErrors() {
  std::string text;
  char line[256];
  while (unsigned long code = ERR_get_error()) {
    ERR_error_string_n(code, line, sizeof line);
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text.empty() ? std::string("unknown error") : text;
}

// The socket end of a session: its descriptor and the errno of the last
// failed transfer (the library may touch errno on its way back to us).
struct TSocketLink {
  int fd = -1;
  int lastErrno = 0;
};

bool IsRetryable(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

int LinkWrite(BIO* bio, const char* data, int length) {
  auto* link = static_cast<TSocketLink*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  const ssize_t sent = send(link->fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<int>(sent);
  link->lastErrno = errno;
  if (IsRetryable(link->lastErrno)) BIO_set_retry_write(bio);
  return -1;
}

int LinkRead(BIO* bio, char* buffer, int capacity) {
  auto* link = static_cast<TSocketLink*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  const ssize_t got = recv(link->fd, buffer, static_cast<size_t>(capacity), 0);
  if (got >= 0) return static_cast<int>(got);
  link->lastErrno = errno;
  if (IsRetryable(link->lastErrno)) BIO_set_retry_read(bio);
  return -1;
}

long LinkCtrl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int LinkCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// A BIO over a socket that sends with MSG_NOSIGNAL: the library's own socket
// BIO would let a write to a vanished peer raise SIGPIPE. Made once, kept for
// the life of the process.
BIO_METHOD* LinkMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m =
        BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "kavro socket");
    if (m == nullptr) return m;
    BIO_meth_set_write(m, LinkWrite);
    BIO_meth_set_read(m, LinkRead);
    BIO_meth_set_ctrl(m, LinkCtrl);
    BIO_meth_set_create(m, LinkCreate);
    return m;
  }();
  return method;
}

// Key passwords come only from the context's configuration, never from a
// prompt on the terminal (the library's default when none is set).
int PasswordCallback(char* buffer, int size, int, void* userdata) {
  if (userdata == nullptr || size <= 0) return 0;
  const auto* password = static_cast<const std::string*>(userdata);
  const int length = static_cast<int>(std::min<std::size_t>(password->size(), static_cast<std::size_t>(size)));
  password->copy(buffer, static_cast<std::size_t>(length));
  return length;
}

int ClampLength(std::size_t length) {
  return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

}  // namespace

struct TTlsSession::TImpl {
  std::unique_ptr<SSL, TSslFree> ssl;
  TSocketLink link;
  bool broken = false;  // a fatal error happened: no close alert may be sent
  bool shutDown = false;
};

struct TTlsServerContext::TImpl {
  std::unique_ptr<SSL_CTX, TCtxFree> ctx;
};

TTlsSession::TTlsSession(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TTlsSession::~TTlsSession() = default;

namespace {

// Turns a failed library call into a result. `ret` is the call's return value.
TIoResult Classify(SSL* ssl, int ret, int lastErrno, bool& broken) {
  TIoResult result;
  switch (SSL_get_error(ssl, ret)) {
    case SSL_ERROR_WANT_READ:
      result.status = TIoStatus::kWouldBlock;
      break;
    case SSL_ERROR_WANT_WRITE:
      result.status = TIoStatus::kWouldBlock;
      result.waitWrite = true;
      break;
    case SSL_ERROR_ZERO_RETURN:
      result.status = TIoStatus::kClosed;
      break;
    case SSL_ERROR_SYSCALL:
      broken = true;
      result.status = lastErrno == 0 ? TIoStatus::kClosed : TIoStatus::kError;
      result.error = lastErrno == 0 ? 0 : WinsockErrorCode(lastErrno);
      break;
    default:  // SSL_ERROR_SSL and anything the library may add later
      broken = true;
      result.status = TIoStatus::kError;
      result.error = kTlsFailureCode;
      break;
  }
  ERR_clear_error();
  return result;
}

}  // namespace

THandshakeStatus TTlsSession::Accept() {
  if (impl_->broken) return THandshakeStatus::kFailed;
  ERR_clear_error();
  impl_->link.lastErrno = 0;
  const int ret = SSL_accept(impl_->ssl.get());
  if (ret == 1) return THandshakeStatus::kDone;
  const TIoResult result = Classify(impl_->ssl.get(), ret, impl_->link.lastErrno, impl_->broken);
  if (result.status != TIoStatus::kWouldBlock) {
    impl_->broken = true;
    return THandshakeStatus::kFailed;
  }
  return result.waitWrite ? THandshakeStatus::kWantWrite : THandshakeStatus::kWantRead;
}

TIoResult TTlsSession::Read(void* buffer, std::size_t capacity) {
  if (capacity == 0) return {};
  if (impl_->broken) return {TIoStatus::kError, 0, kTlsFailureCode, false};
  ERR_clear_error();
  impl_->link.lastErrno = 0;
  const int ret = SSL_read(impl_->ssl.get(), buffer, ClampLength(capacity));
  if (ret > 0) return {TIoStatus::kDone, static_cast<std::size_t>(ret), 0, false};
  return Classify(impl_->ssl.get(), ret, impl_->link.lastErrno, impl_->broken);
}

TIoResult TTlsSession::Write(const void* data, std::size_t length) {
  if (length == 0) return {};
  if (impl_->broken) return {TIoStatus::kError, 0, kTlsFailureCode, false};
  ERR_clear_error();
  impl_->link.lastErrno = 0;
  const int ret = SSL_write(impl_->ssl.get(), data, ClampLength(length));
  if (ret > 0) return {TIoStatus::kDone, static_cast<std::size_t>(ret), 0, false};
  return Classify(impl_->ssl.get(), ret, impl_->link.lastErrno, impl_->broken);
}

bool TTlsSession::HasBufferedInput() const { return SSL_has_pending(impl_->ssl.get()) == 1; }

void TTlsSession::Shutdown() {
  if (impl_->broken || impl_->shutDown || SSL_is_init_finished(impl_->ssl.get()) != 1) return;
  impl_->shutDown = true;
  ERR_clear_error();
  SSL_shutdown(impl_->ssl.get());  // one non-blocking try; the socket closes next
  ERR_clear_error();
}

std::string TTlsSession::ProtocolVersion() const { return SSL_get_version(impl_->ssl.get()); }

std::string TTlsSession::CipherName() const {
  const char* name = SSL_get_cipher_name(impl_->ssl.get());
  return name == nullptr ? std::string() : std::string(name);
}

TTlsServerContext::TTlsServerContext(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TTlsServerContext::~TTlsServerContext() = default;

std::unique_ptr<TTlsServerContext> TTlsServerContext::InitServerContext(
    const std::string& certFile, const std::string& keyFile, std::string_view password,
    std::string& error) {
  ERR_clear_error();
  auto fail = [&error](const std::string& subject) {
    error = "TTlsServerContext.InitServerContext(" + subject + ": " + TakeErrors() + ")";
    return nullptr;
  };
  auto impl = std::make_unique<TImpl>();
  impl->ctx.reset(SSL_CTX_new(TLS_server_method()));
  SSL_CTX* ctx = impl->ctx.get();
  if (ctx == nullptr) return fail("context");
  if (SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1) return fail("protocol version");
  if (SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) != 1) return fail("cipher list");
  if (SSL_CTX_set_ciphersuites(ctx, kTls13Suites) != 1) return fail("cipher suites");
  SSL_CTX_set_options(ctx, SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION |
                               SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_dh_auto(ctx, 1);
  // Thousands of idle connections: buffers are released between records.
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                            SSL_MODE_RELEASE_BUFFERS);
  if (SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1) return fail(certFile);
  std::string secret(password);
  SSL_CTX_set_default_passwd_cb(ctx, PasswordCallback);
  SSL_CTX_set_default_passwd_cb_userdata(ctx, &secret);
  const bool keyLoaded = SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
  SSL_CTX_set_default_passwd_cb_userdata(ctx, nullptr);  // `secret` dies here
  if (!keyLoaded) return fail(keyFile);
  if (SSL_CTX_check_private_key(ctx) != 1) return fail(keyFile + " does not match " + certFile);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
  if (LinkMethod() == nullptr) return fail("socket BIO");
  ERR_clear_error();
  error.clear();
  return std::make_unique<TTlsServerContext>(std::move(impl));
}

std::unique_ptr<TTlsSession> TTlsServerContext::NewSession(int fd) const {
  ERR_clear_error();
  auto impl = std::make_unique<TTlsSession::TImpl>();
  impl->link.fd = fd;
  impl->ssl.reset(SSL_new(impl_->ctx.get()));
  BIO* bio = impl->ssl ? BIO_new(LinkMethod()) : nullptr;
  if (bio == nullptr) {
    ERR_clear_error();
    return nullptr;
  }
  BIO_set_data(bio, &impl->link);  // the link lives in the heap-held impl: it never moves
  SSL_set_bio(impl->ssl.get(), bio, bio);  // the session now owns the BIO
  SSL_set_accept_state(impl->ssl.get());
  return std::make_unique<TTlsSession>(std::move(impl));
}
