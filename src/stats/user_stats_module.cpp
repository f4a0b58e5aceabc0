#include "stats/user_stats_module.h"

#include "core/hub_feed.h"
#include "core/kavro_root.h"
#include "platform/local_clock.h"
#include "settings/settings.h"
#include "stats/user_stats_local.h"
#include "stats/user_stats_mysql.h"
#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "utils/hub_time.h"

TUserStatsModule::TUserStatsModule(TUserStatsContext context, TTrafficStats::TTickClock ticks)
    : ctx_(context),
      local_(std::make_unique<TUserStatsLocal>(context)),
      mysql_(std::make_unique<TUserStatsMySQL>(context)),
      traffic_(context.NickList, context.Language, std::move(ticks)) {
  active_ = local_.get();
  mysql_->SetFailureHandler([this] { SwitchToLocal(); });
  mysql_->SetStartedHandler([this] {
    if (ctx_.Settings.UserStatsType == 2) active_ = mysql_.get();
  });
}

TUserStatsModule::~TUserStatsModule() = default;

// The database failed: at start-up, in a later start or while serving.
void TUserStatsModule::SwitchToLocal() {
  if (ctx_.ErrorFeed) ctx_.ErrorFeed("MySQL connection failed, switching to local mode.");
  active_ = local_.get();
  if (view_ != nullptr) view_->SwitchToLocal();
}

void TUserStatsModule::SetView(TUserStatsView* view) {
  view_ = view;
  const auto notify = [this] {
    if (view_ != nullptr) view_->ShowCounts();
  };
  local_->SetChangeNotification(notify);
  mysql_->SetChangeNotification(notify);
}

void TUserStatsModule::TryConnect(std::function<void(bool)> answer) {
  mysqlTried_ = true;  // a later choice of the database only activates it
  const TSettings& s = ctx_.Settings;
  mysql_->TryConnect(s.UserStatsMySQLHost, s.UserStatsMySQLUser, s.UserStatsMySQLPort,
                     s.UserStatsMySQLDatabase, s.UserStatsMySQLPassword,
                     [this, answer = std::move(answer)](bool connected) {
                       if (connected && ctx_.Settings.UserStatsType == 2) active_ = mysql_.get();
                       if (!connected && active_ == mysql_.get()) SwitchToLocal();
                       if (answer) answer(connected);
                     });
}

void TUserStatsModule::Prune(int days) {
  if (days <= 0) return;
  active_->Cleanup(TDateTime{ctx_.Clock().Seconds - static_cast<std::int64_t>(days) * kSecondsPerDay});
}

void TUserStatsModule::Clear() { active_->Cleanup(ctx_.Clock()); }

// The first selection of MySQL connects: on the spot before the hub serves,
// else as the worker's first job while the statistics stay in memory until
// it succeeded.
void TUserStatsModule::Select(int type) {
  if (type == 1) {
    active_ = local_.get();
    return;
  }
  if (type != 2) return;
  if (!mysqlTried_) {
    mysqlTried_ = true;
    const TSettings& s = ctx_.Settings;
    if (ctx_.Serving && ctx_.Serving()) {
      mysql_->ConnectLater(s.UserStatsMySQLHost, s.UserStatsMySQLUser, s.UserStatsMySQLPort,
                           s.UserStatsMySQLDatabase, s.UserStatsMySQLPassword);
      return;
    }
    if (mysql_->Connect(s.UserStatsMySQLHost, s.UserStatsMySQLUser, s.UserStatsMySQLPort,
                        s.UserStatsMySQLDatabase, s.UserStatsMySQLPassword)) {
      active_ = mysql_.get();
    } else {
      SwitchToLocal();
    }
    return;
  }
  if (mysql_->Connected()) active_ = mysql_.get();
}

void TUserStatsModule::Close() {
  if (mysql_->Connected()) mysql_->Shutdown();
}

void TUserStatsModule::LoggedIn(THubSocket& user) {
  if (ctx_.Settings.UserStatsType != 0) active_->UserLoggedIn(user);
}

// A logout goes where its login went: users recorded in MySQL before a
// fallback only lose their flag.
void TUserStatsModule::LoggedOut(THubSocket& user) {
  if (mysql_->Recorded(user.Id())) mysql_->UserLoggedOut(user);
  else local_->UserLoggedOut(user);
}

void TUserStatsModule::HourlyStep() {
  const TEnabledInt& prune = ctx_.Settings.UserStatsAutoPrune;
  if (prune.Enabled) Prune(prune.Value);
}

void TUserStatsModule::WriteTrafficList(TTrafficList list, TWriteBuffer& out, int n) {
  switch (list) {
    case TTrafficList::Search: traffic_.WriteSearchStats(out, n); break;
    case TTrafficList::SR: traffic_.WriteSRStats(out, n); break;
    case TTrafficList::Connect: traffic_.WriteConnectStats(out, n); break;
    case TTrafficList::NickList: traffic_.WriteNickListStats(out, n); break;
    case TTrafficList::MyINFO: traffic_.WriteMyINFOStats(out, n); break;
    case TTrafficList::MC: traffic_.WriteMCStats(out, n); break;
    case TTrafficList::PM: traffic_.WritePMStats(out, n); break;
    case TTrafficList::Data: traffic_.WriteDataStats(out, n); break;
    case TTrafficList::BW: traffic_.WriteBWStats(out, n); break;
  }
}

std::unique_ptr<TUserStatsSide> MakeUserStats(TKavroRoot& root) {
  return std::make_unique<TUserStatsModule>(TUserStatsContext{
      root.Settings(), root.Language(), root.NickList(), root.Accounts(), root.HubMessages(),
      [&root](const std::string& line) { root.Feed().PostAction(line); },
      [] { return NowLocal(); },
      [&root](const std::string& line) { root.Feed().PostError(line); }, &root.Loop(),
      [&root](std::uint64_t id) { return root.HubCore().FindConnection(id); },
      [&root] { return root.HubCore().Started(); }},
      [] { return TTime::Now(); });
}
