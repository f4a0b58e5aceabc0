#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "core/program_lifecycle.h"
#include "gui/frm_convert.h"
#include "gui/list_page_helpers.h"
#include "gui/list_pages.h"
#include "security/accounts.h"
#include "security/profiles.h"

namespace {

class TConvertDialogTest : public TGuiTest {
 protected:
  // Murn's saves as a Windows machine names them.
  std::string MurnFolder() {
    const std::string folder = home_.String() + "/murn";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/PROFILES.XML")
        << "<Profiles><P><Key>Murnies</Key><AccountLevel>1</AccountLevel></P></Profiles>";
    std::ofstream(folder + "/Accounts.Xml")
        << "<Accounts><A><Profile>Murnies</Profile><Nick>alice</Nick>"
           "<Password>pw</Password></A></Accounts>";
    return folder;
  }
};

TEST_F(TConvertDialogTest, StopsTheHubFindsUpperCaseFilesAndImportsThem) {
  const std::string folder = MurnFolder();
  StartHub();
  ASSERT_TRUE(gui_->Lifecycle().HubRunning());
  bool shown = false;
  gui_->ListPages().SetConvertRunner([&](TfrmConvert& dialog) {
    shown = true;
    EXPECT_FALSE(gui_->Lifecycle().HubRunning());
    dialog.SetFolderPicker([&](const QString& title, const QString&) {
      EXPECT_EQ(title, "Browsing for Murn saves folder");
      return QString::fromStdString(folder);
    });
    dialog.findChild<QPushButton*>("btnConvertBrowse")->click();
    auto* list = dialog.findChild<QListWidget*>("clbConvertItems");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Profiles");
    EXPECT_EQ(list->item(1)->text(), "Accounts");
    dialogs_.answers = {TDialogs::TButton::Yes};
    dialog.findChild<QPushButton*>("btnConvert")->click();
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("memConvertActions")->toPlainText(),
              "Successfully converted profiles\nSuccessfully converted accounts");
  });
  dialogs_.answers = {TDialogs::TButton::Yes};
  gui_->ConvertFromMurn();
  ASSERT_TRUE(shown);
  ASSERT_EQ(dialogs_.asked.size(), 2);
  EXPECT_EQ(dialogs_.asked[0],
            "You're not allowed to convert settings while running the hub.\r\n\r\nDo you wish to "
            "stop the hub?");
  EXPECT_TRUE(dialogs_.asked[1].startsWith("Converting these selected items will overwrite"));
  EXPECT_TRUE(dialogs_.informed.contains("Converting finished."));
  EXPECT_NE(Root().Profiles().Find("Murnies"), nullptr);
  EXPECT_NE(Root().Accounts().Find("alice"), nullptr);
}

TEST_F(TConvertDialogTest, NoKeepsTheHubRunningAndShowsNothing) {
  StartHub();
  bool shown = false;
  gui_->ListPages().SetConvertRunner([&](TfrmConvert&) { shown = true; });
  dialogs_.answers = {TDialogs::TButton::No};
  gui_->ConvertFromMurn();
  EXPECT_FALSE(shown);
  EXPECT_TRUE(gui_->Lifecycle().HubRunning());
}

}  // namespace
