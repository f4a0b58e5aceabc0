#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bot.h"
#include "delivery_ledger.h"
#include "hub_probe.h"
#include "latency_stats.h"
#include "load_options.h"
#include "poller.h"

// Runs one load: the login storm, the traffic mix with churn, the settling
// of late deliveries, and the report. Owns the bots, the poller and the
// ledger; single-threaded around one epoll set.
class TLoadDriver final : public TBotListener {
 public:
  explicit TLoadDriver(const TLoadOptions& options);
  ~TLoadDriver() override;

  // Runs every phase; returns the report as one JSON object.
  std::string Run();

  void OnOnline(std::uint32_t bot) override;
  void OnDrained(std::uint32_t bot) override;
  void OnMarker(std::uint32_t bot, TMarker marker, std::uint64_t nowUs) override;
  void OnConnectToMe(std::uint32_t bot, std::uint32_t fromIp, std::uint16_t port,
                     std::uint64_t nowUs) override;
  void OnLost(std::uint32_t bot, std::string_view why) override;

 private:
  // Login stages: connect, lock, hello, listed, total.
  static constexpr int kStages = 5;
  struct TLoginStats {
    std::array<TLatencyStats, kStages> Stages;
    TLatencyStats Drain;  // from listed to the login burst being out
    std::uint64_t Count = 0;
  };

  void Storm();
  void Traffic();
  void Settle();
  bool RejoinsUnderWay() const;
  // One turn of the event loop: waits at most `timeoutMs`.
  void Poll(int timeoutMs);
  void StartPending(std::uint64_t nowUs);
  void RecordLogin(const TBot& bot, TLoginStats& stats);
  void SetOnline(std::uint32_t bot, bool online);
  void SetJoining(std::uint32_t bot, bool joining);

  // The traffic mix (traffic_mix.cpp).
  void SendDue(double seconds);
  std::uint32_t PickOnline(int mode, std::uint32_t except);  // mode: 0 any, 1 active, 2 passive
  void SendChat(std::uint64_t nowUs);
  void SendPrivate(std::uint64_t nowUs);
  void SendSearch(bool passive, std::uint64_t nowUs);
  void SendResult(std::uint32_t from, std::uint32_t searcher, std::uint64_t nowUs);
  void SendConnect(std::uint64_t nowUs);
  void SendMyInfo();
  void ChurnOne(std::uint64_t nowUs);

  std::string Report(double stormSeconds, double trafficSeconds);
  void ReportHub(class TJsonWriter& json, double trafficSeconds) const;

  TLoadOptions options_;
  TPoller poller_;
  TBotContext context_;
  std::vector<std::unique_ptr<TBot>> bots_;
  std::vector<std::uint32_t> generation_;
  std::vector<bool> online_;
  std::vector<bool> onlineActive_;  // online and not passive: passive searches reach these
  std::uint32_t onlineCount_ = 0;
  // From the start of a login until its burst is out (OnDrained).
  std::vector<bool> joining_;
  std::uint32_t joiningCount_ = 0;
  std::vector<std::uint32_t> pending_;  // bots to (re)connect, in order
  std::size_t pendingNext_ = 0;
  TDeliveryLedger ledger_;
  std::mt19937 random_;

  bool storming_ = true;
  std::uint32_t stormFailed_ = 0;
  std::uint64_t stormStartUs_ = 0, lastOnlineUs_ = 0;
  TLoginStats storm_, rejoin_;
  std::uint64_t churned_ = 0;
  std::map<std::string, std::uint64_t> failures_;
  std::array<double, 7> due_{};  // per traffic kind and churn: fractions carried over
  std::uint32_t connectCounter_ = 0;
  std::uint32_t myInfoVersion_ = 0;
  // The hub at the start, after the storm and after the traffic.
  THubSample hubStart_, hubAfterStorm_, hubAfterTraffic_;
};
