#include "core/greeting_gate.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "security/account.h"
#include "security/profile.h"

TUserStatic::TUserStatic(const TNickList& nickList, TClock now)
    : nickList_(nickList), now_(std::move(now)) {}

TUserStatic::~TUserStatic() {
  if (entries_) entries_->ClearAndFree();
}

void TUserStatic::KeepAtLeast(std::int64_t seconds) {
  keepSeconds_ = std::max(keepSeconds_, seconds);
}

TDateTime TUserStatic::Touch(const THubSocket& user) {
  const TDateTime now = now_();
  if (!entries_) entries_ = std::make_unique<TBinList<TEntry>>(16);
  TDateTime previous{};
  if (TEntry* entry = entries_->Find(user.Nick)) {
    previous = entry->LastSeen;
    entry->LastSeen = now;
  } else if (!user.Nick.empty()) {
    auto fresh = std::make_unique<TEntry>(TEntry{now});
    if (entries_->Add(user.Nick, fresh.get())) fresh.release();
  }
  DropExpired(now);
  return previous;
}

void TUserStatic::DropExpired(TDateTime now) {
  for (int i = entries_->Count() - 1; i >= 0; --i) {
    if (entries_->GetObject(i)->LastSeen.Seconds + keepSeconds_ >= now.Seconds) continue;
    const std::string nick = entries_->GetKey(i);
    if (nickList_.FindUser(nick) == nullptr) entries_->RemoveAndFree(nick);
  }
}

TProtocolFunctions::TProtocolFunctions(TUserStatic& userStatic, TUserStatic::TClock now,
                                       TProtectedLastUsed protectedLastUsed)
    : userStatic_(userStatic),
      now_(std::move(now)),
      protectedLastUsed_(std::move(protectedLastUsed)) {}

TDateTime TProtocolFunctions::GreetingGate(const THubSocket& user) {
  const TProfile& rights = user.Rights();
  if (!rights.AllowUseAnnouncementAwayTimeEnabled) return TDateTime{};
  const std::int64_t away = TimeOfDay(rights.AllowUseAnnouncementAwayTime);
  userStatic_.KeepAtLeast(away);
  TDateTime lastSeen{};
  if (user.Protected) {
    if (protectedLastUsed_) {
      if (auto used = protectedLastUsed_(user.Nick, now_())) lastSeen = *used;
    }
    if (lastSeen.Seconds == 0) return TDateTime{};
  } else if (user.Registered && user.Account) {
    lastSeen = user.Account->LastUsed;
  } else {
    lastSeen = userStatic_.Touch(user);
  }
  return TDateTime{lastSeen.Seconds + away};
}
