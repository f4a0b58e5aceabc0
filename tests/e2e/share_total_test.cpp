// The hub's share total over loopback: a user's share joins it at login,
// follows his "$MyINFO" changes and leaves with him (a quit or a kick). Two
// shares at the int64 maximum hold the total at the maximum, and it comes
// back exactly as they leave. The peak reaches settings.xml at shutdown.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "security/profile.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/program_folder.h"

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

std::string MyINFO(const std::string& nick, std::int64_t share) {
  return "$MyINFO $ALL " + nick + " share <EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$" +
         std::to_string(share) + "$|";
}

enum class TAct { Login, Change, Quit, Kick };

struct TStep {
  TAct Act;
  const char* Nick;
  std::int64_t Share;  // Login and Change
  std::int64_t Total;  // the total the hub reports after the step
};

struct TCase {
  const char* Name;
  std::vector<TStep> Steps;
  std::int64_t Peak;
};

class TShareHub {
 public:
  bool Start() {
    home_.WriteSettings([](TSettings& settings) {
      settings.SetBotName("HubBot");
      settings.HubCommandsShowCommandToSelf = false;
      settings.MyINFOPooling.State = TTriState::Unchecked;
      settings.UseShareTrace = false;
      settings.AutoBanOnKick.Enabled = false;
      settings.PMSpamCheck.State = TTriState::Unchecked;  // one report a step
    });
    using R = TProfileRight;
    home_.AddAccount("boss", "bosspass", "Boss", 9,
                     {R::IsOperator, R::MayUseHubCommands, R::MayShowHubInfo, R::MayKickUser});
    if (!home_.StartHub()) return false;
    boss_ = TNmdcClient::Connect(home_.Port());
    return boss_ && boss_->Login("boss", "bosspass");
  }

  void Do(const TStep& step) {
    const std::string nick = step.Nick;
    switch (step.Act) {
      case TAct::Login: {
        auto client = TNmdcClient::Connect(home_.Port());
        ASSERT_NE(client, nullptr);
        ASSERT_TRUE(client->Handshake(nick));
        ASSERT_TRUE(client->ReadUntil("$Hello " + nick + "|").has_value());
        ASSERT_TRUE(client->Send("$Version 1,0091|$GetNickList|" + MyINFO(nick, step.Share)));
        ASSERT_TRUE(client->ReadUntil("$MyINFO $ALL " + nick + " ").has_value())
            << client->ReceivedText();
        users_[nick] = std::move(client);
        break;
      }
      case TAct::Change:
        ASSERT_TRUE(users_.at(nick)->Send(MyINFO(nick, step.Share)));
        ASSERT_TRUE(boss_->ReadUntil(MyINFO(nick, step.Share)).has_value());
        break;
      case TAct::Quit:
        users_.erase(nick);
        ASSERT_TRUE(boss_->ReadUntil("$Quit " + nick + "|").has_value());
        break;
      case TAct::Kick:
        ASSERT_TRUE(boss_->Send("$Kick " + nick + "|"));
        ASSERT_TRUE(boss_->ReadUntil("$Quit " + nick + "|").has_value());
        EXPECT_TRUE(users_.at(nick)->WaitClosed());
        users_.erase(nick);
        break;
    }
  }

  // The "Current sharesize" line of the hub-information report.
  std::string ReportedTotal() {
    const std::string answer = "$To: boss From: HubBot $<HubBot> \r\nHub Information";
    if (!boss_->Send("$To: HubBot From: boss $<boss> !hubinfo|")) return "no send";
    const std::optional<std::string> info = boss_->ReadUntil(answer);
    if (!info) return "no answer";
    const std::string label = "Current sharesize: ";
    const std::size_t at = info->find(label);
    if (at == std::string::npos) return "no total in " + *info;
    const std::size_t from = at + label.size();
    return info->substr(from, info->find("\r\n", from) - from);
  }

  // Stops the hub and reads the peak it saved.
  std::int64_t SavedSharePeak() {
    users_.clear();
    boss_.reset();
    EXPECT_EQ(home_.StopHub(), 0);
    SetProgramFolder(home_.Folder());
    TSettings settings;
    settings.Load();
    return settings.SharePeak;
  }

  std::string Log() { return home_.Hub().Output(); }

 private:
  TE2EHome home_;
  std::unique_ptr<TNmdcClient> boss_;
  std::map<std::string, std::unique_ptr<TNmdcClient>> users_;
};

TEST(ShareTotalE2E, FollowsLoginsChangesAndDeparturesWithinTheInt64Range) {
  const TCase cases[] = {
      {"logins, a change and quits",
       {{TAct::Login, "ann", 5 * kGiB, 5 * kGiB},
        {TAct::Login, "bob", 3 * kGiB, 8 * kGiB},
        {TAct::Change, "bob", 4 * kGiB, 9 * kGiB},
        {TAct::Quit, "bob", 0, 5 * kGiB},
        {TAct::Change, "ann", 2 * kGiB, 2 * kGiB},
        {TAct::Quit, "ann", 0, 0}},
       9 * kGiB},
      {"a kicked user's share leaves with him",
       {{TAct::Login, "ann", 5 * kGiB, 5 * kGiB},
        {TAct::Login, "bob", 3 * kGiB, 8 * kGiB},
        {TAct::Kick, "bob", 0, 5 * kGiB}},
       8 * kGiB},
      {"two users at the int64 maximum",
       {{TAct::Login, "ann", kMax, kMax},
        {TAct::Login, "bob", kMax, kMax},
        {TAct::Login, "cat", 5 * kGiB, kMax},
        {TAct::Quit, "bob", 0, kMax},
        {TAct::Login, "bob", kMax, kMax},
        {TAct::Change, "ann", kGiB, kMax},
        {TAct::Quit, "bob", 0, 6 * kGiB},
        {TAct::Change, "cat", 0, kGiB}},
       kMax},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TShareHub hub;
    ASSERT_TRUE(hub.Start()) << hub.Log();
    EXPECT_EQ(hub.ReportedTotal(), "0 B");
    for (std::size_t i = 0; i < c.Steps.size(); ++i) {
      const TStep& step = c.Steps[i];
      SCOPED_TRACE("step " + std::to_string(i) + " " + step.Nick);
      hub.Do(step);
      if (::testing::Test::HasFatalFailure()) return;
      EXPECT_EQ(hub.ReportedTotal(), FormatByteSize(step.Total));
    }
    EXPECT_EQ(hub.SavedSharePeak(), c.Peak);
  }
}

}  // namespace
