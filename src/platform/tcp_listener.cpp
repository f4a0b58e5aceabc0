#include "platform/tcp_listener.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <thread>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/monotonic_clock.h"
#include "platform/tls_context.h"
#include "platform/tls_handshaker.h"

namespace {

// Connections taken per wake-up before held ones are looked at again, so a
// steady stream of new ones cannot starve the hand-on.
constexpr int kAcceptsPerTurn = 256;
// Out of descriptors or memory: the waiting connection stays queued in the
// kernel and the listening socket stays readable; pause instead of spinning.
constexpr int kResourcePauseMs = 100;
constexpr int kPollFailurePauseMs = 10;

// Errors after which accept can simply be tried again (see accept(2)).
bool IsTransientAcceptError(int error) {
  switch (error) {
    case EAGAIN:
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

bool IsResourceError(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

// The accept side of one listening session: a thread that waits on the
// listening socket and a stop event, holds plain connections for their
// hand-on delay and gives TLS ones to the hand-shake thread it owns. Does
// not own the listening socket.
class TAcceptThread {
 public:
  struct THooks {
    std::function<void(std::vector<TAcceptedSocket>)> handOn;  // called on the thread
    std::function<void(int)> closed;                          // called on the thread
  };

  TAcceptThread(int listenFd, int port, const TTlsServerContext* tls, uint64_t handshakeLimitMs,
                const TListenerLimits& limits, std::atomic<uint64_t>& refused, THooks hooks)
      : listenFd_(listenFd),
        port_(port),
        maxHeld_(limits.MaxHeldSockets),
        refused_(refused),
        hooks_(std::move(hooks)) {
    if (tls != nullptr) {
      handshaker_ = std::make_unique<TTlsHandshaker>(
          *tls, port, handshakeLimitMs, limits.MaxPendingHandshakes, [this](TAcceptedSocket accepted) {
            std::vector<TAcceptedSocket> one;
            one.push_back(std::move(accepted));
            hooks_.handOn(std::move(one));
          });
    }
    thread_ = std::thread([this] { Run(); });
  }

  ~TAcceptThread() {
    stop_.Signal();
    thread_.join();
  }

  TAcceptThread(const TAcceptThread&) = delete;
  TAcceptThread& operator=(const TAcceptThread&) = delete;

 private:
  struct THeld {
    TUniqueFd fd;
    uint64_t acceptTick;
  };

  void Run();
  // False when the listening socket is dead; `error` says why.
  bool AcceptBurst(int& error);
  void HandOnExpired(uint64_t now);
  int PollTimeout(uint64_t now) const;

  const int listenFd_;
  const int port_;
  const std::size_t maxHeld_;
  std::atomic<uint64_t>& refused_;  // the listener's; it outlives the thread
  const THooks hooks_;
  TWakeEvent stop_;
  std::deque<THeld> held_;  // in accept order, so oldest first
  uint64_t pausedUntil_ = 0;
  std::unique_ptr<TTlsHandshaker> handshaker_;
  std::thread thread_;  // last: starts once everything above exists
};

void TAcceptThread::Run() {
  for (;;) {
    try {
      uint64_t now = MonotonicMs();
      const bool paused = now < pausedUntil_;
      pollfd fds[2] = {{stop_.Fd(), POLLIN, 0}, {listenFd_, paused ? short{0} : short{POLLIN}, 0}};
      if (poll(fds, 2, PollTimeout(now)) < 0) {
        if (errno != EINTR) poll(nullptr, 0, kPollFailurePauseMs);
        continue;
      }
      if (fds[0].revents != 0) return;
      if (fds[1].revents != 0) {
        int error = 0;
        if (!AcceptBurst(error)) {
          hooks_.closed(WinsockErrorCode(error));
          return;
        }
      }
      HandOnExpired(MonotonicMs());
    } catch (...) {
      // Posting can only fail for memory; the sockets concerned are closed
      // with their batch, and the thread carries on with the rest.
    }
  }
}

bool TAcceptThread::AcceptBurst(int& error) {
  for (int i = 0; i < kAcceptsPerTurn; ++i) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      const int failure = errno;
      if (failure == EAGAIN || failure == EWOULDBLOCK) return true;
      if (IsTransientAcceptError(failure)) continue;
      if (IsResourceError(failure)) {
        pausedUntil_ = MonotonicMs() + kResourcePauseMs;
        return true;
      }
      error = failure;
      return false;
    }
    const uint64_t tick = MonotonicMs();
    TUniqueFd socket(fd);
    bool taken = false;
    if (handshaker_) {
      taken = handshaker_->Add(socket, tick);  // takes it only when there is room
    } else if (held_.size() < maxHeld_) {
      held_.push_back({std::move(socket), tick});
      taken = true;
    }
    // Counted before `socket` closes a refused one: whoever sees the close
    // sees the count.
    if (!taken) refused_.fetch_add(1, std::memory_order_relaxed);
  }
  return true;
}

void TAcceptThread::HandOnExpired(uint64_t now) {
  std::vector<TAcceptedSocket> batch;
  while (!held_.empty() && now - held_.front().acceptTick > TListener::kHandOnDelayMs) {
    THeld& front = held_.front();
    batch.push_back({TClientSocket(front.fd.Release()), front.acceptTick, port_});
    held_.pop_front();
  }
  if (!batch.empty()) hooks_.handOn(std::move(batch));
}

int TAcceptThread::PollTimeout(uint64_t now) const {
  uint64_t wake = UINT64_MAX;
  if (!held_.empty()) wake = held_.front().acceptTick + TListener::kHandOnDelayMs + 1;
  if (now < pausedUntil_) wake = std::min(wake, pausedUntil_);
  if (wake == UINT64_MAX) return -1;
  if (wake <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(wake - now, INT_MAX));
}

// What the posted tasks hold on to: alive exactly as long as the listening
// session it stands for.
struct TListener::TSession {
  TListener* owner;
};

TListener::TListener(EventLoop& loop, int port, std::string bindAddress, bool tls,
                     TListenerLimits limits)
    : loop_(loop), port_(port), bindAddress_(std::move(bindAddress)), tls_(tls), limits_(limits) {}

TListener::~TListener() { Stop(); }

bool TListener::Listen() {
  if (listening_) return false;
  IgnoreBrokenPipeSignal();

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (port_ < 0 || port_ > 65535) return false;
  if (!bindAddress_.empty() && inet_pton(AF_INET, bindAddress_.c_str(), &address.sin_addr) != 1)
    return false;

  if (tls_ && !tlsContext_) {
    std::string error;
    tlsContext_ =
        TTlsServerContext::InitServerContext(certificateFile_, keyFile_, kKeyPassword, error);
    if (!tlsContext_ && onError_) onError_(error);
  }

  TUniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.IsOpen()) return false;
  const int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd.Get(), limits_.Backlog) != 0)
    return false;
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return false;

  servesTls_ = tls_ && tlsContext_ != nullptr;
  session_ = std::make_shared<TSession>(TSession{this});
  std::weak_ptr<TSession> weak = session_;
  EventLoop* loop = &loop_;
  TAcceptThread::THooks hooks{
      [loop, weak](std::vector<TAcceptedSocket> batch) {
        loop->Post([weak, batch = std::move(batch)]() mutable { DeliverAll(weak, std::move(batch)); });
      },
      [loop, weak](int error) { loop->Post([weak, error] { ReportClosed(weak, error); }); }};
  acceptThread_ = std::make_unique<TAcceptThread>(fd.Get(), port_, servesTls_ ? tlsContext_.get() : nullptr,
                                                   handshakeLimitMs_, limits_, refused_,
                                                   std::move(hooks));
  listenFd_ = std::move(fd);
  boundPort_ = ntohs(bound.sin_port);
  listening_ = true;
  return true;
}

bool TListener::Stop() {
  if (!listening_) return false;
  Close();
  return true;
}

void TListener::Close() {
  session_.reset();
  acceptThread_.reset();  // joins: nothing uses the socket afterwards
  listenFd_.Reset();
  boundPort_ = 0;
  listening_ = false;
  servesTls_ = false;
}

void TListener::Deliver(TAcceptedSocket accepted) {
  // A copy: the handler may destroy this listener while it runs.
  TSocketHandler handler = onSocket_;
  if (handler) handler(std::move(accepted));
}

void TListener::DeliverAll(const std::weak_ptr<TSession>& weak, std::vector<TAcceptedSocket> batch) {
  for (TAcceptedSocket& accepted : batch) {
    TListener* owner = nullptr;
    if (auto session = weak.lock()) owner = session->owner;
    if (owner == nullptr) return;  // stopped meanwhile: the rest close with `batch`
    owner->Deliver(std::move(accepted));
  }
}

void TListener::ReportClosed(const std::weak_ptr<TSession>& weak, int error) {
  TListener* owner = nullptr;
  if (auto session = weak.lock()) owner = session->owner;
  if (owner == nullptr) return;  // stopped on purpose: no report
  owner->Close();
  TClosedHandler handler = owner->onClosed_;
  if (handler) handler(error, *owner);
}
