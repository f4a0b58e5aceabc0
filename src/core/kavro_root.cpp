#include "core/kavro_root.h"

#include "platform/event_loop.h"
#include "settings/language.h"
#include "settings/language_manager.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "settings/settings_hooks.h"
#include "utils/exceptions.h"
#include "utils/program_folder.h"

namespace {
TKavroRoot* currentRoot = nullptr;
constexpr std::string_view kSettingsFile = "settings.xml";
}  // namespace

// The settings record's side of the subsystems that exist so far; the rest
// keep the record's do-nothing defaults until their subsystems arrive.
class TRootSettingsHooks final : public TSettingsHooks {
 public:
  explicit TRootSettingsHooks(TSettingsFileWatcher& watcher) : watcher_(watcher) {}

  void SetSettingsWatcherEnabled(bool enabled) override {
    watcher_.SetAutoLoad(enabled);
    watcher_.SetEnabled(enabled);
  }

 private:
  TSettingsFileWatcher& watcher_;
};

TKavroRoot::TKavroRoot(EventLoop& loop, std::string homeFolder)
    : loop_(loop), homeFolder_(std::move(homeFolder)) {
  KAVRO_CHECK(currentRoot == nullptr, "a second composition root");
  SetProgramFolder(homeFolder_);
  currentRoot = this;  // units may reach their neighbours while being built
  try {
    Build();
  } catch (...) {
    currentRoot = nullptr;
    throw;
  }
}

void TKavroRoot::Build() {
  language_ = std::make_unique<TLanguage>();
  languageManager_ = std::make_unique<TLanguageManager>(*language_);
  watcher_ = std::make_unique<TSettingsFileWatcher>(
      ProgramFolder(), [this](std::function<void()> fn) { loop_.Post(std::move(fn)); });
  watcher_->SetFeed([this](const std::string& line) { ReportEvent(line); });
  settings_ = std::make_unique<TSettings>();
  settingsHooks_ = std::make_unique<TRootSettingsHooks>(*watcher_);
  settings_->SetHooks(settingsHooks_.get());
  watcher_->RegisterReload(kSettingsFile, [this] { return settings_->Load(); });
}

TKavroRoot::~TKavroRoot() {
  // The watcher goes quiet first so no reload runs while the lists go.
  watcher_->SetEnabled(false);
  settings_->SetHooks(nullptr);
  settingsHooks_.reset();
  settings_.reset();
  watcher_.reset();
  languageManager_.reset();
  language_.reset();
  currentRoot = nullptr;
}

void TKavroRoot::ReportEvent(const std::string& line) const {
  if (eventSink_) eventSink_(line);
}

bool TKavroRoot::SaveSettings() {
  watcher_->Suspend();
  const bool saved = settings_->Save();
  if (saved) watcher_->NoteOwnSave(kSettingsFile);
  watcher_->Resume();
  return saved;
}

void TKavroRoot::LoadLanguage() {
  languageManager_->Rescan();
  if (!languageManager_->SelectLanguage(settings_->Language) && languageManager_->GetCount() > 0)
    languageManager_->SelectLanguage(languageManager_->GetLanguageName(0));
}

TKavroRoot& Kavro() {
  KAVRO_CHECK(currentRoot != nullptr, "no composition root");
  return *currentRoot;
}

bool KavroExists() { return currentRoot != nullptr; }
