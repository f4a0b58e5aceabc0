#include "gui/hub_list_gui.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/hub_list.h"
#include "core/hub_stats.h"
#include "core/settings_file_set.h"
#include "gui/gui_fixture.h"
#include "gui/live_pages.h"
#include "gui/text_1252.h"
#include "platform/file_io.h"

namespace {

class HubListGuiTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    // Hosts with values the page could damage, written and read back as
    // any start-up reads them.
    THostList& hosts = Hosts();
    THost& a = *hosts.Add("alpha");
    a.Description = "caf\xE9 \x80\x81\x9D";
    a.Host = "list.example.org";
    a.Port = 65535;
    a.LastRun = TDateTime{1700000000};
    a.Enabled = false;
    a.BotNickPattern = "Ping*;Pong";
    a.BotNickPatternEnabled = false;
    a.BotIPPattern = "10.0.0.*";
    a.BotIPPatternEnabled = true;
    a.UpdateBotIPWithDNS = true;
    a.SupportsNmdcs = true;
    THost& b = *hosts.Add("beta");
    b.Description = "second";
    b.Host = "beta.example.org";
    ASSERT_TRUE(hosts.Save());
    ASSERT_TRUE(ReadFileBytes(THostList::FilePath(), fixture_));
    ASSERT_TRUE(Root().SettingsFiles().LoadAll(false));
    gui_->ShowAllPages();
    dialogs_.informed.clear();
    guiLines_ = Root().Stats().GUIFeed;
  }
  THostList& Hosts() { return Root().HubList().Hosts(); }
  THubListGui& Page() { return gui_->LivePages().HubList(); }
  QTreeWidget* List() { return Control<QTreeWidget>("lvHosts"); }
  QLineEdit* Field(const char* name) { return Control<QLineEdit>(name); }
  void Choose(const QString& name) {
    const auto rows = List()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << name.toStdString();
    List()->setCurrentItem(rows.front());
  }
  void Click(const char* name) { Control<QPushButton>(name)->click(); }
  std::string FileText() const {
    std::string text;
    ReadFileBytes(THostList::FilePath(), text);
    return text;
  }
  std::int64_t GuiLines() const { return gui_->Root().Stats().GUIFeed - guiLines_; }

  std::string fixture_;
  std::int64_t guiLines_ = 0;
};

TEST_F(HubListGuiTest, ShowAndSaveAllKeepTheFileByteForByte) {
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  Choose("alpha");
  EXPECT_EQ(Field("edtHostPort")->text(), "65535");
  Click("btnHostSave");  // nothing changed: nothing to do
  ASSERT_TRUE(Root().SettingsFiles().SaveAll(false));
  EXPECT_EQ(FileText(), fixture_);
  EXPECT_EQ(GuiLines(), 0);
}

TEST_F(HubListGuiTest, OneEditedHostChangesExactlyItsElement) {
  Choose("beta");
  Field("edtHostDescription")->setText(QStringLiteral("renamed ") + QChar(0x20AC));
  Click("btnHostSave");
  EXPECT_TRUE(FeedHas("The host beta has been saved via GUI"));
  std::string expected = fixture_;
  const std::string from = "<Description>second</Description>";
  const std::size_t at = expected.find(from);
  ASSERT_NE(at, std::string::npos);
  expected.replace(at, from.size(), "<Description>renamed \x80</Description>");
  EXPECT_EQ(FileText(), expected);
}

TEST_F(HubListGuiTest, PortMustBeOneTo65535) {
  Choose("beta");
  for (const char* port : {"0", "65536", "-1", "abc", "", " 80", "99999999999"}) {
    dialogs_.informed.clear();
    Field("edtHostPort")->setText(QString::fromLatin1(port));
    Click("btnHostSave");
    ASSERT_EQ(dialogs_.informed.size(), 1) << port;
    EXPECT_EQ(dialogs_.informed.front(),
              "The host port has to be an integer value between 1 and 65535.");
    EXPECT_EQ(Hosts().Find("beta")->Port, 2501) << port;
  }
  EXPECT_EQ(FileText(), fixture_);
  dialogs_.informed.clear();
  Field("edtHostPort")->setText("65535");
  Click("btnHostSave");
  EXPECT_TRUE(dialogs_.informed.empty());
  EXPECT_EQ(Hosts().Find("beta")->Port, 65535);
}

// A rebuild while a rename is typed but unsaved keeps editing the host by
// its own name.
TEST_F(HubListGuiTest, RebuildRefindsTheEditedHostByItsOwnName) {
  Choose("beta");
  Field("edtHostName")->setText("alpha");
  Page().RefreshList();
  EXPECT_EQ(Page().EditedName(), "beta");
  ASSERT_NE(List()->currentItem(), nullptr);
  EXPECT_EQ(List()->currentItem()->text(0), "beta");
  // Saving the rename to a taken name is refused.
  Click("btnHostSave");
  EXPECT_EQ(dialogs_.informed,
            QStringList{"A host with this name does already exist, please change name"});
  EXPECT_NE(Hosts().Find("beta"), nullptr);
  // A free name renames.
  Field("edtHostName")->setText("gamma");
  Click("btnHostSave");
  EXPECT_EQ(Hosts().Find("beta"), nullptr);
  ASSERT_NE(Hosts().Find("gamma"), nullptr);
  EXPECT_EQ(Page().EditedName(), "gamma");
}

TEST_F(HubListGuiTest, SaveAsAddsAHostByTheFieldsName) {
  Choose("beta");
  Field("edtHostName")->setText("delta");
  Field("edtHostPort")->setText("411");
  Click("btnHostSaveAs");
  EXPECT_TRUE(FeedHas("The host delta has been added via GUI"));
  ASSERT_NE(Hosts().Find("delta"), nullptr);
  EXPECT_EQ(Hosts().Find("delta")->Port, 411);
  EXPECT_EQ(Hosts().Find("beta")->Port, 2501);
  EXPECT_NE(FileText().find("<Name>delta</Name>"), std::string::npos);
}

TEST_F(HubListGuiTest, CopyFailuresBecomeGuiExceptionsAfterARebuild) {
  Page().SetCopyCheck([](const THost&) { throw std::runtime_error("disk on fire"); });
  Choose("beta");
  Field("edtHostDescription")->setText("x");
  Click("btnHostSave");
  EXPECT_TRUE(FeedHas("EGUIException:GUI.HubList.Update(disk on fire)"))
      << FeedLines().join("\n").toStdString();
  // The list was rebuilt from the hosts as they now stand.
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(BytesFromText(List()->topLevelItem(1)->text(1)), Hosts().Find("beta")->Description);
  Field("edtHostName")->setText("epsilon");
  Click("btnHostSaveAs");
  EXPECT_TRUE(FeedHas("EGUIException:GUI.HubList.Add(disk on fire)"));
  EXPECT_EQ(Hosts().Find("epsilon"), nullptr);
  EXPECT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(FileText(), fixture_);
}

TEST_F(HubListGuiTest, RemoveAsksThenDeletesAndSaves) {
  Choose("alpha");
  dialogs_.answers = {TDialogs::TButton::No};
  Control<QAction>("actRemoveHost")->trigger();
  EXPECT_NE(Hosts().Find("alpha"), nullptr);
  dialogs_.answers = {TDialogs::TButton::Yes};
  Control<QAction>("actRemoveHost")->trigger();
  EXPECT_EQ(dialogs_.asked.last(), "Are you really sure you wish to delete this host?");
  EXPECT_EQ(Hosts().Find("alpha"), nullptr);
  EXPECT_TRUE(FeedHas("The host alpha was removed via GUI"));
  EXPECT_EQ(Field("edtHostName")->text(), "");
  EXPECT_EQ(Field("edtHostPort")->text(), "2501");
  EXPECT_EQ(FileText().find("alpha"), std::string::npos);
  ASSERT_NE(List()->currentItem(), nullptr);
  EXPECT_EQ(List()->currentItem()->text(0), "beta");
}

TEST_F(HubListGuiTest, LeavingUnsavedChangesAsksFirst) {
  Choose("beta");
  Field("edtHostDescription")->setText("changed");
  dialogs_.answers = {TDialogs::TButton::No};
  Choose("alpha");
  ASSERT_EQ(dialogs_.asked.size(), 1);
  EXPECT_EQ(Page().EditedName(), "alpha");
  EXPECT_EQ(Hosts().Find("beta")->Description, "second");
  Field("edtHostDescription")->setText("kept");
  dialogs_.answers = {TDialogs::TButton::Yes};
  Choose("beta");
  EXPECT_EQ(Page().EditedName(), "alpha");
  EXPECT_EQ(Hosts().Find("alpha")->Description, "kept");
}

TEST_F(HubListGuiTest, SaveButtonsFollowTheName) {
  auto* save = Control<QPushButton>("btnHostSave");
  auto* saveAs = Control<QPushButton>("btnHostSaveAs");
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(saveAs->isEnabled());
  Field("edtHostName")->setText("new");
  EXPECT_FALSE(save->isEnabled());
  EXPECT_TRUE(saveAs->isEnabled());
  Choose("beta");
  EXPECT_TRUE(save->isEnabled());
  EXPECT_FALSE(saveAs->isEnabled());
  EXPECT_EQ(Control<QLabel>("lblLastAttempt")->text(), "Missing");
}

TEST(HostRowImageTest, Table) {
  struct TCase {
    bool Failed;
    THostState State;
    bool Focus;
    int Image;
  };
  const TCase cases[] = {
      {true, hsFinished, false, 4},  {true, hsConnecting, false, 1}, {true, hsWaiting, false, 2},
      {false, hsKeySent, false, 3},  {false, hsWaiting, false, 0},   {false, hsWaiting, true, 5},
      {true, hsFinished, true, 9},
  };
  for (const TCase& c : cases) {
    THost host;
    host.Failed = c.Failed;
    host.State = c.State;
    EXPECT_EQ(HostRowImage(host, c.Focus), c.Image);
  }
}

}  // namespace

namespace {

class HubListSwitchTest : public TGuiTest {};

// The switch takes effect at once and is stored in the settings record.
TEST_F(HubListSwitchTest, RegistrationSwitchStartsAndStopsThePinger) {
  auto* box = Control<QCheckBox>("cbHubRegistration");
  EXPECT_FALSE(box->isChecked());
  box->setChecked(true);
  EXPECT_TRUE(Settings().HubRegistration);
  EXPECT_TRUE(Root().HubList().Active());
  box->setChecked(false);
  EXPECT_FALSE(Settings().HubRegistration);
  EXPECT_FALSE(Root().HubList().Active());
}

}  // namespace
