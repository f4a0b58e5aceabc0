#include "security/ban_list.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/local_clock.h"
#include "settings/language.h"
#include "utils/text_format.h"

namespace {

// Operator and file texts go out inside a protocol message: a '|' there
// would end it and let the rest pass for a message of its own.
std::string WireText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '|')
      out += "&#124;";
    else
      out += c;
  }
  return out;
}

}  // namespace

bool BanExpired(const TBan& ban, TDateTime now) {
  return ban.Expires != TDateTime{} && ban.Expires <= now;
}

TBanList::TBanList(const TLanguage& language, TFeedSink errorSink, TClock clock)
    : language_(language), errorSink_(std::move(errorSink)), clock_(std::move(clock)) {}

TBanList::~TBanList() { Clear(); }

TDateTime TBanList::Now() const { return clock_ ? clock_() : NowLocal(); }

void TBanList::ReportError(const std::string& line) const {
  if (errorSink_) errorSink_(line);
}

template <typename Self, typename Visit>
decltype(auto) TBanList::ForList(Self& self, TBanKind kind, Visit visit) {
  switch (kind) {
    case TBanKind::Nick: return visit(self.nick_);
    case TBanKind::IP: return visit(self.ip_);
    case TBanKind::DNS: return visit(self.dns_);
    case TBanKind::Client: break;
  }
  return visit(self.client_);
}

TBan* TBanList::Find(TBanKind kind, std::string_view pattern) const {
  return ForList(*this, kind, [&](const auto& list) { return list.Find(pattern); });
}

TBan* TBanList::StandingBan(TBanKind kind, std::string_view text) {
  if (kind == TBanKind::Nick) return FirstLive(kind, text, false);
  TBan* held = Find(kind, text);
  if (held == nullptr || !BanExpired(*held, Now())) return held;
  const std::string key = held->Pattern;
  Delete(kind, key);
  return nullptr;
}

TMatchRange TBanList::FindRange(TBanKind kind, std::string_view search) const {
  return ForList(*this, kind, [&](const auto& list) { return list.FindMatchRange(search); });
}

std::vector<TBan*> TBanList::MatchAll(TBanKind kind, std::string_view text) const {
  std::vector<TBan*> matches;
  ForList(*this, kind, [&](const auto& list) { list.MatchAllInMatchOrder(text, matches); });
  std::vector<TBan*> once;
  once.reserve(matches.size());
  for (TBan* ban : matches)
    if (std::find(once.begin(), once.end(), ban) == once.end()) once.push_back(ban);
  return once;
}

bool TBanList::Delete(TBanKind kind, std::string_view pattern) {
  return ForList(*this, kind, [&](auto& list) { return list.RemoveAndFree(pattern); });
}

int TBanList::GetCount(TBanKind kind) const {
  return ForList(*this, kind, [](const auto& list) { return list.Count(); });
}

TBan& TBanList::GetItem(TBanKind kind, int index) const {
  return *ForList(*this, kind, [&](const auto& list) { return list.GetObject(index); });
}

void TBanList::RemoveExpired(TBanKind kind) {
  const TDateTime now = Now();
  ForList(*this, kind, [&](auto& list) {
    for (int i = list.Count() - 1; i >= 0; --i) {
      TBan* ban = list.GetObject(i);
      if (!BanExpired(*ban, now)) continue;
      list.Delete(i);
      delete ban;
    }
  });
}

void TBanList::Clear() {
  nick_.ClearAndFree();
  ip_.ClearAndFree();
  dns_.ClearAndFree();
  client_.ClearAndFree();
}

TBan* TBanList::FirstLive(TBanKind kind, std::string_view text, bool mayBypass) {
  if (text.empty()) return nullptr;
  std::vector<TBan*> matches;
  ForList(*this, kind, [&](const auto& list) { list.MatchAllInMatchOrder(text, matches); });
  if (matches.empty()) return nullptr;

  const TDateTime now = Now();
  std::vector<TBan*> expired;  // an infix met twice is listed twice
  TBan* live = nullptr;
  for (TBan* ban : matches) {
    if (BanExpired(*ban, now)) {
      if (std::find(expired.begin(), expired.end(), ban) == expired.end()) expired.push_back(ban);
      continue;
    }
    if (mayBypass && !ban->Overrideable) continue;
    live = ban;
    break;
  }
  for (TBan* ban : expired) {
    const std::string pattern = ban->Pattern;  // the ban goes with its key
    Delete(kind, pattern);
  }
  return live;
}

TBan* TBanList::CheckList(TBanKind kind, std::string_view text, bool mayBypass) {
  TBan* ban = FirstLive(kind, text, mayBypass);
  if (ban != nullptr) ban->LastUsed = Now();
  return ban;
}

TBan* TBanList::Store(TBanKind kind, std::string_view pattern, std::string_view reason, int level,
                      TDateTime expires, std::string_view bannedBy) {
  auto ban = std::make_unique<TBan>();
  ban->Pattern = std::string(pattern);
  ban->Reason = std::string(reason);
  ban->BannedBy = std::string(bannedBy);
  ban->Level = level;
  ban->Issued = Now();
  ban->Expires = expires;
  const bool added =
      ForList(*this, kind, [&](auto& list) { return list.Add(ban->Pattern, ban.get()); });
  return added ? ban.release() : nullptr;
}

TBan* TBanList::AddUnique(TBanKind kind, std::string_view pattern, std::string_view reason,
                          int level, TDateTime expires, std::string_view bannedBy) {
  if (TBan* held = Find(kind, pattern)) {
    if (!BanExpired(*held, Now())) return nullptr;
    const std::string key = held->Pattern;
    Delete(kind, key);
  }
  return Store(kind, pattern, reason, level, expires, bannedBy);
}

TBan* TBanList::AddNickBan(std::string_view pattern, std::string_view reason, int level,
                           TDateTime expires, std::string_view bannedBy) {
  // A live ban that already catches the pattern read as a nick covers it.
  if (FirstLive(TBanKind::Nick, pattern, false) != nullptr) return nullptr;
  return Store(TBanKind::Nick, pattern, reason, level, expires, bannedBy);
}

TBan* TBanList::AddIPBan(std::string_view pattern, std::string_view reason, int level,
                         TDateTime expires, std::string_view bannedBy) {
  return AddUnique(TBanKind::IP, pattern, reason, level, expires, bannedBy);
}

TBan* TBanList::AddDNSBan(std::string_view pattern, std::string_view reason, TDateTime expires,
                          std::string_view bannedBy) {
  return AddUnique(TBanKind::DNS, pattern, reason, 0, expires, bannedBy);
}

TBan* TBanList::AddClientBan(std::string_view pattern, std::string_view reason,
                             TDateTime expires, std::string_view bannedBy) {
  return AddUnique(TBanKind::Client, pattern, reason, 0, expires, bannedBy);
}

std::optional<std::string> TBanList::BanUserNick(std::string_view nick, int level,
                                                 std::string_view reason, TDateTime expires,
                                                 std::string_view bannedBy) {
  // A nick that starts or ends with '*' would become a pattern and ban
  // every nick it matches, not the user's.
  if (RoutePattern(nick).kind != TPatternKind::Exact) return std::nullopt;
  const TBan* ban = AddNickBan(nick, reason, level, expires, bannedBy);
  if (ban == nullptr) return std::nullopt;
  return NewBanText(*ban);
}

std::optional<std::string> TBanList::BanUserIP(std::string_view ip, int level,
                                               std::string_view reason, TDateTime expires,
                                               std::string_view bannedBy) {
  const TBan* ban = AddIPBan(ip, reason, level, expires, bannedBy);
  if (ban == nullptr) return std::nullopt;
  return NewBanText(*ban);
}

std::optional<std::string> TBanList::CheckNickAndIPBan(std::string_view nick,
                                                       std::string_view ip, bool mayBypassNick,
                                                       bool mayBypassIP) {
  const TBan* ban = CheckList(TBanKind::Nick, nick, mayBypassNick);
  if (ban == nullptr) ban = CheckList(TBanKind::IP, ip, mayBypassIP);
  if (ban == nullptr) return std::nullopt;
  return ExistingText(*ban, false);
}

std::optional<std::string> TBanList::CheckDNSBan(std::string_view hostName, bool mayBypassDNS) {
  const TBan* ban = CheckList(TBanKind::DNS, hostName, mayBypassDNS);
  if (ban == nullptr) return std::nullopt;
  return ExistingText(*ban, false);
}

std::optional<std::string> TBanList::CheckClientBan(std::string_view client,
                                                    bool mayBypassClient) {
  if (mayBypassClient) return std::nullopt;
  const TBan* ban = CheckList(TBanKind::Client, client, false);
  if (ban == nullptr) return std::nullopt;
  return ExistingText(*ban, true);
}

std::string TBanList::ExistingText(const TBan& ban, bool client) const {
  const std::string by = WireText(ban.BannedBy);
  const std::string reason = WireText(ban.Reason);
  if (ban.Expires == TDateTime{}) {
    if (reason.empty())
      return FormatText(
          language_.Text(client ? TLanguageKey::ExistingClientBan : TLanguageKey::ExistingBan),
          by);
    return FormatText(language_.Text(client ? TLanguageKey::ExistingClientBanWithReason
                                            : TLanguageKey::ExistingBanWithReason),
                      by, reason);
  }
  const std::string until = FormatDateTime(ban.Expires);
  if (reason.empty())
    return FormatText(language_.Text(client ? TLanguageKey::ExistingClientBanWithTime
                                            : TLanguageKey::ExistingBanWithTime),
                      until, by);
  return FormatText(language_.Text(client ? TLanguageKey::ExistingClientBanWithTimeAndReason
                                          : TLanguageKey::ExistingBanWithTimeAndReason),
                    until, by, reason);
}

std::string TBanList::NewBanText(const TBan& ban) const {
  const std::string by = WireText(ban.BannedBy);
  const std::string reason = WireText(ban.Reason);
  if (ban.Expires == TDateTime{}) {
    if (reason.empty()) return FormatText(language_.Text(TLanguageKey::NewBan), by);
    return FormatText(language_.Text(TLanguageKey::NewBanWithReason), by, reason);
  }
  const std::string until = FormatDateTime(ban.Expires);
  if (reason.empty()) return FormatText(language_.Text(TLanguageKey::NewBanWithTime), until, by);
  return FormatText(language_.Text(TLanguageKey::NewBanWithTimeAndReason), until, by, reason);
}
