// The traffic mix of the load driver: who sends what, and whom it is owed to.
#include <algorithm>
#include <string>

#include "load_driver.h"
#include "marker.h"
#include "mono_time.h"

namespace {

constexpr int kAnyUser = 0;
constexpr int kActiveUser = 1;
constexpr int kPassiveUser = 2;
constexpr int kPickTries = 64;
// A stalled loop must not turn into a burst larger than this per kind.
constexpr double kMaxBacklog = 1000;

}  // namespace

std::uint32_t TLoadDriver::PickOnline(int mode, std::uint32_t except) {
  if (onlineCount_ == 0) return TDeliveryLedger::kNobody;
  std::uniform_int_distribution<std::uint32_t> pick(0, options_.Users - 1);
  for (int i = 0; i < kPickTries; ++i) {
    const std::uint32_t b = pick(random_);
    if (!online_[b] || b == except) continue;
    if (mode == kActiveUser && bots_[b]->Passive()) continue;
    if (mode == kPassiveUser && !bots_[b]->Passive()) continue;
    return b;
  }
  return TDeliveryLedger::kNobody;
}

void TLoadDriver::SendDue(double seconds) {
  const double rates[] = {
      options_.Chat,    options_.Private, options_.ActiveSearch,          options_.PassiveSearch,
      options_.Connect, options_.MyInfo,  options_.Churn * options_.Users};
  const std::uint64_t now = NowUs();
  for (std::size_t k = 0; k < due_.size(); ++k) {
    due_[k] = std::min(due_[k] + rates[k] * seconds, kMaxBacklog);
    for (; due_[k] >= 1; due_[k] -= 1) {
      switch (k) {
        case 0:
          SendChat(now);
          break;
        case 1:
          SendPrivate(now);
          break;
        case 2:
          SendSearch(false, now);
          break;
        case 3:
          SendSearch(true, now);
          break;
        case 4:
          SendConnect(now);
          break;
        case 5:
          SendMyInfo();
          break;
        default:
          ChurnOne(now);
          break;
      }
    }
  }
}

void TLoadDriver::SendChat(std::uint64_t nowUs) {
  const std::uint32_t from = PickOnline(kAnyUser, TDeliveryLedger::kNobody);
  if (from == TDeliveryLedger::kNobody) return;
  TBot& bot = *bots_[from];
  const std::uint32_t seq = ledger_.NextSeq();
  // The hub sends main chat to every listed user, the sender included.
  ledger_.SentBroadcast(TDeliveryLedger::kChat, seq, from, nowUs, online_, joining_,
                        TDeliveryLedger::kNobody);
  bot.Send("<" + bot.Nick() + "> chat line " + FormatMarker(TMarkerKind::Chat, seq) + "|");
}

void TLoadDriver::SendPrivate(std::uint64_t nowUs) {
  const std::uint32_t from = PickOnline(kAnyUser, TDeliveryLedger::kNobody);
  const std::uint32_t to = PickOnline(kAnyUser, from);
  if (from == TDeliveryLedger::kNobody || to == TDeliveryLedger::kNobody) return;
  TBot& bot = *bots_[from];
  const std::uint32_t seq = ledger_.NextSeq();
  ledger_.SentDirect(TDeliveryLedger::kPrivate, seq, from, to, nowUs);
  bot.Send("$To: " + bots_[to]->Nick() + " From: " + bot.Nick() + " $<" + bot.Nick() +
           "> private line " + FormatMarker(TMarkerKind::Private, seq) + "|");
}

void TLoadDriver::SendSearch(bool passive, std::uint64_t nowUs) {
  const std::uint32_t from =
      PickOnline(passive ? kPassiveUser : kActiveUser, TDeliveryLedger::kNobody);
  if (from == TDeliveryLedger::kNobody) return;
  TBot& bot = *bots_[from];
  // Passive searches reach only active users; active ones everybody else.
  // The hub holds searches back from a user whose output is backed up, as
  // it is while a login burst (the nick list) is going out: such a user is
  // owed searches only once drained.
  std::vector<bool> expected = passive ? onlineActive_ : online_;
  std::vector<bool> joining = joining_;
  for (std::uint32_t u = 0; u < options_.Users; ++u) {
    if (passive && bots_[u]->Passive()) joining[u] = false;
    if (joining[u]) expected[u] = false;
  }
  expected[from] = false;
  joining[from] = false;
  const std::uint32_t answerer = PickOnline(kActiveUser, from);
  const std::uint32_t seq = ledger_.NextSeq();
  const TMarkerKind kind = passive ? TMarkerKind::PassiveSearch : TMarkerKind::ActiveSearch;
  ledger_.SentBroadcast(TDeliveryLedger::KindOf(kind), seq, from, nowUs, expected, joining,
                        options_.Answers ? answerer : TDeliveryLedger::kNobody);
  const std::string who = passive ? "Hub:" + bot.Nick() : bot.IpText() + ":412";
  bot.Send("$Search " + who + " F?T?0?1?bench" + FormatMarker(kind, seq) + "|");
}

void TLoadDriver::SendResult(std::uint32_t from, std::uint32_t searcher, std::uint64_t nowUs) {
  if (searcher >= bots_.size() || !online_[from] || !online_[searcher]) return;
  TBot& bot = *bots_[from];
  const std::uint32_t seq = ledger_.NextSeq();
  ledger_.SentDirect(TDeliveryLedger::kResult, seq, from, searcher, nowUs);
  bot.Send("$SR " + bot.Nick() + " share\\bench" + FormatMarker(TMarkerKind::Result, seq) +
           ".txt\x05"
           "1048576 3/3\x05TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ (127.0.0.1:411)\x05" +
           bots_[searcher]->Nick() + "|");
}

void TLoadDriver::SendConnect(std::uint64_t nowUs) {
  const std::uint32_t from = PickOnline(kActiveUser, TDeliveryLedger::kNobody);
  const std::uint32_t to = PickOnline(kAnyUser, from);
  if (from == TDeliveryLedger::kNobody || to == TDeliveryLedger::kNobody) return;
  TBot& bot = *bots_[from];
  // The request carries no free text: sender address and port identify it.
  const auto port = static_cast<std::uint16_t>(1024 + connectCounter_++ % 60000);
  ledger_.SentConnect(from, port, to, nowUs);
  bot.Send("$ConnectToMe " + bots_[to]->Nick() + " " + bot.IpText() + ":" + std::to_string(port) +
           "|");
}

void TLoadDriver::SendMyInfo() {
  const std::uint32_t from = PickOnline(kAnyUser, TDeliveryLedger::kNobody);
  if (from == TDeliveryLedger::kNobody) return;
  bots_[from]->Send(bots_[from]->MyInfo(++myInfoVersion_));
}

void TLoadDriver::ChurnOne(std::uint64_t /*nowUs*/) {
  const std::uint32_t b = PickOnline(kAnyUser, TDeliveryLedger::kNobody);
  if (b == TDeliveryLedger::kNobody) return;
  bots_[b]->Drop();
  SetOnline(b, false);
  SetJoining(b, false);
  ledger_.UserLeft(b);
  // A new nick: the hub may still list the old connection for a moment.
  ++generation_[b];
  pending_.push_back(b);
  ++churned_;
}
