// The main-chat scanner: each action, word bounds, expansion, the longest
// name, levels, time windows, overlaps and settings/mc_scanner.xml.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/mc_scanner.h"
#include "security/text_penalties.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"

namespace {

constexpr int H = 3600;

struct ActRow {
  int level = 10;
  int action = mcaReplaceWord;
  std::string replace = {};
  bool useTime = false;
  int start = 0;
  int stop = kLastSecondOfDay;
};

struct ItemRow {
  std::string name = {};
  std::vector<ActRow> acts;
  bool restrictStart = false;
  bool restrictStop = false;
  bool expandStart = false;
  bool expandStop = false;
  bool enable = true;
};

// The document without the layout's blanks between elements.
std::string Compact(std::string_view xml) {
  std::string out;
  bool between = false;
  for (const char c : xml) {
    if (c == '<') between = false;
    if (between && (c == ' ' || c == '\r' || c == '\n')) continue;
    out += c;
    if (c == '>') between = true;
  }
  return out;
}

class MCScannerTest : public SettingsHomeTest {
 protected:
  void Add(const ItemRow& row) { AddTo(scanner_, row); }
  static void AddTo(TMCScanner& scanner, const ItemRow& row) {
    TMCScannerItem* item = scanner.Add(row.name);
    ASSERT_NE(item, nullptr) << row.name;
    item->Enable = row.enable;
    item->RestrictStart = row.restrictStart;
    item->RestrictStop = row.restrictStop;
    item->ExpandStart = row.expandStart;
    item->ExpandStop = row.expandStop;
    for (const ActRow& a : row.acts) {
      auto action = std::make_unique<TMCScannerItemAction>();
      action->Level = a.level;
      action->Action = a.action;
      action->SetReplaceText(a.replace);
      action->UseTime = a.useTime;
      action->Start = a.start;
      action->Stop = a.stop;
      item->AddAction(std::move(action));
    }
  }

  TMCScanOutcome Scan(std::string& line, int level = 0, int time = 12 * H,
                      std::size_t offset = 0) {
    return scanner_.Scan(line, offset, "Joe", level, time);
  }

  TSettings settings_;
  TLanguage language_;
  TLunarize luna_;
  TKennylize kenny_;
  TMCScanner scanner_{settings_, language_, luna_, kenny_};
};

TEST_F(MCScannerTest, LinesAgainstItems) {
  struct Case {
    const char* what;
    std::vector<ItemRow> items;
    std::string line;
    int level;
    int time;
    bool pass;
    std::string text;  // the line after the scan
    std::string message = {};
    int action = -1;
    bool luna = false;
    bool kenny = false;
  };
  const ItemRow bounded{"bad", {{10, 0, "good"}}, true, true};
  const ItemRow expanding{"bad", {{10, 0, "***"}}, false, false, true, true};
  const std::vector<Case> cases = {
      {"replace word", {{"bad", {{10, 0, "good"}}}}, "a bad day", 0, 12 * H, true, "a good day"},
      {"nick filled in", {{"word", {{10, 0, "hi <nick>"}}}}, "xx word yy", 0, 12 * H, true,
       "xx hi Joe yy"},
      {"no replace text removes", {{"bad", {{10, 0, ""}}}}, "abadb", 0, 12 * H, true, "ab"},
      {"every hit replaced", {{"bad", {{10, 0, "bad!"}}}}, "bad bad", 0, 12 * H, true,
       "bad! bad!"},
      {"replace message", {{"bad", {{10, 3, "gone <nick>"}}}}, "a bad b", 0, 12 * H, true,
       "gone Joe"},
      {"lunarize message", {{"bad", {{10, 4}}}}, "a bad b", 0, 12 * H, true, "a bad b", "", -1,
       true},
      {"kennylize message", {{"bad", {{10, 5}}}}, "a bad b", 0, 12 * H, true, "a bad b", "", -1,
       false, true},
      {"skip", {{"bad", {{10, 6, "no|swearing"}}}}, "a bad b", 0, 12 * H, false, "a bad b",
       "no|swearing", 6},
      {"drop", {{"bad", {{10, 7}}}}, "a BAD b", 0, 12 * H, false, "a BAD b",
       "You've been dropped for saying: BAD", 7},
      {"kick", {{"bad", {{10, 8}}}}, "a bad b", 0, 12 * H, false, "a bad b",
       "You've been kicked for saying: bad", 8},
      // bounds
      {"bounded inside", {bounded}, "a bad day", 0, 12 * H, true, "a good day"},
      {"bounded alone", {bounded}, "bad", 0, 12 * H, true, "good"},
      {"bounded by punctuation", {bounded}, "x,bad.", 0, 12 * H, true, "x,good."},
      {"badge is no hit", {bounded}, "a badge", 0, 12 * H, true, "a badge"},
      {"abad is no hit", {bounded}, "abad x", 0, 12 * H, true, "abad x"},
      // expansion to the word's bounds, never past the line
      {"expand both", {expanding}, "a xbadx b", 0, 12 * H, true, "a *** b"},
      {"expand at edges", {expanding}, "verybadly", 0, 12 * H, true, "***"},
      {"no expansion", {{"bad", {{10, 0, "***"}}}}, "a xbadx b", 0, 12 * H, true, "a x***x b"},
      // the longest name hides shorter ones
      {"longest", {{"ab", {{10, 0, "[ab]"}}}, {"abc", {{10, 0, "[abc]"}}}}, "abcd", 0, 12 * H,
       true, "[abc]d"},
      {"disabled longest hides",
       {{"ab", {{10, 0, "[ab]"}}}, {"abc", {{10, 0, "[abc]"}}, false, false, false, false, false}},
       "abcd", 0, 12 * H, true, "abcd"},
      {"level-excluded longest hides", {{"ab", {{10, 0, "[ab]"}}}, {"abc", {{3, 0, "[abc]"}}}},
       "abcd", 5, 12 * H, true, "abcd"},
      // levels: the action's level must be above the writer's
      {"equal level untouched", {{"bad", {{5, 7}}}}, "bad", 5, 12 * H, true, "bad"},
      {"lower level hit", {{"bad", {{5, 7}}}}, "bad", 4, 12 * H, false, "bad",
       "You've been dropped for saying: bad", 7},
      {"last action first", {{"bad", {{10, 0, "A"}, {3, 0, "B"}}}}, "bad", 1, 12 * H, true, "B"},
      {"earlier action for higher", {{"bad", {{10, 0, "A"}, {3, 0, "B"}}}}, "bad", 5, 12 * H,
       true, "A"},
      // a window over midnight
      {"night 23:00", {{"bad", {{10, 6, "", true, 22 * H, 6 * H}}}}, "bad", 0, 23 * H, false,
       "bad", "", 6},
      {"night 05:00", {{"bad", {{10, 6, "", true, 22 * H, 6 * H}}}}, "bad", 0, 5 * H, false,
       "bad", "", 6},
      {"night 12:00", {{"bad", {{10, 6, "", true, 22 * H, 6 * H}}}}, "bad", 0, 12 * H, true,
       "bad"},
      {"day window edge", {{"bad", {{10, 6, "", true, 8 * H, 12 * H}}}}, "bad", 0, 12 * H, false,
       "bad", "", 6},
  };
  for (const Case& c : cases) {
    scanner_.Clear();
    for (const ItemRow& item : c.items) Add(item);
    std::string line = c.line;
    const TMCScanOutcome out = Scan(line, c.level, c.time);
    EXPECT_EQ(out.Pass, c.pass) << c.what;
    EXPECT_EQ(line, c.text) << c.what;
    EXPECT_EQ(out.Message, c.message) << c.what;
    EXPECT_EQ(out.Action, c.action) << c.what;
    EXPECT_EQ(out.Lunarize, c.luna) << c.what;
    EXPECT_EQ(out.Kennylize, c.kenny) << c.what;
  }
}

TEST_F(MCScannerTest, KickNamesTheWordInTheBanReason) {
  Add({"bad", {{10, 8}}});
  std::string line = "so Bad";
  EXPECT_EQ(Scan(line).BanReason, "Kicked for saying Bad");
}

TEST_F(MCScannerTest, OffsetIsTheLineStart) {
  Add({"bad", {{10, 0, "***"}}, false, false, true, false});
  std::string buffer = "Joexbad";  // no bound at the offset
  EXPECT_TRUE(Scan(buffer, 0, 12 * H, 3).Pass);
  EXPECT_EQ(buffer, "Joe***");
  scanner_.Clear();
  Add({"bad", {{10, 0, "***"}}, true, true});
  buffer = "Xbad";
  Scan(buffer, 0, 12 * H, 1);
  EXPECT_EQ(buffer, "X***");
}

TEST_F(MCScannerTest, WordPenaltiesUseTheTransforms) {
  Add({"sos", {{10, 1}}});
  Add({"kenny", {{10, 2}}});
  luna_.Seed(4);
  kenny_.Seed(4);
  TLunarize lunaTwin;
  lunaTwin.Seed(4);
  TKennylize kennyTwin;
  kennyTwin.Seed(4);
  std::string line = "x sos y kenny";
  EXPECT_TRUE(Scan(line).Pass);
  const std::string wordLuna = lunaTwin.LunarizeText("sos");
  EXPECT_EQ(line, "x " + wordLuna + " y " + kennyTwin.KennylizeText("kenny"));
}

TEST_F(MCScannerTest, WindowsOverlap) {
  struct Case {
    const char* what;
    std::vector<ActRow> held;
    bool useTime;
    int start;
    int stop;
    bool overlaps;
  } const cases[] = {
      {"untimed vs window", {{}}, true, 10 * H, 11 * H, true},
      {"untimed vs untimed", {{}}, false, 0, 0, true},
      {"night vs morning", {{10, 0, "", true, 22 * H, 6 * H}}, true, 5 * H, 7 * H, true},
      {"night vs day", {{10, 0, "", true, 22 * H, 6 * H}}, true, 7 * H, 21 * H, false},
      {"night vs late", {{10, 0, "", true, 22 * H, 6 * H}}, true, 23 * H, 23 * H + 1800, true},
      {"night vs untimed", {{10, 0, "", true, 22 * H, 6 * H}}, false, 0, 0, true},
      {"shared second", {{10, 0, "", true, 10 * H, 12 * H}}, true, 12 * H, 13 * H, true},
      {"next second", {{10, 0, "", true, 10 * H, 12 * H}}, true, 12 * H + 1, 13 * H, false},
      {"night around day", {{10, 0, "", true, 10 * H, 12 * H}}, true, 23 * H, 9 * H, false},
      {"night into day", {{10, 0, "", true, 10 * H, 12 * H}}, true, 23 * H, 10 * H, true},
      {"nothing held", {}, false, 0, 0, false},
  };
  for (const Case& c : cases) {
    scanner_.Clear();
    Add({"w", c.held});
    EXPECT_EQ(scanner_.Find("w")->Overlaps(c.useTime, c.start, c.stop), c.overlaps) << c.what;
  }
}

TEST_F(MCScannerTest, NamesAreKeysWithoutCase) {
  ASSERT_NE(scanner_.Add("Beta"), nullptr);
  ASSERT_NE(scanner_.Add("alpha"), nullptr);
  EXPECT_EQ(scanner_.Add("BETA"), nullptr);
  EXPECT_EQ(scanner_.Add(""), nullptr);
  EXPECT_EQ(scanner_.GetItem(0).Name, "alpha");
  TMCScannerItem& beta = *scanner_.Find("beta");
  EXPECT_FALSE(scanner_.Rename(beta, "Beta"));
  EXPECT_FALSE(scanner_.Rename(beta, "ALPHA"));
  EXPECT_TRUE(scanner_.Rename(beta, "BETA"));
  EXPECT_TRUE(scanner_.Rename(beta, "aaa"));
  EXPECT_EQ(scanner_.GetItem(0).Name, "aaa");
  EXPECT_EQ(scanner_.Find("beta"), nullptr);
  EXPECT_TRUE(scanner_.Delete("AAA"));
  EXPECT_FALSE(scanner_.Delete("aaa"));
  EXPECT_EQ(scanner_.GetCount(), 1);
}

TEST_F(MCScannerTest, FileRoundTrip) {
  EXPECT_FALSE(scanner_.Save());  // before the first load
  EXPECT_FALSE(scanner_.Load());  // no file yet
  Add({"zed", {{3, 6, "no|swearing", true, 22 * H, 6 * H}, {7, 0, "a", true, 7 * H, 8 * H}},
       true, false, true, false});
  Add({"abc", {{10, 8}}, false, true, false, true, false});
  ASSERT_TRUE(scanner_.Save());
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(TMCScanner::FilePath(), bytes));
  EXPECT_NE(bytes.find("<MainChatScanner version="), std::string::npos) << bytes;
  EXPECT_LT(bytes.find("abc"), bytes.find("zed"));
  EXPECT_NE(bytes.find("no|swearing"), std::string::npos);
  EXPECT_NE(bytes.find("22:00:00"), std::string::npos);
  EXPECT_NE(bytes.find("<RestrictStart>true</RestrictStart>"), std::string::npos);
  EXPECT_NE(Compact(bytes).find("<Actions><Action><Level>3</Level><Action>6</Action>"),
            std::string::npos)
      << bytes;

  ExpectSavedOwnerOnly(TMCScanner::FilePath(), [this] { return scanner_.Save(); });

  TMCScanner loaded{settings_, language_, luna_, kenny_};
  ASSERT_TRUE(loaded.Load());
  ASSERT_EQ(loaded.GetCount(), 2);
  const TMCScannerItem& zed = loaded.GetItem(1);
  EXPECT_EQ(zed.Name, "zed");
  EXPECT_TRUE(zed.RestrictStart && !zed.RestrictStop && zed.ExpandStart && !zed.ExpandStop);
  ASSERT_EQ(zed.GetActionCount(), 2);
  const TMCScannerItemAction& first = zed.GetAction(0);
  EXPECT_EQ(first.Level, 3);
  EXPECT_EQ(first.Action, 6);
  EXPECT_EQ(first.Replace, (std::vector<std::string>{"no", "swearing"}));
  EXPECT_TRUE(first.UseTime);
  EXPECT_EQ(first.Start, 22 * H);
  EXPECT_EQ(first.Stop, 6 * H);
  EXPECT_EQ(zed.GetAction(1).Start, 7 * H);
  const TMCScannerItem& abc = loaded.GetItem(0);
  EXPECT_FALSE(abc.Enable);
  EXPECT_TRUE(abc.RestrictStop && abc.ExpandStop);
  EXPECT_EQ(abc.GetAction(0).Action, 8);
}

TEST_F(MCScannerTest, LoadRefusesOverlapsAndDuplicates) {
  ASSERT_TRUE(WriteFileAtomic(
      TMCScanner::FilePath(),
      "<?xml version=\"1.0\"?><MainChatScanner version=\"1.0\">"
      "<Item><Name>bad</Name><Actions>"
      "<Action><Level>10</Level><Action>6</Action><Replace>x</Replace></Action>"
      "<Action><Level>5</Level><Action>7</Action><UseTime>true</UseTime>"
      "<Start>01:00:00</Start><Stop>02:00:00</Stop></Action>"
      "</Actions></Item>"
      "<Item><Name>BAD</Name></Item>"
      "<Item><Name>night</Name><Actions>"
      "<Action><Level>10</Level><Action>6</Action><UseTime>true</UseTime>"
      "<Start>22:00:00</Start><Stop>06:00:00</Stop></Action>"
      "<Action><Level>10</Level><Action>7</Action><UseTime>true</UseTime>"
      "<Start>12:00:00</Start><Stop>13:00:00</Stop></Action>"
      "<Action><Level>10</Level><Action>8</Action><UseTime>true</UseTime>"
      "<Start>05:59:59</Start><Stop>07:00:00</Stop></Action>"
      "</Actions></Item></MainChatScanner>"));
  ASSERT_TRUE(scanner_.Load());
  ASSERT_EQ(scanner_.GetCount(), 2);
  EXPECT_EQ(scanner_.Find("bad")->GetActionCount(), 1);
  EXPECT_EQ(scanner_.Find("night")->GetActionCount(), 2);
}

// A damaged file, or one of another root, is read not at all and kept for
// repair: a save would replace it by the items in memory.
TEST_F(MCScannerTest, DamagedFileOrOtherRootIsKeptForRepair) {
  Add({"keep", {{10, 6}}});
  for (const std::string file :
       {"<MainChatScanner><Item>",
        "<?xml version=\"1.0\"?><Other><Item><Name>x</Name></Item></Other>"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(WriteFileAtomic(TMCScanner::FilePath(), file));
    EXPECT_FALSE(scanner_.Load());
    EXPECT_FALSE(scanner_.Save());
    EXPECT_EQ(scanner_.GetCount(), 1);
    EXPECT_EQ(scanner_.Find("x"), nullptr);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(TMCScanner::FilePath(), bytes));
    EXPECT_EQ(bytes, file);
  }
  // Repaired by hand: loads, and saving works again.
  ASSERT_TRUE(WriteFileAtomic(TMCScanner::FilePath(),
                              "<?xml version=\"1.0\"?><MainChatScanner></MainChatScanner>"));
  EXPECT_TRUE(scanner_.Load());
  EXPECT_TRUE(scanner_.Save());
}

}  // namespace
