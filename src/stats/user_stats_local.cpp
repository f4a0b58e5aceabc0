#include "stats/user_stats_local.h"

#include <algorithm>

#include "core/buffer_text.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "stats/stats_report.h"
#include "utils/text_format.h"

using K = TLanguageKey;

namespace {

constexpr int kListCapacity = 2048;

// The rows a report shows of the keys a pattern matched.
struct TRows {
  int First = 0;
  int Count = 0;
  int Total = 0;
};

// A single match is always shown; otherwise the rows start `offset` into
// the matches, at most `maxHits` of them.
TRows ChooseRows(TMatchRange range, int offset, int maxHits) {
  TRows rows;
  rows.Total = range.last < 0 ? 0 : range.last - range.first + 1;
  if (rows.Total == 1) {
    rows.First = range.first;
    rows.Count = 1;
    return rows;
  }
  rows.First = range.first + offset;
  rows.Count = std::max(0, std::min(rows.Total - offset, maxHits));
  return rows;
}

template <typename T>
std::unique_ptr<TBinList<T>> NewList() {
  auto list = std::make_unique<TBinList<T>>(kListCapacity);
  list->SetWildcard('*');
  return list;
}

}  // namespace

TUserStatsLocal::TUserStatsLocal(TUserStatsContext context) : TUserStats(std::move(context)) {}

TUserStatsLocal::~TUserStatsLocal() {
  if (nicks_) nicks_->ClearAndFree();
  if (ips_) ips_->ClearAndFree();
}

void TUserStatsLocal::Start() {
  if (started_) return;
  started_ = true;
  nicks_ = NewList<TNickStats>();
  ips_ = NewList<TIPStats>();
  report_ = std::make_unique<TWriteBuffer>();
  startTime_ = Context().Clock();
}

const TNickStats* TUserStatsLocal::FindNick(std::string_view nick) const {
  return nicks_ ? nicks_->Find(nick) : nullptr;
}

const TIPStats* TUserStatsLocal::FindIP(std::string_view ip) const {
  return ips_ ? ips_->Find(ip) : nullptr;
}

void TUserStatsLocal::UserLoggedIn(THubSocket& user) {
  Start();
  const TDateTime now = Context().Clock();
  bool added = false;
  TNickStats* nick = nicks_->Find(user.Nick);
  if (nick == nullptr) {
    auto fresh = std::make_unique<TNickStats>();
    fresh->Nick = user.Nick;
    if (nicks_->Add(user.Nick, fresh.get())) {
      nick = fresh.release();
      added = true;
    } else {
      return;  // an empty nick has no record
    }
  }
  nick->Logins.push_back({user.IP, now, {}});
  if (nick->Logins.size() > TNickStats::kMaxLogins) nick->Logins.erase(nick->Logins.begin());
  nick->Online = true;
  nick->LastUsed = now;

  TUserInfo& info = user.UserInfo();
  info.KickCount = nick->TimesKicked;
  info.Muted = nick->Muted != -1;
  info.MutedLevel = nick->Muted;
  info.Lunarized = nick->Lunarized != -1;
  info.LunarizedLevel = nick->Lunarized;
  info.Kennylized = nick->Kennylized != -1;
  info.KennylizedLevel = nick->Kennylized;
  info.Blocked = nick->Blocked != -1;
  info.BlockedLevel = nick->Blocked;

  TIPStats* ip = ips_->Find(user.IP);
  if (ip == nullptr) {
    auto fresh = std::make_unique<TIPStats>();
    fresh->IP = user.IP;
    if (ips_->Add(user.IP, fresh.get())) {
      ip = fresh.release();
      added = true;
    }
  }
  if (ip != nullptr) {
    TIPStatsNick* entry = ip->Nicks.Find(user.Nick);
    if (entry == nullptr) {
      auto fresh = std::make_unique<TIPStatsNick>();
      fresh->Nick = user.Nick;
      if (ip->Nicks.Add(user.Nick, fresh.get())) entry = fresh.release();
    }
    if (entry != nullptr) {
      ++entry->TimesUsed;
      entry->LastUsed = now;
      entry->Online = true;
    }
    ++ip->Online;
    ip->LastUsed = now;
  }
  user.StatsLogin = true;
  if (added) NotifyChange();
}

void TUserStatsLocal::UserLoggedOut(THubSocket& user) {
  if (!user.StatsLogin) return;
  Start();
  const TDateTime now = Context().Clock();
  if (TNickStats* nick = nicks_->Find(user.Nick)) {
    const TUserInfo& info = user.UserInfo();
    nick->TimesKicked = info.KickCount;
    nick->Muted = info.Muted ? info.MutedLevel : -1;
    nick->Lunarized = info.Lunarized ? info.LunarizedLevel : -1;
    nick->Kennylized = info.Kennylized ? info.KennylizedLevel : -1;
    nick->Blocked = info.Blocked ? info.BlockedLevel : -1;
    if (!nick->Logins.empty()) {
      nick->Online = false;
      nick->LastUsed = now;
      if (nick->Logins.back().Logout.Seconds == 0) nick->Logins.back().Logout = now;
    }
  }
  if (TIPStats* ip = ips_->Find(user.IP)) {
    if (TIPStatsNick* entry = ip->Nicks.Find(user.Nick)) entry->Online = false;
    --ip->Online;
    ip->LastUsed = now;
  }
  user.StatsLogin = false;
}

void TUserStatsLocal::Cleanup(TDateTime cutOff) {
  Start();
  // Sessions left open by an earlier run count from the hub's start.
  const TDateTime openCutOff = std::min(cutOff, startTime_);
  for (int i = nicks_->Count() - 1; i >= 0; --i) {
    TNickStats* nick = nicks_->GetObject(i);
    if (!nick->Online && nick->LastUsed < cutOff) {
      nicks_->Delete(i);
      delete nick;
      continue;
    }
    std::erase_if(nick->Logins, [&](const TNickStatsLogin& login) {
      return login.Logout.Seconds != 0 ? login.Logout < cutOff : login.Login < openCutOff;
    });
  }
  for (int i = ips_->Count() - 1; i >= 0; --i) {
    TIPStats* ip = ips_->GetObject(i);
    if (ip->Online == 0 && ip->LastUsed < cutOff) {
      ips_->Delete(i);
      delete ip;
      continue;
    }
    for (int j = ip->Nicks.Count() - 1; j >= 0; --j) {
      TIPStatsNick* entry = ip->Nicks.GetObject(j);
      if (!entry->Online && entry->LastUsed < cutOff) {
        ip->Nicks.Delete(j);
        delete entry;
      }
    }
  }
  if (nicks_->Count() != reportedNicks_ || ips_->Count() != reportedIPs_) {
    reportedNicks_ = nicks_->Count();
    reportedIPs_ = ips_->Count();
    NotifyChange();
  }
}

void TUserStatsLocal::Send(THubSocket& issuer, bool isPM) {
  if (isPM) Context().Messages.SendPMData(issuer, report_->View());
  else Context().Messages.SendChatData(issuer, report_->View());
  report_->Clear(false);
}

void TUserStatsLocal::WriteSingleNick(TStatsReport& report, THubSocket& issuer,
                                      const TNickStats& stats) {
  TUserStatsContext& ctx = Context();
  const std::uint8_t right = issuer.Rights().MayShowUserInfo();
  THubSocket* online = ctx.NickList.FindUser(stats.Nick);
  const std::shared_ptr<TAccount> account = ctx.Accounts.Find(stats.Nick);
  if (online != nullptr && online != &issuer) {
    if (!issuer.MayActOnUser(right, *online)) {
      report.WriteCantShow();
      return;
    }
  } else if (online == nullptr && account != nullptr && account->Profile != nullptr &&
             !issuer.MayActOnLevel(right, account->Profile->ProfileLevel)) {
    report.WriteCantShow();
    return;
  }
  if (online != nullptr) {
    report.WriteOnlineNick(*online);
  } else {
    TOfflineNick offline;
    offline.Nick = stats.Nick;
    offline.LastUsed = stats.LastUsed;
    offline.Kicks = stats.TimesKicked;
    offline.Muted = stats.Muted;
    offline.Kennylized = stats.Kennylized;
    offline.Lunarized = stats.Lunarized;
    offline.Blocked = stats.Blocked;
    offline.Account = account.get();
    report.WriteOfflineNick(offline);
  }
  if (!stats.Logins.empty()) {
    report.HeaderCell("");
    report.HeaderCell(report.Text(K::SingelHitNickIPHistory));
    const std::size_t count = std::min(stats.Logins.size(), TNickStats::kMaxLogins);
    for (std::size_t i = 0; i < count; ++i) {
      const TNickStatsLogin& login = stats.Logins[stats.Logins.size() - 1 - i];
      report.DetailRow(login.IP);
      if (login.Logout.Seconds != 0) {
        report.Append(FormatText(report.Text(K::SingelHitNickIPEntry),
                                 ReportDateTime(login.Login), ReportDateTime(login.Logout)));
      } else {
        report.Append(FormatText(report.Text(K::SingelHitNickIPEntryStillConnected),
                                 ReportDateTime(login.Login)));
      }
    }
    report.HeaderCell("");
  }
  report.DashLine();
}

void TUserStatsLocal::ReportUserInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                     int offset) {
  Start();
  TStatsReport report(*report_, Context().Language);
  const TRows rows =
      ChooseRows(nicks_->FindMatchRange(pattern), offset, Context().Settings.MaxHitsOnSearch);
  if (rows.Total == 0) {
    report.WriteResultHeader(0, pattern, 0, offset);
  } else if (rows.Total == 1) {
    WriteSingleNick(report, issuer, *nicks_->GetObject(rows.First));
  } else {
    report.WriteResultHeader(rows.Count, pattern, rows.Total, offset);
    for (int i = rows.First; i < rows.First + rows.Count; ++i) {
      const TNickStats& nick = *nicks_->GetObject(i);
      report.DetailRow(nick.Nick);
      const bool online = Context().NickList.FindUser(nick.Nick) != nullptr;
      report.Append(FormatText(report.Text(online ? K::ResultRowNickOnline : K::ResultRowNickOffline),
                               ReportDateTime(nick.LastUsed)));
    }
    report.DashLine();
  }
  Send(issuer, isPM);
}

void TUserStatsLocal::ReportIPInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                   int offset) {
  Start();
  TStatsReport report(*report_, Context().Language);
  const TRows rows =
      ChooseRows(ips_->FindMatchRange(pattern), offset, Context().Settings.MaxHitsOnSearch);
  if (rows.Total == 0) {
    report.WriteResultHeader(0, pattern, 0, offset);
  } else if (rows.Total == 1) {
    const TIPStats& ip = *ips_->GetObject(rows.First);
    report.WriteSingleIPHeader(ip.IP);
    const int last = ip.Nicks.Count() - 1;
    for (int i = last; i >= 0 && i > last - 30; --i) {
      const TIPStatsNick& entry = *ip.Nicks.GetObject(i);
      report.DetailRow(entry.Nick);
      report.Append(FormatText(report.Text(K::ResultRowIPSingel), entry.TimesUsed,
                               ReportDateTime(entry.LastUsed)));
    }
    report.DashLine();
  } else {
    report.WriteResultHeader(rows.Count, pattern, rows.Total, offset);
    for (int i = rows.First; i < rows.First + rows.Count; ++i) {
      const TIPStats& ip = *ips_->GetObject(i);
      report.DetailRow(ip.IP);
      report.Append(FormatText(report.Text(K::ResultRowIP), ReportDateTime(ip.LastUsed)));
    }
    report.DashLine();
  }
  Send(issuer, isPM);
}

void TUserStatsLocal::ReportNickInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                     int offset) {
  Start();
  const TLanguage& language = Context().Language;
  const TRows rows =
      ChooseRows(ips_->FindMatchRange(pattern), offset, Context().Settings.MaxHitsOnSearch);
  TNickInfoTables tables(language);
  for (int i = rows.First; i < rows.First + rows.Count; ++i) {
    const TIPStats& ip = *ips_->GetObject(i);
    for (int j = 0; j < ip.Nicks.Count(); ++j) {
      const TIPStatsNick& entry = *ip.Nicks.GetObject(j);
      const THubSocket* user = Context().NickList.FindUser(entry.Nick);
      tables.Add(entry.Nick, ip.IP, entry.TimesUsed, user != nullptr && user->IP == ip.IP);
    }
  }
  TStatsReport report(*report_, language);
  report.WriteResultHeader(rows.Count, pattern, rows.Total, offset);
  tables.Write(report);
  Send(issuer, isPM);
}

void TUserStatsLocal::Clear(THubSocket& issuer, std::string_view nick, bool isPM,
                            TPenalty penalty) {
  Start();
  TNickStats* stats = nicks_->Find(nick);
  int* level = nullptr;
  if (stats != nullptr) {
    switch (penalty) {
      case TPenalty::Blocked: level = &stats->Blocked; break;
      case TPenalty::Muted: level = &stats->Muted; break;
      case TPenalty::Lunarized: level = &stats->Lunarized; break;
      case TPenalty::Kennylized: level = &stats->Kennylized; break;
    }
  }
  const int stored = level == nullptr ? -2 : *level;
  if (AnswerClear(*this, Context(), issuer, nick, isPM, penalty, stored)) *level = -1;
}

void TUserStatsLocal::ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, TPenalty::Blocked);
}
void TUserStatsLocal::ClearMuted(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, TPenalty::Muted);
}
void TUserStatsLocal::ClearLunarized(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, TPenalty::Lunarized);
}
void TUserStatsLocal::ClearKennylized(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, TPenalty::Kennylized);
}
