#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/monotonic_clock.h"
#include "base/exceptions.h"

namespace {

// A loop whose Run() gives up after a while, so a broken loop fails the
// test instead of hanging it.
class EventLoopTest : public ::testing::Test {
 protected:
  void RunWithWatchdog(uint64_t limitMs = 10'000) {
    TTimer watchdog = loop_.AddTimer(limitMs, false, [this] {
      ADD_FAILURE() << "watchdog fired";
      loop_.Stop();
    });
    loop_.Run();
  }

  EventLoop loop_;
};

struct TOrderCase {
  const char* name;
  std::vector<uint64_t> intervals;  // one one-shot timer each, created in this order
  std::vector<int> expected;        // indexes in firing order
};

TEST_F(EventLoopTest, OneShotTimersFireInDeadlineThenCreationOrder) {
  const TOrderCase cases[] = {
      {"distinct deadlines", {60, 20, 40, 80}, {1, 2, 0, 3}},
      {"equal deadlines", {30, 30, 30}, {0, 1, 2}},
      {"mixed", {40, 20, 20, 40, 1}, {4, 1, 2, 0, 3}},
  };
  for (const auto& c : cases) {
    std::vector<int> fired;
    std::vector<TTimer> timers;
    for (std::size_t i = 0; i < c.intervals.size(); ++i) {
      timers.push_back(loop_.AddTimer(c.intervals[i], false, [&, i] {
        fired.push_back(static_cast<int>(i));
        if (fired.size() == c.expected.size()) loop_.Stop();
      }));
    }
    RunWithWatchdog();
    EXPECT_EQ(fired, c.expected) << c.name;
  }
}

TEST_F(EventLoopTest, OneShotFiresOnceRepeatingKeepsFiring) {
  int once = 0;
  int repeated = 0;
  TTimer oneShot = loop_.AddTimer(2, false, [&] { ++once; });
  TTimer repeating = loop_.AddTimer(3, true, [&] {
    if (++repeated == 5) loop_.Stop();
  });
  RunWithWatchdog();
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 5);
  EXPECT_FALSE(oneShot.IsActive());
  EXPECT_TRUE(repeating.IsActive());
}

TEST_F(EventLoopTest, RepeatingTimerRearmedFromItsHandler) {
  std::vector<uint64_t> times;
  TTimer timer;
  timer = loop_.AddTimer(2, true, [&] {
    times.push_back(MonotonicMs());
    if (times.size() == 1) timer.Restart(40);
    if (times.size() == 3) loop_.Stop();
  });
  RunWithWatchdog();
  ASSERT_EQ(times.size(), 3u);
  EXPECT_GE(times[1] - times[0], 40u);
  // A late firing on a busy machine may shorten the next gap (the schedule
  // keeps its pace), never the two together.
  EXPECT_GE(times[2] - times[0], 80u);
  EXPECT_EQ(timer.Interval(), 40u);
}

TEST_F(EventLoopTest, TimerRearmedAndRestartedFromOutside) {
  int fired = 0;
  TTimer slow = loop_.AddTimer(60'000, true, [&] {
    ++fired;
    loop_.Stop();
  });
  // Many restarts leave stale schedule entries behind; only the last counts.
  for (int i = 0; i < 10'000; ++i) slow.Restart(60'000);
  TTimer kick = loop_.AddTimer(5, false, [&] { slow.Restart(5); });
  RunWithWatchdog();
  EXPECT_EQ(fired, 1);

  // A cancelled timer starts again with its last interval.
  slow.Cancel();
  EXPECT_FALSE(slow.IsActive());
  slow.Restart();
  EXPECT_TRUE(slow.IsActive());
  RunWithWatchdog();
  EXPECT_EQ(fired, 2);
}

TEST_F(EventLoopTest, CancelledTimersDoNotFire) {
  int victim = 0;
  int selfCancelling = 0;
  int selfDestroying = 0;
  TTimer target = loop_.AddTimer(20, false, [&] { ++victim; });
  TTimer killer = loop_.AddTimer(5, false, [&] { target.Cancel(); });
  TTimer cancelsItself;
  cancelsItself = loop_.AddTimer(2, true, [&] {
    ++selfCancelling;
    cancelsItself.Cancel();
  });
  auto destroysItself = std::make_unique<TTimer>();
  *destroysItself = loop_.AddTimer(2, true, [&] {
    ++selfDestroying;
    destroysItself.reset();
  });
  TTimer end = loop_.AddTimer(60, false, [&] { loop_.Stop(); });
  RunWithWatchdog();
  EXPECT_EQ(victim, 0);
  EXPECT_EQ(selfCancelling, 1);
  EXPECT_EQ(selfDestroying, 1);
}

TEST_F(EventLoopTest, HandlesOutliveTheirLoop) {
  TTimer timer;
  {
    EventLoop loop;
    timer = loop.AddTimer(10, true, [] {});
  }
  EXPECT_FALSE(timer.IsActive());
  timer.Restart();  // nothing to do, nothing to crash
}

TEST_F(EventLoopTest, PostsFromManyThreadsRunExactlyOnceInOrder) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 10'000;
  std::vector<std::atomic<int>> runs(kThreads * kPerThread);
  std::vector<int> lastSeen(kThreads, -1);
  bool inOrder = true;
  int total = 0;

  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        loop_.Post([&, t, i] {
          runs[static_cast<std::size_t>(t * kPerThread + i)]++;
          inOrder = inOrder && lastSeen[static_cast<std::size_t>(t)] == i - 1;
          lastSeen[static_cast<std::size_t>(t)] = i;
          if (++total == kThreads * kPerThread) loop_.Stop();
        });
      }
    });
  }
  RunWithWatchdog(20'000);
  for (auto& poster : posters) poster.join();

  EXPECT_EQ(total, kThreads * kPerThread);
  EXPECT_TRUE(inOrder);
  int wrong = 0;
  for (const auto& r : runs) wrong += r.load() != 1;
  EXPECT_EQ(wrong, 0);
}

TEST_F(EventLoopTest, IdleLoopWakesAtOnceForEachPost) {
  std::thread runner([this] { loop_.Run(); });
  const auto start = std::chrono::steady_clock::now();
  bool allAnswered = true;
  // Ping-pong: each post must be run before the next one is sent, so a lost
  // wake-up leaves a future unanswered.
  for (int i = 0; i < 2'000 && allAnswered; ++i) {
    std::promise<void> done;
    auto answered = done.get_future();
    loop_.Post([&done] { done.set_value(); });
    allAnswered = answered.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  loop_.Stop();
  runner.join();
  EXPECT_TRUE(allAnswered);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(EventLoopTest, StopFromAnotherThread) {
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop_.Stop();
  });
  const uint64_t start = MonotonicMs();
  RunWithWatchdog();
  stopper.join();
  EXPECT_LT(MonotonicMs() - start, 5'000u);

  // A stop that arrives while the loop is not running is not lost.
  loop_.Stop();
  RunWithWatchdog();
}

TEST_F(EventLoopTest, RunPendingRunsOnlyWhatIsQueuedNow) {
  std::vector<int> ran;
  loop_.Post([&] {
    ran.push_back(1);
    loop_.Post([&] { ran.push_back(3); });
  });
  loop_.Post([&] { ran.push_back(2); });
  loop_.RunPending();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  loop_.RunPending();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(EventLoopTest, PostCarriesMoveOnlyState) {
  auto value = std::make_unique<int>(42);
  int seen = 0;
  loop_.Post([&seen, v = std::move(value)] { seen = *v; });
  loop_.RunPending();
  EXPECT_EQ(seen, 42);
}

TEST_F(EventLoopTest, HandlerErrorLeavesRunAndKeepsLaterTasks) {
  bool laterRan = false;
  loop_.Post([] { throw std::runtime_error("boom"); });
  loop_.Post([&] {
    laterRan = true;
    loop_.Stop();
  });
  EXPECT_THROW(loop_.Run(), std::runtime_error);
  EXPECT_FALSE(laterRan);
  RunWithWatchdog();
  EXPECT_TRUE(laterRan);
}

TEST_F(EventLoopTest, ErrorHandlerCatchesAndLoopGoesOn) {
  std::vector<std::string> errors;
  loop_.SetErrorHandler([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      errors.emplace_back(e.what());
    }
  });
  int ticks = 0;
  TTimer timer = loop_.AddTimer(1, true, [&] {
    if (++ticks == 3) loop_.Stop();
    throw EKavroException("Test.Tick", "tick");
  });
  loop_.Post([] { throw std::logic_error("posted"); });
  RunWithWatchdog();
  EXPECT_EQ(ticks, 3);
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), "posted"), 1);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), "Test.Tick(tick)"), 3);
}

TEST_F(EventLoopTest, MisuseIsRejected) {
  EXPECT_THROW(loop_.Post(TTask()), EAssertionFailed);
  EXPECT_THROW(loop_.AddTimer(1, false, nullptr), EAssertionFailed);
  EXPECT_THROW(loop_.Watch(-1, ioRead, [](unsigned) {}), EAssertionFailed);
  // RunPending from a foreign thread while the loop runs.
  std::atomic<bool> rejected{false};
  loop_.Post([&] {
    std::thread([&] {
      try {
        loop_.RunPending();
      } catch (const EAssertionFailed&) {
        rejected = true;
      }
    }).join();
    loop_.Stop();
  });
  RunWithWatchdog();
  EXPECT_TRUE(rejected);
}

}  // namespace
