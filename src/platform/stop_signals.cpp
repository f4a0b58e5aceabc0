#include "platform/stop_signals.h"

#include <errno.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <system_error>

#include "base/exceptions.h"

struct TStopSignals::TState {
  sigset_t stopSet{};
  sigset_t previousMask{};
  int fd = -1;

  ~TState() {
    if (fd >= 0) close(fd);
  }
};

namespace {

[[noreturn]] void ThrowErrno(int error) {
  throw EKavroException("TStopSignals.Create", std::system_category().message(error));
}

std::string SignalName(unsigned signo) {
  if (signo == SIGINT) return "SIGINT";
  if (signo == SIGTERM) return "SIGTERM";
  return "signal " + std::to_string(signo);
}

}  // namespace

TStopSignals::TStopSignals(EventLoop& loop, THandler handler)
    : handler_(std::move(handler)), state_(std::make_unique<TState>()) {
  sigemptyset(&state_->stopSet);
  sigaddset(&state_->stopSet, SIGINT);
  sigaddset(&state_->stopSet, SIGTERM);
  const int blocked = pthread_sigmask(SIG_BLOCK, &state_->stopSet, &state_->previousMask);
  if (blocked != 0) ThrowErrno(blocked);
  state_->fd = signalfd(-1, &state_->stopSet, SFD_NONBLOCK | SFD_CLOEXEC);
  if (state_->fd < 0) {
    const int error = errno;
    pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
    ThrowErrno(error);
  }
  watch_ = loop.Watch(state_->fd, ioRead, [this](unsigned) { OnReadable(); });
}

TStopSignals::~TStopSignals() {
  watch_.Remove();
  pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
}

void TStopSignals::OnReadable() {
  signalfd_siginfo info{};
  for (;;) {
    const ssize_t got = read(state_->fd, &info, sizeof info);
    if (got != static_cast<ssize_t>(sizeof info)) return;  // drained (EAGAIN) or interrupted
    if (handler_) handler_(SignalName(info.ssi_signo));
  }
}

bool StopSignalPending() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}
