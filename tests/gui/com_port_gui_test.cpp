#include "gui/com_port_gui.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <exception>
#include <string>

#include "base/exceptions.h"
#include "core/com_port.h"
#include "core/com_port_control.h"
#include "core/hub_stats.h"
#include "settings/settings.h"
#include "support/loop_runner.h"
#include "support/pty_pair.h"

namespace {

using namespace std::chrono_literals;

// The page over a port to a pseudo-terminal, lines interpreted by the control.
class ComPortGuiTest : public ::testing::Test {
 protected:
  ComPortGuiTest()
      : stats_("127.0.0.1"),
        port_(loop_),
        control_(port_, settings_, stats_, {[this] { ++stops_; }, [this] { ++starts_; }, nullptr}),
        page_(port_, control_.Log(), [this](std::exception_ptr e) { error_ = e; }) {
    port_.ReceiveCallBack = [this](const std::string& line) { control_.HandleLine(line); };
    page_.PortList()->addItem(QString::fromStdString(pty_.SlavePath()));
    page_.PortList()->setCurrentIndex(page_.PortList()->count() - 1);
  }

  EventLoop loop_;
  TPtyPair pty_;
  TSettings settings_;
  TStats stats_;
  TComPort port_;
  TComPortControl control_;
  TComPortGui page_;
  std::exception_ptr error_;
  int stops_ = 0;
  int starts_ = 0;
};

TEST_F(ComPortGuiTest, OpenTalkAndClose) {
  page_.SendAfterOpen()->setChecked(true);
  page_.SendBeforeClose()->setChecked(true);
  QTest::mouseClick(page_.OpenButton(), Qt::LeftButton);
  ASSERT_FALSE(error_);
  EXPECT_TRUE(port_.Opened());
  EXPECT_EQ(page_.OpenButton()->text(), "Close Port");
  EXPECT_FALSE(page_.PortList()->isEnabled());
  EXPECT_EQ(pty_.Received(), "KV-PO\r\n");

  stats_.CurrentUsers = 12;
  pty_.Send("KV+STUC\r\nKV+SSSP\r\n");
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return stops_ == 1; }, 5s));
  EXPECT_EQ(pty_.Received(), "KV-PO\r\nKV-STUC=12\r\n");
  EXPECT_EQ(page_.LogView()->toPlainText(), "KV+STUC\nKV+SSSP");

  page_.SendField()->setText("KV-HELLO");
  QTest::mouseClick(page_.SendButton(), Qt::LeftButton);
  QTest::mouseClick(page_.OpenButton(), Qt::LeftButton);
  EXPECT_EQ(pty_.Received(), "KV-PO\r\nKV-STUC=12\r\nKV-HELLO\r\nKV-PC\r\n");
  EXPECT_FALSE(port_.Opened());
  EXPECT_EQ(page_.OpenButton()->text(), "Open Port");
  EXPECT_TRUE(page_.PortList()->isEnabled());
}

TEST_F(ComPortGuiTest, FailedOpenReportsAndStaysClosed) {
  page_.PortList()->addItem("/nonexistent/ttyS7");
  page_.PortList()->setCurrentIndex(page_.PortList()->count() - 1);
  QTest::mouseClick(page_.OpenButton(), Qt::LeftButton);
  ASSERT_TRUE(error_);
  try {
    std::rethrow_exception(error_);
  } catch (const EComError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("TCOMPORT : cannot open /nonexistent/ttyS7\r", 0), 0u);
  }
  EXPECT_EQ(page_.OpenButton()->text(), "Open Port");
  EXPECT_TRUE(page_.PortList()->isEnabled());
  EXPECT_FALSE(port_.Opened());
}

TEST_F(ComPortGuiTest, TheViewFollowsTheLogClearing) {
  for (int i = 0; i < 502; ++i) control_.HandleLine("x" + std::to_string(i) + "\r\n");
  EXPECT_EQ(page_.LogView()->toPlainText(), "x501");
}

}  // namespace
