#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"

class EventLoop;
class TAccounts;
class THubSocket;
class TLanguage;
class TNickList;
class TProtocolMessage;
class TSettings;

// What a statistics back end reaches of the hub: settings, texts, the users
// online, the accounts, the bot's messages, the Action feed and the clock.
struct TUserStatsContext {
  TSettings& Settings;
  const TLanguage& Language;
  TNickList& NickList;
  TAccounts& Accounts;
  TProtocolMessage& Messages;
  std::function<void(const std::string&)> ActionFeed;
  std::function<TDateTime()> Clock;
  // For the database back end: the Error feed, the loop its worker posts
  // to, and connections found again by id.
  std::function<void(const std::string&)> ErrorFeed = {};
  EventLoop* Loop = nullptr;
  std::function<THubSocket*(std::uint64_t)> FindConnection = {};
  // True once the hub serves: the database is then only touched by the worker.
  std::function<bool()> Serving = {};
};

// Per-nick and per-IP statistics: who logged in from where and when, kicks,
// and the penalties that stay with a nick between visits. Every caller goes
// through the one active back end. Main thread only.
class TUserStats {
 public:
  using TChangeNotification = std::function<void()>;

  explicit TUserStats(TUserStatsContext context) : ctx_(std::move(context)) {}
  virtual ~TUserStats() = default;
  TUserStats(const TUserStats&) = delete;
  TUserStats& operator=(const TUserStats&) = delete;

  virtual void Cleanup(TDateTime cutOff) = 0;
  virtual void UserLoggedIn(THubSocket& user) = 0;
  virtual void UserLoggedOut(THubSocket& user) = 0;
  virtual void ReportUserInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                              int offset) = 0;
  virtual void ReportIPInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                            int offset) = 0;
  virtual void ReportNickInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                              int offset) = 0;
  virtual void ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) = 0;
  virtual void ClearMuted(THubSocket& issuer, std::string_view nick, bool isPM) = 0;
  virtual void ClearLunarized(THubSocket& issuer, std::string_view nick, bool isPM) = 0;
  virtual void ClearKennylized(THubSocket& issuer, std::string_view nick, bool isPM) = 0;

  virtual int NickCount() const = 0;
  virtual int IPCount() const = 0;
  // The date of the oldest entry kept; 0 before the back end started.
  virtual TDateTime OldestEntry() const { return {}; }

  // Called when the number of nicks or IPs changed.
  void SetChangeNotification(TChangeNotification notify) { notify_ = std::move(notify); }

  // A bot private message when `isPM`, else a bot main-chat line.
  void Reply(std::string_view text, THubSocket& user, bool isPM);

 protected:
  void NotifyChange() {
    if (notify_) notify_();
  }
  TUserStatsContext& Context() { return ctx_; }

 private:
  TUserStatsContext ctx_;
  TChangeNotification notify_;
};

// The four stored penalties and the answers of clearing one.
enum class TPenalty { Blocked, Muted, Lunarized, Kennylized };

// The outcome of clearing a stored penalty of level `stored` (-2: no
// statistics for the nick, -1: not set): answers the issuer, and on success
// writes the Action feed line. True when the penalty may be cleared.
bool AnswerClear(TUserStats& stats, const TUserStatsContext& ctx, THubSocket& issuer,
                 std::string_view nick, bool isPM, TPenalty penalty, int stored);
