#include "gui/account_pages_fixture.h"
#include "gui/controls/adv_spin_edit.h"
#include "settings/settings.h"

namespace {

class RegisterPage : public TAccountPagesTest {
 protected:
  void AddNicks(int count) {
    for (int i = 1; i <= count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "nick%02d", i);
      Registered().Add(name)->Pass = "p";
    }
  }
  void SearchFor(const QString& text, int offset, int maxHits) {
    Type("edtRegisteredSearch", text);
    Control<TAdvSpinEdit>("seRegisteredOffset")->SetValue(offset);
    Control<TAdvSpinEdit>("seRegisteredMaxHits")->SetValue(maxHits);
    Click("btnRegisteredSearch");
  }
};

TEST_F(RegisterPage, SearchRangesByOffsetAndMaxHits) {
  AddNicks(12);
  struct TCase {
    QString text;
    int offset;
    int maxHits;
    QStringList rows;
  };
  const TCase cases[] = {
      {"*", 10, 5, {"nick11", "nick12"}},
      {"", 10, 5, {"nick11", "nick12"}},
      {"*", 0, 2, {"nick01", "nick02"}},
      {"*", 12, 5, {}},
      {"nick05", 3, 5, {"nick05"}},  // one match: shown whatever the offset
      {"nick1*", 1, 500, {"nick11", "nick12"}},
      {"other", 0, 5, {}},
  };
  for (const TCase& c : cases) {
    SearchFor(c.text, c.offset, c.maxHits);
    EXPECT_EQ(Column("lvRegistered", 0), c.rows) << c.text.toStdString() << " " << c.offset;
  }
}

TEST_F(RegisterPage, AddAlterAndDeleteWithTheirLines) {
  Type("edtRegisteredName", "");
  Type("edtRegisteredPassword", "x");
  Click("btnRegisteredSave");
  Type("edtRegisteredName", "a b|c");
  Type("edtRegisteredPassword", "");
  Click("btnRegisteredSave");
  EXPECT_EQ(dialogs_.informed,
            QStringList({"You'll have to specify a name", "You'll have to specify a password"}));

  // A name the login could never send is stored as the protocol allows.
  Type("edtRegisteredName", "a b|c");
  Type("edtRegisteredPassword", "secret");
  Click("btnRegisteredSave");
  const std::string safe = "a\xA0"
                           "b_c";
  ASSERT_NE(Registered().Find(safe), nullptr);
  EXPECT_EQ(Registered().Find("a b|c"), nullptr);
  EXPECT_EQ(Registered().Find(safe)->Pass, "secret");
  EXPECT_EQ(Control<QLineEdit>("edtRegisteredName")->text(), TextFromBytes(safe));
  EXPECT_TRUE(FeedHas("The registered user " + TextFromBytes(safe) + " has been added via GUI"));

  SearchFor("*", 0, 500);
  ASSERT_TRUE(SelectRow("lvRegistered", TextFromBytes(safe), 0));
  Type("edtRegisteredPassword", "other");
  Click("btnRegisteredSave");
  EXPECT_EQ(Registered().Find(safe)->Pass, "other");
  EXPECT_EQ(Control<TSortedListView>("lvRegistered")->Item(0)->text(1), "other");
  EXPECT_EQ(Control<TSortedListView>("lvRegistered")->Item(0)->text(2), "[never]");
  EXPECT_TRUE(FeedHas("has been altered via GUI"));
  ASSERT_TRUE(Registered().Save());
  EXPECT_NE(ReadSettingsFile("protected.xml").find("other"), std::string::npos);

  Control<QAction>("actRegisteredRemove")->trigger();
  EXPECT_EQ(Registered().Find(safe), nullptr);
  EXPECT_EQ(Control<TSortedListView>("lvRegistered")->Count(), 0);
  EXPECT_TRUE(FeedHas("The registered user " + TextFromBytes(safe) + " has been deleted via GUI"));
}

TEST_F(RegisterPage, TheSwitchFollowsTheSettingWhenShownAndStoresIt) {
  auto* box = Control<QCheckBox>("chkRegisterEnable");
  Settings().AllowUsersToRegister = true;
  gui_->Window().show();
  gui_->Window().OpenPage("Register");
  EXPECT_TRUE(box->isChecked());
  box->setChecked(false);
  EXPECT_FALSE(Settings().AllowUsersToRegister);
  // Changed elsewhere (the users page) while another page was shown.
  gui_->Window().OpenPage("Accounts");
  Settings().AllowUsersToRegister = true;
  gui_->Window().OpenPage("Register");
  EXPECT_TRUE(box->isChecked());
}

}  // namespace
