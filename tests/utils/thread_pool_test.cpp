#include "utils/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "base/exceptions.h"

namespace {

// A job that counts its own destruction, so tests see freed jobs.
struct TTestJob : TThreadJob {
  TTestJob(int anId, std::shared_ptr<std::atomic<int>> aFreed)
      : id(anId), freed(std::move(aFreed)) {}
  ~TTestJob() override {
    if (freed) ++*freed;
  }
  int id;
  std::shared_ptr<std::atomic<int>> freed;
};

int IdOf(const TThreadJob& job) { return static_cast<const TTestJob&>(job).id; }

class ThreadPoolTest : public ::testing::Test {
 protected:
  std::unique_ptr<TTestJob> Job(int id) { return std::make_unique<TTestJob>(id, freed_); }

  void RunWithWatchdog() {
    TTimer watchdog = loop_.AddTimer(20'000, false, [this] {
      ADD_FAILURE() << "watchdog fired";
      loop_.Stop();
    });
    loop_.Run();
  }

  EventLoop loop_;
  std::shared_ptr<std::atomic<int>> freed_ = std::make_shared<std::atomic<int>>(0);
};

TEST_F(ThreadPoolTest, OneWorkerRunsJobsInOrderAndReportsThemInOrder) {
  TThreadPool pool(loop_, 1);
  std::vector<int> ran;  // written by the single worker, read after its completions
  std::vector<int> done;
  pool.SetWorker([&](TThreadJob& job) { ran.push_back(IdOf(job)); });
  pool.OnDone = [&](std::unique_ptr<TThreadJob> job) {
    done.push_back(IdOf(*job));
    if (done.size() == 3) loop_.Stop();
  };
  for (int id = 1; id <= 3; ++id) pool.AddJob(Job(id));
  RunWithWatchdog();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(done, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(*freed_, 3);
}

TEST_F(ThreadPoolTest, AnyThrowReachesOnErrorAndTheWorkerGoesOn) {
  struct TCase {
    const char* name;
    std::function<void()> raise;
    std::string expected;
  };
  const TCase cases[] = {
      {"hub exception", [] { throw EKavroException("TDNSLookup.Run", "no host"); },
       "TDNSLookup.Run(no host)"},
      {"standard exception", [] { throw std::runtime_error("plain"); }, "plain"},
      {"not an exception class", [] { throw 7; }, "other"},
  };
  for (const auto& c : cases) {
    TThreadPool pool(loop_, 1);
    pool.SetWorker([&](TThreadJob& job) {
      if (IdOf(job) == 1) c.raise();
    });
    std::string error;
    int errorJob = 0;
    int doneJob = 0;
    pool.OnError = [&](std::exception_ptr e, std::unique_ptr<TThreadJob> job) {
      errorJob = IdOf(*job);
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& ex) {
        error = ex.what();
      } catch (...) {
        error = "other";
      }
    };
    pool.OnDone = [&](std::unique_ptr<TThreadJob> job) {
      doneJob = IdOf(*job);
      loop_.Stop();
    };
    pool.AddJob(Job(1));
    pool.AddJob(Job(2));
    RunWithWatchdog();
    EXPECT_EQ(error, c.expected) << c.name;
    EXPECT_EQ(errorJob, 1) << c.name;
    EXPECT_EQ(doneJob, 2) << c.name;
  }
}

TEST_F(ThreadPoolTest, WithoutOnErrorTheErrorSurfacesOnTheLoopThread) {
  TThreadPool pool(loop_, 2);
  pool.SetWorker([](TThreadJob&) { throw EKavroException("TUserStatsMySQL.Query", "gone"); });
  pool.AddJob(Job(1));
  EXPECT_THROW(RunWithWatchdog(), EKavroException);
  EXPECT_EQ(*freed_, 1);
}

TEST_F(ThreadPoolTest, ManyJobsOnEightWorkersCompleteExactlyOnce) {
  constexpr int kJobs = 20'000;
  std::vector<std::atomic<int>> runs(kJobs);
  std::vector<int> completions(kJobs, 0);
  int total = 0;
  TThreadPool pool(loop_, 8);
  pool.SetWorker([&](TThreadJob& job) { runs[static_cast<std::size_t>(IdOf(job))]++; });
  pool.OnDone = [&](std::unique_ptr<TThreadJob> job) {
    completions[static_cast<std::size_t>(IdOf(*job))]++;
    if (++total == kJobs) loop_.Stop();
  };
  for (int id = 0; id < kJobs; ++id) pool.AddJob(Job(id));
  EXPECT_TRUE(pool.WaitForQueue());
  RunWithWatchdog();
  int wrong = 0;
  for (int i = 0; i < kJobs; ++i) {
    wrong += runs[static_cast<std::size_t>(i)] != 1 || completions[static_cast<std::size_t>(i)] != 1;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(*freed_, kJobs);
}

TEST_F(ThreadPoolTest, DestroyFreesQueuedJobsWithoutRunningThem) {
  std::atomic<int> ran{0};
  std::vector<int> done;
  {
    TThreadPool pool(loop_, 1);
    std::promise<void> started;
    pool.SetWorker([&](TThreadJob& job) {
      ++ran;
      if (IdOf(job) == 0) {
        started.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    pool.OnDone = [&](std::unique_ptr<TThreadJob> job) { done.push_back(IdOf(*job)); };
    pool.AddJob(Job(0));
    started.get_future().wait();
    for (int id = 1; id <= 5; ++id) pool.AddJob(Job(id));
  }
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(*freed_, 6);
  // The running job finished during the shutdown and was still reported.
  EXPECT_EQ(done, (std::vector<int>{0}));
}

TEST_F(ThreadPoolTest, DestroyDeliversCompletionsAlreadyPosted) {
  int done = 0;
  {
    TThreadPool pool(loop_, 2);
    pool.SetWorker([](TThreadJob&) {});
    pool.OnDone = [&](std::unique_ptr<TThreadJob>) { ++done; };
    for (int id = 0; id < 4; ++id) pool.AddJob(Job(id));
    ASSERT_TRUE(pool.WaitForQueue());
  }
  EXPECT_EQ(done, 4);
}

TEST_F(ThreadPoolTest, CompletionQueuedBehindTheDestroyingTaskIsDropped) {
  auto pool = std::make_unique<TThreadPool>(loop_, 1);
  int done = 0;
  pool->SetWorker([](TThreadJob&) {});
  pool->OnDone = [&](std::unique_ptr<TThreadJob>) { ++done; };
  loop_.Post([&] { pool.reset(); });
  pool->AddJob(Job(1));
  ASSERT_TRUE(pool->WaitForQueue());
  // One batch: the pool dies first, then its completion runs.
  loop_.RunPending();
  EXPECT_EQ(pool, nullptr);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(*freed_, 1);
}

TEST_F(ThreadPoolTest, StuckWorkerDoesNotHangShutdown) {
  auto release = std::make_shared<std::promise<void>>();
  std::shared_future<void> gate = release->get_future().share();
  auto started = std::make_shared<std::promise<void>>();
  bool reported = false;
  auto pool = std::make_unique<TThreadPool>(loop_, 1);
  pool->SetShutdownTimeout(50);
  // Captures by value: the worker outlives the pool and this scope's locals
  // would be the dangling references the pool must not create.
  pool->SetWorker([gate, started](TThreadJob&) {
    started->set_value();
    gate.wait();
  });
  pool->OnDone = [&](std::unique_ptr<TThreadJob>) { reported = true; };
  pool->AddJob(Job(1));
  started->get_future().wait();
  EXPECT_FALSE(pool->WaitForQueue(20));

  const auto start = std::chrono::steady_clock::now();
  pool.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(*freed_, 0);

  release->set_value();
  // The job is freed by its worker once the blocking call returns.
  for (int i = 0; i < 2'000 && *freed_ == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(*freed_, 1);
  loop_.RunPending();
  EXPECT_FALSE(reported);
}

TEST_F(ThreadPoolTest, MisuseIsRejected) {
  EXPECT_THROW(TThreadPool(loop_, 0), EAssertionFailed);
  TThreadPool pool(loop_, 1);
  EXPECT_THROW(pool.AddJob(Job(1)), EAssertionFailed);  // no worker yet
  pool.SetWorker([](TThreadJob&) {});
  EXPECT_THROW(pool.AddJob(nullptr), EAssertionFailed);
}

}  // namespace
