#include "core/root_hooks.h"

#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "utils/case_tables.h"

TRootSettingsHooks::TRootSettingsHooks(TSettings& settings, TSettingsFileWatcher& watcher,
                                       TNicksInUse& nicksInUse)
    : settings_(settings), watcher_(watcher), nicksInUse_(nicksInUse) {}

void TRootSettingsHooks::SendToAll(std::string_view message) {
  if (nickList_ != nullptr) nickList_->SendToAll(message);
}

bool TRootSettingsHooks::IsNickInUseByOther(std::string_view nick) {
  if (nicksInUse_.Exists(nick) && !SameText(nick, settings_.BotName())) return true;
  return nickList_ != nullptr && nickList_->FindUser(nick) != nullptr;
}

void TRootSettingsHooks::ReserveNick(std::string_view nick) { nicksInUse_.Add(nick); }

void TRootSettingsHooks::ReleaseReservedNick(std::string_view nick) { nicksInUse_.Remove(nick); }

void TRootSettingsHooks::SetSettingsWatcherEnabled(bool enabled) {
  watcher_.SetAutoLoad(enabled);
  watcher_.SetEnabled(enabled);
}

bool TRootHub::StartListening() {
  root_.ReportError("The hub core is not part of this build yet");
  return false;
}

bool TRootHub::Start() { return false; }

bool TRootHub::Stop(bool /*keepSockets*/) { return false; }
