#include "delivery_ledger.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kConnectBit = 1ull << 63;

std::uint64_t ConnectKey(std::uint32_t sender, std::uint16_t port) {
  return kConnectBit | static_cast<std::uint64_t>(sender) << 16 | port;
}

}  // namespace

const char* TDeliveryLedger::KindName(int kind) {
  static const char* const kNames[kKinds] = {"chat",           "private", "active_search",
                                             "passive_search", "result",  "connect"};
  return kind >= 0 && kind < kKinds ? kNames[kind] : "?";
}

TDeliveryLedger::TKind TDeliveryLedger::KindOf(TMarkerKind marker) {
  switch (marker) {
    case TMarkerKind::Chat:
      return kChat;
    case TMarkerKind::Private:
      return kPrivate;
    case TMarkerKind::ActiveSearch:
      return kActiveSearch;
    case TMarkerKind::PassiveSearch:
      return kPassiveSearch;
    case TMarkerKind::Result:
      return kResult;
  }
  return kChat;
}

TDeliveryLedger::TDeliveryLedger(std::uint32_t users) : users_(users) {}

TDeliveryLedger::TRecord TDeliveryLedger::MakeRecord(TKind kind, std::uint32_t sender,
                                                     std::uint32_t target, std::uint32_t answerer,
                                                     std::uint64_t sentUs) {
  TRecord r;
  r.Kind = kind;
  r.Sender = sender;
  r.Target = target;
  r.Answerer = answerer;
  r.SentUs = sentUs;
  return r;
}

void TDeliveryLedger::SentBroadcast(TKind kind, std::uint32_t seq, std::uint32_t sender,
                                    std::uint64_t sentUs, const std::vector<bool>& expected,
                                    const std::vector<bool>& joining, std::uint32_t answerer) {
  TRecord r = MakeRecord(kind, sender, kNobody, answerer, sentUs);
  r.ExpectedBy = expected;
  r.ExpectedBy.resize(users_, false);
  r.JoiningBy = joining;
  r.JoiningBy.resize(users_, false);
  r.ReceivedBy.assign(users_, false);
  r.Expected =
      static_cast<std::uint32_t>(std::count(r.ExpectedBy.begin(), r.ExpectedBy.end(), true));
  ++totals_[kind].Sent;
  totals_[kind].Expected += r.Expected;
  const bool owed = r.Expected > 0;
  records_.insert_or_assign(seq, std::move(r));
  if (owed) open_[seq] = true;
}

void TDeliveryLedger::SentDirect(TKind kind, std::uint32_t seq, std::uint32_t sender,
                                 std::uint32_t target, std::uint64_t sentUs) {
  TRecord r = MakeRecord(kind, sender, target, kNobody, sentUs);
  r.Expected = 1;
  ++totals_[kind].Sent;
  ++totals_[kind].Expected;
  records_.insert_or_assign(seq, std::move(r));
  open_[seq] = true;
}

void TDeliveryLedger::SentConnect(std::uint32_t sender, std::uint16_t port, std::uint32_t target,
                                  std::uint64_t sentUs) {
  const std::uint64_t key = ConnectKey(sender, port);
  TRecord r = MakeRecord(kConnect, sender, target, kNobody, sentUs);
  r.Expected = 1;
  ++totals_[kConnect].Sent;
  ++totals_[kConnect].Expected;
  records_.insert_or_assign(key, std::move(r));
  open_[key] = true;
}

TDeliveryLedger::TRecord* TDeliveryLedger::Find(std::uint32_t seq) {
  const auto it = records_.find(seq);
  return it == records_.end() ? nullptr : &it->second;
}

std::uint32_t TDeliveryLedger::SenderOf(std::uint32_t seq) const {
  const auto it = records_.find(seq);
  return it == records_.end() ? kNobody : it->second.Sender;
}

void TDeliveryLedger::Receive(std::uint64_t key, TRecord& r, std::uint32_t receiver,
                              std::uint64_t nowUs) {
  TSummary& total = totals_[r.Kind];
  bool expected = false;
  bool joining = false;
  bool seen = false;
  if (r.Target == kNobody) {
    if (receiver >= users_) return;
    expected = r.ExpectedBy[receiver];
    joining = r.JoiningBy[receiver];
    seen = r.ReceivedBy[receiver];
    r.ReceivedBy[receiver] = true;
  } else {
    expected = receiver == r.Target;
    seen = expected && r.TargetGot;
    if (expected) r.TargetGot = true;
  }
  if (seen) {
    ++total.Duplicates;
    return;
  }
  if (!expected) {
    ++(joining ? total.Joining : total.Extra);
    return;
  }
  const std::uint64_t delay = nowUs > r.SentUs ? nowUs - r.SentUs : 0;
  delays_[r.Kind].Add(delay);
  ++total.Delivered;
  ++r.Got;
  r.LastUs = std::max(r.LastUs, delay);
  if (r.Got >= r.Expected) Close(key);
}

void TDeliveryLedger::Close(std::uint64_t key) {
  if (open_.erase(key) == 0) return;
  const TRecord& r = records_.at(key);
  if (r.Got > 0 && r.Got >= r.Expected) lastDelays_[r.Kind].push_back(r.LastUs);
}

std::uint32_t TDeliveryLedger::Delivered(TMarker marker, std::uint32_t receiver,
                                         std::uint64_t nowUs) {
  TRecord* r = Find(marker.Seq);
  if (r == nullptr || r->Kind != KindOf(marker.Kind)) {
    ++totals_[KindOf(marker.Kind)].Extra;  // a token this run never sent
    return kNobody;
  }
  const std::uint64_t before = totals_[r->Kind].Delivered;
  Receive(marker.Seq, *r, receiver, nowUs);
  const bool first = totals_[r->Kind].Delivered != before;
  return first && r->Answerer == receiver ? receiver : kNobody;
}

void TDeliveryLedger::DeliveredConnect(std::uint32_t sender, std::uint16_t port,
                                       std::uint32_t receiver, std::uint64_t nowUs) {
  const std::uint64_t key = ConnectKey(sender, port);
  const auto it = records_.find(key);
  if (it == records_.end()) {
    ++totals_[kConnect].Extra;
    return;
  }
  Receive(key, it->second, receiver, nowUs);
}

void TDeliveryLedger::UserLeft(std::uint32_t user) {
  std::vector<std::uint64_t> done;
  for (const auto& [key, unused] : open_) {
    TRecord& r = records_.at(key);
    bool owed = false;
    if (r.Target == kNobody) {
      owed = user < users_ && r.ExpectedBy[user] && !r.ReceivedBy[user];
      if (owed) r.ExpectedBy[user] = false;
    } else {
      owed = r.Target == user && !r.TargetGot;
    }
    if (!owed) continue;
    --r.Expected;
    --totals_[r.Kind].Expected;
    if (r.Target != kNobody) r.Target = kNobody - 1;  // nobody is owed it now
    if (r.Got >= r.Expected) done.push_back(key);
  }
  for (const std::uint64_t key : done) Close(key);
}

std::array<TDeliveryLedger::TSummary, TDeliveryLedger::kKinds> TDeliveryLedger::Summarise() {
  std::array<TSummary, kKinds> out = totals_;
  for (int k = 0; k < kKinds; ++k) {
    TSummary& s = out[static_cast<std::size_t>(k)];
    s.Lost = s.Expected > s.Delivered ? s.Expected - s.Delivered : 0;
    TLatencyStats& d = delays_[static_cast<std::size_t>(k)];
    s.P50Us = d.Percentile(0.50);
    s.P99Us = d.Percentile(0.99);
    s.MaxUs = d.Max();
    auto& last = lastDelays_[static_cast<std::size_t>(k)];
    s.LastP50Us = PercentileOf(last, 0.50);
    s.LastMaxUs = last.empty() ? 0 : *std::max_element(last.begin(), last.end());
  }
  return out;
}
