#include "platform/client_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <mutex>

namespace {

struct TErrnoMap {
  int errnoValue;
  int winsockCode;
};

constexpr std::array<TErrnoMap, 27> kErrnoToWinsock{{
    {EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},       {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},       {ENFILE, 10024},       {EAGAIN, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},     {ENOTSOCK, 10038},     {EMSGSIZE, 10040},
    {EOPNOTSUPP, 10045},   {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},    {ECONNABORTED, 10053}, {ECONNRESET, 10054},
    {ENOBUFS, 10055},      {ENOMEM, 10055},       {EISCONN, 10056},      {ENOTCONN, 10057},
    {EPIPE, 10058},        {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
}};

bool IsRetryable(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

TIoResult FromErrno(int error, bool writing) {
  if (IsRetryable(error)) return {TIoStatus::kWouldBlock, 0, 0, writing};
  return {TIoStatus::kError, 0, WinsockErrorCode(error), false};
}

constexpr TIoResult kClosedResult{TIoStatus::kClosed, 0, 0, false};

}  // namespace

int WinsockErrorCode(int errnoValue) {
  if (errnoValue == EWOULDBLOCK) errnoValue = EAGAIN;
  for (const auto& entry : kErrnoToWinsock) {
    if (entry.errnoValue == errnoValue) return entry.winsockCode;
  }
  return errnoValue;
}

void IgnoreBrokenPipeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { signal(SIGPIPE, SIG_IGN); });
}

TClientSocket::TClientSocket(int fd, std::unique_ptr<TTlsSession> tls)
    : fd_(fd), tls_(std::move(tls)) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
      peer.sin_family == AF_INET) {
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) != nullptr) peerAddress_ = text;
    peerPort_ = ntohs(peer.sin_port);
  }
}

TClientSocket& TClientSocket::operator=(TClientSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::move(other.fd_);
    tls_ = std::move(other.tls_);
    peerAddress_ = std::move(other.peerAddress_);
    peerPort_ = other.peerPort_;
  }
  return *this;
}

TClientSocket::~TClientSocket() { Close(); }

TIoResult TClientSocket::Read(void* buffer, std::size_t capacity) {
  if (!fd_.IsOpen()) return kClosedResult;
  if (capacity == 0) return {};
  if (tls_) return tls_->Read(buffer, capacity);
  for (;;) {
    const ssize_t got = recv(fd_.Get(), buffer, capacity, 0);
    if (got > 0) return {TIoStatus::kDone, static_cast<std::size_t>(got), 0, false};
    if (got == 0) return kClosedResult;
    if (errno != EINTR) return FromErrno(errno, false);
  }
}

TIoResult TClientSocket::Write(const void* data, std::size_t length) {
  if (!fd_.IsOpen()) return kClosedResult;
  if (length == 0) return {};
  if (tls_) return tls_->Write(data, length);
  for (;;) {
    const ssize_t sent = send(fd_.Get(), data, length, MSG_NOSIGNAL);
    if (sent >= 0) return {TIoStatus::kDone, static_cast<std::size_t>(sent), 0, false};
    if (errno != EINTR) return FromErrno(errno, true);
  }
}

TIoResult TClientSocket::WriteSlices(const TIoSlice* slices, int count) {
  if (!fd_.IsOpen()) return kClosedResult;
  if (count <= 0) return {};
  if (count == 1) return Write(slices[0].data, slices[0].length);
  if (tls_) {
    // A later slice that cannot go reports what the earlier ones sent.
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) {
      const TIoResult result = tls_->Write(slices[i].data, slices[i].length);
      if (result.status != TIoStatus::kDone) return total > 0 ? TIoResult{TIoStatus::kDone, total, 0, false} : result;
      total += result.bytes;
      if (result.bytes < slices[i].length) break;
    }
    return {TIoStatus::kDone, total, 0, false};
  }
  constexpr int kMostSlices = 64;
  std::array<iovec, kMostSlices> vector{};
  const int used = count < kMostSlices ? count : kMostSlices;
  for (int i = 0; i < used; ++i) {
    vector[static_cast<std::size_t>(i)].iov_base = const_cast<void*>(slices[i].data);
    vector[static_cast<std::size_t>(i)].iov_len = slices[i].length;
  }
  msghdr message{};
  message.msg_iov = vector.data();
  message.msg_iovlen = static_cast<std::size_t>(used);
  for (;;) {
    const ssize_t sent = sendmsg(fd_.Get(), &message, MSG_NOSIGNAL);
    if (sent >= 0) return {TIoStatus::kDone, static_cast<std::size_t>(sent), 0, false};
    if (errno != EINTR) return FromErrno(errno, true);
  }
}

bool TClientSocket::HasBufferedInput() const { return tls_ && tls_->HasBufferedInput(); }

void TClientSocket::Close() {
  if (tls_) {
    if (fd_.IsOpen()) tls_->Shutdown();
    tls_.reset();
  }
  fd_.Reset();
}
