// The "Banlist" page driven through its named controls, against the hub's
// own ban list and settings/bans.xml.

#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/settings_file_set.h"
#include "gui/ban_isp_pages.h"
#include "gui/ban_list_gui.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/gui_fixture.h"
#include "gui/text_1252.h"
#include "security/ban_list.h"

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime out;
  TryEncodeDateTime({year, month, day, hour, minute, second}, out);
  return out;
}

std::string Ban(const std::string& tag, const std::string& pattern, const std::string& by,
                const std::string& reason, const std::string& expires) {
  return "    <Ban>\r\n"
         "      <Overrideable>false</Overrideable>\r\n"
         "      <" + tag + ">" + pattern + "</" + tag + ">\r\n"
         "      <BannedBy>" + by + "</BannedBy>\r\n" +
         (reason.empty() ? "      <Reason/>\r\n" : "      <Reason>" + reason + "</Reason>\r\n") +
         "      <Issued>2024-05-01 12:00:00</Issued>\r\n"
         "      <Expires>" + expires + "</Expires>\r\n"
         "      <LastUsed>[Never]</LastUsed>\r\n"
         "    </Ban>\r\n";
}

// Bytes a careless page would damage: Windows-1252 and its holes, a time
// of day in an expiry, a mask with a wildcard.
const std::string kBansFile =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
    "<Bans version=\"1.040\">\r\n"
    "  <Nick>\r\n" +
    Ban("Nick", "troll", "op\x80", "spam \x80\x81\x9D", "2099-12-24 18:30:05") +
    Ban("Nick", "vandal", "op", "", "[Permanent]") +
    "  </Nick>\r\n"
    "  <IP>\r\n" +
    Ban("IP", "10.0.0.*", "op", "range \x9D", "[Permanent]") +
    "  </IP>\r\n"
    "  <DNS>\r\n" +
    Ban("DNS", "*.bad.example", "op", "", "2098-01-02 00:00:00") +
    "  </DNS>\r\n"
    "  <Client>\r\n" +
    Ban("Client", "Leech*", "op", "old client", "[Permanent]") +
    "  </Client>\r\n"
    "</Bans>";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

class BanListGuiTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    std::filesystem::create_directories(home_.Path() / "settings");
    std::ofstream(home_.File("settings/bans.xml"), std::ios::binary) << kBansFile;
  }
  void SetUp() override {
    TGuiTest::SetUp();
    Root().Bans().SetClock([this] { return now_; });
    page_ = &gui_->BanIspPages().BanList();
    page_->Initialize();
    list_ = Control<TSortedListView>("lvBanList");
    tabs_ = Control<QTabWidget>("pcBanList");
  }

  template <class T>
  T* Tab(const char* stem, const char* kind) {
    return Control<T>(QString::fromLatin1(stem) + QString::fromLatin1(kind));
  }
  void ChooseTab(int index) { tabs_->setCurrentIndex(index); }
  // Types a ban into the add/edit group of the chosen tab and saves it.
  void SaveBan(const char* kind, const QString& pattern, const QString& reason,
               bool expires = false) {
    Tab<QLineEdit>("edtBanListPattern", kind)->setText(pattern);
    Tab<QLineEdit>("edtBanListReason", kind)->setText(reason);
    Tab<QCheckBox>("chkBanListExpire", kind)->setChecked(expires);
    Tab<QPushButton>("btnBanListSave", kind)->click();
  }
  void SearchAll(const char* kind, const QString& text = QStringLiteral("*")) {
    Tab<QLineEdit>("edtBanListSearch", kind)->setText(text);
    Tab<QPushButton>("btnBanListSearch", kind)->click();
  }
  void SelectRow(const QString& pattern) {
    QTreeWidgetItem* row = list_->FindItem(pattern);
    ASSERT_NE(row, nullptr) << pattern.toStdString();
    list_->clearSelection();
    list_->setCurrentItem(row);
    row->setSelected(true);
  }
  QStringList Rows() const {
    QStringList rows;
    for (int i = 0; i < list_->Count(); ++i) rows.append(list_->Item(i)->text(0));
    return rows;
  }
  QString Header() { return Control<QLabel>("lblBanListHeader")->text(); }
  std::string SavedFile() {
    EXPECT_TRUE(Root().SettingsFiles().SaveAll(false));
    return ReadFile(home_.File("settings/bans.xml"));
  }

  TDateTime now_ = At(2030, 6, 1, 10, 20, 30);
  TBanListGui* page_ = nullptr;
  TSortedListView* list_ = nullptr;
  QTabWidget* tabs_ = nullptr;
};

TEST_F(BanListGuiTest, ShowAndSaveKeepTheFileAndOneEditChangesOnlyItsElement) {
  const int linesBefore = static_cast<int>(FeedLines().size());
  gui_->ShowAllPages();
  SearchAll("Nick");
  SelectRow("troll");  // fills the add/edit group from the ban
  EXPECT_EQ(SavedFile(), kBansFile);
  EXPECT_EQ(FeedLines().size(), linesBefore) << FeedLines().join("\n").toStdString();

  // Saved from the boxes the row filled: only the edited reason differs.
  Tab<QLineEdit>("edtBanListReason", "Nick")->setText(QStringLiteral("new reason"));
  Tab<QPushButton>("btnBanListSave", "Nick")->click();
  EXPECT_TRUE(FeedHas("The nick ban troll has been altered via GUI"));
  std::string expected = kBansFile;
  Replace(expected, "<Reason>spam \x80\x81\x9D</Reason>", "<Reason>new reason</Reason>");
  EXPECT_EQ(SavedFile(), expected);
}

// Every kind: the refusal of an empty pattern, add, alter, and delete from
// the result list, with their feed lines and the file written.
TEST_F(BanListGuiTest, AddAlterAndDeleteOnEveryTab) {
  struct TCase {
    int tab;
    const char* kind;
    TBanKind list;
    QString pattern;
    const char* tag;
    QString noPattern, added, altered, deleted;
  };
  const TCase cases[] = {
      {0, "Nick", TBanKind::Nick, "griefer", "Nick", "You have to choose a nick to ban",
       "The nick ban griefer has been added via GUI", "The nick ban griefer has been altered via GUI",
       "The nick ban griefer has been deleted via GUI"},
      {1, "IP", TBanKind::IP, "192.168.1.*", "IP", "You have to choose an IP/IP range to ban",
       "The IP/IP range ban 192.168.1.* has been added via GUI",
       "The IP/IP range ban 192.168.1.* has been altered via GUI",
       "The IP/IP range ban 192.168.1.* has been deleted via GUI"},
      {2, "DNS", TBanKind::DNS, "*.spam?.example", "DNS", "You have to choose a DNS to ban",
       "The DNS/DNS pattern ban *.spam?.example has been added via GUI",
       "The DNS/DNS pattern ban *.spam?.example has been altered via GUI",
       "The dns ban *.spam?.example has been deleted via GUI"},
      {3, "Client", TBanKind::Client, "BadClient*", "Client", "You have to choose a client tag to ban",
       "The client ban BadClient* has been added via GUI", "The client ban BadClient* has been altered via GUI",
       "The client ban BadClient* has been deleted via GUI"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind);
    ChooseTab(c.tab);
    SaveBan(c.kind, "", "x");
    ASSERT_FALSE(dialogs_.informed.isEmpty());
    EXPECT_EQ(dialogs_.informed.back(), c.noPattern);

    SaveBan(c.kind, c.pattern, QStringLiteral("first"));
    EXPECT_TRUE(FeedHas(c.added));
    const TBan* ban = Root().Bans().Find(c.list, BytesFromText(c.pattern));
    ASSERT_NE(ban, nullptr);
    EXPECT_EQ(ban->BannedBy, "Kavro GUI");
    EXPECT_EQ(ban->Issued, now_);
    EXPECT_EQ(ban->Level, 0);

    SaveBan(c.kind, c.pattern, QStringLiteral("second \u20AC"), true);
    EXPECT_TRUE(FeedHas(c.altered));
    EXPECT_EQ(ban->Reason, "second \x80");
    EXPECT_EQ(ban->Expires.Seconds, now_.Seconds + 5 * kSecondsPerDay);
    const std::string element = std::string("<") + c.tag + ">" + BytesFromText(c.pattern) + "</" + c.tag + ">";
    EXPECT_NE(SavedFile().find(element), std::string::npos);

    SearchAll(c.kind);
    SelectRow(c.pattern);
    EXPECT_EQ(list_->FindItem(c.pattern)->text(2), BanDateText(ban->Expires));
    Control<QAction>("actBanListRemove")->trigger();
    EXPECT_TRUE(FeedHas(c.deleted));
    EXPECT_EQ(Root().Bans().Find(c.list, BytesFromText(c.pattern)), nullptr);
    EXPECT_EQ(list_->FindItem(c.pattern), nullptr);
    EXPECT_EQ(SavedFile().find(element), std::string::npos);
  }
}

TEST_F(BanListGuiTest, ExpiryPickersOfPermanentBansOfferADateSwitchedOff) {
  const QDateTime inFiveDays = QDateTime(QDate(2030, 6, 6), QTime(10, 20, 30), Qt::UTC);
  for (const char* kind : {"Nick", "IP", "DNS", "Client"}) {
    EXPECT_FALSE(Tab<QCheckBox>("chkBanListExpire", kind)->isChecked()) << kind;
    EXPECT_EQ(Tab<QDateTimeEdit>("dtpBanListExpire", kind)->dateTime(), inFiveDays) << kind;
  }
  auto* expireOn = Tab<QCheckBox>("chkBanListExpire", "Nick");
  auto* picker = Tab<QDateTimeEdit>("dtpBanListExpire", "Nick");
  SearchAll("Nick");
  SelectRow("troll");
  EXPECT_TRUE(expireOn->isChecked());
  EXPECT_EQ(picker->dateTime(), QDateTime(QDate(2099, 12, 24), QTime(18, 30, 5), Qt::UTC));
  SelectRow("vandal");  // permanent
  EXPECT_FALSE(expireOn->isChecked());
  EXPECT_EQ(picker->dateTime(), inFiveDays);

  // Saving over the timed ban with the box off makes it permanent.
  SelectRow("troll");
  expireOn->setChecked(false);
  Tab<QPushButton>("btnBanListSave", "Nick")->click();
  EXPECT_EQ(Root().Bans().FindNickBan("troll")->Expires, TDateTime{});
  EXPECT_EQ(list_->FindItem("troll")->text(2), "[permanent]");
}

TEST_F(BanListGuiTest, AddsTheListRefusesChangeNothing) {
  ChooseTab(0);
  SaveBan("Nick", "grief*", "");
  const QStringList linesBefore = FeedLines();
  const std::string fileBefore = SavedFile();
  struct TCase {
    QString pattern;
    QString message;
  };
  const TCase cases[] = {
      {"griefer", "The nick ban griefer is already covered by the ban grief*, add failed"},
      {"*", "The nick ban * isn't a pattern the list can hold, add failed"},
  };
  for (const TCase& c : cases) {
    SaveBan("Nick", c.pattern, "");
    ASSERT_FALSE(dialogs_.informed.isEmpty());
    EXPECT_EQ(dialogs_.informed.back(), c.message);
  }
  EXPECT_EQ(FeedLines(), linesBefore);
  EXPECT_EQ(Root().Bans().GetCount(TBanKind::Nick), 3);
  EXPECT_EQ(SavedFile(), fileBefore);
}

TEST_F(BanListGuiTest, IPMasksAreNormalisedOrRefused) {
  ChooseTab(1);
  SaveBan("IP", "172.16.*.*", "");
  EXPECT_NE(Root().Bans().FindIPBan("172.16.*"), nullptr);
  EXPECT_TRUE(FeedHas("The IP/IP range ban 172.16.* has been added via GUI"));
  SaveBan("IP", "10.1.2.256", "");
  ASSERT_FALSE(dialogs_.informed.isEmpty());
  EXPECT_EQ(dialogs_.informed.back(), "The IP/IP range you've supplied isn't valid");
  EXPECT_EQ(Root().Bans().GetCount(TBanKind::IP), 2);
}

TEST_F(BanListGuiTest, MatchListsEveryMatchingBanOnce) {
  ChooseTab(0);
  for (const char* pattern : {"nick*", "*ick", "*ic*", "other"}) SaveBan("Nick", pattern, "");
  // "*ic*" occurs twice in the nick, still one ban.
  Tab<QLineEdit>("edtBanListSearch", "Nick")->setText("nickick");
  Tab<QPushButton>("btnBanListMatch", "Nick")->click();
  QStringList rows = Rows();
  rows.sort();
  EXPECT_EQ(rows, (QStringList{"*ic*", "*ick", "nick*"}));
  EXPECT_EQ(Header(), "Showing 3 hits");
  EXPECT_EQ(Control<QLabel>("lblBanListShow")->text(), "Nick bans");
}

TEST_F(BanListGuiTest, SearchPagesByOffsetAndMaxhits) {
  Root().Bans().Clear();
  for (int i = 1; i <= 12; ++i)
    Root().Bans().AddNickBan("n" + std::to_string(100 + i), "", 0, {}, "op");
  Tab<QSpinBox>("seBanListOffset", "Nick")->setValue(10);
  Tab<QSpinBox>("seBanListMaxhits", "Nick")->setValue(5);
  SearchAll("Nick", "");
  EXPECT_EQ(Rows(), (QStringList{"n111", "n112"}));
  EXPECT_EQ(Header(), "Showing 2 hits from offset 10, total hits: 12");
  Tab<QSpinBox>("seBanListOffset", "Nick")->setValue(0);
  SearchAll("Nick", "n1*");
  EXPECT_EQ(Rows().size(), 5);
  // A single hit shows whatever the offset.
  Tab<QSpinBox>("seBanListOffset", "Nick")->setValue(3);
  SearchAll("Nick", "n105");
  EXPECT_EQ(Rows(), QStringList{"n105"});
}

// A ban whose time is up is never listed, by a match or by a search, on
// any tab; the bans still in force are. Each listing meets a ban of its
// own that expired, so neither can lean on the other's clean-up.
TEST_F(BanListGuiTest, SearchAndMatchNeverListExpiredBans) {
  struct TCase {
    int tab;
    TBanKind id;
    const char* kind;
    const char* pattern;
    const char* matching;  // a text the pattern matches
    QStringList live;      // the fixture's bans of that kind
  };
  const TCase cases[] = {
      {0, TBanKind::Nick, "Nick", "short", "short", {"troll", "vandal"}},
      {1, TBanKind::IP, "IP", "10.9.9.9", "10.9.9.9", {"10.0.0.*"}},
      {2, TBanKind::DNS, "DNS", "*.short.example", "host.short.example", {"*.bad.example"}},
      {3, TBanKind::Client, "Client", "Short*", "Short 1.0", {"Leech*"}},
  };
  // A ban of the case's pattern for five days from now, then six days on.
  const auto saveAndOutlive = [this](const TCase& c) {
    page_->Initialize();  // the pickers at now + 5 days
    ChooseTab(c.tab);
    SaveBan(c.kind, c.pattern, "", /*expires=*/true);
    ASSERT_NE(Root().Bans().Find(c.id, c.pattern), nullptr);
    now_ = TDateTime{now_.Seconds + 6 * kSecondsPerDay};
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind);
    saveAndOutlive(c);
    Tab<QLineEdit>("edtBanListSearch", c.kind)->setText(c.matching);
    Tab<QPushButton>("btnBanListMatch", c.kind)->click();
    EXPECT_EQ(Rows(), QStringList());
    EXPECT_EQ(Header(), "Showing 0 hits");

    saveAndOutlive(c);
    SearchAll(c.kind);
    QStringList rows = Rows();
    rows.sort();
    QStringList live = c.live;
    live.sort();
    EXPECT_EQ(rows, live);
    EXPECT_EQ(Header(), QString("Showing %1 hits from offset 0, total hits: %1").arg(live.size()));
  }
}

TEST_F(BanListGuiTest, SavingAnotherKindLeavesTheResultListAlone) {
  SearchAll("Nick");
  const QStringList shown = Rows();
  ChooseTab(3);
  SaveBan("Client", "Other*", "");
  EXPECT_EQ(Rows(), shown);
  EXPECT_EQ(page_->ShownKind(), TBanKind::Nick);
}

TEST_F(BanListGuiTest, RemovingSeveralRowsSelectsTheRowAtTheFirstPlace) {
  ChooseTab(0);
  for (const char* pattern : {"a1", "a2", "a3", "a4"}) SaveBan("Nick", pattern, "");
  SearchAll("Nick", "a*");
  list_->clearSelection();
  list_->Item(1)->setSelected(true);
  list_->Item(2)->setSelected(true);
  Control<QAction>("actBanListRemove")->trigger();
  EXPECT_EQ(Rows(), (QStringList{"a1", "a4"}));
  EXPECT_EQ(list_->currentItem(), list_->Item(1));
  EXPECT_TRUE(FeedHas("The nick ban a2 has been deleted via GUI"));
  EXPECT_TRUE(FeedHas("The nick ban a3 has been deleted via GUI"));
}

TEST_F(BanListGuiTest, ANickBannedOnThePageIsRefusedAtLogin) {
  const int port = StartHub();
  ChooseTab(0);
  SaveBan("Nick", "mallory", "go away");
  TGuiClient mallory;
  ASSERT_TRUE(mallory.Connect(port));
  ASSERT_TRUE(mallory.WaitFor(" Pk="));
  ASSERT_TRUE(mallory.Send(KeyFor(mallory.Received()) + "$ValidateNick mallory|"));
  EXPECT_TRUE(mallory.WaitFor("You're banned from this hub by Kavro GUI because: go away"))
      << mallory.Received();
  EXPECT_TRUE(mallory.WaitClosed());
  EXPECT_EQ(mallory.Received().find("$Hello mallory|"), std::string::npos);

  TGuiClient alice;  // another nick still gets in
  ASSERT_TRUE(alice.Connect(port));
  EXPECT_TRUE(alice.Login("alice")) << alice.Received();
}

}  // namespace
