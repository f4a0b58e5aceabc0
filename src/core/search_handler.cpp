#include "core/search_handler.h"

#include <algorithm>

#include "core/connect_handler.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

constexpr std::string_view kSearch = "$Search ";
constexpr std::string_view kHub = "Hub:";
constexpr std::string_view kSR = "$SR ";

// A port number: 1 to 5 digits, at most 65535.
bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 65535;
}

}  // namespace

TSearchQuery TSearchQuery::Parse(std::string_view message) {
  TSearchQuery query;
  if (message.ends_with('|')) message.remove_suffix(1);
  if (!message.starts_with(kSearch)) return query;
  message.remove_prefix(kSearch.size());
  query.Passive = message.starts_with(kHub);
  const std::size_t space = message.find(' ');
  query.Address = message.substr(0, space);
  if (space == std::string_view::npos) return query;
  std::string_view rest = message.substr(space + 1);
  std::string_view field;
  int fields = 0;
  for (; fields < 4; ++fields) {
    const std::size_t mark = rest.find('?');
    if (mark == std::string_view::npos) break;
    field = rest.substr(0, mark);
    rest.remove_prefix(mark + 1);
  }
  if (fields == 4) query.Type = field;
  query.Pattern = rest;
  return query;
}

void TSearchHandler::SendSearchNotice(THubSocket& user, std::string_view pattern,
                                      std::string_view text) {
  notice_.assign(kSR);
  notice_ += ctx_.Settings.BotName();
  notice_ += " restrictions\\";
  std::size_t from = 0;
  while (from <= pattern.size()) {
    std::size_t end = pattern.find_first_of("$|", from);
    if (end == std::string_view::npos) end = pattern.size();
    if (end > from) {
      notice_ += pattern.substr(from, end - from);
      notice_ += '\\';
    }
    from = end + 1;
  }
  notice_ += text;
  notice_ += ".txt\x05";
  notice_ += "0 9/30\x05";
  notice_ += kNoticeHash;
  notice_ += " (";
  notice_ += ctx_.Stats.LocalIP;
  notice_ += ")|";
  user.WriteBuffer().AppendString(notice_);
}

bool TSearchHandler::HandleSearch(THubSocket& user, std::string_view message) {
  if (!ctx_.Protocol.FloodGate(user, TFloodKind::Search)) return true;
  const std::size_t length = message.size() - 1;  // without '|'
  if (length < kMinSearchLength || length > kMaxSearchLength || !message.starts_with(kSearch)) {
    user.LifeState = lsClosing;
    return false;
  }
  if (user.UserInfo().Blocked) return true;
  const TSearchQuery query = TSearchQuery::Parse(message);
  const TEnabledInt& maxLength = ctx_.Settings.SearchMaxLength;
  if (maxLength.Enabled && length >= static_cast<std::size_t>(std::max(maxLength.Value, 0))) {
    SendSearchNotice(user, query.Pattern, ctx_.Language.Text(TLanguageKey::SearchTooLong));
    return true;
  }
  if (!ctx_.Settings.SearchAllowed || !user.Rights().MaySearch()) {
    SendSearchNotice(user, query.Pattern, ctx_.Language.Text(TLanguageKey::SearchingDisabled));
    return true;
  }
  std::string_view port;
  if (query.Passive) {
    if (!PassiveAllowed(user, query)) return true;
  } else {
    const std::size_t colon = query.Address.find(':');
    if (!CheckSenderIP(ctx_, user, query.Address.substr(0, colon))) return true;
    if (colon != std::string_view::npos) port = query.Address.substr(colon + 1);
  }
  std::string reason;
  if (ctx_.Chat.RefuseSearch(user, query.Pattern, reason)) {
    if (!reason.empty()) SendSearchNotice(user, query.Pattern, reason);
    return true;
  }
  if (!query.Passive && !IsPort(port)) return true;

  Deliver(user, message, query.Passive);
  if (query.Passive) {
    ++user.UserInfo().Transfer.SearchesPassive;
    ++ctx_.Stats.Protocol.PassiveSearches;
  } else {
    ++user.UserInfo().Transfer.SearchesActive;
    ++ctx_.Stats.Protocol.ActiveSearches;
  }
  return true;
}

bool TSearchHandler::PassiveAllowed(THubSocket& user, const TSearchQuery& query) {
  // Results are routed by this nick: a foreign one would steal them.
  if (query.Address.substr(kHub.size()) != user.Nick &&
      !user.Rights().MayByPassMessageOriginCheck()) {
    return false;
  }
  user.Passive = true;
  user.UserInfo().Transfer.ResultsSincePassiveSearch = 0;
  if (!user.Restriction.MayBeInPassiveMode) {
    ctx_.Protocol.Refuse(user, ctx_.Language.Text(TLanguageKey::NoPassiveWhileConnected),
                         &ctx_.Settings.RedirectOnPassiveMode);
    return false;
  }
  if (!ctx_.Settings.PassiveSearchAllowed || !user.Rights().MaySearchPassive()) {
    SendSearchNotice(user, query.Pattern, ctx_.Language.Text(TLanguageKey::PassiveSearchNotAllowed));
    return false;
  }
  const TEnabledInt& any = ctx_.Settings.SearchMinLengthAny;
  const TEnabledInt& specific = ctx_.Settings.SearchMinLengthSpec;
  const auto n = static_cast<long long>(query.Pattern.size());
  if ((any.Enabled && query.Type == "1" && n < any.Value) ||
      (specific.Enabled && n < specific.Value)) {
    SendSearchNotice(user, query.Pattern, ctx_.Language.Text(TLanguageKey::ToShortPassiveSearch));
    return false;
  }
  return true;
}

void TSearchHandler::Deliver(const THubSocket& user, std::string_view message, bool passive) {
  const bool sharersOnly = ctx_.Chat.SearchOnlyToSharers();
  TNickList& list = ctx_.NickList;
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    THubSocket& to = *list.GetUser(i);
    if (to.LifeState != lsInitialised || to.HidesShare || &to == &user) continue;
    if (passive && to.Passive) continue;  // two passive users cannot connect
    if (sharersOnly && to.UserInfo().Share <= 0) continue;
    // A backed-up client would only fall further behind.
    if (to.WriteBuffer().UnsentRounds() > 0) continue;
    to.WriteBuffer().AppendString(message);
  }
}

bool TSearchHandler::HandleSearchResult(THubSocket& user, std::string_view message) {
  if (message.size() < user.Nick.size() + 6) {
    user.LifeState = lsClosing;
    return false;
  }
  if (user.UserInfo().Blocked) return true;
  const std::string_view body = message.substr(0, message.size() - 1);
  const std::string_view nick = body.substr(kSR.size());
  const std::size_t last = body.rfind('\x05');
  if (!body.starts_with(kSR) || !nick.starts_with(user.Nick) || nick.size() <= user.Nick.size() ||
      nick[user.Nick.size()] != ' ' || last == std::string_view::npos ||
      last < kSR.size() + user.Nick.size()) {
    if (ctx_.Settings.NotifyInvalidSR) {
      ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::InvalidSRSuppliedByClient));
    }
    user.LifeState = lsClosing;
    return false;
  }
  THubSocket* to = ctx_.NickList.FindUser(body.substr(last + 1));
  if (to == nullptr || to->LifeState != lsInitialised) return true;
  int& received = to->UserInfo().Transfer.ResultsSincePassiveSearch;
  const TEnabledInt& limit = ctx_.Settings.SRMaxCount;
  if (limit.Enabled && received >= limit.Value) return true;
  TWriteBuffer& out = to->WriteBuffer();
  out.AppendData(body.data(), last);
  out.AppendChar('|');
  ++received;
  ++ctx_.Stats.Protocol.SearchReplies;
  ++user.UserInfo().Transfer.ResultsSent;
  return true;
}
