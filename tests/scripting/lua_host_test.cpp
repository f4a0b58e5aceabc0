// The Lua host: host functions that fail, and Lua errors where no
// protected call of the script stands.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scripting/lua_host.h"
#include "support/temp_folder.h"

namespace {

// Counts its destruction, so a Lua error jumping over it shows.
struct TSentinel {
  int* Freed;
  ~TSentinel() { ++*Freed; }
};

class LuaHostTest : public testing::Test {
 protected:
  // Runs `code` as a script file; the error code, the message in `error`.
  int Run(const std::string& code, std::string& error) {
    const std::string path = folder_.File("script.lua");
    std::ofstream(path, std::ios::binary) << code;
    return lua_.DoFile(path, &error);
  }

  TTempFolder folder_{"kavro-lua-host-"};
  TLua lua_;
};

TEST_F(LuaHostTest, HostFailuresBecomeLuaErrorsOnceTheirObjectsAreGone) {
  struct TCase {
    const char* Name;
    std::function<void()> Fail;
    std::string Message;
  };
  const TCase cases[] = {
      {"C++ exception", [] { throw std::runtime_error("core.Host(bad input)"); },
       "core.Host(bad input)"},
      {"foreign exception", [] { throw 42; }, "unknown exception"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    int freed = 0;
    int calls = 0;
    lua_.RegisterFunction("host", [&](lua_State* /*state*/) -> int {
      TSentinel sentinel{&freed};
      // Heap memory the leak checker would see if the frame were skipped.
      std::vector<std::string> held(8, std::string(64, 'x'));
      ++calls;
      c.Fail();
      return 0;
    });
    std::string error;
    // Caught by the script, many times over; then uncaught.
    EXPECT_EQ(Run("for i = 1, 200 do\n"
                  "  local ok, message = pcall(host)\n"
                  "  if ok then error('no error', 0) end\n"
                  "  last = message\n"
                  "end\n"
                  "error('caught:' .. last, 0)\n",
                  error),
              2);
    EXPECT_EQ(error, "caught:" + c.Message);
    EXPECT_EQ(Run("host()\n", error), 2);
    EXPECT_EQ(error, c.Message);
    EXPECT_EQ(calls, 201);
    EXPECT_EQ(freed, calls);
  }
}

TEST_F(LuaHostTest, FailingFinaliserDoesNotEndTheProcess) {
  std::string error;
  ASSERT_EQ(Run("local p = newproxy(true)\n"
                "getmetatable(p).__gc = function() error('finaliser broke') end\n"
                "p = nil\n",
                error),
            0)
      << error;
  // Unprotected, the collection would reach the panic handler and exit.
  EXPECT_FALSE(lua_.ClearAndCollect());
  EXPECT_TRUE(lua_.ClearAndCollect());
}

TEST_F(LuaHostTest, LoadAndRunErrorsAreCodes) {
  std::string error;
  EXPECT_EQ(Run("x = = 1\n", error), 3);  // syntax
  EXPECT_NE(error.find("script.lua:1:"), std::string::npos) << error;
  EXPECT_EQ(Run("error({})\n", error), 2);
  EXPECT_EQ(error, "(error object is a table value)");
  EXPECT_EQ(lua_.DoFile(folder_.File("missing.lua"), &error), 6);
  EXPECT_EQ(Run("x = 1\n", error), 0);
}

}  // namespace
