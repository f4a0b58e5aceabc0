#pragma once

#include <functional>
#include <memory>

#include "core/user_stats_side.h"
#include "stats/traffic_stats.h"
#include "stats/user_stats.h"

class TKavroRoot;
class TUserStatsLocal;
class TUserStatsMySQL;

// What the user-statistics page hears of the back ends; the defaults do
// nothing, so the daemon runs without one.
class TUserStatsView {
 public:
  virtual ~TUserStatsView() = default;
  // The entry counts of a back end changed.
  virtual void ShowCounts() {}
  // The database was given up: the statistics are in memory now.
  virtual void SwitchToLocal() {}
};

// The statistics as the composition root holds them: owns the back ends and
// points at the active one (in memory at start). The first selection of
// MySQL (settings.xml read at start-up, before the ports open) connects;
// when that fails, or the server is lost later, the statistics stay in
// memory for the rest of the run while settings.xml keeps the choice. Logins are recorded only
// while `UserStatsType` is not 0; the hourly prune runs only while
// `UserStatsAutoPrune` is enabled and above 0. Main thread only.
class TUserStatsModule final : public TUserStatsSide {
 public:
  TUserStatsModule(TUserStatsContext context, TTrafficStats::TTickClock ticks);
  ~TUserStatsModule() override;

  void Select(int type) override;
  void LoggedIn(THubSocket& user) override;
  void LoggedOut(THubSocket& user) override;
  void HourlyStep() override;
  void Close() override;
  int NickEntries() const override { return active_->NickCount(); }
  int IPEntries() const override { return active_->IPCount(); }
  void ClearMuted(THubSocket& issuer, std::string_view nick, bool isPM) override {
    active_->ClearMuted(issuer, nick, isPM);
  }
  void ClearLunarized(THubSocket& issuer, std::string_view nick, bool isPM) override {
    active_->ClearLunarized(issuer, nick, isPM);
  }
  void ClearKennylized(THubSocket& issuer, std::string_view nick, bool isPM) override {
    active_->ClearKennylized(issuer, nick, isPM);
  }
  void ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) override {
    active_->ClearBlocked(issuer, nick, isPM);
  }

  void ReportUserInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                      int offset) override {
    active_->ReportUserInfo(issuer, pattern, isPM, offset);
  }
  void ReportIPInfo(THubSocket& issuer, std::string_view pattern, bool isPM, int offset) override {
    active_->ReportIPInfo(issuer, pattern, isPM, offset);
  }
  void ReportNickInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                      int offset) override {
    active_->ReportNickInfo(issuer, pattern, isPM, offset);
  }
  int NickCount() const override { return active_->NickCount(); }
  int IPCount() const override { return active_->IPCount(); }
  void WriteTrafficList(TTrafficList list, TWriteBuffer& out, int n) override;

  // Null: no view.
  void SetView(TUserStatsView* view);
  // The operator's connection test with the settings' values; a success
  // makes the database active while the settings choose it, a failure
  // while it was active falls back to memory. `answer` runs on the loop's
  // thread.
  void TryConnect(std::function<void(bool)> answer);
  // Removes the active back end's entries older than `days` days.
  void Prune(int days);
  // Removes every entry but those of connected users.
  void Clear();

  TUserStats& Active() { return *active_; }
  TUserStatsLocal& Local() { return *local_; }
  TUserStatsMySQL& MySQL() { return *mysql_; }
  TTrafficStats& Traffic() { return traffic_; }

 private:
  void SwitchToLocal();

  TUserStatsContext ctx_;
  std::unique_ptr<TUserStatsLocal> local_;
  std::unique_ptr<TUserStatsMySQL> mysql_;
  bool mysqlTried_ = false;
  TUserStats* active_ = nullptr;
  TUserStatsView* view_ = nullptr;
  TTrafficStats traffic_;
};

// The factory the program entries hand to the composition root.
std::unique_ptr<TUserStatsSide> MakeUserStats(TKavroRoot& root);
