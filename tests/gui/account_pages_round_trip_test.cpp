#include "gui/account_pages_fixture.h"

namespace {

// Values the pages could damage: a level beyond the track bar, level
// rights beyond the box's four states, a share finer than its unit, a hub
// count beyond its spin, Windows-1252 holes and CR LF in texts.
class AccountPagesRoundTrip : public TAccountPagesTest {
 protected:
  void SetUp() override {
    TAccountPagesTest::SetUp();
    std::shared_ptr<TProfile> op = Profiles().Add("Op");
    op->Description = "d\x80\x81\x9D";
    op->ProfileLevel = 12;
    op->SetRight(TProfileRight::MayKickUser, paSame);
    op->SetRight(TProfileRight::MayBanNick, 5);
    op->SetRight(TProfileRight::MayReceiveNickListBeforeMyINFO, 1);
    op->Restriction.MinShareEnabled = true;
    op->Restriction.MinShare = 1572864000;
    op->Restriction.MaxHubsEnabled = true;
    op->Restriction.MaxHubs = 150;
    op->JoinAnnouncementEnabled = true;
    op->JoinAnnouncement = "line1\r\nline2\x9D";
    op->AllowUseAnnouncementAwayTimeEnabled = true;
    op->AllowUseAnnouncementAwayTime = TDateTime{TProfile::kAwayTimeDay.Seconds + 3723};
    Profiles().Registered()->Description = "r\x81";

    std::shared_ptr<TAccount> alice = AddAccount("alice", "Op", "p\x80");
    alice->Comment = "c1\r\nc2\x81";
    alice->OnJoin = "hi\r\n\x9D";
    alice->IPPattern = "10.0.*";
    alice->Owner = "boss";
    ASSERT_TRUE(ParseDateTime("2030-01-02 03:04:05", alice->ExpireDate));
    std::shared_ptr<TAccount> bob = AddAccount("bob", "Op", "b");
    bob->ExpireDateEnabled = true;
    ASSERT_TRUE(ParseDateTime("2099-05-06 07:08:09", bob->ExpireDate));
    Registered().Add("nick\x80")->Pass = "\x9Dpw";

    ASSERT_TRUE(Root().SettingsFiles().SaveAll(false));
    for (const char* name : kFiles) before_.push_back(ReadSettingsFile(name));
    // The pages show what the files hold, as after a start.
    ASSERT_TRUE(Profiles().Load());
    ASSERT_TRUE(Accounts().Load());
    ASSERT_TRUE(Registered().Load());
    gui_->ShowAllPages();
  }

  void ExpectFilesUnchanged() {
    ASSERT_TRUE(Root().SettingsFiles().SaveAll(false));
    for (std::size_t i = 0; i < std::size(kFiles); ++i)
      EXPECT_EQ(ReadSettingsFile(kFiles[i]), before_[i]) << kFiles[i];
  }

  static constexpr const char* kFiles[] = {"profiles.xml", "accounts.xml", "protected.xml"};
  std::vector<std::string> before_;
};

TEST_F(AccountPagesRoundTrip, ShowingLoadingAndSavingUnchangedKeepsEveryByte) {
  for (const char* name : {"Op", "Regular", "Registered"}) {
    ASSERT_TRUE(SelectRow("lvProfiles", name, 0));
    Click("btnProfilesSave");
    Pages().Profiles().SaveAs();  // under its own name: written back as shown
  }
  for (const char* nick : {"alice", "bob"}) {
    ASSERT_TRUE(SelectRow("lvAccounts", nick, 1));
    EXPECT_TRUE(Pages().Accounts().IsUnchanged()) << nick;
    Click("btnAccountSave");
  }
  Type("edtRegisteredSearch", "*");
  Click("btnRegisteredSearch");
  ASSERT_TRUE(SelectRow("lvRegistered", TextFromBytes("nick\x80"), 0));
  EXPECT_EQ(Control<QLineEdit>("edtRegisteredPassword")->text(), TextFromBytes("\x9Dpw"));
  ExpectFilesUnchanged();
  // Save As of an unchanged profile under its own name says it saved;
  // nothing else did.
  QStringList others;
  for (const QString& line : FeedLines())
    if (line.contains("via GUI") && !line.contains("has been saved via GUI")) others.append(line);
  EXPECT_TRUE(others.isEmpty()) << others.join("\n").toStdString();
}

TEST_F(AccountPagesRoundTrip, NothingButShowingPostsNoLine) {
  ExpectFilesUnchanged();
  EXPECT_EQ(GuiLineCount(), 0);
}

TEST_F(AccountPagesRoundTrip, OneEditedControlChangesExactlyItsElement) {
  // Profiles: the description.
  ASSERT_TRUE(SelectRow("lvProfiles", "Op", 0));
  Type("leProfileDescription", "plain");
  Click("btnProfilesSave");
  std::shared_ptr<TProfile> op = Profiles().Find("Op");
  EXPECT_EQ(op->Description, "plain");
  EXPECT_EQ(op->Restriction.MinShare, 1572864000);
  EXPECT_EQ(op->Restriction.MaxHubs, 150);
  EXPECT_EQ(op->ProfileLevel, 12);
  EXPECT_EQ(op->Right(TProfileRight::MayBanNick), 5);
  // Restoring that one field restores every byte.
  ASSERT_TRUE(Profiles().Save());
  EXPECT_NE(ReadSettingsFile("profiles.xml"), before_[0]);
  op->Description = "d\x80\x81\x9D";

  // Accounts: the comment (the change stamp comes with every save).
  ASSERT_TRUE(SelectRow("lvAccounts", "alice", 1));
  std::shared_ptr<TAccount> alice = Accounts().Find("alice");
  const TDateTime changed = alice->LastChanged;
  const std::string changedBy = alice->LastChangedBy;
  Control<QPlainTextEdit>("memAccountComment")->setPlainText("new\ncomment");
  Click("btnAccountSave");
  EXPECT_EQ(alice->Comment, "new\r\ncomment");
  EXPECT_EQ(alice->LastChangedBy, "Kavro GUI");
  TDateTime expire;
  ASSERT_TRUE(ParseDateTime("2030-01-02 03:04:05", expire));
  EXPECT_EQ(alice->ExpireDate, expire);
  EXPECT_FALSE(alice->ExpireDateEnabled);
  alice->Comment = "c1\r\nc2\x81";
  alice->LastChanged = changed;
  alice->LastChangedBy = changedBy;

  // Protected nicks: the password.
  Type("edtRegisteredName", TextFromBytes("nick\x80"));
  Type("edtRegisteredPassword", "changed");
  Click("btnRegisteredSave");
  EXPECT_EQ(Registered().Find("nick\x80")->Pass, "changed");
  Registered().Find("nick\x80")->Pass = "\x9Dpw";

  ExpectFilesUnchanged();
}

}  // namespace
