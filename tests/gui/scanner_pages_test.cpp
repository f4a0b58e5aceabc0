// The flow the three scanner pages share: add, save, rename, Save As,
// delete, storing failures, the scanners' views and the delimiter dialog.

#include <QApplication>
#include <QTimer>

#include "gui/controls/char_map_frame.h"
#include "gui/main_gui.h"
#include "gui/mc_scanner_gui.h"
#include "gui/pm_scanner_gui.h"
#include "gui/search_scanner_gui.h"
#include "gui/text_1252.h"
#include "gui/scanner_pages.h"
#include "scanner_pages_fixture.h"
#include "security/mc_scanner.h"
#include "security/word_scanner.h"

namespace {

struct TPage {
  QString Area;
  std::string File;
};

const TPage kPages[] = {{"MCScanner", "mc_scanner.xml"},
                        {"PMScanner", "pm_scanner.xml"},
                        {"SearchScanner", "search_scanner.xml"}};

class ScannerPages : public TScannerPagesTest {
 protected:
  ScannerPages() {
    files_["mc_scanner.xml"] = MCFile({{"held", true, false, false, false, false, {{10, 6, "x"}}},
                                       {"zed", true, false, false, false, false, {{5, 7, ""}}}});
    files_["pm_scanner.xml"] = WordFile({WordNamed("held"), WordNamed("zed")});
    files_["search_scanner.xml"] = WordFile({WordNamed("held"), WordNamed("zed")});
  }

  // The fixture file with "zed" switched off.
  std::string ZedDisabled(const QString& area) {
    if (area == "MCScanner")
      return MCFile({{"held", true, false, false, false, false, {{10, 6, "x"}}},
                     {"zed", false, false, false, false, false, {{5, 7, ""}}}});
    TWordItemRow zed = WordNamed("zed");
    zed.Enable = false;
    return WordFile({WordNamed("held"), zed});
  }

  // The words the page's scanner holds, in its order.
  QStringList ModelWords(const QString& area) {
    QStringList words;
    auto add = [&words](const std::string& name) { words.append(TextFromBytes(name)); };
    if (area == "MCScanner")
      for (int i = 0; i < Root().MCScanner().GetCount(); ++i) add(Root().MCScanner().GetItem(i).Name);
    if (area == "PMScanner")
      for (int i = 0; i < Root().PMScanner().GetCount(); ++i) add(Root().PMScanner().GetItem(i).Name);
    if (area == "SearchScanner")
      for (int i = 0; i < Root().SearchScanner().GetCount(); ++i) add(Root().SearchScanner().GetItem(i).Name);
    return words;
  }
};

TEST_F(ScannerPages, AddSaveRenameSaveAsDeleteThroughTheControls) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    const QString lv = "lv" + page.Area;
    const QString word = "edt" + page.Area + "Word";
    const QString save = "btn" + page.Area + "Save";
    const QString saveAs = "btn" + page.Area + "SaveAs";
    EXPECT_EQ(Words(lv), QStringList({"held", "zed"}));

    // Add: nothing loaded, so only "Save As" is on. The euro sign is byte
    // 0x80 in the file.
    Type(word, QString::fromUtf8("spam\u20AC"));
    EXPECT_FALSE(Control<QPushButton>(save)->isEnabled());
    ASSERT_TRUE(Control<QPushButton>(saveAs)->isEnabled());
    Click(saveAs);
    EXPECT_TRUE(FeedHas(QString::fromUtf8("The scanner item spam\u20AC has been added via GUI")));
    EXPECT_NE(FileBytes(page.File).find("<Name>spam\x80</Name>"), std::string::npos);
    EXPECT_EQ(Words(lv), QStringList({"held", QString::fromUtf8("spam\u20AC"), "zed"}));
    EXPECT_EQ(SelectedWord(lv), QString::fromUtf8("spam\u20AC"));

    // Saving what is loaded unchanged does nothing.
    const int lines = GuiLines();
    const std::string before = FileBytes(page.File);
    Click(save);
    EXPECT_EQ(GuiLines(), lines);
    EXPECT_EQ(FileBytes(page.File), before);

    // Rename.
    Type(word, "eggs");
    Click(save);
    EXPECT_TRUE(FeedHas("The scanner item eggs has been saved via GUI"));
    EXPECT_EQ(Words(lv), QStringList({"eggs", "held", "zed"}));
    EXPECT_EQ(FileBytes(page.File).find("spam"), std::string::npos);
    EXPECT_NE(FileBytes(page.File).find("<Name>eggs</Name>"), std::string::npos);

    // A rename onto another item's word, whatever its case, is refused.
    dialogs_.informed.clear();
    const std::string renamed = FileBytes(page.File);
    Type(word, "HELD");
    Click(save);
    EXPECT_EQ(dialogs_.informed,
              QStringList({"A scanner item with this search word does already exist, please change search word"}));
    EXPECT_EQ(Words(lv), QStringList({"eggs", "held", "zed"}));
    EXPECT_EQ(FileBytes(page.File), renamed);

    // Save As keeps the loaded item and adds one under the new word.
    Type(word, "ham");
    Click(saveAs);
    EXPECT_TRUE(FeedHas("The scanner item ham has been added via GUI"));
    EXPECT_EQ(Words(lv), QStringList({"eggs", "ham", "held", "zed"}));
    EXPECT_NE(FileBytes(page.File).find("<Name>eggs</Name>"), std::string::npos);
    EXPECT_NE(FileBytes(page.File).find("<Name>ham</Name>"), std::string::npos);

    // Delete asks; No keeps it, Yes removes it and selects the next row.
    Select(lv, "eggs");
    dialogs_.asked.clear();
    dialogs_.answers = {TDialogs::TButton::No};
    Trigger("mi" + page.Area + "Remove");
    EXPECT_EQ(dialogs_.asked, QStringList({"Are you really sure you wish to delete this scanner item?"}));
    EXPECT_EQ(Words(lv), QStringList({"eggs", "ham", "held", "zed"}));
    dialogs_.answers = {TDialogs::TButton::Yes};
    Trigger("mi" + page.Area + "Remove");
    EXPECT_TRUE(FeedHas("The scanner item eggs was removed via GUI"));
    EXPECT_EQ(Words(lv), QStringList({"ham", "held", "zed"}));
    EXPECT_EQ(ModelWords(page.Area), Words(lv));
    EXPECT_EQ(FileBytes(page.File).find("eggs"), std::string::npos);
    EXPECT_EQ(SelectedWord(lv), "ham");
    EXPECT_EQ(Control<QLineEdit>(word)->text(), "ham");  // the next row is loaded
    dialogs_.answers.clear();
  }
}

TEST_F(ScannerPages, EmptyWordIsRefusedWithItsMessage) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    dialogs_.informed.clear();
    Select("lv" + page.Area, "held");
    Type("edt" + page.Area + "Word", "");
    // The buttons are off for an empty word; the store refuses it anyway.
    EXPECT_FALSE(Control<QPushButton>("btn" + page.Area + "Save")->isEnabled());
    TScannerGuiBase* base = nullptr;
    if (page.Area == "MCScanner") base = &gui_->ScannerPages().MCScanner();
    if (page.Area == "PMScanner") base = &gui_->ScannerPages().PMScanner();
    if (page.Area == "SearchScanner") base = &gui_->ScannerPages().SearchScanner();
    EXPECT_FALSE(base->SaveItem(true));
    EXPECT_EQ(dialogs_.informed, QStringList({"Please supply something to search for"}));
  }
}

// A change of case alone is a change: "Save" renames.
TEST_F(ScannerPages, CaseOnlyRenameIsSaved) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    Select("lv" + page.Area, "held");
    Type("edt" + page.Area + "Word", "Held");
    Click("btn" + page.Area + "Save");
    EXPECT_EQ(Words("lv" + page.Area), QStringList({"Held", "zed"}));
    EXPECT_NE(FileBytes(page.File).find("<Name>Held</Name>"), std::string::npos);
  }
  EXPECT_EQ(GuiLines(), 3);
}

// A command or a reload may remove the item while the question is open:
// then nothing happens.
TEST_F(ScannerPages, ItemGoneDuringTheDeleteQuestionChangesNothing) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    Select("lv" + page.Area, "zed");
    dialogs_.WhileOpen = [this, &page] {
      if (page.Area == "MCScanner") Root().MCScanner().Delete("zed");
      if (page.Area == "PMScanner") Root().PMScanner().Delete("zed");
      if (page.Area == "SearchScanner") Root().SearchScanner().Delete("zed");
    };
    dialogs_.answers = {TDialogs::TButton::Yes};
    Trigger("mi" + page.Area + "Remove");
    dialogs_.WhileOpen = {};
    EXPECT_EQ(Words("lv" + page.Area), QStringList({"held"}));
    EXPECT_FALSE(FeedHas("was removed via GUI"));
  }
}

TEST_F(ScannerPages, ItemGoneDuringTheSaveQuestionIsNotStoredAgain) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    Select("lv" + page.Area, "held");
    Control<QCheckBox>("chk" + page.Area + "Enable")->setChecked(false);
    dialogs_.WhileOpen = [this, &page] {
      if (page.Area == "MCScanner") Root().MCScanner().Delete("held");
      if (page.Area == "PMScanner") Root().PMScanner().Delete("held");
      if (page.Area == "SearchScanner") Root().SearchScanner().Delete("held");
    };
    dialogs_.answers = {TDialogs::TButton::Yes};
    Select("lv" + page.Area, "zed");
    dialogs_.WhileOpen = {};
    EXPECT_EQ(ModelWords(page.Area), QStringList({"zed"}));
    EXPECT_EQ(GuiLines(), 0);
  }
}

TEST_F(ScannerPages, SwitchingItemsAsksAboutUnsavedChanges) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    const QString lv = "lv" + page.Area;
    const QString enable = "chk" + page.Area + "Enable";
    const int lines = GuiLines();
    Select(lv, "held");
    Control<QCheckBox>(enable)->setChecked(false);
    // No: the change is dropped, the chosen item loaded.
    dialogs_.asked.clear();
    dialogs_.answers = {TDialogs::TButton::No};
    Select(lv, "zed");
    EXPECT_EQ(dialogs_.asked,
              QStringList({"Changes has been made to loaded scanner item, do you wish to \r\nsave those before "
                           "loading another scanner item?"}));
    EXPECT_EQ(Control<QLineEdit>("edt" + page.Area + "Word")->text(), "zed");
    EXPECT_EQ(GuiLines(), lines);
    // Yes: the loaded item is saved and stays loaded.
    Control<QCheckBox>(enable)->setChecked(false);
    dialogs_.answers = {TDialogs::TButton::Yes};
    Select(lv, "held");
    EXPECT_TRUE(FeedHas("The scanner item zed has been saved via GUI"));
    EXPECT_EQ(Control<QLineEdit>("edt" + page.Area + "Word")->text(), "zed");
    EXPECT_EQ(SelectedWord(lv), "zed");
    EXPECT_EQ(FileBytes(page.File), ZedDisabled(page.Area));
    dialogs_.answers.clear();
  }
}

// The scanners tell the page: a deleted item leaves the list and the
// editor; a reload refills the list, keeping the loaded item by its own
// word, not the typed one.
TEST_F(ScannerPages, ScannerViewsRemoveAndRefresh) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    const QString lv = "lv" + page.Area;
    TScannerGuiBase* base = nullptr;
    std::function<bool(const char*)> remove;
    std::function<bool()> load;
    if (page.Area == "MCScanner") {
      base = &gui_->ScannerPages().MCScanner();
      remove = [this](const char* w) { return Root().MCScanner().Delete(w); };
      load = [this] { return Root().MCScanner().Load(); };
    } else if (page.Area == "PMScanner") {
      base = &gui_->ScannerPages().PMScanner();
      remove = [this](const char* w) { return Root().PMScanner().Delete(w); };
      load = [this] { return Root().PMScanner().Load(); };
    } else {
      base = &gui_->ScannerPages().SearchScanner();
      remove = [this](const char* w) { return Root().SearchScanner().Delete(w); };
      load = [this] { return Root().SearchScanner().Load(); };
    }
    // Reload with the word box holding another item's word.
    Select(lv, "held");
    Type("edt" + page.Area + "Word", "zed");
    const std::string file = page.Area == "MCScanner" ? MCFile({MCNamed("held"), MCNamed("new"), MCNamed("zed")})
                                                      : WordFile({WordNamed("held"), WordNamed("new"), WordNamed("zed")});
    ASSERT_TRUE(WriteFileAtomic(SettingsFile(page.File), file));
    ASSERT_TRUE(load());
    EXPECT_EQ(Words(lv), QStringList({"held", "new", "zed"}));
    EXPECT_EQ(SelectedWord(lv), "held");
    EXPECT_TRUE(base->HasLoadedItem());
    EXPECT_EQ(base->LoadedName(), "held");

    ASSERT_TRUE(remove("held"));
    EXPECT_EQ(Words(lv), QStringList({"new", "zed"}));
    EXPECT_FALSE(base->HasLoadedItem());
    EXPECT_FALSE(Control<QPushButton>("btn" + page.Area + "Save")->isEnabled());
  }
}

TEST_F(ScannerPages, WordDelimiterButtonOpensTheDialogOnTheSetting) {
  for (const TPage& page : kPages) {
    SCOPED_TRACE(page.Area.toStdString());
    const bool was = Settings().IsWordDelimiter('#');
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<TfrmCharMapDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Word delimiters");
      dialog->Frame()->Box('#')->click();
      dialog->ApplyButton()->click();
    });
    Click("btn" + page.Area + "WordDelimiters");
    EXPECT_NE(Settings().IsWordDelimiter('#'), was);
  }
}

}  // namespace
