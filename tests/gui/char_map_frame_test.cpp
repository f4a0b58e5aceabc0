#include "gui/controls/char_map_frame.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "utils/constants.h"

namespace {

TEST(CharMapFrameTest, CaptionsThroughTheTextTable) {
  const std::vector<std::pair<int, QString>> cases = {
      {65, "065:A"}, {38, "038:&&"}, {128, QString("128:") + QChar(0x20AC)}, {129, QString("129:") + QChar(0x81)},
      {255, QString("255:") + QChar(0xFF)}, {7, QString("007:") + QChar(7)}};
  TframeCharMap frame;
  for (const auto& [code, caption] : cases) {
    EXPECT_EQ(TframeCharMap::BoxCaption(code), caption) << code;
    EXPECT_EQ(frame.Box(code)->text(), caption) << code;
    EXPECT_EQ(frame.Box(code)->objectName(), QString("chk%1").arg(code, 3, 10, QChar('0')));
  }
}

TEST(CharMapFrameTest, SetMapTakesOnlyWholeMapsAndClicksWriteBack) {
  TframeCharMap frame;
  std::string map(256, '0');
  map[65] = '1';
  frame.SetMap(std::string(255, '1'));
  EXPECT_EQ(frame.Map(), std::string(256, '0'));
  frame.SetMap(map);
  EXPECT_TRUE(frame.Box(65)->isChecked());
  EXPECT_FALSE(frame.Box(66)->isChecked());
  frame.show();
  QTest::mouseClick(frame.Box(66), Qt::LeftButton, {}, QPoint(5, frame.Box(66)->height() / 2));
  QTest::mouseClick(frame.Box(65), Qt::LeftButton, {}, QPoint(5, frame.Box(65)->height() / 2));
  EXPECT_EQ(frame.Map()[66], '1');
  EXPECT_EQ(frame.Map()[65], '0');
}

// A settings record whose stored text is short: the dialog shows the table
// in force and Apply writes all 256 characters.
TEST(CharMapFrameTest, DialogShowsTheTableInForceAndAppliesAWholeMap) {
  TSettings settings;
  settings.SetWordDelimiters("0000000000000000000000000000000011");  // 32 and 33 on, the rest as before
  std::vector<QString> asked;
  TfrmWordDelimiter dialog(settings, [&](const QString& q) {
    asked.push_back(q);
    return true;
  });
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_TRUE(dialog.Frame()->Box(33)->isChecked());
    EXPECT_EQ(dialog.Frame()->Box(200)->isChecked(), settings.IsWordDelimiter('\xC8'));
    dialog.Frame()->Box(65)->click();
    dialog.ApplyButton()->click();
  });
  EXPECT_TRUE(dialog.Edit());
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(settings.WordDelimiters().size(), 256u);
  EXPECT_TRUE(settings.IsWordDelimiter('A'));
  EXPECT_TRUE(settings.IsWordDelimiter('!'));
}

TEST(CharMapFrameTest, CloseAsksAndResetLoadsTheDefault) {
  TSettings settings;
  std::vector<QString> asked;
  bool answer = false;
  TfrmAllowedNickChars dialog(settings, [&](const QString& q) {
    asked.push_back(q);
    return answer;
  });
  EXPECT_EQ(dialog.windowTitle(), "Allowed nick chars");
  for (int c : {0, 32, 36, 96, 124, 126}) EXPECT_FALSE(dialog.Frame()->Box(c)->isEnabled()) << c;
  EXPECT_TRUE(dialog.Frame()->Box(33)->isEnabled());

  // Unchanged: closing asks nothing.
  QTimer::singleShot(0, &dialog, [&] { dialog.CloseButton()->click(); });
  EXPECT_FALSE(dialog.Edit());
  EXPECT_TRUE(asked.empty());

  // Changed and closed: asked; No keeps the setting.
  const std::string before = settings.AllowedNickChars();
  QTimer::singleShot(0, &dialog, [&] {
    dialog.Frame()->Box(65)->click();
    dialog.CloseButton()->click();
  });
  EXPECT_FALSE(dialog.Edit());
  EXPECT_EQ(asked, (std::vector<QString>{"Do you wish to apply these changes?"}));
  EXPECT_EQ(settings.AllowedNickChars(), before);

  // Reset to default, confirmed, then Yes on close applies it.
  asked.clear();
  answer = true;
  QTimer::singleShot(0, &dialog, [&] {
    dialog.Frame()->Box(65)->click();
    dialog.ResetButton()->click();
    EXPECT_EQ(dialog.Frame()->Map(), std::string(DefaultAllowedNickChars));
    dialog.Frame()->Box(66)->click();
    dialog.CloseButton()->click();
  });
  EXPECT_TRUE(dialog.Edit());
  EXPECT_EQ(asked, (std::vector<QString>{"Are you sure you'd like to change to default?",
                                         "Do you wish to apply these changes?"}));
  EXPECT_FALSE(settings.NickCharAllowed('B'));
}

}  // namespace
