#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/commands/command_context.h"
#include "core/core_hooks.h"
#include "core/history_manager.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol_message.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/tmp_ban_list.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_connection.h"

// Feed lines by kind, as the commands post them.
class THubCommands;
class TStringList;

class TCommandFeed : public TCoreFeed {
 public:
  std::vector<std::string> Actions, Kicks, Errors;
  void PostAction(const std::string& line) override { Actions.push_back(line); }
  void PostKick(const std::string& line) override { Kicks.push_back(line); }
  void PostError(const std::string& line) override { Errors.push_back(line); }
  // The last action line; "" when there is none, so a missing line fails
  // the comparison instead of reading past the list.
  std::string LastAction() const { return Actions.empty() ? std::string() : Actions.back(); }
};

// The temporary bans asked for: "nick reason".
class TCommandLogin : public TLoginHooks {
 public:
  std::vector<std::string> TempBans;
  void TempBan(THubSocket& user, const std::string& reason) override {
    TempBans.push_back(user.Nick + " " + reason);
  }
};

// The commands' collaborators, real but without sockets: settings, language,
// user list, bot messages, feed, bans and history on fixed clocks. Users
// are listed, logged-in connections of profiles the test makes.
// What a setup step made or found, where a fatal assertion cannot stop the
// step (a constructor, a helper returning a reference): a null one throws,
// so the test fails under its name instead of the binary crashing.
template <typename TPointer>
auto& Required(const TPointer& pointer, std::string_view what) {
  if (pointer == nullptr) throw std::logic_error("missing: " + std::string(what));
  return *pointer;
}

class TCommandsFixture : public testing::Test {
 protected:
  static constexpr std::string_view kBot = "HubBot";
  static constexpr std::string_view kToday = "2024-05-06";

  TCommandsFixture();
  ~TCommandsFixture() override;

  // A user-defined profile with the given rights set to `value` (1 for
  // on/off rights, a level for level rights).
  std::shared_ptr<TProfile> MakeProfile(std::string_view name,
                                        std::initializer_list<TProfileRight> rights,
                                        int level = 0, std::uint8_t value = 1);
  // A listed, logged-in user; without a profile, an unregistered one.
  THubSocket& Online(std::string_view nick, std::shared_ptr<TProfile> profile = nullptr);

  // The main-chat message "<nick> text|" and the private message to the bot.
  static std::string ChatLine(const THubSocket& user, std::string_view text);
  static std::string BotPM(const THubSocket& user, std::string_view text);
  // Hands a line of `user` (main chat, or with `pm` a private message to the
  // bot) to `commands` as the hub does: the words after the prefix, at most
  // six. `message` holds the line while the commands read it.
  static bool Dispatch(THubCommands& commands, TStringList& tokens, std::string& message,
                       THubSocket& user, std::string_view text, bool pm,
                       bool reportUnknown = true);
  // Where the text starts in each.
  static std::size_t ChatStart(const THubSocket& user) { return user.Nick.size() + 3; }
  static std::size_t PMStart(const THubSocket& user) {
    return 5 + kBot.size() + 7 + user.Nick.size() + 3 + user.Nick.size() + 2;
  }

  // The output queued for a user since the last call.
  static std::string Out(THubSocket& user);
  // What the bot says in main chat and by private message.
  std::string Bot(std::string_view text) const { return "<HubBot> " + std::string(text) + "|"; }
  static std::string BotTo(const THubSocket& user, std::string_view text) {
    return "$To: " + user.Nick + " From: HubBot $<HubBot> " + std::string(text) + "|";
  }
  std::string Text(TLanguageKey key) const { return language_.Text(key); }

  TFakeUsers fake_;
  TSettings settings_;
  TLanguage language_;
  TNickList nickList_{settings_, language_, fake_.Defaults};
  TProtocolMessage messages_{settings_, nickList_};
  TNicksInUse nicksInUse_;
  TCommandFeed feed_;
  TCommandLogin login_;
  TCoreHooks hooks_;
  TStats stats_{std::string("10.9.9.9")};
  TDateTime now_{};  // the wall clock of bans, history and help
  bool clockFails_ = false;  // the next reading of the date throws
  TBanList bans_{language_, {}, [this] { return now_; }};
  std::uint64_t hubMs_ = 1000000;  // the hub clock of the temporary bans
  TTmpBanList tmpBans_{settings_, language_, [this] { return hubMs_; }};
  THistoryManager history_{language_, [this] { return now_; }};
  TUserRegistered registered_{{}, [this] { return now_; }};
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
  TISPList isps_{language_};
  TCommandContext ctx_;
  std::vector<std::unique_ptr<THubSocket>> users_;
};
