#include "scripting/lua_host.h"

#include <cstring>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

// The run going on in a state, read by its count hook.
struct TLua::TWatch {
  const TRunLimit* Limit = nullptr;  // null: no run
  std::uint64_t Start = 0;
  std::string_view Script;
  std::string_view What;
  bool Ended = false;
  std::string Message;  // the error raised; lives on after the jump

  // True when the run must end; then Message holds why.
  bool MustEnd() noexcept {
    if (Limit == nullptr) return false;
    if (Ended) return true;
    try {
      std::string why;
      if (Limit->StopRequested && Limit->StopRequested()) {
        why = " stopped, the hub is shutting down";
      } else if (Limit->BoundMs > 0 && Limit->Clock &&
                 Limit->Clock() - Start > Limit->BoundMs) {
        why = " ran longer than " + std::to_string(Limit->BoundMs) + " ms and was stopped";
      } else {
        return false;
      }
      Message.assign(Script);
      Message += ": ";
      Message += What;
      Message += why;
    } catch (...) {
      Message = "script stopped";
    }
    Ended = true;
    return true;
  }
};

namespace {

// The registry key of the state's TWatch.
const char kWatchKey = 0;

struct TProtectedCall {
  TLua::TProtectedBody Body;
  void* Context;
};

int ProtectedTrampoline(lua_State* state) {
  const auto* call = static_cast<const TProtectedCall*>(lua_touserdata(state, 1));
  lua_settop(state, 0);
  return call->Body(state, call->Context);
}

void CopyMessage(char* to, std::size_t size, const char* from) {
  std::strncpy(to, from, size - 1);
  to[size - 1] = '\0';
}

// The closure every host function is registered as. The exception's text is
// copied out of the catch block so the exception object (and every C++
// object of the call) is gone before lua_error jumps.
int DispatchCallback(lua_State* state) {
  auto* callback = static_cast<TCallback*>(lua_touserdata(state, lua_upvalueindex(1)));
  if (callback == nullptr || !callback->Method) return 0;
  char message[1024];
  bool failed = false;
  int results = 0;
  try {
    results = callback->Method(state);
  } catch (const std::exception& e) {
    CopyMessage(message, sizeof message, e.what());
    failed = true;
  } catch (...) {
    CopyMessage(message, sizeof message, "unknown exception");
    failed = true;
  }
  if (failed) {
    lua_pushstring(state, message);
    return lua_error(state);
  }
  if (callback->CollectAfter) {
    lua_settop(state, 0);
    lua_gc(state, LUA_GCCOLLECT, 0);
    return 0;
  }
  return results;
}

struct TRegistration {
  const char* Table;  // null: globals
  std::vector<std::pair<const char*, TCallback*>> Functions;
};

// Runs protected; nothing here owns memory of its own.
int RegisterBody(lua_State* state, void* context) {
  const auto* reg = static_cast<const TRegistration*>(context);
  if (reg->Table != nullptr) lua_createtable(state, 0, static_cast<int>(reg->Functions.size()));
  for (const auto& [name, callback] : reg->Functions) {
    lua_pushlightuserdata(state, callback);
    lua_pushcclosure(state, DispatchCallback, 1);
    lua_setfield(state, reg->Table != nullptr ? -2 : LUA_GLOBALSINDEX, name);
  }
  if (reg->Table != nullptr) lua_setfield(state, LUA_GLOBALSINDEX, reg->Table);
  return 0;
}

int OpenLibsBody(lua_State* state, void* watch) {
  luaL_openlibs(state);
  lua_pushlightuserdata(state, const_cast<char*>(&kWatchKey));
  lua_pushlightuserdata(state, watch);
  lua_rawset(state, LUA_REGISTRYINDEX);
  return 0;
}

int CollectBody(lua_State* state, void* /*context*/) {
  lua_gc(state, LUA_GCCOLLECT, 0);
  return 0;
}

}  // namespace

std::string PopLuaError(lua_State* state) {
  std::string text;
  std::size_t length = 0;
  // A string or a number converts; any other error object has no text.
  if (lua_type(state, -1) == LUA_TSTRING || lua_type(state, -1) == LUA_TNUMBER) {
    const char* chars = lua_tolstring(state, -1, &length);
    text.assign(chars, length);
  } else {
    text = "(error object is a ";
    text += lua_typename(state, lua_type(state, -1));
    text += " value)";
  }
  lua_pop(state, 1);
  return text;
}

TLua::TLua() : watch_(std::make_unique<TWatch>()) {
  state_ = luaL_newstate();
  if (state_ == nullptr) throw std::runtime_error("TLua.Create(out of memory)");
  std::string error;
  if (Protected(OpenLibsBody, watch_.get(), &error) != 0) {
    lua_close(state_);
    throw std::runtime_error("TLua.Create(" + error + ")");
  }
  // Set for good: coroutines take the hook of the thread that makes them.
  lua_sethook(state_, RunHook, LUA_MASKCOUNT, kRunCheckInstructions);
}

// Nothing here has a destructor: lua_error jumps out of it.
void TLua::RunHook(lua_State* state, lua_Debug* /*debug*/) {
  lua_pushlightuserdata(state, const_cast<char*>(&kWatchKey));
  lua_rawget(state, LUA_REGISTRYINDEX);
  auto* watch = static_cast<TWatch*>(lua_touserdata(state, -1));
  lua_pop(state, 1);
  if (watch == nullptr || !watch->MustEnd()) {
    // A coroutine may still have the tight hook of a run that ended.
    if (lua_gethookcount(state) != kRunCheckInstructions)
      lua_sethook(state, RunHook, LUA_MASKCOUNT, kRunCheckInstructions);
    return;
  }
  lua_sethook(state, RunHook, LUA_MASKCOUNT, 1);
  lua_pushlstring(state, watch->Message.data(), watch->Message.size());
  lua_error(state);
}

TLua::TRun::TRun(TLua& lua, const TRunLimit& limit, std::string_view script,
                 std::string_view what)
    : lua_(lua), owner_(lua.watch_->Limit == nullptr) {
  if (!owner_) return;
  TWatch& watch = *lua_.watch_;
  watch.Start = limit.Clock ? limit.Clock() : 0;
  watch.Script = script;
  watch.What = what;
  watch.Ended = false;
  watch.Limit = &limit;
}

TLua::TRun::~TRun() {
  if (!owner_) return;
  lua_.watch_->Limit = nullptr;
  lua_sethook(lua_.state_, RunHook, LUA_MASKCOUNT, kRunCheckInstructions);
}

TLua::~TLua() { lua_close(state_); }

int TLua::Protected(TProtectedBody body, void* context, std::string* error) {
  TProtectedCall call{body, context};
  const int code = lua_cpcall(state_, ProtectedTrampoline, &call);
  if (code != 0) {
    std::string message = PopLuaError(state_);
    if (error != nullptr) *error = std::move(message);
  }
  return code;
}

int TLua::MemoryKB() const { return lua_gc(state_, LUA_GCCOUNT, 0); }

bool TLua::ClearAndCollect() {
  lua_settop(state_, 0);
  return Protected(CollectBody, nullptr, nullptr) == 0;
}

int TLua::DoFile(const std::string& fileName, std::string* error) {
  int code = luaL_loadfile(state_, fileName.c_str());
  if (code == 0) code = lua_pcall(state_, 0, LUA_MULTRET, 0);
  if (code != 0) {
    std::string message = PopLuaError(state_);
    if (error != nullptr) *error = std::move(message);
  }
  return code;
}

TCallback& TLua::AddCallback(THostFunction method) {
  auto callback = std::make_unique<TCallback>();
  callback->Method = std::move(method);
  callback->Owner = this;
  callbacks_.push_back(std::move(callback));
  return *callbacks_.back();
}

void TLua::RegisterFunction(const std::string& luaName, THostFunction method) {
  RegisterLibrary({}, {{luaName, std::move(method), false}});
}

void TLua::RegisterLibrary(const std::string& tableName, std::vector<TLibraryFunction> functions) {
  TRegistration reg{tableName.empty() ? nullptr : tableName.c_str(), {}};
  for (TLibraryFunction& function : functions) {
    TCallback& callback = AddCallback(std::move(function.Method));
    callback.CollectAfter = function.CollectAfter;
    reg.Functions.emplace_back(function.Name.c_str(), &callback);
  }
  std::string error;
  if (Protected(RegisterBody, &reg, &error) != 0)
    throw std::runtime_error("TLua.RegisterFunction(" + error + ")");
}
