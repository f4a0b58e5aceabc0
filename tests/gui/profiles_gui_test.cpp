#include <QSlider>

#include "gui/account_pages_fixture.h"
#include "gui/controls/profile_access_check_box.h"
#include "gui/state_icons.h"

namespace {

class ProfilesPage : public TAccountPagesTest {
 protected:
  void SetUp() override {
    TAccountPagesTest::SetUp();
    std::shared_ptr<TProfile> op = Profiles().Add("Op");
    op->Description = "operators";
    op->ProfileLevel = 5;
    op->SetRight(TProfileRight::MayKickUser, paSame);
    op->SetRight(TProfileRight::MayReceiveNickListBeforeMyINFO, 1);
    Profiles().Add("Vip")->Description = "vips";
    gui_->ShowAllPages();
  }
  TProfilesGui& Page() { return Pages().Profiles(); }
  bool Load(const QString& name) { return SelectRow("lvProfiles", name, 0); }
};

TEST_F(ProfilesPage, ListsUserDefinedAndBuiltInProfilesAndOffersThemToAccounts) {
  QStringList names = Column("lvProfiles", 0);
  names.sort();
  EXPECT_EQ(names, QStringList({"Op", "Registered", "Regular", "Vip"}));
  auto* choices = Control<QComboBox>("cbAccountProfile");
  ASSERT_EQ(choices->count(), 2);
  EXPECT_EQ(choices->itemText(0), "Op");
  Profiles().Add("Mod");
  EXPECT_EQ(choices->count(), 3);
  EXPECT_EQ(choices->itemText(0), "Mod");
}

TEST_F(ProfilesPage, AddSaveUnchangedAndTheLevelBoxes) {
  Page().ClearEditor();
  Type("edtProfileName", "Helper");
  Type("leProfileDescription", "helps");
  Control<QSlider>("tbProfileLevel")->setValue(3);
  Control<TProfileAccessCheckBox>("chkMayKickUser")->click();  // paNone -> paLower
  Click("btnProfilesSaveAs");
  std::shared_ptr<TProfile> helper = Profiles().Find("Helper");
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(helper->Description, "helps");
  EXPECT_EQ(helper->ProfileLevel, 3);
  EXPECT_EQ(helper->MayKickUser(), paLower);
  EXPECT_TRUE(FeedHas("The profile Helper has been added via GUI"));
  ASSERT_TRUE(Profiles().Save());
  EXPECT_NE(ReadSettingsFile("profiles.xml").find("<Name>Helper</Name>"), std::string::npos);

  ASSERT_TRUE(Load("Op"));
  EXPECT_EQ(Control<TProfileAccessCheckBox>("chkMayKickUser")->State(), paSame);
  const int lines = GuiLineCount();
  Click("btnProfilesSave");
  EXPECT_EQ(GuiLineCount(), lines);
}

TEST_F(ProfilesPage, TheClearedEditorHoldsANewProfilesRights) {
  Page().ClearEditor();
  Type("edtProfileName", "Fresh");
  Click("btnProfilesSaveAs");
  std::shared_ptr<TProfile> fresh = Profiles().Find("Fresh");
  ASSERT_NE(fresh, nullptr);
  const TProfile defaults;
  for (const TProfileRightInfo& info : ProfileRights())
    EXPECT_EQ(fresh->Right(info.Right), defaults.Right(info.Right)) << info.Name;
  EXPECT_FALSE(fresh->MayNeverBeKicked());
  EXPECT_TRUE(fresh->MaySearch());
}

TEST_F(ProfilesPage, RenameIncludingACaseChangeAndARefusedOne) {
  ASSERT_TRUE(Load("Op"));
  Type("edtProfileName", "OP");
  Click("btnProfilesSave");
  ASSERT_NE(Profiles().Find("OP"), nullptr);
  EXPECT_EQ(Profiles().Find("OP")->Name, "OP");
  EXPECT_TRUE(FeedHas("The profile OP has been saved via GUI"));
  EXPECT_TRUE(Column("lvProfiles", 0).contains("OP"));
  EXPECT_FALSE(Column("lvProfiles", 0).contains("Op"));
  EXPECT_EQ(Control<QComboBox>("cbAccountProfile")->itemText(0), "OP");

  Type("edtProfileName", "vip");
  Click("btnProfilesSave");
  EXPECT_EQ(dialogs_.informed, QStringList{"A profile with this name does already exist, please change name"});
  EXPECT_EQ(Profiles().Find("Vip")->Description, "vips");
  EXPECT_EQ(Profiles().Find("OP")->Name, "OP");
}

TEST_F(ProfilesPage, AReloadFindsTheEditedProfileByNameAndARenameReachesTheAccountRows) {
  AddAccount("alice", "Op");
  ASSERT_TRUE(Load("Op"));
  ASSERT_TRUE(Profiles().Save());
  ASSERT_TRUE(Profiles().Load());
  ASSERT_NE(Page().Edited(), nullptr);
  EXPECT_EQ(Page().Edited(), Profiles().Find("Op"));

  Type("edtProfileName", "Ops");
  Click("btnProfilesSave");
  EXPECT_EQ(Control<TSortedListView>("lvAccounts")->FindItem("alice")->text(2), "Ops");
}

TEST_F(ProfilesPage, SavingARightThatAddsAccountsPutsItsAccountsAmongTheOwners) {
  AddAccount("alice", "Vip");
  auto* owners = Control<QComboBox>("cbAccountOwner");
  EXPECT_EQ(owners->findText("alice"), -1);
  ASSERT_TRUE(Load("Vip"));
  Control<TProfileAccessCheckBox>("chkMayAccountsAdd")->click();
  Click("btnProfilesSave");
  EXPECT_EQ(Profiles().Find("Vip")->MayAccountsAdd(), paLower);
  EXPECT_EQ(owners->findText("alice"), 1);
}

TEST_F(ProfilesPage, UnsavedChangesAreSavedOnYesBeforeAnotherProfileLoads) {
  ASSERT_TRUE(Load("Vip"));
  Type("leProfileDescription", "edited");
  dialogs_.answers = {TDialogs::TButton::Yes};
  ASSERT_TRUE(Load("Op"));
  EXPECT_EQ(dialogs_.asked,
            QStringList{"Changes has been made to loaded profile, do you wish to \r\nsave those before loading "
                        "another profile?"});
  EXPECT_EQ(Profiles().Find("Vip")->Description, "edited");
  EXPECT_EQ(Page().Edited(), Profiles().Find("Vip"));
}

TEST_F(ProfilesPage, ReservedNamesAreRefused) {
  const struct {
    QString name;
    QString message;
  } cases[] = {
      {"regular", "This name is reserved by the default user profile"},
      {"REGISTERED", "This name is reserved by the registered user profile"},
      {"", "Please supply a name for this profile"},
  };
  for (const auto& c : cases) {
    Page().ClearEditor();
    dialogs_.informed.clear();
    Type("edtProfileName", c.name);
    Page().SaveAs();
    EXPECT_EQ(dialogs_.informed, QStringList{c.message}) << c.name.toStdString();
  }
  EXPECT_EQ(Profiles().GetCount(), 2);
}

TEST_F(ProfilesPage, SaveOnABuiltInProfileNeverRenamesIt) {
  ASSERT_TRUE(Load("Registered"));
  Type("leProfileDescription", "self");
  Type("edtProfileName", "Other");
  Click("btnProfilesSave");
  EXPECT_EQ(Profiles().Registered()->Name, "Registered");
  EXPECT_EQ(Profiles().Registered()->Description, "self");
  EXPECT_EQ(Profiles().Find("Other"), nullptr);
  EXPECT_TRUE(FeedHas("The profile Registered has been saved via GUI"));
}

TEST_F(ProfilesPage, SaveAsTargetsOrCreatesTheNamedProfile) {
  // From a built-in one: a user-defined copy.
  ASSERT_TRUE(Load("Registered"));
  Type("leProfileDescription", "copied");
  Type("edtProfileName", "Copy");
  Click("btnProfilesSaveAs");
  ASSERT_NE(Profiles().Find("Copy"), nullptr);
  EXPECT_EQ(Profiles().Find("Copy")->Description, "copied");
  EXPECT_NE(Profiles().Registered()->Description, "copied");

  // Onto another existing profile: that one takes the edits.
  ASSERT_TRUE(Load("Op"));
  Type("leProfileDescription", "for vips");
  Type("edtProfileName", "Vip");
  Click("btnProfilesSaveAs");
  EXPECT_EQ(Profiles().Find("Vip")->Description, "for vips");
  EXPECT_EQ(Profiles().Find("Vip")->MayKickUser(), paSame);
  EXPECT_EQ(Profiles().Find("Op")->Description, "operators");
  EXPECT_TRUE(FeedHas("The profile Vip has been saved via GUI"));
}

TEST_F(ProfilesPage, ARightWithoutControlKeepsItsStoredValue) {
  ASSERT_TRUE(Load("Op"));
  Type("leProfileDescription", "changed");
  Click("btnProfilesSave");
  EXPECT_EQ(Profiles().Find("Op")->Description, "changed");
  EXPECT_TRUE(Profiles().Find("Op")->MayReceiveNickListBeforeMyINFO());
}

TEST_F(ProfilesPage, DeleteAsksWithTheAccountsWarningAndSparesBuiltIns) {
  AddAccount("alice", "Op");
  ASSERT_TRUE(Load("Op"));
  auto* remove = Control<QAction>("actProfileRemove");
  dialogs_.answers = {TDialogs::TButton::No};
  remove->trigger();
  ASSERT_EQ(dialogs_.asked.size(), 1);
  EXPECT_EQ(dialogs_.asked[0],
            "This profile is used by one or more accounts. Deleting this profile \r\nwill render Kavro unable to "
            "load the accounts using it.\r\n\r\nAre you sure you wish to delete this profile?");
  EXPECT_NE(Profiles().Find("Op"), nullptr);

  ASSERT_TRUE(Load("Vip"));
  dialogs_.answers = {TDialogs::TButton::Yes};
  remove->trigger();
  EXPECT_EQ(dialogs_.asked.last(), "Are you really sure you wish to delete this profile?");
  EXPECT_EQ(Profiles().Find("Vip"), nullptr);
  EXPECT_FALSE(Column("lvProfiles", 0).contains("Vip"));
  EXPECT_TRUE(FeedHas("The profile Vip was removed via GUI"));
  EXPECT_EQ(Control<QComboBox>("cbAccountProfile")->findText("Vip"), -1);
  ASSERT_TRUE(Profiles().Save());
  EXPECT_EQ(ReadSettingsFile("profiles.xml").find("<Name>Vip</Name>"), std::string::npos);

  const int asked = static_cast<int>(dialogs_.asked.size());
  ASSERT_TRUE(Load("Regular"));
  remove->trigger();
  EXPECT_EQ(dialogs_.asked.size(), asked);
  EXPECT_NE(Profiles().Regular(), nullptr);
}

// Built-in rows are marked 2, rows of profiles with accounts 1, others 0;
// the marks follow accounts moving between profiles.
TEST_F(ProfilesPage, RowStatesFollowTheAccountsOfEachProfile) {
  auto* list = Control<TSortedListView>("lvProfiles");
  const auto state = [list](const char* name) {
    const QTreeWidgetItem* row = list->FindItem(name);
    return row != nullptr ? RowState(*row) : -1;
  };
  EXPECT_EQ(state("Regular"), 2);
  EXPECT_EQ(state("Registered"), 2);
  EXPECT_EQ(state("Op"), 0);
  EXPECT_EQ(state("Vip"), 0);
  std::shared_ptr<TAccount> alice = AddAccount("alice", "Op");
  EXPECT_EQ(state("Op"), 1);
  Accounts().ChangeProfile(alice, Profiles().Find("Vip"));
  EXPECT_EQ(state("Op"), 0);
  EXPECT_EQ(state("Vip"), 1);
  ASSERT_TRUE(Accounts().Delete("alice"));
  EXPECT_EQ(state("Vip"), 0);
  EXPECT_EQ(state("Regular"), 2);
}

// "&Remove" is offered for a user-defined profile only: the built-in rows
// cannot be deleted, so the entry is not enabled for them.
TEST_F(ProfilesPage, RemoveIsDisabledForTheBuiltInProfiles) {
  auto* remove = Control<QAction>("actProfileRemove");
  EXPECT_FALSE(remove->isEnabled());  // nothing selected
  for (const char* name : {"Regular", "Registered"}) {
    ASSERT_TRUE(Load(name));
    EXPECT_FALSE(remove->isEnabled()) << name;
  }
  AddAccount("alice", "Op");
  for (const char* name : {"Vip", "Op"}) {
    ASSERT_TRUE(Load(name));
    EXPECT_TRUE(remove->isEnabled()) << name;
  }
}

}  // namespace
