#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/script_events.h"
#include "platform/event_loop.h"
#include "scripting/lua_core.h"
#include "scripting/rtf_picture.h"

class TCPUInfo;
class TKavroRoot;

// The loaded scripts: one TLuaCore per "*.lua" file of scripts/ in the home
// folder, in name order, with the walk of an event over them and the timer
// that picks up files added later. Registers itself with the composition
// root for the core's events and unregisters when it goes; scripts are
// never unloaded while it lives. Owns the scripts and the load figure they
// read; not the root, which must outlive it. Main thread only.
class TLuaScripts final : public TScriptEvents {
 public:
  static constexpr std::uint64_t kScanIntervalMs = 1000;
  // A script's call that runs longer is stopped, so the hub goes on.
  static constexpr std::uint64_t kRunBoundMs = 3000;

  explicit TLuaScripts(TKavroRoot& root);
  ~TLuaScripts() override;
  TLuaScripts(const TLuaScripts&) = delete;
  TLuaScripts& operator=(const TLuaScripts&) = delete;

  // The entry's picture reader for core.ConvertBmpToRtfImage.
  void SetPictureLoader(TPictureLoader loader) { pictures_ = std::move(loader); }
  // Told each script's name before it loads (the window's splash line).
  void SetLoadingListener(std::function<void(const std::string&)> listener) {
    loading_ = std::move(listener);
  }
  // The clock that spaces repeated error lines (ms, monotonic).
  void SetClock(std::function<std::uint64_t()> clock) { context_.Clock = std::move(clock); }
  // What ends a call into a script. By default: kRunBoundMs on the
  // monotonic clock, or a stop signal waiting behind the call.
  void SetRunLimit(TRunLimit limit) { context_.RunLimit = std::move(limit); }
  void SetRunBoundMs(std::uint64_t boundMs) { context_.RunLimit.BoundMs = boundMs; }

  // Start-up: scans, loads every script found in name order and starts the
  // scan timer (also when none was found). With `report`, a success line.
  void LoadScripts(bool report);

  // Adds every new "*.lua" file of the scripts folder (created when
  // missing), matched without regard to case; true when any was added.
  bool ScanScripts();
  // False when `name` is not listed; else loads it (failures go to the feed).
  bool LoadScript(const std::string& name);
  // Loads what a scan adds; the scan timer's work.
  void ScanAndLoadNew();

  // Walks the scripts in name order; true when one returned 1 (the walk
  // ends there).
  bool CallEvent(TScriptEvent event, THubSocket& user, std::string_view data = {});
  // Once, when a window exists, with the parent of the scripts' controls.
  void CallGraphicalUserInterface(void* parent);

  // The empty function a new script starts with; "" for an unknown name.
  static std::string GetFunctionTemplate(std::string_view hookName);

  int Count() const { return static_cast<int>(scripts_.size()); }
  TLuaCore* Find(const std::string& name) const;

  // TScriptEvents
  bool Connected(THubSocket& user) override;
  bool UserConnected(THubSocket& user) override;
  bool UserDisconnected(THubSocket& user) override;
  bool ChatArrival(THubSocket& user, std::string_view message) override;
  bool ToArrival(THubSocket& user, std::string_view message) override;

 private:
  TKavroRoot& root_;
  TPictureLoader pictures_;
  std::function<void(const std::string&)> loading_;
  std::unique_ptr<TCPUInfo> cpu_;
  TLuaCoreContext context_;
  std::map<std::string, std::unique_ptr<TLuaCore>> scripts_;  // bytewise name order
  std::vector<std::string> unloaded_;  // added by the last scan, not loaded yet
  TTimer scanTimer_;
};
