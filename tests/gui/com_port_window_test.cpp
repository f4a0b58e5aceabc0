// The serial control line in the program's window: lines arriving on the
// port drive the hub through Qt's loop, which drives the core's.

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "core/hub_stats.h"
#include "core/kavro_root.h"
#include "core/hub_feed.h"
#include "core/program_lifecycle.h"
#include "gui/com_port_gui.h"
#include "gui/feed_pane.h"
#include "gui/gui_fixture.h"
#include "gui/main_window.h"
#include "support/pty_pair.h"

namespace {

TEST_F(TGuiTest, ControlLinesStartAndStopTheHubAndAnswer) {
  TComPortGui* page = gui_->ComPortPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(gui_->Window().Page("ComPort"), page->parentWidget());
  TPtyPair pty;
  page->PortList()->addItem(QString::fromStdString(pty.SlavePath()));
  page->PortList()->setCurrentIndex(page->PortList()->count() - 1);
  QTest::mouseClick(page->OpenButton(), Qt::LeftButton);
  ASSERT_EQ(page->OpenButton()->text(), "Close Port");

  Settings().MaxUsers = 77;
  pty.Send("KV+SSST\r\nKV+SSUL\r\n");
  ASSERT_TRUE(SpinUntil([&] { return gui_->Lifecycle().HubRunning(); }));
  ASSERT_TRUE(SpinUntil([&] { return pty.Received() == "KV-SSUL=77\r\n"; }));
  pty.Send("KV+SSWP=2\r\nKV+SSSP\r\n");
  ASSERT_TRUE(SpinUntil([&] { return !gui_->Lifecycle().HubRunning(); }));
  EXPECT_EQ(Settings().WorkPace(), 2);
  EXPECT_EQ(page->LogView()->toPlainText(), "KV+SSST\nKV+SSUL\nKV+SSWP=2\nKV+SSSP");
  EXPECT_TRUE(dialogs_.asked.isEmpty());  // the line never asks
  QTest::mouseClick(page->OpenButton(), Qt::LeftButton);
  EXPECT_EQ(page->OpenButton()->text(), "Open Port");
}

TEST_F(TGuiTest, AFailedOpenIsReportedWithTheComponentsClass) {
  TComPortGui* page = gui_->ComPortPage();
  page->PortList()->addItem("/nonexistent/ttyUSB3");
  page->PortList()->setCurrentIndex(page->PortList()->count() - 1);
  const std::int64_t before = Root().Stats().UnhandledExceptions;
  QTest::mouseClick(page->OpenButton(), Qt::LeftButton);
  EXPECT_EQ(page->OpenButton()->text(), "Open Port");
  EXPECT_TRUE(page->PortList()->isEnabled());
  ASSERT_TRUE(SpinUntil([&] { return Root().Stats().UnhandledExceptions == before + 1; }));
  TFeedPane* feed = gui_->Window().FeedPane();
  QString last;
  for (int i = 0; i < feed->EntryCount(); ++i)
    if (feed->EntryColour(i) == TFeedPane::KindColour(TFeedKind::Error)) last = feed->Entry(i).mid(11);
  EXPECT_TRUE(last.startsWith("EComError:TCOMPORT : cannot open /nonexistent/ttyUSB3")) << last.toStdString();
}

}  // namespace
