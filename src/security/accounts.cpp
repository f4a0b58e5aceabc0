#include "security/accounts.h"

#include <algorithm>
#include <utility>

#include "platform/local_clock.h"
#include "security/account.h"
#include "security/account_users.h"
#include "security/accounts_view.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "base/exceptions.h"

namespace {

int CompareNicks(std::string_view a, std::string_view b) {
  return CompareKeysForward(a, b, /*caseSensitive=*/false);
}

std::shared_ptr<TAccount> MakeBuiltIn(std::shared_ptr<TProfile> profile) {
  auto account = std::make_shared<TAccount>();
  account->BuiltIn = true;
  account->Profile = std::move(profile);
  return account;
}

}  // namespace

TAccounts::TAccounts(TProfiles& profiles, TAccountUsers* users, TFeedSink errorSink)
    : profiles_(profiles),
      users_(users),
      errorSink_(std::move(errorSink)),
      defaultAccount_(MakeBuiltIn(profiles.Regular())),
      registeredAccount_(MakeBuiltIn(profiles.Registered())) {
  profiles_.SetAccounts(this);
}

TAccounts::~TAccounts() { profiles_.SetAccounts(nullptr); }

TDateTime TAccounts::Now() const { return clock_ ? clock_() : NowLocal(); }

bool TAccounts::Expired(const TAccount& account, TDateTime now) const {
  return account.ExpireDateEnabled && account.ExpireDate < now;
}

void TAccounts::ReportError(const std::string& line) const {
  if (errorSink_) errorSink_(line);
}

void TAccounts::ReportMissingProfile(const TAccount& account, const std::string& name) const {
  ReportError("Account " + account.Nick + " refers to the missing profile " + name);
}

// --- the two lists ---------------------------------------------------------

std::size_t TAccounts::LowerBound(std::string_view nick) const {
  const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), nick,
                                   [](const std::unique_ptr<TSlot>& stored, std::string_view key) {
                                     return CompareNicks(key, stored->Account->Nick) > 0;
                                   });
  return static_cast<std::size_t>(it - sorted_.begin());
}

std::size_t TAccounts::PositionOf(const TSlot* slot) const {
  // The hash and the order fold case through different tables, so a few
  // neighbours may compare equal; the slot itself decides.
  for (std::size_t at = LowerBound(slot->Account->Nick); at < sorted_.size(); ++at) {
    if (sorted_[at].get() == slot) return at;
    if (CompareNicks(slot->Account->Nick, sorted_[at]->Account->Nick) != 0) break;
  }
  const auto it = std::find_if(sorted_.begin(), sorted_.end(),
                               [slot](const std::unique_ptr<TSlot>& s) { return s.get() == slot; });
  KAVRO_CHECK(it != sorted_.end(), "account slot not in the nick order");
  return static_cast<std::size_t>(it - sorted_.begin());
}

TAccounts::TSlot* TAccounts::SlotOf(const TAccount& account) const {
  TSlot* slot = byNick_.Find(account.Nick);
  return slot != nullptr && slot->Account.get() == &account ? slot : nullptr;
}

bool TAccounts::Insert(std::shared_ptr<TAccount> account, std::string missingProfile) {
  const std::string& nick = account->Nick;
  if (nick.empty() || byNick_.Find(nick) != nullptr) return false;
  auto slot = std::make_unique<TSlot>();
  slot->Account = std::move(account);
  slot->MissingProfile = std::move(missingProfile);
  byNick_.Add(slot->Account->Nick, slot.get());
  const std::size_t at = LowerBound(slot->Account->Nick);
  sorted_.insert(sorted_.begin() + static_cast<std::ptrdiff_t>(at), std::move(slot));
  return true;
}

std::shared_ptr<TAccount> TAccounts::Unlist(TSlot* slot) {
  std::shared_ptr<TAccount> account = slot->Account;
  const std::size_t at = PositionOf(slot);
  byNick_.Remove(account->Nick);
  sorted_.erase(sorted_.begin() + static_cast<std::ptrdiff_t>(at));
  return account;
}

void TAccounts::DropProfileCount(const TAccount& account) const {
  if (account.Profile != nullptr) --account.Profile->AccountCount;
}

// --- operations --------------------------------------------------------------

std::shared_ptr<TAccount> TAccounts::Find(std::string_view nick) const {
  const TSlot* slot = byNick_.Find(nick);
  return slot == nullptr ? nullptr : slot->Account;
}

std::shared_ptr<TAccount> TAccounts::Create(std::string_view nick,
                                            std::shared_ptr<TProfile> profile,
                                            std::string missingProfile) {
  auto account = std::make_shared<TAccount>();
  account->Nick = std::string(nick);
  account->Created = Now();
  account->Profile = std::move(profile);
  if (!Insert(account, std::move(missingProfile))) return nullptr;
  if (account->Profile != nullptr) ++account->Profile->AccountCount;
  return account;
}

std::shared_ptr<TAccount> TAccounts::Add(std::string_view nick, std::string_view profileName) {
  std::shared_ptr<TProfile> profile = profiles_.Find(profileName);
  if (profile == nullptr) return nullptr;
  std::shared_ptr<TAccount> account = Create(nick, std::move(profile), {});
  if (account != nullptr && users_ != nullptr) users_->BindNewAccount(account);
  if (account != nullptr && view_ != nullptr) view_->UpdateAccount(*account);
  return account;
}

bool TAccounts::Delete(std::string_view nick) {
  TSlot* slot = byNick_.Find(nick);
  if (slot == nullptr) return false;
  std::shared_ptr<TAccount> account = Unlist(slot);
  account->Deleted = true;
  if (account->InUseCount == 0) DropProfileCount(*account);
  if (view_ != nullptr) view_->RemoveAccount(*account);
  return true;
}

void TAccounts::Clear() {
  while (!sorted_.empty()) {
    std::shared_ptr<TAccount> account = Unlist(sorted_.back().get());
    account->Deleted = true;
    if (account->InUseCount == 0) DropProfileCount(*account);
  }
}

std::shared_ptr<TAccount> TAccounts::AssignToUser(std::string_view nick) {
  std::shared_ptr<TAccount> account = Find(nick);
  if (account == nullptr) return nullptr;
  if (Expired(*account, Now())) {
    Delete(nick);
    return nullptr;
  }
  ++account->InUseCount;
  return account;
}

void TAccounts::ReleaseAccount(const std::shared_ptr<TAccount>& account) {
  KAVRO_CHECK(account != nullptr, "TAccounts.ReleaseAccount without an account");
  KAVRO_CHECK(account->InUseCount > 0, "TAccounts.ReleaseAccount of an unheld account");
  --account->InUseCount;
  if (account->InUseCount == 0 && account->Deleted) DropProfileCount(*account);
}

void TAccounts::ChangeProfile(const std::shared_ptr<TAccount>& account,
                              const std::shared_ptr<TProfile>& profile) {
  KAVRO_CHECK(account != nullptr && profile != nullptr, "TAccounts.ChangeProfile arguments");
  if (account->Profile == profile) return;
  std::shared_ptr<TProfile> old = account->Profile;
  // The two default accounts stand for no registered nick and are not
  // counted.
  if (account != defaultAccount_ && account != registeredAccount_) {
    if (old != nullptr) --old->AccountCount;
    ++profile->AccountCount;
  }
  account->Profile = profile;
  if (TSlot* slot = SlotOf(*account)) slot->MissingProfile.clear();
  if (users_ != nullptr) users_->AccountProfileChanged(account, old);
  if (view_ != nullptr && SlotOf(*account) != nullptr) view_->UpdateAccount(*account);
}

bool TAccounts::Rename(const std::shared_ptr<TAccount>& account, std::string_view nick) {
  if (account == nullptr || nick.empty() || nick == account->Nick) return false;
  TSlot* slot = SlotOf(*account);
  if (slot == nullptr) return false;
  const TSlot* holder = byNick_.Find(nick);
  if (holder != nullptr && holder != slot) return false;

  // Out of both lists and back in under the new key.
  const std::size_t at = PositionOf(slot);
  std::unique_ptr<TSlot> owned = std::move(sorted_[at]);
  sorted_.erase(sorted_.begin() + static_cast<std::ptrdiff_t>(at));
  byNick_.Remove(account->Nick);
  const std::string oldNick = account->Nick;
  account->Nick = std::string(nick);
  byNick_.Add(account->Nick, owned.get());
  const std::size_t to = LowerBound(account->Nick);
  sorted_.insert(sorted_.begin() + static_cast<std::ptrdiff_t>(to), std::move(owned));
  if (view_ != nullptr) view_->RenameAccount(*account, oldNick);
  return true;
}

void TAccounts::RelinkProfiles() {
  for (const auto& slot : sorted_) {
    TAccount& account = *slot->Account;
    const std::string name =
        account.Profile != nullptr ? account.Profile->Name : slot->MissingProfile;
    std::shared_ptr<TProfile> profile = profiles_.Find(name);
    if (profile != account.Profile) {
      DropProfileCount(account);
      if (profile != nullptr) ++profile->AccountCount;
      account.Profile = profile;
    }
    if (profile == nullptr) {
      slot->MissingProfile = name;
      ReportMissingProfile(account, name);
    } else {
      slot->MissingProfile.clear();
    }
  }
  if (view_ != nullptr) view_->RefreshList();
}

void TAccounts::MarkBuiltIn(TAccount& account) const { account.BuiltIn = true; }

void TAccounts::SetCreated(TAccount& account, TDateTime date) const { account.Created = date; }

void TAccounts::SetLastSpoke(TAccount& account, TDateTime time) const {
  if (account.BuiltIn || account.LastSpoke == time) return;
  account.LastSpoke = time;
  if (view_ != nullptr && !account.Deleted) view_->UpdateAccount(account);
}

void TAccounts::SetLastUsed(TAccount& account, TDateTime time) const {
  if (!account.BuiltIn) account.LastUsed = time;
}

void TAccounts::SetOnline(TAccount& account, bool online) const {
  if (account.BuiltIn || account.Online == online) return;
  account.Online = online;
  if (view_ != nullptr && !account.Deleted) view_->UpdateAccount(account);
}

const std::shared_ptr<TAccount>& TAccounts::GetItem(int index) const {
  KAVRO_CHECK(index >= 0 && index < GetCount(), "TAccounts.GetItem index out of range");
  return sorted_[static_cast<std::size_t>(index)]->Account;
}

TMatchRange TAccounts::FindMatchRange(std::string_view pattern) const {
  TMatchRange range;
  if (pattern.empty()) return range;
  const auto matches = [pattern](const TSlot& slot) {
    return CompareWildForward(pattern, slot.Account->Nick, '*', /*caseSensitive=*/false);
  };
  // First entry not before the pattern, then every entry equal to it.
  const auto it = std::lower_bound(
      sorted_.begin(), sorted_.end(), pattern,
      [&](const std::unique_ptr<TSlot>& stored, std::string_view) { return matches(*stored) > 0; });
  std::size_t last = static_cast<std::size_t>(it - sorted_.begin());
  const std::size_t first = last;
  while (last < sorted_.size() && matches(*sorted_[last]) == 0) ++last;
  if (last == first) return range;
  range.first = static_cast<int>(first);
  range.last = static_cast<int>(last) - 1;
  return range;
}

std::string TAccounts::MissingProfileName(const TAccount& account) const {
  const TSlot* slot = SlotOf(account);
  return slot == nullptr ? std::string() : slot->MissingProfile;
}
