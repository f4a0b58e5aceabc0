// The housekeeping pass: pool trimming, login and idle time-outs,
// keep-alives and the pooled "$MyINFO" delivery.

#include <algorithm>
#include <array>
#include <exception>
#include <vector>

#include "core/buffer_pools.h"
#include "core/core_hooks.h"
#include "core/hub_core.h"
#include "core/hub_core_connection.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"

namespace {

struct TTrimRule {
  int KeepBase;
  double PooledFraction;
  double InUseFraction;
};

// Read pool, then write classes 1 to 5; the largest class is kept whole.
constexpr std::array<TTrimRule, 6> kTrimRules = {{
    {4, 0.8, 0.15},
    {4, 0.9, 0.05},
    {1, 0.8, 0.07},
    {0, 0.75, 0.08},
    {0, 0.7, 0.09},
    {0, 0.6, 0.1},
}};

constexpr std::uint64_t kMinLoginTimeoutMs = 20000;
constexpr std::uint64_t kMinIdleTimeoutMs = 180000;
constexpr std::uint64_t kKeepAliveMarginMs = 60000;

// Appends `text` to every other listed user in life state 1 of the given
// kind who may see `user` and has not had a full list since the change.
void DeliverMyINFO(TNickList& nickList, const THubSocket& user, const TMyINFOText& text,
                   bool toOperators) {
  for (int i = nickList.GetCount() - 1; i >= 0; --i) {
    THubSocket* viewer = nickList.GetUser(i);
    if (viewer == &user || viewer->LifeState != lsInitialised) continue;
    if (viewer->IsOperator() != toOperators || viewer->NickListStamp >= text.ChangeStamp) continue;
    if (!TNickList::MaySee(*viewer, user)) continue;
    viewer->WriteBuffer().AppendString(text.Text);
  }
}

}  // namespace

void THubCore::Housekeeping() {
  TPassGuard guard(*this);
  const std::uint64_t now = clock_ ? clock_() : TTime::Now();
  if (now - lastTrimTick_ >= kTrimIntervalMs) {
    lastTrimTick_ = now;
    for (std::size_t i = 0; i < kTrimRules.size(); ++i) {
      const TTrimRule& rule = kTrimRules[i];
      BufferPools().Pool(static_cast<int>(i)).TrimBy(rule.KeepBase, rule.PooledFraction,
                                                     rule.InUseFraction);
    }
    hooks_.Events().Purge();
  }
  const auto& handshake = settings_.HandshakeTimeOut;
  const auto& idle = settings_.IdleTimeOut;
  const std::uint64_t loginLimit =
      std::max<std::uint64_t>(static_cast<std::uint64_t>(std::max<std::int64_t>(handshake.Value, 0)),
                              kMinLoginTimeoutMs);
  const std::uint64_t idleLimit = std::max<std::uint64_t>(
      static_cast<std::uint64_t>(std::max<std::int64_t>(idle.Value, 0)), kMinIdleTimeoutMs);
  const std::vector<std::uint64_t> ids = SnapshotIds();
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    TConnection* connection = Find(*it);
    if (connection == nullptr) continue;
    THubSocket& user = *connection->User;
    try {
      // Counted from the connect, not from the last byte: a client that
      // trickles "|" cannot hold a login slot.
      if (handshake.Enabled && !user.IsLoggedIn() && user.LifeState == lsInitialised &&
          now - user.ConnectTick > loginLimit) {
        messages_.SendChat(user, language_.Text(TLanguageKey::ConnectionTimeout));
        hooks_.Counters().Count(TCoreCount::LoginTimeout);
        user.LifeState = lsClosing;
      }
      if (idle.Enabled && user.LifeState == lsInitialised) {
        const std::uint64_t quiet = now - std::min(now, user.LastActivity);
        if (quiet > idleLimit) {
          hooks_.Counters().Count(TCoreCount::IdleDrop);
          CloseNow(user);
          continue;
        }
        if (user.WriteBuffer().Empty() && idleLimit - quiet < kKeepAliveMarginMs) {
          user.WriteBuffer().AppendChar('|');
        }
      }
      if (user.LifeState != lsClosing) DeliverPooledMyINFO(user, now);
    } catch (const std::exception& e) {
      ReportError("THubCore.Housekeeping", e.what());
      CloseNow(user);
    }
  }
}

void THubCore::DeliverPooledMyINFO(THubSocket& user, std::uint64_t now) {
  if (!user.Listed) return;
  const auto pooling = static_cast<std::uint64_t>(std::max<std::int64_t>(settings_.MyINFOPooling.Value, 0));
  TUserInfo& info = user.UserInfo();
  if (info.UserMyINFO.PendingSince != 0 && now - info.UserMyINFO.PendingSince >= pooling) {
    DeliverMyINFO(nickList_, user, info.UserMyINFO, false);
    info.UserMyINFO.PendingSince = 0;
  }
  if (info.OperatorMyINFO.PendingSince != 0 && now - info.OperatorMyINFO.PendingSince >= pooling) {
    DeliverMyINFO(nickList_, user, info.OperatorMyINFO, true);
    info.OperatorMyINFO.PendingSince = 0;
  }
}
