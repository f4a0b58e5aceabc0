#include "core/com_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "support/loop_runner.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

TEST(ComPortTerminatorTest, ParsesCodesOrKeepsCrLf) {
  struct TCase {
    const char* text;
    std::string bytes;  // empty: an error is expected
    const char* error;
  };
  const char* illegal =
      "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10";
  const std::vector<TCase> cases = {
      {"#13#10", "\r\n", nullptr},
      {"#13", "\r", nullptr},
      {"#65#066#255", std::string("AB\xFF"), nullptr},
      {"#0", std::string(1, '\0'), nullptr},
      {"#13#", "\r", nullptr},  // a closing "#" adds nothing
      {"#13#A", "", illegal},
      {"#13##10", "", illegal},
      {"#256", "", illegal},  // no byte has that code
      {"#1000", "", illegal},
      {"#-1", "", illegal},
      {"#", "", "Terminator string cannot be empty!"},
      {"", "", "Terminator string cannot be empty!"},
  };
  for (const TCase& c : cases) {
    EventLoop loop;
    TComPort port(loop);
    port.SetTerminator("#10");
    if (c.error == nullptr) {
      port.SetTerminator(c.text);
      EXPECT_EQ(port.TerminatorBytes(), c.bytes) << c.text;
      continue;
    }
    try {
      port.SetTerminator(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const EComError& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
    // A failed setting never leaves a terminator that ends no line.
    EXPECT_EQ(port.TerminatorBytes(), "\r\n") << c.text;
  }
  EXPECT_EQ(FormatTerminator("\r\n"), "#13#10");
  EXPECT_EQ(FormatTerminator(std::string("A\xFF")), "#65#255");
}

// A port over a pseudo-terminal, collecting what it hands on.
class ComPortTest : public ::testing::Test {
 protected:
  ComPortTest() : port_(loop_) {
    port_.Port = pty_.SlavePath();
    port_.ReceiveCallBack = [this](const std::string& text) {
      received_.push_back(text);
      ++events_;
    };
  }

  bool WaitFor(std::size_t count) {
    return RunLoopUntil(loop_, [&] { return received_.size() >= count; }, 5s);
  }

  EventLoop loop_;
  TPtyPair pty_;
  TComPort port_;
  std::vector<std::string> received_;
  int events_ = 0;
};

TEST_F(ComPortTest, OpenFailureNamesThePortAndTheReason) {
  TTempFolder folder;
  port_.Port = folder.Path().string() + "/ttyS99";
  try {
    port_.Open();
    FAIL() << "opened a missing device";
  } catch (const EComError& e) {
    EXPECT_EQ(std::string(e.what()), "TCOMPORT : cannot open " + port_.Port + "\rNo such file or directory");
  }
  EXPECT_FALSE(port_.Opened());
}

TEST_F(ComPortTest, OpenAndCloseNotifyOnce) {
  int opened = 0;
  int closed = 0;
  port_.OnPortOpen = [&](TComPort&) { ++opened; };
  port_.OnPortClose = [&](TComPort&) { ++closed; };
  port_.Open();
  port_.Open();
  EXPECT_TRUE(port_.Opened());
  port_.Close();
  port_.Close();
  port_.Write("KV-PC\r\n");  // closed: nothing goes out
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(pty_.Received(), "");
}

TEST_F(ComPortTest, EveryCompleteLineOfAReadInOrder) {
  port_.Open();
  pty_.Send("KV+STUC\r\nKV+SSUL\r\nKV+SS");
  ASSERT_TRUE(WaitFor(2));
  RunLoopFor(loop_, 20ms);
  EXPECT_EQ(received_, (std::vector<std::string>{"KV+STUC\r\n", "KV+SSUL\r\n"}));

  // The rest of a line, and a terminator split over two reads.
  pty_.Send("ST\r");
  RunLoopFor(loop_, 20ms);
  EXPECT_EQ(received_.size(), 2u);
  pty_.Send("\n");
  ASSERT_TRUE(WaitFor(3));
  EXPECT_EQ(received_[2], "KV+SSST\r\n");
}

TEST_F(ComPortTest, OverlongLineIsDroppedWhole) {
  port_.Open();
  // At the limit the line is still whole.
  pty_.Send(std::string(TComPort::kMaxPendingLine - 2, 'a'));
  RunLoopFor(loop_, 20ms);
  pty_.Send("\r\n");
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(received_[0].size(), TComPort::kMaxPendingLine);

  // Beyond it the line goes up to its terminator; the next one counts.
  std::string flood(TComPort::kMaxPendingLine + 100, 'b');
  flood.replace(200, 7, "KV+SSSP");
  pty_.Send(flood);
  RunLoopFor(loop_, 20ms);
  pty_.Send("bbbb\r");
  RunLoopFor(loop_, 20ms);
  pty_.Send("\nKV+STUC\r\n");
  ASSERT_TRUE(WaitFor(2));
  RunLoopFor(loop_, 20ms);
  EXPECT_EQ(received_, (std::vector<std::string>{std::string(TComPort::kMaxPendingLine - 2, 'a') + "\r\n",
                                                 "KV+STUC\r\n"}));
}

TEST_F(ComPortTest, RawModePassesTextUnchanged) {
  port_.ReceiveMode = rmRAW;
  port_.Open();
  pty_.Send("ab\r\ncd");
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(received_[0], "ab\r\ncd");
}

TEST_F(ComPortTest, WritesNeverBlockAndAllArrive) {
  port_.Open();
  const std::string text(TComPort::kMaxQueuedWrite, 'x');
  port_.Write(text);  // far more than the terminal takes at once
  EXPECT_GT(port_.QueuedWriteBytes(), 0u);
  port_.Write("y");
  const std::string expected = text + "y";
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return pty_.Received().size() >= expected.size(); }));
  RunLoopFor(loop_, 20ms);
  EXPECT_TRUE(pty_.Received() == expected);
  EXPECT_EQ(port_.QueuedWriteBytes(), 0u);
}

TEST_F(ComPortTest, AStuckDeviceHoldsABoundedQueue) {
  port_.Open();
  port_.Write(std::string(3 * TComPort::kMaxQueuedWrite, 'z'));
  EXPECT_LE(port_.QueuedWriteBytes(), TComPort::kMaxQueuedWrite);
  port_.Write("more");
  EXPECT_LE(port_.QueuedWriteBytes(), TComPort::kMaxQueuedWrite);
}

TEST_F(ComPortTest, LostLineReportsOnceAndStopsReading) {
  int errors = 0;
  port_.OnError = [&](TComPort&) { ++errors; };
  port_.Open();
  pty_.Send("KV+STUC\r\n");
  ASSERT_TRUE(WaitFor(1));
  pty_.CloseMaster();
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return errors > 0; }));
  RunLoopFor(loop_, 30ms);
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(port_.Opened());  // until the operator closes it
  port_.Close();
  EXPECT_FALSE(port_.Opened());
}

TEST_F(ComPortTest, ACallbackMayCloseThePort) {
  port_.ReceiveCallBack = [this](const std::string& line) {
    received_.push_back(line);
    port_.Close();
  };
  port_.Open();
  pty_.Send("a\r\nb\r\n");
  ASSERT_TRUE(WaitFor(1));
  RunLoopFor(loop_, 20ms);
  EXPECT_EQ(received_, (std::vector<std::string>{"a\r\n"}));
  EXPECT_FALSE(port_.Opened());
}

}  // namespace
