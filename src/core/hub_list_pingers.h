#pragma once

#include <array>
#include <memory>

class TAccount;
class TAccounts;
class THubSocket;
class TProfile;
class TConnRestriction;

// The identities of hub-list pinger bots: for class 1 (may not connect to
// users) and class 2 (may), one built-in account and one profile each. They
// are in no list: no nick, no file, no profile page, no reload reaches
// them. Owns both pairs.
class THubListPingers {
 public:
  explicit THubListPingers(const TAccounts& accounts);

  // Binds a pinger of class 1 or 2; any other class does nothing.
  void Bind(THubSocket& user, int pingerClass, const TConnRestriction& general) const;
  const std::shared_ptr<TAccount>& Account(int pingerClass) const;

 private:
  std::array<std::shared_ptr<TProfile>, 2> profiles_;
  std::array<std::shared_ptr<TAccount>, 2> accounts_;
};
