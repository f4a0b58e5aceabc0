#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "stats/mysql.h"

// The throw-away MariaDB server scripts/test starts, as its environment
// names it. Each test works in a database of its own (ctest runs them side
// by side), dropped at the end.
class TTestDatabase {
 public:
  static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
  }
  // "" when a server is there; else why the test skips.
  static std::string SkipReason() {
    if (!Env("KAVRO_MYSQL_PORT").empty()) return {};
    const std::string why = Env("KAVRO_MYSQL_SKIP");
    return "no MariaDB test server: " +
           (why.empty() ? std::string("run through scripts/test, which starts one") : why);
  }
  static int Port() { return std::atoi(Env("KAVRO_MYSQL_PORT").c_str()); }
  static std::string User() { return Env("KAVRO_MYSQL_USER"); }
  static std::string Password() { return Env("KAVRO_MYSQL_PASSWORD"); }

  static std::string NameForTest() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string("kavro_") + info->name() + "_" + std::to_string(getpid());
  }

  static bool ConnectTo(TMySQL& db) { return db.Connect("127.0.0.1", User(), Port(), Password()); }

  ~TTestDatabase() { Drop(); }

  // A fresh, empty database for this test.
  bool Create() {
    name_ = NameForTest();
    if (!ConnectTo(admin_)) return false;
    admin_.Query("DROP DATABASE IF EXISTS " + QuoteName(name_));
    admin_.Query("CREATE DATABASE " + QuoteName(name_));
    return admin_.ErrorNumber() == 0 && admin_.SelectDatabase(name_);
  }
  // The name only: the code under test creates it.
  void Reserve() { name_ = NameForTest(); }
  void Drop() {
    if (name_.empty()) return;
    if (ConnectTo(admin_)) admin_.Query("DROP DATABASE IF EXISTS " + QuoteName(name_));
    name_.clear();
  }
  const std::string& Name() const { return name_; }
  TMySQL& Admin() { return admin_; }

  // The first field of the first row; "<none>" without rows.
  static std::string One(TMySQL& db, const std::string& sql) {
    auto rows = db.Query(sql);
    if (rows == nullptr || !rows->FetchRow()) return "<none>";
    return std::string(rows->Field(0));
  }
  std::string One(const std::string& sql) {
    if (!admin_.Connected()) ConnectTo(admin_);
    admin_.SelectDatabase(name_);
    return One(admin_, sql);
  }

 private:
  TMySQL admin_;
  std::string name_;
};

class TMySQLServerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = TTestDatabase::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(database_.Create()) << database_.Admin().ErrorText();
    ASSERT_TRUE(TTestDatabase::ConnectTo(db_)) << db_.ErrorText();
    ASSERT_TRUE(db_.SelectDatabase(database_.Name())) << db_.ErrorText();
  }

  bool ConnectTo(TMySQL& db) { return TTestDatabase::ConnectTo(db); }
  std::string One(TMySQL& db, const std::string& sql) { return TTestDatabase::One(db, sql); }

  TTestDatabase database_;
  TMySQL db_;
  const std::string& database_name() const { return database_.Name(); }
};
