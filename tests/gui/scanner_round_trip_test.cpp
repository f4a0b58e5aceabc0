// The three scanner files through the pages: shown, every item loaded and
// "Save" pressed unchanged, then saved by the hub, they stay byte for byte
// what they were; one edited control changes exactly its element.

#include <QTreeWidget>

#include "core/settings_file_set.h"
#include "gui/main_gui.h"
#include "scanner_pages_fixture.h"

namespace {

// Values the controls cannot hold: levels outside 1..10, kinds without a
// name, bytes 0x80, 0x81, 0x9D, line breaks other than CR LF.
std::vector<TMCItemRow> MCItems() {
  return {{"alpha", false, true, false, false, true,
           {{15, 0, "\x80|\x81\x9D", true, "22:00:00", "02:00:00"}, {0, 12, "", true, "03:00:00", "04:00:00"}}},
          {"b\x80\x81\x9D", true, true, true, true, true, {{10, 8, "x\r\ny", false, "00:00:00", "23:59:59"}}}};
}
std::vector<TWordItemRow> PMItems() {
  return {{"a\x80", 0, true, true, false, 5, "r1\r\nr2\x81\x9D"}, {"b", 15, false, false, true, 1, "x\ny\r"}};
}
std::vector<TWordItemRow> SearchItems() {
  return {{"c", 10, true, false, false, 0, "r\r\n"}, {"d\x9D", 20, true, true, true, 2, "\x80"}};
}

class ScannerRoundTrip : public TScannerPagesTest {
 protected:
  ScannerRoundTrip() {
    files_["mc_scanner.xml"] = MCFile(MCItems());
    files_["pm_scanner.xml"] = WordFile(PMItems());
    files_["search_scanner.xml"] = WordFile(SearchItems());
  }
  void VisitEveryItem(const QString& area) {
    auto* lv = Control<TSortedListView>("lv" + area);
    for (int i = 0; i < lv->Count(); ++i) {
      lv->setCurrentItem(lv->Item(i));
      if (area == "MCScanner") {
        auto* actions = Control<QTreeWidget>("lvMCScannerActions");
        for (int j = 0; j < actions->topLevelItemCount(); ++j) actions->setCurrentItem(actions->topLevelItem(j));
      }
      Click("btn" + area + "Save");
    }
  }
};

TEST_F(ScannerRoundTrip, ShownAndSavedFilesStayByteIdentical) {
  gui_->ShowAllPages();
  for (const QString area : {"MCScanner", "PMScanner", "SearchScanner"}) VisitEveryItem(area);
  EXPECT_TRUE(dialogs_.asked.isEmpty()) << dialogs_.asked.join("/").toStdString();
  ASSERT_TRUE(Root().SettingsFiles().SaveAll(true));
  for (const auto& [name, bytes] : files_) EXPECT_EQ(FileBytes(name), bytes) << name;
  EXPECT_EQ(GuiLines(), 0);
}

TEST_F(ScannerRoundTrip, OneEditedControlChangesExactlyItsElement) {
  // Main chat: the second action's replace text.
  Select("lvMCScanner", "alpha");
  auto* actions = Control<QTreeWidget>("lvMCScannerActions");
  actions->setCurrentItem(actions->topLevelItem(1));
  Type("edtMCScannerReplace", "new");
  Click("btnMCScannerSave");
  std::vector<TMCItemRow> mc = MCItems();
  mc[0].Actions[1].Replace = "new";
  EXPECT_EQ(FileBytes("mc_scanner.xml"), MCFile(mc));

  // Private messages: the level of an item whose reason is no memo text.
  Select("lvPMScanner", "b");
  Control<QSpinBox>("sePMScannerLevel")->setValue(7);
  Click("btnPMScannerSave");
  std::vector<TWordItemRow> pm = PMItems();
  pm[1].Level = 7;
  EXPECT_EQ(FileBytes("pm_scanner.xml"), WordFile(pm));

  // Searches: the action of an item with a level above the box's range.
  Select("lvSearchScanner", QString::fromUtf8("d\u009D"));
  Control<QComboBox>("cbSearchScannerAction")->setCurrentIndex(1);
  Click("btnSearchScannerSave");
  std::vector<TWordItemRow> search = SearchItems();
  search[1].Action = 1;
  EXPECT_EQ(FileBytes("search_scanner.xml"), WordFile(search));

  ASSERT_TRUE(Root().SettingsFiles().SaveAll(true));
  EXPECT_EQ(FileBytes("mc_scanner.xml"), MCFile(mc));
  EXPECT_EQ(FileBytes("pm_scanner.xml"), WordFile(pm));
  EXPECT_EQ(FileBytes("search_scanner.xml"), WordFile(search));
}

}  // namespace
