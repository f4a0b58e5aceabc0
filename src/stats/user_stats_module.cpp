#include "stats/user_stats_module.h"

#include "core/hub_feed.h"
#include "core/kavro_root.h"
#include "platform/local_clock.h"
#include "settings/settings.h"
#include "stats/user_stats_local.h"
#include "utils/hub_time.h"

TUserStatsModule::TUserStatsModule(TUserStatsContext context, TTrafficStats::TTickClock ticks)
    : ctx_(context),
      local_(std::make_unique<TUserStatsLocal>(context)),
      traffic_(context.NickList, context.Language, std::move(ticks)) {
  active_ = local_.get();
}

TUserStatsModule::~TUserStatsModule() = default;

// TODO(#17): type 2 selects the MySQL back end once it exists; until then
// its statistics stay in memory.
void TUserStatsModule::Select(int type) {
  if (type == 1 || type == 2) active_ = local_.get();
}

void TUserStatsModule::LoggedIn(THubSocket& user) {
  if (ctx_.Settings.UserStatsType != 0) active_->UserLoggedIn(user);
}

void TUserStatsModule::LoggedOut(THubSocket& user) { active_->UserLoggedOut(user); }

void TUserStatsModule::HourlyStep() {
  const TEnabledInt& prune = ctx_.Settings.UserStatsAutoPrune;
  if (!prune.Enabled || prune.Value <= 0) return;
  active_->Cleanup(TDateTime{ctx_.Clock().Seconds - prune.Value * kSecondsPerDay});
}

std::unique_ptr<TUserStatsSide> MakeUserStats(TKavroRoot& root) {
  return std::make_unique<TUserStatsModule>(TUserStatsContext{
      root.Settings(), root.Language(), root.NickList(), root.Accounts(), root.HubMessages(),
      [&root](const std::string& line) { root.Feed().PostAction(line); },
      [] { return NowLocal(); }},
      [] { return TTime::Now(); });
}
