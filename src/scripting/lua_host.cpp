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

namespace {

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

int OpenLibsBody(lua_State* state, void* /*context*/) {
  luaL_openlibs(state);
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

TLua::TLua() {
  state_ = luaL_newstate();
  if (state_ == nullptr) throw std::runtime_error("TLua.Create(out of memory)");
  std::string error;
  if (Protected(OpenLibsBody, nullptr, &error) != 0) {
    lua_close(state_);
    throw std::runtime_error("TLua.Create(" + error + ")");
  }
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
