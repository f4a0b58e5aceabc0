#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/hub_socket.h"
#include "security/account.h"
#include "settings/conn_restriction.h"
#include "security/profile.h"

// Profiles, accounts and in-memory connections (no socket) for the user
// list and message tests. Owns everything it makes; connections must go
// before it.
class TFakeUsers {
 public:
  TFakeUsers() {
    Regular->Name = "Regular";
    Regular->UserDefined = false;
    Operator->Name = "Operator";
    Operator->ProfileLevel = 5;
    Operator->SetRight(TProfileRight::IsOperator, 1);
    Master->Name = "Master";
    Master->ProfileLevel = 9;
    Master->SetRight(TProfileRight::IsOperator, 1);
    Master->SetRight(TProfileRight::MayShowHidden, paSame);
    Master->SetRight(TProfileRight::MayHideMe, 1);
    DefaultAccount->Profile = Regular;
    DefaultAccount->BuiltIn = true;
    Defaults.Account = DefaultAccount;
    Defaults.Profile = Regular;
  }

  std::shared_ptr<TProfile> Regular = std::make_shared<TProfile>();
  std::shared_ptr<TProfile> Operator = std::make_shared<TProfile>();
  std::shared_ptr<TProfile> Master = std::make_shared<TProfile>();
  std::shared_ptr<TAccount> DefaultAccount = std::make_shared<TAccount>();
  TUserDefaults Defaults;
  TConnRestriction General;

  std::shared_ptr<TAccount> MakeAccount(std::string_view nick, std::shared_ptr<TProfile> profile) {
    auto account = std::make_shared<TAccount>();
    account->Nick = std::string(nick);
    account->Profile = std::move(profile);
    return account;
  }

  // An initialised connection without a socket, past the hand-shake, with a
  // nick and, when `profile` is given, a registered account of it.
  std::unique_ptr<THubSocket> Connect(std::string_view nick,
                                      std::shared_ptr<TProfile> profile = nullptr,
                                      bool hidden = false) {
    auto user = std::make_unique<THubSocket>(Defaults);
    user->Initialize(-1, General);
    user->Nick = std::string(nick);
    user->LoginState = 3;
    if (profile) {
      auto account = MakeAccount(nick, std::move(profile));
      account->UserHidden = hidden;
      user->BindAccount(account, General);
      user->Registered = true;
    }
    return user;
  }
};
