#include "scripting/lua_statistic.h"

#include "core/commands/text_commands.h"
#include "core/cpu_info.h"
#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/kavro_root.h"
#include "core/send_result.h"
#include "core/user_stats_side.h"
#include "platform/process_times.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/tmp_ban_list.h"
#include "security/user_registered.h"
#include "utils/byte_size.h"
#include "utils/constants.h"
#include "utils/hub_time.h"

extern "C" {
#include <lua.h>
}

namespace {

struct TUserFigures {
  std::int64_t Current = 0;
  std::int64_t Authorizing = 0;
  std::int64_t Share = 0;
};

TUserFigures UsersOnPort(THubCore& core, int port) {
  TUserFigures figures;
  TShareTotal share;  // announced shares: their sum may pass the int64 maximum
  for (int i = 0; i < core.ConnectionCount(); ++i) {
    const THubSocket& user = *core.ConnectionAt(i);
    if (user.Port != port || user.LifeState == lsClosing) continue;
    if (!user.Listed) {
      ++figures.Authorizing;
      continue;
    }
    ++figures.Current;
    if (!user.HidesShare) share.Add(user.UserInfo().Share);
  }
  figures.Share = share.Value();
  return figures;
}

}  // namespace

TStatisticFigures GatherStatistic(TKavroRoot& root, const TCPUInfo* cpu, int port) {
  const TStats& stats = root.Stats();
  const TProtocolStats& protocol = stats.Protocol;
  THubCore& core = root.HubCore();

  TUserFigures users{stats.CurrentUsers, stats.AuthorizingUsers, stats.CurrentSharesize};
  if (port >= 1) users = UsersOnPort(core, port);
  std::int64_t readBuffers = 0;
  std::int64_t writeBuffers = 0;
  for (int i = 0; i < core.ConnectionCount(); ++i) {
    THubSocket& user = *core.ConnectionAt(i);
    if (user.ReadBuffer().HasBlock()) ++readBuffers;
    if (user.WriteBuffer().Capacity() > 0) ++writeBuffers;
  }
  TProcessMemory memory;
  ReadProcessMemory(memory);
  TSystemMemory system;
  ReadSystemMemory(system);
  const TSendResult& link = root.LinkQuality();
  const TBanList& bans = root.Bans();
  const auto size = [](std::uint64_t bytes) {
    return FormatByteSize(static_cast<std::int64_t>(bytes));
  };

  return {
      {"CurrentUsers", users.Current},
      {"AuthorizingUsers", users.Authorizing},
      {"PeakUsers", stats.PeakUsers},
      {"AllTimePeakUsers", stats.AllTimePeakUsers},
      {"NickEntries", root.UserStats().NickEntries()},
      {"IPEntries", root.UserStats().IPEntries()},
      {"Errors", stats.Errors},
      {"ReadBuffers", readBuffers},
      {"TextCommands", root.TextCommands().GetCount()},
      {"MainchatMessages", protocol.MainchatMessages},
      {"PrivateMessages", protocol.PrivateMessages},
      {"ActiveSearches", protocol.ActiveSearches},
      {"PassiveSearches", protocol.PassiveSearches},
      {"SearchReplies", protocol.SearchReplies},
      {"MyINFOs", protocol.MyINFOs},
      {"Nicklists", protocol.Nicklists},
      {"ConnectToMe", protocol.ConnectToMe},
      {"RevConnectToMe", protocol.RevConnectToMe},
      {"Kicks", protocol.Kicks},
      {"Redirects", protocol.Redirects},
      {"MCTo", protocol.MCTo},
      {"BotINFO", protocol.BotINFO},
      {"Feed", protocol.Feed},
      {"ReadbufferFull", stats.ReadbufferFull},
      {"WritebufferFull", stats.WritebufferFull},
      {"SocketErrors", stats.SocketErrors},
      {"LoginTimeouts", stats.LoginTimeouts},
      {"IdleTimeouts", stats.IdleTimeouts},
      {"getDropSpamKicks", stats.DropSpamKicks},
      {"getHubAccounts", root.Accounts().GetCount()},
      {"Registered", root.Registered().GetCount()},
      {"NickBans", bans.GetCount(TBanKind::Nick)},
      {"IPBans", bans.GetCount(TBanKind::IP)},
      {"getHubDNSBans", bans.GetCount(TBanKind::DNS)},
      {"ClientBans", bans.GetCount(TBanKind::Client)},
      {"TempBans", root.TmpBans().Count()},
      {"ActionFeed", stats.ActionFeed},
      {"KickFeed", stats.KickFeed},
      {"EventFeed", stats.EventFeed},
      {"GUIFeed", stats.GUIFeed},
      {"ErrorFeed", stats.ErrorFeed},
      {"CurrentSharesize", FormatByteSize(users.Share)},
      {"PeakSharesize", FormatByteSize(stats.PeakSharesize)},
      {"AllTimePeakSharesize", FormatByteSize(stats.AllTimePeakSharesize)},
      {"PerUserSharesize",
       FormatByteSize(stats.CurrentUsers > 0 ? stats.CurrentSharesize / stats.CurrentUsers : 0)},
      {"CoreVersion", std::string(kProgramVersion)},
      {"Uptime", core.Uptime()},
      {"UptimePeak", TTime::FormatDuration(stats.UptimePeak)},
      // The misspelt key is what scripts read.
      {"Recieving", size(link.Recieving()) + "/s"},
      {"Sending", size(link.Sending()) + "/s"},
      {"WriteBuffers", std::to_string(writeBuffers)},
      {"CPUUsage", cpu != nullptr ? cpu->CPUUsage() : std::string("N/A")},
      {"CPUTime", cpu != nullptr ? cpu->CPUTime() : std::string("00:00:00")},
      {"MemoryUsage", size(memory.ResidentBytes)},
      {"PeakMemoryUsage", size(memory.PeakResidentBytes)},
      {"VirtualMemoryUsage", size(memory.VirtualBytes)},
      {"MemoryAvailable", size(system.AvailableBytes)},
  };
}

void PushStatistic(lua_State* state, const TStatisticFigures& figures) {
  lua_createtable(state, 0, static_cast<int>(figures.size()));
  for (const auto& [key, value] : figures) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
      lua_pushnumber(state, static_cast<lua_Number>(*number));
    } else {
      const std::string& text = std::get<std::string>(value);
      lua_pushlstring(state, text.data(), text.size());
    }
    lua_setfield(state, -2, key);
  }
}
