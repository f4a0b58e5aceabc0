#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "platform/event_loop.h"
#include "base/exceptions.h"

namespace {

// Both ends of a connected stream socket pair, closed at the end.
class TSocketPair {
 public:
  TSocketPair() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0)
      throw std::runtime_error("socketpair");
  }
  ~TSocketPair() {
    CloseB();
    close(fds_[0]);
  }
  TSocketPair(const TSocketPair&) = delete;
  TSocketPair& operator=(const TSocketPair&) = delete;

  int A() const { return fds_[0]; }
  int B() const { return fds_[1]; }
  void SendToA() { ASSERT_EQ(write(fds_[1], "x", 1), 1); }
  void CloseB() {
    if (fds_[1] >= 0) close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

class EventLoopWatchTest : public ::testing::Test {
 protected:
  void RunWithWatchdog() {
    TTimer watchdog = loop_.AddTimer(10'000, false, [this] {
      ADD_FAILURE() << "watchdog fired";
      loop_.Stop();
    });
    loop_.Run();
  }
  // Runs long enough for any pending readiness to be dispatched.
  void RunBriefly() {
    TTimer end = loop_.AddTimer(30, false, [this] { loop_.Stop(); });
    loop_.Run();
  }

  EventLoop loop_;
  TSocketPair pair_;
};

TEST_F(EventLoopWatchTest, ReadReadyAfterPeerWrites) {
  unsigned seen = 0;
  TFdWatch watch = loop_.Watch(pair_.A(), ioRead, [&](unsigned events) {
    seen = events;
    char c = 0;
    EXPECT_EQ(read(pair_.A(), &c, 1), 1);
    loop_.Stop();
  });
  TTimer writer = loop_.AddTimer(5, false, [&] { pair_.SendToA(); });
  RunWithWatchdog();
  EXPECT_EQ(seen, static_cast<unsigned>(ioRead));
}

TEST_F(EventLoopWatchTest, InterestDecidesWhatIsReported) {
  struct TCase {
    const char* name;
    unsigned interest;
    bool dataWaiting;
    unsigned expected;  // 0: no call at all
  };
  const TCase cases[] = {
      {"write ready", ioWrite, false, ioWrite},
      {"read and write", ioRead | ioWrite, true, ioRead | ioWrite},
      {"read only while writable", ioRead, false, 0},
      {"paused with data waiting", 0, true, 0},
  };
  for (const auto& c : cases) {
    TSocketPair pair;
    if (c.dataWaiting) pair.SendToA();
    unsigned seen = 0;
    TFdWatch watch = loop_.Watch(pair.A(), c.interest, [&](unsigned events) { seen |= events; });
    RunBriefly();
    EXPECT_EQ(seen, c.expected) << c.name;
  }
}

TEST_F(EventLoopWatchTest, ChangingInterest) {
  pair_.SendToA();
  std::vector<unsigned> seen;
  TFdWatch watch = loop_.Watch(pair_.A(), 0, [&](unsigned events) { seen.push_back(events); });
  RunBriefly();
  EXPECT_TRUE(seen.empty());

  watch.SetInterest(ioWrite);
  RunBriefly();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), static_cast<unsigned>(ioWrite));

  seen.clear();
  watch.SetInterest(ioRead);
  TTimer stopAfterOne = loop_.AddTimer(1, true, [&] {
    if (!seen.empty()) loop_.Stop();
  });
  RunWithWatchdog();
  EXPECT_EQ(seen.front(), static_cast<unsigned>(ioRead));
}

TEST_F(EventLoopWatchTest, HangUpIsReported) {
  pair_.CloseB();
  unsigned seen = 0;
  TFdWatch watch = loop_.Watch(pair_.A(), ioRead, [&](unsigned events) {
    seen = events;
    loop_.Stop();
  });
  RunWithWatchdog();
  EXPECT_TRUE(seen & ioHangUp);
}

TEST_F(EventLoopWatchTest, WatchStoppedByAnotherHandlerGetsNoPendingEvent) {
  struct TCase {
    const char* name;
    std::function<void(std::unique_ptr<TFdWatch>&)> stop;
  };
  const TCase cases[] = {
      {"destroyed", [](std::unique_ptr<TFdWatch>& w) { w.reset(); }},
      {"removed", [](std::unique_ptr<TFdWatch>& w) { w->Remove(); }},
      {"paused", [](std::unique_ptr<TFdWatch>& w) { w->SetInterest(0); }},
  };
  for (const auto& c : cases) {
    // Both descriptors are ready in the same turn; whichever handler runs
    // first stops the other watch, whose event must then be dropped.
    TSocketPair one;
    TSocketPair two;
    one.SendToA();
    two.SendToA();
    int firstCalls = 0;
    int secondCalls = 0;
    auto first = std::make_unique<TFdWatch>();
    auto second = std::make_unique<TFdWatch>();
    *first = loop_.Watch(one.A(), ioRead, [&](unsigned) {
      if (++firstCalls == 1 && secondCalls == 0) c.stop(second);
    });
    *second = loop_.Watch(two.A(), ioRead, [&](unsigned) {
      if (++secondCalls == 1 && firstCalls == 0) c.stop(first);
    });
    RunBriefly();
    EXPECT_EQ(std::min(firstCalls, secondCalls), 0) << c.name;
    EXPECT_GT(std::max(firstCalls, secondCalls), 0) << c.name;
  }
}

TEST_F(EventLoopWatchTest, RemovedWatchCanBeReplacedOnTheSameDescriptor) {
  pair_.SendToA();
  int oldCalls = 0;
  int newCalls = 0;
  TFdWatch watch = loop_.Watch(pair_.A(), ioRead, [&](unsigned) { ++oldCalls; });
  watch.Remove();
  EXPECT_FALSE(watch.IsWatching());
  TFdWatch replacement = loop_.Watch(pair_.A(), ioRead, [&](unsigned) {
    ++newCalls;
    loop_.Stop();
  });
  RunWithWatchdog();
  EXPECT_EQ(oldCalls, 0);
  EXPECT_EQ(newCalls, 1);
}

TEST_F(EventLoopWatchTest, SecondWatchOnOneDescriptorIsRefused) {
  TFdWatch watch = loop_.Watch(pair_.A(), ioRead, [](unsigned) {});
  EXPECT_THROW(loop_.Watch(pair_.A(), ioRead, [](unsigned) {}), EKavroException);
  EXPECT_TRUE(watch.IsWatching());
}

}  // namespace
