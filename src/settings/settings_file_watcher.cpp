#include "settings/settings_file_watcher.h"

#include <exception>
#include <utility>

#include "base/exceptions.h"

namespace {

std::string SettingsFolderOf(const std::string& homeFolder) {
  if (!homeFolder.empty() && homeFolder.back() == '/') return homeFolder + "settings";
  return homeFolder + "/settings";
}

}  // namespace

TSettingsFileWatcher::TSettingsFileWatcher(std::string homeFolder, TPoster poster)
    : settingsFolder_(SettingsFolderOf(homeFolder)), poster_(std::move(poster)) {}

TSettingsFileWatcher::~TSettingsFileWatcher() = default;

void TSettingsFileWatcher::SetEnabled(bool flag) {
  if (flag == Enabled()) return;
  if (!flag) {
    directory_.reset();
    return;
  }
  directory_ = std::make_unique<TDirectory>(settingsFolder_, poster_);
  // Runs on the main thread, possibly after SetEnabled(false) freed the
  // directory; TDirectory then drops it before it gets here.
  directory_->OnChange = [this](const std::string& fileName, TChangeKind kind) {
    OnSettingsFileChanged(fileName, kind);
  };
}

void TSettingsFileWatcher::RegisterReload(std::string_view fileName, TReload reload) {
  TEntry* entry = Find(fileName);
  KAVRO_CHECK(entry != nullptr, "RegisterReload of a file that is not watched");
  entry->Reload = std::move(reload);
}

void TSettingsFileWatcher::Suspend() {
  if (directory_) directory_->Suspend();
}

void TSettingsFileWatcher::Resume() {
  if (directory_) directory_->Resume();
}

void TSettingsFileWatcher::NoteOwnSave(std::string_view fileName) {
  if (!directory_) return;
  // Other names never reload, so there is nothing to remember for them.
  if (TEntry* entry = Find(fileName))
    entry->OwnSave = StatFileIdentity(settingsFolder_ + "/" + std::string(fileName));
}

void TSettingsFileWatcher::OnSettingsFileChanged(const std::string& fileName, TChangeKind) {
  if (!autoLoad_) return;
  TEntry* entry = Find(fileName);
  if (entry == nullptr || IsOwnSave(*entry, fileName) || !entry->Reload) return;

  // A copy: the reload may register reloads or switch this watcher off.
  const TReload reload = entry->Reload;
  bool loaded = false;
  try {
    loaded = reload();
  } catch (const std::exception& e) {
    Feed("An error occured while loading the settings file " + fileName + ", error: " + e.what());
  } catch (...) {
    // No message to report; the line below still names the file.
  }
  if (!loaded) Feed("An unknown error occured while loading the setting file " + fileName);
}

TSettingsFileWatcher::TEntry* TSettingsFileWatcher::Find(std::string_view fileName) {
  for (std::size_t i = 0; i < FileCount; ++i)
    if (FileNames[i] == fileName) return &entries_[i];
  return nullptr;
}

bool TSettingsFileWatcher::IsOwnSave(TEntry& entry, const std::string& fileName) {
  if (!entry.OwnSave) return false;
  if (StatFileIdentity(settingsFolder_ + "/" + fileName) == entry.OwnSave) return true;
  // Someone else wrote (or removed) the file since: from now on it is theirs.
  entry.OwnSave.reset();
  return false;
}

void TSettingsFileWatcher::Feed(const std::string& line) const {
  if (feed_) feed_(line);
}
