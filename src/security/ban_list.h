#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "utils/pattern_list.h"
#include "utils/wild_pattern_list.h"

class TLanguage;

// One lasting ban. Expires and LastUsed hold 0 for "permanent" and "never".
struct TBan {
  // On for the automatic IP ban after wrong passwords: it refuses even the
  // profiles that may bypass bans. Off for bans made by commands.
  bool Overrideable = false;
  std::string Pattern;
  std::string BannedBy;
  std::string Reason;  // may be empty
  TDateTime Issued;
  TDateTime Expires;
  TDateTime LastUsed;
  // The banned user's profile level, for the unban right; memory only, so
  // 0 after a reload.
  int Level = 0;
};

enum class TBanKind : std::uint8_t { Nick, IP, DNS, Client };

// The lasting bans by nick, IP, host name and client (name and version, as
// "DC++0.868"), each permanent or until a date, stored in settings/bans.xml.
// Nick, IP and client patterns may start and/or end with '*'; host-name
// patterns also take '?' for one character. Matching ignores case.
//
// The checks take plain values and return the refusal text (a bot line to
// send); refusing, redirecting and closing are the caller's. A check walks
// every matching ban in the order the best match would be chosen: expired
// bans met on the way are deleted, bans the user may bypass are passed
// over, and the first one left refuses, so neither kind hides a live ban
// behind it.
//
// Owns its bans; not the language it reads texts from. Main thread only.
class TBanList {
 public:
  using TClock = std::function<TDateTime()>;
  using TFeedSink = std::function<void(const std::string& line)>;

  // `clock` is the wall clock for issue, expiry and last use; empty: local
  // time.
  explicit TBanList(const TLanguage& language, TFeedSink errorSink = {}, TClock clock = {});
  ~TBanList();
  TBanList(const TBanList&) = delete;
  TBanList& operator=(const TBanList&) = delete;

  void SetClock(TClock clock) { clock_ = std::move(clock); }
  // The list's wall clock, from which expiry dates are counted.
  TDateTime Now() const;

  // Adding; null when refused. Issued is now, LastUsed never; an expires of
  // 0 is permanent. A nick ban is refused when a live nick ban already
  // matches the pattern read as a nick (the same pattern included); the
  // others when the same pattern is held by a live ban. A held ban that has
  // expired gives way to the new one.
  TBan* AddNickBan(std::string_view pattern, std::string_view reason, int level,
                   TDateTime expires, std::string_view bannedBy);
  TBan* AddIPBan(std::string_view pattern, std::string_view reason, int level, TDateTime expires,
                 std::string_view bannedBy);
  TBan* AddDNSBan(std::string_view pattern, std::string_view reason, TDateTime expires,
                  std::string_view bannedBy);
  TBan* AddClientBan(std::string_view pattern, std::string_view reason, TDateTime expires,
                     std::string_view bannedBy);

  // Bans a connected user's nick (IP) with the level of the user's
  // profile. The text to tell the user before closing the connection;
  // nothing when the ban was refused.
  std::optional<std::string> BanUserNick(std::string_view nick, int level,
                                         std::string_view reason, TDateTime expires,
                                         std::string_view bannedBy);
  std::optional<std::string> BanUserIP(std::string_view ip, int level, std::string_view reason,
                                       TDateTime expires, std::string_view bannedBy);

  // The login checks: the refusal text, or nothing. The bypass flags are
  // the user's profile rights; they never pass an Overrideable ban. The
  // nick is checked first, the IP only when no nick ban is left.
  std::optional<std::string> CheckNickAndIPBan(std::string_view nick, std::string_view ip,
                                               bool mayBypassNick, bool mayBypassIP);
  // No host name, no ban.
  std::optional<std::string> CheckDNSBan(std::string_view hostName, bool mayBypassDNS);
  // `client` is the client name followed by its version. A profile that may
  // bypass client bans passes them all, Overrideable or not.
  std::optional<std::string> CheckClientBan(std::string_view client, bool mayBypassClient);

  // Removing and finding by exactly this key (case-insensitive).
  bool DeleteNickBan(std::string_view pattern) { return Delete(TBanKind::Nick, pattern); }
  bool DeleteIPBan(std::string_view pattern) { return Delete(TBanKind::IP, pattern); }
  bool DeleteDNSBan(std::string_view pattern) { return Delete(TBanKind::DNS, pattern); }
  bool DeleteClientBan(std::string_view pattern) { return Delete(TBanKind::Client, pattern); }
  TBan* FindNickBan(std::string_view pattern) const { return Find(TBanKind::Nick, pattern); }
  TBan* FindIPBan(std::string_view pattern) const { return Find(TBanKind::IP, pattern); }
  TBan* FindDNSBan(std::string_view pattern) const { return Find(TBanKind::DNS, pattern); }
  TBan* FindClientBan(std::string_view pattern) const { return Find(TBanKind::Client, pattern); }
  bool Delete(TBanKind kind, std::string_view pattern);
  TBan* Find(TBanKind kind, std::string_view pattern) const;
  // The live ban a new one of `text` would stand behind: for nicks the
  // first live ban matching it as a nick, else the live ban of that exact
  // pattern; null when none (expired ones met are deleted).
  TBan* StandingBan(TBanKind kind, std::string_view text);
  // The sorted entries a search selects: a trailing '*' (for host names a
  // leading one) stands for any rest, "*" alone for all.
  TMatchRange FindRange(TBanKind kind, std::string_view search) const;
  // Every ban of that kind whose pattern matches `text`, each once, in
  // match order (an infix pattern can match at several places).
  std::vector<TBan*> MatchAll(TBanKind kind, std::string_view text) const;
  // What a user hears when banned by `ban`.
  std::string BanText(const TBan& ban) const { return NewBanText(ban); }

  // Deletes the bans of that kind whose time is up; listings run them first.
  void RemoveExpiredNickBans() { RemoveExpired(TBanKind::Nick); }
  void RemoveExpiredIPBans() { RemoveExpired(TBanKind::IP); }
  void RemoveExpiredDNSBans() { RemoveExpired(TBanKind::DNS); }
  void RemoveExpiredClientBans() { RemoveExpired(TBanKind::Client); }
  void RemoveExpired(TBanKind kind);

  // Frees every ban of the four kinds.
  void Clear();

  // In key order; 0 <= index < GetCount(kind).
  int GetCount(TBanKind kind) const;
  TBan& GetItem(TBanKind kind, int index) const;

  // Reads settings/bans.xml. False when it is missing or cannot be parsed;
  // a damaged file is reported, changes nothing and keeps saving refused
  // until a load succeeds. Bans expired by now, with an empty pattern, an
  // expiry that is no date, or a pattern already read are dropped.
  bool Load();
  // Writes the live bans, owner-only. False before the first load attempt,
  // after a damaged load, or when the write fails.
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }

  static std::string FilePath();

 private:
  using TCharList = TPatternList<TBan>;
  using TWildList = TWildPatternList<TBan>;

  // Calls `visit` with the list of `kind` (const or not, as `self` is).
  template <typename Self, typename Visit>
  static decltype(auto) ForList(Self& self, TBanKind kind, Visit visit);
  // The first match for `text` in Match's order that has not expired and
  // that `mayBypass` does not pass; the expired matches are deleted.
  TBan* FirstLive(TBanKind kind, std::string_view text, bool mayBypass);
  // FirstLive for a login check: the ban found is marked used now.
  TBan* CheckList(TBanKind kind, std::string_view text, bool mayBypass);
  // Stores a new ban unless `pattern` is held by a live ban (an expired one
  // is deleted first).
  TBan* AddUnique(TBanKind kind, std::string_view pattern, std::string_view reason, int level,
                  TDateTime expires, std::string_view bannedBy);
  TBan* Store(TBanKind kind, std::string_view pattern, std::string_view reason, int level,
              TDateTime expires, std::string_view bannedBy);
  std::string ExistingText(const TBan& ban, bool client) const;
  std::string NewBanText(const TBan& ban) const;
  void ReportError(const std::string& line) const;

  const TLanguage& language_;
  TFeedSink errorSink_;
  TClock clock_;
  TCharList nick_{128};
  TCharList ip_{128};
  TWildList dns_{128};
  TCharList client_{128};
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};

// Whether the ban's time is up at `now`; a permanent one never is.
bool BanExpired(const TBan& ban, TDateTime now);
