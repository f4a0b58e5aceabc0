#include <QApplication>
#include <QClipboard>

#include "core/nick_list.h"
#include "gui/account_pages_fixture.h"
#include "gui/state_icons.h"
#include "platform/local_clock.h"
#include "settings/settings.h"

namespace {

constexpr int kNick = 1;

class AccountsPage : public TAccountPagesTest {
 protected:
  void SetUp() override {
    TAccountPagesTest::SetUp();
    AddAccount("alice", "Op", "a-pass");
    AddAccount("bob", "Op", "b-pass");
    gui_->ShowAllPages();
  }
  QTreeWidgetItem* Row(const QString& nick) { return Control<TSortedListView>("lvAccounts")->FindItem(nick); }
  TAccountsGui& Page() { return Pages().Accounts(); }
  // Logs `client` in as the account `nick` with its password.
  static bool LogIn(TGuiClient& client, int port, const std::string& nick, const std::string& pass) {
    return client.Connect(port) && client.WaitFor(" Pk=") &&
           client.Send(KeyFor(client.Received()) + "$ValidateNick " + nick + "|") && client.WaitFor("$GetPass|") &&
           client.Send("$MyPass " + pass + "|") && client.WaitFor("$Hello " + nick + "|") &&
           client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL " + nick +
                       " x<EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$0$|") &&
           client.WaitFor("$MyINFO $ALL " + nick + " ");
  }
  int RowState(const QString& nick) { return ::RowState(*Row(nick)); }
};

TEST_F(AccountsPage, AddSaveUnchangedRenameAndSaveAsThroughTheControls) {
  // Add: a fresh editor, "Save As" under a new nick.
  Page().ClearEditor();
  Type("edtAccountNick", "carol");
  Type("edtAccountPass", "c-pass");
  Type("edtAccountIPPattern", "LocalHost");
  EXPECT_FALSE(Control<QPushButton>("btnAccountSave")->isEnabled());
  Click("btnAccountSaveAs");
  std::shared_ptr<TAccount> carol = Accounts().Find("carol");
  ASSERT_NE(carol, nullptr);
  EXPECT_TRUE(FeedHas("The account carol has been added via GUI"));
  EXPECT_EQ(carol->IPPattern, "127.0.0.1");
  EXPECT_EQ(Control<QLineEdit>("edtAccountIPPattern")->text(), "127.0.0.1");
  EXPECT_EQ(carol->CreatedBy, "Kavro GUI");
  EXPECT_EQ(carol->LastChangedBy, "Kavro GUI");
  EXPECT_EQ(carol->Profile->Name, "Op");
  EXPECT_EQ(Page().Loaded(), carol);
  ASSERT_TRUE(Accounts().Save());
  EXPECT_NE(ReadSettingsFile("accounts.xml").find("<Nick>carol</Nick>"), std::string::npos);

  // Save with nothing changed: no line.
  const int lines = GuiLineCount();
  Click("btnAccountSave");
  EXPECT_EQ(GuiLineCount(), lines);

  // Rename through "Save".
  Type("edtAccountNick", "carla");
  Click("btnAccountSave");
  EXPECT_EQ(Accounts().Find("carol"), nullptr);
  EXPECT_EQ(Accounts().Find("carla"), carol);
  EXPECT_TRUE(FeedHas("The old account nick carol has been Updated via GUI for the new nick carla"));
  EXPECT_EQ(Row("carol"), nullptr);
  ASSERT_NE(Row("carla"), nullptr);

  // "Save As" on a loaded account makes a second one, the first unchanged.
  Type("edtAccountNick", "carla2");
  Type("edtAccountPass", "other");
  Click("btnAccountSaveAs");
  ASSERT_NE(Accounts().Find("carla2"), nullptr);
  EXPECT_EQ(Accounts().Find("carla2")->Pass, "other");
  EXPECT_EQ(carol->Pass, "c-pass");
  EXPECT_EQ(carol->Nick, "carla");
}

TEST_F(AccountsPage, RefusedRenameKeepsTheOldNick) {
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  ASSERT_EQ(Page().Loaded()->Nick, "alice");
  Type("edtAccountNick", "bob");
  Click("btnAccountSave");
  EXPECT_EQ(dialogs_.informed, QStringList{"An account with this nick does already exist, please change nick"});
  EXPECT_EQ(Accounts().Find("alice")->Pass, "a-pass");
  EXPECT_EQ(Accounts().Find("bob")->Pass, "b-pass");
  EXPECT_FALSE(FeedHas("via GUI"));

  Type("edtAccountNick", "");
  Click("btnAccountSaveAs");
  EXPECT_FALSE(Control<QPushButton>("btnAccountSaveAs")->isEnabled());
}

TEST_F(AccountsPage, AMissingProfileBecomesAnErrorLineAndStoresNothing) {
  Page().ClearEditor();
  ASSERT_TRUE(Profiles().Delete("Op"));
  EXPECT_EQ(Control<QComboBox>("cbAccountProfile")->count(), 0);
  Type("edtAccountNick", "carol");
  Type("edtAccountPass", "c");
  Click("btnAccountSaveAs");
  EXPECT_TRUE(FeedHas("EGUIException:GUI.Account.SaveLoaded(Profile  not found)"));
  EXPECT_EQ(Accounts().Find("carol"), nullptr);
  EXPECT_FALSE(FeedHas("via GUI"));
}

TEST_F(AccountsPage, ARebuildFindsTheEditedAccountByItsOwnNick) {
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  // An unsaved edit names another account; a reload replaces every object.
  Type("edtAccountNick", "bob");
  ASSERT_TRUE(Accounts().Save());
  ASSERT_TRUE(Accounts().Load());
  ASSERT_NE(Page().Loaded(), nullptr);
  EXPECT_EQ(Page().Loaded()->Nick, "alice");
  EXPECT_EQ(Page().Loaded(), Accounts().Find("alice"));
}

TEST_F(AccountsPage, ExpiryPickerOfAnAccountWithoutExpiryShowsFiveDaysAhead) {
  Accounts().Find("alice")->ExpireDate = TDateTime{};
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  const auto* picker = Control<QDateTimeEdit>("dtpAccountExpireDate");
  EXPECT_FALSE(Control<QCheckBox>("chkAccountExpireDate")->isChecked());
  const qint64 shown = picker->dateTime().toSecsSinceEpoch();
  const qint64 expected = NowLocal().Seconds + 5 * kSecondsPerDay;
  EXPECT_NEAR(static_cast<double>(shown), static_cast<double>(expected), 3600.0);
  // The offered date is no change, and saving another field keeps the
  // stored date.
  EXPECT_TRUE(Page().IsUnchanged());
  Type("edtAccountPass", "new");
  Click("btnAccountSave");
  EXPECT_EQ(Accounts().Find("alice")->ExpireDate, TDateTime{});
  EXPECT_FALSE(Accounts().Find("alice")->ExpireDateEnabled);
}

TEST_F(AccountsPage, RowTextsForNeverUsedAndPermanentAccounts) {
  QTreeWidgetItem* row = Row("alice");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->text(5), "[Never]");
  EXPECT_EQ(row->text(6), "[Never]");
  EXPECT_EQ(row->text(7), "[Not Restricted]");
  EXPECT_EQ(row->text(11), "[None]");
  EXPECT_EQ(row->text(12), "[Permanent]");
  EXPECT_EQ(row->text(0), " ");
  std::shared_ptr<TAccount> alice = Accounts().Find("alice");
  alice->ExpireDateEnabled = true;
  ASSERT_TRUE(ParseDateTime("2031-02-03 04:05:06", alice->ExpireDate));
  Accounts().SetLastSpoke(*alice, alice->ExpireDate);
  EXPECT_EQ(Row("alice")->text(6), "2031-02-03");
  EXPECT_EQ(Row("alice")->text(12), "2031-02-03");
}

TEST_F(AccountsPage, DeleteAsksAndRemovesTheRowAndTheAccount) {
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  auto* remove = Control<QAction>("actAccountRemove");
  ASSERT_TRUE(remove->isEnabled());
  dialogs_.answers = {TDialogs::TButton::No};
  remove->trigger();
  EXPECT_NE(Accounts().Find("alice"), nullptr);
  dialogs_.answers = {TDialogs::TButton::Yes};
  remove->trigger();
  EXPECT_EQ(dialogs_.asked, QStringList({"Are you really sure you wish to delete this account?",
                                         "Are you really sure you wish to delete this account?"}));
  EXPECT_EQ(Accounts().Find("alice"), nullptr);
  EXPECT_EQ(Row("alice"), nullptr);
  EXPECT_TRUE(FeedHas("The account alice was removed via GUI"));
  ASSERT_TRUE(Accounts().Save());
  EXPECT_EQ(ReadSettingsFile("accounts.xml").find("alice"), std::string::npos);
  // The row now at the deleted one's place is selected.
  EXPECT_EQ(Column("lvAccounts", kNick), QStringList{"bob"});
  EXPECT_TRUE(Row("bob")->isSelected());
}

TEST_F(AccountsPage, DeletingSeveralAsksOnce) {
  auto* list = Control<TSortedListView>("lvAccounts");
  list->selectAll();
  EXPECT_TRUE(Control<QAction>("actAccountSelected")->isVisible());
  EXPECT_EQ(Control<QAction>("actAccountSelected")->text(), "Selected: 2");
  dialogs_.answers = {TDialogs::TButton::Yes};
  Control<QAction>("actAccountRemove")->trigger();
  EXPECT_EQ(dialogs_.asked, QStringList{"Are you really sure you wish to delete these accounts?"});
  EXPECT_EQ(Accounts().GetCount(), 0);
  EXPECT_EQ(list->Count(), 0);
}

TEST_F(AccountsPage, UnsavedChangesAreOfferedBeforeAnotherAccountLoads) {
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  Type("edtAccountPass", "changed");
  dialogs_.answers = {TDialogs::TButton::Yes};
  ASSERT_TRUE(SelectRow("lvAccounts", "bob", kNick));
  EXPECT_EQ(dialogs_.asked.size(), 1);
  EXPECT_EQ(Accounts().Find("alice")->Pass, "changed");
  EXPECT_TRUE(FeedHas("The account alice has been updated via GUI"));
}

TEST_F(AccountsPage, OwnerListHoldsTheWindowAndEveryAccountThatMayAddAccounts) {
  Profiles().Find("Op")->SetRight(TProfileRight::MayAccountsAdd, paLower);
  Profiles().Add("Plain");
  std::shared_ptr<TAccount> zed = AddAccount("zed", "Plain");
  Accounts().RelinkProfiles();
  auto* owners = Control<QComboBox>("cbAccountOwner");
  QStringList items;
  for (int i = 0; i < owners->count(); ++i) items.append(owners->itemText(i));
  EXPECT_EQ(items, QStringList({"Kavro GUI", "alice", "bob"}));
}

TEST_F(AccountsPage, CommandsNewsReachesTheRows) {
  std::shared_ptr<TAccount> alice = Accounts().Find("alice");
  alice->Owner = "someone";
  Root().PageRefresh().AccountChanged("alice");
  EXPECT_EQ(Row("alice")->text(4), "someone");
  Accounts().Rename(alice, "alicia");
  Root().PageRefresh().AccountRenamed("alice", "alicia");
  EXPECT_EQ(Row("alice"), nullptr);
  EXPECT_NE(Row("alicia"), nullptr);
  Accounts().Delete("alicia");
  Root().PageRefresh().AccountDeleted("alicia");
  EXPECT_EQ(Column("lvAccounts", kNick), QStringList{"bob"});
}

TEST_F(AccountsPage, CopyToClipboardGivesTheLoginCard) {
  Settings().HubAddress = "hub.test";
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  Control<QAction>("actAccountCopy")->trigger();
  const QString stars(29, '*');
  EXPECT_EQ(QApplication::clipboard()->text(),
            "\r\n" + stars + "\r\n Account on hub.test\r\n\r\n Username: alice\r\n Password: a-pass\r\n\r\n" +
                stars + "\r\n");
}

TEST_F(AccountsPage, DropUserClosesALoggedInClient) {
  const int port = StartHub();
  TGuiClient client;
  ASSERT_TRUE(LogIn(client, port, "alice", "a-pass")) << client.Received();
  // Logged in: the row shows it and the menu offers the drop.
  ASSERT_TRUE(SpinUntil([&] { return Row("alice")->text(0) == QString(QChar(0xA0)); }));
  // A reload replaces the account object; its user stays online.
  ASSERT_TRUE(Accounts().Save());
  ASSERT_TRUE(Accounts().Load());
  EXPECT_EQ(Row("alice")->text(0), QString(QChar(0xA0)));
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  auto* drop = Control<QAction>("actAccountDropUser");
  ASSERT_TRUE(drop->isEnabled());
  drop->trigger();
  EXPECT_TRUE(SpinUntil([&] { return Root().NickList().FindUser("alice") == nullptr; }));
  EXPECT_TRUE(SpinUntil([&] { return Row("alice")->text(0) == " "; }));
  EXPECT_NE(Row("alice")->text(5), "[Never]");
}

// The row's state image follows its user in and out, and the menu's drop
// reads the same state.
TEST_F(AccountsPage, RowStateFollowsALoginAndALogout) {
  const int port = StartHub();
  auto* drop = Control<QAction>("actAccountDropUser");
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", kNick));
  EXPECT_EQ(RowState("alice"), 0);
  EXPECT_FALSE(drop->isEnabled());
  {
    TGuiClient client;
    ASSERT_TRUE(LogIn(client, port, "alice", "a-pass")) << client.Received();
    ASSERT_TRUE(SpinUntil([&] { return RowState("alice") == 1; }));
    EXPECT_EQ(Row("alice")->icon(0).cacheKey(), StateIcon(TStateImageSet::Accounts, 1).cacheKey());
    EXPECT_EQ(RowState("bob"), 0);
    EXPECT_TRUE(drop->isEnabled());
  }  // the client hangs up
  ASSERT_TRUE(SpinUntil([&] { return RowState("alice") == 0; }));
  EXPECT_EQ(Row("alice")->icon(0).cacheKey(), StateIcon(TStateImageSet::Accounts, 0).cacheKey());
  EXPECT_FALSE(drop->isEnabled());
}

}  // namespace
