// Importing Murn's saved lists: hand-written files of each kind, plain and
// coded, the rights mapping row by row, wrong roots and damaged files, the
// clear-old flag, and the relink that follows every import.
#include "security/settings_converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/temp_folder.h"
#include "utils/constants.h"

namespace {

using R = TProfileRight;

// 2010-06-15 18:45:00, the import time of every test.
TDateTime ImportTime() {
  TDateTime t;
  EXPECT_TRUE(ParseDateTime("2010-06-15 18:45:00", t));
  return t;
}

TDateTime At(const char* text) {
  TDateTime t;
  EXPECT_TRUE(ParseDateTime(text, t)) << text;
  return t;
}

std::string Xml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n" + body;
}

class SettingsConverterTest : public testing::Test {
 protected:
  SettingsConverterTest() {
    converter_.SetClock([] { return ImportTime(); });
    converter_.SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
    converter_.SetRoomsRelink([this] { ++relinks_; });
    accounts_.SetClock([] { return ImportTime(); });
  }

  std::string Write(const std::string& name, const std::string& body) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteFileAtomic(path, Xml(body)));
    return path;
  }

  // One profile element holding `children`, imported; the profile or null.
  std::shared_ptr<TProfile> ImportOneProfile(const std::string& children) {
    const std::string file =
        Write("profiles.xml", "<Profiles><P><Key>Imp</Key>" + children + "</P></Profiles>");
    profiles_.Delete("Imp");
    EXPECT_TRUE(converter_.ImportProfiles(file, false));
    return profiles_.Find("Imp");
  }

  TTempFolder folder_{"kavro-convert-"};
  TSettings settings_;
  TLanguage language_;
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
  TBanList bans_{language_, {}, [] { return ImportTime(); }};
  TISPList isps_{language_};
  TSettingsConverter converter_{profiles_, accounts_, bans_, isps_};
  std::vector<std::string> messages_;
  int relinks_ = 0;
};

TEST(DecodeCharCodesTest, Table) {
  const struct {
    const char* coded;
    std::string text;
  } cases[] = {
      {"#97#98#99", "abc"},
      {"#321", "A"},          // 8 bits: 321 - 256
      {"#0#97", "a"},         // a code of 0 adds nothing
      {"#256#66", "B"},       // wraps to 0
      {"", ""},
      {"#", ""},
      {"97#98", "\x07" "b"},  // the first character is skipped, whatever it is
      {"#6x5#", "A"},         // other characters are ignored
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeCharCodes(c.coded), c.text) << c.coded;
}

TEST_F(SettingsConverterTest, ScanFolderListsTheFilesInDialogOrder) {
  EXPECT_TRUE(ScanFolder(folder_.File("missing")).empty());
  EXPECT_TRUE(ScanFolder(folder_.String()).empty());

  Write("accounts.xml", "<Accounts/>");
  std::vector<TConvertItem> items = ScanFolder(folder_.String());
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Kind, TConvertKind::Accounts);
  EXPECT_EQ(ConvertCaption(items[0].Kind), "Accounts");
  EXPECT_EQ(items[0].FileName, folder_.File("accounts.xml"));

  // Names from Windows in any case; the exact lower-case name wins.
  Write("ACCOUNTS.XML", "<Accounts/>");
  Write("ISPs.xml", "<ISPs/>");
  Write("Bans.XML", "<Permbans/>");
  Write("Profiles.xml", "<Profiles/>");
  Write("other.xml", "<Profiles/>");
  items = ScanFolder(folder_.String() + "/");
  std::vector<std::string> seen;
  for (const TConvertItem& item : items)
    seen.push_back(std::string(ConvertCaption(item.Kind)) + " " +
                   std::filesystem::path(item.FileName).filename().string());
  EXPECT_EQ(seen, (std::vector<std::string>{"Profiles Profiles.xml", "Accounts accounts.xml",
                                            "Banlist Bans.XML", "ISP/IP list ISPs.xml"}));
}

TEST(ConvertResultLineTest, MemoTexts) {
  EXPECT_EQ(ConvertResultLine(TConvertKind::Profiles, true), "Successfully converted profiles");
  EXPECT_EQ(ConvertResultLine(TConvertKind::Accounts, false), "Failed to converted accounts");
  EXPECT_EQ(ConvertResultLine(TConvertKind::Bans, true), "Successfully converted banlist");
  EXPECT_EQ(ConvertResultLine(TConvertKind::ISPs, false), "Failed to converted ISP/IP list");
}

// Each Murn element alone, at 3: the rights it sets (level rights to 3,
// bool rights on) and no other.
TEST_F(SettingsConverterTest, RightsMappingRowByRow) {
  const struct {
    const char* element;
    std::vector<R> rights;
  } rows[] = {
      {"MayOverrideISPIPRules", {R::MayByPassISPIPCheck}},
      {"MayOverrideISPIPCheck", {R::UseProfileConnRestriction}},
      {"MayOverrideTempBans", {R::MayByPassTmpBans}},
      {"MayEnterEvenIfHubIsFull", {R::MayEnterEvenIfHubIsFull}},
      {"NoFloodCheck", {R::MayByPassFloodCheck}},
      {"MayUseOpForceMove", {R::MayRedirect}},
      {"MayUseTheMurnBot",
       {R::MayUseHubCommands, R::MayShowHubInfo, R::MayUseInform, R::MayUseOPM, R::MayUseWarn}},
      {"MayUseTheUserInfoCommand", {R::MayShowUserInfo, R::MayShowTrafficInfo}},
      {"MayUseTheIPInfoCommand", {R::MayShowIPInfo, R::MayShowNickInfo}},
      {"MayUseMuteCommand", {R::MayUseMuteUser, R::MayUseLunarizeUser, R::MayUseKennylizeUser}},
      {"MayUseTheDropCommand", {R::MayDropUser}},
      {"MayAdminISPIP",
       {R::MayISPAddISP, R::MayISPDelISP, R::MayISPShowISPs, R::MayISPSetMinShare,
        R::MayISPSetMaxShare, R::MayISPSetMaxHubs, R::MayISPSetMinSlots, R::MayISPSetMaxSlots,
        R::MayISPSetSlotRatio, R::MayISPShowIPsOnISP, R::MayISPAddIP, R::MayISPDelIP}},
      {"MayAdminUserAccounts",
       {R::MayAccountsAdd, R::MayAccountsDel, R::MayAccountsList, R::MayAccountsSetProfile,
        R::MayAccountsSetIPs, R::MayAccountsShowIPs, R::MayAccountsSetComment,
        R::MayAccountsSetGreeting, R::MayAccountsSetExpireDate, R::MayAccountsSetOwner,
        R::MayAccountsSetPass, R::MayAccountsShowPass, R::MayAccountsProfilesShow}},
      {"MayUseTheBanCommand",
       {R::MayBanNick, R::MayBanIP, R::MayBanDNS, R::MayBanClients, R::MayBanTempban}},
      {"MayUseTheBroadCastCommand", {R::MayUsePM, R::MayUsePMProfile, R::MayUseMC}},
      {"MayUseTheTopicCommand", {R::MaySetTopic}},
      {"MayAdminRedirects",
       {R::MayRedirectChangeOnHubFull, R::MayRedirectChangeOnIncorrectISP,
        R::MayRedirectChangeOnLowShare, R::MayRedirectChangeOnHighShare,
        R::MayRedirectChangeOnRegOnly, R::MayRedirectChangeOnPassive,
        R::MayRedirectChangeOnNoTag, R::MayRedirectChangeOnHighHubs,
        R::MayRedirectChangeOnLowSlots, R::MayRedirectChangeOnHighSlots,
        R::MayRedirectChangeOnLowSlotRatio, R::MayRedirectChangeOnBaned}},
      {"MayUseTheRedirectAllCommand", {R::MayRedirectAll}},
      {"MayUseTheHubCommands",
       {R::MayLockHub, R::MayChangeUserLimit, R::MaySetMinShare, R::MaySetMaxShare,
        R::MaySetMaxHubs, R::MaySetMinSlots, R::MaySetMaxSlots, R::MaySetSlotRatio}},
      {"MayNotBeKickedBanned", {R::MayNeverBeDropped, R::MayNeverBeKicked, R::MayNeverBeRedirected}},
      {"MayUseTheKennylizeCommand", {R::MayUseKennylizeUser}},
      {"MayUseTheLunarizeCommand", {R::MayUseLunarizeUser}},
      {"MayUseTheSayCommand", {R::MayUseSay}},
      {"MayUseTheShowPasswordCommand", {R::MayAccountsSetPass, R::MayAccountsShowPass}},
  };
  const TProfile fresh;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.element);
    const std::string tag = row.element;
    const std::shared_ptr<TProfile> profile =
        ImportOneProfile("<AccountLevel>0</AccountLevel><" + tag + ">3</" + tag + ">");
    ASSERT_NE(profile, nullptr);
    std::map<std::string, int> changed;
    std::map<std::string, int> expected;
    for (const TProfileRightInfo& info : ProfileRights()) {
      if (profile->Right(info.Right) != fresh.Right(info.Right))
        changed[std::string(info.Name)] = profile->Right(info.Right);
    }
    for (const R right : row.rights) {
      const bool level = ProfileRightInfo(right).Kind == TRightKind::Level;
      // MayUseWarn comes from the hub-command rule, always at 1.
      expected[std::string(ProfileRightInfo(right).Name)] =
          right == R::MayUseWarn ? 1 : (level ? 3 : 1);
    }
    EXPECT_EQ(changed, expected);
  }
}

TEST_F(SettingsConverterTest, LaterRowsOverwriteAndValuesReadByKind) {
  std::shared_ptr<TProfile> p = ImportOneProfile(
      "<MayUseMuteCommand>3</MayUseMuteCommand><MayUseTheKennylizeCommand>1"
      "</MayUseTheKennylizeCommand><MayAdminUserAccounts>2</MayAdminUserAccounts>"
      "<MayUseTheShowPasswordCommand>0</MayUseTheShowPasswordCommand>");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->MayUseMuteUser(), 3);
  EXPECT_EQ(p->MayUseLunarizeUser(), 3);
  EXPECT_EQ(p->MayUseKennylizeUser(), 1);
  EXPECT_EQ(p->MayAccountsAdd(), 2);
  EXPECT_EQ(p->MayAccountsSetPass(), 0);
  EXPECT_EQ(p->MayAccountsShowPass(), 0);

  // Booleans: "1", "true" in any case, integers above 0; levels clamp.
  const struct {
    const char* text;
    int boolean;  // MayByPassFloodCheck; -1: the new profile's value
    int level;    // MayDropUser
  } values[] = {
      {"1", 1, 1},      {"true", 1, -1},  {"TRUE", 1, -1}, {"5", 1, 3},   {"0", 0, 0},
      {"false", 0, -1}, {"-4", 0, 0},     {"yes", -1, -1}, {" 2 ", 1, 2}, {"", -1, -1},
  };
  const TProfile fresh;
  for (const auto& v : values) {
    SCOPED_TRACE(v.text);
    p = ImportOneProfile(std::string("<NoFloodCheck>") + v.text + "</NoFloodCheck><MayUseTheDropCommand>" +
                         v.text + "</MayUseTheDropCommand>");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->MayByPassFloodCheck(),
              v.boolean < 0 ? fresh.MayByPassFloodCheck() : v.boolean == 1);
    EXPECT_EQ(p->MayDropUser(), v.level < 0 ? fresh.MayDropUser() : v.level);
  }
}

TEST_F(SettingsConverterTest, LevelGrantsItsRights) {
  const struct {
    int level;
    bool op, actionFeed, kickFeed, nickBans, dnsBans;
    int kick;
  } rows[] = {
      {0, false, false, false, false, false, 0},
      {1, false, false, false, true, false, 0},
      {2, true, false, true, true, false, 1},
      {3, true, true, true, true, true, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.level);
    const std::shared_ptr<TProfile> p =
        ImportOneProfile("<AccountLevel>" + std::to_string(row.level) + "</AccountLevel>");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->ProfileLevel, row.level);
    EXPECT_EQ(p->IsOperator(), row.op);
    EXPECT_EQ(p->MayKickUser(), row.kick);
    EXPECT_EQ(p->MayReceiveActionFeed(), row.actionFeed);
    EXPECT_EQ(p->MayReceiveErrorFeed(), row.actionFeed);
    EXPECT_EQ(p->MayReceiveKickFeed(), row.kickFeed);
    EXPECT_EQ(p->MayReceiveTextCommandFeed(), row.kickFeed);
    EXPECT_EQ(p->MayByPassNickBans(), row.nickBans);
    EXPECT_EQ(p->MayByPassIPBans(), row.nickBans);
    EXPECT_EQ(p->MayByPassDNSBans(), row.dnsBans);
    EXPECT_EQ(p->MayByPassClientBans(), row.dnsBans);
  }
}

TEST_F(SettingsConverterTest, ProfilesPlainAndCoded) {
  // "Old" stays unless cleared; "Ops" is replaced by a new object to which
  // its account moves; "regular" names a built-in profile.
  ASSERT_NE(profiles_.Add("Old"), nullptr);
  const std::shared_ptr<TProfile> oldOps = profiles_.Add("Ops");
  oldOps->Description = "before";
  const std::shared_ptr<TAccount> alice = accounts_.Add("alice", "Ops");
  ASSERT_NE(alice, nullptr);

  const std::string plain = Write(
      "profiles.xml",
      "<Profiles><A><Key>Ops</Key><Description>Operators</Description>"
      "<AccountLevel>2</AccountLevel><Share enabled=\"1\">1048576</Share>"
      "<MaxHubs enabled=\"1\">4</MaxHubs><MinSlots enabled=\"0\">2</MinSlots>"
      "<MaxSlots enabled=\"true\">9</MaxSlots><SlotRatio>3</SlotRatio></A>"
      "<B><Key>regular</Key></B><C><Key></Key></C></Profiles>");
  TConvertCounts counts;
  ASSERT_TRUE(converter_.ImportProfiles(plain, false, &counts));
  EXPECT_EQ(counts.Imported, 1);
  EXPECT_EQ(counts.Skipped, 2);
  EXPECT_NE(profiles_.Find("Old"), nullptr);
  const std::shared_ptr<TProfile> ops = profiles_.Find("Ops");
  ASSERT_NE(ops, nullptr);
  EXPECT_NE(ops, oldOps);
  EXPECT_EQ(ops->Description, "Operators");
  EXPECT_EQ(alice->Profile, ops);  // relinked
  EXPECT_EQ(ops->AccountCount, 1);
  const TConnRestriction& r = ops->Restriction;
  EXPECT_TRUE(r.MinShareEnabled);
  EXPECT_EQ(r.MinShare, 1048576);
  EXPECT_TRUE(r.MaxHubsEnabled);
  EXPECT_EQ(r.MaxHubs, 4);
  EXPECT_FALSE(r.MinSlotsEnabled);
  EXPECT_EQ(r.MinSlots, 2);
  EXPECT_FALSE(r.MaxSlotsEnabled);  // "enabled" counts only when exactly "1"
  EXPECT_FALSE(r.SlotRatioEnabled);
  EXPECT_EQ(r.SlotRatio, 3);
  EXPECT_EQ(profiles_.Regular()->Description, "");
  EXPECT_EQ(relinks_, 1);

  // Coded, with clear-old: "Old" and "Ops" go, "VIP" comes.
  const std::string coded = Write(
      "profiles.xml",
      "<Profiles encoded=\"1\"><P><Key>#86#73#80</Key><Description>#104#105</Description>"
      "</P></Profiles>");
  ASSERT_TRUE(converter_.ImportProfiles(coded, true, &counts));
  EXPECT_EQ(counts.Imported, 1);
  EXPECT_EQ(profiles_.GetCount(), 1);
  ASSERT_NE(profiles_.Find("VIP"), nullptr);
  EXPECT_EQ(profiles_.Find("VIP")->Description, "hi");
  EXPECT_EQ(alice->Profile, nullptr);  // its profile is gone; the account is kept
  EXPECT_EQ(ops->AccountCount, 0);
}

TEST_F(SettingsConverterTest, AccountsPlainAndCoded) {
  ASSERT_NE(profiles_.Add("Ops"), nullptr);
  const std::shared_ptr<TAccount> before = accounts_.Add("alice", "Ops");
  ASSERT_NE(before, nullptr);
  ASSERT_NE(accounts_.Add("keep", "Ops"), nullptr);

  // Coded: "alice", "MURN gui", "p|q", "old", "baddate" and a nick of
  // nothing but a 0 code.
  const std::string file = Write(
      "accounts.xml",
      "<Accounts encoded=\"1\">"
      "<A><Profile>#79#112#115</Profile><Nick>#97#108#105#99#101</Nick>"
      "<Owner>#77#85#82#78#32#103#117#105</Owner><LastChangeBy>#111#112</LastChangeBy>"
      "<Password>#115#49</Password><IPPattern>#49#48#46</IPPattern>"
      "<WelcomeMessage>#104#105</WelcomeMessage><CreateDate>2004-05-06 07:08:09</CreateDate>"
      "<ExpireDate enabled=\"1\">2030-01-02</ExpireDate><LastUsedDate>2009-01-01 10:00:00"
      "</LastUsedDate><Comment>#99</Comment></A>"
      "<B><Profile>#79#112#115</Profile><Nick>#112#124#113</Nick></B>"
      "<C><Profile>#79#112#115</Profile><Nick>#111#108#100</Nick>"
      "<ExpireDate enabled=\"1\">2010-06-15 18:44:59</ExpireDate></C>"
      "<D><Profile>#79#112#115</Profile><Nick>#98#97#100#100#97#116#101</Nick>"
      "<ExpireDate enabled=\"1\">someday</ExpireDate></D>"
      "<E><Profile>#79#112#115</Profile><Nick>#0</Nick></E>"
      "</Accounts>");
  TConvertCounts counts;
  ASSERT_TRUE(converter_.ImportAccounts(file, false, true, &counts));
  EXPECT_EQ(counts.Imported, 3);
  EXPECT_EQ(counts.Skipped, 2);  // expired, empty nick

  const std::shared_ptr<TAccount> alice = accounts_.Find("alice");
  ASSERT_NE(alice, nullptr);
  EXPECT_NE(alice, before);
  EXPECT_TRUE(before->Deleted);
  EXPECT_EQ(alice->Profile, profiles_.Find("Ops"));
  EXPECT_EQ(alice->Owner, kDefaultGuiOwnerName);
  EXPECT_EQ(alice->CreatedBy, kDefaultGuiOwnerName);
  EXPECT_EQ(alice->LastChangedBy, "op");
  EXPECT_EQ(alice->Pass, "s1");
  EXPECT_EQ(alice->IPPattern, "10.");
  EXPECT_EQ(alice->OnJoin, "hi");
  EXPECT_EQ(alice->Created, At("2004-05-06 07:08:09"));
  EXPECT_TRUE(alice->ExpireDateEnabled);
  EXPECT_EQ(alice->ExpireDate, At("2030-01-02"));
  EXPECT_EQ(alice->LastUsed, At("2009-01-01 10:00:00"));
  EXPECT_EQ(alice->LastChanged, ImportTime());
  EXPECT_EQ(alice->Comment, "c");

  const std::shared_ptr<TAccount> pq = accounts_.Find("p_q");  // protocol-safe
  ASSERT_NE(pq, nullptr);
  EXPECT_EQ(pq->Pass, "");
  EXPECT_EQ(pq->Owner, "");
  EXPECT_EQ(accounts_.Find("old"), nullptr);
  const std::shared_ptr<TAccount> baddate = accounts_.Find("baddate");
  ASSERT_NE(baddate, nullptr);
  EXPECT_FALSE(baddate->ExpireDateEnabled);
  EXPECT_NE(accounts_.Find("keep"), nullptr);
  EXPECT_EQ(profiles_.Find("Ops")->AccountCount, 4);

  // Plain, clear-old: "keep" goes.
  const std::string plain = Write(
      "accounts.xml", "<Accounts><A><Profile>Ops</Profile><Nick>zed</Nick>"
                      "<Owner>someone</Owner></A></Accounts>");
  ASSERT_TRUE(converter_.ImportAccounts(plain, true, true, &counts));
  EXPECT_EQ(accounts_.GetCount(), 1);
  EXPECT_EQ(accounts_.Find("zed")->Owner, "someone");
  EXPECT_EQ(profiles_.Find("Ops")->AccountCount, 1);
}

TEST_F(SettingsConverterTest, AccountsOfMissingProfiles) {
  const std::string file = Write(
      "accounts.xml", "<Accounts><A><Profile>Ghost</Profile><Nick>a</Nick></A>"
                      "<B><Profile>Ghost</Profile><Nick>b</Nick></B>"
                      "<C><Profile>Registered</Profile><Nick>c</Nick></C></Accounts>");
  TConvertCounts counts;
  EXPECT_TRUE(converter_.ImportAccounts(file, false, false, &counts));
  EXPECT_EQ(accounts_.GetCount(), 0);
  EXPECT_EQ(counts.Skipped, 3);
  EXPECT_EQ(profiles_.Find("Ghost"), nullptr);

  EXPECT_TRUE(converter_.ImportAccounts(file, false, true, &counts));
  EXPECT_EQ(counts.Imported, 2);
  EXPECT_EQ(counts.Skipped, 1);  // a built-in profile is no account's
  ASSERT_NE(profiles_.Find("Ghost"), nullptr);
  EXPECT_EQ(profiles_.Find("Ghost")->AccountCount, 2);
}

TEST_F(SettingsConverterTest, Bans) {
  ASSERT_NE(bans_.AddNickBan("dup", "old reason", 0, {}, "x"), nullptr);
  ASSERT_NE(bans_.AddDNSBan("*.example", "", {}, "x"), nullptr);
  const std::string file = Write(
      "bans.xml",
      "<Permbans encoded=\"1\"><Nickbans>"
      "<B><Data>#100#117#112</Data><BannedBy>#111#112</BannedBy><Reason>#110#111</Reason>"
      "<IssuedTime>12:30:00</IssuedTime></B>"
      "<B><Data></Data></B></Nickbans>"
      "<IPBans><B><Data>#49#48#46#49#46#50#46#51</Data><IssuedDate>2005-01-02</IssuedDate>"
      "<IssuedTime>01:02:03</IssuedTime></B>"
      "<B><Data>#49#48#46#57#46#42</Data><IssuedDate>2005-01-02 23:00:00</IssuedDate></B>"
      "</IPBans>"
      "<Clientbans><B><Data>#76#101#101#99#104</Data><IssuedDate>junk</IssuedDate>"
      "<IssuedTime>junk</IssuedTime></B></Clientbans></Permbans>");
  TConvertCounts counts;
  ASSERT_TRUE(converter_.ImportBans(file, false, &counts));
  EXPECT_EQ(counts.Imported, 4);
  EXPECT_EQ(counts.Skipped, 1);

  const TBan* dup = bans_.FindNickBan("dup");
  ASSERT_NE(dup, nullptr);
  EXPECT_EQ(dup->BannedBy, "op");
  EXPECT_EQ(dup->Reason, "no");
  EXPECT_EQ(dup->Level, 1);
  EXPECT_EQ(dup->Expires, TDateTime{});
  EXPECT_EQ(dup->Issued, At("2010-06-15 12:30:00"));  // the import day
  const TBan* ip = bans_.FindIPBan("10.1.2.3");
  ASSERT_NE(ip, nullptr);
  EXPECT_EQ(ip->Issued, At("2005-01-02 01:02:03"));
  ASSERT_NE(bans_.FindIPBan("10.9.*"), nullptr);
  EXPECT_EQ(bans_.FindIPBan("10.9.*")->Issued, At("2005-01-02"));  // the date part only
  const TBan* client = bans_.FindClientBan("Leech");
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->Issued, At("2010-06-15"));
  EXPECT_EQ(client->Level, 1);
  EXPECT_NE(bans_.FindDNSBan("*.example"), nullptr);

  const std::string plain =
      Write("bans.xml", "<Permbans><IPBans><B><Data>1.2.3.4</Data></B></IPBans></Permbans>");
  ASSERT_TRUE(converter_.ImportBans(plain, true, &counts));
  EXPECT_EQ(counts.Imported, 1);
  EXPECT_EQ(bans_.FindNickBan("dup"), nullptr);
  EXPECT_EQ(bans_.FindDNSBan("*.example"), nullptr);
  EXPECT_EQ(bans_.GetCount(TBanKind::IP), 1);
}

TEST_F(SettingsConverterTest, ISPs) {
  int refreshes = 0;
  isps_.SetUsersRefresh([&refreshes] { ++refreshes; });
  TISP* other = isps_.Add("Other");
  ASSERT_TRUE(isps_.AddIP(*other, "10.*"));
  ASSERT_TRUE(isps_.AddIP(*other, "10.5.*"));
  ASSERT_NE(isps_.Add("Gone"), nullptr);
  const std::string file = Write(
      "isps.xml",
      "<ISPs encoded=\"1\"><I><Name>#78#101#116</Name><Prefix>#91#78#93</Prefix>"
      "<AllowPassive>false</AllowPassive><ShareLimit enabled=\"1\">5</ShareLimit>"
      "<MaxHubs enabled=\"1\">4</MaxHubs><MinSlots enabled=\"1\">1</MinSlots>"
      "<MaxSlots>8</MaxSlots><SlotRatio enabled=\"1\">2</SlotRatio>"
      "<Range><R>10.5.*.*</R><R>192.168.1.1</R><R>bad.mask</R><R>1.2.3.4.5</R></Range></I>"
      "<J><Name>#66#105#103</Name><ShareLimit enabled=\"1\">9000000000</ShareLimit></J>"
      "<K><Name>#78#101#103</Name><ShareLimit>-3</ShareLimit></K>"
      "<L><Name></Name></L></ISPs>");
  TConvertCounts counts;
  refreshes = 0;
  ASSERT_TRUE(converter_.ImportISPs(file, false, &counts));
  EXPECT_GT(refreshes, 0);
  EXPECT_EQ(counts.Imported, 3);
  EXPECT_EQ(counts.Skipped, 1);

  TISP* net = isps_.Find("Net");
  ASSERT_NE(net, nullptr);
  EXPECT_EQ(net->Prefix, "[N]");
  EXPECT_FALSE(net->Restriction.MayBeInPassiveMode);
  EXPECT_TRUE(net->Restriction.MinShareEnabled);
  EXPECT_EQ(net->Restriction.MinShare, 5 * 1073741824LL);
  EXPECT_TRUE(net->Restriction.MaxHubsEnabled);
  EXPECT_EQ(net->Restriction.MaxHubs, 4);
  EXPECT_TRUE(net->Restriction.MinSlotsEnabled);
  EXPECT_FALSE(net->Restriction.MaxSlotsEnabled);
  EXPECT_EQ(net->Restriction.MaxSlots, 8);
  EXPECT_EQ(net->Restriction.SlotRatio, 2);
  // The range moved; the wider one stayed with its ISP.
  EXPECT_EQ(isps_.FindByIP("10.5.1.1"), net);
  EXPECT_EQ(isps_.FindByIP("10.6.1.1"), other);
  EXPECT_EQ(isps_.FindByIP("192.168.1.1"), net);
  EXPECT_EQ(isps_.RangeCount(), 3);
  EXPECT_EQ(isps_.Find("Big")->Restriction.MinShare, INT64_MAX);
  EXPECT_EQ(isps_.Find("Neg")->Restriction.MinShare, 0);
  EXPECT_NE(isps_.Find("Gone"), nullptr);

  const std::string plain = Write("isps.xml", "<ISPs><I><Name>Only</Name></I></ISPs>");
  ASSERT_TRUE(converter_.ImportISPs(plain, true, &counts));
  EXPECT_EQ(isps_.GetCount(), 1);
  EXPECT_EQ(isps_.RangeCount(), 0);
}

TEST_F(SettingsConverterTest, WrongRootsAndDamagedFiles) {
  const struct {
    TConvertKind kind;
    const char* body;
    const char* message;
  } cases[] = {
      {TConvertKind::Profiles, "<Accounts/>", "Incorrect profiles file."},
      {TConvertKind::Accounts, "<accounts/>", "Incorrect accounts file."},
      {TConvertKind::Bans, "<Bans/>", "Incorrect banlist file."},
      {TConvertKind::ISPs, "<Profiles/>", "Incorrect ISP/IP list file."},
      {TConvertKind::Accounts, "<Accounts><A>", "TSettingsConverter.ImportAccounts(Cannot read "},
      {TConvertKind::ISPs, "", "TSettingsConverter.ImportISPs(Cannot read "},
  };
  ASSERT_NE(profiles_.Add("Keep"), nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    messages_.clear();
    relinks_ = 0;
    const std::string file = folder_.File("file.xml");
    ASSERT_TRUE(WriteFileAtomic(file, c.body));
    TConvertCounts counts{7, 7};
    // Clear-old is not reached: nothing of the hub's lists is lost.
    EXPECT_FALSE(converter_.Import({file, c.kind}, true, true, &counts));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind(c.message, 0), 0u) << messages_[0];
    EXPECT_EQ(counts.Imported, 0);
    EXPECT_EQ(relinks_, 1);  // the relink runs however the import ends
    EXPECT_NE(profiles_.Find("Keep"), nullptr);
  }
  messages_.clear();
  EXPECT_FALSE(converter_.ImportBans(folder_.File("none.xml"), false));
  EXPECT_EQ(messages_.size(), 1u);
}

}  // namespace
