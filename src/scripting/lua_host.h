#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct lua_State;
struct lua_Debug;

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

// When a run of script code is stopped. A script that never returns would
// hold the main thread, and with it the whole hub.
struct TRunLimit {
  std::uint64_t BoundMs = 0;              // longer than this ends the run; 0: no bound
  std::function<std::uint64_t()> Clock;   // ms, monotonic; empty: no bound
  std::function<bool()> StopRequested;    // true ends the run at once; empty: never
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

  // How many VM instructions run between two looks at the limit.
  static constexpr int kRunCheckInstructions = 10000;

  // One entry into script code. While it lives, the code running in the
  // state (its coroutines too) is ended with a Lua error naming `script`
  // and `what` once `limit` says so; from then on every instruction fails,
  // so a pcall in the script cannot keep it going. Code inside a C function
  // (a long string.rep, a finaliser) is not reached. A run inside a run
  // keeps the outer one. `limit`, `script` and `what` must outlive it.
  class TRun {
   public:
    TRun(TLua& lua, const TRunLimit& limit, std::string_view script, std::string_view what);
    ~TRun();
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

   private:
    TLua& lua_;
    bool owner_;
  };

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
  struct TWatch;
  static void RunHook(lua_State* state, lua_Debug* debug);
  TCallback& AddCallback(THostFunction method);

  std::unique_ptr<TWatch> watch_;  // the registry points at it
  lua_State* state_ = nullptr;
  std::vector<std::unique_ptr<TCallback>> callbacks_;
};

// The text of the error object on the top of the stack, popped.
std::string PopLuaError(lua_State* state);
