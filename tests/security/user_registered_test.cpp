// Protected nicks: the list in memory and settings/protected.xml (layout,
// every field through save and load, the load rules for hand-edited files,
// damaged files and the file's mode).
#include "security/user_registered.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "settings/settings_test_home.h"

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second}, value));
  return value;
}

class UserRegisteredTest : public SettingsHomeTest {
 protected:
  void SetUp() override {
    SettingsHomeTest::SetUp();
    EXPECT_FALSE(list_.Load());  // no file: lifts the save guard
  }

  static std::string ReadFile() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(TUserRegistered::FilePath(), bytes));
    return bytes;
  }
  static void WriteFile(std::string_view items, std::string_view root = "Protecteds") {
    ASSERT_TRUE(WriteFileAtomic(TUserRegistered::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<" +
                                    std::string(root) + " version=\"1.040\">" +
                                    std::string(items) + "</" + std::string(root) + ">"));
  }
  static std::string Item(std::string_view name, std::string_view pass,
                          std::string_view rest = {}) {
    return "<Protected><Name>" + std::string(name) + "</Name><Pass>" + std::string(pass) +
           "</Pass>" + std::string(rest) + "</Protected>";
  }
  static unsigned Mode() {
    struct stat info {};
    EXPECT_EQ(stat(TUserRegistered::FilePath().c_str(), &info), 0);
    return info.st_mode & 0777;
  }

  std::vector<std::string> errors_;
  TDateTime now_ = At(2024, 5, 1, 12);
  TUserRegistered list_{[this](const std::string& line) { errors_.push_back(line); },
                        [this] { return now_; }};
};

TEST_F(UserRegisteredTest, ItemsByNameInAnyCase) {
  TUserRegItem* bob = list_.Add("Bob");
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(bob->Created, now_);
  EXPECT_EQ(bob->LastUsed, TDateTime{});
  EXPECT_EQ(list_.Add("BOB"), nullptr);
  EXPECT_EQ(list_.Add(""), nullptr);
  ASSERT_NE(list_.Add("a|b$c"), nullptr);
  EXPECT_NE(list_.Find("a_b_c"), nullptr) << "stored protocol-safe";
  list_.Add("alice");
  EXPECT_EQ(list_.Find("bOb"), bob);
  ASSERT_EQ(list_.GetCount(), 3);
  // Case folded to upper: 'L' sorts before '_'.
  EXPECT_EQ(list_.GetItem(0).Name, "alice");
  EXPECT_EQ(list_.GetItem(1).Name, "a_b_c");
  EXPECT_EQ(list_.GetItem(2).Name, "Bob");

  now_ = At(2024, 5, 2);
  EXPECT_TRUE(list_.MarkUsed("BOB"));
  EXPECT_EQ(bob->LastUsed, now_);
  now_ = At(2024, 5, 3);
  EXPECT_TRUE(list_.AddSession("bob", 1500));
  EXPECT_TRUE(list_.AddSession("bob", 500));
  EXPECT_EQ(bob->Uptime, 2000);
  EXPECT_EQ(bob->LastUsed, now_);
  EXPECT_FALSE(list_.MarkUsed("nobody"));
  EXPECT_FALSE(list_.AddSession("nobody", 5));

  EXPECT_TRUE(list_.Delete("BOB"));
  EXPECT_FALSE(list_.Delete("bob"));
  EXPECT_EQ(list_.Find("bob"), nullptr);
}

TEST_F(UserRegisteredTest, SaveIsRefusedUntilTheFirstLoadAttempt) {
  TUserRegistered fresh;
  fresh.Add("x")->Pass = "p";
  EXPECT_FALSE(fresh.Save());
  EXPECT_FALSE(FileExists(TUserRegistered::FilePath()));
  EXPECT_FALSE(fresh.Load());
  EXPECT_TRUE(fresh.Save());
}

TEST_F(UserRegisteredTest, LayoutAndFixedDates) {
  TUserRegItem* item = list_.Add("zed");
  item->Pass = "p<w";
  item->LastUsed = At(2024, 4, 30, 1, 2, 3);
  item->Uptime = 5000000000;
  list_.Add("amy")->Pass = "x";
  ASSERT_TRUE(list_.Save());

  // Items in name order, dates in the fixed format whatever the locale.
  EXPECT_EQ(ReadFile(),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<Protecteds version=\"1.040\">\r\n"
            "  <Protected>\r\n"
            "    <Name>amy</Name>\r\n"
            "    <Pass>x</Pass>\r\n"
            "    <Created>2024-05-01 12:00:00</Created>\r\n"
            "    <LastUsed>1970-01-01</LastUsed>\r\n"
            "    <Uptime>0</Uptime>\r\n"
            "  </Protected>\r\n"
            "  <Protected>\r\n"
            "    <Name>zed</Name>\r\n"
            "    <Pass>p&lt;w</Pass>\r\n"
            "    <Created>2024-05-01 12:00:00</Created>\r\n"
            "    <LastUsed>2024-04-30 01:02:03</LastUsed>\r\n"
            "    <Uptime>5000000000</Uptime>\r\n"
            "  </Protected>\r\n"
            "</Protecteds>");
}

TEST_F(UserRegisteredTest, EveryFieldSurvivesSaveAndLoad) {
  TUserRegItem* item = list_.Add("Some\xA0One");
  item->Pass = " a\"b'c&d\xA7 ";
  item->Created = At(2023, 1, 2, 3, 4, 5);
  item->LastUsed = At(2024, 2, 29, 23, 59, 59);
  item->Uptime = 123456789012;
  ASSERT_TRUE(list_.Save());

  TUserRegistered reread;
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FileVersion(), "1.040");
  ASSERT_EQ(reread.GetCount(), 1);
  const TUserRegItem& read = reread.GetItem(0);
  EXPECT_EQ(read.Name, item->Name);
  EXPECT_EQ(read.Pass, item->Pass);
  EXPECT_EQ(read.Created, item->Created);
  EXPECT_EQ(read.LastUsed, item->LastUsed);
  EXPECT_EQ(read.Uptime, item->Uptime);
}

TEST_F(UserRegisteredTest, LoadRulesForHandEditedFiles) {
  list_.Add("before")->Pass = "p";  // a load starts from an empty list
  now_ = At(2024, 6, 1);
  WriteFile(Item("first", "one", "<Uptime>7</Uptime>") +
            Item("FIRST", "two", "<Uptime>8</Uptime>") +  // the same name: the first wins
            Item("pipe|nick", "p") +                      // made protocol-safe
            Item("dollar$nick", "p") +
            Item("pipe$nick", "again") +  // equal to the first once made safe
            Item("", "orphan") +          // no name
            Item("open", "") +            // no password: dropped and reported
            Item("dated", "p", "<Created>2020-02-03</Created><LastUsed>soon</LastUsed>") +
            Item("undated", "p"));
  ASSERT_TRUE(list_.Load());
  EXPECT_EQ(list_.Find("before"), nullptr);
  ASSERT_EQ(list_.GetCount(), 5);
  EXPECT_EQ(list_.Find("first")->Pass, "one");
  EXPECT_EQ(list_.Find("first")->Uptime, 7);
  EXPECT_EQ(list_.Find("first")->Name, "first");
  EXPECT_EQ(list_.Find("pipe_nick")->Pass, "p");
  EXPECT_NE(list_.Find("dollar_nick"), nullptr);
  EXPECT_EQ(list_.Find("open"), nullptr);
  EXPECT_EQ(list_.Find("dated")->Created, At(2020, 2, 3));
  EXPECT_EQ(list_.Find("dated")->LastUsed, TDateTime{}) << "no date: never used";
  EXPECT_EQ(list_.Find("undated")->Created, now_) << "no date: created by this load";
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("'open'"), std::string::npos) << errors_[0];
}

// A damaged file, or one of another list, is read not at all and kept for
// repair: a save would replace it by the nicks in memory.
TEST_F(UserRegisteredTest, DamagedFileOrOtherRootChangesNothingAndStopsSaving) {
  const std::string files[] = {
      "<?xml version=\"1.0\"?>\r\n<Protecteds version=\"1.040\">" + Item("new", "p"),
      "<?xml version=\"1.0\"?>\r\n<Accounts version=\"1.040\">" + Item("new", "p") +
          "</Accounts>",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    errors_.clear();
    list_.Add("kept")->Pass = "p";
    ASSERT_TRUE(WriteFileAtomic(TUserRegistered::FilePath(), file));
    EXPECT_FALSE(list_.Load());
    EXPECT_NE(list_.Find("kept"), nullptr);
    EXPECT_EQ(list_.Find("new"), nullptr);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("protected.xml"), std::string::npos) << errors_[0];
    EXPECT_FALSE(list_.Save());
    EXPECT_EQ(ReadFile(), file);

    // Repaired by hand: loads, and saving works again.
    WriteFile(Item("fixed", "p"));
    EXPECT_TRUE(list_.Load());
    EXPECT_NE(list_.Find("fixed"), nullptr);
    EXPECT_TRUE(list_.Save());
  }
}

TEST_F(UserRegisteredTest, WrittenForTheOwnerOnly) {
  list_.Add("x")->Pass = "secret";
  ASSERT_TRUE(list_.Save());
  EXPECT_EQ(Mode(), 0600u);

  // A file left readable by others (an older copy, a hand edit) is
  // tightened by the next save.
  ASSERT_EQ(chmod(TUserRegistered::FilePath().c_str(), 0644), 0);
  ASSERT_TRUE(list_.Load());
  ASSERT_TRUE(list_.Save());
  EXPECT_EQ(Mode(), 0600u);
}

}  // namespace
