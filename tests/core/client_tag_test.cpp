#include "core/client_tag.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TTagCase {
  const char* name;
  const char* tag;
  const char* client;  // "Unknown" when the tag names none
  bool known;
  const char* version;
  bool passive;
  int hubs;
  int slots;
};

class ClientTagReads : public ::testing::TestWithParam<TTagCase> {};

TEST_P(ClientTagReads, Fields) {
  const TTagCase& c = GetParam();
  TClientTag tag;
  ASSERT_TRUE(ParseClientTag(c.tag, tag));
  EXPECT_EQ(tag.Name, c.client);
  EXPECT_EQ(tag.NameKnown, c.known);
  EXPECT_EQ(tag.Version, c.version);
  EXPECT_EQ(tag.Passive, c.passive);
  EXPECT_EQ(tag.Hubs, c.hubs);
  EXPECT_EQ(tag.Slots, c.slots);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClientTagReads,
    ::testing::Values(
        TTagCase{"dcpp", "<++ V:0.674,M:A,H:1/2/3,S:5>", "DC++", true, "0.674", false, 6, 5},
        TTagCase{"nmdc", "<DC V:1.0,M:P,H:1,S:2>", "NMDC", true, "1.0", true, 1, 2},
        TTagCase{"dcproColon", "<DC:PRO V:0.2>", "DCPRO", true, "0.2", false, 0, 0},
        TTagCase{"odc", "<oDC V:5.3,M:A,H:1/0/0,S:4>", "oDC", true, "5.3", false, 1, 4},
        TTagCase{"dcgui", "<DCGUI V:0.3.3,M:A,H:1,S:3>", "DCGUI", true, "0.3.3", false, 1, 3},
        TTagCase{"dcpro", "<DCPRO V:0.4>", "DCPRO", true, "0.4", false, 0, 0},
        TTagCase{"dctc", "<DCTC V:0.85>", "DCTC", true, "0.85", false, 0, 0},
        TTagCase{"eiskalt", "<EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>", "EiskaltDC++", true, "2.4.2",
                 false, 2, 3},
        TTagCase{"ncdc", "<ncdc V:1.23.1,M:P,H:2/0/0,S:10>", "ncdc", true, "1.23.1", true, 2, 10},
        TTagCase{"microdc2", "<microdc2 V:0.15.6,M:P,H:1/0/0,S:3>", "microdc2", true, "0.15.6",
                 true, 1, 3},
        TTagCase{"noSpace", "<solo>", "solo", true, "", false, 0, 0},
        TTagCase{"noName", "< V:1,S:2>", "Unknown", false, "1", false, 0, 2},
        TTagCase{"empty", "<>", "Unknown", false, "", false, 0, 0},
        TTagCase{"socksMode", "<++ V:0.7,M:5,H:1/0/0,S:1>", "DC++", true, "0.7", false, 1, 1},
        TTagCase{"unknownFields", "<++ V:0.7,O:5,L:512,X,S:2>", "DC++", true, "0.7", false, 0, 2},
        TTagCase{"eightBit", "<\xC5ngstr\xF6m V:1\xA0,M:A,H:1,S:1>", "\xC5ngstr\xF6m", true,
                 "1\xA0", false, 1, 1}),
    [](const auto& row) { return std::string(row.param.name); });

struct TBadTagCase {
  const char* name;
  const char* tag;
};

class ClientTagRefuses : public ::testing::TestWithParam<TBadTagCase> {};

TEST_P(ClientTagRefuses, Malformed) {
  TClientTag tag;
  EXPECT_FALSE(ParseClientTag(GetParam().tag, tag));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClientTagRefuses,
    ::testing::Values(
        TBadTagCase{"noOpen", "++ V:1>"}, TBadTagCase{"noClose", "<++ V:1"},
        TBadTagCase{"single", "<"}, TBadTagCase{"hugeHubCount", "<++ V:1,H:99999999999/0/0,S:1>"},
        TBadTagCase{"hubSumOverflow", "<++ H:999999999/999999999/999999999>"},
        TBadTagCase{"negativeHubs", "<++ H:-1/0/0>"}, TBadTagCase{"emptyHubPart", "<++ H:1//0>"},
        TBadTagCase{"emptyHubs", "<++ H:,S:1>"}, TBadTagCase{"letterSlots", "<++ S:x>"},
        TBadTagCase{"hugeSlots", "<++ S:12345678901>"},
        TBadTagCase{"eightBitDigit", "<++ S:1\xB2>"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClientTag, NameOfTagNeedsAllFourBytes) {
  // "<DC" alone is no NMDC tag: the fourth byte decides.
  EXPECT_EQ(ClientNameOfTag("<DC>"), "DC");
  EXPECT_EQ(ClientNameOfTag("<DC++ V:0.1>"), "DC++");
  EXPECT_EQ(ClientNameOfTag("<++"), "++");
  EXPECT_EQ(ClientNameOfTag(""), "");
}

}  // namespace
