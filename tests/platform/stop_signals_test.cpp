#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/open_file_limit.h"
#include "support/loop_runner.h"

namespace {

// The signals are sent to this thread alone: another thread of the test
// program would take the default action and end it.
TEST(StopSignalsTest, DeliversBothSignalsThroughTheLoop) {
  EventLoop loop;
  std::vector<std::string> received;
  {
    TStopSignals signals(loop, [&](const std::string& name) { received.push_back(name); });
    ASSERT_EQ(pthread_kill(pthread_self(), SIGTERM), 0);
    ASSERT_EQ(pthread_kill(pthread_self(), SIGINT), 0);
    EXPECT_TRUE(RunLoopUntil(loop, [&] { return received.size() == 2; }));
  }
  // Standard signals do not queue, so the order between them is the
  // kernel's; each arrives once.
  std::sort(received.begin(), received.end());
  EXPECT_EQ(received, (std::vector<std::string>{"SIGINT", "SIGTERM"}));

  // The mask is back as it was: neither signal is blocked any more.
  sigset_t mask;
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, nullptr, &mask), 0);
  EXPECT_FALSE(sigismember(&mask, SIGTERM));
  EXPECT_FALSE(sigismember(&mask, SIGINT));
}

// A caller that holds the loop up (a long script call) sees the signal
// waiting; once the loop has taken it, it is gone.
TEST(StopSignalsTest, PendingSignalIsSeenUntilTheLoopTakesIt) {
  EventLoop loop;
  int received = 0;
  TStopSignals signals(loop, [&](const std::string& /*name*/) { ++received; });
  for (const int signo : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signo);
    EXPECT_FALSE(StopSignalPending());
    ASSERT_EQ(pthread_kill(pthread_self(), signo), 0);
    EXPECT_TRUE(StopSignalPending());
    const int before = received;
    EXPECT_TRUE(RunLoopUntil(loop, [&] { return received == before + 1; }));
    EXPECT_FALSE(StopSignalPending());
  }
}

TEST(OpenFileLimitTest, SoftLimitReachesTheHardLimit) {
  const TOpenFileLimit limit = RaiseOpenFileLimit();
  EXPECT_GT(limit.Soft, 0u);
  EXPECT_EQ(limit.Soft, limit.Hard);
}

}  // namespace
