#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/chat_hooks.h"
#include "core/core_hooks.h"
#include "core/history_manager.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/message_handlers.h"
#include "core/myinfo_handler.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol.h"
#include "core/user_defaults.h"
#include "core/protocol_message.h"
#include "core/read_buffer.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/tmp_ban_list.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "base/exceptions.h"

// How far a client has logged in.
enum class TLoginStage : std::uint8_t {
  LockSent,
  KeyAccepted,
  PasswordWait,
  NickAccepted,
  LoggedIn,
  OperatorLoggedIn,
  Count,
};

// A hub held in memory for the fuzz targets: the protocol engine with the
// real settings, language, profiles, accounts, user list, "$MyINFO"
// processor and chat, search and connection handlers, and connections
// without sockets. Clients log in through the engine as real ones do; a
// connection is closed the way the hub core closes one. Owns everything.
class THubInMemory {
 public:
  THubInMemory() {
    BindUserDefaults(defaults_, accounts_, profiles_);
    hooks_.SetMyINFO(&myINFOSide_);
    hooks_.SetHandlers(&handlers_);
    settings_.PerformDNSLookup = false;
    protocol_.SetCloseNow([](THubSocket& user) { user.Close(false); });
    const auto op = profiles_.Add("Op");
    op->SetRight(TProfileRight::IsOperator, 1);
    const auto account = accounts_.Add("admin", "Op");
    KAVRO_CHECK(account != nullptr, "operator account refused");
    account->Pass = "secret";
  }
  ~THubInMemory() {
    hooks_.SetHandlers(nullptr);
    hooks_.SetMyINFO(nullptr);
  }
  THubInMemory(const THubInMemory&) = delete;
  THubInMemory& operator=(const THubInMemory&) = delete;

  // Bytes as one receive brings them, parsed as the read pass does; stops
  // at a full block without '|', which the core drops.
  void Receive(THubSocket& user, std::string_view bytes) {
    TReadBuffer& in = user.ReadBuffer();
    while (!bytes.empty() && user.LifeState != lsClosing) {
      in.Allocate();
      const std::size_t take = std::min(bytes.size(), static_cast<std::size_t>(in.FreeSpace()));
      if (take == 0) return;
      std::memcpy(in.FreeArea(), bytes.data(), take);
      in.AddFilled(static_cast<int>(take));
      bytes.remove_prefix(take);
      protocol_.ParseBuffer(user);
    }
  }

  // A client that logs in as a real one does, up to `stage`. `tag` is the
  // client tag of its first "$MyINFO".
  THubSocket& Login(TLoginStage stage, std::string_view nick,
                    std::string_view tag = "<++ V:0.674,M:A,H:1/0/0,S:3>") {
    THubSocket& user = Connect();
    if (stage == TLoginStage::LockSent) return user;
    Receive(user, "$Supports NoGetINFO NoHello UserIP2 TLS|$Key " +
                      TProtocol::KeyOfLock(LockOf(user)) + "|");
    Expect(user, lgKeyAccepted);
    if (stage == TLoginStage::KeyAccepted) return user;
    if (stage == TLoginStage::PasswordWait || stage == TLoginStage::OperatorLoggedIn) {
      Receive(user, "$ValidateNick admin|");
      Expect(user, lgPasswordWait);
      if (stage == TLoginStage::PasswordWait) return user;
      Receive(user, "$MyPass secret|");
    } else {
      Receive(user, "$ValidateNick " + std::string(nick) + "|");
    }
    Expect(user, lgNickAccepted);
    if (stage == TLoginStage::NickAccepted) return user;
    Receive(user, "$Version 1,0091|$GetNickList|$MyINFO $ALL " + user.Nick + " " +
                      std::string(tag) + "$ $LAN(T3)\x01$$1073741824$|");
    Expect(user, lgLoggedIn);
    return user;
  }

  // The end of a pass: closing connections are closed, output is dropped.
  void EndPass() {
    for (const auto& user : users_) {
      if (user->LifeState == lsClosing) user->Close(false);
      if (!user->IsClosed()) user->WriteBuffer().Clear(false);
    }
  }

  // What must hold between passes whatever the clients sent: the user list
  // holds exactly the listed users, each logged in, under its own nick, and
  // the count of logins in progress matches the open unlisted connections.
  void CheckConsistency() const {
    int listed = 0;
    int authorizing = 0;
    for (const auto& user : users_) {
      if (user->IsClosed()) continue;
      if (!user->Listed) {
        ++authorizing;
        continue;
      }
      ++listed;
      KAVRO_CHECK(user->IsLoggedIn(), "a listed user is not logged in");
      KAVRO_CHECK(nickList_.FindUser(user->Nick) == user.get(), "a listed user is not found");
    }
    KAVRO_CHECK(nickList_.GetCount() == listed, "the user list holds others than the listed");
    KAVRO_CHECK(protocol_.Authorizing() == authorizing, "the count of logins drifted");
    for (int i = 0; i < nickList_.OperatorCount(); ++i)
      KAVRO_CHECK(nickList_.GetOperator(i)->Listed, "an operator entry outlived its user");
  }

  TSettings& Settings() { return settings_; }
  TProtocol& Protocol() { return protocol_; }

 private:
  // The composition root's glue: the first accepted "$MyINFO" moves the
  // login on.
  class TMyINFOSide final : public TMyINFOHandler {
   public:
    explicit TMyINFOSide(THubInMemory& hub) : hub_(hub) {}
    bool HandleMyINFO(THubSocket& user, std::string_view message) override {
      const bool first = user.LoginState % 128 == lgNickAccepted;
      switch (hub_.myINFO_.HandleMyINFO(user, message)) {
        case TMyINFOResult::Accepted:
          if (first && user.LifeState == lsInitialised) {
            user.LoginState = lgMyINFOReceived;
            if (user.DNSDone) hub_.protocol_.LoginComplete(user);
          }
          return true;
        case TMyINFOResult::Dropped:
        case TMyINFOResult::Refused:
          return true;
        case TMyINFOResult::Unhandled:
          break;
      }
      return false;
    }

   private:
    THubInMemory& hub_;
  };

  THubSocket& Connect() {
    users_.push_back(std::make_unique<THubSocket>(defaults_));
    THubSocket& user = *users_.back();
    user.Initialize(-1, settings_.ConnRestriction);
    user.IP = "10.0.0." + std::to_string(users_.size());
    user.CloseHook = [this](THubSocket& closed) { OnClose(closed); };
    user.UserInfo().LockSeed = "ABCD";  // the same lock every run
    protocol_.AddAuthorizing(1);
    protocol_.SendLock(user);
    return user;
  }

  static std::string LockOf(THubSocket& user) {
    const std::string out = user.WriteBuffer().GetString();
    const std::size_t start = out.find("$Lock ");
    const std::size_t end = out.find(" Pk=", start);
    KAVRO_CHECK(start != std::string::npos && end != std::string::npos, "no lock sent");
    return out.substr(start + 6, end - start - 6);
  }

  static void Expect(const THubSocket& user, TLoginState state) {
    KAVRO_CHECK(user.LifeState != lsClosing && user.LoginState % 128 == state,
                "the scripted login went astray");
  }

  void OnClose(THubSocket& user) {
    handlers_.Chat().Forget(user);
    if (user.Listed) {
      user.Listed = false;
      nickList_.Remove(user);
      nickList_.AnnounceQuit(user);
    } else {
      protocol_.AddAuthorizing(-1);
    }
  }

  TSettings settings_;
  TLanguage language_;
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
  TUserDefaults defaults_;
  TNickList nickList_{settings_, language_, defaults_};
  TProtocolMessage messages_{settings_, nickList_};
  TNicksInUse nicksInUse_;
  TTmpBanList tmpBans_{settings_, language_};
  TStats stats_{"10.9.9.9"};
  THistoryManager history_{language_};
  TChatHooks chatHooks_;
  TCoreHooks hooks_;
  TProtocol protocol_{{settings_, language_, nickList_, messages_, accounts_, nicksInUse_, hooks_}};
  TMyINFOProcessor myINFO_{settings_, language_, nickList_, messages_, tmpBans_};
  TMyINFOSide myINFOSide_{*this};
  TMessageHandlers handlers_{{settings_, language_, nickList_, messages_, accounts_, protocol_,
                              hooks_, stats_, history_, chatHooks_}};
  std::vector<std::unique_ptr<THubSocket>> users_;
};
