// The private-message and search scanner pages: one action per item, with
// its reason and level.

#include "gui/main_gui.h"
#include "scanner_pages_fixture.h"
#include "security/word_scanner.h"

namespace {

struct TWordPage {
  QString Area;
  std::string File;
  QStringList RowNames;     // the list's names of kinds 0..2
  QStringList EditorNames;  // the editor's
};

const TWordPage kWordPages[] = {
    {"PMScanner", "pm_scanner.xml", {"[Skip message]", "[Drop user]", "[Kick user]"},
     {"Skip message", "Drop user", "Kick user"}},
    {"SearchScanner", "search_scanner.xml", {"[Skip search]", "[Drop user]", "[Kick user]"},
     {"Filter whole search", "Drop user", "Kick user"}},
};

class WordScannerPages : public TScannerPagesTest {
 protected:
  WordScannerPages() {
    const std::string file = WordFile({{"k0", 10, true, true, true, 0, "line1\r\nline2\x80"},
                                       {"k1", 3, false, false, true, 1, ""},
                                       {"k2", 1, true, true, false, 2, ""}});
    files_["pm_scanner.xml"] = file;
    files_["search_scanner.xml"] = file;
  }
};

TEST_F(WordScannerPages, ActionNamesInTheListAndTheEditor) {
  for (const TWordPage& page : kWordPages) {
    SCOPED_TRACE(page.Area.toStdString());
    auto* lv = Control<TSortedListView>("lv" + page.Area);
    for (int kind = 0; kind < 3; ++kind) {
      const QString word = "k" + QString::number(kind);
      EXPECT_EQ(lv->FindItem(word)->text(2), page.RowNames[kind]);
      Select("lv" + page.Area, word);
      EXPECT_EQ(Control<QComboBox>("cb" + page.Area + "Action")->currentText(), page.EditorNames[kind]);
    }
    EXPECT_EQ(lv->FindItem("k0")->text(3), ".k0.");
    EXPECT_EQ(lv->FindItem("k1")->text(3), "k1.");
    EXPECT_EQ(lv->FindItem("k1")->text(0), " ");
    EXPECT_EQ(lv->FindItem("k2")->text(3), ".k2");
  }
}

TEST_F(WordScannerPages, ReasonMemoCrossesWindows1252AndLineBreaks) {
  for (const TWordPage& page : kWordPages) {
    SCOPED_TRACE(page.Area.toStdString());
    Select("lv" + page.Area, "k0");
    auto* reason = Control<QPlainTextEdit>("mem" + page.Area + "Reason");
    EXPECT_EQ(reason->toPlainText(), QString::fromUtf8("line1\nline2\u20AC"));
    EXPECT_EQ(Control<QSpinBox>("se" + page.Area + "Level")->value(), 10);
    reason->setPlainText(QString::fromUtf8("a\n\u0081b\u009D"));
    Control<QSpinBox>("se" + page.Area + "Level")->setValue(4);
    Control<QComboBox>("cb" + page.Area + "Action")->setCurrentIndex(2);
    Click("btn" + page.Area + "Save");
    EXPECT_TRUE(FeedHas("The scanner item k0 has been saved via GUI"));
    const std::string bytes = FileBytes(page.File);
    EXPECT_NE(bytes.find("<Name>k0</Name>\r\n    <Level>4</Level>"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<Action>2</Action>\r\n    <Reason>a&#13;&#10;\x81" "b\x9D</Reason>"), std::string::npos)
        << bytes;
    EXPECT_EQ(Control<TSortedListView>("lv" + page.Area)->FindItem("k0")->text(2), page.RowNames[2]);
  }
}

}  // namespace
