// The private-message and search scanners: hits by bounds and levels, the
// search's extra bounds, and their files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/word_scanner.h"
#include "settings/settings.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"

namespace {

// The default delimiters without '$' and '|'.
std::string DelimitersWithoutDollarAndBar(const TSettings& settings) {
  std::string map = settings.WordDelimiters();
  map['$'] = '0';
  map['|'] = '0';
  return map;
}

class WordScannerTest : public SettingsHomeTest {
 protected:
  void SetUp() override {
    SettingsHomeTest::SetUp();
    settings_.SetWordDelimiters(DelimitersWithoutDollarAndBar(settings_));
  }
  TSettings settings_;
  TPMScanner pm_{settings_};
  TSearchScanner search_{settings_};
};

TEST_F(WordScannerTest, Hits) {
  struct Case {
    const char* what;
    TWordScannerItem item;
    std::string text;
    int level;
    bool pmHit;
    bool searchHit;
  };
  const TWordScannerItem bounded{"", "", true, 10, true, true, wsaSkip};
  const std::vector<Case> cases = {
      {"plain", {"", "", true, 10, false, false, wsaSkip}, "a spam b", 0, true, true},
      {"inside a word", {"", "", true, 10, false, false, wsaSkip}, "xspamx", 0, true, true},
      {"bounded inside a word", bounded, "xspamx", 0, false, false},
      {"bounded by blanks", bounded, "a spam b", 0, true, true},
      {"bounded at the edges", bounded, "spam", 0, true, true},
      {"dollar bounds a search only", bounded, "foo$spam", 0, false, true},
      {"bar bounds a search only", bounded, "spam|x", 0, false, true},
      {"level 10 takes 9", {"", "", true, 10, false, false, wsaSkip}, "spam", 9, true, true},
      {"level 1 spares 1", {"", "", true, 1, false, false, wsaSkip}, "spam", 1, false, false},
      {"level 1 takes 0", {"", "", true, 1, false, false, wsaSkip}, "spam", 0, true, true},
      {"disabled", {"", "", false, 10, false, false, wsaSkip}, "spam", 0, false, false},
      {"unknown action walks on", {"", "", true, 10, false, false, 7}, "spam spam", 0, false,
       false},
      {"case blind", {"", "", true, 10, false, false, wsaDrop}, "SPAM", 0, true, true},
  };
  for (const Case& c : cases) {
    pm_.Clear();
    search_.Clear();
    ASSERT_NE(pm_.Add("spam", TPMScannerItem{c.item}), nullptr);
    ASSERT_NE(search_.Add("spam", TSearchScannerItem{c.item}), nullptr);
    EXPECT_EQ(pm_.Scan(c.text, c.level) != nullptr, c.pmHit) << c.what;
    EXPECT_EQ(search_.Scan(c.text, c.level) != nullptr, c.searchHit) << c.what;
  }
}

TEST_F(WordScannerTest, LongestNameWins) {
  pm_.Add("ab", TPMScannerItem{{"", "short", true, 10, false, false, wsaSkip}});
  pm_.Add("abc", TPMScannerItem{{"", "long", true, 10, false, false, wsaSkip}});
  const TPMScannerItem* hit = pm_.Scan("xabcd", 0);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->Reason, "long");
}

TEST_F(WordScannerTest, FilesRoundTripWithTheSharedRoot) {
  EXPECT_FALSE(search_.Save());
  EXPECT_FALSE(search_.Load());
  EXPECT_FALSE(pm_.Load());
  search_.Add("warez", TSearchScannerItem{{"", "No spam|ads", true, 3, true, false, wsaKick}});
  search_.Add("abc", TSearchScannerItem{{"", "", false, 10, false, true, wsaDrop}});
  ASSERT_TRUE(search_.Save());
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(TSearchScanner::FilePath(), bytes));
  EXPECT_NE(bytes.find("<PrivateMessageScanner version="), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("No spam|ads"), std::string::npos);
  EXPECT_LT(bytes.find("abc"), bytes.find("warez"));
  EXPECT_NE(TSearchScanner::FilePath(), TPMScanner::FilePath());

  ExpectSavedOwnerOnly(TSearchScanner::FilePath(), [this] { return search_.Save(); });
  ExpectSavedOwnerOnly(TPMScanner::FilePath(), [this] { return pm_.Save(); });

  TSearchScanner loaded{settings_};
  ASSERT_TRUE(loaded.Load());
  ASSERT_EQ(loaded.GetCount(), 2);
  const TSearchScannerItem& warez = loaded.GetItem(1);
  EXPECT_EQ(warez.Name, "warez");
  EXPECT_EQ(warez.Reason, "No spam|ads");
  EXPECT_EQ(warez.Level, 3);
  EXPECT_TRUE(warez.Enable && warez.RestrictStart && !warez.RestrictStop);
  EXPECT_EQ(warez.Action, wsaKick);
  const TSearchScannerItem& abc = loaded.GetItem(0);
  EXPECT_FALSE(abc.Enable);
  EXPECT_TRUE(abc.RestrictStop);
  EXPECT_EQ(abc.Action, wsaDrop);

  // The private-message file reads the same layout.
  ASSERT_TRUE(WriteFileAtomic(TPMScanner::FilePath(), bytes));
  ASSERT_TRUE(pm_.Load());
  EXPECT_EQ(pm_.GetCount(), 2);
}

TEST_F(WordScannerTest, LoadRules) {
  EXPECT_FALSE(pm_.Load());
  pm_.Add("keep");
  ASSERT_TRUE(WriteFileAtomic(TPMScanner::FilePath(), "<PrivateMessageScanner><Item>"));
  EXPECT_FALSE(pm_.Load());
  EXPECT_FALSE(pm_.Save());  // the damaged file is kept for repair
  // Another root: nothing read, and kept for repair like a damaged file.
  const std::string otherRoot =
      "<?xml version=\"1.0\"?><SearchScanner><Item><Name>x</Name></Item></SearchScanner>";
  ASSERT_TRUE(WriteFileAtomic(TPMScanner::FilePath(), otherRoot));
  EXPECT_FALSE(pm_.Load());
  EXPECT_NE(pm_.Find("keep"), nullptr);
  EXPECT_EQ(pm_.Find("x"), nullptr);
  EXPECT_FALSE(pm_.Save());
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(TPMScanner::FilePath(), bytes));
  EXPECT_EQ(bytes, otherRoot);
  ASSERT_TRUE(WriteFileAtomic(TPMScanner::FilePath(),
                              "<?xml version=\"1.0\"?><PrivateMessageScanner version=\"1\">"
                              "<Item><Name>a</Name><Reason>first</Reason></Item>"
                              "<Item><Name>A</Name><Reason>second</Reason></Item>"
                              "<Item><Name></Name></Item></PrivateMessageScanner>"));
  EXPECT_TRUE(pm_.Load());
  ASSERT_EQ(pm_.GetCount(), 1);
  EXPECT_EQ(pm_.GetItem(0).Reason, "first");
  EXPECT_EQ(pm_.FileVersion(), "1");
}

}  // namespace
