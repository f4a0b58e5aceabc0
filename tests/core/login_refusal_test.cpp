#include "core/login_refusal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "security/tmp_ban_list.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_connection.h"

namespace {

class LoginRefusalTest : public ::testing::Test {
 protected:
  LoginRefusalTest() { settings.SetBotName("Bot"); }

  std::unique_ptr<THubSocket> Connect(const char* nick, std::shared_ptr<TProfile> profile = nullptr) {
    auto user = users.Connect(nick, std::move(profile));
    user->IP = "1.2.3.4";
    return user;
  }

  static std::string Take(THubSocket& user) {
    std::string sent = user.WriteBuffer().GetString();
    user.WriteBuffer().Clear(false);
    return sent;
  }

  std::uint64_t now = 1000;
  TSettings settings;
  TLanguage language;
  TFakeUsers users;
  TTmpBanList bans{settings, language, [this] { return now; }};
};

TEST_F(LoginRefusalTest, BannedUserGetsABotLineAndCloses) {
  bans.Add("bad", "1.2.3.4", "spam");
  auto user = Connect("bad");
  EXPECT_TRUE(RefuseTmpBanned(bans, settings, *user));
  EXPECT_EQ(Take(*user),
            "<Bot> You are still temporarily banned for another 00:06:00 (Hammering will keep "
            "resetting your ban) because: spam|");
  EXPECT_EQ(user->LifeState, lsClosing);

  auto other = Connect("good");
  other->IP = "5.6.7.8";
  EXPECT_FALSE(RefuseTmpBanned(bans, settings, *other));
  EXPECT_EQ(Take(*other), "");
  EXPECT_EQ(other->LifeState, lsInitialised);
}

TEST_F(LoginRefusalTest, BypassRightSkipsTheCheck) {
  auto exempt = std::make_shared<TProfile>();
  exempt->SetRight(TProfileRight::MayByPassTmpBans, 1);
  bans.Add("vip", "1.2.3.4", "");
  now += 1000;
  auto vip = Connect("vip", exempt);
  EXPECT_FALSE(RefuseTmpBanned(bans, settings, *vip));
  EXPECT_EQ(Take(*vip), "");
  EXPECT_EQ(vip->LifeState, lsInitialised);
  ASSERT_NE(bans.FindNick("vip"), nullptr);
  EXPECT_EQ(bans.FindNick("vip")->NickExpiry, 1000 + std::uint64_t{360000});  // not restarted
}

}  // namespace
