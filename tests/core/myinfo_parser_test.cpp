#include "core/myinfo_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;

struct TValidCase {
  const char* name;
  std::string message;
  const char* nick;
  const char* description;
  const char* tag;  // "" when none
  const char* client;
  bool passive;
  int hubs;
  int slots;
  const char* speed;
  char status;
  const char* email;
  std::int64_t share;
};

class MyINFOParserValid : public ::testing::TestWithParam<TValidCase> {};

TEST_P(MyINFOParserValid, Fields) {
  const TValidCase& c = GetParam();
  TMyINFOFields f;
  ASSERT_TRUE(ParseMyINFO(c.message, f));
  EXPECT_EQ(f.Nick, c.nick);
  EXPECT_EQ(f.Description, c.description);
  EXPECT_EQ(f.TagText, c.tag);
  EXPECT_EQ(f.TagPresent, *c.tag != '\0');
  EXPECT_EQ(f.Tag.Name, c.client);
  EXPECT_EQ(f.Tag.Passive, c.passive);
  EXPECT_EQ(f.Tag.Hubs, c.hubs);
  EXPECT_EQ(f.Tag.Slots, c.slots);
  EXPECT_EQ(f.Speed, c.speed);
  EXPECT_EQ(f.Status, c.status);
  EXPECT_EQ(f.Email, c.email);
  EXPECT_EQ(f.Share, c.share);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MyINFOParserValid,
    ::testing::Values(
        TValidCase{"eiskalt",
                   "$MyINFO $ALL eisk1 bench client <EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>$ "
                   "$20\x01$$0$|",
                   "eisk1", "bench client ", "<EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>", "EiskaltDC++",
                   false, 2, 3, "20", '\x01', "", 0},
        TValidCase{"ncdc", "$MyINFO $ALL ncdc1 <ncdc V:1.23.1,M:P,H:2/0/0,S:10>$ $0.005\x01$$0$|",
                   "ncdc1", "", "<ncdc V:1.23.1,M:P,H:2/0/0,S:10>", "ncdc", true, 2, 10, "0.005",
                   '\x01', "", 0},
        TValidCase{"microdc2",
                   "$MyINFO $ALL mdc <microdc2 V:0.15.6,M:P,H:1/0/0,S:3>$ "
                   "$DSL\x01$mdc@example.org$123456789$|",
                   "mdc", "", "<microdc2 V:0.15.6,M:P,H:1/0/0,S:3>", "microdc2", true, 1, 3, "DSL",
                   '\x01', "mdc@example.org", 123456789},
        TValidCase{"dcpp", "$MyINFO $ALL joe hi<++ V:0.674,M:A,H:1/2/3,S:5>$ $LAN(T3)\x05$$1$",
                   "joe", "hi", "<++ V:0.674,M:A,H:1/2/3,S:5>", "DC++", false, 6, 5, "LAN(T3)",
                   '\x05', "", 1},
        TValidCase{"noTag", "$MyINFO $ALL bob just text$ $LAN\x01$b@x$1073741824$|", "bob",
                   "just text", "", "Unknown", false, 0, 0, "LAN", '\x01', "b@x", 1073741824},
        TValidCase{"tagWithoutClose", "$MyINFO $ALL bob a <++ V:1,S:3$ $LAN\x01$$0$|", "bob",
                   "a <++ V:1,S:3", "", "Unknown", false, 0, 0, "LAN", '\x01', "", 0},
        TValidCase{"closeWithoutOpen", "$MyINFO $ALL bob a>$ $LAN\x01$$0$|", "bob", "a>", "",
                   "Unknown", false, 0, 0, "LAN", '\x01', "", 0},
        TValidCase{"emptyDescriptionAndSpeed", "$MyINFO $ALL bob $ $\x01$$0$|", "bob", "", "",
                   "Unknown", false, 0, 0, "", '\x01', "", 0},
        TValidCase{"spaceStatus", "$MyINFO $ALL bob x$ $ $$7$|", "bob", "x", "", "Unknown", false,
                   0, 0, "", ' ', "", 7},
        TValidCase{"largestShare", "$MyINFO $ALL bob x$ $L\x01$$9223372036854775807$|", "bob", "x",
                   "", "Unknown", false, 0, 0, "L", '\x01', "", INT64_MAX},
        TValidCase{"nineteenDigits", "$MyINFO $ALL bob x$ $L\x01$$0000000000000000042$|", "bob",
                   "x", "", "Unknown", false, 0, 0, "L", '\x01', "", 42},
        TValidCase{"eightBitText", "$MyINFO $ALL bob caf\xE9\xA0<\xC5 S:1>$ $\xB5\x01$\xE9@x$5$|",
                   "bob", "caf\xE9\xA0", "<\xC5 S:1>", "\xC5", false, 0, 1, "\xB5", '\x01',
                   "\xE9@x", 5},
        TValidCase{"nulStatus", "$MyINFO $ALL bob x$ $L\0$$1$|"s, "bob", "x", "", "Unknown", false,
                   0, 0, "L", '\0', "", 1}),
    [](const auto& row) { return std::string(row.param.name); });

struct TInvalidCase {
  const char* name;
  std::string message;
};

class MyINFOParserInvalid : public ::testing::TestWithParam<TInvalidCase> {};

TEST_P(MyINFOParserInvalid, Refused) {
  TMyINFOFields f;
  EXPECT_FALSE(ParseMyINFO(GetParam().message, f));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MyINFOParserInvalid,
    ::testing::Values(
        TInvalidCase{"empty", ""}, TInvalidCase{"bar", "|"},
        TInvalidCase{"prefixOnly", "$MyINFO $ALL |"},
        TInvalidCase{"prefixDollar", "$MyINFO $ALL $|"},
        TInvalidCase{"prefixDollars", "$MyINFO $ALL $$|"},
        TInvalidCase{"bareLayout", "$MyINFO $ALL $ $\x01$$0$|"},
        TInvalidCase{"lowerCasePrefix", "$myinfo $all bob x$ $L\x01$$0$|"},
        TInvalidCase{"noDollarSpaceDollar", "$MyINFO $ALL bob desc$$LAN\x01$$0$|"},
        TInvalidCase{"spaceMissing", "$MyINFO $ALL bob desc$x$LAN\x01$$0$|"},
        TInvalidCase{"nickWithoutSpace", "$MyINFO $ALL bob$ $LAN\x01$$0$|"},
        TInvalidCase{"emptyNick", "$MyINFO $ALL  desc$ $LAN\x01$$0$|"},
        TInvalidCase{"dollarInDescription", "$MyINFO $ALL bob de$sc$ $LAN\x01$$0$|"},
        TInvalidCase{"dollarInNick", "$MyINFO $ALL b$ob desc$ $LAN\x01$$0$|"},
        TInvalidCase{"dollarStatus", "$MyINFO $ALL bob desc$ $$$$0$|"},
        TInvalidCase{"noStatus", "$MyINFO $ALL bob desc$ $$$0$|"},
        TInvalidCase{"emptyShare", "$MyINFO $ALL bob x$ $L\x01$$$|"},
        TInvalidCase{"twentyDigitShare", "$MyINFO $ALL bob x$ $L\x01$$12345678901234567890$|"},
        TInvalidCase{"shareTwoToThe63", "$MyINFO $ALL bob x$ $L\x01$$9223372036854775808$|"},
        TInvalidCase{"shareAllNines", "$MyINFO $ALL bob x$ $L\x01$$9999999999999999999$|"},
        TInvalidCase{"negativeShare", "$MyINFO $ALL bob x$ $L\x01$$-1$|"},
        TInvalidCase{"shareWithColon", "$MyINFO $ALL bob x$ $L\x01$$12:34$|"},
        TInvalidCase{"shareWithSpace", "$MyINFO $ALL bob x$ $L\x01$$ 1$|"},
        TInvalidCase{"shareEightBitDigit", "$MyINFO $ALL bob x$ $L\x01$$1\xB2$|"},
        TInvalidCase{"noClosingDollar", "$MyINFO $ALL bob x$ $L\x01$$0|"},
        TInvalidCase{"hugeHubCount",
                     "$MyINFO $ALL bob <++ V:1,M:A,H:99999999999/0/0,S:1>$ $L\x01$$0$|"},
        TInvalidCase{"letterSlots", "$MyINFO $ALL bob <++ V:1,M:A,H:1/0/0,S:many>$ $L\x01$$0$|"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MyINFOParser, WithAndWithoutFinalBarAgree) {
  const std::string body = "$MyINFO $ALL joe hi<++ V:0.674,M:A,H:1/2/3,S:5>$ $LAN\x01$j@x$9$";
  const std::string framed = body + "|";  // the fields view into it
  TMyINFOFields with;
  TMyINFOFields without;
  ASSERT_TRUE(ParseMyINFO(framed, with));
  ASSERT_TRUE(ParseMyINFO(body, without));
  EXPECT_EQ(with.Description, without.Description);
  EXPECT_EQ(with.Email, without.Email);
  EXPECT_EQ(with.Share, without.Share);
}

// Every cut of a real message, and random damage to it, must parse or fail
// without reading outside the text (the sanitizer build watches).
TEST(MyINFOParser, SurvivesTruncationAndDamage) {
  const std::string whole =
      "$MyINFO $ALL eisk1 bench client <EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>$ $20\x01$e@x$77$|";
  TMyINFOFields f;
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    const std::string cut = whole.substr(0, n);  // own storage: overreads show
    ParseMyINFO(cut, f);
  }
  std::mt19937 random(12345);
  const std::string alphabet =
      "$ |<>:,/0123456789\x01\xFF"
      "aZ";
  for (int round = 0; round < 20000; ++round) {
    std::string damaged = whole.substr(0, random() % (whole.size() + 1));
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !damaged.empty(); ++e)
      damaged[random() % damaged.size()] = alphabet[random() % alphabet.size()];
    if (ParseMyINFO(damaged, f)) {
      EXPECT_LE(
          f.Nick.size() + f.Description.size() + f.TagText.size() + f.Speed.size() + f.Email.size(),
          damaged.size());
    }
  }
}

struct TNickCase {
  const char* name;
  const char* message;
  const char* nick;
  bool matches;
};

class MyINFOParserNick : public ::testing::TestWithParam<TNickCase> {};

TEST_P(MyINFOParserNick, Matches) {
  EXPECT_EQ(MyINFOHasNick(GetParam().message, GetParam().nick), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MyINFOParserNick,
    ::testing::Values(TNickCase{"same", "$MyINFO $ALL bob x$ $L\x01$$0$|", "bob", true},
                      TNickCase{"otherCase", "$MyINFO $ALL Bob x$ $L\x01$$0$|", "bob", false},
                      TNickCase{"longerNick", "$MyINFO $ALL bobby x$ $L\x01$$0$|", "bob", false},
                      TNickCase{"shorterNick", "$MyINFO $ALL bo x$ $L\x01$$0$|", "bob", false},
                      TNickCase{"noSpace", "$MyINFO $ALL bob", "bob", false},
                      TNickCase{"noPrefix", "$MyINFOX$ALL bob x$ $L\x01$$0$|", "bob", false},
                      TNickCase{"emptyNick", "$MyINFO $ALL  x$ $L\x01$$0$|", "", false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
