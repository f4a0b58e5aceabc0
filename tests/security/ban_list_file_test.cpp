// settings/bans.xml: the layout, every field through save and load, the
// load rules for hand-edited files, damaged files and the file's mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/ban_list.h"
#include "settings/language.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second}, value));
  return value;
}

class BanListFileTest : public SettingsHomeTest {
 protected:
  void SetUp() override {
    SettingsHomeTest::SetUp();
    EXPECT_FALSE(bans_.Load());  // no file: lifts the save guard
  }

  static std::string ReadBansFile() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(TBanList::FilePath(), bytes));
    return bytes;
  }
  static void WriteBans(std::string_view groups, std::string_view root = "Bans") {
    ASSERT_TRUE(WriteFileAtomic(TBanList::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<" +
                                    std::string(root) + " version=\"1.040\">" +
                                    std::string(groups) + "</" + std::string(root) + ">"));
  }
  static std::string Ban(std::string_view group, std::string_view pattern,
                         std::string_view expires, std::string_view rest = {}) {
    return "<Ban><" + std::string(group) + ">" + std::string(pattern) + "</" +
           std::string(group) + "><Expires>" + std::string(expires) + "</Expires>" +
           std::string(rest) + "</Ban>";
  }

  TLanguage language_;
  std::vector<std::string> errors_;
  TDateTime now_ = At(2024, 5, 1, 12);
  TBanList bans_{language_, [this](const std::string& line) { errors_.push_back(line); },
                 [this] { return now_; }};
};

TEST_F(BanListFileTest, SaveIsRefusedUntilTheFirstLoadAttempt) {
  TBanList fresh(language_);
  fresh.AddNickBan("x", "", 0, {}, "op");
  EXPECT_FALSE(fresh.Save());
  EXPECT_FALSE(FileExists(TBanList::FilePath()));
  EXPECT_FALSE(fresh.Load());
  EXPECT_TRUE(fresh.Save());
}

TEST_F(BanListFileTest, LayoutAndFixedDates) {
  TBan* ban = bans_.AddIPBan("10.0.0.*", "a<b", 7, At(2024, 12, 24, 18, 30, 5), "Kavro");
  ban->Overrideable = true;
  ban->LastUsed = At(2024, 4, 30, 1, 2, 3);
  bans_.AddNickBan("troll", "", 0, {}, "op");
  bans_.AddClientBan("Leech*", "", {}, "op");
  ASSERT_TRUE(bans_.Save());

  // Groups in order (each present, even empty), a ban's children in order,
  // dates in the fixed format whatever the machine's locale.
  EXPECT_EQ(ReadBansFile(),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<Bans version=\"1.040\">\r\n"
            "  <Nick>\r\n"
            "    <Ban>\r\n"
            "      <Overrideable>false</Overrideable>\r\n"
            "      <Nick>troll</Nick>\r\n"
            "      <BannedBy>op</BannedBy>\r\n"
            "      <Reason/>\r\n"
            "      <Issued>2024-05-01 12:00:00</Issued>\r\n"
            "      <Expires>[Permanent]</Expires>\r\n"
            "      <LastUsed>[Never]</LastUsed>\r\n"
            "    </Ban>\r\n"
            "  </Nick>\r\n"
            "  <IP>\r\n"
            "    <Ban>\r\n"
            "      <Overrideable>true</Overrideable>\r\n"
            "      <IP>10.0.0.*</IP>\r\n"
            "      <BannedBy>Kavro</BannedBy>\r\n"
            "      <Reason>a&lt;b</Reason>\r\n"
            "      <Issued>2024-05-01 12:00:00</Issued>\r\n"
            "      <Expires>2024-12-24 18:30:05</Expires>\r\n"
            "      <LastUsed>2024-04-30 01:02:03</LastUsed>\r\n"
            "    </Ban>\r\n"
            "  </IP>\r\n"
            "  <DNS/>\r\n"
            "  <Client>\r\n"
            "    <Ban>\r\n"
            "      <Overrideable>false</Overrideable>\r\n"
            "      <Client>Leech*</Client>\r\n"
            "      <BannedBy>op</BannedBy>\r\n"
            "      <Reason/>\r\n"
            "      <Issued>2024-05-01 12:00:00</Issued>\r\n"
            "      <Expires>[Permanent]</Expires>\r\n"
            "      <LastUsed>[Never]</LastUsed>\r\n"
            "    </Ban>\r\n"
            "  </Client>\r\n"
            "</Bans>");
}

TEST_F(BanListFileTest, EveryFieldSurvivesSaveAndLoad) {
  TBan* ip = bans_.AddIPBan("10.0.0.*", "a|b \"c\"", 7, At(2025, 1, 2, 3, 4, 5), "Kavro");
  ip->Overrideable = true;
  ip->LastUsed = At(2024, 4, 30, 1, 2, 3);
  bans_.AddNickBan("*troll*", "", 5, {}, "op");
  bans_.AddDNSBan("host?.example.*", "dns", {}, "op");
  bans_.AddClientBan("DC++0.6*", "\xA7old", {}, "op");
  ASSERT_TRUE(bans_.Save());

  now_ = At(2024, 5, 3);
  TBanList reread(language_, {}, [this] { return now_; });
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FileVersion(), "1.040");
  const TBan* read = reread.FindIPBan("10.0.0.*");
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(read->Overrideable);
  EXPECT_EQ(read->Reason, ip->Reason);
  EXPECT_EQ(read->BannedBy, "Kavro");
  EXPECT_EQ(read->Issued, At(2024, 5, 1, 12));
  EXPECT_EQ(read->Expires, ip->Expires);
  EXPECT_EQ(read->LastUsed, ip->LastUsed);
  EXPECT_EQ(read->Level, 0) << "the level lives in memory only";

  const TBan* nick = reread.FindNickBan("*troll*");
  ASSERT_NE(nick, nullptr);
  EXPECT_FALSE(nick->Overrideable);
  EXPECT_EQ(nick->Expires, TDateTime{});
  EXPECT_EQ(nick->LastUsed, TDateTime{});
  ASSERT_NE(reread.FindDNSBan("host?.example.*"), nullptr);
  ASSERT_NE(reread.FindClientBan("DC++0.6*"), nullptr);
  EXPECT_EQ(reread.FindClientBan("DC++0.6*")->Reason, "\xA7old");

  // The patterns work again after the load.
  EXPECT_TRUE(reread.CheckNickAndIPBan("BigTroll", "1.1.1.1", false, false));
  EXPECT_TRUE(reread.CheckDNSBan("host1.example.org", false));
  EXPECT_TRUE(reread.CheckClientBan("DC++0.674", false));
  EXPECT_TRUE(reread.CheckNickAndIPBan("x", "10.0.0.3", true, true)) << "still overrideable";
}

TEST_F(BanListFileTest, ExpiredBansAreNotWritten) {
  bans_.AddNickBan("short", "", 0, TDateTime{now_.Seconds + 60}, "op");
  bans_.AddNickBan("long", "", 0, TDateTime{now_.Seconds + 3600}, "op");
  now_.Seconds += 60;
  ASSERT_TRUE(bans_.Save());
  const std::string file = ReadBansFile();
  EXPECT_EQ(file.find("short"), std::string::npos) << file;
  EXPECT_NE(file.find("<Nick>long</Nick>"), std::string::npos) << file;
}

TEST_F(BanListFileTest, LoadRulesForEachBan) {
  bans_.AddNickBan("before", "", 0, {}, "op");  // a load starts from an empty list
  WriteBans("<Nick>" + Ban("Nick", "perm", "[Permanent]", "<Reason>one</Reason>") +
            Ban("Nick", "PERM", "[Permanent]", "<Reason>two</Reason>") +  // held already
            Ban("Nick", "", "[Permanent]") +                               // no pattern
            Ban("Nick", "word", "tomorrow") +                              // no date
            Ban("Nick", "gone", "2024-05-01 11:59:59") +                   // earlier than now
            Ban("Nick", "later", "2024-05-01 12:00:01", "<LastUsed>[Never]</LastUsed>") +
            Ban("Nick", "day", "2024-06-01") +                             // a date alone
            Ban("Nick", "*", "[Permanent]") +                              // no pattern at all
            "</Nick>"
            "<IP>" + Ban("IP", "10.*", "[Permanent]", "<LastUsed>2024-01-02 03:04:05</LastUsed>") +
            Ban("Nick", "10.9.9.9", "[Permanent]") +  // the element named for another group
            "</IP>"
            "<DNS>" + Ban("DNS", "*.net", "[Permanent]", "<Overrideable>true</Overrideable>") +
            "</DNS>");
  ASSERT_TRUE(bans_.Load());
  EXPECT_EQ(bans_.FindNickBan("before"), nullptr);
  ASSERT_EQ(bans_.GetCount(TBanKind::Nick), 3);
  EXPECT_EQ(bans_.FindNickBan("perm")->Reason, "one") << "the first of two equal patterns wins";
  EXPECT_EQ(bans_.FindNickBan("later")->LastUsed, TDateTime{});
  EXPECT_EQ(bans_.FindNickBan("day")->Expires, At(2024, 6, 1));
  EXPECT_EQ(bans_.FindNickBan("word"), nullptr);
  EXPECT_EQ(bans_.FindNickBan("gone"), nullptr);
  ASSERT_EQ(bans_.GetCount(TBanKind::IP), 1);
  EXPECT_EQ(bans_.FindIPBan("10.*")->LastUsed, At(2024, 1, 2, 3, 4, 5));
  EXPECT_TRUE(bans_.FindDNSBan("*.net")->Overrideable);
  EXPECT_EQ(bans_.GetCount(TBanKind::Client), 0);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("'word'"), std::string::npos) << errors_[0];
}

// A damaged file, or one of another list, is read not at all and kept for
// repair: a save would replace it by the bans in memory.
TEST_F(BanListFileTest, DamagedFileOrOtherRootChangesNothingAndStopsSaving) {
  const std::string files[] = {
      "<?xml version=\"1.0\"?>\r\n<Bans version=\"1.040\"><Nick>" +
          Ban("Nick", "new", "[Permanent]"),
      "<?xml version=\"1.0\"?>\r\n<Accounts version=\"1.040\"><Nick>" +
          Ban("Nick", "new", "[Permanent]") + "</Nick></Accounts>",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    errors_.clear();
    bans_.AddNickBan("kept", "", 0, {}, "op");
    ASSERT_TRUE(WriteFileAtomic(TBanList::FilePath(), file));
    EXPECT_FALSE(bans_.Load());
    EXPECT_NE(bans_.FindNickBan("kept"), nullptr);
    EXPECT_EQ(bans_.FindNickBan("new"), nullptr);
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(bans_.Save());
    EXPECT_EQ(ReadBansFile(), file);

    // Repaired by hand: loads, and saving works again.
    WriteBans("<Nick>" + Ban("Nick", "fixed", "[Permanent]") + "</Nick>");
    EXPECT_TRUE(bans_.Load());
    EXPECT_NE(bans_.FindNickBan("fixed"), nullptr);
    EXPECT_TRUE(bans_.Save());
  }
}

TEST_F(BanListFileTest, WrittenForTheOwnerOnly) {
  bans_.AddNickBan("x", "", 0, {}, "op");
  ExpectSavedOwnerOnly(TBanList::FilePath(), [this] { return bans_.Save(); });
}

}  // namespace
