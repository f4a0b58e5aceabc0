#include "utils/hashed_method_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/exceptions.h"

namespace {

// A command table as an operator-command class would hold it: names to its
// own methods with a data word.
class TCommands {
 public:
  using Method = std::string (TCommands::*)(std::intptr_t);

  TCommands() : table_(8) {
    table_.Add("kick", &TCommands::Kick, 1);
    table_.Add("ban", &TCommands::Ban, 2);
    table_.Add("tempban", &TCommands::Ban, 3);
  }

  std::string Run(std::string_view name) {
    const auto* entry = table_.Find(name);
    if (entry == nullptr) return "unknown";
    return (this->*entry->handler)(entry->data);
  }

 private:
  std::string Kick(std::intptr_t data) { return "kick " + std::to_string(data); }
  std::string Ban(std::intptr_t data) { return "ban " + std::to_string(data); }

  THashedMethodList<Method> table_;
};

int Twice(int x) { return 2 * x; }
int Negate(int x) { return -x; }

TEST(HashedMethodList, DispatchesToMethodsCaseInsensitively) {
  TCommands commands;
  struct RunCase {
    const char* name;
    const char* expected;
  };
  const RunCase cases[] = {{"kick", "kick 1"}, {"KICK", "kick 1"}, {"Ban", "ban 2"},
                           {"tempBAN", "ban 3"}, {"kic", "unknown"}, {"kicks", "unknown"},
                           {"", "unknown"}};
  for (const auto& c : cases) EXPECT_EQ(commands.Run(c.name), c.expected) << c.name;
}

TEST(HashedMethodList, DuplicateNameThrowsTheSameTextInBothLists) {
  THashedMethodList<int (*)(int)> methods(4);
  THashedFunctionList<int (*)(int)> functions(4);
  methods.Add("kick", &Twice, 0);
  functions.Add("kick", &Twice, 0);
  for (const char* duplicate : {"Kick", "KICK", "kick"}) {
    const std::string expected = std::string("THashedMethodList.Add(") + duplicate + " already exists)";
    try {
      methods.Add(duplicate, &Negate, 0);
      ADD_FAILURE() << "no exception for " << duplicate;
    } catch (const EKavroException& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
    try {
      functions.Add(duplicate, &Negate, 0);
      ADD_FAILURE() << "no exception for " << duplicate;
    } catch (const EKavroException& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
  }
  EXPECT_EQ(functions.Find("kick")->handler, &Twice);
  EXPECT_EQ(functions.Count(), 1);
}

TEST(HashedFunctionList, FindReturnsHandlerAndNumber) {
  THashedFunctionList<int (*)(int)> list(2);
  list.Add("\xC9" "cho", &Twice, -5);
  list.Add("negate", &Negate, 2147483647);
  const auto* accented = list.Find("\xE9" "CHO");
  ASSERT_NE(accented, nullptr);
  EXPECT_EQ(accented->handler(accented->data), -10);
  const auto* negate = list.Find("Negate");
  ASSERT_NE(negate, nullptr);
  EXPECT_EQ(negate->data, 2147483647);
  EXPECT_EQ(list.Find("twice"), nullptr);
}

TEST(HashedFunctionList, EmptyNameIsAnOrdinaryName) {
  THashedFunctionList<int (*)(int)> list(1);
  EXPECT_EQ(list.Find(""), nullptr);
  list.Add("", &Twice, 7);
  ASSERT_NE(list.Find(""), nullptr);
  EXPECT_EQ(list.Find("")->data, 7);
  EXPECT_THROW(list.Add("", &Negate, 0), EKavroException);
}

TEST(HashedFunctionList, BucketsStayFixedWhileNamesOverflowThem) {
  THashedFunctionList<int (*)(int)> list(1);
  EXPECT_EQ(list.BucketCount(), 5);
  for (int i = 0; i < 200; ++i) list.Add("cmd" + std::to_string(i), &Twice, i);
  EXPECT_EQ(list.BucketCount(), 5);
  for (int i = 0; i < 200; ++i) {
    const auto* entry = list.Find("CMD" + std::to_string(i));
    ASSERT_NE(entry, nullptr) << i;
    EXPECT_EQ(entry->data, i);
  }
}

TEST(HashedFunctionList, TopBitHashesLandInValidBuckets) {
  // Long names rotate bits into the top position; collect some with it set.
  std::vector<std::string> names;
  for (int i = 0; names.size() < 20 && i < 100000; ++i) {
    const std::string name = "operatorcommand" + std::to_string(i);
    if (HashHandlerName(name) & 0x80000000u) names.push_back(name);
  }
  ASSERT_EQ(names.size(), 20u);
  for (int capacity : {1, 3, 7, 100}) {
    SCOPED_TRACE(capacity);
    THashedFunctionList<int (*)(int)> list(capacity);
    for (std::size_t i = 0; i < names.size(); ++i)
      list.Add(names[i], &Twice, static_cast<std::int32_t>(i));
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto* entry = list.Find(names[i]);
      ASSERT_NE(entry, nullptr) << names[i];
      EXPECT_EQ(entry->data, static_cast<std::int32_t>(i));
    }
  }
}

TEST(HashedFunctionList, CapacityBelowOneStillHasBuckets) {
  THashedFunctionList<int (*)(int)> list(0);
  EXPECT_EQ(list.BucketCount(), 5);
  list.Add("a", &Twice, 0);
  EXPECT_NE(list.Find("A"), nullptr);
}

}  // namespace
