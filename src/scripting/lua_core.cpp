#include "scripting/lua_core.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>

#include "core/hub_feed.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "platform/file_io.h"
#include "platform/monotonic_clock.h"
#include "scripting/lua_statistic.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace {

constexpr std::size_t kMaxBotNameLength = 255;

// What an event call reads of a user, copied out before the state is
// entered: nothing here has a destructor, so a Lua error may jump over it.
struct TUserView {
  const char* Nick;
  std::size_t NickLength;
  const char* IP;
  std::size_t IPLength;
  int Profile;
  bool Operator;
  int ConnectedPort;
  int NickPort;
  TSupports Supports;
};

struct TEventCall {
  const char* Function;
  const TUserView* User;  // null: Parent is the argument
  void* Parent;
  const char* Data;  // null: no message argument
  std::size_t DataLength;
  bool Consumed;
};

struct TEventNames {
  const char* Function;
  const char* ErrorPrefix;
};

constexpr std::array<TEventNames, kScriptEventCount> kEventNames = {{
    {"UserConnects", "Lua: onUserConnect,"},
    {"UserConnected", "Lua: onUserConnected,"},
    {"UserDisconnected", "Lua: onUserDisconnected,"},
    {"ChatArrival", "Lua: onChatArrival,"},
    {"ToArrival", "Lua: onToArrival,"},
}};

void SetBool(lua_State* state, const char* key, bool value) {
  lua_pushboolean(state, value ? 1 : 0);
  lua_setfield(state, -2, key);
}

void SetNumber(lua_State* state, const char* key, lua_Integer value) {
  lua_pushinteger(state, value);
  lua_setfield(state, -2, key);
}

void PushUserTable(lua_State* state, const TUserView& user) {
  lua_createtable(state, 0, 22);
  lua_pushlstring(state, user.Nick, user.NickLength);
  lua_setfield(state, -2, "sNick");
  lua_pushlstring(state, user.IP, user.IPLength);
  lua_setfield(state, -2, "sIP");
  SetNumber(state, "iProfileNumber", user.Profile);
  SetBool(state, "bOperator", user.Operator);
  SetNumber(state, "iConnectedPort", user.ConnectedPort);
  SetNumber(state, "iNickPort", user.NickPort);
  const TSupports& s = user.Supports;
  SetBool(state, "bSupportsFeed", s.Feed);
  SetBool(state, "bSupportsNoHello", s.NoHello);
  SetBool(state, "bSupportsNoGetINFO", s.NoGetINFO);
  SetBool(state, "bSupportsGetZBlock", s.GetZBlock);
  SetBool(state, "bSupportsTTHSearch", s.TTHSearch);
  SetBool(state, "bSupportsUserIP", s.UserIP);
  SetBool(state, "bSupportsUserIP2", s.UserIP2);
  SetBool(state, "bSupportsUserCommand", s.UserCommand);
  SetBool(state, "bSupportsMCTo", s.MCTo);
  SetBool(state, "bSupportsBotINFO", s.BotINFO);
  SetBool(state, "bSupportsZLine", s.ZPipe);
  SetBool(state, "bSupportsDHT0", s.DHT0);
  SetBool(state, "bSupportsRTF0", s.RTF0);
}

// Runs protected: the look-up of the function (a metatable on the globals
// may raise), the user table, the call and the reading of its result.
int EventBody(lua_State* state, void* context) {
  auto* call = static_cast<TEventCall*>(context);
  lua_getfield(state, LUA_GLOBALSINDEX, call->Function);
  if (lua_type(state, -1) != LUA_TFUNCTION) return 0;
  int arguments = 1;
  if (call->User != nullptr) {
    PushUserTable(state, *call->User);
  } else {
    lua_pushlightuserdata(state, call->Parent);
  }
  if (call->Data != nullptr) {
    lua_pushlstring(state, call->Data, call->DataLength);
    ++arguments;
  }
  lua_call(state, arguments, LUA_MULTRET);
  // Only the number 1 consumes: `true` or "1" do not.
  call->Consumed = lua_gettop(state) >= 1 && lua_type(state, 1) == LUA_TNUMBER &&
                   lua_tonumber(state, 1) == 1.0;
  return 0;
}

int TimerBody(lua_State* state, void* /*context*/) {
  lua_getfield(state, LUA_GLOBALSINDEX, "OnTimer");
  if (lua_type(state, -1) == LUA_TFUNCTION) lua_call(state, 0, 0);
  return 0;
}

[[noreturn]] void Fail(const char* function, const std::string& detail) {
  throw std::runtime_error(std::string("core.") + function + "(" + detail + ")");
}

// Argument `index` as bytes; a number counts as its text.
std::string ArgText(lua_State* state, int index, const char* function) {
  if (lua_isstring(state, index) == 0)
    Fail(function, "argument " + std::to_string(index) + " is not a string");
  std::size_t length = 0;
  const char* chars = lua_tolstring(state, index, &length);
  return std::string(chars, length);
}

void EnsureEndChar(std::string& data) {
  if (data.empty() || data.back() != '|') data += '|';
}

// Logged in and still in the initialised state.
THubSocket* ReachableUser(TKavroRoot& root, std::string_view nick) {
  THubSocket* user = root.NickList().FindUser(nick);
  return user != nullptr && user->LifeState == lsInitialised ? user : nullptr;
}

}  // namespace

TLuaCore::TLuaCore(const TLuaCoreContext& context, std::string name)
    : ctx_(context), name_(std::move(name)) {
  RegisterLibrary();
  timer_ = ctx_.Root.Loop().AddTimer(kTimerMs, true, [this] { OnTimer(); });
}

void TLuaCore::RegisterLibrary() {
  // Each of these empties the stack and collects before it returns;
  // Statistic collects first, so it can return its table.
  TLua::RegisterLibrary(
      "core",
      {{"Disconnect", [this](lua_State* s) { return Disconnect(s); }, true},
       {"SendPmToNick", [this](lua_State* s) { return SendPmToNick(s); }, true},
       {"SendToNick", [this](lua_State* s) { return SendToNick(s); }, true},
       {"SendToAll", [this](lua_State* s) { return SendToAll(s); }, true},
       {"Statistic", [this](lua_State* s) { return Statistic(s); }, false},
       {"ConvertBmpToRtfImage", [this](lua_State* s) { return ConvertBmpToRtfImage(s); }, true}});
  RegisterFunction("print", [this](lua_State* s) { return Print(s); });
  // Kept for scripts written against the published method; it does nothing.
  RegisterFunction("AddAccount", [](lua_State* /*state*/) { return 0; });
}

void TLuaCore::Load(const std::string& path) {
  lua_State* state = State();
  try {
    int code = luaL_loadfile(state, path.c_str());
    if (code == 0) {
      const TRun run(*this, ctx_.RunLimit, name_, "main chunk");
      code = lua_pcall(state, 0, 0, 0);
    }
    if (code != 0) {
      const std::string message = PopLuaError(state);
      ctx_.Root.ReportError("Lua: :" + std::to_string(code) + ": " + message);
    }
  } catch (const std::exception& e) {
    ctx_.Root.ReportError(std::string("ECoreCriticalError:TLuaScripts.Load(") + e.what() +
                          "): for file " + name_);
  }
  ClearAndCollect();
  std::string text;
  if (ReadFileBytes(path, text)) text_ = std::move(text);
}

bool TLuaCore::CallEvent(TScriptEvent event, THubSocket& user, std::string_view data) {
  const auto index = static_cast<std::size_t>(event);
  const TUserView view{user.Nick.data(),     user.Nick.size(),   user.IP.data(),
                       user.IP.size(),       user.ProfileLevel(), user.IsOperator(),
                       user.Port,            user.Socket(),      user.UserInfo().Supports};
  const bool withData = event == TScriptEvent::ChatArrival || event == TScriptEvent::ToArrival;
  TEventCall call{kEventNames[index].Function,
                  &view,
                  nullptr,
                  withData ? data.data() : nullptr,
                  data.size(),
                  false};
  if (withData && call.Data == nullptr) call.Data = "";
  std::string error;
  int code = 0;
  {
    const TRun run(*this, ctx_.RunLimit, name_, call.Function);
    code = Protected(EventBody, &call, &error);
  }
  ClearAndCollect();
  if (code != 0) {
    ReportEventError(event, error);
    return false;
  }
  return call.Consumed;
}

void TLuaCore::CallGraphicalUserInterface(void* parent) {
  TEventCall call{"GraphicalUserInterface", nullptr, parent, nullptr, 0, false};
  {
    const TRun run(*this, ctx_.RunLimit, name_, call.Function);
    Protected(EventBody, &call, nullptr);  // its failures are not reported
  }
  ClearAndCollect();
}

void TLuaCore::ReportEventError(TScriptEvent event, const std::string& message) {
  const char* prefix = kEventNames[static_cast<std::size_t>(event)].ErrorPrefix;
  if (event != TScriptEvent::ChatArrival && event != TScriptEvent::ToArrival) {
    ctx_.Root.ReportError(prefix + message);
    return;
  }
  // A handler failing on every line must not flood the feed.
  TRepeatedError& repeated = repeated_[static_cast<std::size_t>(event)];
  const std::uint64_t now = ctx_.Clock ? ctx_.Clock() : MonotonicMs();
  if (repeated.Reported && now - repeated.LastReport < kRepeatedErrorMs) {
    ++repeated.LeftOut;
    return;
  }
  std::string line = prefix + message;
  if (repeated.LeftOut > 0)
    line += " (" + std::to_string(repeated.LeftOut) + " more left out)";
  repeated = {true, now, 0};
  ctx_.Root.ReportError(line);
}

void TLuaCore::OnTimer() {
  std::string error;
  int code = 0;
  {
    const TRun run(*this, ctx_.RunLimit, name_, "OnTimer");
    code = Protected(TimerBody, nullptr, &error);
  }
  lua_settop(State(), 0);
  if (code != 0)
    ctx_.Root.ReportError("Lua: OnTimer, errorcode:" + std::to_string(code) + ": " + error);
}

int TLuaCore::Disconnect(lua_State* state) {
  const std::string nick = ArgText(state, 1, "Disconnect");
  std::string data;
  if (lua_gettop(state) >= 2 && lua_isnil(state, 2) == 0) data = ArgText(state, 2, "Disconnect");
  THubSocket* user = ctx_.Root.NickList().FindUser(nick);
  if (user == nullptr) return 0;
  if (user->LifeState == lsInitialised && data.size() > 2) user->WriteBuffer().AppendString(data);
  // The send pass writes what is queued, then closes.
  user->LifeState = lsClosing;
  return 0;
}

int TLuaCore::SendPmToNick(lua_State* state) {
  const std::string nick = ArgText(state, 1, "SendPmToNick");
  const std::string from = ArgText(state, 2, "SendPmToNick");
  std::string text = ArgText(state, 3, "SendPmToNick");
  THubSocket* user = ReachableUser(ctx_.Root, nick);
  if (user == nullptr) return 0;
  EnsureEndChar(text);
  user->WriteBuffer().AppendString("$To: " + nick + " From: " + from + " $" + text);
  return 0;
}

int TLuaCore::SendToNick(lua_State* state) {
  const std::string nick = ArgText(state, 1, "SendToNick");
  std::string data = ArgText(state, 2, "SendToNick");
  THubSocket* user = ReachableUser(ctx_.Root, nick);
  if (user == nullptr) return 0;
  EnsureEndChar(data);
  user->WriteBuffer().AppendString(data);
  return 0;
}

int TLuaCore::SendToAll(lua_State* state) {
  std::string data;
  if (lua_gettop(state) >= 2) {
    std::string name = ArgText(state, 1, "SendToAll");
    if (name.size() > kMaxBotNameLength) name.resize(kMaxBotNameLength);
    data = "<" + name + "> " + ArgText(state, 2, "SendToAll");
  } else {
    data = ArgText(state, 1, "SendToAll");
  }
  EnsureEndChar(data);
  ctx_.Root.NickList().SendToAll(data);
  return 0;
}

int TLuaCore::Statistic(lua_State* state) {
  const int port = lua_type(state, 1) == LUA_TNUMBER ? static_cast<int>(lua_tointeger(state, 1)) : 0;
  // Nothing with a destructor lives yet: a finaliser may raise here.
  lua_settop(state, 0);
  lua_gc(state, LUA_GCCOLLECT, 0);
  PushStatistic(state, GatherStatistic(ctx_.Root, ctx_.CPU, port));
  return 1;
}

int TLuaCore::ConvertBmpToRtfImage(lua_State* state) {
  const std::string source = ArgText(state, 1, "ConvertBmpToRtfImage");
  const std::string target = ArgText(state, 2, "ConvertBmpToRtfImage");
  if (lua_type(state, 3) != LUA_TNUMBER) Fail("ConvertBmpToRtfImage", "argument 3 is not a number");
  const auto format = static_cast<int>(lua_tointeger(state, 3));
  if (ctx_.Pictures == nullptr || !*ctx_.Pictures)
    Fail("ConvertBmpToRtfImage", "no picture loader");
  try {
    ConvertPictureToRtfFile(*ctx_.Pictures, source, target, format);
  } catch (const std::runtime_error& e) {
    Fail("ConvertBmpToRtfImage", e.what());
  }
  return 0;
}

int TLuaCore::Print(lua_State* state) {
  try {
    std::string text;
    const int count = lua_gettop(state);
    for (int i = 1; i <= count; ++i) {
      if (i > 1) text += '\t';
      const int type = lua_type(state, i);
      if (type == LUA_TSTRING || type == LUA_TNUMBER) {
        std::size_t length = 0;
        const char* chars = lua_tolstring(state, i, &length);
        text.append(chars, length);
      } else {
        char address[32];
        std::snprintf(address, sizeof address, "%p", lua_topointer(state, i));
        text += address;
      }
    }
    ctx_.Root.Feed().ShowScriptOutput("Lua: " + text);
  } catch (const std::exception& e) {
    ctx_.Root.ReportError(std::string("ECoreCriticalError:TLuaCore.print(") + e.what() + ")");
  }
  return 0;
}
