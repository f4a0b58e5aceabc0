#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/event_loop.h"

class TKavroRoot;

// What the start-up, the periodic work and the shutdown drive beyond the
// settings: the hub core and the subsystems with hourly or scheduled work.
// The composition root implements it over the real subsystems; tests use a
// fake.
class TLifecycleHub {
 public:
  virtual ~TLifecycleHub() = default;
  // Opens the listeners; false when none opened (the feed says why).
  virtual bool StartListening() = 0;
  // Starts the core's passes; false when it cannot start.
  virtual bool Start() = 0;
  // False when it was not started.
  virtual bool Stop(bool keepSockets) = 0;
  // The program is going down: no more "stopped" reports or window work.
  virtual void SetTerminating() {}
  // Statistics held outside the process (MySQL) are closed while active.
  virtual void CloseStatistics() {}
  virtual void HourlyStatisticsStep() {}
  // The scheduled text commands.
  virtual void RunScheduledWork() {}
};

// The program's life without a window: start-up (settings files,
// language, hub start), the once-a-second periodic work while the hub runs,
// and the shutdown order. Owns the update timer; does not own the root or
// the hub. Main thread only.
class TProgramLifecycle {
 public:
  using TClock = std::function<std::uint64_t()>;  // milliseconds, monotonic

  static constexpr std::uint64_t kUpdateIntervalMs = 1000;
  // The automatic save never runs more often than this, whatever the
  // setting says: each run rewrites every settings file.
  static constexpr std::int64_t kMinAutoSaveIntervalMs = 60000;
  static constexpr std::uint64_t kStatisticsStepMs = 3600000;

  TProgramLifecycle(TKavroRoot& root, TLifecycleHub& hub);
  TProgramLifecycle(const TProgramLifecycle&) = delete;
  TProgramLifecycle& operator=(const TProgramLifecycle&) = delete;

  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // Loads every settings file, selects the language and starts the hub when
  // AutoStart is on or `forceStart` is set.
  void Startup(bool forceStart);
  // The same start-up in its steps, for the window that does its own work
  // between them.
  void LoadSettings();
  void SelectLanguage();
  // True when the hub was to start (AutoStart or `forceStart`).
  bool AutoStart(bool forceStart);
  void StartupDone();

  // Called after each tick of the update timer (the window refreshes the
  // page it shows).
  using TTickHandler = std::function<void()>;
  void SetTickHandler(TTickHandler handler) { tickHandler_ = std::move(handler); }
  // Listening first, then the core; the update timer runs while it runs.
  bool StartHub();
  bool StopHub();
  bool HubRunning() const { return updateTimer_.IsActive(); }

  // One tick of the update timer: automatic save, hourly statistics step,
  // scheduled work.
  void PeriodicCheck();

  // The hub stops keeping its sockets' peers waiting for nothing, external
  // statistics close, every settings file is saved and the language file
  // is written back. Runs once.
  void Shutdown();

 private:
  std::uint64_t Now() const { return clock_(); }

  TKavroRoot& root_;
  TLifecycleHub& hub_;
  TClock clock_;
  TTickHandler tickHandler_;
  TTimer updateTimer_;
  std::uint64_t lastAutoSave_ = 0;
  std::uint64_t lastStatisticsStep_ = 0;
  bool shutDown_ = false;
};
