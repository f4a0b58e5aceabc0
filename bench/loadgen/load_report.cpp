// The report of one run as a JSON object.
#include <string>

#include "json_writer.h"
#include "load_driver.h"

namespace {

double Ms(std::uint64_t us) { return static_cast<double>(us) / 1000.0; }

double CpuSeconds(const THubSample& from, const THubSample& to) {
  return from.Valid && to.Valid ? to.CpuSeconds - from.CpuSeconds : 0;
}

double CpuPerMinute(const THubSample& from, const THubSample& to, double seconds) {
  return seconds > 0 ? CpuSeconds(from, to) * 60.0 / seconds : 0;
}

const char* const kStageNames[] = {"connect", "lock", "hello", "listed", "total"};

}  // namespace

// CPU per phase: what the storm cost, and the steady cost of the traffic
// per minute, which does not depend on how long the logins took.
void TLoadDriver::ReportHub(TJsonWriter& json, double trafficSeconds) const {
  json.Begin("hub");
  json.Field("cpu_storm_s", CpuSeconds(hubStart_, hubAfterStorm_));
  json.Field("cpu_traffic_s", CpuSeconds(hubAfterStorm_, hubAfterTraffic_));
  json.Field("cpu_traffic_per_minute", CpuPerMinute(hubAfterStorm_, hubAfterTraffic_, trafficSeconds));
  json.Field("cpu_traffic_system_s",
             hubAfterStorm_.Valid && hubAfterTraffic_.Valid
                 ? hubAfterTraffic_.SystemSeconds - hubAfterStorm_.SystemSeconds
                 : 0);
  json.Field("rss_after_storm_kb", hubAfterStorm_.RssKb);
  json.Field("rss_after_traffic_kb", hubAfterTraffic_.RssKb);
  json.End();
}

std::string TLoadDriver::Report(double stormSeconds, double trafficSeconds) {
  TJsonWriter json;
  json.Field("scenario", options_.Scenario);
  json.Field("users", static_cast<std::uint64_t>(options_.Users));
  json.Field("pace", static_cast<std::uint64_t>(options_.Pace));
  json.Field("traffic_seconds", trafficSeconds);

  const double loginsPerSecond =
      stormSeconds > 0 ? static_cast<double>(storm_.Count) / stormSeconds : 0;
  auto writeLogins = [&](std::string_view name, TLoginStats& stats) {
    json.Begin(name);
    json.Field("count", stats.Count);
    json.Begin("stages_ms");
    for (int s = 0; s < kStages; ++s) {
      TLatencyStats& d = stats.Stages[static_cast<std::size_t>(s)];
      json.Begin(kStageNames[s]);
      json.Field("p50", Ms(d.Percentile(0.5)));
      json.Field("p99", Ms(d.Percentile(0.99)));
      json.Field("max", Ms(d.Max()));
      json.End();
    }
    json.End();
    json.Begin("drained_ms");
    json.Field("p50", Ms(stats.Drain.Percentile(0.5)));
    json.Field("p99", Ms(stats.Drain.Percentile(0.99)));
    json.Field("max", Ms(stats.Drain.Max()));
    json.End();
  };
  writeLogins("login", storm_);
  json.Field("failed", static_cast<std::uint64_t>(stormFailed_));
  json.Field("seconds", stormSeconds);
  json.Field("per_second", loginsPerSecond);
  json.End();
  writeLogins("rejoin", rejoin_);
  json.Field("churned", churned_);
  json.End();

  const auto kinds = ledger_.Summarise();
  int primary = -1;
  std::uint64_t lost = 0, duplicates = 0;
  json.Begin("traffic");
  for (int k = 0; k < TDeliveryLedger::kKinds; ++k) {
    const TDeliveryLedger::TSummary& s = kinds[static_cast<std::size_t>(k)];
    lost += s.Lost;
    duplicates += s.Duplicates;
    if (options_.Primary == TDeliveryLedger::KindName(k)) primary = k;
    if (s.Sent == 0 && s.Extra == 0) continue;
    if (options_.Primary.empty() && primary < 0) primary = k;
    json.Begin(TDeliveryLedger::KindName(k));
    json.Field("sent", s.Sent);
    json.Field("per_second", trafficSeconds > 0 ? static_cast<double>(s.Sent) / trafficSeconds : 0);
    json.Field("expected", s.Expected);
    json.Field("delivered", s.Delivered);
    json.Field("lost", s.Lost);
    json.Field("duplicates", s.Duplicates);
    json.Field("extra", s.Extra);
    json.Field("joining", s.Joining);
    json.Begin("delay_ms");
    json.Field("p50", Ms(s.P50Us));
    json.Field("p99", Ms(s.P99Us));
    json.Field("max", Ms(s.MaxUs));
    json.Field("last_p50", Ms(s.LastP50Us));
    json.Field("last_max", Ms(s.LastMaxUs));
    json.End();
    json.End();
  }
  json.End();

  json.Begin("bytes");
  json.Field("in", context_.BytesIn);
  json.Field("in_wire", context_.BytesWire);
  json.Field("out", context_.BytesOut);
  json.End();

  ReportHub(json, trafficSeconds);

  json.Begin("failures");
  for (const auto& [why, count] : failures_) json.Field(why, count);
  json.End();

  // Flat figures for scripts that read one line without a JSON parser.
  json.Begin("summary");
  json.Field("logins_per_second", loginsPerSecond);
  json.Field("login_total_p50_ms", Ms(storm_.Stages[kStages - 1].Percentile(0.5)));
  json.Field("login_total_p99_ms", Ms(storm_.Stages[kStages - 1].Percentile(0.99)));
  json.Field("primary", primary >= 0 ? TDeliveryLedger::KindName(primary) : "none");
  const TDeliveryLedger::TSummary none;
  const TDeliveryLedger::TSummary& p =
      primary >= 0 ? kinds[static_cast<std::size_t>(primary)] : none;
  json.Field("delay_p50_ms", Ms(p.P50Us));
  json.Field("delay_p99_ms", Ms(p.P99Us));
  json.Field("delay_last_ms", Ms(p.LastP50Us));
  json.Field("lost", lost);
  json.Field("duplicates", duplicates);
  json.Field("online", static_cast<std::uint64_t>(onlineCount_));
  json.Field("hub_cpu_per_minute", CpuPerMinute(hubAfterStorm_, hubAfterTraffic_, trafficSeconds));
  json.Field("hub_rss_kb", hubAfterTraffic_.RssKb);
  // Users still in a login (or waiting for its burst) at the end.
  json.Field("joining", static_cast<std::uint64_t>(joiningCount_));
  json.End();
  return json.Finish();
}
