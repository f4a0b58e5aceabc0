#include "stats/traffic_stats.h"

#include <string>

#include "core/buffer_text.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/write_buffer.h"
#include "settings/language.h"
#include "utils/byte_size.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

using K = TLanguageKey;

namespace {

constexpr char kBar = '\xA6';

void DashLine(TWriteBuffer& out) {
  out.AppendString("\r\n");
  out.AppendString(std::string(105, '-'));
}

std::int64_t TotalBytes(const THubSocket& user) {
  const TTransferInfo& t = user.UserInfo().Transfer;
  return t.BytesReceived + t.BytesSent;
}

}  // namespace

TTrafficStats::TTrafficStats(TNickList& nickList, const TLanguage& language, TTickClock clock)
    : nickList_(nickList), language_(language), clock_(std::move(clock)) {}

void TTrafficStats::Insert(THubSocket& user, std::int64_t value) {
  if (value <= threshold_ || length_ == 0) return;
  if (entries_.size() >= length_) entries_.pop_back();
  std::size_t at = entries_.size();
  while (at > 0 && entries_[at - 1].Value < value) --at;
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), TEntry{value, &user});
  if (entries_.size() == length_) threshold_ = entries_.back().Value;
}

void TTrafficStats::Report(TWriteBuffer& out, int n, TLanguageKey header, TLanguageKey row,
                           TValueText kind, const TValueOf& valueOf) {
  if (n <= 0) return;
  length_ = static_cast<std::size_t>(n);
  threshold_ = -1;
  entries_.clear();
  for (int i = 0; i < nickList_.GetCount(); ++i) {
    THubSocket* user = nickList_.GetUser(i);
    std::int64_t value = 0;
    if (user != nullptr && user->IsLoggedIn() && valueOf(*user, value)) Insert(*user, value);
  }
  DashLine(out);
  out.AppendString("\r\n");
  out.AppendChar(kBar);
  out.AppendChar(' ');
  out.AppendString(FormatText(language_.Text(header), n));
  DashLine(out);
  if (!entries_.empty()) {
    const std::uint64_t now = clock_();
    for (const TEntry& entry : entries_) {
      out.AppendString("\r\n");
      out.AppendChar(kBar);
      out.AppendChar(' ');
      AppendTabPadded(entry.User->Nick, out, 3);
      std::string value;
      switch (kind) {
        case TValueText::Row: value = std::to_string(entry.Value) + " " + language_.Text(row); break;
        case TValueText::Bytes: value = FormatByteSize(entry.Value); break;
        case TValueText::BytesPerSecond: value = FormatByteSize(entry.Value) + "/s"; break;
      }
      AppendTabPadded(value, out, 2);
      const auto connected = static_cast<std::int64_t>(now - entry.User->ConnectTick);
      out.AppendString(FormatText(language_.Text(K::TrafficStatsSearchUptimeInfo),
                                  TTime::FormatDuration(connected)));
    }
    DashLine(out);
  }
  out.AppendChar('|');
  entries_.clear();
}

namespace {

template <typename F>
auto Counter(F f) {
  return [f](const THubSocket& user, std::int64_t& value) {
    value = f(user.UserInfo().Transfer);
    return true;
  };
}

}  // namespace

void TTrafficStats::WriteSearchStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsSearchHeader, K::TrafficStatsSearchRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.SearchesActive + t.SearchesPassive; }));
}

void TTrafficStats::WriteSRStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsSRHeader, K::TrafficStatsSRRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.ResultsSent; }));
}

void TTrafficStats::WriteConnectStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsConnectHeader, K::TrafficStatsConnectRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.ConnectToMe + t.RevConnectToMe; }));
}

void TTrafficStats::WriteNickListStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsNickListHeader, K::TrafficStatsNickListRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.NickLists; }));
}

void TTrafficStats::WriteMyINFOStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsMyINFOHeader, K::TrafficStatsMyINFORow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.MyINFOs; }));
}

void TTrafficStats::WriteMCStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsMCHeader, K::TrafficStatsMCRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.MainChatLines; }));
}

void TTrafficStats::WritePMStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsPMHeader, K::TrafficStatsPMRow, TValueText::Row,
         Counter([](const TTransferInfo& t) { return t.PrivateMessages; }));
}

void TTrafficStats::WriteDataStats(TWriteBuffer& out, int n) {
  Report(out, n, K::TrafficStatsDataHeader, K::TrafficStatsDataHeader, TValueText::Bytes,
         [](const THubSocket& user, std::int64_t& value) {
           value = TotalBytes(user);
           return true;
         });
}

// Users connected for less than a whole second are left out.
void TTrafficStats::WriteBWStats(TWriteBuffer& out, int n) {
  const std::uint64_t now = clock_();
  Report(out, n, K::TrafficStatsBWHeader, K::TrafficStatsBWHeader, TValueText::BytesPerSecond,
         [now](const THubSocket& user, std::int64_t& value) {
           const std::uint64_t seconds = (now - user.ConnectTick) / 1000;
           if (now < user.ConnectTick || seconds == 0) return false;
           value = TotalBytes(user) / static_cast<std::int64_t>(seconds);
           return true;
         });
}
