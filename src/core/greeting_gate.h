#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "utils/bin_list.h"
#include "base/date_time.h"

class THubSocket;
class TNickList;

// When unregistered users were last seen, by nick, so that a user who
// comes back soon is not announced again. Owns its entries. An entry is
// dropped once its user is logged out and even the longest away time of
// any profile asked so far has passed since it was last seen.
class TUserStatic {
 public:
  using TClock = std::function<TDateTime()>;

  TUserStatic(const TNickList& nickList, TClock now);
  ~TUserStatic();
  TUserStatic(const TUserStatic&) = delete;
  TUserStatic& operator=(const TUserStatic&) = delete;

  // The time the nick was last seen (a zero date-time when never) and now
  // as its new time; then drops the entries that have expired.
  TDateTime Touch(const THubSocket& user);
  // Entries are kept at least this long (seconds); only grows.
  void KeepAtLeast(std::int64_t seconds);
  int Count() const { return entries_ ? entries_->Count() : 0; }

 private:
  struct TEntry {
    TDateTime LastSeen;
  };

  void DropExpired(TDateTime now);

  const TNickList& nickList_;
  TClock now_;
  std::int64_t keepSeconds_ = 0;
  std::unique_ptr<TBinList<TEntry>> entries_;  // made on first use
};

// The protected-nick list's side of the gate: the entry's last-used time
// (the side may renew it to `now`); empty when the nick has no entry.
// Unset: no entries.
using TProtectedLastUsed =
    std::function<std::optional<TDateTime>(std::string_view nick, TDateTime now)>;

// Computes the greeting gate: the moment after which a returning user's
// join announcement and greeting are shown. Owns nothing.
class TProtocolFunctions {
 public:
  TProtocolFunctions(TUserStatic& userStatic, TUserStatic::TClock now,
                     TProtectedLastUsed protectedLastUsed = nullptr);

  // A zero date-time (always past) unless the user's profile turns the away
  // time on; else the user's last-seen time plus that away time.
  TDateTime GreetingGate(const THubSocket& user);

 private:
  TUserStatic& userStatic_;
  TUserStatic::TClock now_;
  TProtectedLastUsed protectedLastUsed_;
};
