#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// A move-only callable with no arguments: a posted unit of work. Unlike
// std::function it can carry move-only state across threads (an owned job,
// an accepted socket).
class TTask {
 public:
  TTask() = default;
  template <class F>
    requires(!std::same_as<std::remove_cvref_t<F>, TTask> && std::invocable<std::decay_t<F>&>)
  TTask(F&& fn) : impl_(std::make_unique<TModel<std::decay_t<F>>>(std::forward<F>(fn))) {}

  explicit operator bool() const { return impl_ != nullptr; }
  void operator()() { impl_->Call(); }

 private:
  struct TConcept {
    virtual ~TConcept() = default;
    virtual void Call() = 0;
  };
  template <class F>
  struct TModel final : TConcept {
    explicit TModel(F fn) : fn_(std::move(fn)) {}
    void Call() override { fn_(); }
    F fn_;
  };
  std::unique_ptr<TConcept> impl_;
};

// Readiness bits: the interest of an fd watch, and what its handler receives.
// ioHangUp and ioError are always reported, whatever the interest.
enum TIoFlags : unsigned { ioRead = 1u, ioWrite = 2u, ioHangUp = 4u, ioError = 8u };

class EventLoop;
struct TEventLoopImpl;

// A timer of an EventLoop. Destroying the handle cancels and forgets the
// timer. A cancelled (or fired one-shot) timer can be started again. Use it
// on the loop's thread only. It may outlive its loop; it then does nothing.
class TTimer {
 public:
  TTimer() = default;
  TTimer(TTimer&& other) noexcept;
  TTimer& operator=(TTimer&& other) noexcept;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;
  ~TTimer();

  // Intervals below 1 ms count as 1 ms, so a timer that restarts itself
  // cannot keep the loop from its descriptors and tasks.
  void Restart();                     // next firing one interval from now
  void Restart(uint64_t intervalMs);  // new interval, next firing from now
  void Cancel();                      // no further firing until Restart
  bool IsActive() const;
  uint64_t Interval() const;

 private:
  friend class EventLoop;
  TTimer(std::weak_ptr<TEventLoopImpl> loop, uint64_t id) : loop_(std::move(loop)), id_(id) {}

  std::weak_ptr<TEventLoopImpl> loop_;
  uint64_t id_ = 0;
};

// A readiness watch on a file descriptor it does not own: remove the watch
// (destroy or Remove) before closing the descriptor. Use it on the loop's
// thread only. It may outlive its loop; it then does nothing.
class TFdWatch {
 public:
  TFdWatch() = default;
  TFdWatch(TFdWatch&& other) noexcept;
  TFdWatch& operator=(TFdWatch&& other) noexcept;
  TFdWatch(const TFdWatch&) = delete;
  TFdWatch& operator=(const TFdWatch&) = delete;
  ~TFdWatch();

  void SetInterest(unsigned interest);  // ioRead and/or ioWrite; 0 pauses the watch
  void Remove();                        // no event is delivered afterwards
  bool IsWatching() const;

 private:
  friend class EventLoop;
  TFdWatch(std::weak_ptr<TEventLoopImpl> loop, uint64_t id) : loop_(std::move(loop)), id_(id) {}

  std::weak_ptr<TEventLoopImpl> loop_;
  uint64_t id_ = 0;
};

// The main thread's reactor: one thread runs timers, fd readiness handlers
// and posted tasks, one at a time. Owns its epoll and eventfd descriptors,
// the timer states and the queued tasks; does not own watched descriptors.
//
// Threads: Post and Stop may be called from any thread; everything else
// (Run, RunPending, timers, watches) belongs to the thread that runs the loop.
//
// Errors: an exception escaping a handler or a posted task goes to the error
// handler when one is set, and the loop carries on. Without one it leaves
// Run() unchanged; the loop stays consistent (tasks not yet run stay queued,
// timers keep their schedule) and Run() may be called again. An exception
// from the error handler itself also leaves Run().
class EventLoop {
 public:
  using TErrorHandler = std::function<void(std::exception_ptr)>;

  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Dispatches until Stop(). A Stop() that came while the loop was not
  // running makes the next Run() return at once, so a stop from another
  // thread is never lost.
  void Run();
  void Stop();

  // Driving the loop from another loop that waits (the window's): the epoll
  // descriptor is readable whenever a watch is ready, a task is posted or a
  // timer is due (a timerfd in the set follows the earliest deadline from
  // the first call on). The outer loop then calls RunReady(), one turn that
  // never waits. A RunReady() inside a running turn or Run() does nothing.
  int Descriptor();
  void RunReady();

  // Queues `task` to run on the loop's thread, in posting order, and wakes
  // the loop.
  void Post(TTask task);
  // Runs the tasks queued at the moment of the call; tasks they post wait
  // for the next turn.
  void RunPending();

  TTimer AddTimer(uint64_t intervalMs, bool repeating, std::function<void()> handler);
  TFdWatch Watch(int fd, unsigned interest, std::function<void(unsigned events)> handler);

  void SetErrorHandler(TErrorHandler handler);

 private:
  // Shared with the handles so that a handle outliving the loop finds it gone.
  std::shared_ptr<TEventLoopImpl> impl_;
};
