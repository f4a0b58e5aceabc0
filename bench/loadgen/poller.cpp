#include "poller.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/exceptions.h"

namespace {

constexpr int kMaxEvents = 1024;

epoll_event EventFor(std::uint32_t token, bool wantWrite) {
  epoll_event e{};
  e.events = EPOLLIN | EPOLLRDHUP | (wantWrite ? EPOLLOUT : 0u);
  e.data.u32 = token;
  return e;
}

}  // namespace

TPoller::TPoller() : raw_(sizeof(epoll_event) * kMaxEvents) {
  fd_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (fd_ < 0) throw EKavroException("TPoller.Create", std::strerror(errno));
}

TPoller::~TPoller() {
  if (fd_ >= 0) ::close(fd_);
}

void TPoller::Add(int fd, std::uint32_t token, bool wantWrite) {
  epoll_event e = EventFor(token, wantWrite);
  if (::epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &e) != 0) {
    throw EKavroException("TPoller.Add", std::strerror(errno));
  }
}

void TPoller::Modify(int fd, std::uint32_t token, bool wantWrite) {
  epoll_event e = EventFor(token, wantWrite);
  if (::epoll_ctl(fd_, EPOLL_CTL_MOD, fd, &e) != 0) {
    throw EKavroException("TPoller.Modify", std::strerror(errno));
  }
}

void TPoller::Remove(int fd) { ::epoll_ctl(fd_, EPOLL_CTL_DEL, fd, nullptr); }

int TPoller::Wait(int timeoutMs, std::vector<TEvent>& events) {
  auto* raw = reinterpret_cast<epoll_event*>(raw_.data());
  int n = ::epoll_wait(fd_, raw, kMaxEvents, timeoutMs);
  if (n < 0) n = 0;  // EINTR: the caller simply loops
  events.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::uint32_t flags = raw[i].events;
    events[static_cast<std::size_t>(i)] = {raw[i].data.u32, (flags & (EPOLLIN | EPOLLRDHUP)) != 0,
                                           (flags & EPOLLOUT) != 0,
                                           (flags & (EPOLLERR | EPOLLHUP)) != 0};
  }
  return n;
}
