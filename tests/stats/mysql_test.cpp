#include "stats/mysql.h"

#include <chrono>
#include <regex>
#include <thread>

#include "mysql_test_server.h"

namespace {

TEST(MySQLTextTest, EscapesForDoubleQuotedValues) {
  EXPECT_EQ(EscapeText("\\\""), "\\\\\\\"");
  EXPECT_EQ(EscapeText(std::string("a\0b", 3)), "a\\0b");
  EXPECT_EQ(QuoteName("we`ird"), "`we``ird`");
}

TEST(MySQLTextTest, NotLoadedFailsEveryCall) {
  TMySQL db;
  db.SetNotLoaded("MySQL load error");
  EXPECT_FALSE(db.Connect("127.0.0.1", "u", 1, "p"));
  EXPECT_EQ(db.Query("SELECT 1"), nullptr);
  EXPECT_EQ(db.ErrorNumber(), -1);
  EXPECT_EQ(db.ErrorText(), "MySQL load error");
  EXPECT_EQ(db.InsertId(), -1);
}

TEST(MySQLTextTest, ServerDownIsAnErrorWithText) {
  TMySQL db;
  EXPECT_FALSE(db.Connect("127.0.0.1", "nobody", 1, ""));  // nothing listens on port 1
  EXPECT_NE(db.ErrorNumber(), 0);
  EXPECT_FALSE(db.ErrorText().empty());
  EXPECT_EQ(db.Query("SELECT 1"), nullptr);
}

class MySQLTest : public TMySQLServerTest {};

// Bytes 0x80-0xFF and NUL, quotes and backslashes survive the round trip on
// a server whose default character set is utf8mb4.
TEST_F(MySQLTest, TextIsStoredByteExact) {
  ASSERT_EQ(db_.Query("CREATE TABLE t (nick varchar(64) NOT NULL, d varchar(200)) "
                      "ENGINE=MyISAM DEFAULT CHARSET=latin1"),
            nullptr);
  ASSERT_EQ(db_.ErrorNumber(), 0) << db_.ErrorText();
  std::string high;
  for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
  const std::string description = std::string("q\"b\\s'n\0e", 9) + high.substr(0, 100);
  const std::string bjorn = "Bj\xF6rn";
  db_.Query("INSERT INTO t (nick, d) VALUES (\"" + db_.Escape(bjorn) + "\", \"" +
            db_.Escape(description) + "\")");
  ASSERT_EQ(db_.ErrorNumber(), 0) << db_.ErrorText();
  EXPECT_EQ(One(db_, "SELECT HEX(nick) FROM t"), "426AF6726E");
  EXPECT_EQ(One(db_, "SELECT d FROM t"), description);
  EXPECT_EQ(db_.Escape("\\\""), "\\\\\\\"");
}

// The session drops the modes that would break double-quoted strings and
// backslash escapes, whatever the server's global mode.
TEST_F(MySQLTest, SessionKeepsDoubleQuotesAndBackslashes) {
  const std::string global = One(db_, "SELECT @@GLOBAL.sql_mode");
  db_.Query("SET GLOBAL sql_mode = CONCAT(@@GLOBAL.sql_mode, ',ANSI_QUOTES,NO_BACKSLASH_ESCAPES')");
  ASSERT_EQ(db_.ErrorNumber(), 0) << db_.ErrorText();
  TMySQL fresh;
  const bool connected = ConnectTo(fresh);
  const std::string value = One(fresh, "SELECT \"a\\\"b\"");
  const std::string mode = One(fresh, "SELECT @@SESSION.sql_mode");
  db_.Query("SET GLOBAL sql_mode = '" + global + "'");
  ASSERT_TRUE(connected) << fresh.ErrorText();
  EXPECT_EQ(value, "a\"b");
  EXPECT_EQ(mode.find("ANSI_QUOTES"), std::string::npos) << mode;
  EXPECT_NE(mode.find("STRICT_TRANS_TABLES"), std::string::npos) << mode;
}

// A link the server dropped is reconnected once, with the database
// selected again; the statement runs once.
TEST_F(MySQLTest, IdleLinkIsReconnectedBeforeTheNextStatement) {
  db_.Query("CREATE TABLE c (n int) ENGINE=MyISAM");
  db_.Query("SET SESSION wait_timeout=1");
  ASSERT_EQ(db_.ErrorNumber(), 0) << db_.ErrorText();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  db_.Query("INSERT INTO c VALUES (1)");
  EXPECT_EQ(db_.ErrorNumber(), 0) << db_.ErrorText();
  EXPECT_EQ(One(db_, "SELECT COUNT(*) FROM c"), "1");
  EXPECT_EQ(One(db_, "SELECT DATABASE()"), database_.Name());
  EXPECT_TRUE(std::regex_match(db_.Duration(), std::regex(R"(\d+\.\d\d ms)"))) << db_.Duration();
}

TEST_F(MySQLTest, RowsAndEmptyResults) {
  db_.Query("CREATE TABLE r (id int unsigned NOT NULL auto_increment, v varchar(10), "
            "PRIMARY KEY (id)) ENGINE=MyISAM");
  db_.Query("INSERT INTO r (v) VALUES (\"x\"), (NULL)");
  EXPECT_EQ(db_.InsertId(), 1);
  EXPECT_EQ(db_.Query("SELECT v FROM r WHERE id = 99"), nullptr);  // no rows
  EXPECT_EQ(db_.ErrorNumber(), 0);
  auto rows = db_.Query("SELECT id, v FROM r ORDER BY id");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->RowCount(), 2);
  ASSERT_TRUE(rows->FetchRow());
  EXPECT_EQ(rows->Field(1), "x");
  ASSERT_TRUE(rows->FetchRow());
  EXPECT_TRUE(rows->IsNull(1));
  EXPECT_FALSE(rows->FetchRow());
  rows->Rewind();
  ASSERT_TRUE(rows->FetchRow());
  EXPECT_EQ(rows->Field(0), "1");
  db_.Query("SELEKT nonsense");
  EXPECT_EQ(db_.ErrorNumber(), 1064);
}

}  // namespace
