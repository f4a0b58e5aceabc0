#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TSettingsFileWatcher;

// The lists that own one file each under settings/, in load order.
enum class TSettingsList : std::uint8_t {
  Settings,
  Profiles,
  Accounts,
  ISPs,
  Bans,
  ChatRooms,
  HubLists,
  TextCommands,
  PMScanner,
  MCScanner,
  SearchScanner,
  Registered,
};
inline constexpr std::size_t kSettingsListCount = 12;

// Loads and saves every registered settings file in one run, with up to
// four attempts per file, and reports the files that failed in one Error
// line. Lists register as their subsystems exist; an unregistered list is
// skipped. Also tells the watcher about each file the hub writes, so the
// hub's own saves reload nothing.
//
// A file that existed but failed to load is kept for the operator's repair:
// automatic saves leave it alone (and say so) until a load of it succeeds,
// either a later load run or the watcher's reload. A file that is simply
// missing is no failure: a fresh home has none.
//
// Owns its table of file operations; does not own the lists, the watcher or
// the feed. Main thread only; the waits between attempts block it.
class TSettingsFileSet {
 public:
  // A list's operation; false: missing (load) or refused (save). An
  // exception counts as a failed attempt.
  using TFileOp = std::function<bool()>;
  using TReport = std::function<void(const std::string& line)>;
  using TSleep = std::function<void(std::uint64_t ms)>;

  static constexpr int kAttempts = 4;
  static constexpr std::uint64_t kRetryDelayMs = 1000;

  // `settingsFolder` ends in '/'. `error` and `success` take the run's
  // report lines (Error and GUI kinds of the feed).
  TSettingsFileSet(TSettingsFileWatcher& watcher, std::string settingsFolder, TReport error,
                   TReport success);
  TSettingsFileSet(const TSettingsFileSet&) = delete;
  TSettingsFileSet& operator=(const TSettingsFileSet&) = delete;

  // Registers the list's file operations and its reload with the watcher.
  void Register(TSettingsList list, TFileOp load, TFileOp save);
  bool Registered(TSettingsList list) const { return Entry(list).Load != nullptr; }
  // Told each file's display name ("Settings", "Banlist" ...) before its
  // load in a load run; the window's splash shows it.
  using TAboutToLoad = std::function<void(std::string_view displayName)>;
  void SetAboutToLoad(TAboutToLoad aboutToLoad) { aboutToLoad_ = std::move(aboutToLoad); }
  // Told after the watcher reloaded one file, so the window refills the
  // pages that show it.
  using TReloaded = std::function<void(TSettingsList list)>;
  void SetReloaded(TReloaded reloaded) { reloaded_ = std::move(reloaded); }
  // Told after each save run (the window shows when it last saved).
  void SetSaved(std::function<void()> saved) { saved_ = std::move(saved); }
  // The waits between attempts; a real sleep by default.
  void SetSleep(TSleep sleep) { sleep_ = std::move(sleep); }

  // Loads every registered file; false when any failed. `report`: a clean
  // run says so too.
  bool LoadAll(bool report);
  // Saves every registered file that is not kept for repair, with the
  // watcher suspended; false when any failed.
  bool SaveAll(bool report);

  // The file existed and its latest load failed.
  bool KeptForRepair(TSettingsList list) const { return Entry(list).KeptForRepair; }

  static std::string_view FileName(TSettingsList list);
  // "a", "a and b", "a, b and c".
  static std::string JoinNames(const std::vector<std::string>& names);

 private:
  struct TEntry {
    TFileOp Load;
    TFileOp Save;
    bool KeptForRepair = false;
  };

  TEntry& Entry(TSettingsList list) { return entries_[static_cast<std::size_t>(list)]; }
  const TEntry& Entry(TSettingsList list) const {
    return entries_[static_cast<std::size_t>(list)];
  }
  // Runs `op` up to kAttempts times; the last exception's message, in
  // parentheses, goes to `errorText`.
  bool Attempt(const TFileOp& op, std::string& errorText);
  bool LoadOne(TSettingsList list, std::string& errorText);
  bool ReloadFromWatcher(TSettingsList list);
  bool FileExists(TSettingsList list) const;
  void ReportRun(std::string_view failedWord, std::string_view successLine, bool report);

  TSettingsFileWatcher& watcher_;
  const std::string folder_;
  TReport error_;
  TReport success_;
  TSleep sleep_;
  TAboutToLoad aboutToLoad_;
  TReloaded reloaded_;
  std::function<void()> saved_;
  std::array<TEntry, kSettingsListCount> entries_;
  std::vector<std::string> failures_;  // of the current run
};
