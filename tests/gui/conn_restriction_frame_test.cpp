#include "gui/controls/conn_restriction_frame.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <cstdint>
#include <vector>

#include "gui/controls/adv_spin_edit.h"

namespace {

TEST(ConnRestrictionFrameTest, ShareShownInTheLargestWholeUnit) {
  struct TCase {
    std::int64_t bytes;
    std::int64_t number;
    int unit;
  };
  const std::vector<TCase> cases = {
      {0, 0, -1},  // keeps the unit box
      {1023, 1023, 0},
      {1536, 1, 1},
      {1572864000, 1, 3},  // 1500 MiB: one whole GiB
      {std::int64_t{1} << 50, 1, 5},
      {std::int64_t{1} << 60, 1024, 5},  // never beyond PiB
  };
  for (const TCase& c : cases) {
    const TShareDisplay shown = ShareForDisplay(c.bytes);
    EXPECT_EQ(shown.Number, c.number) << c.bytes;
    EXPECT_EQ(shown.Unit, c.unit) << c.bytes;
  }
  TframeConnRestriction frame;
  frame.cbMinShare->setCurrentIndex(1);
  TConnRestriction r;
  r.MinShare = 0;
  frame.SetValues(&r);
  EXPECT_EQ(frame.cbMinShare->currentText(), "KiB");
}

// Values no control can show exactly survive a show and every save path.
TEST(ConnRestrictionFrameTest, UnchangedControlsGiveTheStoredValuesBack) {
  TConnRestriction stored;
  stored.MinShareEnabled = true;
  stored.MinShare = 1572864000;  // 1500 MiB, shown as 1 GiB
  stored.MaxHubsEnabled = true;
  stored.MaxHubs = 150;  // beyond the spin's 0..99
  stored.MaxShare = std::int64_t{1} << 62;  // beyond 1024 PiB
  const TConnRestriction before = stored;

  TframeConnRestriction frame;
  QSignalSpy modified(&frame, &TframeConnRestriction::OnModifiedChange);
  frame.Attach(&stored);
  EXPECT_EQ(frame.seMinShare->Value(), 1);
  EXPECT_EQ(frame.cbMinShare->currentText(), "GiB");
  EXPECT_EQ(frame.seMaxHubs->Value(), 99);
  EXPECT_TRUE(stored == before);
  frame.Commit(false);
  EXPECT_TRUE(stored == before);
  frame.SetAutoApply(true);
  frame.chkMaxSlots->setChecked(true);  // another control changes
  EXPECT_TRUE(stored.MaxSlotsEnabled);
  stored.MaxSlotsEnabled = false;
  EXPECT_TRUE(stored == before);
  frame.Commit(false);
  EXPECT_EQ(stored.MaxHubs, 150);
  EXPECT_EQ(modified.count(), 0);

  // A changed control writes its own value.
  frame.seMaxHubs->SetValue(40);
  EXPECT_EQ(stored.MaxHubs, 40);
  EXPECT_EQ(stored.MinShare, 1572864000);
  frame.cbMinShare->setCurrentIndex(2);
  EXPECT_EQ(stored.MinShare, std::int64_t{1} << 20);
}

TEST(ConnRestrictionFrameTest, ModifiedFollowsTheControlsUntilCommit) {
  TConnRestriction stored;
  stored.MaxSlots = 5;
  TframeConnRestriction frame;
  frame.Attach(&stored);
  QSignalSpy modified(&frame, &TframeConnRestriction::OnModifiedChange);
  QSignalSpy changed(&frame, &TframeConnRestriction::OnChange);
  frame.seMaxSlots->Edit()->setFocus();
  frame.seMaxSlots->Edit()->clear();
  QTest::keyClicks(frame.seMaxSlots->Edit(), "7");
  EXPECT_TRUE(frame.Modified());
  EXPECT_EQ(stored.MaxSlots, 5);  // not yet
  QTest::keyClick(frame.seMaxSlots->Edit(), Qt::Key_Backspace);
  QTest::keyClicks(frame.seMaxSlots->Edit(), "5");
  EXPECT_FALSE(frame.Modified());  // back to what is stored
  frame.chkMinSlots->setChecked(true);
  EXPECT_TRUE(frame.Modified());
  frame.Commit(false);
  EXPECT_FALSE(frame.Modified());
  EXPECT_TRUE(stored.MinSlotsEnabled);
  EXPECT_EQ(modified.count(), 4);
  EXPECT_GT(changed.count(), 0);
  frame.Commit(true);  // a cancel changes nothing
  EXPECT_TRUE(stored.MinSlotsEnabled);
}

TEST(ConnRestrictionFrameTest, ResetGivesANewRestrictionsValues) {
  TConnRestriction stored;
  stored.MinShareEnabled = true;
  stored.MinShare = 5;
  stored.MayBeInPassiveMode = false;
  stored.SlotRatio = 3;
  TframeConnRestriction frame;
  frame.Attach(&stored);
  frame.cbMaxShare->setCurrentIndex(0);
  frame.ResetValues();
  EXPECT_TRUE(stored == TConnRestriction());
  EXPECT_TRUE(frame.chkMayBeInPassiveMode->isChecked());
  EXPECT_EQ(frame.cbMinShare->currentText(), "GiB");
  EXPECT_EQ(frame.cbMaxShare->currentText(), "GiB");
  EXPECT_FALSE(frame.Modified());
}

TEST(ConnRestrictionFrameTest, ControlsCarryTheirNamesAndEnableTogether) {
  TframeConnRestriction frame;
  frame.SetControlsEnabled(false);
  for (const char* name : {"chkMinShare", "cbMinShare", "cbMaxShare", "chkMaxShare", "chkMaxHubs", "chkSlotRatio",
                           "chkMaxSlots", "chkMinSlots", "chkMayBeInPassiveMode", "chkAllowTagLessToByPass",
                           "seMinShare", "seMaxShare", "seMinSlots", "seMaxHubs", "seMaxSlots", "seSlotRatio"}) {
    QWidget* w = frame.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_FALSE(w->isEnabled()) << name;
  }
  EXPECT_EQ(frame.chkAllowTagLessToByPass->text(), "Allow \"tag-less\" clients to bypass hub/slot restrictions");
}

}  // namespace
