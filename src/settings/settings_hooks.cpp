#include "settings/settings_hooks.h"

TSettingsHooks::~TSettingsHooks() = default;

void TSettingsHooks::SetHubSpeed(int /*workPace*/) {}
void TSettingsHooks::SendToAll(std::string_view /*message*/) {}
bool TSettingsHooks::IsNickInUseByOther(std::string_view /*nick*/) { return false; }
void TSettingsHooks::ReserveNick(std::string_view /*nick*/) {}
void TSettingsHooks::ReleaseReservedNick(std::string_view /*nick*/) {}
void TSettingsHooks::AnnounceBot(const TBotAnnouncement& /*announcement*/) {}
void TSettingsHooks::SetSettingsWatcherEnabled(bool /*enabled*/) {}
void TSettingsHooks::SelectUserStats(int /*type*/) {}
void TSettingsHooks::CollectPeaks(TSettingsPeaks& /*peaks*/) {}
void TSettingsHooks::SettingsLoaded() {}
void TSettingsHooks::HubNameChanged() {}
