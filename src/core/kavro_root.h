#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class EventLoop;
class TLanguage;
class TLanguageManager;
class TSettings;
class TSettingsFileWatcher;
class TRootSettingsHooks;

// The composition root: owns the process-wide singletons of every subsystem,
// builds them in their fixed order and frees them in reverse. Each unit
// reaches a singleton through Kavro(). Tests build a fresh root in a
// temporary home folder; only one root exists at a time. Does not own the
// event loop, which belongs to the program's entry (the GUI drives its own).
class TKavroRoot {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;

  // Sets the program folder to `homeFolder` and builds every singleton.
  TKavroRoot(EventLoop& loop, std::string homeFolder);
  ~TKavroRoot();
  TKavroRoot(const TKavroRoot&) = delete;
  TKavroRoot& operator=(const TKavroRoot&) = delete;

  EventLoop& Loop() { return loop_; }
  const std::string& HomeFolder() const { return homeFolder_; }
  TLanguage& Language() { return *language_; }
  TLanguageManager& LanguageManager() { return *languageManager_; }
  TSettingsFileWatcher& SettingsWatcher() { return *watcher_; }
  TSettings& Settings() { return *settings_; }

  // Where event lines go until the operator feed exists.
  void SetEventSink(TFeedSink sink) { eventSink_ = std::move(sink); }
  void ReportEvent(const std::string& line) const;

  // Saves settings.xml so that the watcher does not take the hub's own save
  // for an outside edit.
  bool SaveSettings();

  // Lists the language files (an empty folder gets english.xml) and selects
  // the language named by the settings, else the first one listed.
  void LoadLanguage();

 private:
  void Build();

  EventLoop& loop_;
  const std::string homeFolder_;
  TFeedSink eventSink_;

  // Built in this order, freed in reverse.
  std::unique_ptr<TLanguage> language_;
  std::unique_ptr<TLanguageManager> languageManager_;
  std::unique_ptr<TSettingsFileWatcher> watcher_;
  std::unique_ptr<TSettings> settings_;
  std::unique_ptr<TRootSettingsHooks> settingsHooks_;
};

// The current root; EAssertionFailed when none exists.
TKavroRoot& Kavro();
bool KavroExists();
