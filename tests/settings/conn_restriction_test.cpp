#include "settings/conn_restriction.h"

#include <gtest/gtest.h>

#include <string>

#include "utils/xml_document.h"

namespace {

// The restriction read from `<Owner>children</Owner>`, starting from `start`.
TConnRestriction Read(const std::string& children, TConnRestriction start = {}) {
  TXMLDocument document;
  EXPECT_TRUE(document.LoadFromString("<Owner>" + children + "</Owner>")) << children;
  start.LoadFromXML(document.Root());
  return start;
}

TConnRestriction EveryLimitOn() {
  TConnRestriction r;
  r.MinShareEnabled = true;
  r.MinShare = std::int64_t{5} << 30;
  r.MaxShareEnabled = true;
  r.MaxShare = std::int64_t{3} << 50;
  r.MaxHubsEnabled = true;
  r.MaxHubs = 12;
  r.MinSlotsEnabled = true;
  r.MinSlots = 3;
  r.MaxSlotsEnabled = true;
  r.MaxSlots = 40;
  r.SlotRatioEnabled = true;
  r.SlotRatio = 2;
  r.MayBeInPassiveMode = false;
  r.AllowTagLessToByPass = true;
  return r;
}

TEST(ConnRestriction, WritesItsChildrenInTheirFixedForm) {
  TXMLDocument document;
  document.Root().Name = "Owner";
  EveryLimitOn().SaveToXML(document.Root());
  EXPECT_EQ(document.SaveToString(),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<Owner>\r\n"
            "  <MinShare enable=\"true\">5368709120</MinShare>\r\n"
            "  <MaxShare enable=\"true\">3377699720527872</MaxShare>\r\n"
            "  <MaxHubs enable=\"true\">12</MaxHubs>\r\n"
            "  <MinSlots enable=\"true\">3</MinSlots>\r\n"
            "  <MaxSlots enable=\"true\">40</MaxSlots>\r\n"
            "  <SlotRatio enable=\"true\">2</SlotRatio>\r\n"
            "  <MayBeInPassiveMode enable=\"false\"/>\r\n"
            "  <AllowTagLessToByPass enable=\"true\"/>\r\n"
            "</Owner>");
}

TEST(ConnRestriction, SurvivesWriteAndRead) {
  for (const TConnRestriction& original : {EveryLimitOn(), TConnRestriction{}}) {
    TXMLDocument document;
    document.Root().Name = "Owner";
    original.SaveToXML(document.Root());
    TXMLDocument reread;
    ASSERT_TRUE(reread.LoadFromString(document.SaveToString()));
    TConnRestriction loaded = original == TConnRestriction{} ? EveryLimitOn() : TConnRestriction{};
    loaded.LoadFromXML(reread.Root());
    EXPECT_EQ(loaded, original);
  }
}

TEST(ConnRestriction, ReadingKeepsWhatIsMissingOrDoesNotParse) {
  struct Case {
    const char* children;
    TConnRestriction start;
    bool (*check)(const TConnRestriction&);
  } cases[] = {
      {"", EveryLimitOn(), [](const TConnRestriction& r) { return r == EveryLimitOn(); }},
      {"<MinShare enable=\"true\">1</MinShare>",
       {},
       [](const TConnRestriction& r) { return r.MayBeInPassiveMode; }},
      {"<MinShare enable=\"true\">lots</MinShare>",
       [] {
         TConnRestriction r;
         r.MinShare = 77;
         return r;
       }(),
       [](const TConnRestriction& r) { return r.MinShareEnabled && r.MinShare == 77; }},
      {"<MaxHubs enable=\"true\">99999999999</MaxHubs>",
       {},
       [](const TConnRestriction& r) { return r.MaxHubsEnabled && r.MaxHubs == 0; }},
      {"<MaxSlots>9</MaxSlots>", EveryLimitOn(),  // no "enable": the switch stays
       [](const TConnRestriction& r) { return r.MaxSlotsEnabled && r.MaxSlots == 9; }},
      {"<SlotRatio enable=\"yes\">4</SlotRatio>",
       {},
       [](const TConnRestriction& r) { return !r.SlotRatioEnabled && r.SlotRatio == 4; }},
      {"<MayBeInPassiveMode>0</MayBeInPassiveMode><AllowTagLessToByPass>true</"
       "AllowTagLessToByPass>",
       {},
       [](const TConnRestriction& r) { return !r.MayBeInPassiveMode && r.AllowTagLessToByPass; }},
      {"<MaxHubs enable=\"true\">1</MaxHubs><MaxHubs enable=\"false\">2</MaxHubs>",
       {},
       [](const TConnRestriction& r) { return !r.MaxHubsEnabled && r.MaxHubs == 2; }},
      {"<MinShare enable=\"true\">-5</MinShare>",
       {},
       [](const TConnRestriction& r) { return r.MinShareEnabled && r.MinShare == -5; }},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.check(Read(c.children, c.start))) << c.children;
}

TEST(ConnRestriction, AssignCopiesEveryFieldAndLeavesTheSource) {
  const TConnRestriction source = EveryLimitOn();
  TConnRestriction target;
  target.Assign(source);
  EXPECT_EQ(target, source);
  EXPECT_EQ(source, EveryLimitOn());
  TConnRestriction back = EveryLimitOn();
  back.Assign(TConnRestriction{});
  EXPECT_EQ(back, TConnRestriction{});
}

}  // namespace
