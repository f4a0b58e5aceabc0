#include "gui/controls/adv_spin_edit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <limits>
#include <vector>

namespace {

struct TTyped {
  int min, max;
  const char* keys;  // typed into an empty edit
  int value;         // Value afterwards
  const char* text;  // what the edit shows
};

TEST(AdvSpinEditTest, TypedTextIsReadAndClamped) {
  const std::vector<TTyped> cases = {
      {0, 0, "+5", 5, "5"},
      {0, 0, "2147483647", 2147483647, "2147483647"},  // both bounds 0: unbounded
      {0, 0, "-2147483648", -2147483647 - 1, "-2147483648"},
      {0, 99, "150", 99, "99"},
      {10, 99, "5", 10, "10"},
      {0, 99, "-", 7, "-"},       // unreadable: the value stays
      {0, 99, "4a.x", 4, "4"},    // letters are swallowed
      {0, 99, "4\r", 4, "4"},     // so is Enter
      {99, 0, "150", 99, "99"},   // backward: MaxValue is the lower bound
      {99, 10, "5", 10, "10"},
  };
  for (const TTyped& c : cases) {
    TAdvSpinEdit spin;
    spin.SetMinValue(c.min);
    spin.SetMaxValue(c.max);
    spin.SetValue(7);
    spin.Edit()->clear();
    QTest::keyClicks(spin.Edit(), c.keys);
    EXPECT_EQ(spin.Value(), c.value) << c.keys;
    EXPECT_EQ(spin.Edit()->text().toStdString(), c.text) << c.keys;
  }
}

TEST(AdvSpinEditTest, StepsFollowTheDirection) {
  TAdvSpinEdit spin;
  spin.SetMinValue(0);
  spin.SetMaxValue(10);
  spin.SetIncrement(3);
  spin.SetValue(9);
  EXPECT_EQ(spin.Direction(), sdForward);
  QTest::keyClick(spin.Edit(), Qt::Key_Up);
  EXPECT_EQ(spin.Value(), 10);  // clamped at the top
  QTest::keyClick(spin.Edit(), Qt::Key_Down);
  EXPECT_EQ(spin.Value(), 7);
  QTest::mouseClick(spin.UpButton(), Qt::LeftButton);
  EXPECT_EQ(spin.Value(), 10);

  // MaxValue below MinValue: counting runs the other way.
  spin.SetMinValue(20);
  EXPECT_EQ(spin.Direction(), sdBackward);
  spin.SetValue(15);
  QTest::keyClick(spin.Edit(), Qt::Key_Up);
  EXPECT_EQ(spin.Value(), 12);
  QTest::mouseClick(spin.DownButton(), Qt::LeftButton);
  EXPECT_EQ(spin.Value(), 15);
  spin.SetValue(25);
  EXPECT_EQ(spin.Value(), 20);
  spin.SetValue(1);
  EXPECT_EQ(spin.Value(), 10);

  // Forcing the direction moves the bound that is in the way.
  spin.SetDirection(sdForward);
  EXPECT_EQ(spin.MinValue(), 10);
  EXPECT_EQ(spin.MaxValue(), 10);
}

TEST(AdvSpinEditTest, UnboundedStepStopsAtTheIntegerEnd) {
  TAdvSpinEdit spin;
  spin.SetValue(std::numeric_limits<std::int32_t>::max());
  spin.StepUp();
  EXPECT_EQ(spin.Value(), std::numeric_limits<std::int32_t>::max());
}

}  // namespace
