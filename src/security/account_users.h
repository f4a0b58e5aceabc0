#pragma once

#include <memory>

class TAccount;
class TProfile;

// What the accounts and profiles ask of the logged-in users, which the user
// list owns. The composition root registers the user list's side; until
// then nothing is logged in and every call does nothing.
class TAccountUsers {
 public:
  virtual ~TAccountUsers() = default;

  // A new account was added: when a user of its nick is logged in, bind the
  // user to it now (counts as a login binding).
  virtual void BindNewAccount(const std::shared_ptr<TAccount>& /*account*/) {}

  // The account's profile changed from `oldProfile` to account.Profile:
  // operator list, the connection's profile and restriction, chat rooms, and
  // the user is told.
  virtual void AccountProfileChanged(const std::shared_ptr<TAccount>& /*account*/,
                                     const std::shared_ptr<TProfile>& /*oldProfile*/) {}

  // Accounts or profiles were reloaded: re-bind every connection holding a
  // registered account (logged in or still logging in) to the current
  // objects of its nick.
  virtual void RefreshAccounts() {}
};
