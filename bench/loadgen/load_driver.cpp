#include "load_driver.h"

#include <algorithm>

#include "mono_time.h"

namespace {

// Users take 127.1.0.1 upwards; the hub listens elsewhere in 127.0.0.0/8.
constexpr std::uint32_t kFirstUserIp = 0x7F010001;
constexpr std::size_t kMaxReasonLength = 80;

std::uint64_t Seconds(double s) { return static_cast<std::uint64_t>(s * 1e6); }

TClientFlavor FlavorOf(std::uint32_t index) {
  switch (index % 3) {
    case 0:
      return TClientFlavor::Eiskalt;
    case 1:
      return TClientFlavor::Ncdc;
    default:
      return TClientFlavor::Plain;
  }
}

}  // namespace

TLoadDriver::TLoadDriver(const TLoadOptions& options)
    : options_(options),
      context_{poller_, *this, options.HubIp, options.HubPort},
      generation_(options.Users, 0),
      online_(options.Users, false),
      onlineActive_(options.Users, false),
      joining_(options.Users, false),
      ledger_(options.Users),
      random_(options.Seed) {
  bots_.reserve(options.Users);
  for (std::uint32_t i = 0; i < options.Users; ++i) {
    const bool passive =
        options.PassiveEvery > 0 && i % options.PassiveEvery == options.PassiveEvery - 1;
    bots_.push_back(std::make_unique<TBot>(context_, i, kFirstUserIp + i, FlavorOf(i), passive));
  }
}

TLoadDriver::~TLoadDriver() = default;

std::string TLoadDriver::Run() {
  hubStart_ = SampleHub(static_cast<int>(options_.HubPid));
  const std::uint64_t stormStart = NowUs();
  Storm();
  hubAfterStorm_ = SampleHub(static_cast<int>(options_.HubPid));
  const double stormSeconds =
      static_cast<double>((lastOnlineUs_ > stormStart ? lastOnlineUs_ : NowUs()) - stormStart) /
      1e6;
  const std::uint64_t trafficStart = NowUs();
  Traffic();
  const double trafficSeconds = static_cast<double>(NowUs() - trafficStart) / 1e6;
  hubAfterTraffic_ = SampleHub(static_cast<int>(options_.HubPid));
  Settle();
  return Report(stormSeconds, trafficSeconds);
}

void TLoadDriver::Storm() {
  stormStartUs_ = NowUs();
  for (std::uint32_t i = 0; i < options_.Users; ++i) pending_.push_back(i);
  const std::uint64_t deadline = stormStartUs_ + Seconds(options_.LoginTimeout);
  while (onlineCount_ + stormFailed_ < options_.Users && NowUs() < deadline) {
    StartPending(NowUs());
    Poll(pendingNext_ < pending_.size() ? 1 : 20);
  }
  storming_ = false;
}

void TLoadDriver::Traffic() {
  std::uint64_t last = NowUs();
  const std::uint64_t end = last + Seconds(options_.Duration);
  for (std::uint64_t now = last; now < end; now = NowUs()) {
    SendDue(static_cast<double>(now - last) / 1e6);
    last = now;
    StartPending(now);
    Poll(1);
  }
}

void TLoadDriver::Settle() {
  const std::uint64_t end = NowUs() + Seconds(options_.Settle);
  // Rejoins under way finish too, so that the online count of a run with
  // churn means everybody; logins the storm gave up on are not waited for.
  while ((ledger_.Open() > 0 || RejoinsUnderWay()) && NowUs() < end) {
    StartPending(NowUs());
    Poll(5);
  }
}

bool TLoadDriver::RejoinsUnderWay() const {
  if (pendingNext_ < pending_.size()) return true;
  for (std::uint32_t b = 0; b < options_.Users; ++b) {
    if (joining_[b] && !online_[b] && generation_[b] > 0) return true;
  }
  return false;
}

void TLoadDriver::StartPending(std::uint64_t nowUs) {
  std::size_t allowed = pending_.size();
  if (storming_ && options_.ConnectRate > 0) {
    const double elapsed = static_cast<double>(nowUs - stormStartUs_) / 1e6;
    allowed = std::min(allowed, static_cast<std::size_t>(elapsed * options_.ConnectRate) + 1);
  }
  while (pendingNext_ < allowed) {
    const std::uint32_t b = pending_[pendingNext_++];
    if (bots_[b]->Start(generation_[b])) {
      SetJoining(b, true);
    } else {
      ++failures_["could not connect"];
      if (storming_) ++stormFailed_;
    }
  }
  if (pendingNext_ == pending_.size()) {
    pending_.clear();
    pendingNext_ = 0;
  }
}

void TLoadDriver::Poll(int timeoutMs) {
  static thread_local std::vector<TPoller::TEvent> events;
  poller_.Wait(timeoutMs, events);
  for (const TPoller::TEvent& e : events) {
    if (e.Token >= bots_.size()) continue;
    TBot& bot = *bots_[e.Token];
    if (bot.State() == TBotState::Idle) continue;
    if (e.Writable || (e.Failed && bot.State() == TBotState::Connecting)) bot.OnWritable();
    if ((e.Readable || e.Failed) && bot.State() != TBotState::Idle &&
        bot.State() != TBotState::Connecting) {
      bot.OnReadable();
    }
  }
}

void TLoadDriver::SetOnline(std::uint32_t bot, bool online) {
  if (online_[bot] == online) return;
  online_[bot] = online;
  onlineActive_[bot] = online && !bots_[bot]->Passive();
  if (online) {
    ++onlineCount_;
  } else {
    --onlineCount_;
  }
}

void TLoadDriver::SetJoining(std::uint32_t bot, bool joining) {
  if (joining_[bot] == joining) return;
  joining_[bot] = joining;
  if (joining) {
    ++joiningCount_;
  } else {
    --joiningCount_;
  }
}

void TLoadDriver::RecordLogin(const TBot& bot, TLoginStats& stats) {
  const std::uint64_t stamps[] = {bot.StartUs, bot.ConnectedUs, bot.LockUs, bot.HelloUs,
                                  bot.OnlineUs};
  for (int s = 0; s < kStages - 1; ++s) {
    stats.Stages[static_cast<std::size_t>(s)].Add(stamps[s + 1] - stamps[s]);
  }
  stats.Stages[kStages - 1].Add(bot.OnlineUs - bot.StartUs);
  ++stats.Count;
}

void TLoadDriver::OnOnline(std::uint32_t bot) {
  SetOnline(bot, true);
  lastOnlineUs_ = bots_[bot]->OnlineUs;
  RecordLogin(*bots_[bot], storming_ ? storm_ : rejoin_);
}

void TLoadDriver::OnDrained(std::uint32_t bot) {
  SetJoining(bot, false);
  const TBot& b = *bots_[bot];
  (generation_[bot] == 0 ? storm_ : rejoin_).Drain.Add(b.DrainedUs - b.OnlineUs);
}

void TLoadDriver::OnMarker(std::uint32_t bot, TMarker marker, std::uint64_t nowUs) {
  const std::uint32_t answerer = ledger_.Delivered(marker, bot, nowUs);
  if (answerer != TDeliveryLedger::kNobody && options_.Answers) {
    SendResult(answerer, ledger_.SenderOf(marker.Seq), nowUs);
  }
}

void TLoadDriver::OnConnectToMe(std::uint32_t bot, std::uint32_t fromIp, std::uint16_t port,
                                std::uint64_t nowUs) {
  if (fromIp < kFirstUserIp || fromIp - kFirstUserIp >= options_.Users) return;
  ledger_.DeliveredConnect(fromIp - kFirstUserIp, port, bot, nowUs);
}

void TLoadDriver::OnLost(std::uint32_t bot, std::string_view why) {
  if (storming_) ++stormFailed_;
  SetOnline(bot, false);
  SetJoining(bot, false);
  ledger_.UserLeft(bot);
  ++failures_[std::string(why.substr(0, kMaxReasonLength))];
}
