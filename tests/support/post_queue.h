#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// Stands in for the event loop in tests: worker threads post here, and the
// test thread runs the posted functions as the main thread would.
class TPostQueue {
 public:
  using TPostFn = std::function<void(std::function<void()>)>;

  TPostFn Poster() {
    return [this](std::function<void()> fn) {
      std::lock_guard lock(mutex_);
      items_.push_back(std::move(fn));
      ready_.notify_all();
    };
  }

  // Runs posted functions until `done` holds; false when `limit` passes first.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      std::function<void()> fn;
      {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_until(lock, deadline, [this] { return !items_.empty(); })) return done();
        fn = std::move(items_.front());
        items_.pop_front();
      }
      fn();
      ++ran_;
    }
    return true;
  }

  // Runs whatever arrives during `period`.
  void RunFor(std::chrono::milliseconds period) {
    RunUntil([] { return false; }, period);
  }

  // Waits until `count` functions are queued, without running them.
  bool WaitQueued(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return ready_.wait_for(lock, limit, [&] { return items_.size() >= count; });
  }

  std::size_t Queued() {
    std::lock_guard lock(mutex_);
    return items_.size();
  }

  std::size_t Ran() const { return ran_; }  // test thread only

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> items_;
  std::size_t ran_ = 0;
};
