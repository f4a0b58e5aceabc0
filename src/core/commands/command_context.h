#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"

class TBanList;
class TCoreHooks;
class THistoryManager;
class TLanguage;
class TNickList;
class TNicksInUse;
class TProtocolMessage;
class TSettings;
class TShareTrace;
class TStats;

// The protected nicks as the built-in "regme" and "unregme" use them.
class TProtectedNicks {
 public:
  virtual ~TProtectedNicks() = default;
  virtual bool Exists(std::string_view nick) const = 0;
  // False when the nick cannot be added (held already, or empty).
  virtual bool Add(std::string_view nick, std::string_view password) = 0;
  virtual bool Remove(std::string_view nick) = 0;
};

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
  TProtectedNicks* ProtectedNicks = nullptr;  // null: no one may register
  std::function<TDateTime()> Today;           // local date; empty: the system's
  std::function<std::string()> Uptime;        // the hub's uptime text; empty: none
};
