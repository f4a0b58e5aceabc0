#include "gui/lua_gui.h"

#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "gui/add_new_lua.h"
#include "gui/gui_fixture.h"
#include "gui/live_pages.h"
#include "platform/file_io.h"

namespace {

// One letter per byte: P plain, K keyword, G parenthesis, S string, C comment.
std::string Mask(std::string_view line) {
  std::string mask;
  for (const TLuaColour colour : ColourLuaLine(line)) mask += "PKGSC"[static_cast<int>(colour)];
  return mask;
}

TEST(ColourLuaLineTest, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"endless", "KKKPPPP"},
      {"end", "KKK"},
      {"if x then", "KKPPPKKKK"},
      {"elseif", "KKKKKK"},
      {"iffy", "KKPP"},
      {"function f(a)", "KKKKKKKKPPGPG"},
      {"x.end", "PPPPP"},
      {"(end)", "GKKKG"},
      {"s = \"end elseif\"", "PPPPSKKKSSSSSSSS"},
      {"-- if end", "CCCKKCKKK"},
      {"a--\"(\"", "PCCCCC"},
      {"\"a(b)\"c", "SSSSSSP"},
      {"\"open", "SSSSS"},
      {"x\tend", "PPKKK"},
      {"\"x\tend\"", "SSSSSSS"},
      {"", ""},
  };
  for (const auto& [line, mask] : cases) EXPECT_EQ(Mask(line), mask) << line;
}

TEST(ScriptBytesTest, KeepsTheScriptsLineBreaks) {
  EXPECT_EQ(ScriptBytes(QStringLiteral("a\nb\n"), "x\r\ny"), "a\r\nb\r\n");
  EXPECT_EQ(ScriptBytes(QStringLiteral("a\nb\n"), "x\ny"), "a\nb\n");
  EXPECT_EQ(ScriptBytes(QString(QChar(0x20AC)), ""), "\x80");
}

const std::string kLfScript = "-- caf\xE9 \x80\x81\x9D\nx = 1\nfunction OnTimer()\nend";
const std::string kCrLfScript = "y = 2\r\n-- \x9D\r\n\r\n";
// Mixed line breaks and a lone CR: what the editor cannot show as it is.
const std::string kMixedScript = "p = 1\r\nq = 2\nr = \"\r\"\r";

class LuaGuiTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    ASSERT_TRUE(WriteFileAtomic(Path("a.lua"), kLfScript));
    ASSERT_TRUE(WriteFileAtomic(Path("b.lua"), kCrLfScript));
    ASSERT_TRUE(WriteFileAtomic(Path("m.lua"), kMixedScript));
  }
  std::string Path(const std::string& name) const { return home_.String() + "/scripts/" + name; }
  std::string FileText(const std::string& name) const {
    std::string text;
    ReadFileBytes(Path(name), text);
    return text;
  }
  TTLuaGui& Page() { return gui_->LivePages().Lua(); }
  QTreeWidget* List() { return Control<QTreeWidget>("lvScripts"); }
  void Choose(const QString& name) {
    const auto rows = List()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    List()->setCurrentItem(rows.front());
  }
  void ClickSave() { QTest::mouseClick(Control<QPushButton>("btnScriptSave"), Qt::LeftButton); }
};

TEST_F(LuaGuiTest, ListsTheLoadedScriptsWithTheirMemory) {
  ASSERT_EQ(List()->topLevelItemCount(), 3);
  EXPECT_EQ(List()->topLevelItem(0)->text(0), "a.lua");
  Page().Refresh();
  EXPECT_GT(List()->topLevelItem(0)->text(1).toInt(), 0);
  // The scan timer's addition is listed too.
  ASSERT_TRUE(WriteFileAtomic(Path("c.lua"), "z = 3\n"));
  EXPECT_TRUE(SpinUntil([&] { return List()->topLevelItemCount() == 4; }));
}

TEST_F(LuaGuiTest, SelectFillsTheEditorAndCounts) {
  Choose("a.lua");
  EXPECT_EQ(Control<QLineEdit>("edtScriptName")->text(), "a.lua");
  QTextEdit* editor = Control<QTextEdit>("memScript");
  EXPECT_EQ(editor->toPlainText(), QString::fromUtf8("-- caf\u00E9 \u20AC\u0081\u009D\nx = 1\n"
                                                     "function OnTimer()\nend"));
  EXPECT_EQ(Page().LineCounter(), "4/0");
  QTextCursor cursor = editor->textCursor();
  cursor.movePosition(QTextCursor::Down);
  editor->setTextCursor(cursor);
  EXPECT_EQ(Page().LineCounter(), "4/2");
}

// Saving writes a new file over the old one (a crash leaves either), and an
// untouched script keeps every byte, whatever its line breaks.
TEST_F(LuaGuiTest, SavingUnchangedKeepsTheBytesAndReplacesTheFile) {
  for (const auto& [name, bytes] : {std::pair{"a.lua", kLfScript}, {"b.lua", kCrLfScript}, {"m.lua", kMixedScript}}) {
    struct stat before {};
    ASSERT_EQ(stat(Path(name).c_str(), &before), 0);
    Choose(name);
    ClickSave();
    EXPECT_EQ(FileText(name), bytes) << name;
    struct stat after {};
    ASSERT_EQ(stat(Path(name).c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << name;
  }
}

TEST_F(LuaGuiTest, SavingAnEditRunsTheScriptAgain) {
  Choose("b.lua");
  QTextEdit* editor = Control<QTextEdit>("memScript");
  editor->moveCursor(QTextCursor::Start);
  editor->insertPlainText(QStringLiteral("broken ( \n"));
  ClickSave();
  EXPECT_EQ(FileText("b.lua"), "broken ( \r\ny = 2\r\n-- \x9D\r\n\r\n");
  EXPECT_TRUE(FeedHas("Lua: :")) << FeedLines().join("\n").toStdString();
  EXPECT_EQ(List()->topLevelItemCount(), 3);  // a failed script stays listed
}

TEST_F(LuaGuiTest, FunctionButtonsInsertAtTheNextClick) {
  Choose("a.lua");
  QTest::mouseClick(Control<QToolButton>("btnLuaSendToAll"), Qt::LeftButton);
  QTextEdit* editor = Control<QTextEdit>("memScript");
  editor->moveCursor(QTextCursor::Start);
  QTest::mouseRelease(editor->viewport(), Qt::LeftButton);
  EXPECT_TRUE(editor->toPlainText().startsWith("core.SendToAll()\n"));
}

// The dialog, driven while it is modal.
void AddThroughDialog(TTLuaGui& page, const QString& typed, bool* closed) {
  QTimer::singleShot(0, [typed, closed] {
    auto* dialog = qobject_cast<TfrmAddNewLua*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->NameField()->setText(typed);
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    *closed = !dialog->isVisible();
    if (dialog->isVisible()) dialog->reject();
  });
  page.ShowAddDialog();
}

TEST_F(LuaGuiTest, AddCreatesAnEmptyScriptAndRefusesPathNames) {
  bool closed = false;
  AddThroughDialog(Page(), "new", &closed);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(FileExists(Path("new.lua")));
  EXPECT_EQ(FileText("new.lua"), "");
  EXPECT_TRUE(SpinUntil([&] { return !List()->findItems("new.lua", Qt::MatchExactly).empty(); }));

  for (const char* bad : {"../evil", "sub/x", "sub\\x", ".hidden", ""}) {
    dialogs_.informed.clear();
    closed = true;
    AddThroughDialog(Page(), QString::fromLatin1(bad), &closed);
    EXPECT_FALSE(closed) << bad;
    EXPECT_EQ(dialogs_.informed.size(), 1) << bad;
  }
  EXPECT_FALSE(FileExists(home_.String() + "/evil.lua"));
  EXPECT_FALSE(FileExists(Path(".hidden.lua")));

  // An existing script is left alone.
  closed = false;
  AddThroughDialog(Page(), "a", &closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(FileText("a.lua"), kLfScript);
}

// Each script's GraphicalUserInterface runs once at start-up, with the
// Lua page's panel.
class LuaGuiHookTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    ASSERT_TRUE(WriteFileAtomic(home_.String() + "/scripts/g.lua",
                                "function GraphicalUserInterface(p) print(\"panel \" .. "
                                "type(p)) end\n"));
  }
};

TEST_F(LuaGuiHookTest, ScriptsGetThePanel) {
  EXPECT_TRUE(FeedHas("panel userdata")) << FeedLines().join("\n").toStdString();
}

}  // namespace
