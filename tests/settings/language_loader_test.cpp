#include "settings/language_loader.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "settings/language.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"

namespace fs = std::filesystem;

namespace {

using K = TLanguageKey;

// A temporary home per test; the process-wide home is put back afterwards.
class LanguageLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProgramFolder();
    std::random_device seed;
    home_ = fs::temp_directory_path() / ("kavro-langload-" + std::to_string(seed()));
    fs::create_directories(home_ / "language");
    SetProgramFolder(home_.string());
  }
  void TearDown() override {
    SetProgramFolder(saved_);
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }

  void Write(const std::string& file, std::string_view bytes) const {
    std::ofstream out(home_ / "language" / file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Read(const std::string& file) const {
    std::ifstream in(home_ / "language" / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The keys whose text is not the English default.
  static std::vector<std::string_view> ChangedKeys(const TLanguage& language) {
    std::vector<std::string_view> changed;
    for (const auto& info : LanguageKeys()) {
      if (language.Text(info.Key) != info.DefaultText) changed.push_back(info.Name);
    }
    return changed;
  }

  std::string saved_;
  fs::path home_;
  TLanguage language_;
  TLanguageLoader loader_{language_};
};

constexpr std::string_view kGerman =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
    "<Language lang=\"de\" name=\"Deutsch\">\r\n"
    "  <Protocol>\r\n"
    "    <HubTooBusy>Der Hub ist voll</HubTooBusy>\r\n"
    "  </Protocol>\r\n"
    "</Language>";

TEST_F(LanguageLoaderTest, OtherLanguageWithOneKeyChangesOneTextAndSavesEveryKey) {
  Write("deutsch.xml", kGerman);
  ASSERT_TRUE(loader_.Load("deutsch.xml"));
  EXPECT_EQ(ChangedKeys(language_), std::vector<std::string_view>{"HubTooBusy"});
  EXPECT_EQ(language_.Text(K::HubTooBusy), "Der Hub ist voll");
  EXPECT_EQ(loader_.Lang(), "de");
  EXPECT_EQ(loader_.Name(), "Deutsch");

  ASSERT_TRUE(loader_.Save("deutsch.xml"));
  TXMLDocument saved;
  ASSERT_TRUE(saved.LoadFromString(Read("deutsch.xml")));
  const TXMLNode& root = saved.Root();
  EXPECT_EQ(root.Name, "Language");
  EXPECT_EQ(root.GetAttribute("lang"), "de");
  EXPECT_EQ(root.GetAttribute("name"), "Deutsch");

  // Root keys, then each section with its keys, all in file order.
  std::vector<std::string_view> written;
  std::size_t at = 0;
  const auto keys = LanguageKeys();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& child = *root.GetChild(i);
    if (child.GetChildCount() == 0) {
      ASSERT_LT(at, keys.size());
      EXPECT_EQ(child.Name, keys[at].Name);
      EXPECT_EQ(child.Text, language_.Text(keys[at].Key));
      ++at;
      continue;
    }
    ASSERT_LT(at, keys.size());
    ASSERT_TRUE(keys[at].Section.has_value());
    EXPECT_EQ(child.Name, LanguageSectionName(*keys[at].Section));
    for (int k = 0; k < child.GetChildCount(); ++k, ++at) {
      ASSERT_LT(at, keys.size());
      EXPECT_EQ(child.GetChild(k)->Name, keys[at].Name);
      EXPECT_EQ(child.GetChild(k)->Text, language_.Text(keys[at].Key));
    }
  }
  EXPECT_EQ(at, 889u);
}

TEST_F(LanguageLoaderTest, SavingToANewFileLabelsItEnglish) {
  Write("deutsch.xml", kGerman);
  ASSERT_TRUE(loader_.Load("deutsch.xml"));
  ASSERT_TRUE(loader_.Save("copy.xml"));
  EXPECT_EQ(loader_.Lang(), "en");
  EXPECT_EQ(loader_.Name(), "English");

  TXMLDocument saved;
  ASSERT_TRUE(saved.LoadFromString(Read("copy.xml")));
  EXPECT_EQ(saved.Root().GetAttribute("lang"), "en");
  EXPECT_EQ(saved.Root().GetAttribute("name"), "English");
  // The texts are the ones in use, whatever the label says.
  EXPECT_EQ(saved.Root().FindChild("Protocol")->FindChild("HubTooBusy")->Text,
            "Der Hub ist voll");
}

TEST_F(LanguageLoaderTest, SaveCreatesTheMissingFolder) {
  fs::remove_all(home_ / "language");
  ASSERT_TRUE(loader_.Save("english.xml"));
  EXPECT_TRUE(fs::is_regular_file(home_ / "language" / "english.xml"));
}

TEST_F(LanguageLoaderTest, RootElementAndAttributes) {
  struct Row {
    std::string_view text;
    std::string_view lang;
    std::string_view name;
    std::string_view hubTooBusy;
  };
  const std::string def(LanguageKeyInfo(K::HubTooBusy).DefaultText);
  const Row rows[] = {
      // Only the exact root name counts; another root loads nothing.
      {"<language lang=\"de\" name=\"Deutsch\"><Protocol><HubTooBusy>x</HubTooBusy>"
       "</Protocol></language>",
       "", "", def},
      {"<LANGUAGE><Protocol><HubTooBusy>x</HubTooBusy></Protocol></LANGUAGE>", "", "", def},
      {"<Language><Protocol><HubTooBusy>x</HubTooBusy></Protocol></Language>", "en", "English",
       "x"},
      {"<Language lang=\"\" name=\"\"/>", "", "", def},
      {"<Language LANG=\"sv\" Name=\"Svenska\"/>", "sv", "Svenska", def},
  };
  for (const auto& row : rows) {
    TLanguage language;
    TLanguageLoader loader(language);
    Write("x.xml", row.text);
    EXPECT_TRUE(loader.Load("x.xml")) << row.text;
    EXPECT_EQ(loader.Lang(), row.lang) << row.text;
    EXPECT_EQ(loader.Name(), row.name) << row.text;
    EXPECT_EQ(language.Text(K::HubTooBusy), row.hubTooBusy) << row.text;
  }
}

TEST_F(LanguageLoaderTest, WhichElementsReplaceTexts) {
  struct Row {
    std::string_view body;  // inside the root
    K key;
    std::string_view expected;
  };
  const Row rows[] = {
      {"<AndDelimiter>und</AndDelimiter>", K::AndDelimiter, "und"},
      {"<OrDelimiter>oder</OrDelimiter>", K::OrDelimiter, "oder"},
      // Keys belong to their own section only.
      {"<GUI><HubTooBusy>x</HubTooBusy></GUI>", K::HubTooBusy,
       LanguageKeyInfo(K::HubTooBusy).DefaultText},
      {"<Protocol><AndDelimiter>x</AndDelimiter></Protocol>", K::AndDelimiter, "and"},
      {"<HubTooBusy>x</HubTooBusy>", K::HubTooBusy, LanguageKeyInfo(K::HubTooBusy).DefaultText},
      // Element names are exact.
      {"<protocol><HubTooBusy>x</HubTooBusy></protocol>", K::HubTooBusy,
       LanguageKeyInfo(K::HubTooBusy).DefaultText},
      {"<Protocol><hubtoobusy>x</hubtoobusy></Protocol>", K::HubTooBusy,
       LanguageKeyInfo(K::HubTooBusy).DefaultText},
      // Present but empty sets an empty text.
      {"<Protocol><HubTooBusy></HubTooBusy></Protocol>", K::HubTooBusy, ""},
      {"<Protocol><HubTooBusy/></Protocol>", K::HubTooBusy, ""},
      // The later of two equal elements counts.
      {"<Protocol><HubTooBusy>a</HubTooBusy><HubTooBusy>b</HubTooBusy></Protocol>",
       K::HubTooBusy, "b"},
      {"<GUI><cboSettingsWorkPace0>a</cboSettingsWorkPace0></GUI>"
       "<GUI><cboSettingsWorkPace0>b</cboSettingsWorkPace0></GUI>",
       K::cboSettingsWorkPace0, "b"},
      {"<Unknown>x</Unknown><HubBot><UnkownCommand>?</UnkownCommand></HubBot>",
       K::UnkownCommand, "?"},
      {"<TextCommands><IncorrectParamterCount>%d!</IncorrectParamterCount></TextCommands>",
       K::IncorrectParamterCount, "%d!"},
  };
  for (const auto& row : rows) {
    TLanguage language;
    TLanguageLoader loader(language);
    Write("x.xml", "<Language>" + std::string(row.body) + "</Language>");
    ASSERT_TRUE(loader.Load("x.xml")) << row.body;
    EXPECT_EQ(language.Text(row.key), row.expected) << row.body;
  }
}

TEST_F(LanguageLoaderTest, AbsentKeysKeepTheTextOfTheEarlierLanguage) {
  Write("deutsch.xml", kGerman);
  Write("partial.xml", "<Language lang=\"xx\" name=\"Partial\"><OrDelimiter>oder</OrDelimiter>"
                       "</Language>");
  ASSERT_TRUE(loader_.Load("deutsch.xml"));
  ASSERT_TRUE(loader_.Load("partial.xml"));
  EXPECT_EQ(language_.Text(K::HubTooBusy), "Der Hub ist voll");
  EXPECT_EQ(language_.OrDelimiter(), "oder");
  EXPECT_EQ(loader_.Name(), "Partial");
}

TEST_F(LanguageLoaderTest, MissingFileIsFalseAndChangesNothing) {
  Write("deutsch.xml", kGerman);
  ASSERT_TRUE(loader_.Load("deutsch.xml"));
  EXPECT_FALSE(loader_.Load("absent.xml"));
  EXPECT_EQ(language_.Text(K::HubTooBusy), "Der Hub ist voll");
  EXPECT_EQ(loader_.Name(), "Deutsch");
}

TEST_F(LanguageLoaderTest, MalformedFileThrowsAndChangesNothing) {
  const std::string_view rows[] = {
      "",
      "   \r\n",
      "<Language lang=\"sv\" name=\"Svenska\"><Protocol><HubTooBusy>Full</HubTooBusy>",
      "<Language lang=\"sv\" name=\"Svenska\"><Protocol><HubTooBusy>Full</HubTooBusy>"
      "</Protocol></Language><Language/>",
      "<Language lang=\"sv\" name=\"Svenska\"><OrDelimiter>eller</OrDelimiter>"
      "<Protocol><HubTooBusy>Full</Protocol></Language>",
      "<Language lang=\"sv><OrDelimiter>eller</OrDelimiter></Language>",
      "<Language name=\"Svenska\"><OrDelimiter>eller</OrDelimiter></Language",
  };
  Write("deutsch.xml", kGerman);
  ASSERT_TRUE(loader_.Load("deutsch.xml"));
  const TLanguage before = language_;
  for (const std::string_view text : rows) {
    Write("bad.xml", text);
    EXPECT_THROW(loader_.Load("bad.xml"), EKavroException) << text;
    for (const auto& info : LanguageKeys()) {
      ASSERT_EQ(language_.Text(info.Key), before.Text(info.Key)) << text << " / " << info.Name;
    }
    EXPECT_EQ(loader_.Name(), "Deutsch") << text;
    EXPECT_EQ(loader_.Lang(), "de") << text;
  }
}

// Texts are 8-bit bytes: every byte above 0x7F, line breaks, tabs and the
// characters XML escapes come back exactly as they were saved.
TEST_F(LanguageLoaderTest, EightBitTextsSurviveSaveAndLoad) {
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high.push_back(static_cast<char>(b));
  const std::string texts[] = {
      high,
      "line one\r\nline two\r\n",
      "\ttab\t\t-\tend\t",
      "  leading and trailing spaces  ",
      "quotes \" and ' and <tags> & entities &amp; &#65; &lt;",
      "\r\n",
      "x\xA0y \xA7 \xA6 \xE9t\xE9",
  };
  const K keys[] = {K::HubTooBusy,     K::AndDelimiter, K::CommandHelpHelp, K::UnkownCommand,
                    K::cboSettingsWorkPace7, K::GUIFeed,  K::IncorrectParamterCount};
  static_assert(std::size(texts) == std::size(keys));
  for (std::size_t i = 0; i < std::size(keys); ++i) language_.SetText(keys[i], texts[i]);
  ASSERT_TRUE(loader_.Save("roundtrip.xml"));

  TLanguage reread;
  TLanguageLoader loader(reread);
  ASSERT_TRUE(loader.Load("roundtrip.xml"));
  for (const auto& info : LanguageKeys()) {
    EXPECT_EQ(reread.Text(info.Key), language_.Text(info.Key)) << info.Name;
  }
}

TEST_F(LanguageLoaderTest, EightBitAttributesSurviveSaveAndLoad) {
  Write("fr.xml", "<Language lang=\"fr\" name=\"Fran\xE7" "ais \xAB&amp;\xBB\"/>");
  ASSERT_TRUE(loader_.Load("fr.xml"));
  EXPECT_EQ(loader_.Name(), "Fran\xE7" "ais \xAB&\xBB");
  ASSERT_TRUE(loader_.Save("fr.xml"));
  EXPECT_NE(Read("fr.xml").find("name=\"Fran\xE7" "ais \xAB&amp;\xBB\""), std::string::npos);

  TLanguage reread;
  TLanguageLoader loader(reread);
  ASSERT_TRUE(loader.Load("fr.xml"));
  EXPECT_EQ(loader.Name(), loader_.Name());
  EXPECT_EQ(loader.Lang(), "fr");
}

TEST_F(LanguageLoaderTest, FileNamesStayInsideTheLanguageFolder) {
  Write("../escaped.xml", kGerman);
  const std::string rows[] = {"", ".", "..", "../escaped.xml", "sub/x.xml", "/etc/passwd",
                              std::string("a\0b.xml", 7)};
  for (const std::string& name : rows) {
    EXPECT_THROW(loader_.Load(name), EKavroException) << name;
    EXPECT_THROW(loader_.Save(name), EKavroException) << name;
  }
  EXPECT_EQ(ChangedKeys(language_), std::vector<std::string_view>{});
}

TEST_F(LanguageLoaderTest, UnwritableFileThrowsOnSave) {
  // The language folder is a plain file here, so nothing can be written.
  fs::remove_all(home_ / "language");
  std::ofstream(home_ / "language") << "in the way";
  EXPECT_THROW(loader_.Save("english.xml"), EKavroException);
}

}  // namespace
