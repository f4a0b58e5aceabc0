#include "core/settings_file_set.h"

#include <chrono>
#include <exception>
#include <thread>

#include "platform/file_io.h"
#include "settings/settings_file_watcher.h"
#include "base/case_tables.h"
#include "base/exceptions.h"

namespace {

struct TListNames {
  std::string_view Display;  // load runs name a file by this, in lower case
  std::string_view Save;     // save runs name a file by this
  std::string_view File;
};

// By TSettingsList.
constexpr std::array<TListNames, kSettingsListCount> kNames{{
    {"Settings", "settings", "settings.xml"},
    {"Profiles", "profiles", "profiles.xml"},
    {"Accounts", "accounts", "accounts.xml"},
    {"ISP/IP list", "isp/ip list", "isps.xml"},
    {"Banlist", "banlist", "bans.xml"},
    {"Chatrooms", "chatrooms", "chat_rooms.xml"},
    {"Hublist", "hublist", "register.xml"},
    {"Text commands", "text commands", "text_commands.xml"},
    {"PM scanner", "pm scanner", "pm_scanner.xml"},
    {"MC scanner", "mc scanner", "mc_scanner.xml"},
    {"Search scanner", "search scanner", "search_scanner.xml"},
    {"Registered users", "registered", "protected.xml"},
}};

// The accounts and profiles go first so that the settings never refer to
// a profile the disk does not have yet.
constexpr std::array<TSettingsList, kSettingsListCount> kSaveOrder{
    TSettingsList::Profiles,  TSettingsList::Accounts,      TSettingsList::Settings,
    TSettingsList::ISPs,      TSettingsList::Bans,          TSettingsList::ChatRooms,
    TSettingsList::HubLists,  TSettingsList::TextCommands,  TSettingsList::PMScanner,
    TSettingsList::MCScanner, TSettingsList::SearchScanner, TSettingsList::Registered,
};

const TListNames& NamesOf(TSettingsList list) { return kNames[static_cast<std::size_t>(list)]; }

// Resumes the watcher however the save run ends.
class TWatcherSuspension {
 public:
  explicit TWatcherSuspension(TSettingsFileWatcher& watcher) : watcher_(watcher) {
    watcher_.Suspend();
  }
  ~TWatcherSuspension() { watcher_.Resume(); }
  TWatcherSuspension(const TWatcherSuspension&) = delete;
  TWatcherSuspension& operator=(const TWatcherSuspension&) = delete;

 private:
  TSettingsFileWatcher& watcher_;
};

}  // namespace

TSettingsFileSet::TSettingsFileSet(TSettingsFileWatcher& watcher, std::string settingsFolder,
                                   TReport error, TReport success)
    : watcher_(watcher),
      folder_(std::move(settingsFolder)),
      error_(std::move(error)),
      success_(std::move(success)),
      sleep_([](std::uint64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {
}

std::string_view TSettingsFileSet::FileName(TSettingsList list) { return NamesOf(list).File; }

void TSettingsFileSet::Register(TSettingsList list, TFileOp load, TFileOp save) {
  KAVRO_CHECK(load && save, "a settings list without its file operations");
  TEntry& entry = Entry(list);
  entry.Load = std::move(load);
  entry.Save = std::move(save);
  entry.KeptForRepair = false;
  watcher_.RegisterReload(FileName(list), [this, list] { return ReloadFromWatcher(list); });
}

bool TSettingsFileSet::Attempt(const TFileOp& op, std::string& errorText) {
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    errorText.clear();
    try {
      return op();
    } catch (const std::exception& e) {
      errorText = "(" + std::string(e.what()) + ")";
    } catch (...) {
      errorText = "(unknown error)";
    }
    // A locked or half-written file often clears within a second; after
    // the last attempt there is nothing left to wait for.
    if (attempt < kAttempts) sleep_(kRetryDelayMs);
  }
  return false;
}

bool TSettingsFileSet::FileExists(TSettingsList list) const {
  return ::FileExists(folder_ + std::string(FileName(list)));
}

bool TSettingsFileSet::LoadOne(TSettingsList list, std::string& errorText) {
  TEntry& entry = Entry(list);
  const bool existed = FileExists(list);
  const bool loaded = Attempt(entry.Load, errorText);
  entry.KeptForRepair = !loaded && existed;
  // A missing file is no failure; one that raised on every attempt is.
  return loaded || (!existed && errorText.empty());
}

bool TSettingsFileSet::ReloadFromWatcher(TSettingsList list) {
  TEntry& entry = Entry(list);
  bool loaded = false;
  try {
    loaded = entry.Load();
    entry.KeptForRepair = !loaded && FileExists(list);
  } catch (...) {
    entry.KeptForRepair = FileExists(list);
    throw;  // the watcher reports it
  }
  // Outside the load's net: a page that fails to show is no failed file.
  if (loaded && reloaded_) reloaded_(list);
  return loaded;
}

bool TSettingsFileSet::LoadAll(bool report) {
  failures_.clear();
  for (std::size_t i = 0; i < kSettingsListCount; ++i) {
    const auto list = static_cast<TSettingsList>(i);
    if (!Registered(list)) continue;
    if (aboutToLoad_) aboutToLoad_(NamesOf(list).Display);
    std::string errorText;
    if (!LoadOne(list, errorText))
      failures_.push_back(LowerString(NamesOf(list).Display) + errorText);
  }
  const bool clean = failures_.empty();
  ReportRun("Failed to load ", "Hubsettings successfully loaded", report);
  return clean;
}

bool TSettingsFileSet::SaveAll(bool report) {
  failures_.clear();
  std::vector<std::string> kept;
  {
    TWatcherSuspension suspended(watcher_);
    for (TSettingsList list : kSaveOrder) {
      TEntry& entry = Entry(list);
      if (!entry.Save) continue;
      if (entry.KeptForRepair) {
        kept.push_back(std::string(FileName(list)));
        continue;
      }
      std::string errorText;
      if (Attempt(entry.Save, errorText))
        watcher_.NoteOwnSave(FileName(list));
      else
        failures_.push_back(std::string(NamesOf(list).Save) + errorText);
    }
  }
  if (!kept.empty() && error_)
    error_("Not saved, since it failed to load and waits for repair: " + JoinNames(kept));
  const bool clean = failures_.empty();
  ReportRun("Failed to save ", "Hubsettings successfully saved", report);
  if (saved_) saved_();
  return clean;
}

void TSettingsFileSet::ReportRun(std::string_view failedWord, std::string_view successLine,
                                 bool report) {
  if (!failures_.empty()) {
    if (error_) error_(std::string(failedWord) + JoinNames(failures_));
  } else if (report && success_) {
    success_(std::string(successLine));
  }
  failures_.clear();
}

std::string TSettingsFileSet::JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) joined += i + 1 == names.size() ? " and " : ", ";
    joined += names[i];
  }
  return joined;
}
