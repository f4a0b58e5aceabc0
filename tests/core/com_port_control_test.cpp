#include "core/com_port_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "core/com_port.h"
#include "core/hub_stats.h"
#include "settings/settings.h"
#include "support/loop_runner.h"
#include "support/pty_pair.h"

namespace {

using namespace std::chrono_literals;

class ComPortControlTest : public ::testing::Test {
 protected:
  ComPortControlTest()
      : stats_("127.0.0.1"),
        port_(loop_),
        control_(port_, settings_, stats_,
                 {[this] { calls_.push_back("stop"); }, [this] { calls_.push_back("start"); },
                  [this](int level) { calls_.push_back("show " + std::to_string(level)); }}) {
    port_.Port = pty_.SlavePath();
    port_.ReceiveCallBack = [this](const std::string& line) { control_.HandleLine(line); };
    port_.Open();
  }

  EventLoop loop_;
  TPtyPair pty_;
  TSettings settings_;
  TStats stats_;
  TComPort port_;
  TComPortControl control_;
  std::vector<std::string> calls_;
};

TEST_F(ComPortControlTest, LinesAskAndAnswer) {
  struct TCase {
    std::string line;
    std::vector<std::string> calls;
    std::string reply;
    int pace;  // the work pace afterwards (it starts at 3)
  };
  const std::vector<TCase> cases = {
      {"KV+SSSP\r\n", {"stop"}, "", 3},
      {"KV+SSST\r\n", {"start"}, "", 3},
      {"KV+SSST", {"start"}, "", 3},  // no line end needed
      {"KV+SSS\r\n", {}, "", 3},
      {"KV+SSWP=5\r\n", {"show 5"}, "", 5},
      {"KV+SSWP=0\r\n", {"show 0"}, "", 0},
      {"KV+SSWP=7\r\n", {}, "", 3},  // the fastest level is out of reach
      {"KV+SSWP=5", {}, "", 3},
      {"KV+SSWP=5\r\nx", {}, "", 3},
      {"KV+STUC\r\n", {}, "KV-STUC=12\r\n", 3},
      {"KV+STUC", {}, "", 3},
      {"KV+SSUL\r\n", {}, "KV-SSUL=250\r\n", 3},
      {"kv+ssul\r\n", {}, "", 3},
  };
  stats_.CurrentUsers = 12;
  settings_.MaxUsers = 250;
  for (const TCase& c : cases) {
    calls_.clear();
    settings_.SetWorkPace(3);
    const std::size_t sent = pty_.Received().size();
    control_.HandleLine(c.line);
    EXPECT_EQ(calls_, c.calls) << c.line;
    EXPECT_EQ(settings_.WorkPace(), c.pace) << c.line;
    EXPECT_EQ(pty_.Received().substr(sent), c.reply) << c.line;
    EXPECT_EQ(control_.Log().Lines().back(), c.line);
  }
}

TEST_F(ComPortControlTest, TwoLinesOfOneReadAreBothAnswered) {
  stats_.CurrentUsers = 4;
  pty_.Send("KV+STUC\r\nKV+SSUL\r\n");
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return control_.Log().Lines().size() == 2; }, 5s));
  EXPECT_EQ(pty_.Received(), "KV-STUC=4\r\nKV-SSUL=3000\r\n");
}

TEST(ComPortLogTest, ClearedWhenItHoldsMoreThan500Lines) {
  TComPortLog log;
  int cleared = 0;
  log.OnCleared = [&] { ++cleared; };
  for (int i = 1; i <= 501; ++i) log.Add(std::to_string(i));
  EXPECT_EQ(log.Lines().size(), 501u);
  EXPECT_EQ(cleared, 0);
  log.Add("502");
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"502"}));
}

}  // namespace
