#include "security/tmp_ban_list.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

namespace {

bool Passed(std::uint64_t expiry, std::uint64_t now) { return now >= expiry; }

std::string Remaining(std::uint64_t expiry, std::uint64_t now) {
  return TTime::FormatDuration(Passed(expiry, now) ? 0 : static_cast<std::int64_t>(expiry - now));
}

}  // namespace

TTmpBanList::TTmpBanList(const TSettings& settings, const TLanguage& language, TClock clock)
    : settings_(settings), language_(language), clock_(std::move(clock)) {}

TTmpBanList::~TTmpBanList() {
  byIP_.Clear();
  byNick_.ClearAndFree();
}

std::uint64_t TTmpBanList::Now() const { return clock_ ? clock_() : TTime::Now(); }

std::uint64_t TTmpBanList::ExpiryFrom(std::uint64_t now) const {
  return now + static_cast<std::uint64_t>(std::max<std::int64_t>(settings_.TmpBanTime.Value, 0));
}

void TTmpBanList::DropIPKey(TTmpBan* ban) {
  if (byIP_.Find(ban->IP) == ban) byIP_.Remove(ban->IP);
}

void TTmpBanList::Drop(TTmpBan* ban) {
  DropIPKey(ban);
  byNick_.RemoveAndFree(ban->Nick);
}

void TTmpBanList::Add(std::string_view nick, std::string_view ip, std::string_view reason) {
  if (!settings_.TmpBanTime.Enabled || nick.empty()) return;
  const std::uint64_t now = Now();

  // A ban that ran out counts as none: a kick must ban again even when the
  // old entry was never checked away.
  TTmpBan* byNick = byNick_.Find(nick);
  if (byNick != nullptr && Passed(byNick->NickExpiry, now)) {
    Drop(byNick);
    byNick = nullptr;
  }
  TTmpBan* byIP = byIP_.Find(ip);
  if (byIP != nullptr && Passed(byIP->IPExpiry, now)) {
    if (Passed(byIP->NickExpiry, now)) {
      Drop(byIP);
    } else {
      DropIPKey(byIP);
    }
    byIP = nullptr;
  }

  if (byNick != nullptr && byIP != nullptr) return;
  if (byIP != nullptr) DropIPKey(byIP);
  // The same nick banned from another IP: the new ban replaces it, so the
  // nick key is free and the old IP no longer answers for this nick.
  if (byNick != nullptr) Drop(byNick);

  auto ban = std::make_unique<TTmpBan>();
  ban->Reason = std::string(reason);
  ban->Nick = std::string(nick);
  ban->IP = std::string(ip);
  ban->IPExpiry = ban->NickExpiry = ExpiryFrom(now);
  ban->Serial = nextSerial_++;
  TTmpBan* stored = ban.get();
  if (!byNick_.Add(stored->Nick, stored)) return;  // unique_ptr frees it
  ban.release();
  byIP_.Add(stored->IP, stored);
}

std::optional<std::string> TTmpBanList::Refusal(std::string_view nick, std::string_view ip) {
  const std::uint64_t now = Now();

  if (TTmpBan* ban = byNick_.Find(nick)) {
    if (Passed(ban->NickExpiry, now)) {
      Drop(ban);
    } else {
      ban->NickExpiry = ExpiryFrom(now);
      const std::string left = Remaining(ban->NickExpiry, now);
      return ban->Reason.empty()
                 ? FormatText(language_.Text(TLanguageKey::TmpBanNick), left)
                 : FormatText(language_.Text(TLanguageKey::TmpBanNickWithReason), left,
                              ban->Reason);
    }
  }

  TTmpBan* ban = byIP_.Find(ip);
  if (ban == nullptr) return std::nullopt;
  if (Passed(ban->IPExpiry, now)) {
    if (Passed(ban->NickExpiry, now)) {
      Drop(ban);
    } else {
      DropIPKey(ban);
    }
    return std::nullopt;
  }
  const std::string left = Remaining(ban->IPExpiry, now);
  return ban->Reason.empty()
             ? FormatText(language_.Text(TLanguageKey::TmpBanIP), ip, left, ban->Nick)
             : FormatText(language_.Text(TLanguageKey::TmpBanIPWithReason), ip, left, ban->Nick,
                          ban->Reason);
}

void TTmpBanList::RemoveExpired() {
  const std::uint64_t now = Now();
  // Removal moves the last entry into the hole: walk from the end.
  for (int i = byNick_.Count() - 1; i >= 0; --i) {
    TTmpBan* ban = byNick_.GetValue(i);
    if (Passed(ban->NickExpiry, now)) Drop(ban);
  }
}

std::string TTmpBanList::ClearBans(int limit) {
  RemoveExpired();
  const int count = byNick_.Count();
  if (count == 0) return language_.Text(TLanguageKey::TmpBanRemoveNoneFound);

  std::vector<TTmpBan*> newestFirst;
  newestFirst.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) newestFirst.push_back(byNick_.GetValue(i));
  std::sort(newestFirst.begin(), newestFirst.end(),
            [](const TTmpBan* a, const TTmpBan* b) { return a->Serial > b->Serial; });
  const int removed = limit <= 0 ? count : std::min(limit, count);
  for (int i = 0; i < removed; ++i) Drop(newestFirst[static_cast<std::size_t>(i)]);
  return FormatText(language_.Text(TLanguageKey::TmpBanRemoveFound), removed);
}
