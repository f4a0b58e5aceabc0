#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include "core/commands/text_commands.h"
#include "core/settings_file_set.h"
#include "gui/list_page_helpers.h"
#include "gui/text_1252.h"

namespace {

class TTextCommandsPageTest : public TGuiTest {
 protected:
  TTextCommands& Commands() { return Root().TextCommands(); }
  QTreeWidget* List() { return Control<QTreeWidget>("lvTextCommands"); }
  QLineEdit* Name() { return Control<QLineEdit>("leTextCommandsName"); }
  QPlainTextEdit* Content() { return Control<QPlainTextEdit>("memTextCommandContent"); }
  QSpinBox* Spin(const char* name) { return Control<QSpinBox>(name); }
  QComboBox* Combo(const char* name) { return Control<QComboBox>(name); }
  void Click(const char* name) { Control<QPushButton>(name)->click(); }
  void SelectRow(const QString& name) {
    const auto rows = List()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << name.toStdString();
    List()->setCurrentItem(rows.front());
  }
  void ClearSelectionAndLoad(const QString& name) {
    List()->clearSelection();
    SelectRow(name);
  }
  QStringList Rows() {
    QStringList rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) rows << List()->topLevelItem(i)->text(0);
    return rows;
  }
  TTextCommand& Make(const std::string& name, const std::string& content) {
    TTextCommand* command = Commands().Add(name);
    command->Content = content;
    return *command;
  }
  // The list saved, read back as the file holds it.
  std::string SavedFile() {
    EXPECT_TRUE(Commands().Save());
    return ReadWholeFile(TTextCommands::FilePath());
  }
  int GuiLines() {
    Settle();
    return CountLines(FeedLines(), "via GUI");
  }
};

// Values the editor's ranges cannot hold and bytes the 1252 table must keep
// survive a show of every page and a save of every file.
TEST_F(TTextCommandsPageTest, ShowAndSaveAllKeepTheFileByteForByte) {
  TTextCommand& odd = Make("odd\x9D", "line\x80\r\nline\x81|$\r\n");
  odd.AccessMinLevel = 10;
  odd.AccessMaxLevel = 9;
  odd.MessageType = 4;
  Commands().SetSchedule(odd, 990);
  // Beyond what the editor's controls hold: shown, never saved.
  TTextCommand& range = Make("range", "r");
  range.EditLevel = 0;
  range.Parameters = 7;
  Commands().SetSchedule(range, 1000005);
  Make("plain", "x");
  gui_->ShowAllPages();
  const std::string before = SavedFile();
  gui_->ShowAllPages();
  SelectRow("range");
  // Shown as stored, "Save" finds no change and writes nothing.
  SelectRow(TextFromBytes("odd\x9D"));
  Click("btnTextCommandSave");
  Root().SettingsFiles().SaveAll(true);
  EXPECT_EQ(ReadWholeFile(TTextCommands::FilePath()), before);
  EXPECT_EQ(GuiLines(), 0);

  // One edit changes exactly its element.
  SelectRow("plain");
  Content()->setPlainText("y\nz");
  Click("btnTextCommandSave");
  Root().SettingsFiles().SaveAll(true);
  const std::size_t plain = before.find("<Name>plain</Name>");
  ASSERT_NE(plain, std::string::npos);
  EXPECT_EQ(Commands().Find("plain")->Content, "y\r\nz");
  std::string expected =
      before.substr(0, plain) + WithElement(before.substr(plain), "Content", "y&#13;&#10;z");
  EXPECT_EQ(ReadWholeFile(TTextCommands::FilePath()), expected);
}

TEST_F(TTextCommandsPageTest, AddSaveRenameSaveAsAndDelete) {
  Name()->setText("rules");
  Content()->setPlainText("be nice");
  EXPECT_FALSE(Control<QPushButton>("btnTextCommandSave")->isEnabled());
  Click("btnTextCommandSaveAs");
  ASSERT_NE(Commands().Find("rules"), nullptr);
  EXPECT_EQ(Commands().Find("rules")->Content, "be nice");
  Settle();
  EXPECT_TRUE(FeedHas("The text command rules has been added via GUI"));
  EXPECT_EQ(Rows(), QStringList{"rules"});

  // Unchanged: nothing is saved and no line is written.
  const int lines = GuiLines();
  Click("btnTextCommandSave");
  EXPECT_EQ(GuiLines(), lines);

  Name()->setText("rules2");
  Click("btnTextCommandSave");
  EXPECT_EQ(Commands().Find("rules"), nullptr);
  ASSERT_NE(Commands().Find("rules2"), nullptr);
  EXPECT_EQ(Rows(), QStringList{"rules2"});
  Settle();
  EXPECT_TRUE(FeedHas("The text command rules2 has been saved via GUI"));

  Make("other", "o");
  Name()->setText("other");
  Click("btnTextCommandSave");
  EXPECT_TRUE(dialogs_.informed.contains(
      "A text command with this name does already exist, please change name"));
  EXPECT_EQ(Commands().Find("other")->Content, "o");
  EXPECT_NE(Commands().Find("rules2"), nullptr);

  Name()->setText("copy");
  Click("btnTextCommandSaveAs");
  ASSERT_NE(Commands().Find("copy"), nullptr);
  EXPECT_NE(Commands().Find("rules2"), nullptr);
  EXPECT_EQ(Commands().Find("copy")->Content, "be nice");

  SelectRow("copy");
  dialogs_.answers = {TDialogs::TButton::Yes};
  Control<QAction>("actTextCommandsRemove")->trigger();
  EXPECT_TRUE(dialogs_.asked.contains("Are you really sure you wish to delete this text command?"));
  EXPECT_EQ(Commands().Find("copy"), nullptr);
  EXPECT_FALSE(Rows().contains("copy"));
  Settle();
  EXPECT_TRUE(FeedHas("The text command copy was removed via GUI"));
  Root().SettingsFiles().SaveAll(true);
  const std::string file = ReadWholeFile(TTextCommands::FilePath());
  EXPECT_EQ(file.find("<Name>copy</Name>"), std::string::npos);
  EXPECT_NE(file.find("<Name>rules2</Name>"), std::string::npos);
}

// A reload while the name box holds an unsaved rename keeps the editor on
// its own command: saving then tries the rename, never overwrites the
// command the typed name happens to match.
TEST_F(TTextCommandsPageTest, ReloadKeepsTheEditedCommandByItsOwnName) {
  Make("alpha", "a");
  Make("beta", "b");
  Commands().Save();
  gui_->ShowAllPages();
  SelectRow("alpha");
  Name()->setText("beta");
  Content()->setPlainText("edited");
  ASSERT_TRUE(Commands().Load());
  EXPECT_EQ(Rows(), (QStringList{"alpha", "beta"}));
  Click("btnTextCommandSave");
  EXPECT_EQ(Commands().Find("beta")->Content, "b");
  EXPECT_EQ(Commands().Find("alpha")->Content, "a");
  EXPECT_TRUE(dialogs_.informed.contains(
      "A text command with this name does already exist, please change name"));
}

// 10 means "schedule only" and stays above a maximum that cannot pass 9.
TEST_F(TTextCommandsPageTest, AccessLevelOrderHasNoCascade) {
  Name()->setText("timed");
  Spin("seTextCommandAccessMax")->setValue(5);
  Spin("seTextCommandAccessMin")->setValue(7);
  EXPECT_EQ(Spin("seTextCommandAccessMax")->value(), 7);
  Spin("seTextCommandAccessMax")->setValue(3);
  EXPECT_EQ(Spin("seTextCommandAccessMin")->value(), 3);
  Spin("seTextCommandAccessMin")->setValue(10);
  EXPECT_EQ(Spin("seTextCommandAccessMin")->value(), 10);
  EXPECT_EQ(Spin("seTextCommandAccessMax")->value(), 9);
  Click("btnTextCommandSaveAs");
  ASSERT_NE(Commands().Find("timed"), nullptr);
  EXPECT_EQ(Commands().Find("timed")->AccessMinLevel, 10);
  EXPECT_EQ(Commands().Find("timed")->AccessMaxLevel, 9);
  // Loading shows it as stored.
  ClearSelectionAndLoad("timed");
  EXPECT_EQ(Spin("seTextCommandAccessMin")->value(), 10);
  EXPECT_EQ(Spin("seTextCommandAccessMax")->value(), 9);
}

struct TEntryCase {
  int messageType;
  const char* typed;
  const char* expected;
};

TEST_F(TTextCommandsPageTest, DollarAndPipeRuleCoversTypingAndPaste) {
  const TEntryCase cases[] = {
      {0, "a$b|c", "a&#36;b&#124;c"},
      {4, "a$b|c", "a&#36;b|c"},
      {3, "a$b|c", "a$b|c"},
  };
  for (const TEntryCase& c : cases) {
    SCOPED_TRACE(c.messageType);
    Combo("cbTextCommandMessageType")->setCurrentIndex(c.messageType);
    Content()->clear();
    Content()->setFocus();
    QTest::keyClicks(Content(), c.typed);
    EXPECT_EQ(Content()->toPlainText(), c.expected);
    Content()->clear();
    QApplication::clipboard()->setText(c.typed);
    Content()->paste();
    EXPECT_EQ(Content()->toPlainText(), c.expected);
  }
  Combo("cbTextCommandMessageType")->setCurrentIndex(0);
  Content()->clear();
  Control<QAction>("actInsertNick")->trigger();
  EXPECT_EQ(Content()->toPlainText(), "<nick>");
}

struct TRawCase {
  const char* content;
  TDialogs::TButton answer;
  bool asked;
  const char* stored;
};

TEST_F(TTextCommandsPageTest, RawCommandPipeQuestion) {
  const TRawCase cases[] = {
      {"$Raw|", TDialogs::TButton::Yes, false, "$Raw|"},
      {" $Raw ", TDialogs::TButton::Yes, true, "$Raw|"},
      {"$Raw", TDialogs::TButton::No, true, "$Raw"},
  };
  int n = 0;
  for (const TRawCase& c : cases) {
    SCOPED_TRACE(c.content);
    dialogs_.asked.clear();
    dialogs_.answers = {c.answer};
    const QString name = QStringLiteral("raw%1").arg(n++);
    Name()->setText(name);
    Combo("cbTextCommandMessageType")->setCurrentIndex(3);
    Content()->setPlainText(c.content);
    Click("btnTextCommandSaveAs");
    EXPECT_EQ(dialogs_.asked.size(), c.asked ? 1 : 0);
    ASSERT_NE(Commands().Find(name.toStdString()), nullptr);
    EXPECT_EQ(Commands().Find(name.toStdString())->Content, c.stored);
    EXPECT_EQ(Content()->toPlainText(), c.stored);
  }
}

TEST_F(TTextCommandsPageTest, ScheduledCommandNeverKeepsParameters) {
  Name()->setText("news");
  Combo("cbTextCommandBroadcast")->setCurrentIndex(2);
  Combo("cbTextCommandParameters")->setCurrentIndex(2);
  Spin("seTextCommandSchedule")->setValue(60);
  Click("btnTextCommandSaveAs");
  ASSERT_NE(Commands().Find("news"), nullptr);
  EXPECT_EQ(Commands().Find("news")->Schedule(), 60);
  EXPECT_EQ(Commands().Find("news")->Parameters, 0);
  EXPECT_EQ(Combo("cbTextCommandParameters")->currentIndex(), 0);
}

TEST_F(TTextCommandsPageTest, SelectingAnotherRowAsksAboutUnsavedChanges) {
  Make("alpha", "a");
  Make("beta", "b");
  gui_->ShowAllPages();
  SelectRow("alpha");
  Content()->setPlainText("a2");
  dialogs_.answers = {TDialogs::TButton::No};
  SelectRow("beta");
  ASSERT_EQ(dialogs_.asked.size(), 1);
  EXPECT_EQ(dialogs_.asked.front(),
            "Changes has been made to loaded text command, do you wish to\r\nsave those before "
            "loading another text command?");
  EXPECT_EQ(Name()->text(), "beta");
  EXPECT_EQ(Commands().Find("alpha")->Content, "a");

  Content()->setPlainText("b2");
  dialogs_.answers = {TDialogs::TButton::Yes};
  SelectRow("alpha");
  EXPECT_EQ(Commands().Find("beta")->Content, "b2");
  EXPECT_EQ(Name()->text(), "beta");
}

TEST_F(TTextCommandsPageTest, CommandNewsReachTheRows) {
  Make("late", "l");
  Root().PageRefresh().TextCommandChanged("late");
  EXPECT_EQ(Rows(), QStringList{"late"});
  Commands().Delete("late");
  EXPECT_TRUE(Rows().isEmpty());
}

}  // namespace
