// The loop driven from an outer loop through its descriptor, as the window
// drives it: readable exactly when there is work, one turn per RunReady.

#include <poll.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/monotonic_clock.h"

namespace {

bool ReadableWithin(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN) != 0;
}

TEST(EventLoopDrive, IdleDescriptorSleepsUntilAPost) {
  EventLoop loop;
  const int fd = loop.Descriptor();
  EXPECT_FALSE(ReadableWithin(fd, 0));
  int ran = 0;
  loop.Post([&] { ++ran; });
  ASSERT_TRUE(ReadableWithin(fd, 0));
  loop.RunReady();
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(ReadableWithin(fd, 0));
}

// Timers alone wake the outer loop: the timerfd follows the earliest
// deadline, also when a timer is armed or restarted between turns.
TEST(EventLoopDrive, DueTimerMakesTheDescriptorReadable) {
  EventLoop loop;
  const int fd = loop.Descriptor();
  int fired = 0;
  TTimer late = loop.AddTimer(60'000, false, [] {});
  TTimer timer = loop.AddTimer(30'000, false, [&] { ++fired; });
  EXPECT_FALSE(ReadableWithin(fd, 50));
  timer.Restart(20);  // earlier than the armed deadline, outside a turn
  const uint64_t start = MonotonicMs();
  ASSERT_TRUE(ReadableWithin(fd, 5'000));
  EXPECT_GE(MonotonicMs() - start, 10u);
  loop.RunReady();
  EXPECT_EQ(fired, 1);
  // The next deadline is a minute away: idle again.
  EXPECT_FALSE(ReadableWithin(fd, 50));
}

TEST(EventLoopDrive, RepeatingTimerKeepsWakingTheDescriptor) {
  EventLoop loop;
  const int fd = loop.Descriptor();
  int fired = 0;
  TTimer timer = loop.AddTimer(5, true, [&] { ++fired; });
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(ReadableWithin(fd, 5'000)) << i;
    loop.RunReady();
  }
  EXPECT_GE(fired, 3);
}

// A handler that calls back into RunReady (an outer loop spun inside a
// turn) runs nothing: the task posted meanwhile waits for the next turn.
TEST(EventLoopDrive, NestedRunReadyDoesNothing) {
  EventLoop loop;
  const int fd = loop.Descriptor();
  std::vector<std::string> order;
  loop.Post([&] {
    order.push_back("outer");
    loop.Post([&] { order.push_back("inner"); });
    loop.RunReady();
    order.push_back("outer end");
  });
  loop.RunReady();
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "outer end"}));
  ASSERT_TRUE(ReadableWithin(fd, 0));
  loop.RunReady();
  EXPECT_EQ(order.back(), "inner");
}

TEST(EventLoopDrive, TurnErrorGoesToTheHandlerAndTimersStayArmed) {
  EventLoop loop;
  const int fd = loop.Descriptor();
  std::vector<std::string> errors;
  loop.SetErrorHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      errors.push_back(ex.what());
    }
  });
  int fired = 0;
  TTimer timer = loop.AddTimer(10, false, [&] { ++fired; });
  loop.Post([] { throw std::runtime_error("boom"); });
  loop.RunReady();
  EXPECT_EQ(errors, std::vector<std::string>{"boom"});
  ASSERT_TRUE(ReadableWithin(fd, 5'000));
  loop.RunReady();
  EXPECT_EQ(fired, 1);
}

}  // namespace
