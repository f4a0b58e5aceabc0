#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "base/date_time.h"
#include "core/core_hooks.h"
#include "core/message_handlers.h"
#include "core/myinfo_handler.h"
#include "core/nick_list.h"
#include "core/program_lifecycle.h"
#include "settings/settings_hooks.h"

class TBanList;
class THubCore;
class THubFeed;
class THubList;
class TISPList;
class TNicksInUse;
class TSettings;
class TShareTrace;
class TSettingsFileWatcher;
class TStats;
class TChatRooms;
class TTextCommands;
class TUserStatsSide;
class TScriptEvents;

// The settings record's side of the other subsystems, as the composition
// root wires them. Owns nothing; the user list and the hub core join once
// they exist.
class TRootSettingsHooks final : public TSettingsHooks {
 public:
  TRootSettingsHooks(TSettings& settings, TSettingsFileWatcher& watcher, TNicksInUse& nicksInUse);

  void SetNickList(TNickList* nickList) { nickList_ = nickList; }
  void SetHubCore(THubCore* core) { core_ = core; }
  void SetStats(TStats* stats) { stats_ = stats; }
  void SetUserStats(TUserStatsSide* userStats) { userStats_ = userStats; }
  void SetHubList(THubList* hubList) { hubList_ = hubList; }

  void SetHubSpeed(int workPace) override;
  void SendToAll(std::string_view message) override;
  bool IsNickInUseByOther(std::string_view nick) override;
  void ReserveNick(std::string_view nick) override;
  void ReleaseReservedNick(std::string_view nick) override;
  void SetSettingsWatcherEnabled(bool enabled) override;
  void AnnounceBot(const TBotAnnouncement& announcement) override;
  void CollectPeaks(TSettingsPeaks& peaks) override;
  void SelectUserStats(int type) override;
  void SettingsLoaded() override;
  void HubNameChanged() override;

  // The window's side: told after every settings load and hub-name change
  // (its caption). The headless program leaves it empty.
  using TWindowListener = std::function<void()>;
  void SetWindowListener(TWindowListener listener) { windowListener_ = std::move(listener); }

 private:
  TSettings& settings_;
  TWindowListener windowListener_;
  TSettingsFileWatcher& watcher_;
  TNicksInUse& nicksInUse_;
  TNickList* nickList_ = nullptr;
  THubCore* core_ = nullptr;
  TStats* stats_ = nullptr;
  TUserStatsSide* userStats_ = nullptr;
  THubList* hubList_ = nullptr;
};

// The user list's and the "$MyINFO" handler's flood gate (the protocol
// engine's), the client bans, the ISP restrictions and the share total they
// move. Owns nothing.
class TRootUserHooks final : public TNickListHooks, public TMyINFOHooks {
 public:
  TRootUserHooks(THubCore& core, TStats& stats, TBanList& bans, const TISPList& isps,
                 const TSettings& settings)
      : core_(core), stats_(stats), bans_(bans), isps_(isps), settings_(settings) {}

  bool FloodGate(THubSocket& user, TFloodKind kind) override;
  const TConnRestriction* ISPRestriction(const THubSocket& user) override;
  bool CheckClientBan(THubSocket& user) override;
  void TotalShareChanged(std::int64_t delta) override;
  // Null: no scripts hear of users leaving.
  void SetScripts(TScriptEvents* scripts) { scripts_ = scripts; }
  void UserDisconnected(THubSocket& user) override;

 private:
  THubCore& core_;
  TStats& stats_;
  TBanList& bans_;
  const TISPList& isps_;
  const TSettings& settings_;
  TScriptEvents* scripts_ = nullptr;
};

// What reloads of profiles and accounts ask of the users: the user list's
// side, plus the connections still logging in with a registered nick, which
// the list does not hold but which must not keep a reloaded account either.
class TRootAccountUsers final : public TAccountUsers {
 public:
  TRootAccountUsers(TNickList& list, THubCore& core) : list_(list), core_(core) {}

  void BindNewAccount(const std::shared_ptr<TAccount>& account) override;
  void AccountProfileChanged(const std::shared_ptr<TAccount>& account,
                             const std::shared_ptr<TProfile>& oldProfile) override;
  void RefreshAccounts() override;
  // Null: no rooms to show or hide after a profile change.
  void SetRooms(TChatRooms* rooms) { rooms_ = rooms; }

 private:
  TNickList& list_;
  THubCore& core_;
  TChatRooms* rooms_ = nullptr;
};

// What the core tells of connections coming and going, for the units that
// keep per-user state: a closing user's kept kick reason is forgotten, and
// the five-minute purge prunes the share trace.
class TRootCoreEvents final : public TCoreEvents {
 public:
  using TClock = std::function<TDateTime()>;

  explicit TRootCoreEvents(TMessageHandlers& handlers) : handlers_(handlers) {}
  // Null: no share trace to prune.
  void SetShareTrace(TShareTrace* trace, const TSettings* settings, TClock clock) {
    shareTrace_ = trace;
    settings_ = settings;
    clock_ = std::move(clock);
  }
  // Null: no text commands run on connect or at login.
  void SetTextCommands(TTextCommands* commands) { textCommands_ = commands; }
  // Null: no rooms to join or leave.
  void SetRooms(TChatRooms* rooms) { rooms_ = rooms; }
  void KeyAccepted(THubSocket& user) override;
  void RoomsAnnounce(THubSocket& user) override;
  void LoggedIn(THubSocket& user) override;
  void LeaveRooms(THubSocket& user) override;
  void SetUserStats(TUserStatsSide* userStats) { userStats_ = userStats; }
  void LoggedOut(THubSocket& user) override;
  // Null: no scripts hear of connections and logins.
  void SetScripts(TScriptEvents* scripts) { scripts_ = scripts; }
  void Connected(THubSocket& user) override;
  void UserConnected(THubSocket& user) override;
  void Disconnected(THubSocket& user) override;
  void Purge() override;

 private:
  TMessageHandlers& handlers_;
  TTextCommands* textCommands_ = nullptr;
  TChatRooms* rooms_ = nullptr;
  TUserStatsSide* userStats_ = nullptr;
  TScriptEvents* scripts_ = nullptr;
  TShareTrace* shareTrace_ = nullptr;
  const TSettings* settings_ = nullptr;
  TClock clock_;
};

// The hub as the program's life drives it. Each start opens the ports the
// settings name at that moment. Owns nothing.
class TRootHub final : public TLifecycleHub {
 public:
  TRootHub(THubCore& core, TSettings& settings, THubFeed& feed)
      : core_(core), settings_(settings), feed_(feed) {}

  // "" listens on every local address.
  void SetListenAddress(std::string address) { listenAddress_ = std::move(address); }
  const std::string& ListenAddress() const { return listenAddress_; }
  void SetUserStats(TUserStatsSide* userStats) { userStats_ = userStats; }

  bool StartListening() override;
  bool Start() override;
  bool Stop(bool keepSockets) override;
  void SetTerminating() override;
  // Null: nothing timed runs.
  void SetTextCommands(TTextCommands* commands) { textCommands_ = commands; }
  void RunScheduledWork() override;
  void CloseStatistics() override;
  void HourlyStatisticsStep() override;

 private:
  // Adds a listener for each port of `ports` (";"-separated) not yet held.
  void AddListeners(std::string_view ports, bool tls);

  THubCore& core_;
  TSettings& settings_;
  THubFeed& feed_;
  TTextCommands* textCommands_ = nullptr;
  std::string listenAddress_;
  TUserStatsSide* userStats_ = nullptr;
};
