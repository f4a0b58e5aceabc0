// Lua scripts in a real kavrod over loopback: the event functions, the
// "core" library and the loading of scripts.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/kavrod_process.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "settings/settings.h"

namespace {

using namespace std::chrono_literals;

void WriteScript(const TE2EHome& home, const std::string& name, const std::string& text) {
  std::filesystem::create_directories(home.File("scripts"));
  std::ofstream(home.File("scripts/" + name), std::ios::binary) << text;
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// Answers the chat commands of the table below. Numbers travel as text.
constexpr const char* kMainScript = R"LUA(
local function fields(t)
  local keys = {}
  for k in pairs(t) do keys[#keys + 1] = k end
  table.sort(keys)
  local out = {}
  for _, k in ipairs(keys) do
    local v = t[k]
    if k == "iNickPort" then v = type(v) .. (v > 0 and "+" or "-") end
    out[#out + 1] = k .. "=" .. tostring(v)
  end
  return table.concat(out, ";")
end

ChatArrival = function(tUser, sData)
  local text = sData:match("^<[^>]*> (.*)|$")
  if text == "all1" then core.SendToAll("hi") return 1 end
  if text == "all2" then core.SendToAll("Bot", "hi|") return 1 end
  if text == "all3" then core.SendToAll(string.rep("B", 300), "hi") return 1 end
  if text == "pm" then core.SendPmToNick(tUser.sNick, "Bot", "secret") return 1 end
  if text == "true" then core.SendToNick(tUser.sNick, "seen true") return true end
  if text == "absent" then
    core.SendToNick("nobody here", "lost")
    core.SendToNick(tUser.sNick, "after absent")
    return 1
  end
  if text == "user" then core.SendToNick(tUser.sNick, fields(tUser)) return 1 end
  if text:sub(1, 4) == "stat" then
    local port = tonumber(text:sub(6))
    local s = port and core.Statistic(port) or core.Statistic()
    core.SendToNick(tUser.sNick, "users=" .. s.CurrentUsers .. " auth=" .. s.AuthorizingUsers ..
      " " .. type(s.Recieving) .. " " .. type(s.MyINFOs))
    return 1
  end
  if text:sub(1, 5) == "bytes" then core.SendToNick(tUser.sNick, "echo " .. sData) return 1 end
end

UserConnected = function(tUser)
  if tUser.sNick == "kick3" then core.Disconnect(tUser.sNick, "$Gone away|") end
  if tUser.sNick == "kick2" then core.Disconnect(tUser.sNick, "x|") end
end
)LUA";

class ScriptsTest : public TSharedHubTest<ScriptsTest> {
 public:
  static void Configure(TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
    settings.PMSpamCheck.State = TTriState::Unchecked;
  }
  static void Prepare(TE2EHome& home) {
    WriteScript(home, "a_main.lua", kMainScript);
    // Both consume "both"; only the first by name may run.
    WriteScript(home, "b_first.lua",
                "ChatArrival = function(u, d) if d:find('> both|', 1, true) then "
                "core.SendToNick(u.sNick, 'first') return 1 end end\n");
    WriteScript(home, "c_second.lua",
                "ChatArrival = function(u, d) if d:find('> both|', 1, true) then "
                "core.SendToNick(u.sNick, 'second') return 1 end end\n");
    WriteScript(home, "d_broken.lua", "ChatArrival = function(\n");
    WriteScript(home, "e_timer.lua",
                "n = 0\nOnTimer = function() n = n + 1 print('tick', n) error('boom ' .. n) end\n");
  }
};

struct TChatCase {
  const char* Name;
  std::string Text;
  std::string ToSender;  // a message the sender gets ("" none)
  bool ToOthersToo;      // the other user gets it as well
  bool Swallowed;        // the line itself reaches nobody
};

TEST_F(ScriptsTest, ChatLinesAnsweredByScripts) {
  const std::string port = std::to_string(home_->Port());
  const TChatCase cases[] = {
      {"send to all, one argument", "all1", "hi|", true, true},
      {"send to all, name and text", "all2", "<Bot> hi|", true, true},
      {"private message to the sender", "pm", "$To: sender2 From: Bot $secret|", false, true},
      {"true does not consume", "true", "seen true|", false, false},
      {"absent nick ignored", "absent", "after absent|", false, true},
      {"two consuming scripts", "both", "first|", false, true},
      {"8-bit bytes both ways", "bytes \xA7\xE9\x01", "echo <sender6> bytes \xA7\xE9\x01|", false, true},
      {"statistic", "stat", "users=", false, true},
      {"statistic on the hub port", "stat " + port, "users=", false, true},
      {"send to all, long name cut", "all3", "<" + std::string(255, 'B') + "> hi|", true, true},
  };
  int row = 0;
  for (const TChatCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string sender = "sender" + std::to_string(row);
    const std::string other = "other" + std::to_string(row++);
    auto from = Login(sender);
    auto to = Login(other);
    ASSERT_TRUE(from && to);
    const std::string line = "<" + sender + "> " + c.Text + "|";
    ASSERT_TRUE(from->Send(line));
    ASSERT_TRUE(from->ReadUntil(c.ToSender)) << from->ReceivedText();
    // A plain line afterwards: once the other user has it, the first one
    // would have been there already.
    const std::string marker = "<" + sender + "> marker|";
    ASSERT_TRUE(from->Send(marker));
    ASSERT_TRUE(to->ReadUntil(marker)) << to->ReceivedText();
    EXPECT_EQ(to->Got(line), !c.Swallowed) << to->ReceivedText();
    EXPECT_EQ(to->Got(c.ToSender), c.ToOthersToo) << to->ReceivedText();
    EXPECT_FALSE(from->Got("second|"));
    EXPECT_FALSE(to->Got("lost|"));
  }
}

TEST_F(ScriptsTest, StatisticCountsOnlyThePortAsked) {
  auto a = Login("stat1");
  auto b = Login("stat2");
  ASSERT_TRUE(a && b);
  const std::string others = std::to_string(TE2EHome::FreePort());
  ASSERT_TRUE(a->Send("<stat1> stat " + others + "|"));
  EXPECT_TRUE(a->ReadUntil("users=0 auth=0 string number|"));
  ASSERT_TRUE(a->Send("<stat1> stat " + std::to_string(home_->Port()) + "|"));
  const auto onPort = a->ReadUntil("users=");
  ASSERT_TRUE(onPort);
  // Users logged in by other rows may still be leaving; at least these two.
  EXPECT_GE(std::stoi(onPort->substr(6)), 2) << *onPort;
  EXPECT_TRUE(onPort->ends_with(" string number|")) << *onPort;
}

TEST_F(ScriptsTest, UserTableOfAClientWithUserIP2) {
  auto a = Login("fields");
  ASSERT_TRUE(a);
  ASSERT_TRUE(a->Send("<fields> user|"));
  const auto got = a->ReadUntil("bOperator=");
  ASSERT_TRUE(got);
  EXPECT_EQ(*got,
            "bOperator=false;bSupportsBotINFO=false;bSupportsDHT0=false;bSupportsFeed=false;"
            "bSupportsGetZBlock=false;bSupportsMCTo=false;bSupportsNoGetINFO=true;"
            "bSupportsNoHello=true;bSupportsRTF0=false;bSupportsTTHSearch=true;"
            "bSupportsUserCommand=true;bSupportsUserIP=true;bSupportsUserIP2=true;"
            "bSupportsZLine=false;iConnectedPort=" +
                std::to_string(home_->Port()) +
                ";iNickPort=number+;iProfileNumber=0;sIP=127.0.0.1;sNick=fields|");
}

TEST_F(ScriptsTest, UserConnectedDisconnects) {
  // Longer than 2 bytes: sent, then closed.
  auto three = TNmdcClient::Connect(home_->Port());
  ASSERT_TRUE(three);
  three->Login("kick3");
  EXPECT_TRUE(three->WaitClosed());
  EXPECT_TRUE(three->Got("$Gone away|")) << three->ReceivedText();
  // 2 bytes: closed without them.
  auto two = TNmdcClient::Connect(home_->Port());
  ASSERT_TRUE(two);
  two->Login("kick2");
  EXPECT_TRUE(two->WaitClosed());
  EXPECT_FALSE(two->Got("x|")) << two->ReceivedText();
}

TEST_F(ScriptsTest, BrokenScriptReportsOnceAndOthersRun) {
  const std::string output = home_->Hub().Output();
  EXPECT_EQ(CountOf(output, "d_broken.lua"), 1) << output;
  EXPECT_NE(output.find("Lua: :3: "), std::string::npos) << output;
}

TEST_F(ScriptsTest, FailingTimerKeepsTicking) {
  ASSERT_TRUE(home_->Hub().WaitForOutput("boom 3"));
  const std::string output = home_->Hub().Output();
  EXPECT_NE(output.find("Lua: OnTimer, errorcode:2: "), std::string::npos) << output;
  EXPECT_NE(output.find("Lua: tick\t2"), std::string::npos) << output;
}

TEST_F(ScriptsTest, ScriptAddedWhileRunningIsLoaded) {
  WriteScript(*home_, "f_late.lua",
              "print('late loaded')\nChatArrival = function(u, d) if d:find('> late|', 1, true) "
              "then core.SendToNick(u.sNick, 'late answer') return 1 end end\n");
  ASSERT_TRUE(home_->Hub().WaitForOutput("Lua: late loaded"));
  auto a = Login("late1");
  ASSERT_TRUE(a);
  ASSERT_TRUE(a->Send("<late1> late|"));
  EXPECT_TRUE(a->ReadUntil("late answer|"));
}

std::unique_ptr<TNmdcClient> LoginTo(int port, const std::string& nick) {
  auto client = TNmdcClient::Connect(port);
  EXPECT_TRUE(client && client->Login(nick)) << nick;
  return client;
}

// A chat handler that never returns is stopped at the default bound; the
// line it was called for goes on as after any failed handler, and the hub
// serves the users and connections that waited meanwhile.
TEST(ScriptsLoopTest, LoopingChatHandlerIsStoppedAndTheHubGoesOn) {
  TE2EHome home;
  home.WriteSettings(ScriptsTest::Configure);
  WriteScript(home, "loop.lua",
              "ChatArrival = function(u, d) if d:find('> spin|', 1, true) then "
              "while true do end end end\n");
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto spinner = LoginTo(home.Port(), "spinner");
  auto watcher = LoginTo(home.Port(), "watcher");
  ASSERT_TRUE(spinner && watcher);
  ASSERT_TRUE(spinner->Send("<spinner> spin|"));
  auto late = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(late);
  constexpr TNmdcClient::TLimit kWait = 15s;  // well past the bound
  EXPECT_TRUE(late->ReadUntil("$Lock ", kWait)) << late->ReceivedText();
  ASSERT_TRUE(spinner->Send("<spinner> after|"));
  EXPECT_TRUE(watcher->ReadUntil("<spinner> after|", kWait)) << watcher->ReceivedText();
  EXPECT_TRUE(watcher->Got("<spinner> spin|")) << watcher->ReceivedText();
  EXPECT_TRUE(home.Hub().WaitForOutput(
      "Lua: onChatArrival,loop.lua: ChatArrival ran longer than 3000 ms and was stopped"))
      << home.Hub().Output();
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

// SIGTERM while a script runs far below its bound ends the call, and the hub
// shuts down as usual.
TEST(ScriptsLoopTest, StopSignalEndsALongCall) {
  const std::vector<std::string> longBound = {"--script-time-limit", "600000"};
  const struct {
    const char* Name;
    std::string Script;
    bool Chat;  // the loop runs for a chat line; else while the file loads
    std::string Line;
  } cases[] = {
      {"chat handler",
       "ChatArrival = function(u, d) if d:find('> spin|', 1, true) then "
       "print('spinning') while true do end end end\n",
       true, "Lua: onChatArrival,loop.lua: ChatArrival stopped, the hub is shutting down"},
      {"main chunk", "print('spinning')\nwhile true do end\n", false,
       "Lua: :2: loop.lua: main chunk stopped, the hub is shutting down"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TE2EHome home;
    home.WriteSettings(ScriptsTest::Configure);
    WriteScript(home, "loop.lua", c.Script);
    std::unique_ptr<TKavrodProcess> loading;
    std::unique_ptr<TNmdcClient> spinner;
    TKavrodProcess* hub = nullptr;
    if (c.Chat) {
      ASSERT_TRUE(home.StartHub(longBound)) << home.Hub().Output();
      hub = &home.Hub();
      spinner = LoginTo(home.Port(), "spinner");
      ASSERT_TRUE(spinner && spinner->Send("<spinner> spin|"));
    } else {
      // It never gets to listen before the signal.
      std::vector<std::string> arguments = {"--home", home.Folder(), "--start",
                                            "--listen-address", "127.0.0.1"};
      arguments.insert(arguments.end(), longBound.begin(), longBound.end());
      loading = std::make_unique<TKavrodProcess>(arguments, home.File("loading.log"));
      hub = loading.get();
    }
    ASSERT_TRUE(hub->WaitForOutput("Lua: spinning")) << hub->Output();
    EXPECT_EQ(hub->Stop(SIGTERM), 0) << hub->Output();
    const std::string output = hub->Output();
    EXPECT_NE(output.find(c.Line), std::string::npos) << output;
    EXPECT_NE(output.find("kavrod stopped"), std::string::npos) << output;
  }
}

// A hub started without any script still picks up the first one.
TEST(ScriptsEmptyFolderTest, ScriptDroppedIntoEmptyFolderIsLoaded) {
  TE2EHome home;
  home.WriteSettings();
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  EXPECT_TRUE(std::filesystem::is_directory(home.File("scripts")));
  // Relative paths mean the home folder.
  WriteScript(home, "Only.LUA",
              "local f = io.open('scripts/Only.LUA') print('first script here', f and 1 or 0)\n");
  EXPECT_TRUE(home.Hub().WaitForOutput("Lua: first script here\t1")) << home.Hub().Output();
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
