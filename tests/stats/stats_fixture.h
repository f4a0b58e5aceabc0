#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/protocol_test_fixture.h"
#include "stats/user_stats.h"

// The protocol fixture with a settable clock, the Action feed recorded and
// users logged in without sockets.
class TStatsFixture : public TProtocolFixture {
 protected:
  TStatsFixture() { now_ = At(2024, 5, 6, 12, 0, 0); }

  static TDateTime At(int y, int mo, int d, int h, int mi, int s) {
    TDateTime t;
    TryEncodeDateTime({y, mo, d, h, mi, s}, t);
    return t;
  }

  TUserStatsContext Context() {
    return {settings_, language_, nickList_, accounts_, messages_,
            [this](const std::string& line) { actions_.push_back(line); },
            [this] { return now_; }};
  }

  // A logged-in, listed user of `ip`; with `profile`, a registered account.
  THubSocket& Online(std::string_view nick, std::string_view ip = "10.0.0.1",
                     std::string_view profile = {}) {
    THubSocket& user = NewUser(lgLoggedIn, nick);
    user.IP = std::string(ip);
    user.ConnectTime = now_;
    if (!profile.empty()) {
      user.BindAccount(AddAccount(nick, profile, "pw"), settings_.ConnRestriction);
      user.Registered = true;
    }
    EXPECT_TRUE(nickList_.Add(user));
    return user;
  }

  // Takes a user off the list, as the core does before its logout.
  void Leave(THubSocket& user) { nickList_.Remove(user); }

  // The report a main-chat line carried, without the bot's prefix and "|".
  std::string Chat(THubSocket& user) {
    std::string out = Output(user);
    const std::string& prefix = settings_.BotChatPrefix();
    if (out.rfind(prefix, 0) != 0 || out.empty() || out.back() != '|') return "?" + out;
    return out.substr(prefix.size(), out.size() - prefix.size() - 1);
  }

  static std::string Dash() { return "\r\n" + std::string(105, '-'); }
  static std::string Head(std::string_view text) { return "\r\n\xA6 " + std::string(text); }
  static std::string Row(std::string_view text) { return "\r\n\xA6  " + std::string(text); }

  TDateTime now_;
  std::vector<std::string> actions_;
};
