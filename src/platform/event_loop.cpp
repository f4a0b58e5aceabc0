#include "platform/event_loop.h"

#include <errno.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/monotonic_clock.h"
#include "base/exceptions.h"

namespace {

constexpr uint64_t kWakeId = 0;  // epoll tag of the eventfd; watch ids start at 1
constexpr uint64_t kTimerFdId = UINT64_MAX;  // epoll tag of the timerfd of an outside drive
constexpr int kMaxEventsPerTurn = 256;

[[noreturn]] void ThrowErrno(const char* where, int error) {
  throw EKavroException(where, std::system_category().message(error));
}

// Owns one descriptor.
class TUniqueFd {
 public:
  explicit TUniqueFd(int fd) : fd_(fd) {}
  ~TUniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

int CreateEpoll() {
  const int fd = epoll_create1(EPOLL_CLOEXEC);
  if (fd < 0) ThrowErrno("EventLoop.Create", errno);
  return fd;
}

int CreateEventFd() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) ThrowErrno("EventLoop.Create", errno);
  return fd;
}

uint32_t ToEpoll(unsigned interest) {
  uint32_t events = 0;
  if (interest & ioRead) events |= EPOLLIN | EPOLLRDHUP;
  if (interest & ioWrite) events |= EPOLLOUT;
  return events;
}

unsigned FromEpoll(uint32_t events) {
  unsigned flags = 0;
  if (events & (EPOLLIN | EPOLLPRI)) flags |= ioRead;
  if (events & EPOLLOUT) flags |= ioWrite;
  if (events & (EPOLLHUP | EPOLLRDHUP)) flags |= ioHangUp;
  if (events & EPOLLERR) flags |= ioError;
  return flags;
}

}  // namespace

struct TEventLoopImpl {
  struct TTimerState {
    uint64_t intervalMs = 1;
    uint64_t armSeq = 0;  // matches the heap entry that is current; 0 = not armed
    bool repeating = false;
    // Shared so a handler that destroys its own timer keeps running safely.
    std::shared_ptr<std::function<void()>> handler;
  };
  struct THeapEntry {
    uint64_t deadline;
    uint64_t seq;  // arming order: equal deadlines fire in the order armed
    uint64_t id;
  };
  struct TWatchState {
    int fd = -1;
    unsigned interest = 0;
    bool registered = false;
    std::shared_ptr<std::function<void(unsigned)>> handler;
  };

  TUniqueFd epollFd{CreateEpoll()};
  TUniqueFd wakeFd{CreateEventFd()};

  std::mutex postMutex;
  std::deque<TTask> posted;
  std::atomic<bool> stopRequested{false};

  std::atomic<bool> running{false};  // read by CheckThread on any thread
  std::thread::id loopThread = std::this_thread::get_id();
  EventLoop::TErrorHandler onError;

  std::unordered_map<uint64_t, TTimerState> timers;
  std::vector<THeapEntry> heap;  // min-heap with lazy deletion of stale entries
  uint64_t nextTimerId = 1;
  uint64_t nextSeq = 1;
  std::size_t armedCount = 0;

  std::unordered_map<uint64_t, TWatchState> watches;
  uint64_t nextWatchId = kWakeId + 1;
  std::vector<epoll_event> events = std::vector<epoll_event>(kMaxEventsPerTurn);

  // Driven from outside (Descriptor): a timerfd in the epoll set, armed to
  // the earliest deadline, makes the epoll descriptor readable when a timer
  // is due, so the outer loop needs no timeout of its own.
  int timerFd = -1;
  uint64_t timerFdDeadline = 0;  // what the timerfd is armed to; 0 = disarmed
  bool inTurn = false;

  ~TEventLoopImpl() {
    if (timerFd >= 0) close(timerFd);
  }

  void EnableTimerFd() {
    if (timerFd >= 0) return;
    timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timerFd < 0) ThrowErrno("EventLoop.Descriptor", errno);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kTimerFdId;
    if (epoll_ctl(epollFd.Get(), EPOLL_CTL_ADD, timerFd, &ev) != 0) {
      const int error = errno;
      close(timerFd);
      timerFd = -1;
      ThrowErrno("EventLoop.Descriptor", error);
    }
    RearmTimerFd();
  }

  // Absolute CLOCK_MONOTONIC time, the clock MonotonicMs reads.
  void SetTimerFd(uint64_t deadlineMs) {
    itimerspec due{};  // all zero disarms
    if (deadlineMs != 0) {
      due.it_value.tv_sec = static_cast<time_t>(deadlineMs / 1000);
      due.it_value.tv_nsec = static_cast<long>((deadlineMs % 1000) * 1000000);
    }
    if (timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &due, nullptr) != 0)
      ThrowErrno("EventLoop.RunReady", errno);
    timerFdDeadline = deadlineMs;
  }

  void RearmTimerFd() {
    if (timerFd < 0) return;
    PopStale();
    // A deadline of 0 would disarm: the earliest possible one is 1 ms.
    const uint64_t deadline = heap.empty() ? 0 : std::max<uint64_t>(heap.front().deadline, 1);
    if (deadline != timerFdDeadline) SetTimerFd(deadline);
  }

  void DrainTimerFd() {
    uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = read(timerFd, &expirations, sizeof expirations);
    timerFdDeadline = 0;  // fired: a disarmed timerfd, re-armed after the turn
  }

  TEventLoopImpl() {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeId;
    if (epoll_ctl(epollFd.Get(), EPOLL_CTL_ADD, wakeFd.Get(), &ev) != 0)
      ThrowErrno("EventLoop.Create", errno);
  }

  void CheckThread() const {
    KAVRO_CHECK(!running || std::this_thread::get_id() == loopThread,
                "EventLoop used outside its thread");
  }

  // ---- errors -------------------------------------------------------------

  template <class Fn>
  void Guard(Fn&& fn) {
    try {
      fn();
    } catch (...) {
      if (!onError) throw;
      onError(std::current_exception());
    }
  }

  // ---- posted tasks -------------------------------------------------------

  void Wake() {
    const uint64_t one = 1;
    // EAGAIN means the counter is already non-zero: the loop is awake anyway.
    [[maybe_unused]] const ssize_t n = write(wakeFd.Get(), &one, sizeof one);
  }

  void DrainWake() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(wakeFd.Get(), &count, sizeof count);
  }

  bool HasPosted() {
    std::lock_guard lock(postMutex);
    return !posted.empty();
  }

  void RunPosted() {
    std::deque<TTask> batch;
    {
      std::lock_guard lock(postMutex);
      batch.swap(posted);
    }
    while (!batch.empty()) {
      TTask task = std::move(batch.front());
      batch.pop_front();
      try {
        Guard(task);
      } catch (...) {
        // Keep the tasks not yet run ahead of those posted meanwhile.
        std::lock_guard lock(postMutex);
        for (auto& later : posted) batch.push_back(std::move(later));
        posted.swap(batch);
        throw;
      }
    }
  }

  // ---- timers -------------------------------------------------------------

  static bool Later(const THeapEntry& a, const THeapEntry& b) {
    return a.deadline != b.deadline ? a.deadline > b.deadline : a.seq > b.seq;
  }

  bool IsCurrent(const THeapEntry& entry) const {
    const auto it = timers.find(entry.id);
    return it != timers.end() && it->second.armSeq == entry.seq;
  }

  void Arm(uint64_t id, TTimerState& timer, uint64_t now) {
    if (timer.armSeq == 0) ++armedCount;
    timer.armSeq = nextSeq++;
    heap.push_back({now + timer.intervalMs, timer.armSeq, id});
    std::push_heap(heap.begin(), heap.end(), Later);
    if (heap.size() > 2 * armedCount + 64) Compact();
    // Outside a turn nobody re-arms later: an earlier deadline must reach
    // the timerfd now. Inside one, the turn's end does it.
    const uint64_t deadline = now + timer.intervalMs;
    if (timerFd >= 0 && !inTurn && (timerFdDeadline == 0 || deadline < timerFdDeadline))
      SetTimerFd(deadline);
  }

  void Disarm(TTimerState& timer) {
    if (timer.armSeq != 0) --armedCount;
    timer.armSeq = 0;
  }

  // Drops stale entries so re-arming a timer often cannot grow the heap.
  void Compact() {
    std::erase_if(heap, [this](const THeapEntry& e) { return !IsCurrent(e); });
    std::make_heap(heap.begin(), heap.end(), Later);
  }

  void PopStale() {
    while (!heap.empty() && !IsCurrent(heap.front())) {
      std::pop_heap(heap.begin(), heap.end(), Later);
      heap.pop_back();
    }
  }

  int NextTimeout() {
    if (HasPosted()) return 0;
    PopStale();
    if (heap.empty()) return -1;
    const uint64_t now = MonotonicMs();
    const uint64_t deadline = heap.front().deadline;
    if (deadline <= now) return 0;
    return static_cast<int>(std::min<uint64_t>(deadline - now, INT_MAX));
  }

  void FireDueTimers() {
    const uint64_t now = MonotonicMs();
    for (PopStale(); !heap.empty() && heap.front().deadline <= now; PopStale()) {
      const THeapEntry entry = heap.front();
      std::pop_heap(heap.begin(), heap.end(), Later);
      heap.pop_back();
      TTimerState& timer = timers.at(entry.id);
      // Re-armed before the call, so the handler may restart or cancel it.
      // Intervals are at least 1 ms, so it cannot come due again in this pass.
      if (timer.repeating) {
        Arm(entry.id, timer, now);
      } else {
        Disarm(timer);
      }
      const auto handler = timer.handler;
      Guard(*handler);
    }
  }

  void EraseTimer(uint64_t id) noexcept {
    const auto it = timers.find(id);
    if (it == timers.end()) return;
    Disarm(it->second);
    timers.erase(it);
  }

  TTimerState* FindTimer(uint64_t id) {
    CheckThread();
    const auto it = timers.find(id);
    return it == timers.end() ? nullptr : &it->second;
  }

  // ---- fd watches ---------------------------------------------------------

  void Register(uint64_t id, TWatchState& watch, unsigned interest) {
    interest &= ioRead | ioWrite;
    if (interest == watch.interest) return;  // registered exactly when interest != 0
    epoll_event ev{};
    ev.events = ToEpoll(interest);
    ev.data.u64 = id;
    int op = EPOLL_CTL_MOD;
    if (interest == 0) {
      op = EPOLL_CTL_DEL;  // a paused watch must not report hang-ups forever
    } else if (!watch.registered) {
      op = EPOLL_CTL_ADD;
    }
    if (epoll_ctl(epollFd.Get(), op, watch.fd, &ev) != 0) {
      ThrowErrno("EventLoop.Watch", errno);
    }
    watch.interest = interest;
    watch.registered = interest != 0;
  }

  void EraseWatch(uint64_t id) noexcept {
    const auto it = watches.find(id);
    if (it == watches.end()) return;
    if (it->second.registered) {
      // Fails only when the descriptor was closed first; it is gone from epoll then.
      epoll_ctl(epollFd.Get(), EPOLL_CTL_DEL, it->second.fd, nullptr);
    }
    watches.erase(it);
  }

  void DispatchEvents(int count) {
    for (int i = 0; i < count; ++i) {
      const epoll_event ev = events[static_cast<std::size_t>(i)];
      // epoll_event is packed: its 64-bit id is copied out, never bound by
      // reference at its misaligned place.
      const std::uint64_t id = ev.data.u64;
      if (id == kWakeId) {
        DrainWake();
        continue;
      }
      if (id == kTimerFdId) {
        DrainTimerFd();
        continue;
      }
      // A watch removed by an earlier handler of this turn is not found, and
      // ids are never reused, so its pending event is dropped here.
      const auto it = watches.find(id);
      if (it == watches.end() || !it->second.registered) continue;
      const unsigned flags = FromEpoll(ev.events) & (it->second.interest | ioHangUp | ioError);
      if (flags == 0) continue;
      const auto handler = it->second.handler;
      Guard([&] { (*handler)(flags); });
    }
  }

  // ---- one turn -----------------------------------------------------------

  void Turn(bool wait) {
    const int timeout = wait ? NextTimeout() : 0;
    int count = epoll_wait(epollFd.Get(), events.data(), kMaxEventsPerTurn, timeout);
    if (count < 0) {
      if (errno != EINTR) ThrowErrno("EventLoop.Run", errno);
      count = 0;
    }
    inTurn = true;
    struct TTurnEnd {
      TEventLoopImpl& impl;
      // Also after an exception: the next deadline must stay armed.
      ~TTurnEnd() {
        impl.inTurn = false;
        try {
          impl.RearmTimerFd();
        } catch (...) {
          // timerfd_settime fails only on bad arguments; nothing to do here.
        }
      }
    } end{*this};
    DispatchEvents(count);
    FireDueTimers();
    RunPosted();
  }
};

// ---- EventLoop --------------------------------------------------------------

namespace {

// Marks the loop as running on this thread for one Run or turn.
struct TRunningScope {
  explicit TRunningScope(TEventLoopImpl& loop) : impl(loop) {
    impl.loopThread = std::this_thread::get_id();
    impl.running = true;
  }
  ~TRunningScope() { impl.running = false; }
  TRunningScope(const TRunningScope&) = delete;
  TRunningScope& operator=(const TRunningScope&) = delete;
  TEventLoopImpl& impl;
};

}  // namespace

EventLoop::EventLoop() : impl_(std::make_shared<TEventLoopImpl>()) {}

EventLoop::~EventLoop() = default;

void EventLoop::Run() {
  TEventLoopImpl& impl = *impl_;
  KAVRO_CHECK(!impl.running, "EventLoop.Run while running");
  const TRunningScope running(impl);
  while (!impl.stopRequested.exchange(false)) impl.Turn(true);
}

int EventLoop::Descriptor() {
  impl_->CheckThread();
  impl_->EnableTimerFd();
  return impl_->epollFd.Get();
}

void EventLoop::RunReady() {
  TEventLoopImpl& impl = *impl_;
  // Nested (a handler spinning an outer loop that calls back here): the
  // current turn finishes first.
  if (impl.running) return;
  const TRunningScope running(impl);
  impl.Turn(false);
}

void EventLoop::Stop() {
  impl_->stopRequested = true;
  impl_->Wake();
}

void EventLoop::Post(TTask task) {
  KAVRO_CHECK(static_cast<bool>(task), "EventLoop.Post of an empty task");
  bool wasEmpty = false;
  {
    std::lock_guard lock(impl_->postMutex);
    wasEmpty = impl_->posted.empty();
    impl_->posted.push_back(std::move(task));
  }
  // Only the first task of a batch needs to wake the loop: it takes the whole
  // queue at once, and it checks the queue before it sleeps.
  if (wasEmpty) impl_->Wake();
}

void EventLoop::RunPending() {
  impl_->CheckThread();
  impl_->RunPosted();
}

TTimer EventLoop::AddTimer(uint64_t intervalMs, bool repeating, std::function<void()> handler) {
  KAVRO_CHECK(static_cast<bool>(handler), "EventLoop.AddTimer without a handler");
  impl_->CheckThread();
  const uint64_t id = impl_->nextTimerId++;
  auto& timer = impl_->timers[id];
  timer.intervalMs = std::max<uint64_t>(intervalMs, 1);
  timer.repeating = repeating;
  timer.handler = std::make_shared<std::function<void()>>(std::move(handler));
  impl_->Arm(id, timer, MonotonicMs());
  return TTimer(impl_, id);
}

TFdWatch EventLoop::Watch(int fd, unsigned interest, std::function<void(unsigned)> handler) {
  KAVRO_CHECK(fd >= 0, "EventLoop.Watch of an invalid descriptor");
  KAVRO_CHECK(static_cast<bool>(handler), "EventLoop.Watch without a handler");
  impl_->CheckThread();
  const uint64_t id = impl_->nextWatchId++;
  auto& watch = impl_->watches[id];
  watch.fd = fd;
  watch.handler = std::make_shared<std::function<void(unsigned)>>(std::move(handler));
  try {
    impl_->Register(id, watch, interest);
  } catch (...) {
    impl_->watches.erase(id);
    throw;
  }
  return TFdWatch(impl_, id);
}

void EventLoop::SetErrorHandler(TErrorHandler handler) {
  impl_->CheckThread();
  impl_->onError = std::move(handler);
}

// ---- TTimer -----------------------------------------------------------------

TTimer::TTimer(TTimer&& other) noexcept
    : loop_(std::move(other.loop_)), id_(std::exchange(other.id_, 0)) {}

TTimer& TTimer::operator=(TTimer&& other) noexcept {
  if (this != &other) {
    TTimer old(std::move(*this));
    loop_ = std::move(other.loop_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

TTimer::~TTimer() {
  // A destructor must not throw, so the thread check is left out here.
  if (const auto loop = loop_.lock()) loop->EraseTimer(id_);
}

void TTimer::Restart() {
  const auto loop = loop_.lock();
  if (!loop) return;
  if (auto* timer = loop->FindTimer(id_)) loop->Arm(id_, *timer, MonotonicMs());
}

void TTimer::Restart(uint64_t intervalMs) {
  const auto loop = loop_.lock();
  if (!loop) return;
  if (auto* timer = loop->FindTimer(id_)) {
    timer->intervalMs = std::max<uint64_t>(intervalMs, 1);
    loop->Arm(id_, *timer, MonotonicMs());
  }
}

void TTimer::Cancel() {
  const auto loop = loop_.lock();
  if (!loop) return;
  if (auto* timer = loop->FindTimer(id_)) loop->Disarm(*timer);
}

bool TTimer::IsActive() const {
  const auto loop = loop_.lock();
  if (!loop) return false;
  const auto* timer = loop->FindTimer(id_);
  return timer != nullptr && timer->armSeq != 0;
}

uint64_t TTimer::Interval() const {
  const auto loop = loop_.lock();
  if (!loop) return 0;
  const auto* timer = loop->FindTimer(id_);
  return timer == nullptr ? 0 : timer->intervalMs;
}

// ---- TFdWatch ---------------------------------------------------------------

TFdWatch::TFdWatch(TFdWatch&& other) noexcept
    : loop_(std::move(other.loop_)), id_(std::exchange(other.id_, 0)) {}

TFdWatch& TFdWatch::operator=(TFdWatch&& other) noexcept {
  if (this != &other) {
    TFdWatch old(std::move(*this));
    loop_ = std::move(other.loop_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

TFdWatch::~TFdWatch() {
  // A destructor must not throw, so the thread check is left out here.
  if (const auto loop = loop_.lock()) loop->EraseWatch(id_);
}

void TFdWatch::SetInterest(unsigned interest) {
  const auto loop = loop_.lock();
  if (!loop) return;
  loop->CheckThread();
  const auto it = loop->watches.find(id_);
  if (it != loop->watches.end()) loop->Register(id_, it->second, interest);
}

void TFdWatch::Remove() {
  if (const auto loop = loop_.lock()) {
    loop->CheckThread();
    loop->EraseWatch(id_);
  }
  loop_.reset();
  id_ = 0;
}

bool TFdWatch::IsWatching() const {
  const auto loop = loop_.lock();
  return loop && loop->watches.count(id_) != 0;
}
