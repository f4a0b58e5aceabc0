#include "core/hub_list_pingers.h"

#include "base/exceptions.h"
#include "core/hub_socket.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"

namespace {

// A pinger checks the hub's data and leaves: it gets in whatever the bans
// and the user count say, and may neither search nor talk.
std::shared_ptr<TProfile> MakePingerProfile(bool mayConnect) {
  auto profile = std::make_shared<TProfile>();
  profile->Name = mayConnect ? "Hub-list pinger (connects)" : "Hub-list pinger";
  profile->UserDefined = false;
  for (const TProfileRight right :
       {TProfileRight::MayReceiveNickListBeforeMyINFO, TProfileRight::MayEnterEvenIfHubIsFull,
        TProfileRight::MayByPassNickBans, TProfileRight::MayByPassIPBans,
        TProfileRight::MayByPassDNSBans, TProfileRight::MayByPassClientBans,
        TProfileRight::MayByPassTmpBans, TProfileRight::MayByPassISPIPCheck,
        TProfileRight::UseProfileConnRestriction})
    profile->SetRight(right, 1);
  for (const TProfileRight right :
       {TProfileRight::MaySearch, TProfileRight::MaySearchPassive,
        TProfileRight::MaySendMainChatMessages, TProfileRight::MaySendPrivateMessage,
        TProfileRight::MaySendConnectToMe, TProfileRight::MaySendRevConnectToMe})
    profile->SetRight(right, 0);
  if (mayConnect) profile->SetRight(TProfileRight::MaySendConnectToMe, 1);
  TConnRestriction restriction;  // every limit off
  restriction.MayBeInPassiveMode = true;
  restriction.AllowTagLessToByPass = true;
  profile->Restriction = restriction;
  return profile;
}

}  // namespace

THubListPingers::THubListPingers(const TAccounts& accounts) {
  for (std::size_t i = 0; i < 2; ++i) {
    profiles_[i] = MakePingerProfile(i == 1);
    accounts_[i] = std::make_shared<TAccount>();
    accounts.MarkBuiltIn(*accounts_[i]);
    accounts_[i]->Profile = profiles_[i];
  }
}

const std::shared_ptr<TAccount>& THubListPingers::Account(int pingerClass) const {
  KAVRO_CHECK(pingerClass == 1 || pingerClass == 2, "pinger class out of range");
  return accounts_[static_cast<std::size_t>(pingerClass - 1)];
}

void THubListPingers::Bind(THubSocket& user, int pingerClass,
                           const TConnRestriction& general) const {
  if (pingerClass != 1 && pingerClass != 2) return;
  // The profile's own restriction applies: UseProfileConnRestriction is on.
  user.BindAccount(Account(pingerClass), general);
}
