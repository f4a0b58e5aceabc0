#include "utils/ip_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "utils/string_list.h"

namespace {

struct TRecord {
  const char* name;
};

class IPListTest : public ::testing::Test {
 protected:
  // (mask, record name) pairs as GetMasks / GetMasksUnder list them.
  static std::vector<std::pair<std::string, std::string>> Listed(const TStringList& list) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < list.Count(); ++i) {
      rows.emplace_back(list.Get(i), static_cast<TRecord*>(list.GetObject(i))->name);
    }
    return rows;
  }

  std::vector<std::pair<std::string, std::string>> AllMasks() const {
    TStringList list;
    ips_.GetMasks(list, nullptr);
    return Listed(list);
  }

  TRecord a_{"A"}, b_{"B"}, c_{"C"}, x_{"X"};
  TIPList<TRecord> ips_;
};

TEST_F(IPListTest, FindsDeepestCoveringMask) {
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("10.0.*", &b_));
  struct Case {
    const char* address;
    TRecord* expected;
  } before[] = {
      {"10.0.3.4", &b_},
      {"10.1.2.3", &a_},
      {"11.0.0.1", nullptr},
      {"10.abc.1.1", &a_},                    // junk octet: no child matches it
      {"10.99999999999999999999.1.1", &a_},   // over-long octet must not overflow
      {"10.256.0.1", &a_},
      {"10.0.3.4.5.6", &b_},
      {"10..1.1", &a_},
      {"\xFF\xFE", nullptr},
      {"", nullptr},
  };
  for (const auto& c : before) EXPECT_EQ(ips_.Find(c.address), c.expected) << c.address;

  ASSERT_TRUE(ips_.Add("*", &c_));
  EXPECT_EQ(ips_.Find("11.0.0.1"), &c_);
  EXPECT_EQ(ips_.Find("10.0.3.4"), &b_);
  EXPECT_EQ(ips_.Find("junk"), &c_);
  EXPECT_EQ(ips_.Count(), 3);
}

TEST_F(IPListTest, FindOfAMaskTextGivesThatMasksOwnValue) {
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("10.0.0.*", &b_));
  EXPECT_EQ(ips_.Find("10.*"), &a_);
  EXPECT_EQ(ips_.Find("10.0.0.*"), &b_);
  EXPECT_EQ(ips_.Find("10.0.*"), nullptr);  // a branch on the way, not a stored mask
}

TEST_F(IPListTest, AddRefusesDuplicatesAndMalformedMasks) {
  EXPECT_TRUE(ips_.Add("10.0.*", &x_));
  EXPECT_FALSE(ips_.Add("10.0.*", &x_));
  EXPECT_FALSE(ips_.Add("10.0.*", &a_));
  for (const char* bad : {"1.2.x", "10.300.*", "1.2.3.4.5", "10..1", "*.*", "-1.*", "10.*5"}) {
    EXPECT_FALSE(ips_.Add(bad, &a_)) << bad;
  }
  EXPECT_FALSE(ips_.Add("9.*", nullptr));
  EXPECT_EQ(ips_.Count(), 1);
  EXPECT_EQ(AllMasks().size(), 1u);
}

TEST_F(IPListTest, RemoveTakesExactlyTheStoredMask) {
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("10.0.0.*", &b_));

  // Narrower or absent ranges never take the broader mask with them.
  for (const char* absent : {"10.0.*", "10.0.0.5", "10.1.*", "11.*", "*", "1.2.x"}) {
    EXPECT_FALSE(ips_.Remove(absent)) << absent;
  }
  EXPECT_EQ(ips_.Count(), 2);
  EXPECT_EQ(ips_.Find("10.1.1.1"), &a_);

  EXPECT_TRUE(ips_.Remove("10.0.0.*"));
  EXPECT_EQ(ips_.Find("10.0.0.5"), &a_);  // falls back to the covering mask
  EXPECT_FALSE(ips_.Remove("10.0.0.*"));
  EXPECT_EQ(ips_.Count(), 1);
}

TEST_F(IPListTest, RemovePrunesEmptiedBranches) {
  ASSERT_TRUE(ips_.Add("*", &c_));
  ASSERT_TRUE(ips_.Add("10.0.0.1", &a_));
  ASSERT_TRUE(ips_.Remove("10.0.0.1"));
  // With the branch 10.0.0 gone, a lookup of "10" walks off the trie and
  // falls back to the root's value instead of stopping on an empty node.
  EXPECT_EQ(ips_.Find("10"), &c_);
  EXPECT_EQ(ips_.Find("10.0"), &c_);

  ASSERT_TRUE(ips_.Add("10.0.0.1", &a_));
  ASSERT_TRUE(ips_.Add("10.0.*", &b_));
  ASSERT_TRUE(ips_.Remove("10.0.0.1"));
  EXPECT_EQ(ips_.Find("10.0.0.1"), &b_);  // the node that still holds a value stays
  EXPECT_EQ(ips_.Find("10.0"), &b_);
}

TEST_F(IPListTest, RemoveValueClearsEveryMaskHoldingIt) {
  ASSERT_TRUE(ips_.Add("*", &c_));
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("10.0.0.1", &c_));
  ASSERT_TRUE(ips_.Add("12.1.*", &c_));

  EXPECT_TRUE(ips_.RemoveValue(&c_));
  EXPECT_EQ(ips_.Count(), 1);
  EXPECT_EQ(ips_.Find("11.0.0.1"), nullptr);  // the root lost its value
  EXPECT_EQ(ips_.Find("10.0.0.1"), &a_);
  EXPECT_EQ(ips_.Find("12"), nullptr);        // pruned branch
  EXPECT_FALSE(ips_.RemoveValue(&c_));
  EXPECT_FALSE(ips_.RemoveValue(nullptr));
  EXPECT_EQ((AllMasks()), (std::vector<std::pair<std::string, std::string>>{{"10.*", "A"}}));
}

TEST_F(IPListTest, GetMasksDepthFirstInOctetOrder) {
  ASSERT_TRUE(ips_.Add("10.0.*", &b_));
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("9.1.1.1", &b_));
  using Rows = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(AllMasks(), (Rows{{"9.1.1.1", "B"}, {"10.*", "A"}, {"10.0.*", "B"}}));

  ASSERT_TRUE(ips_.Add("*", &c_));
  ASSERT_TRUE(ips_.Add("10.0.0.*", &a_));
  EXPECT_EQ(AllMasks(), (Rows{{"*", "C"}, {"9.1.1.1", "B"}, {"10.*", "A"}, {"10.0.*", "B"},
                              {"10.0.0.*", "A"}}));

  TStringList list;
  list.Add("stale");
  ips_.GetMasks(list, &b_);
  EXPECT_EQ(Listed(list), (Rows{{"9.1.1.1", "B"}, {"10.0.*", "B"}}));
  ips_.GetMasks(list, &x_);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(IPListTest, GetMasksUnderListsOneBranch) {
  ASSERT_TRUE(ips_.Add("9.1.1.1", &b_));
  ASSERT_TRUE(ips_.Add("10.0.*", &b_));
  ASSERT_TRUE(ips_.Add("10.0.3.4", &c_));
  using Rows = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* mask;
    Rows expected;
  } cases[] = {
      {"10.*", {{"10.0.*", "B"}, {"10.0.3.4", "C"}}},
      {"10.0.3.4", {{"10.0.3.4", "C"}}},
      {"*", {{"9.1.1.1", "B"}, {"10.0.*", "B"}, {"10.0.3.4", "C"}}},
      {"11.*", {}},
      {"10.0.3.5", {}},
      {"1.2.x", {}},
  };
  TStringList list;
  for (const auto& c : cases) {
    list.Add("stale");
    ips_.GetMasksUnder(list, c.mask);
    EXPECT_EQ(Listed(list), c.expected) << c.mask;
  }
}

TEST_F(IPListTest, ChildrenStaySortedWhateverTheInsertOrder) {
  // Every first octet in a scrambled order: bisection must find each one.
  std::vector<std::string> names;
  for (int i = 0; i < 256; ++i) names.push_back(std::to_string(i));
  std::vector<TRecord> records;
  for (const auto& n : names) records.push_back(TRecord{n.c_str()});
  for (int i = 0; i < 256; ++i) {
    const int octet = (i * 97) % 256;  // 97 is odd: a permutation of 0..255
    ASSERT_TRUE(ips_.Add(std::to_string(octet) + ".*", &records[static_cast<std::size_t>(octet)]));
  }
  for (int octet = 0; octet < 256; ++octet) {
    EXPECT_EQ(ips_.Find(std::to_string(octet) + ".7.7.7"),
              &records[static_cast<std::size_t>(octet)]);
  }
  const auto rows = AllMasks();
  ASSERT_EQ(rows.size(), 256u);
  for (int octet = 0; octet < 256; ++octet) {
    EXPECT_EQ(rows[static_cast<std::size_t>(octet)].first, std::to_string(octet) + ".*");
  }
}

TEST_F(IPListTest, ClearEmptiesTheTrie) {
  ASSERT_TRUE(ips_.Add("*", &c_));
  ASSERT_TRUE(ips_.Add("10.0.0.1", &a_));
  ips_.Clear();
  EXPECT_EQ(ips_.Count(), 0);
  EXPECT_EQ(ips_.Find("10.0.0.1"), nullptr);
  EXPECT_TRUE(AllMasks().empty());
  EXPECT_TRUE(ips_.Add("*", &c_));
}

// Unlike Find, a text ending on a branch without a value gets the broader
// mask above it, and the mask found is named.
TEST_F(IPListTest, FindCoveringNamesTheDeepestCoveringMask) {
  ASSERT_TRUE(ips_.Add("10.*", &a_));
  ASSERT_TRUE(ips_.Add("10.1.2.*", &b_));
  const struct {
    const char* text;
    TRecord* value;
    const char* mask;
  } cases[] = {
      {"10.1.2.3", &b_, "10.1.2.*"}, {"10.1.5.5", &a_, "10.*"},     {"10.1.*", &a_, "10.*"},
      {"10.1.2.*", &b_, "10.1.2.*"}, {"10.1.2", &b_, "10.1.2.*"},   {"11.0.0.1", nullptr, ""},
      {"*", nullptr, ""},            {"10.x.2.3", &a_, "10.*"},     {"10.1.2.3.4", &b_, "10.1.2.*"},
  };
  for (const auto& c : cases) {
    std::string mask;
    EXPECT_EQ(ips_.FindCovering(c.text, &mask), c.value) << c.text;
    EXPECT_EQ(mask, c.mask) << c.text;
  }
  EXPECT_EQ(ips_.Find("10.1.*"), nullptr) << "Find keeps to the node reached";
  ASSERT_TRUE(ips_.Add("*", &c_));
  std::string mask;
  EXPECT_EQ(ips_.FindCovering("11.0.0.1", &mask), &c_);
  EXPECT_EQ(mask, "*");
  ASSERT_TRUE(ips_.Add("10.1.2.3", &x_));
  EXPECT_EQ(ips_.FindCovering("10.1.2.3", &mask), &x_);
  EXPECT_EQ(mask, "10.1.2.3");
}

}  // namespace
