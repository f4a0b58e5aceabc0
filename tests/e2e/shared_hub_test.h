#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string_view>
#include <string>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "settings/settings.h"

// One real kavrod shared by every test of a suite, started with the
// settings `Suite::Configure` writes. Derive as
//   class MySuite : public TSharedHubTest<MySuite> { static void Configure(TSettings&); };
template <class Suite>
class TSharedHubTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) { Suite::Configure(settings); });
    // Files the hub must find at its start (scripts, lists).
    if constexpr (requires { Suite::Prepare(*home_); }) Suite::Prepare(*home_);
    started_ = home_->StartHub();
  }
  static void TearDownTestSuite() {
    // Suites whose tests stop the hub themselves (to read its files) say so.
    constexpr bool stoppedByTests = requires { Suite::kTestsStopTheHub; };
    if (started_ && !stoppedByTests) {
      EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
    }
    delete home_;
    home_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(started_) << home_->Hub().Output(); }

  static std::unique_ptr<TNmdcClient> Login(const std::string& nick,
                                            std::optional<std::string_view> password = {}) {
    auto client = TNmdcClient::Connect(home_->Port());
    EXPECT_TRUE(client && client->Login(nick, password)) << nick;
    return client;
  }

  static inline TE2EHome* home_ = nullptr;
  static inline bool started_ = false;
};
