#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct lua_State;

class TLua;

// A host function as a script sees it. It reads its arguments, does its
// work and pushes its results, returning how many. It reports a failure by
// throwing: the dispatcher turns the exception into a Lua error once every
// C++ object of the call is gone, so no error jumps over live destructors.
using THostFunction = std::function<int(lua_State*)>;

// One registered host function and the state that registered it. The state
// owns it; the Lua closure only points at it.
struct TCallback {
  THostFunction Method;
  // After a successful call the stack is emptied and a full collection
  // runs; the function then returns nothing.
  bool CollectAfter = false;
  TLua* Owner = nullptr;
};

// A function of a library table.
struct TLibraryFunction {
  std::string Name;
  THostFunction Method;
  bool CollectAfter = false;  // see TCallback
};

// One Lua 5.1 state with the standard libraries and the host functions
// registered on it. Owns the state and the callbacks; closing the state
// frees everything the scripts made. Main thread only.
class TLua {
 public:
  TLua();
  virtual ~TLua();
  TLua(const TLua&) = delete;
  TLua& operator=(const TLua&) = delete;

  lua_State* State() const { return state_; }

  // Loads the file and runs it with no arguments; the Lua error code, 0 on
  // success. On failure the message is in `error`.
  int DoFile(const std::string& fileName, std::string* error = nullptr);

  // Sets the global `luaName` to a closure that calls `method`.
  void RegisterFunction(const std::string& luaName, THostFunction method);
  // Sets the global table `tableName` (empty: the globals themselves) to
  // one closure per function.
  void RegisterLibrary(const std::string& tableName, std::vector<TLibraryFunction> functions);

  // Runs `body` in protected mode: a Lua error raised inside (by the state
  // or by a metamethod) ends up here as a non-zero code and a message
  // instead of reaching the panic handler. `body` must not keep C++ objects
  // with destructors alive across the Lua calls it makes.
  using TProtectedBody = int (*)(lua_State* state, void* context);
  int Protected(TProtectedBody body, void* context, std::string* error);

  // Empties the stack and runs a full collection, protected (a finaliser
  // may raise); false when the collection failed.
  bool ClearAndCollect();

  // The kilobytes the state's allocator holds.
  int MemoryKB() const;

 private:
  TCallback& AddCallback(THostFunction method);

  lua_State* state_ = nullptr;
  std::vector<std::unique_ptr<TCallback>> callbacks_;
};

// The text of the error object on the top of the stack, popped.
std::string PopLuaError(lua_State* state);
