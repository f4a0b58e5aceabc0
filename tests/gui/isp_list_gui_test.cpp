// The "ISPIP" page driven through its named controls, against the hub's
// own ISP list and settings/isps.xml.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/page_refresh.h"
#include "core/settings_file_set.h"
#include "gui/ban_isp_pages.h"
#include "gui/controls/adv_spin_edit.h"
#include "gui/controls/conn_restriction_frame.h"
#include "gui/gui_fixture.h"
#include "gui/isp_list_gui.h"
#include "gui/text_1252.h"
#include "security/isp_list.h"

namespace {

std::string ISP(const std::string& name, const std::string& description, const std::string& limits,
                const std::string& ranges) {
  return "  <ISP>\r\n"
         "    <Name>" + name + "</Name>\r\n" +
         (description.empty() ? "    <Description/>\r\n"
                              : "    <Description>" + description + "</Description>\r\n") +
         "    <Prefix>[" + name + "]</Prefix>\r\n" + limits +
         "    <MayBeInPassiveMode enable=\"true\"/>\r\n"
         "    <AllowTagLessToByPass enable=\"false\"/>\r\n" +
         (ranges.empty() ? "    <Range/>\r\n" : "    <Range>\r\n" + ranges + "    </Range>\r\n") +
         "  </ISP>\r\n";
}

const std::string kNoLimits =
    "    <MinShare enable=\"false\">0</MinShare>\r\n"
    "    <MaxShare enable=\"false\">0</MaxShare>\r\n"
    "    <MaxHubs enable=\"false\">0</MaxHubs>\r\n"
    "    <MinSlots enable=\"false\">0</MinSlots>\r\n"
    "    <MaxSlots enable=\"false\">0</MaxSlots>\r\n"
    "    <SlotRatio enable=\"false\">0</SlotRatio>\r\n";

// A share the units cannot show exactly (1.46 GiB) and a hub count beyond
// its spin's range.
const std::string kAlphaLimits =
    "    <MinShare enable=\"true\">1572864000</MinShare>\r\n"
    "    <MaxShare enable=\"false\">0</MaxShare>\r\n"
    "    <MaxHubs enable=\"true\">150</MaxHubs>\r\n"
    "    <MinSlots enable=\"false\">0</MinSlots>\r\n"
    "    <MaxSlots enable=\"false\">0</MaxSlots>\r\n"
    "    <SlotRatio enable=\"false\">0</SlotRatio>\r\n";

const std::string kISPsFile =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
    "<ISPs version=\"1.040\">\r\n" +
    ISP("Alpha", "net \x80\x81\x9D", kAlphaLimits,
        "      <IP>10.*</IP>\r\n      <IP>195.54.110.*</IP>\r\n") +
    ISP("Beta", "", kNoLimits, "      <IP>9.1.1.1</IP>\r\n") + "</ISPs>";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class ISPListGuiTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    std::filesystem::create_directories(home_.Path() / "settings");
    std::ofstream(home_.File("settings/isps.xml"), std::ios::binary) << kISPsFile;
  }
  void SetUp() override {
    TGuiTest::SetUp();
    page_ = &gui_->BanIspPages().ISPList();
    tree_ = Control<QTreeWidget>("tvISPList");
    name_ = Control<QLineEdit>("leISPListName");
    description_ = Control<QLineEdit>("leISPListDescription");
    box_ = Control<QComboBox>("cbISPListISPs");
    ip_ = Control<QLineEdit>("edtISPListIP");
  }

  QTreeWidgetItem* Node(const QString& isp) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
      if (tree_->topLevelItem(i)->text(0) == isp) return tree_->topLevelItem(i);
    return nullptr;
  }
  QStringList TopLevel() const {
    QStringList names;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) names.append(tree_->topLevelItem(i)->text(0));
    return names;
  }
  QStringList Children(const QString& isp) {
    QStringList texts;
    QTreeWidgetItem* node = Node(isp);
    for (int i = 0; node != nullptr && i < node->childCount(); ++i) texts.append(node->child(i)->text(0));
    return texts;
  }
  QStringList BoxEntries() const {
    QStringList names;
    for (int i = 0; i < box_->count(); ++i) names.append(box_->itemText(i));
    return names;
  }
  void Select(const QString& isp) {
    QTreeWidgetItem* node = Node(isp);
    ASSERT_NE(node, nullptr) << isp.toStdString();
    tree_->setCurrentItem(node);
  }
  void Click(const char* button) { Control<QPushButton>(button)->click(); }
  void RangeAction(const QString& isp, const QString& ip, const char* button) {
    box_->setCurrentIndex(box_->findText(isp));
    ip_->setText(ip);
    Click(button);
  }
  QString LastInfo() const { return dialogs_.informed.isEmpty() ? QString() : dialogs_.informed.back(); }
  std::string SavedFile() {
    EXPECT_TRUE(Root().SettingsFiles().SaveAll(false));
    return ReadFile(home_.File("settings/isps.xml"));
  }

  TISPListGui* page_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* description_ = nullptr;
  QComboBox* box_ = nullptr;
  QLineEdit* ip_ = nullptr;
};

TEST_F(ISPListGuiTest, ShowsTheListAsATree) {
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Beta"}));
  EXPECT_EQ(Children("Alpha"), (QStringList{"10.*", "195.54.110.*"}));
  EXPECT_EQ(Children("Beta"), QStringList{"9.1.1.1"});
  EXPECT_EQ(BoxEntries(), (QStringList{"Alpha", "Beta"}));
  EXPECT_EQ(box_->currentIndex(), 0);
}

TEST_F(ISPListGuiTest, ARangeNodeFillsTheRangeGroupAndTheButtonsFollowTheName) {
  auto* save = Control<QPushButton>("btnISPListSave");
  auto* saveAs = Control<QPushButton>("btnISPListSaveAs");
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(saveAs->isEnabled());
  tree_->setCurrentItem(Node("Beta")->child(0));  // loads its ISP first
  EXPECT_EQ(page_->LoadedISP(), Root().ISPs().Find("Beta"));
  EXPECT_EQ(box_->currentText(), "Beta");
  EXPECT_EQ(ip_->text(), "9.1.1.1");
  EXPECT_TRUE(save->isEnabled());
  EXPECT_FALSE(saveAs->isEnabled());  // the loaded ISP's own name
  name_->setText(QStringLiteral("Beta2"));
  EXPECT_TRUE(saveAs->isEnabled());
  name_->clear();
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(saveAs->isEnabled());
}

TEST_F(ISPListGuiTest, ShowAndSaveKeepTheFileAndOneEditChangesOnlyItsElement) {
  const int linesBefore = static_cast<int>(FeedLines().size());
  gui_->ShowAllPages();
  Select("Alpha");
  EXPECT_EQ(description_->text(), TextFromBytes("net \x80\x81\x9D"));
  Click("btnISPListSave");  // nothing changed: nothing to do
  EXPECT_EQ(SavedFile(), kISPsFile);
  EXPECT_EQ(FeedLines().size(), linesBefore) << FeedLines().join("\n").toStdString();

  description_->setText(QStringLiteral("edited"));
  Click("btnISPListSave");
  EXPECT_TRUE(FeedHas("The ISP Alpha has been saved via GUI"));
  std::string expected = kISPsFile;
  expected.replace(expected.find("net \x80\x81\x9D"), 7, "edited");
  EXPECT_EQ(SavedFile(), expected);
}

TEST_F(ISPListGuiTest, SaveAsAddsAnISPWithTheEditorsValues) {
  // From the loaded ISP under a new name: a second ISP, the first unchanged.
  Select("Alpha");
  name_->setText(QStringLiteral("Alpha2"));
  Click("btnISPListSaveAs");
  EXPECT_TRUE(FeedHas("The ISP Alpha2 has been added via GUI"));
  const TISP* copy = Root().ISPs().Find("Alpha2");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Restriction, Root().ISPs().Find("Alpha")->Restriction);
  EXPECT_EQ(copy->Restriction.MinShare, 1572864000);
  EXPECT_EQ(copy->Restriction.MaxHubs, 150);
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Alpha2", "Beta"}));
  EXPECT_EQ(BoxEntries(), (QStringList{"Alpha", "Alpha2", "Beta"}));
  EXPECT_EQ(page_->LoadedISP(), copy);

  // From a cleared editor.
  page_->ClearEditor();
  name_->setText(QStringLiteral("Gamma"));
  description_->setText(QStringLiteral("g \u20AC"));
  Click("btnISPListSaveAs");
  ASSERT_NE(Root().ISPs().Find("Gamma"), nullptr);
  EXPECT_EQ(Root().ISPs().Find("Gamma")->Description, "g \x80");
  EXPECT_NE(SavedFile().find("<Name>Gamma</Name>"), std::string::npos);

  // An empty name is refused.
  page_->ClearEditor();
  page_->SaveAs();
  EXPECT_EQ(LastInfo(), "Please supply both a name");
}

TEST_F(ISPListGuiTest, RenameMovesTheNodeWithItsRangesAndARefusedOneKeepsTheName) {
  Select("Alpha");
  name_->setText(QStringLiteral("Zeta"));
  Click("btnISPListSave");
  EXPECT_TRUE(FeedHas("The ISP Zeta has been saved via GUI"));
  EXPECT_EQ(TopLevel(), (QStringList{"Beta", "Zeta"}));
  EXPECT_EQ(Children("Zeta"), (QStringList{"10.*", "195.54.110.*"}));
  EXPECT_EQ(tree_->currentItem(), Node("Zeta"));
  EXPECT_EQ(BoxEntries(), (QStringList{"Beta", "Zeta"}));
  EXPECT_EQ(box_->currentText(), "Zeta");
  EXPECT_EQ(Root().ISPs().FindByIP("10.1.1.1"), Root().ISPs().Find("Zeta"));
  const std::string file = SavedFile();
  EXPECT_NE(file.find("<Name>Zeta</Name>"), std::string::npos);
  EXPECT_EQ(file.find("<Name>Alpha</Name>"), std::string::npos);

  // Another ISP holds the name, whatever its case.
  name_->setText(QStringLiteral("beta"));
  Click("btnISPListSave");
  EXPECT_EQ(LastInfo(), "An ISP with this name does already exist, please change name");
  EXPECT_NE(Root().ISPs().Find("Zeta"), nullptr);
  EXPECT_EQ(Root().ISPs().GetCount(), 2);
  EXPECT_EQ(TopLevel(), (QStringList{"Beta", "Zeta"}));
}

TEST_F(ISPListGuiTest, DeletingARangeAsksNothingAndAnISPAsksFirst) {
  Select("Beta");
  tree_->setCurrentItem(Node("Beta")->child(0));
  Control<QAction>("actISPListRemove")->trigger();
  EXPECT_TRUE(dialogs_.asked.isEmpty());
  EXPECT_TRUE(FeedHas("The IP/IP range 9.1.1.1 was removed via GUI"));
  EXPECT_EQ(Children("Beta"), QStringList{});
  EXPECT_EQ(Root().ISPs().FindByIP("9.1.1.1"), nullptr);

  Select("Beta");
  dialogs_.answers = {TDialogs::TButton::No};
  Control<QAction>("actISPListRemove")->trigger();
  EXPECT_EQ(dialogs_.asked.back(), "Are you really sure you wish to delete this ISP?");
  EXPECT_NE(Root().ISPs().Find("Beta"), nullptr);

  dialogs_.answers = {TDialogs::TButton::Yes};
  Control<QAction>("actISPListRemove")->trigger();
  EXPECT_TRUE(FeedHas("The ISP Beta was removed via GUI"));
  EXPECT_EQ(Root().ISPs().Find("Beta"), nullptr);
  EXPECT_EQ(TopLevel(), QStringList{"Alpha"});
  EXPECT_EQ(BoxEntries(), QStringList{"Alpha"});
  EXPECT_EQ(page_->LoadedISP(), nullptr);
  EXPECT_TRUE(name_->text().isEmpty());
  EXPECT_EQ(SavedFile().find("<Name>Beta</Name>"), std::string::npos);
}

TEST_F(ISPListGuiTest, AddingRanges) {
  RangeAction("Beta", "195.54.111.*", "btnISPListAddIP");
  EXPECT_TRUE(FeedHas("The IP/IP range 195.54.111.* was added"));
  EXPECT_EQ(Children("Beta"), (QStringList{"195.54.111.*", "9.1.1.1"}));
  RangeAction("Beta", "195.54.111.*", "btnISPListAddIP");
  EXPECT_EQ(LastInfo(), "The IP/IP is already added, add failed");
  RangeAction("Beta", "195.54.110.*", "btnISPListAddIP");  // Alpha's
  EXPECT_EQ(LastInfo(), "The IP/IP is already added, add failed");
  RangeAction("Beta", "172.16.*.*", "btnISPListAddIP");
  EXPECT_EQ(Children("Beta"), (QStringList{"172.16.*", "195.54.111.*", "9.1.1.1"}));
  RangeAction("Beta", "1.2.3.256", "btnISPListAddIP");
  EXPECT_EQ(LastInfo(), "The IP/IP range you've supplied isn't a valid IP/IP range");
  const std::string file = SavedFile();
  EXPECT_NE(file.find("<IP>172.16.*</IP>"), std::string::npos);
  EXPECT_NE(file.find("<IP>195.54.111.*</IP>"), std::string::npos);
}

TEST_F(ISPListGuiTest, RemoveTakesOnlyAnExactlyStoredRange) {
  const QString notFound = QStringLiteral("The IP/IP range wasn't found, remove failed");
  const QStringList feedBefore = FeedLines();
  for (const QString& address : {QStringLiteral("10.1.2.3"), QStringLiteral("10.1.*"), QStringLiteral("99.9.9.9")}) {
    RangeAction("Alpha", address, "btnISPListRemoveIP");
    EXPECT_EQ(LastInfo(), notFound) << address.toStdString();
  }
  EXPECT_EQ(FeedLines(), feedBefore);
  EXPECT_EQ(Children("Alpha"), (QStringList{"10.*", "195.54.110.*"}));
  EXPECT_NE(Root().ISPs().FindByIP("10.1.2.3"), nullptr);

  RangeAction("Alpha", "195.54.110.*", "btnISPListRemoveIP");
  EXPECT_TRUE(FeedHas("The IP/IP range 195.54.110.* was removed via GUI"));
  EXPECT_EQ(Children("Alpha"), QStringList{"10.*"});
  RangeAction("Alpha", "1.2.3.999", "btnISPListRemoveIP");
  EXPECT_EQ(LastInfo(), "The IP/IP range you've supplied isn't a valid IP/IP range");
}

TEST_F(ISPListGuiTest, QuestionsBeforeEditsAreLost) {
  Select("Alpha");
  description_->setText(QStringLiteral("unsaved"));
  // Cancel: the selection goes back, the edits stay.
  dialogs_.answers = {TDialogs::TButton::Cancel};
  Select("Beta");
  EXPECT_EQ(dialogs_.asked.back(),
            "Changes has been made to loaded ISP, do you wish to \r\nsave those before loading another ISP?");
  EXPECT_EQ(tree_->currentItem(), Node("Alpha"));
  EXPECT_EQ(description_->text(), "unsaved");

  // The loaded ISP clicked again: reload? No keeps the edits.
  dialogs_.answers = {TDialogs::TButton::No};
  emit tree_->itemClicked(Node("Alpha"), 0);
  EXPECT_EQ(dialogs_.asked.back(), "Do you wish to reload the ISP?");
  EXPECT_EQ(description_->text(), "unsaved");

  // Yes saves before loading the other one.
  dialogs_.answers = {TDialogs::TButton::Yes};
  Select("Beta");
  EXPECT_EQ(Root().ISPs().Find("Alpha")->Description, "unsaved");
  EXPECT_EQ(page_->LoadedISP(), Root().ISPs().Find("Beta"));
  EXPECT_EQ(name_->text(), "Beta");
}

TEST_F(ISPListGuiTest, ARebuildFindsTheEditedISPByItsOwnName) {
  Select("Alpha");
  name_->setText(QStringLiteral("Beta"));  // typed, not saved
  ASSERT_TRUE(Root().ISPs().Load());        // a reload frees every ISP
  EXPECT_EQ(page_->LoadedISP(), Root().ISPs().Find("Alpha"));
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Beta"}));
}

TEST_F(ISPListGuiTest, AStoringFailureRebuildsTheTreeAndReportsItsPlace) {
  delete Node("Alpha");  // the tree lost the ISP the box still offers
  RangeAction("Alpha", "11.*", "btnISPListAddIP");
  EXPECT_TRUE(FeedHas("EGUIException")) << FeedLines().join("\n").toStdString();
  EXPECT_TRUE(FeedHas("GUI.ISPList.AddIP(ISP Alpha not found)"));
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Beta"}));
  EXPECT_EQ(Root().ISPs().FindByIP("11.0.0.1"), nullptr);
}

TEST_F(ISPListGuiTest, ListChangesAndCommandNewsReachTheTree) {
  TISP* added = Root().ISPs().Add("Delta");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Beta", "Delta"}));
  ASSERT_TRUE(Root().ISPs().AddIP(*added, "8.8.*"));
  EXPECT_EQ(Children("Delta"), QStringList{"8.8.*"});
  // What a command tells the window.
  delete Node("Delta")->takeChild(0);
  Root().PageRefresh().ISPRangeAdded("Delta", "8.8.*");
  EXPECT_EQ(Children("Delta"), QStringList{"8.8.*"});
  Root().PageRefresh().ISPRangeRemoved("Delta", "8.8.*");
  EXPECT_EQ(Children("Delta"), QStringList{});
  ASSERT_TRUE(Root().ISPs().Delete("Delta"));
  EXPECT_EQ(TopLevel(), (QStringList{"Alpha", "Beta"}));
  EXPECT_EQ(BoxEntries(), (QStringList{"Alpha", "Beta"}));
}

TEST_F(ISPListGuiTest, TheISPCheckSwitch) {
  auto* check = Control<QCheckBox>("chkISPListEnableISPCheck");
  EXPECT_FALSE(check->isChecked());
  check->setChecked(true);
  EXPECT_TRUE(Settings().UseISPCheck);
  // Changed elsewhere (the users page): right again when the page shows.
  Settings().UseISPCheck = false;
  QShowEvent shown;
  QCoreApplication::sendEvent(page_, &shown);
  EXPECT_FALSE(check->isChecked());
  EXPECT_FALSE(Settings().UseISPCheck);
}

}  // namespace
