// The language list of the General settings page: selecting, a failing
// file, and the work-pace names that follow the language.

#include <QComboBox>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "gui/settings_pages_fixture.h"
#include "settings/language_manager.h"

namespace {

class LanguageGuiTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    std::filesystem::create_directories(Folder());
    Write("english.xml", "English", "0 - Coma");
    Write("svenska.xml", "Svenska", "0 - Koma");
    Write("zulu.xml", "Zulu", "0 - Z");
  }
  std::string Folder() const { return home_.String() + "/language"; }
  void Write(const std::string& file, const std::string& name, const std::string& pace0) {
    std::ofstream(Folder() + "/" + file)
        << "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Language lang=\"x\" name=\"" << name
        << "\">\n  <GUI>\n    <cboSettingsWorkPace0>" << pace0
        << "</cboSettingsWorkPace0>\n  </GUI>\n</Language>\n";
  }
};

TEST_F(LanguageGuiTest, SelectingALanguageRenamesTheWorkPacesAndAFailureKeepsTheCurrent) {
  auto* list = Mine<QComboBox>(*gui_, "cboLanguage");
  auto* pace = Mine<QComboBox>(*gui_, "cboSettingsWorkPace");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->currentText(), QStringLiteral("English"));
  EXPECT_EQ(pace->itemText(0), QStringLiteral("0 - Coma"));
  const int selected = pace->currentIndex();

  list->setCurrentIndex(list->findText(QStringLiteral("Svenska")));
  EXPECT_EQ(Settings().Language, "Svenska");
  EXPECT_EQ(pace->itemText(0), QStringLiteral("0 - Koma"));
  EXPECT_EQ(pace->currentIndex(), selected);

  std::ofstream(Folder() + "/zulu.xml") << "<Language name=\"Zulu\"><broken";
  list->setCurrentIndex(list->findText(QStringLiteral("Zulu")));
  EXPECT_EQ(list->currentText(), QStringLiteral("Svenska"));
  EXPECT_EQ(Settings().Language, "Svenska");
  EXPECT_EQ(Root().LanguageManager().CurrentName(), "Svenska");
}

TEST_F(LanguageGuiTest, ReloadFindsNewFiles) {
  Write("deutsch.xml", "Deutsch", "0 - Koma");
  Mine<QPushButton>(*gui_, "btnLanguageReload")->click();
  auto* list = Mine<QComboBox>(*gui_, "cboLanguage");
  EXPECT_EQ(list->count(), 4);
  EXPECT_EQ(list->currentText(), QStringLiteral("English"));
}

}  // namespace
