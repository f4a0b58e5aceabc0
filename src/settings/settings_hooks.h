#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The bot's announcement after a change of its name, description or e-mail:
// complete protocol texts, one for clients that announced NoHello and one
// for the others.
struct TBotAnnouncement {
  std::string OldName;
  std::string ForNoHello;  // "$Quit old|$OpList new$$|" + the bot's $MyINFO
  std::string ForHello;    // "$Quit old|$Hello new|$OpList new$$|" + $MyINFO
};

// The highest user count, total share and uptime seen.
struct TSettingsPeaks {
  int Users = 0;
  std::int64_t Share = 0;
  std::int64_t Uptime = 0;  // milliseconds
};

// What the settings record asks of subsystems it does not own: the hub core,
// the user list, the counters, the settings-folder watcher, the statistics
// back ends and the settings pages. The composition root registers one
// implementation with TSettings::SetHooks; until then every hook does
// nothing (and a nick counts as free), so the record works on its own.
class TSettingsHooks {
 public:
  virtual ~TSettingsHooks();

  // Hub core: the work-pace level (0..7) of its read and send timers.
  virtual void SetHubSpeed(int workPace);
  // Appends a complete protocol message to every logged-in user.
  virtual void SendToAll(std::string_view message);

  // True when `nick` is reserved or used by anyone other than the bot.
  virtual bool IsNickInUseByOther(std::string_view nick);
  virtual void ReserveNick(std::string_view nick);
  virtual void ReleaseReservedNick(std::string_view nick);
  // User list: deliver the announcement to each open connection (ForNoHello
  // or ForHello by its NoHello support, plus one more allowed info request
  // when it lacks NoGetINFO), then rebuild the cached nick-list texts.
  virtual void AnnounceBot(const TBotAnnouncement& announcement);

  virtual void SetSettingsWatcherEnabled(bool enabled);
  // Statistics: make the back end of `type` (1 in memory, 2 MySQL) current.
  virtual void SelectUserStats(int type);
  // Counters: raise `peaks` to what this run has seen; called before a save.
  virtual void CollectPeaks(TSettingsPeaks& peaks);
  // Pages: show the values of a successful load.
  virtual void SettingsLoaded();
  // The window's caption follows the hub name.
  virtual void HubNameChanged();
};
