#include "utils/xml_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

#include "utils/xml_document.h"

namespace {

TEST(XMLValuesTest, ParseXMLBooleanAcceptsOnlyExactSpellings) {
  struct Case {
    const char* text;
    bool fallback;
    bool expected;
  };
  for (const Case& c : {Case{"true", false, true}, Case{"1", false, true},
                        Case{"false", true, false}, Case{"0", true, false},
                        Case{"TRUE", false, false}, Case{"True", false, false},
                        Case{"yes", true, true}, Case{"", true, true}, Case{" 1", false, false},
                        Case{"10", true, true}}) {
    EXPECT_EQ(ParseXMLBoolean(c.text, c.fallback), c.expected) << c.text;
  }
}

// An element named "Value" read from a hand-written settings node.
struct BooleanCase {
  const char* element;
  bool current;
  bool expected;
};

void PrintTo(const BooleanCase& c, std::ostream* os) {
  *os << c.element << " from " << c.current;
}

class ReadXMLBooleanTest : public testing::TestWithParam<BooleanCase> {};

TEST_P(ReadXMLBooleanTest, TextFirstThenEnableAttribute) {
  const BooleanCase& c = GetParam();
  TXMLDocument doc;
  ASSERT_TRUE(doc.LoadFromString(std::string("<S>") + c.element + "</S>"));
  bool value = c.current;
  ReadXMLBoolean(doc.Root(), "Value", value);
  EXPECT_EQ(value, c.expected) << c.element;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadXMLBooleanTest,
    testing::Values(BooleanCase{"<Value>yes</Value>", true, true},
                    BooleanCase{"<Value>yes</Value>", false, false},
                    BooleanCase{"<Value>TRUE</Value>", false, false},
                    BooleanCase{"<Value>true</Value>", false, true},
                    BooleanCase{"<Value>1</Value>", false, true},
                    BooleanCase{"<Value>0</Value>", true, false},
                    BooleanCase{"<Value enable=\"true\"/>", false, true},
                    BooleanCase{"<Value enable=\"false\"/>", true, false},
                    BooleanCase{"<Value ENABLE=\"1\"/>", false, true},
                    BooleanCase{"<Value/>", true, true},
                    BooleanCase{"<Value enable=\"maybe\"/>", true, true},
                    BooleanCase{"<Value enable=\"true\">false</Value>", true, false},
                    BooleanCase{"<value>true</value>", false, false},
                    BooleanCase{"<Value>false</Value><Value>true</Value>", false, true}));

struct IntegerCase {
  const char* text;
  bool parses;
  std::int64_t expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, StrictDecimalOrKeep) {
  const IntegerCase& c = GetParam();
  const bool fits32 = c.parses && c.expected >= std::numeric_limits<int>::min() &&
                      c.expected <= std::numeric_limits<int>::max();
  TXMLDocument doc;
  TXMLNode& root = doc.Root();
  root.AddChild("MaxUsers")->Text = c.text;

  int small = 77;
  ReadXMLInteger(root, "MaxUsers", small);
  EXPECT_EQ(small, fits32 ? c.expected : 77) << c.text;

  std::int64_t wide = 77;
  ReadXMLInt64(root, "MaxUsers", wide);
  EXPECT_EQ(wide, c.parses ? c.expected : 77) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseIntegerTest,
    testing::Values(IntegerCase{"500", true, 500}, IntegerCase{"-12", true, -12},
                    IntegerCase{"007", true, 7}, IntegerCase{"0", true, 0},
                    IntegerCase{"2147483647", true, 2147483647},
                    IntegerCase{"-2147483648", true, -2147483648LL},
                    IntegerCase{"2147483648", true, 2147483648LL},  // 64-bit only
                    IntegerCase{"9223372036854775807", true, INT64_MAX},
                    IntegerCase{"9223372036854775808", false, 0},
                    IntegerCase{"-9223372036854775809", false, 0},
                    IntegerCase{"abc", false, 0}, IntegerCase{"", false, 0},
                    IntegerCase{"12x", false, 0}, IntegerCase{" 12", false, 0},
                    IntegerCase{"12 ", false, 0}, IntegerCase{"+5", false, 0},
                    IntegerCase{"-", false, 0}, IntegerCase{"1.5", false, 0},
                    IntegerCase{"0x10", false, 0}));

TEST(XMLValuesTest, MissingElementsKeepEveryValue) {
  const TXMLNode empty("S");
  std::string text = "keep";
  int number = 1;
  std::int64_t wide = 2;
  bool flag = true;
  TDateTime when{3};
  TTriState state = TTriState::Grayed;
  ReadXMLString(empty, "X", text);
  ReadXMLInteger(empty, "X", number);
  ReadXMLBoolean(empty, "X", flag);
  ReadXMLDateTime(empty, "X", when);
  ReadXMLStringEnabled(empty, "X", text, flag);
  ReadXMLInt64TriState(empty, "X", wide, state);
  ReadXMLCountPerInterval(empty, "X", state, number, wide);
  ReadXMLEnableAttribute(empty, flag);
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(number, 1);
  EXPECT_EQ(wide, 2);
  EXPECT_TRUE(flag);
  EXPECT_EQ(when.Seconds, 3);
  EXPECT_EQ(state, TTriState::Grayed);
}

TEST(XMLValuesTest, ElementWrittenTwiceIsReadFromTheSecond) {
  TXMLNode node("S");
  WriteXMLString(node, "HubName", "first");
  WriteXMLInteger(node, "MaxUsers", 10);
  WriteXMLString(node, "HubName", "");
  WriteXMLInteger(node, "MaxUsers", 20);
  std::string name = "default";
  int users = 0;
  ReadXMLString(node, "HubName", name);
  ReadXMLInteger(node, "MaxUsers", users);
  EXPECT_EQ(name, "");  // an empty text is a value too
  EXPECT_EQ(users, 20);
}

TEST(XMLValuesTest, WritersProduceTheSettingsFileSpelling) {
  TXMLDocument doc;
  TXMLNode& root = doc.Root();
  root.Name = "S";
  WriteXMLEnableAttribute(root, false);
  WriteXMLCountPerHours(root, "Flood", true, 5, 2);
  WriteXMLBoolean(root, "AutoStart", true);
  WriteXMLCountPerInterval(root, "Limit", TTriState::Grayed, 3, 60000);
  WriteXMLInt64TriState(root, "Share", -5, TTriState::Checked);
  WriteXMLDateTime(root, "Midnight", TDateTime{86400});
  WriteXMLDateTimeEnabled(root, "Expires", TDateTime{86400 + 3661}, true);
  WriteXMLStringEnabled(root, "Topic", "a b", false);
  EXPECT_EQ(doc.SaveToString(),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<S enable=\"false\">\r\n"
            "  <Flood enable=\"true\" count=\"5\" hours=\"2\"/>\r\n"
            "  <AutoStart enable=\"true\"/>\r\n"
            "  <Limit enable=\"2\" count=\"3\" interval=\"60000\"/>\r\n"
            "  <Share enable=\"1\">-5</Share>\r\n"
            "  <Midnight>1970-01-02</Midnight>\r\n"
            "  <Expires enable=\"true\">1970-01-02 01:01:01</Expires>\r\n"
            "  <Topic enable=\"false\">a b</Topic>\r\n"
            "</S>");
}

enum class TPace { Slow, Normal, Fast };

// Every writer's output, saved and loaded, reads back through its reader.
TEST(XMLValuesTest, EveryPairRoundTripsThroughAFile) {
  TXMLDocument doc;
  TXMLNode& out = doc.Root();
  out.Name = "Settings";
  WriteXMLEnableAttribute(out, true);
  WriteXMLString(out, "Str", " spaced \r\n\"text\" \xA7 ");
  WriteXMLInteger(out, "Int", std::numeric_limits<int>::min());
  WriteXMLInt64(out, "I64", std::numeric_limits<std::int64_t>::max());
  WriteXMLBoolean(out, "Bool", true);
  WriteXMLDateTime(out, "Date", TDateTime{1704067199});
  WriteXMLEnum(out, "Pace", TPace::Fast);
  WriteXMLTriState(out, "Tri", TTriState::Grayed);
  WriteXMLStringEnabled(out, "StrE", "x y", true);
  WriteXMLIntegerEnabled(out, "IntE", -7, true);
  WriteXMLInt64Enabled(out, "I64E", 1LL << 40, true);
  WriteXMLDateTimeEnabled(out, "DateE", TDateTime{951782400}, true);
  WriteXMLInt64TriState(out, "I64T", 1LL << 33, TTriState::Grayed);
  WriteXMLCountPerHours(out, "PerHours", true, 5, 2);
  WriteXMLCountPerInterval(out, "PerInterval", TTriState::Checked, 9, 1LL << 35);

  TXMLDocument reread;
  ASSERT_TRUE(reread.LoadFromString(doc.SaveToString()));
  const TXMLNode& in = reread.Root();
  bool enable = false, boolean = false, strE = false, intE = false, i64E = false, dateE = false,
       perHours = false;
  std::string str, strValue;
  int integer = 0, intValue = 0, count = 0, hours = 0, intervalCount = 0;
  std::int64_t i64 = 0, i64Value = 0, i64Tri = 0, interval = 0;
  TDateTime date, dateValue;
  TPace pace = TPace::Slow;
  TTriState tri = TTriState::Unchecked, i64State = TTriState::Unchecked,
            intervalState = TTriState::Unchecked;
  ReadXMLEnableAttribute(in, enable);
  ReadXMLString(in, "Str", str);
  ReadXMLInteger(in, "Int", integer);
  ReadXMLInt64(in, "I64", i64);
  ReadXMLBoolean(in, "Bool", boolean);
  ReadXMLDateTime(in, "Date", date);
  ReadXMLEnum(in, "Pace", pace, TPace::Slow, TPace::Fast);
  ReadXMLTriState(in, "Tri", tri);
  ReadXMLStringEnabled(in, "StrE", strValue, strE);
  ReadXMLIntegerEnabled(in, "IntE", intValue, intE);
  ReadXMLInt64Enabled(in, "I64E", i64Value, i64E);
  ReadXMLDateTimeEnabled(in, "DateE", dateValue, dateE);
  ReadXMLInt64TriState(in, "I64T", i64Tri, i64State);
  ReadXMLCountPerHours(in, "PerHours", perHours, count, hours);
  ReadXMLCountPerInterval(in, "PerInterval", intervalState, intervalCount, interval);

  EXPECT_TRUE(enable);
  EXPECT_EQ(str, " spaced \r\n\"text\" \xA7 ");
  EXPECT_EQ(integer, std::numeric_limits<int>::min());
  EXPECT_EQ(i64, std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(boolean);
  EXPECT_EQ(date.Seconds, 1704067199);
  EXPECT_EQ(pace, TPace::Fast);
  EXPECT_EQ(tri, TTriState::Grayed);
  EXPECT_EQ(strValue, "x y");
  EXPECT_TRUE(strE);
  EXPECT_EQ(intValue, -7);
  EXPECT_TRUE(intE);
  EXPECT_EQ(i64Value, 1LL << 40);
  EXPECT_TRUE(i64E);
  EXPECT_EQ(dateValue.Seconds, 951782400);
  EXPECT_TRUE(dateE);
  EXPECT_EQ(i64Tri, 1LL << 33);
  EXPECT_EQ(i64State, TTriState::Grayed);
  EXPECT_TRUE(perHours);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(hours, 2);
  EXPECT_EQ(intervalState, TTriState::Checked);
  EXPECT_EQ(intervalCount, 9);
  EXPECT_EQ(interval, 1LL << 35);
}

// Damaged files must not produce enumeration values that do not exist.
// Every reader starts from ordinal 1; a row either sets `ordinal` or keeps 1.
TEST(XMLValuesTest, EnumerationsOutsideTheirRangeKeepTheValue) {
  struct Case {
    const char* text;
    int ordinal;
  };
  for (const Case& c : {Case{"0", 0}, Case{"2", 2}, Case{"3", 1}, Case{"-1", 1},
                        Case{"99999999999", 1}, Case{"x", 1}, Case{"", 1}}) {
    TXMLNode node("S");
    node.AddChild("Enum")->Text = c.text;
    node.AddChild("Interval")->AddAttribute("enable", c.text);
    TXMLNode* share = node.AddChild("Share");
    share->Text = "5";
    share->AddAttribute("enable", c.text);

    TTriState tri = TTriState::Checked, intervalState = TTriState::Checked,
              shareState = TTriState::Checked;
    TPace pace = TPace::Normal;
    int count = 0;
    std::int64_t value = 0, millis = 0;
    ReadXMLTriState(node, "Enum", tri);
    ReadXMLEnum(node, "Enum", pace, TPace::Slow, TPace::Fast);
    ReadXMLCountPerInterval(node, "Interval", intervalState, count, millis);
    ReadXMLInt64TriState(node, "Share", value, shareState);
    EXPECT_EQ(static_cast<int>(tri), c.ordinal) << c.text;
    EXPECT_EQ(static_cast<int>(pace), c.ordinal) << c.text;
    EXPECT_EQ(static_cast<int>(intervalState), c.ordinal) << c.text;
    EXPECT_EQ(static_cast<int>(shareState), c.ordinal) << c.text;
    EXPECT_EQ(value, 5);
  }
}

TEST(XMLValuesTest, DateTimeIsWrittenAsDateAloneOnlyAtMidnight) {
  struct Case {
    std::int64_t seconds;
    const char* text;
  };
  for (const Case& c : {Case{0, "1970-01-01"}, Case{1, "1970-01-01 00:00:01"},
                        Case{-1, "1969-12-31 23:59:59"}, Case{951782400, "2000-02-29"},
                        Case{951782400 + 86399, "2000-02-29 23:59:59"}}) {
    EXPECT_EQ(FormatXMLDateTime(TDateTime{c.seconds}), c.text);
  }
  TXMLNode node("S");
  node.AddChild("When")->Text = "2023-02-29";
  TDateTime kept{42};
  ReadXMLDateTime(node, "When", kept);
  EXPECT_EQ(kept.Seconds, 42);
}

}  // namespace
