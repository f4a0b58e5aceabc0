#include "stats/stats_report.h"

#include "core/buffer_text.h"
#include "core/hub_socket.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "security/profile.h"
#include "settings/language.h"
#include "utils/byte_size.h"
#include "utils/text_format.h"

using K = TLanguageKey;

std::string ReportDateTime(TDateTime value) { return FormatDateTime(value); }

const std::string& TStatsReport::Text(TLanguageKey key) const { return language_.Text(key); }

void TStatsReport::Append(std::string_view text) { out_.AppendString(text); }

void TStatsReport::DashLine() {
  out_.AppendString("\r\n");
  out_.AppendString(std::string(105, '-'));
}

void TStatsReport::HeaderCell(std::string_view text) {
  out_.AppendString("\r\n");
  out_.AppendChar(kBar);
  out_.AppendChar(' ');
  out_.AppendString(text);
}

void TStatsReport::DetailRow(std::string_view key, int column) {
  out_.AppendString("\r\n");
  out_.AppendChar(kBar);
  out_.AppendString("  ");
  AppendTabPadded(key, out_, column);
}

void TStatsReport::Row(std::string_view text) {
  out_.AppendString("\r\n");
  out_.AppendChar(kBar);
  out_.AppendString("  ");
  out_.AppendString(text);
}

void TStatsReport::WriteResultHeader(int shown, std::string_view pattern, int total, int offset) {
  DashLine();
  HeaderCell(FormatText(Text(K::ResultHeader), shown, offset, total));
  HeaderCell(FormatText(Text(K::ResultHeaderSearch), pattern));
  DashLine();
}

void TStatsReport::WriteCantShow() {
  DashLine();
  HeaderCell(Text(K::ResultCantShow));
  HeaderCell("");
  DashLine();
}

void TStatsReport::WriteSingleIPHeader(std::string_view ip) {
  DashLine();
  HeaderCell(FormatText(Text(K::ResultHeaderSingelIP), ip, 30));
  DashLine();
}

void TStatsReport::NickTitle(std::string_view nick) {
  DashLine();
  HeaderCell(FormatText(Text(K::ResultHeaderSingelNick), nick));
  DashLine();
  HeaderCell(Text(K::SingelHitNickGeneralInformation));
}

void TStatsReport::ProfileRow(const TAccount* account) {
  if (account == nullptr || account->Profile == nullptr) {
    Row(Text(K::SingelHitNickProfileNone));
    return;
  }
  const std::string& name = account->Profile->Name;
  if (account->ExpireDateEnabled && account->ExpireDate.Seconds != 0) {
    Row(FormatText(Text(K::SingelHitNickProfileExpires), name, FormatDate(account->ExpireDate)));
  } else {
    Row(FormatText(Text(K::SingelHitNickProfile), name));
  }
}

void TStatsReport::PenaltyRows(bool muted, bool kennylized, bool lunarized, bool blocked) {
  Row(Text(muted ? K::SingelHitNickMutedYes : K::SingelHitNickMutedNo));
  Row(Text(kennylized ? K::SingelHitNickKennylizedYes : K::SingelHitNickKennylizedNo));
  Row(Text(lunarized ? K::SingelHitNickLunarizedYes : K::SingelHitNickLunarizedNo));
  Row(Text(blocked ? K::SingelHitNickBlockedYes : K::SingelHitNickBlockedNo));
}

void TStatsReport::WriteOnlineNick(const THubSocket& user) {
  const TUserInfo& info = user.UserInfo();
  NickTitle(user.Nick);
  Row(FormatText(Text(K::SingelHitNickUserOnline), user.Nick));
  if (user.Account != nullptr && user.Account != user.Defaults().Account) {
    const TAccount& account = *user.Account;
    const std::string& name = user.Rights().Name;
    if (account.ExpireDateEnabled && account.ExpireDate.Seconds != 0) {
      Row(FormatText(Text(K::SingelHitNickProfileExpires), name, FormatDate(account.ExpireDate)));
    } else {
      Row(FormatText(Text(K::SingelHitNickProfile), name));
    }
  }
  Row(FormatText(Text(K::SingelHitNickIP), user.IP, ReportDateTime(user.ConnectTime)));
  Row(FormatText(Text(K::SingelHitNickDNS), user.DNSName));
  Row(Text(user.Passive ? K::SingelHitNickPassiveYes : K::SingelHitNickPassiveNo));
  Row(Text(user.IsOperator() ? K::SingelHitNickOperatorYes : K::SingelHitNickOperatorNo));
  Row(FormatText(Text(K::SingelHitNickTimesKicked), info.KickCount));
  PenaltyRows(info.Muted, info.Kennylized, info.Lunarized, info.Blocked);
  Row(FormatText(Text(K::SingelHitNickShare), FormatByteSize(info.Share),
                 std::to_string(info.Share) + " B"));
  if (!info.Email.empty()) Row(FormatText(Text(K::SingelHitNickEmail), info.Email));
  if (!info.Description.empty()) {
    Row(FormatText(Text(K::SingelHitNickDescription), info.Description));
  }
  if (info.TagPresent) Row(FormatText(Text(K::SingelHitNickDescriptionTag), info.Tag));
  else Row(Text(K::SingelHitNickDescriptionTagNone));
  Row(FormatText(Text(K::SingelHitNickHubs), info.Hubs));
  Row(FormatText(Text(K::SingelHitNickSlots), info.Slots));
  Row(FormatText(Text(K::SingelHitNickClient), info.ClientName + info.ClientVersion));
}

void TStatsReport::WriteOfflineNick(const TOfflineNick& nick) {
  NickTitle(nick.Nick);
  Row(FormatText(Text(K::SingelHitNickUserOffline), nick.Nick, ReportDateTime(nick.LastUsed)));
  ProfileRow(nick.Account);
  const bool op = nick.Account != nullptr && nick.Account->Profile != nullptr &&
                  nick.Account->Profile->IsOperator();
  Row(Text(op ? K::SingelHitNickOperatorYes : K::SingelHitNickOperatorNo));
  Row(FormatText(Text(K::SingelHitNickTimesKicked), nick.Kicks));
  PenaltyRows(nick.Muted != -1, nick.Kennylized != -1, nick.Lunarized != -1, nick.Blocked != -1);
}

// The offline rows, then the stored columns in the online card's order.
void TStatsReport::WriteOfflineNickFull(const TOfflineNickFull& nick) {
  WriteOfflineNick(nick);
  Row(FormatText(Text(K::SingelHitNickDNS), nick.DNS));
  Row(Text(nick.Passive ? K::SingelHitNickPassiveYes : K::SingelHitNickPassiveNo));
  Row(FormatText(Text(K::SingelHitNickShare), FormatByteSize(nick.Share),
                 std::to_string(nick.Share) + " B"));
  if (!nick.Email.empty()) Row(FormatText(Text(K::SingelHitNickEmail), nick.Email));
  if (!nick.Description.empty()) {
    Row(FormatText(Text(K::SingelHitNickDescription), nick.Description));
  }
  if (!nick.Tag.empty()) Row(FormatText(Text(K::SingelHitNickDescriptionTag), nick.Tag));
  else Row(Text(K::SingelHitNickDescriptionTagNone));
  Row(FormatText(Text(K::SingelHitNickHubs), nick.Hubs));
  Row(FormatText(Text(K::SingelHitNickSlots), nick.Slots));
  Row(FormatText(Text(K::SingelHitNickClient), nick.Client));
}

TNickInfoTables::TNickInfoTables(const TLanguage& language)
    : language_(language),
      offline_(std::make_unique<TWriteBuffer>()),
      online_(std::make_unique<TWriteBuffer>()) {}

TNickInfoTables::~TNickInfoTables() = default;

void TNickInfoTables::Add(std::string_view nick, std::string_view ip, int timesUsed, bool here) {
  const int earlier = here ? timesUsed - 1 : timesUsed;
  if (here) {
    TStatsReport(*online_, language_).DetailRow(nick);
    online_->AppendChar(' ');
    online_->AppendString(ip);
  }
  if (earlier > 0 || !here) {
    TStatsReport(*offline_, language_).DetailRow(nick);
    offline_->AppendChar(' ');
    AppendTabPadded(ip, *offline_, TStatsReport::kIPColumn);
    offline_->AppendString(FormatText(
        language_.Text(earlier == 1 ? TLanguageKey::ResultRowNickInfoTimeUsed
                                    : TLanguageKey::ResultRowNickInfoTimesUsed),
        earlier));
  }
}

void TNickInfoTables::Write(TStatsReport& report) const {
  const std::string bar = std::string("\r\n") + TStatsReport::kBar + " ";
  if (offline_->Length() > 0) {
    report.Append(bar + language_.Text(TLanguageKey::ResultNickInfoOfflineHeader));
    report.Append(offline_->View());
  }
  if (online_->Length() > 0) {
    if (offline_->Length() > 0) report.HeaderCell("");
    report.Append(bar + language_.Text(TLanguageKey::ResultNickInfoOnlineHeader));
    report.Append(online_->View());
  }
  report.DashLine();
}
