#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class EventLoop;

// A unit of blocking work. Owners derive their job types from it; the pool
// never looks inside.
class TThreadJob {
 public:
  virtual ~TThreadJob() = default;
};

struct TThreadPoolShared;

// Fixed worker threads running blocking jobs (name look-ups, database
// statements). Each finished job comes back on the loop's thread through
// EventLoop::Post, so completion code needs no lock. Owns its worker threads
// and the jobs from AddJob until they are handed to OnDone / OnError; does
// not own the loop, which must outlive the pool.
//
// Create, use and destroy the pool on the loop's thread.
class TThreadPool {
 public:
  using TWorker = std::function<void(TThreadJob&)>;
  using TDoneHandler = std::function<void(std::unique_ptr<TThreadJob>)>;
  using TErrorHandler = std::function<void(std::exception_ptr, std::unique_ptr<TThreadJob>)>;

  // Called on the loop's thread with each job that finished; without it the
  // job is freed.
  TDoneHandler OnDone;
  // Called on the loop's thread with the exception a job raised (any kind)
  // and the job. Without it the exception is raised on the loop's thread,
  // where the loop's error rule applies.
  TErrorHandler OnError;

  TThreadPool(EventLoop& loop, std::size_t count);
  // Frees the queued jobs without running them, stops the workers and waits
  // for them up to the shutdown time-out, then delivers the completions
  // already posted. A worker still stuck in a blocking call after the
  // time-out is left to finish alone: its job is then freed on its own
  // thread and never reported, and the worker function is kept alive for it.
  ~TThreadPool();
  TThreadPool(const TThreadPool&) = delete;
  TThreadPool& operator=(const TThreadPool&) = delete;

  // Called on a worker thread with each job. May be replaced at any time;
  // a job already started keeps the function it started with.
  void SetWorker(TWorker worker);

  // The most recently idle worker takes the job, else it waits in a FIFO queue.
  void AddJob(std::unique_ptr<TThreadJob> job);

  // Blocks until no job is queued or running, at most `limitMs` (10 s by
  // default). Completions that arrive meanwhile wait for the loop.
  // Returns true when the pool drained.
  bool WaitForQueue(uint64_t limitMs = 10'000);

  void SetShutdownTimeout(uint64_t ms) { shutdownTimeoutMs_ = ms; }

 private:
  void StopWorkers() noexcept;

  EventLoop& loop_;
  // Shared with the workers and with the completions posted to the loop:
  // a worker stuck past the shutdown time-out, or a completion still queued,
  // may outlive the pool and must not be left with a dangling pointer.
  std::shared_ptr<TThreadPoolShared> shared_;
  std::vector<std::thread> threads_;
  uint64_t shutdownTimeoutMs_ = 5'000;
};
