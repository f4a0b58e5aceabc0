// The lasting ban lists by address, host name and client, and the
// listing and clearing of all four lists and of the temporary bans.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/commands/command_words.h"
#include "core/buffer_text.h"
#include "core/commands/ban_texts.h"
#include "core/commands/hub_commands.h"
#include "core/hub_socket.h"
#include "core/write_buffer.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "security/tmp_ban_list.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"
#include "utils/ip_match.h"
#include "utils/text_format.h"

using L = TLanguageKey;

// One command of the address, host-name and client family.
struct TPatternBan {
  TBanKind Kind;
  bool Timed;
  TLanguageKey Banned;  // [pattern] or, timed, [pattern, hours]
  TBanKeys Feed;
};

namespace {

const std::string kDashLine = "\r\n" + std::string(105, '-');
constexpr std::string_view kRowStart = "\r\n\xA6  ";
constexpr std::string_view kHeadStart = "\r\n\xA6 ";

constexpr TPatternBan kBanIP{TBanKind::IP, false, L::BanIPBanned,
                             {L::BanIPFeedMessage, L::BanIPFeedMessageReason, L::BanIPFeedMessage,
                              L::BanIPFeedMessageReason}};
constexpr TPatternBan kTimedBanIP{TBanKind::IP, true, L::TBanIPBanned,
                                  {L::TBanIPFeedMessage, L::TBanIPFeedMessageReason,
                                   L::TBanIPFeedMessage, L::TBanIPFeedMessageReason}};
constexpr TPatternBan kBanDNS{TBanKind::DNS, false, L::BanDNSBanned,
                              {L::BanDNSFeedMessage, L::BanDNSFeedMessageReason,
                               L::BanDNSFeedMessage, L::BanDNSFeedMessageReason}};
constexpr TPatternBan kTimedBanDNS{TBanKind::DNS, true, L::TBanDNSBanned,
                                   {L::TBanDNSFeedMessage, L::TBanDNSFeedMessageReason,
                                    L::TBanDNSFeedMessage, L::TBanDNSFeedMessageReason}};
constexpr TPatternBan kBanClient{TBanKind::Client, false, L::BanClientBanned,
                                 {L::BanClientFeedMessage, L::BanClientFeedMessageReason,
                                  L::BanClientFeedMessage, L::BanClientFeedMessageReason}};


std::string TabPadded(std::string_view text, int column) {
  TWriteBuffer buffer(1);
  AppendTabPadded(text, buffer, column);
  return buffer.GetString();
}

// A stored text inside a bot line: a '|' from the file would end it.
std::string WireText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '|')
      out += "&#124;";
    else
      out += c;
  }
  return out;
}

TBan* AddBan(TBanList& bans, TBanKind kind, const std::string& pattern, std::string_view reason,
             TDateTime expires, std::string_view by) {
  switch (kind) {
    case TBanKind::IP: return bans.AddIPBan(pattern, reason, 0, expires, by);
    case TBanKind::DNS: return bans.AddDNSBan(pattern, reason, expires, by);
    case TBanKind::Client: return bans.AddClientBan(pattern, reason, expires, by);
    case TBanKind::Nick: break;
  }
  return nullptr;
}

}  // namespace

void THubCommands::HandleBanIP() { BanPatterns(kBanIP); }
void THubCommands::HandleTimedBanIP() { BanPatterns(kTimedBanIP); }
void THubCommands::HandleBanDNS() { BanPatterns(kBanDNS); }
void THubCommands::HandleTimedBanDNS() { BanPatterns(kTimedBanDNS); }
void THubCommands::HandleBanClient() { BanPatterns(kBanClient); }

void THubCommands::BanPatterns(const TPatternBan& family) {
  THubSocket& sender = session_.Sender();
  int hours = 0;
  if (family.Timed && !BanHours(2, hours)) return;
  const std::string reason(RestOfLine(family.Timed ? 3 : 2));
  const TDateTime expires = family.Timed ? BanExpiry(hours) : TDateTime{};
  const std::string& word = tokens_.Get(1);
  // Addresses and host names come as ';' lists too; client names may hold ';'.
  const bool list = family.Kind != TBanKind::Client && word.find(';') != std::string::npos;
  std::vector<std::string> parts;
  if (list) {
    std::size_t start = 0;
    while (start <= word.size()) {
      const std::size_t end = std::min(word.find(';', start), word.size());
      if (end > start) parts.push_back(word.substr(start, end - start));
      start = end + 1;
    }
  } else {
    parts.push_back(word);
  }
  if (parts.empty()) {
    session_.Reply(L::ErrorCommand);
    return;
  }
  // A list's feed lines leave the reason out and its bans are not counted.
  const TBanNote note{family.Timed, hours, sender.Nick, list ? std::string_view{} : reason};
  for (std::string& pattern : parts) {
    if (family.Kind == TBanKind::IP) {
      const std::optional<std::string> mask = NormalizeIPMask(pattern);
      if (!mask) {
        session_.Reply(L::BanIPIncorrectIP);
        continue;
      }
      pattern = *mask;
    }
    if (AddBan(ctx_.Bans, family.Kind, pattern, reason, expires, sender.Nick) == nullptr) {
      ReplyStandingBan(ctx_.Bans.StandingBan(family.Kind, pattern));
      continue;
    }
    if (!list) CountBan(sender, family.Timed);
    if (family.Timed)
      session_.Reply(family.Banned, pattern, hours);
    else
      session_.Reply(family.Banned, pattern);
    FeedAction(BanLine(ctx_.Language, family.Feed, note, pattern));
  }
}

void THubCommands::HandleUnBan() {
  THubSocket& sender = session_.Sender();
  const TProfile& rights = sender.Rights();
  const std::string& word = tokens_.Get(1);
  if (const std::uint8_t right = rights.MayBanNick(); right != 0) {
    if (const TBan* ban = ctx_.Bans.FindNickBan(word)) {
      if (!sender.MayActOnLevel(right, ban->Level)) {
        session_.Reply(L::UnBanUserTooLowAccountLvl);
        return;
      }
      const std::string pattern = ban->Pattern;
      ctx_.Bans.DeleteNickBan(pattern);
      session_.Reply(L::UnBanNick, pattern);
      FeedAction(FormatText(Feed(L::UnBanNickFeedMessage), pattern, sender.Nick));
      return;
    }
  }
  if (rights.MayBanIP()) {
    const std::optional<std::string> mask = NormalizeIPMask(word);
    if (mask && ctx_.Bans.DeleteIPBan(*mask)) {
      session_.Reply(L::UnBanIP, *mask);
      FeedAction(FormatText(Feed(L::UnBanIPFeedMessage), *mask, sender.Nick));
      return;
    }
  }
  if (rights.MayBanDNS()) {
    if (const TBan* ban = ctx_.Bans.FindDNSBan(word)) {
      const std::string pattern = ban->Pattern;
      ctx_.Bans.DeleteDNSBan(pattern);
      session_.Reply(L::UnBanDNS, pattern);
      FeedAction(FormatText(Feed(L::UnBanDNSFeedMessage), pattern, sender.Nick));
      return;
    }
  }
  session_.Reply(L::UnBanFailed, word);
}

void THubCommands::HandleUnBanClient() {
  const std::string& word = tokens_.Get(1);
  const TBan* ban = ctx_.Bans.FindClientBan(word);
  if (ban == nullptr) {
    session_.Reply(L::UnBanClientFailed, word);
    return;
  }
  const std::string pattern = ban->Pattern;
  ctx_.Bans.DeleteClientBan(pattern);
  session_.Reply(L::UnBanClient, pattern);
  FeedAction(FormatText(Feed(L::UnBanClientFeedMessage), pattern, session_.Sender().Nick));
}

void THubCommands::HandleClearNickBans() { ClearBans(TBanKind::Nick); }
void THubCommands::HandleClearIPBans() { ClearBans(TBanKind::IP); }
void THubCommands::HandleClearDNSBans() { ClearBans(TBanKind::DNS); }
void THubCommands::HandleClearClientBans() { ClearBans(TBanKind::Client); }

void THubCommands::ClearBans(TBanKind kind) {
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().MayBanNick();
  const int total = ctx_.Bans.GetCount(kind);
  int removed = 0;
  for (int i = total - 1; i >= 0; --i) {
    const TBan& ban = ctx_.Bans.GetItem(kind, i);
    // Nick and address bans carry the level of whom they banned; a ban of
    // no one in particular goes with every address ban.
    const bool mayRemove = kind == TBanKind::DNS || kind == TBanKind::Client ||
                           (kind == TBanKind::IP && ban.Level == 0) ||
                           sender.MayActOnLevel(right, ban.Level);
    if (!mayRemove) continue;
    const std::string pattern = ban.Pattern;
    if (ctx_.Bans.Delete(kind, pattern)) ++removed;
  }
  switch (kind) {
    case TBanKind::Nick:
    case TBanKind::IP: {
      const bool nick = kind == TBanKind::Nick;
      session_.Reply(nick ? L::ClearNickBans : L::ClearIPBans, removed, total);
      if (removed > 0)
        FeedAction(FormatText(Feed(nick ? L::ClearNickBansFeedMessage : L::ClearIPBansFeedMessage),
                              removed, total, sender.Nick));
      break;
    }
    case TBanKind::DNS:
    case TBanKind::Client: {
      const bool dns = kind == TBanKind::DNS;
      session_.Reply(dns ? L::ClearDNSBans : L::ClearClientBans, removed);
      if (removed > 0)
        FeedAction(FormatText(Feed(dns ? L::ClearDNSBansFeedMessage : L::ClearClientBansFeedMessage),
                              removed, sender.Nick));
      break;
    }
  }
}

void THubCommands::HandleShowNickBans() { ShowBans(TBanKind::Nick); }
void THubCommands::HandleShowIPBans() { ShowBans(TBanKind::IP); }
void THubCommands::HandleShowDNSBans() { ShowBans(TBanKind::DNS); }
void THubCommands::HandleShowClientBans() { ShowBans(TBanKind::Client); }

void THubCommands::ShowBans(TBanKind kind) {
  ctx_.Bans.RemoveExpired(kind);
  std::string search = tokens_.Count() > 1 ? tokens_.Get(1) : std::string("*");
  // Host names are searched from their end.
  if (kind == TBanKind::DNS && search.front() != '*') search.insert(0, 1, '*');
  const int offset = tokens_.Count() > 2 ? OffsetWord(tokens_.Get(2)) : 0;
  const TMatchRange range = ctx_.Bans.FindRange(kind, search);
  const int total = range.last - range.first + 1;
  const auto text = [this](TLanguageKey key, const auto&... args) {
    return FormatText(session_.Template(key), args...);
  };

  if (total == 1) {
    const TBan& ban = ctx_.Bans.GetItem(kind, range.first);
    std::string out = kDashLine;
    out += std::string(kHeadStart) + text(L::ListHeader, 1, offset, 1);
    out += std::string(kHeadStart) + text(L::ShowBanExactListSubHeader, WireText(ban.Pattern));
    out += kDashLine;
    out += std::string(kRowStart) + text(L::ShowBanExactBannedBy, WireText(ban.BannedBy));
    out += std::string(kRowStart) + text(L::ShowBanExactIssued, FormatDateTime(ban.Issued));
    out += std::string(kRowStart) +
           (ban.Expires == TDateTime{} ? text(L::ShowBanExactExpiresPermanent)
                                       : text(L::ShowBanExactExpires, FormatDateTime(ban.Expires)));
    out += std::string(kRowStart) +
           (ban.LastUsed == TDateTime{} ? text(L::ShowBanExactLastUsedNever)
                                        : text(L::ShowBanExactLastUsed, FormatDateTime(ban.LastUsed)));
    out += std::string(kRowStart) + (ban.Reason.empty()
                                         ? text(L::ShowBanExactNoReason)
                                         : text(L::ShowBanExactReason, WireText(ban.Reason)));
    out += kDashLine;
    session_.SendReply(out);
    return;
  }

  const int shown = std::max(std::min(total - offset, ctx_.Settings.MaxHitsOnSearch), 0);
  std::string out = kDashLine;
  out += std::string(kHeadStart) + text(L::ListHeader, shown, offset, total);
  out += std::string(kHeadStart) + text(L::ListSubHeader, search);
  out += kDashLine;
  const int column = kind == TBanKind::DNS ? 5 : 3;
  const std::string permanent = TabPadded(session_.Template(L::ShowBansPermanent), 3);
  for (int i = 0; i < shown; ++i) {
    const TBan& ban = ctx_.Bans.GetItem(kind, range.first + offset + i);
    out += std::string(kRowStart) + TabPadded(WireText(ban.Pattern), column) + " ";
    out += ban.Expires == TDateTime{} ? permanent : FormatDateTime(ban.Expires) + "\t\t";
    out += " " + WireText(ban.Reason);
  }
  if (shown > 0) out += kDashLine;
  session_.SendReply(out);
}

void THubCommands::HandleClearTempBans() {
  if (ctx_.TmpBans == nullptr) return;
  int limit = 0;
  if (tokens_.Count() > 1) {
    limit = WholeInt(tokens_.Get(1)).value_or(0);
    if (limit <= 0) {
      session_.Reply(L::ClearTempBanIncorrectLimit);
      return;
    }
  }
  session_.SendReply(ctx_.TmpBans->ClearBans(limit));
}

void THubCommands::HandleShowTempBans() {
  if (ctx_.TmpBans == nullptr) return;
  TTmpBanList& bans = *ctx_.TmpBans;
  bans.RemoveExpired();
  const int offset = tokens_.Count() > 1 ? OffsetWord(tokens_.Get(1)) : 0;
  const int n = bans.Count();
  const int shown = std::min(std::max(n - offset, 0), ctx_.Settings.MaxHitsOnSearch);
  std::string out = kDashLine;
  out += std::string(kHeadStart) +
         FormatText(session_.Template(L::ListHeader), shown, std::min(offset, n), n);
  out += kDashLine;
  const std::uint64_t now = bans.Now();
  const std::string nickLabel = session_.Template(L::ShowTempBansNick);
  const std::string ipLabel = session_.Template(L::ShowTempBansIP);
  const std::string timeLabel = session_.Template(L::ShowTempBansTimeLeft);
  for (int i = 0; i < shown; ++i) {
    const TTmpBan& ban = bans.Get(offset + i);
    const std::int64_t left =
        ban.NickExpiry > now ? static_cast<std::int64_t>(ban.NickExpiry - now) : 0;
    out += std::string(kRowStart) + TabPadded(nickLabel + WireText(ban.Nick), 4) +
           TabPadded(ipLabel + ban.IP, 3) + timeLabel + TTime::FormatDuration(left);
  }
  if (shown > 0) out += kDashLine;
  session_.SendReply(out);
}
