#include "gui/statistics_gui.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/commands/hub_figures.h"
#include "core/commands/text_commands.h"
#include "core/hub_core.h"
#include "core/hub_stats.h"
#include "core/kavro_root.h"
#include "core/user_stats_side.h"
#include "gui/text_1252.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/tmp_ban_list.h"
#include "security/user_registered.h"
#include "utils/byte_size.h"
#include "utils/constants.h"
#include "utils/hub_time.h"

namespace {

// What one refresh reads, gathered once.
struct TSource {
  TKavroRoot& Root;
  const TStats& Stats;
  const THubFigures& Figures;
};

using TValueOf = QString (*)(const TSource&);

QString Number(std::int64_t value) { return QString::number(value); }
QString Size(std::int64_t bytes) { return TextFromBytes(FormatByteSize(bytes)); }
QString Size(std::uint64_t bytes) { return Size(static_cast<std::int64_t>(bytes)); }

struct TItem {
  const char* Group;
  const char* Caption;
  TValueOf Value;
};

// Every write class counts: a pool left out would hide blocks held.
std::int64_t WriteBlocks(const THubFigures& f) {
  std::int64_t sum = 0;
  for (const TPoolFigure& pool : f.Writers) sum += pool.InUse;
  return sum;
}

const TItem kItems[] = {
    {"Users", "Current:", [](const TSource& s) { return Number(s.Stats.CurrentUsers); }},
    {"Users", "Authorizing:", [](const TSource& s) { return Number(s.Stats.AuthorizingUsers); }},
    {"Users", "Peak:", [](const TSource& s) { return Number(s.Stats.PeakUsers); }},
    {"Users", "All time peak:", [](const TSource& s) { return Number(s.Stats.AllTimePeakUsers); }},
    {"Users", "Nick entries:", [](const TSource& s) { return Number(s.Root.UserStats().NickEntries()); }},
    {"Users", "IP entries:", [](const TSource& s) { return Number(s.Root.UserStats().IPEntries()); }},
    {"Sharesize", "Current:", [](const TSource& s) { return Size(s.Stats.CurrentSharesize); }},
    {"Sharesize", "Peak:", [](const TSource& s) { return Size(s.Stats.PeakSharesize); }},
    {"Sharesize", "All time peak:", [](const TSource& s) { return Size(s.Stats.AllTimePeakSharesize); }},
    {"Sharesize", "Per user:",
     [](const TSource& s) {
       const std::int64_t users = s.Stats.CurrentUsers;
       return Size(users > 0 ? s.Stats.CurrentSharesize / users : std::int64_t{0});
     }},
    {"Core", "Version:", [](const TSource&) { return TextFromBytes(kProgramVersion); }},
    {"Core", "Uptime:", [](const TSource& s) { return TextFromBytes(s.Root.HubCore().Uptime()); }},
    {"Core", "Uptime peak:",
     [](const TSource& s) { return TextFromBytes(TTime::FormatDuration(s.Stats.UptimePeak)); }},
    {"Core", "Sending:", [](const TSource& s) { return Size(s.Figures.Sending) + "/s"; }},
    {"Core", "Receiving:", [](const TSource& s) { return Size(s.Figures.Receiving) + "/s"; }},
    {"Core", "Errors:", [](const TSource& s) { return Number(s.Stats.Errors); }},
    {"Core", "Read buffers:", [](const TSource& s) { return Number(s.Figures.Readers.InUse); }},
    {"Core", "Write buffers:", [](const TSource& s) { return Number(WriteBlocks(s.Figures)); }},
    {"Core", "Text commands:", [](const TSource& s) { return Number(s.Root.TextCommands().GetCount()); }},
    {"Protocol and traffic", "Nicklists:", [](const TSource& s) { return Number(s.Stats.Protocol.Nicklists); }},
    {"Protocol and traffic", "ConnectToMe:", [](const TSource& s) { return Number(s.Stats.Protocol.ConnectToMe); }},
    {"Protocol and traffic", "RevConnectToMe:", [](const TSource& s) { return Number(s.Stats.Protocol.RevConnectToMe); }},
    {"Protocol and traffic", "Kicks:", [](const TSource& s) { return Number(s.Stats.Protocol.Kicks); }},
    {"Protocol and traffic", "Redirects:", [](const TSource& s) { return Number(s.Stats.Protocol.Redirects); }},
    {"Protocol and traffic", "MCTo:", [](const TSource& s) { return Number(s.Stats.Protocol.MCTo); }},
    {"Protocol and traffic", "BotINFO:", [](const TSource& s) { return Number(s.Stats.Protocol.BotINFO); }},
    {"Protocol and traffic", "Mainchat messages:", [](const TSource& s) { return Number(s.Stats.Protocol.MainchatMessages); }},
    {"Protocol and traffic", "Private messages:", [](const TSource& s) { return Number(s.Stats.Protocol.PrivateMessages); }},
    {"Protocol and traffic", "Active searches:", [](const TSource& s) { return Number(s.Stats.Protocol.ActiveSearches); }},
    {"Protocol and traffic", "Passive searches:", [](const TSource& s) { return Number(s.Stats.Protocol.PassiveSearches); }},
    {"Protocol and traffic", "Search replies:", [](const TSource& s) { return Number(s.Stats.Protocol.SearchReplies); }},
    {"Protocol and traffic", "MyINFOs:", [](const TSource& s) { return Number(s.Stats.Protocol.MyINFOs); }},
    {"Drops", "Login timeouts:", [](const TSource& s) { return Number(s.Stats.LoginTimeouts); }},
    {"Drops", "Idle timeouts:", [](const TSource& s) { return Number(s.Stats.IdleTimeouts); }},
    {"Drops", "Spam kicks:", [](const TSource& s) { return Number(s.Stats.DropSpamKicks); }},
    {"Drops", "Readbuffer full:", [](const TSource& s) { return Number(s.Stats.ReadbufferFull); }},
    {"Drops", "Writebuffer full:", [](const TSource& s) { return Number(s.Stats.WritebufferFull); }},
    {"Drops", "Socket errors:", [](const TSource& s) { return Number(s.Stats.SocketErrors); }},
    {"Drops", "Nick taken:", [](const TSource& s) { return Number(s.Stats.NickInUseRefusals); }},
    {"Feed", "Action:", [](const TSource& s) { return Number(s.Stats.ActionFeed); }},
    {"Feed", "Kick:", [](const TSource& s) { return Number(s.Stats.KickFeed); }},
    {"Feed", "Event:", [](const TSource& s) { return Number(s.Stats.EventFeed); }},
    {"Feed", "GUI:", [](const TSource& s) { return Number(s.Stats.GUIFeed); }},
    {"Feed", "Error:", [](const TSource& s) { return Number(s.Stats.ErrorFeed); }},
    {"Feed", "Feed:", [](const TSource& s) { return Number(s.Stats.Protocol.Feed); }},
    {"Bans and accounts", "Nick bans:", [](const TSource& s) { return Number(s.Root.Bans().GetCount(TBanKind::Nick)); }},
    {"Bans and accounts", "IP bans:", [](const TSource& s) { return Number(s.Root.Bans().GetCount(TBanKind::IP)); }},
    {"Bans and accounts", "DNS bans:", [](const TSource& s) { return Number(s.Root.Bans().GetCount(TBanKind::DNS)); }},
    {"Bans and accounts", "Client bans:", [](const TSource& s) { return Number(s.Root.Bans().GetCount(TBanKind::Client)); }},
    {"Bans and accounts", "Temp bans:", [](const TSource& s) { return Number(s.Root.TmpBans().Count()); }},
    {"Bans and accounts", "Accounts:", [](const TSource& s) { return Number(s.Root.Accounts().GetCount()); }},
    {"Bans and accounts", "Registered:", [](const TSource& s) { return Number(s.Root.Registered().GetCount()); }},
    {"System", "CPU usage:", [](const TSource& s) { return TextFromBytes(s.Figures.CPUUsage); }},
    {"System", "CPU time:", [](const TSource& s) { return TextFromBytes(s.Figures.CPUTime); }},
    {"System", "Memory usage: ", [](const TSource& s) { return Size(s.Figures.WorkingSet); }},
    {"System", "Peak memory usage:", [](const TSource& s) { return Size(s.Figures.PeakWorkingSet); }},
    {"System", "Virtual memory usage:", [](const TSource& s) { return Size(s.Figures.PageFile); }},
    {"System", "Memory available:", [](const TSource& s) { return Size(s.Figures.MemoryAvailable); }},
};

}  // namespace

struct TStatisticsGui::TRow {
  QString Group;
  QString Caption;
  TValueOf Value;
  QLabel* Label;
};

TStatisticsGui::TStatisticsGui(TKavroRoot& root, QWidget* parent)
    : QWidget(parent), root_(root), figures_([&root] { return root.ReadFigures(); }) {
  setObjectName(QStringLiteral("StatisticsGui"));
  auto* inner = new QWidget;
  auto* grid = new QGridLayout(inner);
  QGroupBox* box = nullptr;
  QFormLayout* form = nullptr;
  int boxes = 0;
  for (const TItem& item : kItems) {
    const QString group = QString::fromLatin1(item.Group);
    if (box == nullptr || box->title() != group) {
      box = new QGroupBox(group);
      form = new QFormLayout(box);
      grid->addWidget(box, boxes / 2, boxes % 2);
      ++boxes;
    }
    auto* label = new QLabel(QStringLiteral("0"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QString::fromLatin1(item.Caption), label);
    rows_.push_back({group, QString::fromLatin1(item.Caption), item.Value, label});
  }
  grid->setRowStretch(grid->rowCount(), 1);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setWidget(inner);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
}

TStatisticsGui::~TStatisticsGui() = default;

void TStatisticsGui::Refresh() {
  const THubFigures figures = figures_ ? figures_() : THubFigures{};
  const TSource source{root_, root_.Stats(), figures};
  for (const TRow& row : rows_) row.Label->setText(row.Value(source));
}

QString TStatisticsGui::Value(const QString& group, const QString& caption) const {
  const auto it = std::find_if(rows_.begin(), rows_.end(), [&](const TRow& row) {
    return row.Group == group && row.Caption == caption;
  });
  return it == rows_.end() ? QString() : it->Label->text();
}
