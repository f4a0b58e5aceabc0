// The main-chat scanner page: its action list, the overlap rule, and how
// the actions reach the scanner only when the item is saved.

#include <QTime>

#include "gui/main_gui.h"
#include "gui/mc_scanner_gui.h"
#include "gui/scanner_pages.h"
#include "scanner_pages_fixture.h"
#include "security/mc_scanner.h"

namespace {

constexpr char kOverlap[] =
    "The time range you've supplied is overlapping one of the current \r\nscanner actions which isn't "
    "allowed.";

class MCScannerPage : public TScannerPagesTest {
 protected:
  MCScannerPage() {
    files_["mc_scanner.xml"] =
        MCFile({MCNamed("bare"),
                {"night", true, false, false, false, false,
                 {{5, 7, "", true, "22:00:00", "02:00:00"}, {3, 6, "go|away", true, "03:00:00", "04:00:00"}}},
                {"ph1", false, true, false, false, true, {}},
                {"ph2", true, false, true, true, false, {}}});
  }

  TMCScannerGui& Page() { return gui_->ScannerPages().MCScanner(); }

  // "hh:mm:ss-hh:mm:ss", or "" for an action without a time range (the
  // pickers then show a window that meets nothing).
  void SetWindow(const QString& window) {
    auto* useTime = Control<QCheckBox>("chkMCScannerUseTime");
    if (window.isEmpty()) {
      Control<QTimeEdit>("teMCScannerStart")->setTime(QTime(5, 0));
      Control<QTimeEdit>("teMCScannerStop")->setTime(QTime(5, 1));
      useTime->setChecked(false);
      return;
    }
    Control<QTimeEdit>("teMCScannerStart")->setTime(QTime::fromString(window.left(8), "hh:mm:ss"));
    Control<QTimeEdit>("teMCScannerStop")->setTime(QTime::fromString(window.mid(9), "hh:mm:ss"));
    EXPECT_TRUE(useTime->isChecked());  // a time set switches the range on
  }
  QStringList ActionTexts(int column) {
    QStringList texts;
    auto* list = Control<QTreeWidget>("lvMCScannerActions");
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts.append(list->topLevelItem(i)->text(column));
    return texts;
  }
  const TMCScannerItem& Item(const char* name) { return *Root().MCScanner().Find(name); }
};

struct TOverlapCase {
  QStringList existing;
  QString added;
  bool accepted;
};

TEST_F(MCScannerPage, OverlappingWindowsAreRefused) {
  const TOverlapCase cases[] = {
      {{"08:00:00-12:00:00"}, "12:00:00-14:00:00", false},  // touching ends meet
      {{"08:00:00-12:00:00"}, "12:00:01-14:00:00", true},
      {{"22:00:00-02:00:00"}, "01:00:00-03:00:00", false},
      {{"22:00:00-02:00:00"}, "23:00:00-23:30:00", false},
      {{"22:00:00-02:00:00"}, "03:00:00-21:59:59", true},
      {{"22:00:00-02:00:00", "03:00:00-04:00:00"}, "21:00:00-21:59:59", true},
      {{"10:00:00-12:00:00"}, "11:00:00-09:00:00", false},
      {{"10:00:00-12:00:00"}, "13:00:00-09:00:00", true},
      {{""}, "03:00:00-04:00:00", false},  // no time range blocks every other
      {{"03:00:00-04:00:00"}, "", false},  // and spans the whole day itself
  };
  for (const TOverlapCase& c : cases) {
    SCOPED_TRACE((c.existing.join(",") + " + " + c.added).toStdString());
    Page().ClearEditor();
    for (const QString& window : c.existing) {
      SetWindow(window);
      Click("btnMCScannerAddAction");
    }
    ASSERT_EQ(Page().ActionRowCount(), c.existing.size());
    dialogs_.informed.clear();
    SetWindow(c.added);
    Click("btnMCScannerAddAction");
    EXPECT_EQ(Page().ActionRowCount(), c.existing.size() + (c.accepted ? 1 : 0));
    EXPECT_EQ(dialogs_.informed, c.accepted ? QStringList() : QStringList({kOverlap}));
  }
}

TEST_F(MCScannerPage, UpdateTestsTheOtherRowsOnly) {
  Select("lvMCScanner", "night");
  ASSERT_EQ(ActionTexts(0), QStringList({"22:00:00-02:00:00", "03:00:00-04:00:00"}));
  EXPECT_TRUE(Control<QPushButton>("btnMCScannerUpdateAction")->isEnabled());
  // Row 0 is selected: widening it into its own window is fine.
  SetWindow("21:00:00-02:30:00");
  Click("btnMCScannerUpdateAction");
  EXPECT_EQ(ActionTexts(0), QStringList({"21:00:00-02:30:00", "03:00:00-04:00:00"}));
  dialogs_.informed.clear();
  SetWindow("21:00:00-03:00:00");
  Click("btnMCScannerUpdateAction");
  EXPECT_EQ(dialogs_.informed, QStringList({kOverlap}));
  EXPECT_EQ(ActionTexts(0), QStringList({"21:00:00-02:30:00", "03:00:00-04:00:00"}));
  // Not saved yet: the scanner still has the old window.
  EXPECT_EQ(Item("night").GetAction(0).Start, 22 * 3600);
}

TEST_F(MCScannerPage, ActionRowsShowTheirFields) {
  Select("lvMCScanner", "night");
  EXPECT_EQ(ActionTexts(1), QStringList({"[Drop user]", "[Skip message]"}));
  EXPECT_EQ(ActionTexts(2), QStringList({"", "go|away"}));
  EXPECT_EQ(ActionTexts(3), QStringList({"5", "3"}));
  // Row 0 loaded into the action editor.
  EXPECT_EQ(Control<QComboBox>("cbMCScannerActions")->currentText(), "Drop user");
  EXPECT_EQ(Control<QSpinBox>("seMCScannerLevel")->value(), 5);
  Control<QTreeWidget>("lvMCScannerActions")->setCurrentItem(
      Control<QTreeWidget>("lvMCScannerActions")->topLevelItem(1));
  EXPECT_EQ(Control<QLineEdit>("edtMCScannerReplace")->text(), "go|away");
  EXPECT_EQ(Control<QTimeEdit>("teMCScannerStart")->time(), QTime(3, 0));

  // The item list: state column, bound marks.
  auto* lv = Control<TSortedListView>("lvMCScanner");
  EXPECT_EQ(lv->FindItem("ph1")->text(0), " ");
  EXPECT_EQ(lv->FindItem("ph1")->text(2), ".ph1>");
  EXPECT_EQ(lv->FindItem("ph2")->text(0), QString(QChar(0xA0)));
  EXPECT_EQ(lv->FindItem("ph2")->text(2), "<ph2.");
  // An expand box is off while its restrict box is on.
  Select("lvMCScanner", "ph1");
  EXPECT_FALSE(Control<QCheckBox>("chkMCScannerExpandStart")->isEnabled());
  EXPECT_TRUE(Control<QCheckBox>("chkMCScannerExpandStop")->isEnabled());
}

TEST_F(MCScannerPage, DeletedActionLeavesTheScannerOnlyWhenSaved) {
  Select("lvMCScanner", "night");
  auto* actions = Control<QTreeWidget>("lvMCScannerActions");
  actions->setCurrentItem(actions->topLevelItem(1));
  dialogs_.answers = {TDialogs::TButton::Yes};
  Trigger("miMCScannerActionRemove");
  EXPECT_EQ(dialogs_.asked, QStringList({"Are you really sure you wish to delete this scanner action?"}));
  EXPECT_EQ(ActionTexts(0), QStringList({"22:00:00-02:00:00"}));
  EXPECT_EQ(Item("night").GetActionCount(), 2);

  // Another item loaded without saving (No): the scanner keeps both.
  dialogs_.answers = {TDialogs::TButton::No};
  Select("lvMCScanner", "bare");
  EXPECT_EQ(Item("night").GetActionCount(), 2);
  EXPECT_EQ(GuiLines(), 0);

  Select("lvMCScanner", "night");
  actions->setCurrentItem(actions->topLevelItem(1));
  dialogs_.answers = {TDialogs::TButton::Yes};
  Trigger("miMCScannerActionRemove");
  Click("btnMCScannerSave");
  EXPECT_TRUE(FeedHas("The scanner item night has been saved via GUI"));
  ASSERT_EQ(Item("night").GetActionCount(), 1);
  EXPECT_EQ(Item("night").GetAction(0).Action, mcaDropUser);
  EXPECT_EQ(FileBytes("mc_scanner.xml").find("go|away"), std::string::npos);
}

TEST_F(MCScannerPage, SaveTakesTheFilledActionEditorAlong) {
  // A new item: the editor's action goes with it, replace text in 1252.
  Type("edtMCScannerWord", "fresh");
  Control<QComboBox>("cbMCScannerActions")->setCurrentIndex(mcaReplaceWord);
  Type("edtMCScannerReplace", QString::fromUtf8("a\u20AC\u0081\u009Db|c"));
  Control<QSpinBox>("seMCScannerLevel")->setValue(4);
  SetWindow("");  // pickers at 05:00:00-05:01:00, no time range
  Click("btnMCScannerSaveAs");
  ASSERT_EQ(Item("fresh").GetActionCount(), 1);
  const TMCScannerItemAction& action = Item("fresh").GetAction(0);
  EXPECT_EQ(action.GetReplaceText(), "a\x80\x81\x9D" "b|c");
  EXPECT_EQ(action.Level, 4);
  EXPECT_FALSE(action.UseTime);
  EXPECT_EQ(action.Start, 0);
  EXPECT_EQ(action.Stop, kLastSecondOfDay);

  // A stored item without actions gains none from an untouched editor.
  Select("lvMCScanner", "bare");
  Control<QCheckBox>("chkMCScannerEnable")->setChecked(false);
  Click("btnMCScannerSave");
  EXPECT_FALSE(Item("bare").Enable);
  EXPECT_EQ(Item("bare").GetActionCount(), 0);

  // With a row selected, its edited fields are taken along on "Save".
  Select("lvMCScanner", "night");
  Control<QSpinBox>("seMCScannerLevel")->setValue(9);
  EXPECT_TRUE(Control<QPushButton>("btnMCScannerSave")->isEnabled());
  Click("btnMCScannerSave");
  EXPECT_EQ(Item("night").GetAction(0).Level, 9);
  EXPECT_EQ(Item("night").GetAction(0).Action, mcaDropUser);
  EXPECT_EQ(Item("night").GetActionCount(), 2);
}

// A word added on the page acts on the main chat of a logged-in user; the
// delimiter rule of the scanner counts.
TEST_F(MCScannerPage, AddedWordActsOnTheMainChat) {
  const int port = StartHub();
  TGuiClient alice;
  TGuiClient bob;
  ASSERT_TRUE(alice.Connect(port));
  ASSERT_TRUE(alice.Login("alice")) << alice.Received();
  ASSERT_TRUE(bob.Connect(port));
  ASSERT_TRUE(bob.Login("bob")) << bob.Received();

  Type("edtMCScannerWord", "darn");
  Control<QCheckBox>("chkMCScannerRestrictStart")->setChecked(true);
  Control<QComboBox>("cbMCScannerActions")->setCurrentIndex(mcaReplaceWord);
  Type("edtMCScannerReplace", "<nick> says ****");
  Control<QSpinBox>("seMCScannerLevel")->setValue(10);
  Click("btnMCScannerSaveAs");
  ASSERT_NE(Root().MCScanner().Find("darn"), nullptr);

  ASSERT_TRUE(alice.Send("<alice> oh darn, undarned|"));
  EXPECT_TRUE(bob.WaitFor("<alice> oh alice says ****, undarned|")) << bob.Received();
}

}  // namespace
