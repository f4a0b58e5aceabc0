#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/directory_watch.h"

// Reloads the list a settings file holds when the file changes on disk, so an
// operator can edit the files by hand while the hub runs. Owns the watch on
// <home>/settings while enabled. Does not own the lists (their owners
// register the reloads) nor the feed (lines go to a sink). Main thread only.
class TSettingsFileWatcher {
 public:
  // Loads the list again from its file; true on success.
  using TReload = std::function<bool()>;
  using TFeedSink = std::function<void(const std::string& line)>;

  // The files that hold a reloadable list, exact and case-sensitive.
  static constexpr std::size_t FileCount = 12;
  static constexpr std::array<std::string_view, FileCount> FileNames{
      "accounts.xml", "profiles.xml",     "settings.xml",   "text_commands.xml",
      "bans.xml",     "chat_rooms.xml",   "register.xml",   "isps.xml",
      "pm_scanner.xml", "mc_scanner.xml", "search_scanner.xml", "protected.xml",
  };

  TSettingsFileWatcher(std::string homeFolder, TPoster poster);
  ~TSettingsFileWatcher();
  TSettingsFileWatcher(const TSettingsFileWatcher&) = delete;
  TSettingsFileWatcher& operator=(const TSettingsFileWatcher&) = delete;

  // Starts (true) or stops (false) watching; nothing when already so.
  void SetEnabled(bool flag);
  bool Enabled() const { return directory_ != nullptr; }

  // Mirrors AutoLoadSettings: while off nothing reloads, even when a change
  // still arrives from a watch of before.
  void SetAutoLoad(bool on) { autoLoad_ = on; }
  bool AutoLoad() const { return autoLoad_; }

  void SetFeed(TFeedSink feed) { feed_ = std::move(feed); }

  // `fileName` must be one of FileNames; a file without a reload is ignored.
  void RegisterReload(std::string_view fileName, TReload reload);

  // Changes that arrive while suspended are dropped. Nothing when off.
  void Suspend();
  void Resume();

  // The hub wrote `fileName` itself: later changes of that name are ignored
  // while the file on disk is still the version just written, since the
  // notifications of a save arrive after the save returns. Nothing when off.
  void NoteOwnSave(std::string_view fileName);

  // Reloads the list of `fileName` when auto-loading is on and the file is
  // not the hub's own save. The kind is not looked at: a removal reloads too
  // and reports the failure.
  void OnSettingsFileChanged(const std::string& fileName, TChangeKind kind);

 private:
  struct TEntry {
    TReload Reload;
    std::optional<TFileIdentity> OwnSave;
  };

  TEntry* Find(std::string_view fileName);
  bool IsOwnSave(TEntry& entry, const std::string& fileName);
  void Feed(const std::string& line) const;

  const std::string settingsFolder_;
  const TPoster poster_;
  bool autoLoad_ = false;
  TFeedSink feed_;
  std::array<TEntry, FileCount> entries_;  // by the index in FileNames
  std::unique_ptr<TDirectory> directory_;
};
