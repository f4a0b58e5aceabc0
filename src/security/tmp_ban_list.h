#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "utils/hash_list.h"

class TLanguage;
class TSettings;

// One short ban: the nick and the IP it was given for, each with its own
// expiry (ms of the hub clock). The nick's expiry moves on with every
// attempt under the nick; the IP's never does.
struct TTmpBan {
  std::string Reason;  // may be empty
  std::string Nick;
  std::string IP;
  std::uint64_t IPExpiry = 0;
  std::uint64_t NickExpiry = 0;
  std::uint64_t Serial = 0;  // order of adding, the newest highest
};

// The temporary bans, in memory only: by nick (owner of the entries) and by
// IP (a second index onto the same entries; an entry may have lost its IP
// key to a newer ban from that IP). Bans last `TmpBanTime` ms. Main thread
// only; owns its entries, not the settings, texts or clock it reads.
class TTmpBanList {
 public:
  using TClock = std::function<std::uint64_t()>;

  // `clock` gives the hub's ms time; empty: the hub clock.
  TTmpBanList(const TSettings& settings, const TLanguage& language, TClock clock = {});
  ~TTmpBanList();
  TTmpBanList(const TTmpBanList&) = delete;
  TTmpBanList& operator=(const TTmpBanList&) = delete;

  // Bans a user's nick and IP for `TmpBanTime`. Nothing changes when both
  // are banned already; a ban held by the IP for another nick gives the IP
  // up to the new one; an old ban of the same nick from another IP is
  // replaced. Does nothing while `TmpBanTime` is switched off.
  void Add(std::string_view nick, std::string_view ip, std::string_view reason);

  // The refusal text when the nick (whose ban then restarts) or the IP is
  // banned; nothing when neither is. Who may bypass is the caller's call.
  std::optional<std::string> Refusal(std::string_view nick, std::string_view ip);

  // Drops the expired bans, then up to `limit` bans, newest first (all when
  // `limit` <= 0); the text says how many went.
  std::string ClearBans(int limit);

  // Drops every ban whose nick time has passed.
  void RemoveExpired();

  int Count() const { return byNick_.Count(); }
  const TTmpBan& Get(int index) const { return *byNick_.GetValue(index); }
  const TTmpBan* FindNick(std::string_view nick) const { return byNick_.Find(nick); }
  const TTmpBan* FindIP(std::string_view ip) const { return byIP_.Find(ip); }

  // The list's clock, from which the bans' times left count.
  std::uint64_t Now() const;

 private:
  std::uint64_t ExpiryFrom(std::uint64_t now) const;
  // Takes the entry out of both indexes and frees it.
  void Drop(TTmpBan* ban);
  // Gives up the entry's IP key, unless another entry holds it now.
  void DropIPKey(TTmpBan* ban);

  const TSettings& settings_;
  const TLanguage& language_;
  TClock clock_;
  std::uint64_t nextSerial_ = 1;
  THashList<TTmpBan> byNick_{32};
  THashList<TTmpBan> byIP_{32, true};
};
