#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "scripting/lua_host.h"
#include "scripting/rtf_picture.h"

class TCPUInfo;
class THubSocket;
class TKavroRoot;

// The events a script may handle, each with its global function.
enum class TScriptEvent : std::uint8_t {
  Connect,           // UserConnects(tUser)
  UserConnected,     // UserConnected(tUser)
  UserDisconnected,  // UserDisconnected(tUser)
  ChatArrival,       // ChatArrival(tUser, sData)
  ToArrival,         // ToArrival(tUser, sData)
};
inline constexpr std::size_t kScriptEventCount = 5;

// What every script reaches beyond its own state. All must outlive it.
struct TLuaCoreContext {
  TKavroRoot& Root;
  const TCPUInfo* CPU = nullptr;         // null: the load figures read "N/A"
  const TPictureLoader* Pictures = nullptr;  // null or empty: no conversion
  std::function<std::uint64_t()> Clock;  // ms, monotonic; rate of repeated error lines
  TRunLimit RunLimit;                    // bounds every entry into a script's code
};

// One loaded script: its Lua state with the "core" library, the replaced
// print, AddAccount, its one-second OnTimer and the calls of its event
// functions. Owns the state, the timer and the script's text; not the hub
// objects it acts on. Main thread only.
class TLuaCore final : public TLua {
 public:
  static constexpr std::uint64_t kTimerMs = 1000;
  // A failing chat or private-message handler reports at most once a minute.
  static constexpr std::uint64_t kRepeatedErrorMs = 60000;

  TLuaCore(const TLuaCoreContext& context, std::string name);

  const std::string& Name() const { return name_; }
  const std::string& Text() const { return text_; }

  // Loads and runs the file, reporting failures to the feed; keeps its text.
  void Load(const std::string& path);

  // Calls the event's function; true when it returned the number 1. A
  // failure is reported and counts as not consuming.
  bool CallEvent(TScriptEvent event, THubSocket& user, std::string_view data = {});
  // GraphicalUserInterface(pParent); its result is not used.
  void CallGraphicalUserInterface(void* parent);
  // One tick of the script's timer.
  void OnTimer();

 private:
  struct TRepeatedError {
    bool Reported = false;
    std::uint64_t LastReport = 0;
    int LeftOut = 0;
  };

  void RegisterLibrary();
  void ReportEventError(TScriptEvent event, const std::string& message);

  int Disconnect(lua_State* state);
  int SendPmToNick(lua_State* state);
  int SendToNick(lua_State* state);
  int SendToAll(lua_State* state);
  int Statistic(lua_State* state);
  int ConvertBmpToRtfImage(lua_State* state);
  int Print(lua_State* state);

  const TLuaCoreContext& ctx_;
  const std::string name_;
  std::string text_;
  std::array<TRepeatedError, kScriptEventCount> repeated_{};
  TTimer timer_;
};
