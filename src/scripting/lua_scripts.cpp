#include "scripting/lua_scripts.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/cpu_info.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "platform/directory_list.h"
#include "platform/monotonic_clock.h"
#include "platform/stop_signals.h"
#include "utils/program_folder.h"

TLuaScripts::TLuaScripts(TKavroRoot& root)
    : root_(root),
      cpu_(std::make_unique<TCPUInfo>(root.Loop())),
      context_{root, cpu_.get(), &pictures_, {}, {kRunBoundMs, MonotonicMs, StopSignalPending}} {
  root_.SetScriptEvents(this);
}

TLuaScripts::~TLuaScripts() { root_.SetScriptEvents(nullptr); }

bool TLuaScripts::ScanScripts() {
  const std::string folder = ProgramPath(kScriptsFolder, "");
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::optional<std::vector<std::string>> files = ListFilesByExtension(folder, ".lua");
  if (!files) return false;
  bool added = false;
  for (const std::string& name : *files) {
    if (scripts_.count(name) != 0) continue;
    // One script that cannot get a state must not keep the others out.
    try {
      scripts_.emplace(name, std::make_unique<TLuaCore>(context_, name));
      unloaded_.push_back(name);
      added = true;
    } catch (const std::exception& e) {
      root_.ReportError(std::string("ECoreCriticalError:TLuaScripts.ScanScripts(") + e.what() +
                        "): for file " + name);
    }
  }
  return added;
}

bool TLuaScripts::LoadScript(const std::string& name) {
  TLuaCore* script = Find(name);
  if (script == nullptr) return false;
  script->Load(ProgramPath(kScriptsFolder, name));
  return true;
}

void TLuaScripts::ScanAndLoadNew() {
  ScanScripts();
  std::vector<std::string> added;
  added.swap(unloaded_);
  for (const std::string& name : added) {
    if (loading_) loading_(name);
    try {
      LoadScript(name);
    } catch (const std::exception& e) {
      root_.ReportError(std::string("ECoreCriticalError:TLuaScripts.Load(") + e.what() +
                        "): for file " + name);
    }
  }
}

void TLuaScripts::LoadScripts(bool report) {
  ScanAndLoadNew();
  // Runs whether or not scripts were there: a script dropped into an empty
  // folder is loaded too.
  if (!scanTimer_.IsActive())
    scanTimer_ = root_.Loop().AddTimer(kScanIntervalMs, true, [this] { ScanAndLoadNew(); });
  if (report) root_.ReportGUI("LuaScripts successfully loaded");
}

TLuaCore* TLuaScripts::Find(const std::string& name) const {
  const auto found = scripts_.find(name);
  return found == scripts_.end() ? nullptr : found->second.get();
}

bool TLuaScripts::CallEvent(TScriptEvent event, THubSocket& user, std::string_view data) {
  for (const auto& [name, script] : scripts_) {
    if (script->CallEvent(event, user, data)) return true;
  }
  return false;
}

void TLuaScripts::CallGraphicalUserInterface(void* parent) {
  for (const auto& [name, script] : scripts_) script->CallGraphicalUserInterface(parent);
}

std::string TLuaScripts::GetFunctionTemplate(std::string_view hookName) {
  std::string_view arguments;
  if (hookName == "OnTimer") {
    arguments = "()";
  } else if (hookName == "UserConnected" || hookName == "UserDisconnected") {
    arguments = "(tUser)";
  } else if (hookName == "ToArrival" || hookName == "ChatArrival") {
    arguments = "(tUser, sData)";
  } else {
    return {};
  }
  std::string text = "\n";
  text += hookName;
  text += " = function";
  text += arguments;
  text += "\n\nend\n";
  return text;
}

bool TLuaScripts::Connected(THubSocket& user) {
  return user.LifeState == lsInitialised && CallEvent(TScriptEvent::Connect, user);
}

bool TLuaScripts::UserConnected(THubSocket& user) {
  return user.LifeState == lsInitialised && CallEvent(TScriptEvent::UserConnected, user);
}

bool TLuaScripts::UserDisconnected(THubSocket& user) {
  return CallEvent(TScriptEvent::UserDisconnected, user);
}

bool TLuaScripts::ChatArrival(THubSocket& user, std::string_view message) {
  return CallEvent(TScriptEvent::ChatArrival, user, message);
}

bool TLuaScripts::ToArrival(THubSocket& user, std::string_view message) {
  return CallEvent(TScriptEvent::ToArrival, user, message);
}
