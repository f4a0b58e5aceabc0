#include "utils/hash_list.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "base/case_tables.h"
#include "base/exceptions.h"

namespace {

// Hashes to exactly 0x80000000 in either case rule: as a signed 32-bit
// number that is the one value whose absolute value is still negative.
constexpr const char* kTopBitKey = "habbgacphei";

struct TTracked {
  std::vector<int>* log;
  int id;
  ~TTracked() { log->push_back(id); }
};

std::vector<std::string> Keys(const THashList<int>& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetKey(i));
  return out;
}

// Every entry must be found at its own index: catches chains left pointing
// at old indexes after removals, sorts and rehashes.
void ExpectIndexesConsistent(const THashList<int>& list) {
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.IndexOf(list.GetKey(i)), i) << list.GetKey(i);
    EXPECT_EQ(list.Find(list.GetKey(i)), list.GetValue(i));
  }
}

struct CaseRuleCase {
  const char* name;
  bool caseSensitive;
  std::string stored;
  std::string other;
  bool otherFindsStored;  // and so Add(other) is refused
};

void PrintTo(const CaseRuleCase& c, std::ostream* os) { *os << c.name; }

class HashListCaseRule : public testing::TestWithParam<CaseRuleCase> {};

TEST_P(HashListCaseRule, FindsAndRefusesUnderTheListsRule) {
  const CaseRuleCase& c = GetParam();
  int first = 1;
  int second = 2;
  THashList<int> list(4, c.caseSensitive);
  ASSERT_TRUE(list.Add(c.stored, &first));
  EXPECT_EQ(list.Find(c.other), c.otherFindsStored ? &first : nullptr);
  EXPECT_EQ(list.Add(c.other, &second), !c.otherFindsStored);
  EXPECT_EQ(list.Find(c.stored), &first);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HashListCaseRule,
    testing::Values(
        CaseRuleCase{"InsensitiveAscii", false, "Alice", "ALICE", true},
        CaseRuleCase{"InsensitiveLower", false, "Alice", "alice", true},
        CaseRuleCase{"SensitiveAscii", true, "Alice", "alice", false},
        CaseRuleCase{"SensitiveSame", true, "Alice", "Alice", true},
        CaseRuleCase{"InsensitiveAccented", false, "\xC9tienne", "\xE9TIENNE", true},
        CaseRuleCase{"InsensitiveYDiaeresis", false, "\x9F", "\xFF", true},
        CaseRuleCase{"InsensitiveScaron", false, "\x8A", "\x9A", true},
        CaseRuleCase{"TimesIsNotDivide", false, "\xD7", "\xF7", false},
        CaseRuleCase{"PrefixIsDifferent", false, "Alice", "Alic", false},
        CaseRuleCase{"LongerIsDifferent", false, "Alice", "Alice_", false},
        CaseRuleCase{"EmbeddedZero", false, std::string("a\0b", 3), std::string("a\0c", 3), false}),
    [](const testing::TestParamInfo<CaseRuleCase>& row) { return std::string(row.param.name); });

TEST(HashList, EmptyKeyIsNeverStoredOrFound) {
  int value = 0;
  THashList<int> list(4);
  EXPECT_FALSE(list.Add("", &value));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Find(""), nullptr);
  EXPECT_EQ(list.IndexOf(""), -1);
  EXPECT_FALSE(list.Remove(""));
}

TEST(HashList, FindBufTakesASliceOfABuffer) {
  int bob = 0;
  THashList<int> list(4);
  list.Add("Bob", &bob);
  const std::string buffer = "$To: bob From: x|";
  EXPECT_EQ(list.FindBuf(buffer.data() + 5, 3), &bob);
  EXPECT_EQ(list.FindBuf(buffer.data() + 5, 4), nullptr);
  EXPECT_EQ(list.FindBuf(buffer.data() + 5, 0), nullptr);
  EXPECT_EQ(list.FindBuf(buffer.data() + 5, -3), nullptr);
  EXPECT_EQ(list.FindBuf(nullptr, 3), nullptr);
}

TEST(HashList, AddIntUsesTheDecimalText) {
  int a = 0;
  int b = 0;
  THashList<int> list(4);
  EXPECT_TRUE(list.AddInt(42, &a));
  EXPECT_TRUE(list.AddInt(-7, &b));
  EXPECT_FALSE(list.Add("42", &b));
  EXPECT_EQ(list.Find("42"), &a);
  EXPECT_EQ(list.Find("-7"), &b);
}

TEST(HashList, RemoveMovesTheLastEntryIntoTheHole) {
  struct RemoveCase {
    std::string removed;
    std::vector<std::string> expected;
  };
  const RemoveCase cases[] = {
      {"A", {"C", "B"}}, {"b", {"A", "C"}}, {"C", {"A", "B"}}, {"D", {"A", "B", "C"}}};
  int values[3] = {};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.removed);
    THashList<int> list(1);
    list.Add("A", &values[0]);
    list.Add("B", &values[1]);
    list.Add("C", &values[2]);
    EXPECT_EQ(list.Remove(c.removed), c.removed != "D");
    EXPECT_EQ(Keys(list), c.expected);
    ExpectIndexesConsistent(list);
  }
}

TEST(HashList, RemoveByItsOwnStoredKey) {
  // The key view points into the entry being overwritten by the move.
  int values[3] = {};
  THashList<int> list(4);
  list.Add("A", &values[0]);
  list.Add("B", &values[1]);
  list.Add("C", &values[2]);
  while (list.Count() > 0) {
    const std::string_view key = list.GetKey(0);
    ASSERT_TRUE(list.Remove(key));
    ExpectIndexesConsistent(list);
  }
}

TEST(HashList, GrowsByTheCommonRuleWithMatchingBuckets) {
  int value = 0;
  THashList<int> list(1);
  std::vector<std::pair<int, int>> seen = {{list.Capacity(), list.BucketCount()}};
  for (int i = 0; i < 30; ++i) {
    list.AddInt(i, &value);
    if (list.Capacity() != seen.back().first) seen.emplace_back(list.Capacity(), list.BucketCount());
  }
  const std::vector<std::pair<int, int>> expected = {{1, 4}, {5, 16}, {9, 28}, {25, 76}, {41, 124}};
  EXPECT_EQ(seen, expected);
  ExpectIndexesConsistent(list);
}

TEST(HashList, SetCapacityRehashesAndIgnoresSizesNotAboveTheCount) {
  int value = 0;
  THashList<int> list(100);
  for (int i = 0; i < 10; ++i) list.AddInt(i, &value);
  list.SetCapacity(10);
  EXPECT_EQ(list.Capacity(), 100);
  list.SetCapacity(11);
  EXPECT_EQ(list.Capacity(), 11);
  EXPECT_EQ(list.BucketCount(), 34);
  ExpectIndexesConsistent(list);
  list.SetCapacity(1000);
  EXPECT_EQ(list.BucketCount(), 3001);
  ExpectIndexesConsistent(list);
}

TEST(HashList, TopBitHashGivesAValidBucket) {
  ASSERT_EQ(HashListKey(kTopBitKey, false), 0x80000000u);
  ASSERT_EQ(HashListKey(UpperString(kTopBitKey), false), 0x80000000u);
  ASSERT_EQ(HashListKey(kTopBitKey, true), 0x80000000u);
  int top = 0;
  int other = 0;
  for (int capacity : {1, 5, 7, 9, 25, 1000}) {
    SCOPED_TRACE(capacity);
    THashList<int> list(capacity);
    list.Add("x", &other);
    ASSERT_TRUE(list.Add(kTopBitKey, &top));
    list.Add("y", &other);
    EXPECT_EQ(list.Find(UpperString(kTopBitKey)), &top);
    EXPECT_FALSE(list.Add(kTopBitKey, &other));
    EXPECT_TRUE(list.Remove(kTopBitKey));
    EXPECT_EQ(list.Find(kTopBitKey), nullptr);
    ExpectIndexesConsistent(list);
  }
}

TEST(HashList, SortByKeyUsesUnsignedByteOrder) {
  int value = 0;
  THashList<int> list(4, true);
  for (const char* key : {"b", "\xE9", "a", "Z", "A", "ab", "\x01"}) list.Add(key, &value);
  list.SortByKey();
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"\x01", "A", "Z", "a", "ab", "b", "\xE9"}));
  ExpectIndexesConsistent(list);
}

TEST(HashList, SortThenRemoveKeepsChainsRight) {
  int value = 0;
  THashList<int> list(4);
  for (int i = 99; i >= 0; --i) list.AddInt(i, &value);
  list.SortByKey();
  EXPECT_EQ(list.GetKey(0), "0");
  EXPECT_EQ(list.GetKey(1), "1");
  EXPECT_EQ(list.GetKey(2), "10");
  for (int i = 0; i < 100; i += 3) ASSERT_TRUE(list.Remove(std::to_string(i)));
  EXPECT_EQ(list.Count(), 66);
  ExpectIndexesConsistent(list);
}

TEST(HashList, FreeOperationsDeleteValues) {
  std::vector<int> log;
  THashList<TTracked> list(1);
  for (int id = 1; id <= 4; ++id) list.AddInt(id, new TTracked{&log, id});
  EXPECT_TRUE(list.RemoveAndFree("2"));
  EXPECT_FALSE(list.RemoveAndFree("2"));
  EXPECT_EQ(log, (std::vector<int>{2}));
  log.clear();
  list.ClearAndFree();  // dense order now 1, 4, 3: freed last first
  EXPECT_EQ(log, (std::vector<int>{3, 4, 1}));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Find("1"), nullptr);
}

TEST(HashList, ClearKeepsValuesAndCapacity) {
  int value = 0;
  THashList<int> list(50);
  for (int i = 0; i < 20; ++i) list.AddInt(i, &value);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 50);
  EXPECT_EQ(list.Find("3"), nullptr);
  EXPECT_TRUE(list.AddInt(3, &value));
  ExpectIndexesConsistent(list);
}

TEST(HashList, BadIndexThrows) {
  int value = 0;
  THashList<int> list(4);
  list.Add("a", &value);
  EXPECT_THROW(list.GetValue(1), EAssertionFailed);
  EXPECT_THROW(list.GetKey(-1), EAssertionFailed);
}

// Random adds, removes and finds against std::map as the reference; keys
// from a small alphabet in mixed case so duplicates and case twins are
// frequent.
TEST(HashList, ManyKeysAgreeWithAReferenceMap) {
  for (bool caseSensitive : {false, true}) {
    SCOPED_TRACE(caseSensitive);
    std::mt19937 rng(caseSensitive ? 7 : 11);
    std::vector<int> values(64);
    THashList<int> list(1, caseSensitive);
    std::map<std::string, int*> reference;
    auto fold = [&](const std::string& key) { return caseSensitive ? key : LowerString(key); };
    auto randomKey = [&] {
      std::string key(1 + rng() % 4, ' ');
      for (char& ch : key) ch = "aAbBcC\xE9\xC9"[rng() % 8];
      return key;
    };
    for (int step = 0; step < 10000; ++step) {
      const std::string key = randomKey();
      int* value = &values[rng() % values.size()];
      switch (rng() % 3) {
        case 0:
          ASSERT_EQ(list.Add(key, value), reference.emplace(fold(key), value).second) << key;
          break;
        case 1:
          ASSERT_EQ(list.Remove(key), reference.erase(fold(key)) == 1) << key;
          break;
        default: {
          const auto it = reference.find(fold(key));
          ASSERT_EQ(list.Find(key), it == reference.end() ? nullptr : it->second) << key;
        }
      }
    }
    ASSERT_EQ(list.Count(), static_cast<int>(reference.size()));
    ExpectIndexesConsistent(list);
  }
}

TEST(HashList, TenThousandNicks) {
  std::vector<int> values(10000);
  THashList<int> list(1);
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(list.Add("User" + std::to_string(i), &values[i]));
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(list.Find("USER" + std::to_string(i)), &values[i]);
  for (int i = 0; i < 10000; i += 2) ASSERT_TRUE(list.Remove("user" + std::to_string(i)));
  EXPECT_EQ(list.Count(), 5000);
  for (int i = 0; i < 10000; ++i)
    ASSERT_EQ(list.Find("User" + std::to_string(i)), i % 2 ? &values[i] : nullptr);
  ExpectIndexesConsistent(list);
}

}  // namespace
