#pragma once

#include <string_view>

#include "core/program_lifecycle.h"
#include "settings/settings_hooks.h"

class TKavroRoot;
class TNickList;
class TNicksInUse;
class TSettings;
class TSettingsFileWatcher;

// The settings record's side of the other subsystems, as the composition
// root wires them. Owns nothing; the user list joins once it exists.
class TRootSettingsHooks final : public TSettingsHooks {
 public:
  TRootSettingsHooks(TSettings& settings, TSettingsFileWatcher& watcher, TNicksInUse& nicksInUse);

  void SetNickList(TNickList* nickList) { nickList_ = nickList; }

  void SendToAll(std::string_view message) override;
  bool IsNickInUseByOther(std::string_view nick) override;
  void ReserveNick(std::string_view nick) override;
  void ReleaseReservedNick(std::string_view nick) override;
  void SetSettingsWatcherEnabled(bool enabled) override;

 private:
  TSettings& settings_;
  TSettingsFileWatcher& watcher_;
  TNicksInUse& nicksInUse_;
  TNickList* nickList_ = nullptr;
};

// The hub as the program's life drives it, over the root's subsystems.
// Owns nothing.
class TRootHub final : public TLifecycleHub {
 public:
  explicit TRootHub(TKavroRoot& root) : root_(root) {}

  bool StartListening() override;
  bool Start() override;
  bool Stop(bool keepSockets) override;

 private:
  TKavroRoot& root_;
};
