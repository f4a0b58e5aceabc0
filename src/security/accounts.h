#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utils/bin_list.h"
#include "base/date_time.h"
#include "utils/hash_list.h"

class TAccount;
class TAccountUsers;
class TAccountsView;
class TProfile;
class TProfiles;

// The registered nicks: every account by nick (case-insensitive), in nick
// order, stored in settings/accounts.xml, plus two built-in accounts that
// are never stored: the default one every new connection starts with
// (profile "Regular") and the one for self-registered protected nicks
// (profile "Registered").
//
// Accounts are held by shared_ptr because the list and every connection
// bound to one hold it: an account deleted, or replaced by a reload, while a
// connection holds it is marked Deleted and lives until the last holder
// lets go, and only then drops its profile's AccountCount.
//
// Binding rule: every binding of a connection to an account (a login, a
// user bound by TAccountUsers::BindNewAccount, a re-bind after a reload)
// is one AssignToUser, and ends with exactly one ReleaseAccount; so
// InUseCount counts connections, never bindings twice.
//
// An account whose profile does not exist (in accounts.xml, or after the
// profiles were reloaded) is reported as an Error line and kept with a null
// Profile: it grants no rights, and it is written back with the profile
// name it was read with. AssignToUser still returns it, so the nick stays
// password-protected; the login treats a null profile as "Regular".
//
// Owns the account list; does not own the profiles or the logged-in users.
// Main thread only.
class TAccounts {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;
  using TClock = std::function<TDateTime()>;

  // Registers with `profiles` (which must outlive this list) for relinks.
  explicit TAccounts(TProfiles& profiles, TAccountUsers* users = nullptr,
                     TFeedSink errorSink = {});
  ~TAccounts();
  TAccounts(const TAccounts&) = delete;
  TAccounts& operator=(const TAccounts&) = delete;

  void SetAccountUsers(TAccountUsers* users) { users_ = users; }
  void SetErrorSink(TFeedSink sink) { errorSink_ = std::move(sink); }
  // Told after each change; nullptr: nobody.
  void SetView(TAccountsView* view) { view_ = view; }
  // The wall clock for Created and expiry; local time by default.
  void SetClock(TClock clock) { clock_ = std::move(clock); }

  const std::shared_ptr<TAccount>& DefaultAccount() const { return defaultAccount_; }
  const std::shared_ptr<TAccount>& RegisteredAccount() const { return registeredAccount_; }

  std::shared_ptr<TAccount> Find(std::string_view nick) const;

  // A new account of a user-defined profile; null when the nick is empty or
  // taken or the profile is not a user-defined one. A logged-in user of the
  // nick is bound to it at once through TAccountUsers::BindNewAccount.
  std::shared_ptr<TAccount> Add(std::string_view nick, std::string_view profileName);
  // Marks the account Deleted and takes it out of the list; false when
  // absent. Unheld, it drops its profile's count now, else at its last
  // release.
  bool Delete(std::string_view nick);

  // The login's part: null when no account has the nick; an account whose
  // enabled ExpireDate has passed is deleted and gives null; else
  // InUseCount + 1 and the account, which the connection applies.
  std::shared_ptr<TAccount> AssignToUser(std::string_view nick);
  // A connection lets go of an account AssignToUser gave it: InUseCount - 1;
  // a deleted account drops its profile's count at its last release. A
  // release without a matching assign is a programming error
  // (EAssertionFailed).
  void ReleaseAccount(const std::shared_ptr<TAccount>& account);

  // Moves one AccountCount from the old profile to `profile` and tells a
  // logged-in user; nothing when unchanged.
  void ChangeProfile(const std::shared_ptr<TAccount>& account,
                     const std::shared_ptr<TProfile>& profile);
  // False when `nick` equals the current nick exactly, is empty or belongs
  // to another account, or when `account` is not in the list.
  bool Rename(const std::shared_ptr<TAccount>& account, std::string_view nick);
  // After the profiles were reloaded: every account to the profile of its
  // (or its remembered) profile name; missing ones are reported.
  void RelinkProfiles();

  void MarkBuiltIn(TAccount& account) const;
  void SetCreated(TAccount& account, TDateTime date) const;
  // The setters ignore built-in accounts.
  void SetLastSpoke(TAccount& account, TDateTime time) const;
  void SetLastUsed(TAccount& account, TDateTime time) const;
  void SetOnline(TAccount& account, bool online) const;

  int GetCount() const { return static_cast<int>(sorted_.size()); }
  // 0 <= index < GetCount(), nick order.
  const std::shared_ptr<TAccount>& GetItem(int index) const;
  // The accounts whose nick matches `pattern`; a trailing '*' matches any
  // rest ("ab*").
  TMatchRange FindMatchRange(std::string_view pattern) const;
  // The profile name an account without a profile was read with ("" for
  // any other account).
  std::string MissingProfileName(const TAccount& account) const;

  // Deletes every account (held ones live on, marked Deleted).
  void Clear();

  // Reads settings/accounts.xml. False when it is missing, or when it
  // cannot be parsed: then nothing changes, an Error line is reported and
  // saving stays refused until a load succeeds. Accounts expired by now are
  // not loaded; nicks are made protocol-safe. Then the logged-in users are
  // re-bound.
  bool Load();
  // Deletes the expired accounts, then writes the others (owner-only: it
  // holds passwords). False before the first load attempt, after a damaged
  // load, or when the write fails.
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }

  static std::string FilePath();

 private:
  // One listed account. The slot owns the list's reference; the hash finds
  // the slot by nick, the vector keeps slots in nick order.
  struct TSlot {
    std::shared_ptr<TAccount> Account;
    std::string MissingProfile;  // the unknown profile name it was read with
  };

  TSlot* SlotOf(const TAccount& account) const;
  std::size_t LowerBound(std::string_view nick) const;
  std::size_t PositionOf(const TSlot* slot) const;
  // Lists a new account; false when its nick is taken.
  bool Insert(std::shared_ptr<TAccount> account, std::string missingProfile);
  // Takes the slot out of both lists; the account object lives on in holders.
  std::shared_ptr<TAccount> Unlist(TSlot* slot);
  void DropProfileCount(const TAccount& account) const;
  // A new account as Add makes it, without binding logged-in users.
  std::shared_ptr<TAccount> Create(std::string_view nick, std::shared_ptr<TProfile> profile,
                                   std::string missingProfile);
  bool Expired(const TAccount& account, TDateTime now) const;
  TDateTime Now() const;
  void ReportMissingProfile(const TAccount& account, const std::string& name) const;
  void ReportError(const std::string& line) const;

  TProfiles& profiles_;
  TAccountUsers* users_ = nullptr;
  TFeedSink errorSink_;
  TClock clock_;
  TAccountsView* view_ = nullptr;

  std::shared_ptr<TAccount> defaultAccount_;
  std::shared_ptr<TAccount> registeredAccount_;
  THashList<TSlot> byNick_{128};              // owns nothing
  std::vector<std::unique_ptr<TSlot>> sorted_;  // owns the slots, nick order
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};
