#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/date_time.h"
#include "core/commands/hub_figures.h"

class TAccounts;
class TBanList;
class TChatRooms;
class TCoreHooks;
class THubControl;
class THistoryManager;
class TISPList;
class TLanguage;
class TNickList;
class TPageRefresh;
class TNicksInUse;
class TProfiles;
class TProtocolMessage;
class TSettings;
class TShareTrace;
class TStats;
class TTextCommands;
class TTmpBanList;
class TUserRegistered;
class TUserStatsSide;

// The collaborators of the command sets; all must outlive them.
struct TCommandContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TProtocolMessage& Messages;
  TNicksInUse& NicksInUse;  // the nicks the hub keeps: no one to kick there
  TCoreHooks& Hooks;        // the feed and the temporary bans
  TStats& Stats;
  TBanList& Bans;           // the auto-ban on kicks
  THistoryManager& History;
  TShareTrace* ShareTrace = nullptr;         // null: kicks trace nothing
  TUserRegistered* Registered = nullptr;      // protected nicks; null: no one may register
  std::function<TDateTime()> Today;           // local date; empty: the system's
  std::function<std::string()> Uptime;        // the hub's uptime text; empty: none
  TChatRooms* ChatRooms = nullptr;            // null: no rooms to create or delete
  THubControl* Control = nullptr;             // lock and save-all; null: neither
  TAccounts* Accounts = nullptr;              // null: the account commands do nothing
  TProfiles* Profiles = nullptr;              // null: neither they nor "pmprofile" find one
  TISPList* ISPs = nullptr;                   // null: the ISP commands do nothing
  // Built after the commands, so asked for when needed; empty or null: none.
  std::function<TTextCommands*()> TextCommands{};
  std::function<TUserStatsSide*()> UserStats{};  // stored penalties of away nicks
  std::function<THubFigures()> Figures{};       // process and machine; empty: zeros
  std::function<std::uint64_t()> Ticks{};       // the clock of ConnectTick; empty: the hub's
  TPageRefresh* Pages = nullptr;  // the window's pages; null: none to tell
  TTmpBanList* TmpBans = nullptr;             // null: nothing to list or clear
};
