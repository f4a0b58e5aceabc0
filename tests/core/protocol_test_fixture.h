#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol.h"
#include "core/user_defaults.h"
#include "core/protocol_message.h"
#include "core/read_buffer.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"

// Feed lines, by kind, as the core posts them.
class TRecordingFeed : public TCoreFeed {
 public:
  std::vector<std::string> Events, Actions, Errors;
  void PostEvent(const std::string& line) override { Events.push_back(line); }
  void PostAction(const std::string& line) override { Actions.push_back(line); }
  void PostError(const std::string& line) override { Errors.push_back(line); }
};

// Security answers set by each test; records the bans asked for.
class TScriptedLogin : public TLoginHooks {
 public:
  bool Banned = false;
  std::vector<std::string> IPBans;
  std::vector<std::string> TempBans;
  bool NickOrIPBanned(THubSocket&) override { return Banned; }
  void BanIP(THubSocket& user, const std::string& reason, int) override {
    IPBans.push_back(user.IP + " " + reason);
  }
  void TempBan(THubSocket& user, const std::string&) override { TempBans.push_back(user.Nick); }
};

// Records the messages handed on to the other handlers; throws for a
// message that contains "boom".
class TRecordingHandlers : public TProtocolHandlers {
 public:
  std::vector<std::string> Seen;
  bool Handle(TProtocolKey key, THubSocket&, std::string_view message) override {
    if (message.find("boom") != std::string_view::npos) throw std::runtime_error("handler failed");
    Seen.push_back(std::to_string(static_cast<int>(key)) + ":" + std::string(message));
    return true;
  }
};

// A stand-in for the "$MyINFO" handler: accepts any first one and completes
// the login; throws for a message that contains "boom".
class TAcceptingMyINFO : public TMyINFOHandler {
 public:
  TProtocol* Protocol = nullptr;
  bool HandleMyINFO(THubSocket& user, std::string_view message) override {
    if (message.find("boom") != std::string_view::npos) throw std::runtime_error("bad MyINFO");
    if (user.LoginState % 128 == lgNickAccepted) {
      user.LoginState = lgMyINFOReceived;
      if (user.DNSDone && Protocol != nullptr) Protocol->LoginComplete(user);
    }
    return true;
  }
};

// The protocol engine with real settings, language, accounts and user list,
// and connections without sockets.
class TProtocolFixture : public testing::Test {
 protected:
  TProtocolFixture() {
    BindUserDefaults(defaults_, accounts_, profiles_);
    hooks_.SetFeed(&feed_);
    hooks_.SetLogin(&login_);
    hooks_.SetHandlers(&handlers_);
    hooks_.SetMyINFO(&myINFO_);
    myINFO_.Protocol = &protocol_;
    settings_.PerformDNSLookup = false;
    op_ = profiles_.Add("Op");
    op_->SetRight(TProfileRight::IsOperator, 1);
    vip_ = profiles_.Add("Vip");
  }

  // A connection past accept, in `state`, counted as logging in.
  THubSocket& NewUser(std::uint8_t state = lgLockSent, std::string_view nick = "") {
    users_.push_back(std::make_unique<THubSocket>(defaults_));
    THubSocket& user = *users_.back();
    user.Initialize(-1, settings_.ConnRestriction);
    user.IP = "10.0.0.1";
    user.LoginState = state;
    user.Nick = std::string(nick);
    protocol_.AddAuthorizing(1);
    return user;
  }

  // Puts `bytes` into the user's read buffer as a receive would.
  static void Receive(THubSocket& user, std::string_view bytes) {
    TReadBuffer& in = user.ReadBuffer();
    in.Allocate();
    ASSERT_LE(bytes.size(), static_cast<std::size_t>(in.FreeSpace()));
    std::memcpy(in.FreeArea(), bytes.data(), bytes.size());
    in.AddFilled(static_cast<int>(bytes.size()));
  }

  void Feed(THubSocket& user, std::string_view bytes) {
    Receive(user, bytes);
    protocol_.ParseBuffer(user);
  }

  // The output queued since the last call.
  static std::string Output(THubSocket& user) {
    std::string out = user.WriteBuffer().GetString();
    user.WriteBuffer().Clear(false);
    return out;
  }

  std::string Bot(std::string_view text) const {
    return settings_.BotChatPrefix() + std::string(text) + "|";
  }
  std::string Text(TLanguageKey key) const { return language_.Text(key); }

  std::shared_ptr<TAccount> AddAccount(std::string_view nick, std::string_view profile,
                                       std::string_view password) {
    auto account = accounts_.Add(nick, profile);
    EXPECT_NE(account, nullptr);
    account->Pass = std::string(password);
    return account;
  }

  TSettings settings_;
  TLanguage language_;
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
  TUserDefaults defaults_;
  TNickList nickList_{settings_, language_, defaults_};
  TProtocolMessage messages_{settings_, nickList_};
  TNicksInUse nicksInUse_;
  TRecordingFeed feed_;
  TScriptedLogin login_;
  TRecordingHandlers handlers_;
  TAcceptingMyINFO myINFO_;
  TCoreHooks hooks_;
  TProtocol protocol_{{settings_, language_, nickList_, messages_, accounts_, nicksInUse_, hooks_}};
  std::shared_ptr<TProfile> op_;
  std::shared_ptr<TProfile> vip_;
  std::vector<std::unique_ptr<THubSocket>> users_;
};
