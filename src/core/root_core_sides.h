#pragma once

#include <functional>
#include <memory>
#include <string_view>

class TCoreHooks;
class THubFeed;
class THubSocket;
class TProtocolFunctions;
class TSendResult;
class TSettings;
class TStats;
class TTmpBanList;
class TBanList;
class TUserRegistered;
class TISPList;

// The hub core's side of the other subsystems, as the composition root
// wires them: the operator feed, the counters, the link-quality judge, the
// temporary and lasting bans, the ISP list, the protected nicks, the
// greeting gate and the "$MyINFO" handling. Owns the
// TCoreHooks the core is built with, every side registered there and the
// link-quality judge (TSendResult); does not own the other subsystems.
class TRootCoreSides {
 public:
  struct TParts {
    const TSettings& Settings;
    THubFeed& Feed;
    TStats& Stats;
    TTmpBanList& TmpBans;
    TBanList& Bans;
    const TISPList& ISPs;
    TProtocolFunctions& GreetingGate;
    TUserRegistered& Registered;
  };
  // A "$MyINFO" of login state 3 or 5; true when handled.
  using TMyINFOCall = std::function<bool(THubSocket& user, std::string_view message)>;

  TRootCoreSides(const TParts& parts, TMyINFOCall myINFO);
  ~TRootCoreSides();
  TRootCoreSides(const TRootCoreSides&) = delete;
  TRootCoreSides& operator=(const TRootCoreSides&) = delete;

  TCoreHooks& Hooks();
  TSendResult& LinkQuality();

  // Starts a connection's reverse look-up; false when none was started.
  // Until set, logins go on without a host name.
  using TDNSStarter = std::function<bool(THubSocket& user)>;
  void SetDNSStarter(TDNSStarter starter);

  // Hub-list pingers: the class of a user without an account, and its
  // binding. Until set, nobody is a pinger.
  using TPingerClass = std::function<int(const THubSocket& user)>;
  using TBindPinger = std::function<void(THubSocket& user, int pingerClass)>;
  void SetPingers(TPingerClass pingerClass, TBindPinger bindPinger);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
