#include "core/root_hooks.h"

#include "core/script_events.h"

#include <algorithm>
#include <cstdint>

#include "core/ban_gate.h"
#include "core/commands/chat_rooms.h"
#include "core/commands/text_commands.h"
#include "core/port_entry.h"
#include "core/hub_core.h"
#include "core/hub_feed.h"
#include "core/hub_list.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nicks_in_use.h"
#include "core/share_trace.h"
#include "security/account.h"
#include "core/user_stats_side.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "base/case_tables.h"

TRootSettingsHooks::TRootSettingsHooks(TSettings& settings, TSettingsFileWatcher& watcher,
                                       TNicksInUse& nicksInUse)
    : settings_(settings), watcher_(watcher), nicksInUse_(nicksInUse) {}

void TRootSettingsHooks::HubNameChanged() {
  if (windowListener_) windowListener_();
}

void TRootSettingsHooks::SetHubSpeed(int workPace) {
  if (core_ != nullptr) core_->SetSpeed(workPace);
}

void TRootSettingsHooks::SendToAll(std::string_view message) {
  if (nickList_ != nullptr) nickList_->SendToAll(message);
}

bool TRootSettingsHooks::IsNickInUseByOther(std::string_view nick) {
  if (nicksInUse_.Exists(nick) && !SameText(nick, settings_.BotName())) return true;
  return nickList_ != nullptr && nickList_->FindUser(nick) != nullptr;
}

void TRootSettingsHooks::ReserveNick(std::string_view nick) { nicksInUse_.Add(nick); }

void TRootSettingsHooks::ReleaseReservedNick(std::string_view nick) { nicksInUse_.Remove(nick); }

void TRootSettingsHooks::AnnounceBot(const TBotAnnouncement& announcement) {
  if (core_ != nullptr) {
    for (int i = core_->ConnectionCount() - 1; i >= 0; --i) {
      THubSocket* user = core_->ConnectionAt(i);
      if (user->LifeState != lsInitialised || !user->IsLoggedIn()) continue;
      user->WriteBuffer().AppendString(user->UserInfo().Supports.NoHello ? announcement.ForNoHello
                                                                        : announcement.ForHello);
    }
  }
  if (nickList_ != nullptr) nickList_->RebuildOpList();
}

void TRootSettingsHooks::SelectUserStats(int type) {
  if (userStats_ != nullptr) userStats_->Select(type);
}

// Registration follows the setting, as the general page does when shown.
void TRootSettingsHooks::SettingsLoaded() {
  if (windowListener_) windowListener_();
  if (hubList_ == nullptr) return;
  if (settings_.HubRegistration && !hubList_->Active()) {
    hubList_->Start();
  } else if (!settings_.HubRegistration && hubList_->Active()) {
    hubList_->Stop();
  }
}

void TRootSettingsHooks::CollectPeaks(TSettingsPeaks& peaks) {
  if (stats_ == nullptr) return;
  const std::int64_t users = std::max<std::int64_t>(peaks.Users, stats_->AllTimePeakUsers);
  peaks.Users = static_cast<int>(std::min<std::int64_t>(users, INT32_MAX));
  peaks.Share = std::max(peaks.Share, stats_->AllTimePeakSharesize);
  peaks.Uptime = std::max(peaks.Uptime, stats_->UptimePeak);
}

void TRootSettingsHooks::SetSettingsWatcherEnabled(bool enabled) {
  watcher_.SetAutoLoad(enabled);
  watcher_.SetEnabled(enabled);
}

bool TRootUserHooks::FloodGate(THubSocket& user, TFloodKind kind) {
  return core_.Protocol().FloodGate(user, kind);
}

bool TRootUserHooks::CheckClientBan(THubSocket& user) {
  return RefuseClientBanned(bans_, settings_, user);
}

// A profile that bypasses the ISP check was never given an ISP's restriction.
const TConnRestriction* TRootUserHooks::ISPRestriction(const THubSocket& user) {
  if (user.Rights().MayByPassISPIPCheck()) return nullptr;
  const TISP* isp = isps_.FindByIP(user.IP);
  return isp != nullptr ? &isp->Restriction : nullptr;
}

void TRootUserHooks::TotalShareChanged(std::int64_t delta) {
  stats_.AddShare(delta);
}

void TRootHub::AddListeners(std::string_view ports, bool tls) {
  while (!ports.empty()) {
    const std::size_t end = ports.find(';');
    const std::string_view item = ports.substr(0, end);
    ports.remove_prefix(end == std::string_view::npos ? ports.size() : end + 1);
    if (item.find_first_not_of(' ') == std::string_view::npos) continue;
    // "address:port" listens on that address only.
    const TPortEntry entry = ParsePortEntry(item);
    const int port = entry.Port;
    const std::string& address = entry.Address.empty() ? listenAddress_ : entry.Address;
    if (port < 0) {
      feed_.PostError("Not a port number: \"" + std::string(item) + "\"");
    } else if (!core_.HasListener(std::to_string(port))) {
      core_.AddListener(port, address, tls);
    }
  }
}

bool TRootHub::StartListening() {
  AddListeners(settings_.HubPorts, false);
  if (settings_.NmdcsEnabled) AddListeners(settings_.NmdcsPorts, true);
  return core_.StartListening();
}

bool TRootHub::Start() { return core_.Start(); }

bool TRootHub::Stop(bool keepSockets) { return core_.Stop(keepSockets); }

void TRootHub::SetTerminating() { feed_.SetTerminating(true); }

void TRootHub::RunScheduledWork() {
  if (textCommands_ != nullptr) textCommands_->RunScheduled();
}

void TRootHub::CloseStatistics() {
  if (userStats_ != nullptr) userStats_->Close();
}

void TRootHub::HourlyStatisticsStep() {
  if (userStats_ != nullptr) userStats_->HourlyStep();
}

void TRootAccountUsers::BindNewAccount(const std::shared_ptr<TAccount>& account) {
  list_.BindNewAccount(account);
}

void TRootAccountUsers::AccountProfileChanged(const std::shared_ptr<TAccount>& account,
                                              const std::shared_ptr<TProfile>& oldProfile) {
  list_.AccountProfileChanged(account, oldProfile);
  if (rooms_ == nullptr) return;
  THubSocket* user = list_.FindUser(account->Nick);
  if (user != nullptr) rooms_->RefreshUserRooms(*user);
}

void TRootAccountUsers::RefreshAccounts() {
  list_.RefreshAccounts();
  for (int i = core_.ConnectionCount() - 1; i >= 0; --i) {
    THubSocket* user = core_.ConnectionAt(i);
    if (user->LifeState == lsInitialised && !user->IsLoggedIn()) list_.RebindAccount(*user);
  }
}

void TRootCoreEvents::KeyAccepted(THubSocket& user) {
  if (textCommands_ != nullptr) textCommands_->RunOnConnect(user);
}

void TRootCoreEvents::RoomsAnnounce(THubSocket& user) {
  if (rooms_ != nullptr) rooms_->AutoJoin(user);
}

void TRootCoreEvents::LeaveRooms(THubSocket& user) {
  if (rooms_ != nullptr) rooms_->RemoveUser(user);
}

void TRootCoreEvents::LoggedIn(THubSocket& user) {
  // The stored penalties are in force before the login commands run.
  if (userStats_ != nullptr) userStats_->LoggedIn(user);
  if (textCommands_ != nullptr) textCommands_->RunOnLogin(user);
}

void TRootCoreEvents::LoggedOut(THubSocket& user) {
  if (userStats_ != nullptr) userStats_->LoggedOut(user);
}

void TRootCoreEvents::Connected(THubSocket& user) {
  if (scripts_ != nullptr) scripts_->Connected(user);
}

void TRootCoreEvents::UserConnected(THubSocket& user) {
  if (scripts_ != nullptr) scripts_->UserConnected(user);
}

void TRootUserHooks::UserDisconnected(THubSocket& user) {
  if (scripts_ != nullptr) scripts_->UserDisconnected(user);
}

void TRootCoreEvents::Disconnected(THubSocket& user) { handlers_.Chat().Forget(user); }

void TRootCoreEvents::Purge() {
  if (shareTrace_ == nullptr || !settings_->ShareTraceAutoPruneHours.Enabled) return;
  const std::int64_t hours = settings_->ShareTraceAutoPruneHours.Value;
  shareTrace_->Expire(TDateTime{clock_().Seconds - hours * 3600});
}
