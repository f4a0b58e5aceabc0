#include "settings/language_manager.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "settings/language.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"

namespace fs = std::filesystem;

// Found by argument lookup, so it must share TLangItem's namespace.
static void PrintTo(const TLangItem& item, std::ostream* out) {
  *out << "{" << item.Name << ", " << item.FileName << ", " << item.Lang << "}";
}

namespace {

using K = TLanguageKey;

// A language file holding one Protocol text.
std::string LanguageFile(std::string_view attributes, std::string_view hubTooBusy) {
  return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Language " +
         std::string(attributes) + "><Protocol><HubTooBusy>" + std::string(hubTooBusy) +
         "</HubTooBusy></Protocol></Language>";
}

// A temporary home per test; the process-wide home is put back afterwards.
class LanguageManagerTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProgramFolder();
    std::random_device seed;
    home_ = fs::temp_directory_path() / ("kavro-langman-" + std::to_string(seed()));
    fs::create_directories(home_);
    SetProgramFolder(home_.string());
  }
  void TearDown() override {
    manager_.reset();
    SetProgramFolder(saved_);
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }

  TLanguageManager& Manager() {
    if (!manager_) manager_ = std::make_unique<TLanguageManager>(language_);
    return *manager_;
  }

  fs::path Folder() const { return home_ / "language"; }
  void Write(const std::string& file, std::string_view bytes) const {
    fs::create_directories(Folder());
    std::ofstream out(Folder() / file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Read(const std::string& file) const {
    std::ifstream in(Folder() / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::vector<TLangItem> Listed() {
    std::vector<TLangItem> items;
    for (int i = 0; i < Manager().GetCount(); ++i) {
      items.push_back(Manager().GetItem(i));
      EXPECT_EQ(Manager().GetLanguageName(i), items.back().Name);
    }
    return items;
  }

  const std::string& HubTooBusy() const { return language_.Text(K::HubTooBusy); }

  std::string saved_;
  fs::path home_;
  TLanguage language_;
  std::unique_ptr<TLanguageManager> manager_;
};

TEST_F(LanguageManagerTest, CreatingMakesTheFolder) {
  Manager();
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_EQ(Manager().GetCount(), 0);
  EXPECT_EQ(Manager().CurrentFile(), "");
}

TEST_F(LanguageManagerTest, EmptyFolderGetsEnglishWithEveryDefault) {
  Manager().Rescan();
  EXPECT_EQ(Listed(), (std::vector<TLangItem>{{"English", "english.xml", "en"}}));

  TLanguage reread;
  reread.SetText(K::HubTooBusy, "not the default");
  TLanguageLoader loader(reread);
  ASSERT_TRUE(loader.Load("english.xml"));
  EXPECT_EQ(loader.Name(), "English");
  EXPECT_EQ(loader.Lang(), "en");
  for (const auto& info : LanguageKeys()) EXPECT_EQ(reread.Text(info.Key), info.DefaultText);
}

// An english.xml of the operator's own is listed but never replaced by the
// defaults, neither by the scan nor by the write at exit.
TEST_F(LanguageManagerTest, ExistingEnglishIsNotOverwritten) {
  const std::string own = std::string(600, ' ') + LanguageFile("name=\"English\"", "Mine");
  Write("english.xml", own);
  Manager().Rescan();
  EXPECT_EQ(Listed(), (std::vector<TLangItem>{{"English", "english.xml", "en"}}));
  EXPECT_EQ(Read("english.xml"), own);
  manager_.reset();
  EXPECT_EQ(Read("english.xml"), own);
}

TEST_F(LanguageManagerTest, NothingCurrentAtExitWritesEnglishWhenMissing) {
  Manager();
  manager_.reset();
  TLanguage reread;
  TLanguageLoader loader(reread);
  ASSERT_TRUE(loader.Load("english.xml"));
  EXPECT_EQ(loader.Name(), "English");
}

TEST_F(LanguageManagerTest, ScanListsFilesByDisplayName) {
  struct File {
    std::string name;
    std::string bytes;
  };
  // The closing quote of name="..." at byte index `at`.
  auto quoteAt = [](std::size_t at) {
    const std::string head = "<Language lang=\"xx\" name=\"";
    return head + std::string(at - head.size(), 'n') + "\"/>";
  };
  const TLangItem english{"English", "english.xml", "en"};
  struct Row {
    std::string what;
    std::vector<File> files;
    std::vector<TLangItem> expected;
  };
  const Row rows[] = {
      {"sorted by name, case-insensitively",
       {{"a.xml", LanguageFile("lang=\"sv\" name=\"Svenska\"", "x")},
        {"b.xml", LanguageFile("lang=\"de\" name=\"deutsch\"", "x")},
        {"c.xml", LanguageFile("name=\"English\" lang=\"en\"", "x")}},
       {{"deutsch", "b.xml", "de"}, {"English", "c.xml", "en"}, {"Svenska", "a.xml", "sv"}}},
      {"a duplicate name keeps the first file in bytewise order",
       {{"b.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "x")},
        {"B.xml", LanguageFile("lang=\"de-AT\" name=\"DEUTSCH\"", "x")},
        {"a.xml", LanguageFile("lang=\"de-CH\" name=\"Deutsch\"", "x")}},
       {{"DEUTSCH", "B.xml", "de-AT"}}},
      {"only .xml files, any case, and no folders",
       {{"a.txt", LanguageFile("name=\"Text\"", "x")},
        {"b.xml.bak", LanguageFile("name=\"Backup\"", "x")},
        {"c.XML", LanguageFile("name=\"Upper\"", "x")}},
       {{"Upper", "c.XML", ""}}},
      {"no name, an empty name or a lower-case root is skipped",
       {{"a.xml", LanguageFile("lang=\"de\"", "x")},
        {"b.xml", LanguageFile("lang=\"de\" name=\"\"", "x")},
        {"c.xml", "<language name=\"Lower\"/>"},
        {"d.xml", ""}},
       {english}},
      {"the name is taken as it stands",
       {{"a.xml", "<Language name=\"Fran\xE7" "ais &amp; co\" lang=\"fr\">"}},
       {{"Fran\xE7" "ais &amp; co", "a.xml", "fr"}}},
      {"only name=\" after the root counts",
       {{"a.xml", "<?xml name=\"Declared\"?><Language lang=\"it\" name=\"Italiano\"/>"}},
       {{"Italiano", "a.xml", "it"}}},
      {"the root after byte 512 is not seen",
       {{"a.xml", std::string(520, ' ') + "<Language name=\"Late\"/>"}},
       {english}},
      {"name=\" after byte 512 is not seen",
       {{"a.xml", "<Language lang=\"xx\"" + std::string(520, ' ') + "name=\"Late\"/>"}},
       {english}},
      {"a closing quote on the last scanned byte", {{"a.xml", quoteAt(511)}},
       {{std::string(511 - 26, 'n'), "a.xml", "xx"}}},
      {"a closing quote just past the scan", {{"a.xml", quoteAt(512)}}, {english}},
  };
  for (const auto& row : rows) {
    fs::remove_all(Folder());
    fs::create_directories(Folder() / "folder.xml");
    for (const auto& file : row.files) Write(file.name, file.bytes);
    TLanguage language;
    TLanguageManager manager(language);
    manager.Rescan();
    std::vector<TLangItem> listed;
    for (int i = 0; i < manager.GetCount(); ++i) listed.push_back(manager.GetItem(i));
    EXPECT_EQ(listed, row.expected) << row.what;
    EXPECT_EQ(manager.CurrentFile(), "") << row.what;
  }
}

TEST_F(LanguageManagerTest, RescanWithoutFolderKeepsTheList) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Manager().Rescan();
  fs::remove_all(Folder());
  Manager().Rescan();
  EXPECT_EQ(Listed(), (std::vector<TLangItem>{{"Deutsch", "de.xml", "de"}}));
}

TEST_F(LanguageManagerTest, SelectLanguage) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Write("sv.xml", LanguageFile("lang=\"sv\" name=\"Svenska\"", "full"));
  Manager().Rescan();

  // Not listed: false, and nothing changes.
  EXPECT_FALSE(Manager().SelectLanguage("Nederlands"));
  EXPECT_FALSE(Manager().SelectLanguage(""));
  EXPECT_EQ(Manager().CurrentFile(), "");
  EXPECT_EQ(Manager().CurrentName(), "");
  EXPECT_EQ(HubTooBusy(), LanguageKeyInfo(K::HubTooBusy).DefaultText);

  ASSERT_TRUE(Manager().SelectLanguage("DEUTSCH"));
  EXPECT_EQ(Manager().CurrentFile(), "de.xml");
  EXPECT_EQ(Manager().CurrentName(), "Deutsch");
  EXPECT_EQ(HubTooBusy(), "voll");
  EXPECT_EQ(Manager().Loader().Lang(), "de");

  EXPECT_FALSE(Manager().SelectLanguage("Nederlands"));
  EXPECT_EQ(Manager().CurrentName(), "Deutsch");
  EXPECT_EQ(HubTooBusy(), "voll");
}

TEST_F(LanguageManagerTest, MalformedFileFailsTheSelectionAndIsNeverWrittenBack) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  const std::string broken = "<Language lang=\"sv\" name=\"Svenska\"><Protocol><HubTooBusy>";
  Write("sv.xml", broken);
  Manager().Rescan();
  ASSERT_EQ(Manager().GetCount(), 2);
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));

  EXPECT_FALSE(Manager().SelectLanguage("Svenska"));
  EXPECT_EQ(Manager().CurrentFile(), "de.xml");
  EXPECT_EQ(HubTooBusy(), "voll");

  // The current file is broken while the hub runs: it is kept for repair.
  const std::string brokenGerman = "<Language lang=\"de\" name=\"Deutsch\"><OrDelimiter>";
  Write("de.xml", brokenGerman);
  Manager().Rescan();
  EXPECT_EQ(Manager().CurrentFile(), "de.xml");
  EXPECT_EQ(HubTooBusy(), "voll");
  EXPECT_FALSE(Manager().SaveLanguage());
  manager_.reset();
  EXPECT_EQ(Read("de.xml"), brokenGerman);
  EXPECT_EQ(Read("sv.xml"), broken);
}

TEST_F(LanguageManagerTest, ARepairedFileIsWrittenBackAgain) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Manager().Rescan();
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));
  Write("de.xml", "<Language lang=\"de\" name=\"Deutsch\"><OrDelimiter>");
  Manager().Rescan();
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "ganz voll"));
  Manager().Rescan();
  EXPECT_EQ(HubTooBusy(), "ganz voll");
  EXPECT_TRUE(Manager().SaveLanguage());
  EXPECT_NE(Read("de.xml").find("<cboSettingsWorkPace7>"), std::string::npos);
}

// At exit the current file gains every key, holding the text in use, under
// its own lang and name.
TEST_F(LanguageManagerTest, ExitWritesEveryKeyBackToTheCurrentFile) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll\xE4"));
  Manager().Rescan();
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));
  manager_.reset();

  TXMLDocument saved;
  ASSERT_TRUE(saved.LoadFromString(Read("de.xml")));
  EXPECT_EQ(saved.Root().GetAttribute("lang"), "de");
  EXPECT_EQ(saved.Root().GetAttribute("name"), "Deutsch");
  TLanguage reread;
  reread.SetText(K::UnkownCommand, "sentinel");
  TLanguageLoader loader(reread);
  ASSERT_TRUE(loader.Load("de.xml"));
  for (const auto& info : LanguageKeys()) {
    EXPECT_EQ(reread.Text(info.Key), language_.Text(info.Key)) << info.Name;
  }
  EXPECT_EQ(reread.Text(K::HubTooBusy), "voll\xE4");
}

TEST_F(LanguageManagerTest, ExplicitWriteBackRunsOnceAndReportsFailure) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Manager().Rescan();
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));
  fs::remove_all(Folder());
  std::ofstream(Folder()) << "in the way";
  EXPECT_THROW(Manager().WriteBack(), EKavroException);
  EXPECT_NO_THROW(manager_.reset());
}

TEST_F(LanguageManagerTest, RescanReloadsTheCurrentLanguage) {
  Write("a.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Write("b.xml", LanguageFile("lang=\"sv\" name=\"Svenska\"", "full"));
  Manager().Rescan();
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));

  // Edited in place: the new text is loaded.
  Write("a.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "sehr voll"));
  Manager().Rescan();
  EXPECT_EQ(Manager().CurrentFile(), "a.xml");
  EXPECT_EQ(HubTooBusy(), "sehr voll");

  // Moved to another file: the language follows its name.
  fs::rename(Folder() / "a.xml", Folder() / "c.xml");
  Write("a.xml", LanguageFile("lang=\"it\" name=\"Italiano\"", "pieno"));
  Manager().Rescan();
  EXPECT_EQ(Manager().CurrentFile(), "c.xml");
  EXPECT_EQ(Manager().CurrentName(), "Deutsch");
  EXPECT_EQ(HubTooBusy(), "sehr voll");

  // Gone: the first listed language becomes current.
  fs::remove(Folder() / "c.xml");
  Manager().Rescan();
  EXPECT_EQ(Manager().CurrentFile(), "a.xml");
  EXPECT_EQ(Manager().CurrentName(), "Italiano");
  EXPECT_EQ(HubTooBusy(), "pieno");
  manager_.reset();
  EXPECT_FALSE(fs::exists(Folder() / "c.xml"));
}

TEST_F(LanguageManagerTest, SelectingAVanishedFileKeepsTheTexts) {
  Write("de.xml", LanguageFile("lang=\"de\" name=\"Deutsch\"", "voll"));
  Manager().Rescan();
  fs::remove(Folder() / "de.xml");
  ASSERT_TRUE(Manager().SelectLanguage("Deutsch"));
  EXPECT_EQ(Manager().CurrentFile(), "de.xml");
  EXPECT_EQ(HubTooBusy(), LanguageKeyInfo(K::HubTooBusy).DefaultText);
}

TEST_F(LanguageManagerTest, SaveLanguageNeedsACurrentLanguage) {
  Manager().Rescan();
  EXPECT_FALSE(Manager().SaveLanguage());
  ASSERT_TRUE(Manager().SelectLanguage("English"));
  EXPECT_TRUE(Manager().SaveLanguage());
}

TEST_F(LanguageManagerTest, IndexOutOfRangeIsACheckedError) {
  Manager().Rescan();
  EXPECT_THROW(Manager().GetLanguageName(1), EAssertionFailed);
  EXPECT_THROW(Manager().GetLanguageName(-1), EAssertionFailed);
}

}  // namespace
