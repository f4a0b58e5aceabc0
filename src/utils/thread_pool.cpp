#include "utils/thread_pool.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/event_loop.h"
#include "base/exceptions.h"

// State reached by the pool, its workers and its posted completions. The
// lock guards everything but `owner`, which only the loop's thread touches.
struct TThreadPoolShared {
  struct TSlot {
    std::condition_variable wake;
    std::unique_ptr<TThreadJob> job;  // handed over by AddJob or taken from the queue
    bool finished = false;            // left its run loop
  };

  std::mutex lock;
  std::condition_variable changed;  // a worker went idle or finished
  std::vector<std::unique_ptr<TSlot>> slots;
  std::vector<std::size_t> idle;  // a stack: the back went idle last
  std::deque<std::unique_ptr<TThreadJob>> queue;
  std::shared_ptr<const TThreadPool::TWorker> worker;
  bool stopping = false;
  EventLoop* loop = nullptr;  // null once the pool no longer posts

  TThreadPool* owner = nullptr;  // null once the pool is gone
};

namespace {

// Runs on the loop's thread.
void Deliver(TThreadPoolShared& shared, std::unique_ptr<TThreadJob> job, std::exception_ptr error) {
  TThreadPool* owner = shared.owner;
  if (owner == nullptr) return;  // the pool is gone; the job is freed here
  // Copies, so a handler that destroys the pool does not destroy itself.
  if (!error) {
    if (auto onDone = owner->OnDone) onDone(std::move(job));
    return;
  }
  if (auto onError = owner->OnError) {
    onError(error, std::move(job));
    return;
  }
  job.reset();
  std::rethrow_exception(error);
}

void PostCompletion(const std::shared_ptr<TThreadPoolShared>& shared,
                    std::unique_ptr<TThreadJob> job, std::exception_ptr error) {
  try {
    shared->loop->Post([shared, job = std::move(job), error]() mutable {
      Deliver(*shared, std::move(job), error);
    });
  } catch (...) {
    // Out of memory: the completion is lost, the worker must go on.
  }
}

void RunWorker(TThreadPoolShared& s, TThreadJob& job) {
  std::shared_ptr<const TThreadPool::TWorker> worker;
  {
    std::lock_guard guard(s.lock);
    worker = s.worker;
  }
  (*worker)(job);
}

void WorkerLoop(const std::shared_ptr<TThreadPoolShared>& shared, std::size_t index) {
  TThreadPoolShared& s = *shared;
  TThreadPoolShared::TSlot& slot = *s.slots[index];
  std::unique_lock lock(s.lock);
  for (;;) {
    slot.wake.wait(lock, [&] { return s.stopping || slot.job != nullptr; });
    if (s.stopping) break;
    std::unique_ptr<TThreadJob> job = std::move(slot.job);
    lock.unlock();

    std::exception_ptr error;
    try {
      RunWorker(s, *job);
    } catch (...) {
      error = std::current_exception();
    }

    lock.lock();
    if (s.loop != nullptr) {
      PostCompletion(shared, std::move(job), error);
    } else {
      lock.unlock();
      job.reset();  // nobody to report to; free outside the lock
      lock.lock();
    }
    if (s.stopping) break;
    if (!s.queue.empty()) {
      slot.job = std::move(s.queue.front());
      s.queue.pop_front();
    } else {
      s.idle.push_back(index);
      s.changed.notify_all();
    }
  }
  slot.finished = true;
  s.changed.notify_all();
}

}  // namespace

TThreadPool::TThreadPool(EventLoop& loop, std::size_t count)
    : loop_(loop), shared_(std::make_shared<TThreadPoolShared>()) {
  KAVRO_CHECK(count > 0, "TThreadPool.Create without workers");
  shared_->loop = &loop;
  shared_->owner = this;
  for (std::size_t i = 0; i < count; ++i) {
    shared_->slots.push_back(std::make_unique<TThreadPoolShared::TSlot>());
    shared_->idle.push_back(i);
  }
  threads_.reserve(count);
  try {
    for (std::size_t i = 0; i < count; ++i) threads_.emplace_back(WorkerLoop, shared_, i);
  } catch (...) {
    StopWorkers();
    throw;
  }
}

TThreadPool::~TThreadPool() {
  StopWorkers();
  // Deliver what finished before the stop. A handler error has nowhere to
  // go from a destructor; the remaining completions are still delivered.
  for (int attempt = 0; attempt < 100; ++attempt) {
    try {
      loop_.RunPending();
      break;
    } catch (...) {
    }
  }
  shared_->owner = nullptr;
}

void TThreadPool::StopWorkers() noexcept {
  std::deque<std::unique_ptr<TThreadJob>> dropped;
  std::unique_lock lock(shared_->lock);
  dropped.swap(shared_->queue);
  for (auto& slot : shared_->slots) {
    if (slot->job) dropped.push_back(std::move(slot->job));  // handed over, not started
  }
  shared_->stopping = true;
  for (auto& slot : shared_->slots) slot->wake.notify_one();
  lock.unlock();
  dropped.clear();  // job destructors run outside the lock

  lock.lock();
  const auto allFinished = [this] {
    for (std::size_t i = 0; i < threads_.size(); ++i) {
      if (!shared_->slots[i]->finished) return false;
    }
    return true;
  };
  shared_->changed.wait_for(lock, std::chrono::milliseconds(shutdownTimeoutMs_), allFinished);
  shared_->loop = nullptr;  // a late worker must not post to a loop that may be gone
  std::vector<bool> finished(threads_.size());
  for (std::size_t i = 0; i < threads_.size(); ++i) finished[i] = shared_->slots[i]->finished;
  lock.unlock();

  for (std::size_t i = 0; i < threads_.size(); ++i) {
    // A stuck worker keeps `shared_` alive through its own reference.
    if (finished[i]) {
      threads_[i].join();
    } else {
      threads_[i].detach();
    }
  }
  threads_.clear();
}

void TThreadPool::SetWorker(TWorker worker) {
  KAVRO_CHECK(static_cast<bool>(worker), "TThreadPool.SetWorker with an empty function");
  auto shared = std::make_shared<const TWorker>(std::move(worker));
  std::lock_guard guard(shared_->lock);
  shared_->worker = std::move(shared);
}

void TThreadPool::AddJob(std::unique_ptr<TThreadJob> job) {
  KAVRO_CHECK(job != nullptr, "TThreadPool.AddJob without a job");
  std::lock_guard guard(shared_->lock);
  KAVRO_CHECK(shared_->worker != nullptr, "TThreadPool.AddJob before SetWorker");
  if (shared_->idle.empty()) {
    shared_->queue.push_back(std::move(job));
    return;
  }
  auto& slot = *shared_->slots[shared_->idle.back()];
  shared_->idle.pop_back();
  slot.job = std::move(job);
  slot.wake.notify_one();
}

bool TThreadPool::WaitForQueue(uint64_t limitMs) {
  std::unique_lock lock(shared_->lock);
  return shared_->changed.wait_for(lock, std::chrono::milliseconds(limitMs), [this] {
    return shared_->queue.empty() && shared_->idle.size() == shared_->slots.size();
  });
}
