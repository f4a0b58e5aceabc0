// The Feed page: colours, order, plain text, the cleaner and the status bar.

#include "gui/feed_pane.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSpinBox>

namespace {

class FeedPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pane_.SetClock([] { return QTime(13, 5, 9); });
    pane_.SetStatusSink([this](const QString& line) { status_ = line; });
  }
  void SetLimit(int limit, bool ticked) {
    pane_.findChild<QSpinBox*>("aseAutoClean")->setValue(limit);
    pane_.findChild<QCheckBox*>("cbAutocleanEnabled")->setChecked(ticked);
  }

  TFeedPane pane_;
  QString status_;
};

struct TColourRow {
  TFeedKind kind;
  QColor colour;
};

TEST_F(FeedPaneTest, EachKindHasItsColourAndTheStampIsBlack) {
  const TColourRow rows[] = {
      {TFeedKind::Event, Qt::blue},          {TFeedKind::Action, Qt::darkGreen},
      {TFeedKind::Kick, Qt::darkGreen},      {TFeedKind::GUI, QColor(0x80, 0x80, 0x00)},
      {TFeedKind::Error, Qt::red},
  };
  for (const TColourRow& row : rows) {
    pane_.ShowFeedLine(row.kind, "line");
    EXPECT_EQ(pane_.EntryColour(0), row.colour) << static_cast<int>(row.kind);
    EXPECT_EQ(pane_.StampColour(0), QColor(Qt::black));
  }
}

TEST_F(FeedPaneTest, NewestFirstPlainTextAndTheStatusBar) {
  pane_.ShowFeedLine(TFeedKind::Event, "first");
  pane_.ShowFeedLine(TFeedKind::Error, "<b>bold</b> &amp; \xA7");
  pane_.ShowFeedLine(TFeedKind::Event, "");  // nothing
  ASSERT_EQ(pane_.EntryCount(), 2);
  EXPECT_EQ(pane_.Entry(0), QStringLiteral(u"[13:05:09] <b>bold</b> &amp; §"));
  EXPECT_EQ(pane_.Entry(1), "[13:05:09] first");
  EXPECT_EQ(status_, QStringLiteral(u"[13:05:09] - <b>bold</b> &amp; §"));
}

TEST_F(FeedPaneTest, ScriptLinesAreGreyAndLeaveTheStatusBar) {
  pane_.ShowScriptOutput("print");
  EXPECT_EQ(pane_.EntryColour(0), QColor(Qt::gray));
  EXPECT_EQ(pane_.StampColour(0), QColor(Qt::gray));
  EXPECT_TRUE(status_.isEmpty());
}

// A text with line breaks is one entry: the cleaner counts entries.
TEST_F(FeedPaneTest, CleanerKeepsTheNewestEntriesWhileTicked) {
  SetLimit(3, true);
  for (int i = 0; i < 5; ++i)
    pane_.ShowFeedLine(TFeedKind::Event, "entry " + std::to_string(i) + "\r\nsecond line\nthird");
  ASSERT_EQ(pane_.EntryCount(), 5);
  EXPECT_EQ(pane_.Entry(0), "[13:05:09] entry 4\nsecond line\nthird");
  pane_.CleanFeed();
  ASSERT_EQ(pane_.EntryCount(), 3);
  EXPECT_EQ(pane_.Entry(0), "[13:05:09] entry 4\nsecond line\nthird");
  EXPECT_EQ(pane_.Entry(2), "[13:05:09] entry 2\nsecond line\nthird");

  SetLimit(3, false);
  for (int i = 0; i < 3; ++i) pane_.ShowFeedLine(TFeedKind::Event, "more");
  for (int i = 0; i < 3; ++i) pane_.ShowScriptOutput("script");
  pane_.CleanFeed();
  EXPECT_EQ(pane_.EntryCount(), 9);
}

TEST_F(FeedPaneTest, ScriptLinesTrimBeforeTheyGoIn) {
  SetLimit(2, true);
  for (int i = 0; i < 4; ++i) pane_.ShowFeedLine(TFeedKind::Event, "line");
  pane_.ShowScriptOutput("script");
  EXPECT_EQ(pane_.EntryCount(), 2);
  EXPECT_EQ(pane_.Entry(0), "[13:05:09] script");
}

TEST_F(FeedPaneTest, ClearEmptiesTheView) {
  pane_.ShowFeedLine(TFeedKind::Event, "line");
  pane_.Clear();
  EXPECT_EQ(pane_.EntryCount(), 0);
  pane_.ShowFeedLine(TFeedKind::Event, "again");
  EXPECT_EQ(pane_.EntryCount(), 1);
}

}  // namespace
