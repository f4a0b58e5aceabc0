// settings/isps.xml: the layout, every field through save and load, the
// load rules for hand-edited files, damaged files and the file's mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/isp_list.h"
#include "settings/language.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"

namespace {

class ISPListFileTest : public SettingsHomeTest {
 protected:
  void SetUp() override {
    SettingsHomeTest::SetUp();
    EXPECT_FALSE(isps_.Load());  // no file: lifts the save guard
  }

  static std::string ReadISPsFile() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(TISPList::FilePath(), bytes));
    return bytes;
  }
  static void WriteISPs(std::string_view body, std::string_view root = "ISPs") {
    ASSERT_TRUE(WriteFileAtomic(TISPList::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<" +
                                    std::string(root) + " version=\"1.039\">" + std::string(body) +
                                    "</" + std::string(root) + ">"));
  }
  static std::string ISP(std::string_view name, std::string_view ranges,
                         std::string_view rest = {}) {
    return "<ISP><Name>" + std::string(name) + "</Name>" + std::string(rest) + "<Range>" +
           std::string(ranges) + "</Range></ISP>";
  }

  TLanguage language_;
  std::vector<std::string> errors_;
  TISPList isps_{language_, [this](const std::string& line) { errors_.push_back(line); }};
};

TEST_F(ISPListFileTest, SaveIsRefusedUntilTheFirstLoadAttempt) {
  TISPList fresh(language_);
  fresh.Add("x");
  EXPECT_FALSE(fresh.Save());
  EXPECT_FALSE(FileExists(TISPList::FilePath()));
  EXPECT_FALSE(fresh.Load());
  EXPECT_TRUE(fresh.Save());
}

TEST_F(ISPListFileTest, Layout) {
  TISP* isp = isps_.Add("Net|One");
  isp->Description = "a<b";
  isp->Prefix = "[N1];[NET]";
  isp->Restriction.MaxHubsEnabled = true;
  isp->Restriction.MaxHubs = 5;
  isps_.AddIP(*isp, "10.0.*");
  isps_.AddIP(*isp, "9.1.1.1");
  isps_.Add("Empty");
  ASSERT_TRUE(isps_.Save());

  EXPECT_EQ(ReadISPsFile(),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<ISPs version=\"1.040\">\r\n"
            "  <ISP>\r\n"
            "    <Name>Empty</Name>\r\n"
            "    <Description/>\r\n"
            "    <Prefix/>\r\n"
            "    <MinShare enable=\"false\">0</MinShare>\r\n"
            "    <MaxShare enable=\"false\">0</MaxShare>\r\n"
            "    <MaxHubs enable=\"false\">0</MaxHubs>\r\n"
            "    <MinSlots enable=\"false\">0</MinSlots>\r\n"
            "    <MaxSlots enable=\"false\">0</MaxSlots>\r\n"
            "    <SlotRatio enable=\"false\">0</SlotRatio>\r\n"
            "    <MayBeInPassiveMode enable=\"true\"/>\r\n"
            "    <AllowTagLessToByPass enable=\"false\"/>\r\n"
            "    <Range/>\r\n"
            "  </ISP>\r\n"
            "  <ISP>\r\n"
            "    <Name>Net|One</Name>\r\n"
            "    <Description>a&lt;b</Description>\r\n"
            "    <Prefix>[N1];[NET]</Prefix>\r\n"
            "    <MinShare enable=\"false\">0</MinShare>\r\n"
            "    <MaxShare enable=\"false\">0</MaxShare>\r\n"
            "    <MaxHubs enable=\"true\">5</MaxHubs>\r\n"
            "    <MinSlots enable=\"false\">0</MinSlots>\r\n"
            "    <MaxSlots enable=\"false\">0</MaxSlots>\r\n"
            "    <SlotRatio enable=\"false\">0</SlotRatio>\r\n"
            "    <MayBeInPassiveMode enable=\"true\"/>\r\n"
            "    <AllowTagLessToByPass enable=\"false\"/>\r\n"
            "    <Range>\r\n"
            "      <IP>9.1.1.1</IP>\r\n"
            "      <IP>10.0.*</IP>\r\n"
            "    </Range>\r\n"
            "  </ISP>\r\n"
            "</ISPs>");
}

TEST_F(ISPListFileTest, EveryFieldSurvivesSaveAndLoad) {
  TISP* isp = isps_.Add("Provider");
  isp->Description = "fibre \"north\" \xA7";
  isp->Prefix = "[P];[Q]";
  TConnRestriction& r = isp->Restriction;
  r.MinShareEnabled = true;
  r.MinShare = 5'000'000'000'000;
  r.MaxShareEnabled = true;
  r.MaxShare = 9'000'000'000'000;
  r.MaxHubsEnabled = true;
  r.MaxHubs = 150;
  r.MinSlotsEnabled = true;
  r.MinSlots = 2;
  r.MaxSlotsEnabled = true;
  r.MaxSlots = 40;
  r.SlotRatioEnabled = true;
  r.SlotRatio = 3;
  r.MayBeInPassiveMode = false;
  r.AllowTagLessToByPass = true;
  for (const char* mask : {"*", "10.*", "10.1.*", "10.1.2.*", "10.1.2.3"})
    ASSERT_TRUE(isps_.AddIP(*isp, mask)) << mask;
  TISP* other = isps_.Add("other");
  isps_.AddIP(*other, "10.1.3.*");
  ASSERT_TRUE(isps_.Save());

  TISPList reread(language_);
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FileVersion(), "1.040");
  ASSERT_EQ(reread.GetCount(), 2);
  const TISP* read = reread.Find("provider");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Name, "Provider");
  EXPECT_EQ(read->Description, isp->Description);
  EXPECT_EQ(read->Prefix, isp->Prefix);
  EXPECT_EQ(read->Restriction, isp->Restriction);
  EXPECT_EQ(reread.RangeCount(), 6);
  EXPECT_EQ(reread.FindByIP("10.1.3.9"), reread.Find("other"));
  EXPECT_EQ(reread.FindByIP("10.1.2.3"), read);
  EXPECT_EQ(reread.FindByIP("11.1.1.1"), read);
}

TEST_F(ISPListFileTest, LoadRules) {
  int refreshes = 0;
  isps_.SetUsersRefresh([&refreshes] { ++refreshes; });
  isps_.Add("before");  // a load starts from an empty list
  WriteISPs(ISP("First", "<IP>10.*</IP><IP>10.0.*.*</IP><IP>10.300.*</IP><IP>10.*</IP>",
                "<Prefix>[F]</Prefix>") +
            ISP("FIRST", "<IP>11.*</IP>", "<Prefix>[again]</Prefix>") +  // a name read before
            ISP("", "<IP>12.*</IP>") +                                   // no name
            ISP("Second", "<IP>10.*</IP><IP>13.1.1.1</IP>") +  // 10.* is First's
            "<Other><Name>x</Name></Other>" +
            "<ISP><Name>NoRange</Name><MaxHubs enable=\"true\">4</MaxHubs></ISP>");
  ASSERT_TRUE(isps_.Load());
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(isps_.FileVersion(), "1.039");
  EXPECT_EQ(isps_.Find("before"), nullptr);
  ASSERT_EQ(isps_.GetCount(), 3);
  EXPECT_EQ(isps_.GetItem(0).Name, "First");
  EXPECT_EQ(isps_.GetItem(0).Prefix, "[F]") << "the first of two equal names wins";
  EXPECT_EQ(isps_.GetItem(1).Name, "NoRange");
  EXPECT_TRUE(isps_.GetItem(1).Restriction.MaxHubsEnabled);
  EXPECT_TRUE(isps_.GetItem(1).Restriction.MayBeInPassiveMode) << "a missing element keeps it";
  EXPECT_EQ(isps_.GetItem(2).Name, "Second");
  EXPECT_EQ(isps_.RangeCount(), 3);
  EXPECT_EQ(isps_.FindByIP("10.9.9.9")->Name, "First");
  EXPECT_EQ(isps_.FindByIP("10.0.0.1")->Name, "First") << "10.0.*.* read as 10.0.*";
  EXPECT_EQ(isps_.FindByIP("11.0.0.1"), nullptr);
  EXPECT_EQ(isps_.FindByIP("12.0.0.1"), nullptr);
  EXPECT_EQ(isps_.FindByIP("13.1.1.1")->Name, "Second");
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("'10.300.*'"), std::string::npos) << errors_[0];
}

// A damaged file, or one of another list, is read not at all and kept for
// repair: a save would replace it by the ISPs in memory.
TEST_F(ISPListFileTest, DamagedFileOrOtherRootChangesNothingAndStopsSaving) {
  const std::string files[] = {
      "<?xml version=\"1.0\"?>\r\n<ISPs version=\"1.040\">" + ISP("new", "<IP>11.*</IP>"),
      "<?xml version=\"1.0\"?>\r\n<Bans version=\"1.040\">" + ISP("new", "<IP>11.*</IP>") +
          "</Bans>",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    errors_.clear();
    isps_.AddIPByName(isps_.Add("kept")->Name, "10.*");
    ASSERT_TRUE(WriteFileAtomic(TISPList::FilePath(), file));
    EXPECT_FALSE(isps_.Load());
    EXPECT_NE(isps_.Find("kept"), nullptr);
    EXPECT_NE(isps_.FindByIP("10.0.0.1"), nullptr);
    EXPECT_EQ(isps_.Find("new"), nullptr);
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(isps_.Save());
    EXPECT_EQ(ReadISPsFile(), file);

    // Repaired by hand: loads, and saving works again.
    WriteISPs(ISP("fixed", "<IP>11.*</IP>"));
    EXPECT_TRUE(isps_.Load());
    EXPECT_NE(isps_.Find("fixed"), nullptr);
    EXPECT_TRUE(isps_.Save());
  }
}

TEST_F(ISPListFileTest, WrittenForTheOwnerOnly) {
  isps_.Add("x");
  ExpectSavedOwnerOnly(TISPList::FilePath(), [this] { return isps_.Save(); });
}

}  // namespace
