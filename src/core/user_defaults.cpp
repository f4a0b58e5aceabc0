#include "core/user_defaults.h"

#include "security/account.h"
#include "security/accounts.h"
#include "security/profiles.h"

void BindUserDefaults(TUserDefaults& defaults, TAccounts& accounts, TProfiles& profiles) {
  defaults.Account = accounts.DefaultAccount();
  defaults.Profile = profiles.Regular();
  defaults.FindAccount = [&accounts](std::string_view nick) { return accounts.Find(nick); };
  defaults.AcquireAccount = [](const std::shared_ptr<TAccount>& account) {
    ++account->InUseCount;
  };
  defaults.ReleaseAccount = [&accounts](const std::shared_ptr<TAccount>& account) {
    accounts.ReleaseAccount(account);
  };
}
