#include "platform/tls_handshaker.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <system_error>

#include "platform/monotonic_clock.h"
#include "platform/tls_context.h"
#include "base/exceptions.h"

namespace {

// Pause after an unexpected poll failure, so a persistent one cannot spin.
constexpr int kPollFailurePauseMs = 10;

}  // namespace

TWakeEvent::TWakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!fd_.IsOpen())
    throw ECoreSocketError("TWakeEvent.Create", std::system_category().message(errno));
}

void TWakeEvent::Signal() {
  const uint64_t one = 1;
  // Only fails when the counter is saturated, which still leaves it readable.
  [[maybe_unused]] const ssize_t ignored = write(fd_.Get(), &one, sizeof one);
}

void TWakeEvent::Drain() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t ignored = read(fd_.Get(), &count, sizeof count);
}

TTlsHandshaker::TTlsHandshaker(const TTlsServerContext& context, int port, uint64_t limitMs,
                               std::size_t maxPending, THandOn handOn)
    : context_(context),
      port_(port),
      limitMs_(limitMs),
      maxPending_(maxPending),
      handOn_(std::move(handOn)) {
  thread_ = std::thread([this] { Run(); });
}

TTlsHandshaker::~TTlsHandshaker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.Signal();
  thread_.join();
}

bool TTlsHandshaker::Add(TUniqueFd& socket, uint64_t acceptTick) {
  {
    std::lock_guard lock(mutex_);
    if (count_ >= maxPending_) return false;  // the caller keeps and closes it
    incoming_.push_back({std::move(socket), acceptTick});
    ++count_;
  }
  wake_.Signal();
  return true;
}

void TTlsHandshaker::Run() {
  std::vector<pollfd> fds;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    try {
      TakeIncoming();
      const uint64_t now = MonotonicMs();
      for (TEntry& entry : entries_) {
        if (!entry.finished && now - entry.acceptTick > limitMs_) entry.finished = true;
      }
      DropFinished();

      fds.assign(1, pollfd{wake_.Fd(), POLLIN, 0});
      for (const TEntry& entry : entries_) {
        const short events = entry.waitWrite ? POLLOUT : POLLIN;
        fds.push_back(pollfd{entry.socket.Fd(), events, 0});
      }
      const int ready = poll(fds.data(), fds.size(), PollTimeout(now));
      if (ready < 0) {
        if (errno != EINTR) poll(nullptr, 0, kPollFailurePauseMs);
        continue;
      }
      if (fds[0].revents != 0) wake_.Drain();
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents != 0) Step(entries_[i - 1]);
      }
      DropFinished();
    } catch (...) {
      // Nothing may end this thread but a stop: a failure to hand one socket
      // on (it is closed with its entry) must not strand the others.
      DropFinished();
    }
  }
}

void TTlsHandshaker::TakeIncoming() {
  std::vector<TIncoming> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(incoming_);
  }
  const std::size_t first = entries_.size();
  for (TIncoming& item : batch) {
    std::unique_ptr<TTlsSession> session = context_.NewSession(item.fd.Get());
    // Without a session the socket can speak neither TLS nor (on a TLS port)
    // plain text: it is closed rather than handed on half made.
    const bool usable = session != nullptr;
    entries_.push_back({TClientSocket(item.fd.Release(), std::move(session)), item.acceptTick,
                        false, !usable});
  }
  // The client hellos may already be waiting. Entries are all in place
  // first, so a failing hand-on cannot lose count of the others.
  for (std::size_t i = first; i < entries_.size(); ++i) {
    if (!entries_[i].finished) Step(entries_[i]);
  }
}

void TTlsHandshaker::Step(TEntry& entry) {
  switch (entry.socket.Tls()->Accept()) {
    case THandshakeStatus::kDone:
      entry.finished = true;
      handOn_(TAcceptedSocket{std::move(entry.socket), entry.acceptTick, port_});
      break;
    case THandshakeStatus::kWantRead:
      entry.waitWrite = false;
      break;
    case THandshakeStatus::kWantWrite:
      entry.waitWrite = true;
      break;
    case THandshakeStatus::kFailed:
      entry.finished = true;
      break;
  }
}

void TTlsHandshaker::DropFinished() {
  const auto first = std::remove_if(entries_.begin(), entries_.end(),
                                    [](const TEntry& entry) { return entry.finished; });
  const auto dropped = static_cast<std::size_t>(entries_.end() - first);
  entries_.erase(first, entries_.end());
  if (dropped == 0) return;
  std::lock_guard lock(mutex_);
  count_ -= dropped;
}

int TTlsHandshaker::PollTimeout(uint64_t now) const {
  if (entries_.empty()) return -1;
  uint64_t oldest = entries_.front().acceptTick;
  for (const TEntry& entry : entries_) oldest = std::min(oldest, entry.acceptTick);
  const uint64_t deadline = oldest + limitMs_ + 1;  // the first tick past the limit
  if (deadline <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(deadline - now, INT_MAX));
}
