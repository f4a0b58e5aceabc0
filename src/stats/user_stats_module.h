#pragma once

#include <memory>

#include "core/user_stats_side.h"
#include "stats/traffic_stats.h"
#include "stats/user_stats.h"

class TKavroRoot;
class TUserStatsLocal;

// The statistics as the composition root holds them: owns the back ends and
// points at the active one (in memory at start). Logins are recorded only
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

  TUserStats& Active() { return *active_; }
  TUserStatsLocal& Local() { return *local_; }
  TTrafficStats& Traffic() { return traffic_; }

 private:
  TUserStatsContext ctx_;
  std::unique_ptr<TUserStatsLocal> local_;
  TUserStats* active_ = nullptr;
  TTrafficStats traffic_;
};

// The factory the program entries hand to the composition root.
std::unique_ptr<TUserStatsSide> MakeUserStats(TKavroRoot& root);
