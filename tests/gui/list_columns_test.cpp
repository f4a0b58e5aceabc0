// The page lists once filled: every column at least as wide as its
// contents, and a column the user narrowed stays so until rows change.

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

#include "gui/account_pages.h"
#include "gui/accounts_gui.h"
#include "scanner_pages_fixture.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profiles.h"

namespace {

std::string Ban(const std::string& pattern, const std::string& reason) {
  return "    <Ban>\r\n"
         "      <Overrideable>false</Overrideable>\r\n"
         "      <Nick>" + pattern + "</Nick>\r\n"
         "      <BannedBy>operator</BannedBy>\r\n"
         "      <Reason>" + reason + "</Reason>\r\n"
         "      <Issued>2024-05-01 12:00:00</Issued>\r\n"
         "      <Expires>2099-12-24 18:30:05</Expires>\r\n"
         "      <LastUsed>[Never]</LastUsed>\r\n"
         "    </Ban>\r\n";
}

// The widths a column's rows and caption ask for.
int Contents(const QTreeView& list, int column) {
  const QAbstractItemView& view = list;  // public there, the tree's own measure
  return std::max(view.sizeHintForColumn(column), list.header()->sectionSizeHint(column));
}

class ListColumnsTest : public TScannerPagesTest {
 protected:
  ListColumnsTest() {
    files_["bans.xml"] = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Bans version=\"1.040\">\r\n"
                         "  <Nick>\r\n" + Ban("a-rather-long-nick-pattern*", "flooding the main chat") +
                         "  </Nick>\r\n</Bans>";
    TMCItemRow night = MCNamed("night");
    night.Actions = {{5, 7, "", true, "22:00:00", "02:00:00"}, {3, 6, "go away", true, "03:00:00", "04:00:00"}};
    files_["mc_scanner.xml"] = MCFile({night});
  }
  void SetUp() override {
    TScannerPagesTest::SetUp();
    window().resize(1020, 615);
    window().show();
  }
  TfrmMain& window() { return gui_->Window(); }
  void Open(const char* node) {
    window().Tree()->setCurrentItem(window().FindNode(QString::fromLatin1(node)));
    Settle();
  }
  static void Settle() { SpinUntil([] { return false; }, std::chrono::milliseconds(20)); }
};

struct TListRow {
  const char* node;            // the page's tree node
  const char* list;            // the list's object name
  std::function<void()> fill;  // puts rows in it
};

TEST_F(ListColumnsTest, EveryColumnIsAsWideAsItsContentsOnceFilled) {
  const TListRow rows[] = {
      {"Banlist", "lvBanList",
       [this] {
         Type("edtBanListSearchNick", "*");
         Click("btnBanListSearchNick");
       }},
      {"Accounts", "lvAccounts",
       [this] {
         TKavroRoot& root = Root();
         if (root.Profiles().Find("Op") == nullptr) root.Profiles().Add("Op");
         std::shared_ptr<TAccount> account = root.Accounts().Add("someone-with-a-long-nick", "Op");
         account->IPPattern = "192.168.100.*;10.20.30.*";
         gui_->AccountPages().Accounts().UpdateAccount(*account);
       }},
      {"MC scanner", "lvMCScannerActions", [this] { Select("lvMCScanner", "night"); }},
      {"Profiles", "lvProfiles", [] {}},
  };
  for (const TListRow& row : rows) {
    SCOPED_TRACE(row.list);
    Open(row.node);
    row.fill();
    Settle();
    auto* list = Control<QTreeWidget>(QString::fromLatin1(row.list));
    ASSERT_NE(list, nullptr);
    ASSERT_GT(list->topLevelItemCount(), 0);
    for (int column = 0; column < list->columnCount(); ++column)
      EXPECT_GE(list->columnWidth(column), Contents(*list, column))
          << list->headerItem()->text(column).toStdString();
  }
}

// Narrowed by hand, a column keeps its width through a re-sort and an
// edit that fits; the next load fits it again.
TEST_F(ListColumnsTest, ANarrowedColumnStaysUntilTheNextLoad) {
  Open("Banlist");
  Type("edtBanListSearchNick", "*");
  Click("btnBanListSearchNick");
  Settle();
  auto* list = Control<TSortedListView>(QStringLiteral("lvBanList"));
  ASSERT_EQ(list->Count(), 1);
  list->setColumnWidth(0, 30);
  list->ClickColumn(1);
  Settle();
  EXPECT_EQ(list->columnWidth(0), 30);
  Click("btnBanListSearchNick");
  Settle();
  EXPECT_GE(list->columnWidth(0), Contents(*list, 0));
}

}  // namespace
