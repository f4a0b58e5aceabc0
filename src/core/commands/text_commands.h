#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "core/commands/command_delegator.h"
#include "utils/bin_list.h"

class THubFeed;
class THubSocket;
class TLanguage;
class TNickList;
class TProtocolMessage;
class TSettings;
class TStats;

// Where a text goes.
enum class TTextTarget : std::uint8_t { Self = 0, Operators = 1, All = 2, Feed = 3 };

// How a text goes: as the call came, private message, main chat, raw
// protocol text, or one random "|"-separated line.
enum class TTextForm : std::uint8_t { AsCalled = 0, PM = 1, MainChat = 2, Raw = 3, Random = 4 };

// One operator-defined text command. Schedule and Autorun change only
// through TTextCommands, which keeps its lists in step with them.
class TTextCommand {
 public:
  explicit TTextCommand(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  int Schedule() const { return schedule_; }  // minutes; 0: not scheduled
  int Autorun() const { return autorun_; }    // 0 off, 1 on connect, 2 at login

  bool Enabled = true;
  bool OverrideMuted = true;
  int MainchatCommandVisibility = 1;  // TCommandVisibility
  int EditLevel = 1;
  int AccessMinLevel = 0;
  int AccessMaxLevel = 9;
  int ShowMinLevel = 0;
  int ShowMaxLevel = 9;
  int BroadCast = 0;    // TTextTarget
  int MessageType = 0;  // TTextForm
  int Parameters = 0;
  std::string Content;
  std::uint64_t LastRun = 0;  // ms on the commands' clock; not stored

 private:
  friend class TTextCommands;
  std::string name_;
  int schedule_ = 0;
  int autorun_ = 0;
};

// What the text-commands page hears of the list; the defaults do nothing,
// so the daemon runs without one.
class TTextCommandsView {
 public:
  virtual ~TTextCommandsView() = default;
  virtual void UpdateCommand(TTextCommand& /*command*/) {}
  virtual void RemoveCommand(std::string_view /*name*/) {}
  // The file was loaded: every row anew.
  virtual void RefreshList() {}
};

// What the text commands read and send through; all must outlive them.
struct TTextCommandsContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TProtocolMessage& Messages;
  TStats& Stats;
  THubFeed* Feed = nullptr;                  // null: the feed target sends nothing
  std::function<bool()> FeedRoomExists;      // empty: none exists
  std::function<std::string()> Uptime;       // the hub's uptime text
  std::function<TDateTime()> Now;            // local wall clock (<time>, <date>)
  std::function<std::uint64_t()> Clock;      // monotonic ms of the schedule
  std::function<void(const std::string&)> ReportGUI;    // GUI feed lines
  std::function<void(const std::string&)> ReportError;  // a damaged file
};

// The text commands: canned texts called with "+name" from chat, run for
// each user on connect or at login, or broadcast on a schedule. Owns the
// commands and three sorted case-insensitive name lists over them (all,
// scheduled, autorun). Does not own its context. Main thread only.
class TTextCommands final : public TTextCommandRunner {
 public:
  explicit TTextCommands(TTextCommandsContext context);
  ~TTextCommands() override;
  TTextCommands(const TTextCommands&) = delete;
  TTextCommands& operator=(const TTextCommands&) = delete;

  // Null: no view.
  void SetView(TTextCommandsView* view) { view_ = view; }

  TTextCommand* Find(std::string_view name) const { return all_.Find(name); }
  // Null when the name is empty or taken.
  TTextCommand* Add(std::string_view name);
  bool Delete(std::string_view name);
  bool Rename(TTextCommand& command, std::string_view newName);
  void SetSchedule(TTextCommand& command, int minutes);
  void SetAutorun(TTextCommand& command, int autorun);

  int GetCount() const { return all_.Count(); }
  // The name-order indexes matching `search` ('*' is the wildcard).
  TMatchRange MatchNames(std::string_view search) const {
    if (search == "*") return {0, all_.Count() - 1};
    return all_.FindMatchRange(search);
  }
  TTextCommand& GetItem(int index) const { return *all_.GetObject(index); }
  int ScheduledCount() const { return scheduled_.Count(); }
  int AutorunCount() const { return autorun_.Count(); }

  // A "+" line; false lets it go on to the built-in commands.
  bool Execute(THubSocket& user, const TStringList& tokens, bool isPM, std::string_view message,
               std::size_t position) override;
  void RunOnConnect(THubSocket& user);
  void RunOnLogin(THubSocket& user);
  // The timed step, once a second.
  void RunScheduled();
  void WarnOnConnectRegOnly();

  // The schedule's clock, for tests.
  void SetClock(std::function<std::uint64_t()> clock) { ctx_.Clock = std::move(clock); }
  // The random line's choice, for tests.
  void SeedRandom(std::uint32_t seed) { random_.seed(seed); }

  // settings/text_commands.xml
  static std::string FilePath();
  bool Load();
  bool Save();
  const std::string& Version() const { return version_; }

 private:
  // A call from chat: the line after the prefix, without the final '|'.
  struct TCall {
    std::string_view Line;
  };

  void Run(TTextCommand& command, THubSocket* user, bool isPM, const TCall* call);
  std::string Expand(std::string_view text, THubSocket* user, const TTextCommand& command,
                     const TCall* call) const;
  void Deliver(std::string_view text, TTextTarget target, int form, THubSocket* user, bool isPM,
               const TTextCommand& command);
  void SendSelf(THubSocket& user, std::string_view text, bool pm);
  void SendToReceivers(std::string_view data, bool pm, bool raw, TTextTarget target,
                       const TTextCommand& command);
  // One non-empty "|"-part at random; empty when there is none.
  std::string RandomPart(std::string_view text);
  std::uint64_t ClockNow() const;
  void ClearCommands();

  TTextCommandsContext ctx_;
  std::vector<std::unique_ptr<TTextCommand>> owned_;
  TBinList<TTextCommand> all_{16};
  TBinList<TTextCommand> scheduled_{16};
  TBinList<TTextCommand> autorun_{16};
  std::mt19937 random_{std::random_device{}()};
  std::string version_;
  bool loading_ = true;
  bool saveBlocked_ = false;
  TTextCommandsView* view_ = nullptr;
};
