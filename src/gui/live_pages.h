#pragma once

#include <string>

class QWidget;
class TAboutGui;
class TBlockedGui;
class THubListGui;
class TMainGui;
class TStatisticsGui;
class TTLuaGui;
class TTrafficInfoGui;

// The controllers of the live and information pages: statistics, traffic, blocked, Lua, hub lists, about.
// Built by the window's composition and gone before the window. The pages
// themselves belong to the window; this group wires them and forgets their
// refreshes when it goes.
class TLivePages {
 public:
  explicit TLivePages(TMainGui& gui);
  ~TLivePages();
  TLivePages(const TLivePages&) = delete;
  TLivePages& operator=(const TLivePages&) = delete;

  // A script about to load: the Lua page lists it.
  void ScriptLoading(const std::string& name);
  // The parent of the scripts' own controls.
  QWidget* ScriptPanel() const;

  TStatisticsGui& Statistics() { return *statistics_; }
  TTrafficInfoGui& TrafficInfo() { return *traffic_; }
  TBlockedGui& Blocked() { return *blocked_; }
  TTLuaGui& Lua() { return *lua_; }
  THubListGui& HubList() { return *hubList_; }
  TAboutGui& About() { return *about_; }

 private:
  TMainGui& gui_;
  TStatisticsGui* statistics_;
  TTrafficInfoGui* traffic_;
  TBlockedGui* blocked_;
  TTLuaGui* lua_;
  THubListGui* hubList_;
  TAboutGui* about_;
};
