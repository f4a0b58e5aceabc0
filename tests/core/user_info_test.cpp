#include "core/user_info.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings.h"

namespace {

TEST(UserInfoAllowed, KeepsTheTwentyNewest) {
  TUserInfo info;
  for (std::uint64_t id = 1; id <= 21; ++id) info.AddAllowed(id);
  ASSERT_EQ(info.Allowed().size(), TUserInfo::kMaxAllowed);
  EXPECT_EQ(info.Allowed().front(), 2u);
  EXPECT_EQ(info.Allowed().back(), 21u);
  EXPECT_FALSE(info.RemoveAllowed(1));
}

TEST(UserInfoAllowed, RemovesOneEntryAtATimeNewestFirst) {
  TUserInfo info;
  for (std::uint64_t id : {7, 8, 7}) info.AddAllowed(id);
  EXPECT_TRUE(info.RemoveAllowed(7));
  EXPECT_EQ(info.Allowed(), (std::vector<std::uint64_t>{7, 8}));
  EXPECT_TRUE(info.RemoveAllowed(7));
  EXPECT_FALSE(info.RemoveAllowed(7));
}

struct TMyINFOCase {
  const char* name;
  TTriState description, tag, email, speed;
  const char* forUsers;
  const char* forOperators;
};

class UserInfoMyINFO : public ::testing::TestWithParam<TMyINFOCase> {};

TEST_P(UserInfoMyINFO, LeavesOutFieldsBySetting) {
  const TMyINFOCase& c = GetParam();
  TSettings settings;
  settings.DisableMyINFODescription = c.description;
  settings.DisableMyINFODescriptionTag = c.tag;
  settings.DisableMyINFOEmail = c.email;
  settings.DisableMyINFOConnectionSpeed = c.speed;
  TUserInfo info;
  info.Description = "desc";
  info.Tag = "<++ V:0.674,M:A,H:1/2/3,S:5>";
  info.Speed = "DSL";
  info.Status = '\x01';
  info.Email = "a@b";
  info.Share = 1234;
  info.RebuildMyINFO("nick", settings);
  EXPECT_EQ(info.UserMyINFO.Text, c.forUsers);
  EXPECT_EQ(info.OperatorMyINFO.Text, c.forOperators);
}

constexpr TTriState kOn = TTriState::Unchecked;
constexpr TTriState kOff = TTriState::Checked;
constexpr TTriState kOps = TTriState::Grayed;

INSTANTIATE_TEST_SUITE_P(
    Table, UserInfoMyINFO,
    ::testing::Values(
        TMyINFOCase{"everything", kOn, kOn, kOn, kOn,
                    "$MyINFO $ALL nick desc<++ V:0.674,M:A,H:1/2/3,S:5>$ $DSL\x01$a@b$1234$|",
                    "$MyINFO $ALL nick desc<++ V:0.674,M:A,H:1/2/3,S:5>$ $DSL\x01$a@b$1234$|"},
        TMyINFOCase{"nothing", kOff, kOff, kOff, kOff, "$MyINFO $ALL nick $ $ \x01$$1234$|",
                    "$MyINFO $ALL nick $ $ \x01$$1234$|"},
        TMyINFOCase{"emailForOperators", kOn, kOn, kOps, kOn,
                    "$MyINFO $ALL nick desc<++ V:0.674,M:A,H:1/2/3,S:5>$ $DSL\x01$$1234$|",
                    "$MyINFO $ALL nick desc<++ V:0.674,M:A,H:1/2/3,S:5>$ $DSL\x01$a@b$1234$|"},
        TMyINFOCase{"allForOperators", kOps, kOps, kOps, kOps, "$MyINFO $ALL nick $ $ \x01$$1234$|",
                    "$MyINFO $ALL nick desc<++ V:0.674,M:A,H:1/2/3,S:5>$ $DSL\x01$a@b$1234$|"},
        TMyINFOCase{"tagOnly", kOff, kOn, kOff, kOff,
                    "$MyINFO $ALL nick <++ V:0.674,M:A,H:1/2/3,S:5>$ $ \x01$$1234$|",
                    "$MyINFO $ALL nick <++ V:0.674,M:A,H:1/2/3,S:5>$ $ \x01$$1234$|"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(UserInfoMyINFO, FlagsOnlyTheTextsThatChanged) {
  TSettings settings;
  settings.DisableMyINFOEmail = TTriState::Checked;
  TUserInfo info;
  info.RebuildMyINFO("nick", settings);
  EXPECT_TRUE(info.UserMyINFO.Changed);
  EXPECT_TRUE(info.OperatorMyINFO.Changed);
  info.RebuildMyINFO("nick", settings);
  EXPECT_FALSE(info.UserMyINFO.Changed);
  info.Email = "hidden from everyone";
  info.RebuildMyINFO("nick", settings);
  EXPECT_FALSE(info.UserMyINFO.Changed);
  EXPECT_FALSE(info.OperatorMyINFO.Changed);
  info.Share = 5;
  info.RebuildMyINFO("nick", settings);
  EXPECT_TRUE(info.UserMyINFO.Changed);
  EXPECT_TRUE(info.OperatorMyINFO.Changed);
}

}  // namespace
