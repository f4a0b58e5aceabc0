#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "stats/mysql.h"

// The throw-away MariaDB server scripts/test starts, as its environment
// names it. Each test works in a database of its own (ctest runs them side
// by side), dropped at the end.
class TMySQLServerTest : public testing::Test {
 protected:
  static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
  }

  void SetUp() override {
    if (Env("KAVRO_MYSQL_PORT").empty()) {
      const std::string why = Env("KAVRO_MYSQL_SKIP");
      GTEST_SKIP() << "no MariaDB test server: "
                   << (why.empty() ? "run through scripts/test, which starts one" : why);
    }
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    database_ = std::string("kavro_") + info->name() + "_" + std::to_string(getpid());
    ASSERT_TRUE(ConnectTo(db_)) << db_.ErrorText();
    db_.Query("DROP DATABASE IF EXISTS " + QuoteName(database_));
    db_.Query("CREATE DATABASE " + QuoteName(database_));
    ASSERT_TRUE(db_.SelectDatabase(database_)) << db_.ErrorText();
  }

  void TearDown() override {
    if (!database_.empty() && ConnectTo(cleaner_)) {
      cleaner_.Query("DROP DATABASE IF EXISTS " + QuoteName(database_));
    }
  }

  bool ConnectTo(TMySQL& db) {
    return db.Connect("127.0.0.1", Env("KAVRO_MYSQL_USER"), std::atoi(Env("KAVRO_MYSQL_PORT").c_str()),
                      Env("KAVRO_MYSQL_PASSWORD"));
  }

  // The first field of the first row; "<none>" without rows.
  std::string One(TMySQL& db, const std::string& sql) {
    auto rows = db.Query(sql);
    if (rows == nullptr || !rows->FetchRow()) return "<none>";
    return std::string(rows->Field(0));
  }

  TMySQL db_;
  TMySQL cleaner_;
  std::string database_;
};
