// The report commands: user, IP and nick statistics, hub and core
// information, one user's traffic and the traffic top lists.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/case_tables.h"
#include "core/commands/command_words.h"
#include "core/commands/hub_commands.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/user_stats_side.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "settings/conn_restriction.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/constants.h"
#include "utils/hub_time.h"
#include "utils/ip_match.h"
#include "utils/string_list.h"
#include "utils/text_format.h"

namespace {

using K = TLanguageKey;
using R = TProfileRight;

constexpr std::string_view kLineBreak = "\r\n ";
constexpr int kListRows = 10;
constexpr int kSingleListRows = 100;
// A top list ends with its dashed line and '|'; the next one opens with its own.
constexpr int kListClosing = 108;

// A block of the hub information: header, underline, then one line each.
class TBlock {
 public:
  TBlock(std::string& out, std::string header, std::string underline) : out_(out) {
    out_ += header;
    out_ += "\r\n";
    out_ += underline;
  }
  void Line(const std::string& text) {
    out_ += kLineBreak;
    out_ += text;
  }

 private:
  std::string& out_;
};

struct TTrafficName {
  std::string_view Word;
  TTrafficList List;
};
constexpr TTrafficName kTrafficLists[] = {
    {"search", TTrafficList::Search}, {"sr", TTrafficList::SR},
    {"connect", TTrafficList::Connect}, {"nicklist", TTrafficList::NickList},
    {"myinfo", TTrafficList::MyINFO}, {"mc", TTrafficList::MC},
    {"pm", TTrafficList::PM},          {"data", TTrafficList::Data},
    {"bw", TTrafficList::BW},
};

// The twelve message counters a traffic report shows, hub-wide or per user.
struct TTrafficCounts {
  std::int64_t MCs, PMs, SearchesActive, SearchesPassive, SRs, MyINFOs, GetINFOs, Nicklists,
      ConnectToMe, RevConnectToMe, Kicks, Redirects;
};

}  // namespace

TUserStatsSide* THubCommands::UserStatsSide() const {
  return ctx_.UserStats ? ctx_.UserStats() : nullptr;
}

void THubCommands::Report(TStatsReport which) {
  TUserStatsSide* stats = UserStatsSide();
  const int args = tokens_.Count() - 1;
  std::string search = args >= 1 ? tokens_.Get(1) : std::string("*");
  const int offset = args == 2 ? OffsetWord(tokens_.Get(2)) : 0;
  if (which != TStatsReport::User) {
    const std::optional<std::string> mask = NormalizeIPMask(search);
    if (!mask) {
      session_.Reply(K::IPInfoNotAValidIPOrRange);
      return;
    }
    search = *mask;
  }
  if (stats == nullptr) return;
  THubSocket& sender = session_.Sender();
  const bool isPM = session_.ReplyByPM;
  switch (which) {
    case TStatsReport::User: stats->ReportUserInfo(sender, search, isPM, offset); break;
    case TStatsReport::IP: stats->ReportIPInfo(sender, search, isPM, offset); break;
    case TStatsReport::Nick: stats->ReportNickInfo(sender, search, isPM, offset); break;
  }
}

void THubCommands::HandleUserInfo() { Report(TStatsReport::User); }
void THubCommands::HandleIPInfo() { Report(TStatsReport::IP); }
void THubCommands::HandleNickInfo() { Report(TStatsReport::Nick); }

void THubCommands::HandleHubInfo() {
  const TSettings& s = ctx_.Settings;
  const TConnRestriction& r = s.ConnRestriction;
  const TStats& stats = ctx_.Stats;
  const THubFigures figures = ctx_.Figures ? ctx_.Figures() : THubFigures{};
  const TUserStatsSide* userStats = UserStatsSide();
  const std::string off = session_.Template(K::HubInfoDisabled);
  const auto share = [&](bool on, std::int64_t bytes) { return on ? FormatByteSize(bytes) : off; };
  const auto count = [&](bool on, int value) { return on ? std::to_string(value) : off; };
  const auto text = [&](TLanguageKey key, auto... args) {
    return FormatText(session_.Template(key), args...);
  };
  const auto bytes = [](std::uint64_t value) {
    return FormatByteSize(static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX)));
  };

  std::string out = "\r\n";
  {
    TBlock block(out, session_.Template(K::HubInfoHeader), session_.Template(K::HubInfoSubHeader));
    block.Line(text(K::HubInfoHubName, s.HubName()));
    if (!s.Topic().empty()) block.Line(text(K::HubInfoTopic, s.TopicSetBy, s.Topic()));
    block.Line(text(K::HubInfoShare, share(r.MinShareEnabled, r.MinShare),
                    share(r.MaxShareEnabled, r.MaxShare)));
    block.Line(text(K::HubInfoHubs, count(r.MaxHubsEnabled, r.MaxHubs)));
    block.Line(text(K::HubInfoSlots, count(r.MinSlotsEnabled, r.MinSlots),
                    count(r.MaxSlotsEnabled, r.MaxSlots)));
    block.Line(text(K::HubInfoSlotratio, count(r.SlotRatioEnabled, r.SlotRatio)));
    block.Line(text(K::HubInfoAccounts, ctx_.Accounts != nullptr ? ctx_.Accounts->GetCount() : 0));
    block.Line(text(K::HubInfoNickbans, ctx_.Bans.GetCount(TBanKind::Nick)));
    block.Line(text(K::HubInfoIPbans, ctx_.Bans.GetCount(TBanKind::IP)));
    block.Line(text(K::HubInfoDNSbans, ctx_.Bans.GetCount(TBanKind::DNS)));
    block.Line(text(K::HubInfoClientbans, ctx_.Bans.GetCount(TBanKind::Client)));
  }
  out += "\r\n\r\n";
  {
    TBlock block(out, session_.Template(K::HubInfoCoreHeader),
                 session_.Template(K::HubInfoCoreSubHeader));
    block.Line(text(K::HubInfoCoreVersion,
                    std::string(kProductName) + " " + std::string(kProgramVersion)));
    block.Line(text(K::HubInfoCoreUptime, ctx_.Uptime ? ctx_.Uptime() : std::string()));
    block.Line(text(K::HubInfoCoreWorkPace, PaceName(s.WorkPace())));
    block.Line(text(K::HubInfoCorePorts, figures.Ports));
    block.Line(text(K::HubInfoCoreTotalShare, FormatByteSize(stats.CurrentSharesize)));
    block.Line(text(K::HubInfoCoreUsers, stats.CurrentUsers, stats.PeakUsers,
                    stats.AllTimePeakUsers));
    block.Line(text(K::HubInfoCoreUsersAuth, stats.AuthorizingUsers));
    block.Line(text(K::HubInfoCoreUsersLimit, s.MaxUsers));
    block.Line(text(K::HubInfoLoginTimeOuts, stats.LoginTimeouts));
    block.Line(text(K::HubInfoIdleTimeOuts, stats.IdleTimeouts));
    block.Line(text(K::HubInfoTooSlow, stats.ReadbufferFull + stats.WritebufferFull));
    block.Line(text(K::HubInfoSpamKicks, stats.DropSpamKicks));
  }
  out += "\r\n\r\n";
  {
    TBlock block(out, session_.Template(K::HubInfoSysHeader),
                 session_.Template(K::HubInfoSysSubHeader));
    block.Line(text(K::HubInfoSysCPUTime, figures.CPUTime));
    block.Line(text(K::HubInfoSysCPUUsage, figures.CPUUsage));
    block.Line(text(K::HubInfoSysMemoryAvailable, bytes(figures.MemoryAvailable)));
    block.Line(text(K::HubInfoSysMemoryUsage, bytes(figures.WorkingSet),
                    bytes(figures.PeakWorkingSet)));
    block.Line(text(K::HubInfoSysVMMemoryUsage, bytes(figures.PageFile),
                    bytes(figures.PeakPageFile)));
    // No kernel pool quotas here: the lines stay, at zero.
    block.Line(text(K::HubInfoSysPPMemoryUsage, bytes(0), bytes(0)));
    block.Line(text(K::HubInfoSysUPPMemoryUsage, bytes(0), bytes(0)));
  }
  out += "\r\n\r\n";
  {
    TBlock block(out, session_.Template(K::HubInfoCoreStatsHeader),
                 session_.Template(K::HubInfoCoreStatsSubHeader));
    block.Line(text(K::HubInfoUserStatsNickCount, userStats != nullptr ? userStats->NickCount() : 0));
    block.Line(text(K::HubInfoUserStatsIPCount, userStats != nullptr ? userStats->IPCount() : 0));
    block.Line(text(K::HubInfoSocketErrors, stats.SocketErrors));
    block.Line(text(K::HubInfoCoreErrors, stats.Errors));
  }
  out += "\r\n";
  session_.SendReply(out);
}

void THubCommands::HandleTrafficInfo() {
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(R::MayShowTrafficInfo);
  const std::string& word = tokens_.Get(1);
  const auto text = [&](TLanguageKey key, auto... args) {
    return FormatText(session_.Template(key), args...);
  };
  const auto counters = [&](std::string& out, const TTrafficCounts& c) {
    for (const auto& [key, value] :
         {std::pair{K::TrafficInfoMCs, c.MCs}, {K::TrafficInfoPMs, c.PMs},
          {K::TrafficInfoSearchsActive, c.SearchesActive},
          {K::TrafficInfoSearchsPassive, c.SearchesPassive}, {K::TrafficInfoSRs, c.SRs},
          {K::TrafficInfoMyINFOs, c.MyINFOs}, {K::TrafficInfoGetINFOs, c.GetINFOs},
          {K::TrafficInfoNicklists, c.Nicklists}, {K::TrafficInfoConnectToMe, c.ConnectToMe},
          {K::TrafficInfoRevConnectToMe, c.RevConnectToMe}, {K::TrafficInfoKicks, c.Kicks},
          {K::TrafficInfoRedirects, c.Redirects}}) {
      out += kLineBreak;
      out += text(key, value);
    }
  };
  if (SameText(word, ctx_.Settings.BotName())) {
    if (!sender.MayActOnLevel(right, 9)) {
      session_.Reply(K::TrafficInfoTooLowProfileLevel, word);
      return;
    }
    const TProtocolStats& p = ctx_.Stats.Protocol;
    std::string out = "\r\n" + session_.Template(K::TrafficInfoHeaderSummary);
    counters(out, {p.MainchatMessages, p.PrivateMessages, p.ActiveSearches, p.PassiveSearches,
                   p.SearchReplies, p.MyINFOs, p.GetINFOs, p.Nicklists, p.ConnectToMe,
                   p.RevConnectToMe, p.Kicks, p.Redirects});
    session_.SendReply(out);
    return;
  }
  const THubSocket* user = ctx_.NickList.FindUser(word);
  if (user == nullptr) {
    session_.Reply(K::TrafficInfoUserNotFound, word);
    return;
  }
  if (!sender.MayActOnUser(right, *user)) {
    session_.Reply(K::TrafficInfoTooLowProfileLevel, word);
    return;
  }
  const TTransferInfo& t = user->UserInfo().Transfer;
  std::string out = "\r\n" + text(K::TrafficInfoHeader, word);
  counters(out, {t.MainChatLines, t.PrivateMessages, t.SearchesActive, t.SearchesPassive,
                 t.ResultsSent, t.MyINFOs, t.GetINFOs, t.NickLists, t.ConnectToMe,
                 t.RevConnectToMe, t.Kicks, t.Redirects});
  const std::uint64_t now = ctx_.Ticks ? ctx_.Ticks() : TTime::Now();
  // A user of less than a second counts as one second, never as zero.
  const std::uint64_t seconds =
      std::max<std::uint64_t>(1, now > user->ConnectTick ? (now - user->ConnectTick) / 1000 : 0);
  const std::int64_t total = t.BytesReceived + t.BytesSent;
  out += kLineBreak;
  out += text(K::TrafficInfoBW,
              FormatByteSize(total / static_cast<std::int64_t>(seconds)) + "/s");
  out += kLineBreak;
  out += text(K::TrafficInfoDataSent, FormatByteSize(t.BytesSent));
  out += kLineBreak;
  out += text(K::TrafficInfoDataRecv, FormatByteSize(t.BytesReceived));
  out += kLineBreak;
  out += text(K::TrafficInfoJunkDataRecv, FormatByteSize(t.JunkBytes));
  session_.SendReply(out);
}

void THubCommands::HandleTrafficStats() {
  TUserStatsSide* stats = UserStatsSide();
  if (tokens_.Count() >= 2) {
    const std::string& word = tokens_.Get(1);
    const TTrafficName* chosen = nullptr;
    for (const TTrafficName& name : kTrafficLists)
      if (SameText(word, name.Word)) chosen = &name;
    if (chosen == nullptr) {
      session_.Reply(K::TrafficStatsSearchInvalidParameter);
      return;
    }
    if (stats != nullptr) stats->WriteTrafficList(chosen->List, reply_, kSingleListRows);
  } else if (stats != nullptr) {
    bool first = true;
    for (const TTrafficName& name : kTrafficLists) {
      if (!first && reply_.Length() > kListClosing) reply_.DropLast(kListClosing);
      first = false;
      stats->WriteTrafficList(name.List, reply_, kListRows);
    }
  }
  // The lists close with '|'; the reply adds its own.
  if (!reply_.Empty() && reply_.View().back() == '|') reply_.DropLastChar();
  if (!reply_.Empty()) session_.ReplyBuffer(reply_);
  reply_.Clear(true);
}

void THubCommands::HandleCoreInfo() {
  const THubFigures f = ctx_.Figures ? ctx_.Figures() : THubFigures{};
  const auto rate = [](std::uint64_t value) {
    return FormatByteSize(static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX)));
  };
  const auto pool = [](const TPoolFigure& p) {
    return std::to_string(p.InUse) + "(" + std::to_string(p.Total) + ")";
  };
  std::string writers;
  for (const TPoolFigure& p : f.Writers) {
    if (!writers.empty()) writers += " / ";
    writers += pool(p);
  }
  const std::string lines[] = {
      "Receiving: " + rate(f.Receiving) + "/s",
      "Sending: " + rate(f.Sending) + "/s",
      "Ok empty: " + std::to_string(f.SendOutcomes[0]),
      "Ok: " + std::to_string(f.SendOutcomes[1]),
      "Blocking: " + std::to_string(f.SendOutcomes[2]),
      "NOBUF: " + std::to_string(f.SendOutcomes[3]),
      "",
      "I/O threads: " + std::to_string(f.LookupThreads) + "(" +
          std::to_string(f.LookupThreadsMax) + ")",
      "Readers: " + pool(f.Readers),
      "Writers: " + writers,
  };
  std::string out(kLineBreak);
  for (const std::string& line : lines) {
    out += line;
    out += kLineBreak;
  }
  session_.SendReply(out);
}
