#include "core/program_lifecycle.h"

#include <algorithm>
#include <exception>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/monotonic_clock.h"
#include "settings/language_manager.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"

TProgramLifecycle::TProgramLifecycle(TKavroRoot& root, TLifecycleHub& hub)
    : root_(root), hub_(hub), clock_([] { return MonotonicMs(); }) {}

void TProgramLifecycle::Startup(bool forceStart) {
  LoadSettings();
  SelectLanguage();
  AutoStart(forceStart);
  StartupDone();
}

void TProgramLifecycle::LoadSettings() { root_.SettingsFiles().LoadAll(false); }

void TProgramLifecycle::SelectLanguage() { root_.LoadLanguage(); }

bool TProgramLifecycle::AutoStart(bool forceStart) {
  if (!root_.Settings().AutoStart && !forceStart) return false;
  StartHub();
  return true;
}

void TProgramLifecycle::StartupDone() { lastAutoSave_ = Now(); }

bool TProgramLifecycle::StartHub() {
  if (!hub_.StartListening()) return false;
  if (!hub_.Start()) return false;
  if (!updateTimer_.IsActive())
    updateTimer_ = root_.Loop().AddTimer(kUpdateIntervalMs, true, [this] {
      PeriodicCheck();
      if (tickHandler_) tickHandler_();
    });
  return true;
}

bool TProgramLifecycle::StopHub() {
  if (!hub_.Stop(false)) return false;
  updateTimer_.Cancel();
  return true;
}

void TProgramLifecycle::PeriodicCheck() {
  const std::uint64_t now = Now();
  const TEnabledInt64& autoSave = root_.Settings().AutoSaveSettings;
  if (autoSave.Enabled) {
    const auto interval =
        static_cast<std::uint64_t>(std::max(autoSave.Value, kMinAutoSaveIntervalMs));
    if (lastAutoSave_ + interval < now) {
      root_.SettingsFiles().SaveAll(false);
      lastAutoSave_ = now;
    }
  }
  if (lastStatisticsStep_ + kStatisticsStepMs < now) {
    hub_.HourlyStatisticsStep();
    lastStatisticsStep_ = now;
  }
  hub_.RunScheduledWork();
}

void TProgramLifecycle::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  updateTimer_.Cancel();
  hub_.SetTerminating();
  root_.SettingsWatcher().SetEnabled(false);
  hub_.Stop(true);
  hub_.CloseStatistics();
  root_.SettingsFiles().SaveAll(false);
  // The language file gains the keys it lacked; done here rather than in
  // the manager's destructor so a failure reaches the feed.
  try {
    root_.LanguageManager().WriteBack();
  } catch (const std::exception& e) {
    root_.ReportError(e.what());
  }
}
