// Scripts loaded by the script list: the scan, the event calls and their
// failures, and the library functions that need no network.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "platform/event_loop.h"
#include "scripting/lua_scripts.h"
#include "support/fake_connection.h"
#include "support/temp_folder.h"

namespace {

class LuaScriptsTest : public testing::Test {
 protected:
  LuaScriptsTest() {
    root_.SetLineSink([this](std::string_view line) { lines_.emplace_back(line); });
    scripts_.SetClock([this] { return now_; });
  }

  void Write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(home_.File("scripts"));
    std::ofstream(home_.File("scripts/" + name), std::ios::binary) << text;
  }

  // Writes and loads one script.
  TLuaCore& Load(const std::string& name, const std::string& text) {
    Write(name, text);
    scripts_.ScanAndLoadNew();
    TLuaCore* script = scripts_.Find(name);
    EXPECT_NE(script, nullptr);
    return *script;
  }

  // The lines holding `part`.
  std::vector<std::string> LinesWith(const std::string& part) const {
    std::vector<std::string> found;
    for (const std::string& line : lines_)
      if (line.find(part) != std::string::npos) found.push_back(line);
    return found;
  }

  // The lines ending in `tail`.
  std::vector<std::string> LinesEndingWith(const std::string& tail) const {
    std::vector<std::string> found;
    for (const std::string& line : lines_)
      if (line.ends_with(tail)) found.push_back(line);
    return found;
  }

  // Script calls end on a clock that moves `runStep_` each time it is read,
  // and when `stop_` is set.
  void UseFakeRunLimit() {
    scripts_.SetRunLimit({TLuaScripts::kRunBoundMs, [this] { return runNow_ += runStep_; },
                          [this] { return stop_; }});
  }

  // The text after "Lua: " of the last script-output line.
  std::string LastOutput() const {
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
      const std::size_t at = it->find("] Lua: ");
      if (at != std::string::npos) return it->substr(at + 7);
    }
    return {};
  }

  TTempFolder home_{"kavro-lua-scripts-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
  TLuaScripts scripts_{root_};
  std::vector<std::string> lines_;
  std::uint64_t now_ = 100000;
  std::uint64_t runNow_ = 5000;
  std::uint64_t runStep_ = 0;
  bool stop_ = false;
  TFakeUsers users_;
};

TEST_F(LuaScriptsTest, ScanFindsLuaFilesOnceInNameOrder) {
  EXPECT_FALSE(scripts_.ScanScripts());  // the folder is made, and empty
  EXPECT_TRUE(std::filesystem::is_directory(home_.File("scripts")));
  Write("b.lua", "");
  Write("A.LUA", "");
  Write("notes.txt", "");
  std::filesystem::create_directories(home_.File("scripts/folder.lua"));
  EXPECT_TRUE(scripts_.ScanScripts());
  EXPECT_EQ(scripts_.Count(), 2);
  EXPECT_FALSE(scripts_.ScanScripts());
  EXPECT_EQ(scripts_.Count(), 2);
  EXPECT_NE(scripts_.Find("A.LUA"), nullptr);
  EXPECT_EQ(scripts_.Find("a.lua"), nullptr);  // look-ups are exact
  const std::size_t before = lines_.size();
  EXPECT_FALSE(scripts_.LoadScript("missing.lua"));
  EXPECT_EQ(lines_.size(), before);
}

// Each script found is named before it loads, in name order (the window
// shows it on the splash screen).
TEST_F(LuaScriptsTest, EachScriptIsAnnouncedBeforeItLoads) {
  std::vector<std::string> announced;
  scripts_.SetLoadingListener([&](const std::string& name) {
    announced.push_back(name + (scripts_.Find(name) != nullptr ? " listed" : " unlisted"));
  });
  Write("b.lua", "");
  Write("a.lua", "x = = 1\n");
  scripts_.LoadScripts(false);
  EXPECT_EQ(announced, (std::vector<std::string>{"a.lua listed", "b.lua listed"}));
}

TEST_F(LuaScriptsTest, SyntaxErrorGivesOneLineAndStaysListed) {
  Load("broken.lua", "x = = 1\n");
  const auto found = LinesWith("broken.lua");
  ASSERT_EQ(found.size(), 1U);
  EXPECT_NE(found[0].find("Lua: :3: "), std::string::npos) << found[0];
  EXPECT_EQ(scripts_.Count(), 1);
}

TEST_F(LuaScriptsTest, OnlyTheNumberOneConsumes) {
  Load("result.lua",
       "ChatArrival = function(u, d) return loadstring('return ' .. d:match('> (.*)|$'))() end\n");
  const struct {
    const char* Result;
    bool Consumes;
  } cases[] = {{"1", true},      {"1, 0", true},  {"true", false}, {"'1'", false},
               {"2", false},     {"1.5", false},  {"nil", false},  {"", false},
               {"0", false}};
  auto user = users_.Connect("chatter");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Result);
    EXPECT_EQ(scripts_.ChatArrival(*user, std::string("<chatter> ") + c.Result + "|"), c.Consumes);
  }
}

// Every entry into the state runs protected: the look-up of each event's
// function raises here, and the hub reports it and goes on.
TEST_F(LuaScriptsTest, GlobalsThatRaiseOnEveryEventAreReported) {
  TLuaCore& script = Load("hostile.lua",
                          "setmetatable(_G, {__index = function(t, k) "
                          "error('no global ' .. k, 0) end})\n");
  auto user = users_.Connect("victim");
  const struct {
    const char* Prefix;
    std::function<bool()> Call;
  } cases[] = {
      {"Lua: onUserConnect,no global UserConnects", [&] { return scripts_.Connected(*user); }},
      {"Lua: onUserConnected,no global UserConnected",
       [&] { return scripts_.UserConnected(*user); }},
      {"Lua: onUserDisconnected,no global UserDisconnected",
       [&] { return scripts_.UserDisconnected(*user); }},
      {"Lua: onChatArrival,no global ChatArrival",
       [&] { return scripts_.ChatArrival(*user, "<victim> hi|"); }},
      {"Lua: onToArrival,no global ToArrival",
       [&] { return scripts_.ToArrival(*user, "$To: a From: victim $<victim> hi|"); }},
      {"Lua: OnTimer, errorcode:2: no global OnTimer", [&] {
         script.OnTimer();
         return false;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Prefix);
    EXPECT_FALSE(c.Call());
    EXPECT_EQ(LinesWith(c.Prefix).size(), 1U);
  }
}

TEST_F(LuaScriptsTest, FailingChatHandlerReportsOncePerMinute) {
  Load("noisy.lua",
       "ChatArrival = function() error('chat broke', 0) end\n"
       "ToArrival = function() error('pm broke', 0) end\n");
  auto user = users_.Connect("noisy");
  const auto chat = [&] { return scripts_.ChatArrival(*user, "<noisy> x|"); };
  EXPECT_FALSE(chat());
  now_ += 1000;
  EXPECT_FALSE(chat());
  EXPECT_FALSE(scripts_.ToArrival(*user, "$To: a From: noisy $<noisy> x|"));  // its own count
  now_ += 1000;
  EXPECT_FALSE(chat());
  EXPECT_EQ(LinesWith("Lua: onChatArrival,chat broke").size(), 1U);
  EXPECT_EQ(LinesWith("Lua: onToArrival,pm broke").size(), 1U);
  now_ += TLuaCore::kRepeatedErrorMs;
  EXPECT_FALSE(chat());
  EXPECT_EQ(LinesWith("Lua: onChatArrival,chat broke (2 more left out)").size(), 1U);
}

// Each report says how many failures it stands for since the one before;
// the minute counts from the last report, per handler.
TEST_F(LuaScriptsTest, RepeatedHandlerErrorsCountWhatWasLeftOut) {
  Load("again.lua",
       "ChatArrival = function() error('chat broke', 0) end\n"
       "ToArrival = function() error('pm broke', 0) end\n");
  auto user = users_.Connect("again");
  const struct {
    const char* Name;
    std::function<bool()> Call;
    const char* Line;
  } handlers[] = {
      {"chat", [&] { return scripts_.ChatArrival(*user, "<again> x|"); },
       "Lua: onChatArrival,chat broke"},
      {"private message", [&] { return scripts_.ToArrival(*user, "$To: a From: again $<again> x|"); },
       "Lua: onToArrival,pm broke"},
  };
  const struct {
    std::uint64_t AdvanceMs;
    const char* Suffix;  // of the line this failure reports; null: none
  } steps[] = {
      {0, ""},
      {1000, nullptr},
      {1000, nullptr},
      {TLuaCore::kRepeatedErrorMs - 2000, " (2 more left out)"},
      {TLuaCore::kRepeatedErrorMs - 1, nullptr},
      {1, " (1 more left out)"},
      {TLuaCore::kRepeatedErrorMs, ""},
  };
  for (const auto& handler : handlers) {
    SCOPED_TRACE(handler.Name);
    int row = 0;
    for (const auto& step : steps) {
      SCOPED_TRACE(row++);
      now_ += step.AdvanceMs;
      const std::size_t before = lines_.size();
      EXPECT_FALSE(handler.Call());
      if (step.Suffix == nullptr) {
        EXPECT_EQ(lines_.size(), before);
      } else {
        ASSERT_EQ(lines_.size(), before + 1);
        EXPECT_TRUE(lines_.back().ends_with(std::string(handler.Line) + step.Suffix))
            << lines_.back();
      }
    }
  }
}

// A script that never returns is stopped by the bound and reported like any
// failure of that entry; its state goes on serving.
TEST_F(LuaScriptsTest, ScriptThatNeverReturnsIsStopped) {
  UseFakeRunLimit();
  runStep_ = 100;  // a few checks reach the bound
  auto user = users_.Connect("looper");
  const std::string loop = "while true do end";
  const std::string stopped = " ran longer than 3000 ms and was stopped";
  const auto chat = [&](TLuaCore& script) {
    return script.CallEvent(TScriptEvent::ChatArrival, *user, "<looper> x|");
  };
  const struct {
    const char* Name;
    std::string Script;
    std::function<bool(TLuaCore&)> Call;  // null: loading is the call
    std::string Line;
  } cases[] = {
      {"chat", "ChatArrival = function() " + loop + " end\n", chat,
       "Lua: onChatArrival,r0.lua: ChatArrival" + stopped},
      {"private message", "ToArrival = function() " + loop + " end\n",
       [&](TLuaCore& script) {
         return script.CallEvent(TScriptEvent::ToArrival, *user, "$To: a From: b $<b> x|");
       },
       "Lua: onToArrival,r1.lua: ToArrival" + stopped},
      {"user connected", "UserConnected = function() " + loop + " end\n",
       [&](TLuaCore& script) { return script.CallEvent(TScriptEvent::UserConnected, *user); },
       "Lua: onUserConnected,r2.lua: UserConnected" + stopped},
      {"timer", "OnTimer = function() " + loop + " end\n",
       [&](TLuaCore& script) {
         script.OnTimer();
         return false;
       },
       "Lua: OnTimer, errorcode:2: r3.lua: OnTimer" + stopped},
      {"main chunk", "x = 1\n" + loop + "\n", nullptr, "Lua: :2: r4.lua: main chunk" + stopped},
      {"pcall catches, a hundred times",
       "ChatArrival = function() for i = 1, 100 do pcall(function() " + loop + " end) end end\n",
       chat, "Lua: onChatArrival,r5.lua: ChatArrival" + stopped},
      {"pcall catches, then consumes",
       "ChatArrival = function() pcall(function() " + loop + " end) return 1 end\n", chat,
       "Lua: onChatArrival,r6.lua: ChatArrival" + stopped},
      {"a new coroutine each time",
       "ChatArrival = function() while true do "
       "coroutine.resume(coroutine.create(function() " + loop + " end)) end end\n",
       chat, "Lua: onChatArrival,r7.lua: ChatArrival" + stopped},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string name = "r" + std::to_string(row++) + ".lua";
    // Defined first, so the looping main chunk has it too.
    TLuaCore& script = Load(name, "UserDisconnected = function() return 1 end\n" + c.Script);
    if (c.Call) {
      EXPECT_FALSE(c.Call(script));
    }
    EXPECT_EQ(LinesEndingWith(c.Line).size(), 1U) << (lines_.empty() ? "" : lines_.back());
    // The state still runs what it is given.
    EXPECT_TRUE(script.CallEvent(TScriptEvent::UserDisconnected, *user));
  }
}

// The bound is measured on the injected clock from the start of each call,
// and a stop request ends a long call at once, but not a short one.
TEST_F(LuaScriptsTest, RunBoundAndStopRequest) {
  UseFakeRunLimit();
  TLuaCore& script =
      Load("bound.lua",
           "ChatArrival = function()\n"
           "  advance()\n"
           "  for i = 1, 3 * " + std::to_string(TLua::kRunCheckInstructions) + " do end\n"
           "  return 1\n"
           "end\n"
           "ToArrival = function() return 1 end\n");
  std::uint64_t advanceMs = 0;
  script.RegisterFunction("advance", [&](lua_State* /*state*/) {
    runNow_ += advanceMs;
    return 0;
  });
  auto user = users_.Connect("bounded");
  const auto chat = [&](std::uint64_t ms) {
    advanceMs = ms;
    return scripts_.ChatArrival(*user, "<bounded> x|");
  };
  const std::string tooLong = "bound.lua: ChatArrival ran longer than 3000 ms and was stopped";
  EXPECT_TRUE(chat(TLuaScripts::kRunBoundMs));
  EXPECT_TRUE(LinesWith(tooLong).empty());
  EXPECT_FALSE(chat(TLuaScripts::kRunBoundMs + 1));
  EXPECT_EQ(LinesWith(tooLong).size(), 1U);
  // The next call has a bound of its own.
  EXPECT_TRUE(chat(TLuaScripts::kRunBoundMs));

  stop_ = true;
  runStep_ = 1;  // were the request missed, the bound would end it, later
  EXPECT_TRUE(scripts_.ToArrival(*user, "$To: a From: b $x|"));
  now_ += TLuaCore::kRepeatedErrorMs;
  EXPECT_FALSE(chat(0));
  EXPECT_EQ(LinesWith("bound.lua: ChatArrival stopped, the hub is shutting down").size(), 1U);
}

TEST_F(LuaScriptsTest, StatisticHasEveryKeyWithItsType) {
  const std::vector<std::string> numbers = {
      "CurrentUsers", "AuthorizingUsers", "PeakUsers", "AllTimePeakUsers", "NickEntries",
      "IPEntries", "Errors", "ReadBuffers", "TextCommands", "MainchatMessages",
      "PrivateMessages", "ActiveSearches", "PassiveSearches", "SearchReplies", "MyINFOs",
      "Nicklists", "ConnectToMe", "RevConnectToMe", "Kicks", "Redirects", "MCTo", "BotINFO",
      "Feed", "ReadbufferFull", "WritebufferFull", "SocketErrors", "LoginTimeouts",
      "IdleTimeouts", "getDropSpamKicks", "getHubAccounts", "Registered", "NickBans", "IPBans",
      "getHubDNSBans", "ClientBans", "TempBans", "ActionFeed", "KickFeed", "EventFeed",
      "GUIFeed", "ErrorFeed"};
  const std::vector<std::string> texts = {
      "CurrentSharesize", "PeakSharesize", "AllTimePeakSharesize", "PerUserSharesize",
      "CoreVersion", "Uptime", "UptimePeak", "Recieving", "Sending", "WriteBuffers", "CPUUsage",
      "CPUTime", "MemoryUsage", "PeakMemoryUsage", "VirtualMemoryUsage", "MemoryAvailable"};
  std::vector<std::string> expected;
  for (const std::string& key : numbers) expected.push_back(key + ":number");
  for (const std::string& key : texts) expected.push_back(key + ":string");
  std::sort(expected.begin(), expected.end());
  std::string joined;
  for (const std::string& entry : expected) joined += (joined.empty() ? "" : ",") + entry;

  int run = 0;
  for (const char* call : {"core.Statistic()", "core.Statistic(411)"}) {
    SCOPED_TRACE(call);
    Load("stat" + std::to_string(++run) + ".lua",
         "local keys = {}\n"
         "for k, v in pairs(" + std::string(call) + ") do keys[#keys + 1] = k .. ':' .. type(v) end\n"
         "table.sort(keys)\n"
         "print(table.concat(keys, ','))\n");
    EXPECT_EQ(LastOutput(), joined);
  }
  Load("memory.lua", "local s = core.Statistic() print(s.MemoryUsage, s.MemoryAvailable)\n");
  EXPECT_EQ(LastOutput().find("0 B"), std::string::npos) << LastOutput();
}

TEST_F(LuaScriptsTest, PrintJoinsWithTabs) {
  Load("print.lua", "print('a', 1, 2.5, {})\n");
  const std::string out = LastOutput();
  EXPECT_EQ(out.substr(0, 9), "a\t1\t2.5\t0") << out;
  EXPECT_EQ(out[9], 'x') << out;
}

TEST_F(LuaScriptsTest, PictureConversionFailuresAreLuaErrors) {
  const std::string script =
      "local ok, message = pcall(core.ConvertBmpToRtfImage, 'in.bmp', 'out.rtf', 6)\n"
      "print(tostring(ok) .. ' ' .. message)\n";
  Load("picture1.lua", script);
  EXPECT_EQ(LastOutput(), "false core.ConvertBmpToRtfImage(no picture loader)");
  scripts_.SetPictureLoader([](const std::string& /*path*/, TPicture& /*out*/) { return false; });
  Load("picture2.lua", script);
  EXPECT_EQ(LastOutput().rfind("false core.ConvertBmpToRtfImage(", 0), 0U) << LastOutput();
  EXPECT_FALSE(std::filesystem::exists("out.rtf"));
  Load("picture3.lua",
       "local ok, message = pcall(core.ConvertBmpToRtfImage, 'in.bmp', 'out.rtf')\n"
       "print(message)\n");
  EXPECT_EQ(LastOutput(), "core.ConvertBmpToRtfImage(argument 3 is not a number)");
}

TEST(LuaScriptsTemplateTest, FunctionTemplates) {
  const struct {
    const char* Hook;
    const char* Text;
  } cases[] = {
      {"OnTimer", "\nOnTimer = function()\n\nend\n"},
      {"UserConnected", "\nUserConnected = function(tUser)\n\nend\n"},
      {"UserDisconnected", "\nUserDisconnected = function(tUser)\n\nend\n"},
      {"ToArrival", "\nToArrival = function(tUser, sData)\n\nend\n"},
      {"ChatArrival", "\nChatArrival = function(tUser, sData)\n\nend\n"},
      {"chatarrival", ""},
      {"UserConnects", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TLuaScripts::GetFunctionTemplate(c.Hook), c.Text) << c.Hook;
}

}  // namespace
