// settings/accounts.xml: every field through save and load, expiry, nicks
// from the file, accounts whose profile is missing, and reloads of both
// files while connections hold accounts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/account.h"
#include "security/account_users.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"
#include "utils/constants.h"
#include "utils/xml_document.h"

namespace {

class TRecordingUsers : public TAccountUsers {
 public:
  std::vector<std::string> Calls;
  void BindNewAccount(const std::shared_ptr<TAccount>& account) override {
    Calls.push_back("bind " + account->Nick);
  }
  void RefreshAccounts() override { Calls.push_back("refresh"); }
};

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second}, value));
  return value;
}

class TAccountsFileTest : public SettingsHomeTest {
 protected:
  void SetUp() override {
    SettingsHomeTest::SetUp();
    accounts_.SetClock([this] { return now_; });
    profiles_.Load();  // no file yet: allows saving
    accounts_.Load();
    profiles_.Add("Op");
    profiles_.Add("Vip");
  }

  static std::string ReadAccountsFile() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(TAccounts::FilePath(), bytes));
    return bytes;
  }
  static void WriteAccounts(std::string_view body) {
    ASSERT_TRUE(WriteFileAtomic(TAccounts::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Accounts "
                                "version=\"1.040\">" +
                                    std::string(body) + "</Accounts>"));
  }
  static std::string Account(std::string_view nick, std::string_view profile,
                             std::string_view rest = {}) {
    return "<Account><Nick>" + std::string(nick) + "</Nick><Profile>" + std::string(profile) +
           "</Profile>" + std::string(rest) + "</Account>";
  }

  TSettings settings_;
  TRecordingUsers users_;
  std::vector<std::string> errors_;
  TProfiles profiles_{settings_, &users_};
  TAccounts accounts_{profiles_, &users_,
                      [this](const std::string& line) { errors_.push_back(line); }};
  TDateTime now_ = At(2024, 5, 1, 12);
};

TEST_F(TAccountsFileTest, WrittenForTheOwnerOnly) {
  accounts_.Add("alice", "Op");
  ExpectSavedOwnerOnly(TAccounts::FilePath(), [this] { return accounts_.Save(); });
}

TEST_F(TAccountsFileTest, SaveIsRefusedUntilTheFirstLoadAttempt) {
  TAccounts fresh(profiles_);
  fresh.Add("Bob", "Op");
  EXPECT_FALSE(fresh.Save());
  EXPECT_FALSE(FileExists(TAccounts::FilePath()));
  EXPECT_FALSE(fresh.Load());
  EXPECT_TRUE(fresh.Save());
}

TEST_F(TAccountsFileTest, EveryFieldSurvivesSaveAndLoad) {
  const auto bob = accounts_.Add("Bob&<Co>", "Vip");
  bob->Pass = "p\"a'ss";
  bob->IPPattern = "10.0.*";
  bob->Owner = "Ann";
  bob->Created = At(2020, 2, 29, 23, 59, 58);
  bob->CreatedBy = "Carl";
  bob->OnJoin = "Hello\r\nthere";
  bob->ExpireDateEnabled = true;
  bob->ExpireDate = At(2030, 1, 1, 6);
  bob->LastChanged = At(2021, 3, 4, 5, 6, 7);
  bob->LastChangedBy = "Dora";
  bob->LastUsed = At(2022, 1, 1);
  bob->LastSpoke = At(2023, 12, 31, 1, 2, 3);
  bob->ShareHidden = true;
  bob->UserHidden = true;
  bob->Comment = "\xA7 note";
  bob->Stats.FirstUse = At(2019, 7, 8, 9, 10, 11);
  bob->Stats.Uptime = std::int64_t{1} << 40;
  bob->Stats.Kicks = 1;
  bob->Stats.Bans = 2;
  bob->Stats.TimeBans = 3;
  bob->Stats.Redirects = 4;
  ASSERT_TRUE(accounts_.Save());

  TAccounts reread(profiles_);
  ASSERT_TRUE(reread.Load());
  ASSERT_EQ(reread.GetCount(), 1);
  const TAccount& read = *reread.GetItem(0);
  EXPECT_EQ(read.Nick, bob->Nick);
  EXPECT_EQ(read.Profile, profiles_.Find("Vip"));
  EXPECT_EQ(read.Pass, bob->Pass);
  EXPECT_EQ(read.IPPattern, bob->IPPattern);
  EXPECT_EQ(read.Owner, bob->Owner);
  EXPECT_EQ(read.Created, bob->Created);
  EXPECT_EQ(read.CreatedBy, bob->CreatedBy);
  EXPECT_EQ(read.OnJoin, bob->OnJoin);
  EXPECT_TRUE(read.ExpireDateEnabled);
  EXPECT_EQ(read.ExpireDate, bob->ExpireDate);
  EXPECT_EQ(read.LastChanged, bob->LastChanged);
  EXPECT_EQ(read.LastChangedBy, bob->LastChangedBy);
  EXPECT_EQ(read.LastUsed, bob->LastUsed);
  EXPECT_EQ(read.LastSpoke, bob->LastSpoke);
  EXPECT_TRUE(read.ShareHidden);
  EXPECT_TRUE(read.UserHidden);
  EXPECT_EQ(read.Comment, bob->Comment);
  EXPECT_EQ(read.Stats.FirstUse, bob->Stats.FirstUse);
  EXPECT_EQ(read.Stats.Uptime, bob->Stats.Uptime);
  EXPECT_EQ(read.Stats.Kicks, 1);
  EXPECT_EQ(read.Stats.Bans, 2);
  EXPECT_EQ(read.Stats.TimeBans, 3);
  EXPECT_EQ(read.Stats.Redirects, 4);
  EXPECT_EQ(read.InUseCount, 0);
  EXPECT_FALSE(read.Deleted);
}

TEST_F(TAccountsFileTest, ElementsFollowTheFileLayout) {
  accounts_.Add("Bob", "Op");
  ASSERT_TRUE(accounts_.Save());
  TXMLDocument document;
  ASSERT_TRUE(document.LoadFromFile(TAccounts::FilePath()));
  const TXMLNode& root = document.Root();
  EXPECT_EQ(root.Name, "Accounts");
  EXPECT_EQ(root.GetAttribute("version"), kProgramVersion);
  ASSERT_EQ(root.GetChildCount(), 1);
  const TXMLNode& account = *root.GetChild(0);
  EXPECT_EQ(account.Name, "Account");
  std::vector<std::string> names;
  for (int i = 0; i < account.GetChildCount(); ++i) names.push_back(account.GetChild(i)->Name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Nick", "Pass", "Profile", "IPPattern", "Owner", "Created", "CreatedBy",
                       "OnJoin", "ExpireDate", "LastChanged", "LastChangedBy", "LastUsed",
                       "LastSpoke", "ShareHidden", "UserHidden", "Comment", "AccountStats"}));
  EXPECT_EQ(account.FindChild("Created")->Text, "2024-05-01 12:00:00");
  EXPECT_EQ(account.FindChild("ExpireDate")->GetAttribute("enable"), "false");
  EXPECT_EQ(account.FindChild("ShareHidden")->Text, "false");
  const TXMLNode& stats = *account.FindChild("AccountStats");
  names.clear();
  for (int i = 0; i < stats.GetChildCount(); ++i) names.push_back(stats.GetChild(i)->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"FirstUse", "Uptime", "Kicks", "Bans", "TimeBans",
                                             "Redirects"}));
}

TEST_F(TAccountsFileTest, ExpiredAccountsAreNotLoadedAndDeletedAtSave) {
  WriteAccounts(Account("Past", "Op", "<ExpireDate enable=\"true\">2024-04-30</ExpireDate>") +
                Account("Off", "Op", "<ExpireDate enable=\"false\">2000-01-01</ExpireDate>") +
                Account("Later", "Op", "<ExpireDate enable=\"true\">2024-05-02</ExpireDate>") +
                Account("Held", "Op", "<ExpireDate enable=\"true\">2024-05-02</ExpireDate>"));
  ASSERT_TRUE(accounts_.Load());
  EXPECT_EQ(accounts_.Find("Past"), nullptr);
  ASSERT_NE(accounts_.Find("Off"), nullptr);
  ASSERT_NE(accounts_.Find("Later"), nullptr);
  const auto held = accounts_.AssignToUser("Held");
  ASSERT_NE(held, nullptr);

  now_ = At(2024, 5, 3);
  ASSERT_TRUE(accounts_.Save());
  EXPECT_EQ(accounts_.Find("Later"), nullptr);
  EXPECT_TRUE(held->Deleted);
  EXPECT_EQ(profiles_.Find("Op")->AccountCount, 2);  // Off, and Held until its release
  const std::string bytes = ReadAccountsFile();
  EXPECT_NE(bytes.find("<Nick>Off</Nick>"), std::string::npos);
  EXPECT_EQ(bytes.find("<Nick>Later</Nick>"), std::string::npos);
  EXPECT_EQ(bytes.find("<Nick>Held</Nick>"), std::string::npos);
}

TEST_F(TAccountsFileTest, NicksFromTheFileAreMadeProtocolSafe) {
  const struct {
    const char* stored;
    const char* listed;
  } cases[] = {
      {"two words", "two\xA0words"},
      {"a$b|c", "a_b_c"},
      {"plain", "plain"},
  };
  std::string body;
  for (const auto& c : cases) body += Account(c.stored, "Op");
  body += Account("", "Op");  // no nick: skipped
  WriteAccounts(body);
  ASSERT_TRUE(accounts_.Load());
  EXPECT_EQ(accounts_.GetCount(), 3);
  for (const auto& c : cases) EXPECT_NE(accounts_.Find(c.listed), nullptr) << c.stored;
}

TEST_F(TAccountsFileTest, DuplicateNicksKeepTheFirst) {
  WriteAccounts(Account("Bob", "Op", "<Pass>first</Pass>") +
                Account("BOB", "Vip", "<Pass>second</Pass>"));
  ASSERT_TRUE(accounts_.Load());
  ASSERT_EQ(accounts_.GetCount(), 1);
  EXPECT_EQ(accounts_.Find("bob")->Pass, "first");
  EXPECT_EQ(profiles_.Find("Vip")->AccountCount, 0);
}

TEST_F(TAccountsFileTest, AccountOfAMissingProfileIsKeptAsWritten) {
  profiles_.Add("Gone");
  const auto bob = accounts_.Add("Bob", "Gone");
  bob->Pass = "secret";
  bob->ExpireDateEnabled = true;
  bob->ExpireDate = At(2031, 1, 1);
  accounts_.Add("Ann", "Op");
  ASSERT_TRUE(accounts_.Save());
  const std::string written = ReadAccountsFile();

  profiles_.Delete("Gone");
  ASSERT_TRUE(accounts_.Load());
  EXPECT_EQ(errors_, std::vector<std::string>{"Account Bob refers to the missing profile Gone"});
  // Still password-protected, without rights of its own.
  const auto kept = accounts_.AssignToUser("Bob");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Profile, nullptr);
  EXPECT_EQ(kept->Pass, "secret");
  accounts_.ReleaseAccount(kept);

  ASSERT_TRUE(accounts_.Save());
  EXPECT_EQ(ReadAccountsFile(), written);
}

TEST_F(TAccountsFileTest, LoadBindsLoggedInUsersOnlyThroughTheRefresh) {
  WriteAccounts(Account("Bob", "Op"));
  users_.Calls.clear();
  ASSERT_TRUE(accounts_.Load());
  EXPECT_EQ(users_.Calls, std::vector<std::string>{"refresh"});
}

TEST_F(TAccountsFileTest, ReloadWhileHeldKeepsTheOldObjectValid) {
  WriteAccounts(Account("Bob", "Op", "<Pass>old</Pass>") + Account("Ann", "Op"));
  ASSERT_TRUE(accounts_.Load());
  std::shared_ptr<TAccount> held = accounts_.AssignToUser("Bob");
  std::weak_ptr<TAccount> watch = held;
  const auto op = profiles_.Find("Op");
  EXPECT_EQ(op->AccountCount, 2);

  WriteAccounts(Account("Bob", "Op", "<Pass>new</Pass>"));
  users_.Calls.clear();
  ASSERT_TRUE(accounts_.Load());
  EXPECT_EQ(users_.Calls, std::vector<std::string>{"refresh"});
  EXPECT_TRUE(held->Deleted);
  EXPECT_EQ(held->Pass, "old");
  EXPECT_EQ(held->InUseCount, 1);
  const auto fresh = accounts_.Find("Bob");
  EXPECT_NE(fresh, held);
  EXPECT_EQ(fresh->Pass, "new");
  EXPECT_EQ(fresh->InUseCount, 0);
  EXPECT_EQ(accounts_.Find("Ann"), nullptr);
  EXPECT_EQ(op->AccountCount, 2);  // the new Bob, and the old one until released

  // The user list re-binds: one assign for the new object, one release for
  // the old.
  const auto rebound = accounts_.AssignToUser("Bob");
  accounts_.ReleaseAccount(held);
  held.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(op->AccountCount, 1);
  EXPECT_EQ(rebound->InUseCount, 1);
}

TEST_F(TAccountsFileTest, ProfilesReloadRelinksHeldAccounts) {
  profiles_.Find("Op")->Description = "old";
  ASSERT_TRUE(profiles_.Save());
  const auto bob = accounts_.Add("Bob", "Op");
  const auto ann = accounts_.Add("Ann", "Vip");
  const auto held = accounts_.AssignToUser("Bob");
  const std::shared_ptr<TProfile> oldOp = bob->Profile;

  // The new file lacks "Vip".
  ASSERT_TRUE(WriteFileAtomic(TProfiles::FilePath(),
                              "<?xml version=\"1.0\"?>\r\n<Profiles version=\"1.040\"><Profile>"
                              "<Name>Op</Name><Description>new</Description></Profile>"
                              "</Profiles>"));
  users_.Calls.clear();
  ASSERT_TRUE(profiles_.Load());
  EXPECT_EQ(users_.Calls, std::vector<std::string>{"refresh"});
  EXPECT_EQ(held, bob);
  EXPECT_NE(bob->Profile, oldOp);
  EXPECT_EQ(bob->Profile->Description, "new");
  EXPECT_EQ(bob->Profile->AccountCount, 1);
  EXPECT_EQ(oldOp->Description, "old");  // whoever still holds it
  EXPECT_EQ(ann->Profile, nullptr);
  EXPECT_EQ(accounts_.MissingProfileName(*ann), "Vip");
  EXPECT_EQ(errors_, std::vector<std::string>{"Account Ann refers to the missing profile Vip"});

  // Saved with the name it had, so restoring the profile restores the link.
  ASSERT_TRUE(accounts_.Save());
  EXPECT_NE(ReadAccountsFile().find("<Profile>Vip</Profile>"), std::string::npos);
}

// A damaged file, or one of another list, is read not at all and kept for
// repair: a save would replace it by the accounts in memory.
TEST_F(TAccountsFileTest, DamagedFileOrOtherRootChangesNothingAndStopsSaving) {
  const std::string files[] = {
      "<?xml version=\"1.0\"?>\r\n<Accounts version=\"1.040\">" + Account("New", "Op"),
      "<?xml version=\"1.0\"?>\r\n<Profiles>" + Account("New", "Op") + "</Profiles>",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    errors_.clear();
    accounts_.Add("Kept", "Op");
    ASSERT_TRUE(WriteFileAtomic(TAccounts::FilePath(), file));
    EXPECT_FALSE(accounts_.Load());
    EXPECT_NE(accounts_.Find("Kept"), nullptr);
    EXPECT_EQ(accounts_.Find("New"), nullptr);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find(TAccounts::FilePath()), std::string::npos) << errors_[0];
    EXPECT_FALSE(accounts_.Save());
    EXPECT_EQ(ReadAccountsFile(), file);
  }
}

}  // namespace
