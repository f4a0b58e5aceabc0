// The ISP list in memory: names, ranges and the longest-range lookup, range
// removal by address, the names text, and when the users are refreshed.
#include "security/isp_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/language.h"
#include "utils/string_list.h"

namespace {

class ISPListTest : public testing::Test {
 protected:
  ISPListTest() {
    isps_.SetUsersRefresh([this] { ++refreshes_; });
  }

  // Adds ISPs named by `names`, each with the ranges after its name.
  void Fill(const std::vector<std::vector<std::string>>& entries) {
    for (const auto& entry : entries) {
      TISP* isp = isps_.Add(entry[0]);
      ASSERT_NE(isp, nullptr) << entry[0];
      for (std::size_t i = 1; i < entry.size(); ++i)
        ASSERT_TRUE(isps_.AddIP(*isp, entry[i])) << entry[i];
    }
  }

  std::string OwnerOf(std::string_view address) const {
    const TISP* isp = isps_.FindByIP(address);
    return isp == nullptr ? "-" : isp->Name;
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < isps_.GetCount(); ++i) names.push_back(isps_.GetItem(i).Name);
    return names;
  }

  TLanguage language_;
  TISPList isps_{language_};
  int refreshes_ = 0;
};

TEST_F(ISPListTest, FindByIPTakesTheLongestCoveringRange) {
  Fill({{"Wide", "10.*"}, {"Narrow", "10.1.2.*"}, {"Host", "1.2.3.4"}, {"Mid", "10.1.3.*"}});
  const struct {
    const char* address;
    const char* owner;
  } cases[] = {
      {"10.1.2.3", "Narrow"},  {"10.9.9.9", "Wide"},   {"10.1.3.200", "Mid"},
      {"10.1.4.1", "Wide"},    {"1.2.3.4", "Host"},    {"1.2.3.5", "-"},
      {"11.0.0.1", "-"},       {"10.1.2.*", "Narrow"}, {"10.1.*", "Wide"},
      {"10.*", "Wide"},        {"*", "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(OwnerOf(c.address), c.owner) << c.address;

  ASSERT_TRUE(isps_.AddIPByName("host", "*"));  // names ignore case
  EXPECT_EQ(OwnerOf("11.0.0.1"), "Host");
  EXPECT_EQ(OwnerOf("10.1.2.3"), "Narrow");
}

TEST_F(ISPListTest, ARangeBelongsToOneISP) {
  Fill({{"A", "10.0.*"}, {"B"}});
  TISP& b = *isps_.Find("b");
  EXPECT_FALSE(isps_.AddIP(b, "10.0.*")) << "held by A";
  EXPECT_FALSE(isps_.AddIP(b, "10.0.*.*")) << "the same range, written longer";
  EXPECT_FALSE(isps_.AddIP(b, "10.0.0.256"));
  EXPECT_FALSE(isps_.AddIP(b, "ten.*"));
  EXPECT_FALSE(isps_.AddIPByName("C", "11.*")) << "no such ISP";
  TISP stranger;
  stranger.Name = "B";
  EXPECT_FALSE(isps_.AddIP(stranger, "12.*")) << "not an ISP of this list";
  EXPECT_TRUE(isps_.AddIP(b, "10.0.0.*"));
  EXPECT_EQ(OwnerOf("10.0.0.1"), "B");
  EXPECT_EQ(isps_.RangeCount(), 2);
}

// A range is removed by an address or range it covers: exactly the range
// FindByIP names, reported back; nothing else moves.
TEST_F(ISPListTest, DeleteIPRemovesTheRangeFindByIPGives) {
  const struct {
    const char* text;
    bool removed;
    const char* mask;
    const char* owner10_1_2_9;  // afterwards
    const char* owner10_1_5_5;
  } cases[] = {
      {"10.1.5.5", true, "10.*", "B", "-"},
      {"10.1.2.9", true, "10.1.2.*", "A", "A"},
      {"10.1.2.*", true, "10.1.2.*", "A", "A"},
      {"10.1.*", true, "10.*", "B", "-"},
      {"10.1.2.*.*", true, "10.1.2.*", "A", "A"},
      {"11.0.0.1", false, "", "B", "A"},
      {"*", false, "", "B", "A"},  // "*" is not held; it covers nothing held
      {"10.1.2.300", false, "", "B", "A"},
      {"junk", false, "", "B", "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    isps_.Clear();
    Fill({{"A", "10.*"}, {"B", "10.1.2.*"}});
    std::string mask = "untouched";
    EXPECT_EQ(isps_.DeleteIP(c.text, &mask), c.removed);
    EXPECT_EQ(mask, c.removed ? c.mask : "untouched");
    EXPECT_EQ(isps_.RangeCount(), c.removed ? 1 : 2);
    EXPECT_EQ(OwnerOf("10.1.2.9"), c.owner10_1_2_9);
    EXPECT_EQ(OwnerOf("10.1.5.5"), c.owner10_1_5_5);
  }
}

TEST_F(ISPListTest, DeleteIPNeverTakesACatchAllForJunk) {
  Fill({{"All", "*"}});
  EXPECT_FALSE(isps_.DeleteIP("junk"));
  EXPECT_EQ(OwnerOf("1.2.3.4"), "All");
  std::string mask;
  EXPECT_TRUE(isps_.DeleteIP("1.2.3.4", &mask));
  EXPECT_EQ(mask, "*");
  EXPECT_EQ(isps_.RangeCount(), 0);
}

TEST_F(ISPListTest, NamesAreKeysWithoutCase) {
  ASSERT_NE(isps_.Add("beta"), nullptr);
  ASSERT_NE(isps_.Add("Alpha"), nullptr);
  EXPECT_EQ(isps_.Add("ALPHA"), nullptr);
  EXPECT_EQ(isps_.Add(""), nullptr);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alpha", "beta"}));
  EXPECT_EQ(isps_.Find("BETA"), &isps_.GetItem(1));
  EXPECT_EQ(isps_.Find("gamma"), nullptr);

  TISP& alpha = *isps_.Find("alpha");
  EXPECT_FALSE(isps_.Rename(alpha, "Alpha")) << "the very same name";
  EXPECT_FALSE(isps_.Rename(alpha, "BETA")) << "held by another";
  EXPECT_FALSE(isps_.Rename(alpha, ""));
  EXPECT_TRUE(isps_.Rename(alpha, "ALPHA")) << "its own name in other letters";
  EXPECT_TRUE(isps_.Rename(alpha, "zeta"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"beta", "zeta"}));
  EXPECT_EQ(isps_.Find("zeta"), &alpha) << "the same object, moved";
}

TEST_F(ISPListTest, DeleteTakesTheRangesAlong) {
  Fill({{"A", "10.*", "11.1.*"}, {"B", "10.2.*"}});
  EXPECT_FALSE(isps_.Delete("C"));
  EXPECT_TRUE(isps_.Delete("a"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"B"}));
  EXPECT_EQ(isps_.RangeCount(), 1);
  EXPECT_EQ(OwnerOf("10.1.1.1"), "-");
  EXPECT_EQ(OwnerOf("11.1.1.1"), "-");
  EXPECT_EQ(OwnerOf("10.2.1.1"), "B");
}

// "I01", "I02", ...: names that sort in number order.
std::string Name(int number) { return (number < 10 ? "I0" : "I") + std::to_string(number); }

TEST_F(ISPListTest, NamesText) {
  const auto names = [this](int count) {
    isps_.Clear();
    for (int i = 1; i <= count; ++i) {
      isps_.Add(Name(i));
    }
    return isps_.GetNamesText();
  };
  EXPECT_EQ(names(0), "");
  EXPECT_EQ(names(1), "I01");
  EXPECT_EQ(names(2), "I01 and I02");
  EXPECT_EQ(names(3), "I01, I02 and I03");
  std::string first31;
  for (int i = 1; i <= 31; ++i) {
    first31 += Name(i) + ", ";
  }
  first31.resize(first31.size() - 2);
  EXPECT_EQ(names(32), first31 + " and I32");
  EXPECT_EQ(names(33), first31 + " and I32...");
}

// The text is kept, and rebuilt after every change to what it shows.
TEST_F(ISPListTest, NamesTextFollowsChanges) {
  isps_.Add("b");
  EXPECT_EQ(isps_.GetNamesText(), "b");
  isps_.Add("a");
  EXPECT_EQ(isps_.GetNamesText(), "a and b");
  isps_.Rename(*isps_.Find("a"), "c");
  EXPECT_EQ(isps_.GetNamesText(), "b and c");
  language_.SetText(TLanguageKey::AndDelimiter, "og");
  EXPECT_EQ(isps_.GetNamesText(), "b og c");
  isps_.Delete("b");
  EXPECT_EQ(isps_.GetNamesText(), "c");
  isps_.Clear();
  EXPECT_EQ(isps_.GetNamesText(), "");
}

// Each change that may move a user's restriction asks for a refresh; adding
// or renaming an ISP without ranges cannot.
TEST_F(ISPListTest, UsersAreRefreshedAfterEachChangeOfRanges) {
  const struct {
    const char* what;
    void (*change)(TISPList&);
    int refreshes;
  } cases[] = {
      {"add", [](TISPList& l) { l.Add("new"); }, 0},
      {"rename", [](TISPList& l) { l.Rename(*l.Find("A"), "Z"); }, 0},
      {"add range", [](TISPList& l) { l.AddIPByName("A", "12.*"); }, 1},
      {"refused range", [](TISPList& l) { l.AddIPByName("A", "10.*"); }, 0},
      {"delete range", [](TISPList& l) { l.DeleteIP("10.0.0.1"); }, 1},
      {"delete no range", [](TISPList& l) { l.DeleteIP("99.0.0.1"); }, 0},
      {"delete", [](TISPList& l) { l.Delete("A"); }, 1},
      {"clear", [](TISPList& l) { l.Clear(); }, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    isps_.Clear();
    Fill({{"A", "10.*"}});
    refreshes_ = 0;
    c.change(isps_);
    EXPECT_EQ(refreshes_, c.refreshes);
  }
}

TEST_F(ISPListTest, GetMasksByISP) {
  Fill({{"A", "10.*", "9.9.9.9"}, {"B", "10.1.*"}});
  TStringList list;
  isps_.GetMasks(list, isps_.Find("A"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), "9.9.9.9");
  EXPECT_EQ(list.Get(1), "10.*");
  isps_.GetMasks(list, nullptr);
  EXPECT_EQ(list.Count(), 3);
  isps_.GetMasksUnder(list, "10.*");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(static_cast<TISP*>(list.GetObject(1)), isps_.Find("B"));
}

}  // namespace
