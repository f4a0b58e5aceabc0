#include "gui/security_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "settings/settings.h"

namespace {

constexpr int kMaxCount = 1000000;
// Minutes and seconds in a 32-bit spin; the record holds 64-bit ms.
constexpr int kMaxMinutes = 1000000;
constexpr int kMaxSeconds = 1000000;

QGroupBox* NewGroup(QWidget* parent, const QString& caption) {
  auto* group = new QGroupBox(caption, parent);
  new QGridLayout(group);
  return group;
}

QGridLayout* Grid(QGroupBox* group) { return static_cast<QGridLayout*>(group->layout()); }

QByteArray Name(const char* prefix, const char* key) { return QByteArray(prefix) + key; }

}  // namespace

TSecurityGui::TSecurityGui(TSettings& settings)
    : binder_("GUI.Security.Store", [this](int group) { binder_.Store(group); }) {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("SecurityPage"));
  auto* columns = new QGridLayout(page_);
  TSettings& s = settings;

  // A box and a value in `unit`, one row of `group`.
  auto row = [](QGroupBox* group, QCheckBox* box, QSpinBox* spin, const QString& unit) {
    QGridLayout* grid = Grid(group);
    const int r = grid->rowCount();
    if (spin == nullptr) {
      grid->addWidget(box, r, 0, 1, 3);
      return r;
    }
    grid->addWidget(box, r, 0);
    grid->addWidget(spin, r, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, group), r, 2);
    return r;
  };
  auto enabledInt = [&](QGroupBox* group, int id, const char* key, const QString& caption,
                        TEnabledInt& value, const QString& unit) {
    auto* box = NewCheck(group, Name("chk", key).constData(), caption);
    auto* spin = NewSpin(group, Name("se", key).constData(), 0, kMaxCount);
    row(group, box, spin, unit);
    binder_.Check(id, box, value.Enabled);
    binder_.Spin(id, spin, value.Value);
  };
  auto enabledMs = [&](QGroupBox* group, int id, const char* key, const QString& caption,
                       TEnabledInt64& value, bool minutes) {
    auto* box = NewCheck(group, Name("chk", key).constData(), caption);
    auto* spin =
        NewSpin(group, Name("se", key).constData(), 0, minutes ? kMaxMinutes : kMaxSeconds);
    row(group, box, spin, minutes ? QStringLiteral("minutes") : QStringLiteral("seconds"));
    binder_.Check(id, box, value.Enabled);
    binder_.SpinMs(id, spin, value.Value, minutes ? 60000 : 1000);
  };
  auto flag = [&](QGroupBox* group, int id, const char* name, const QString& caption,
                  bool& value) {
    auto* box = NewCheck(group, name, caption);
    row(group, box, nullptr, {});
    binder_.Check(id, box, value);
  };

  QGroupBox* general = NewGroup(page_, QStringLiteral("General"));
  flag(general, gGeneral, "chkKickOnInvalidKey", QStringLiteral("Kick user if key is invalid"),
       s.KickOnInvalidKey);
  flag(general, gGeneral, "chkCheckSenderIPOnSearchAndConnectToMe",
       QStringLiteral("Check sender IP on Search and ConnectToMe"),
       s.CheckSenderIPOnSearchAndConnectToMe);
  flag(general, gGeneral, "chkPerformDNSLookup", QStringLiteral("Perform DNS lookup"),
       s.PerformDNSLookup);
  enabledInt(general, gGeneral, "CheckDataBeforeLock", QStringLiteral("Check data before lock"),
             s.CheckDataBeforeLock, {});
  enabledMs(general, gGeneral, "TmpBanTime", QStringLiteral("Temporary ban on kick"),
            s.TmpBanTime, true);
  enabledMs(general, gGeneral, "IdleTimeOut", QStringLiteral("Drop non responding"),
            s.IdleTimeOut, true);
  enabledMs(general, gGeneral, "HandshakeTimeOut", QStringLiteral("Handshake timeout"),
            s.HandshakeTimeOut, false);
  enabledInt(general, gGeneral, "MaxAmountAuthorizing", QStringLiteral("Max authorizing"),
             s.MaxAmountAuthorizing, {});
  enabledInt(general, gGeneral, "MaxAmountOfSameIP", QStringLiteral("Max authorizing same IP"),
             s.MaxAmountOfSameIP, {});

  QGroupBox* autoBan = NewGroup(page_, QStringLiteral("Auto ban"));
  auto countHours = [&](const char* key, const QString& caption, TCountPerHours& value) {
    auto* box = NewCheck(autoBan, Name("chk", key).constData(), caption);
    auto* count = NewSpin(autoBan, Name("se", key).constData(), 0, kMaxCount);
    auto* hours = NewSpin(autoBan, Name("se", key).append("Hours").constData(), 0, kMaxCount);
    const int r = row(autoBan, box, count, {});
    Grid(autoBan)->addWidget(hours, r, 2);
    Grid(autoBan)->addWidget(new QLabel(QStringLiteral("hours"), autoBan), r, 3);
    binder_.Check(gAutoBan, box, value.Enabled);
    binder_.Spin(gAutoBan, count, value.Count);
    binder_.Spin(gAutoBan, hours, value.Hours);
  };
  countHours("AutoBanOnKick", QStringLiteral("Ban on kick no."), s.AutoBanOnKick);
  countHours("AutoBanIncorrectPassword", QStringLiteral("Ban on incorrect pass no."),
             s.AutoBanIncorrectPassword);

  QGroupBox* spam = NewGroup(page_, QStringLiteral("Spam"));
  auto gate = [&](const char* key, const QString& caption, TCountPerInterval& value) {
    auto* box = NewCheck(spam, Name("chk", key).constData(), caption);
    auto* count = NewSpin(spam, Name("se", key).constData(), 0, kMaxCount);
    auto* seconds = NewSpin(spam, Name("se", key).append("Seconds").constData(), 0, kMaxSeconds);
    const int r = row(spam, box, count, {});
    Grid(spam)->addWidget(seconds, r, 2);
    Grid(spam)->addWidget(new QLabel(QStringLiteral("seconds"), spam), r, 3);
    binder_.TriState(gSpam, box, value.State);
    binder_.Spin(gSpam, count, value.Count);
    binder_.SpinMs(gSpam, seconds, value.Interval, 1000);
  };
  gate("MyINFOSpamCheck", QStringLiteral("New MyINFOs"), s.MyINFOSpamCheck);
  gate("SearchSpamMaxCount", QStringLiteral("Searching"), s.SearchSpamMaxCount);
  gate("MainChatSpamMaxCount", QStringLiteral("Mainchat"), s.MainChatSpamMaxCount);
  gate("NickListSpamCheck", QStringLiteral("Nicklist"), s.NickListSpamCheck);
  gate("PMSpamCheck", QStringLiteral("Private messages"), s.PMSpamCheck);
  auto* warnings = NewSpin(spam, "seMaxSpamWarnings", 0, kMaxCount);
  const int r = Grid(spam)->rowCount();
  Grid(spam)->addWidget(new QLabel(QStringLiteral("Max warnings"), spam), r, 0);
  Grid(spam)->addWidget(warnings, r, 1);
  binder_.Spin(gSpam, warnings, s.MaxSpamWarnings);
  enabledInt(spam, gSpam, "JunkData", QStringLiteral("Junk data"), s.JunkData,
             QStringLiteral("bytes"));
  enabledInt(spam, gSpam, "JunkDataDK", QStringLiteral("Junk data directkick"), s.JunkDataDK,
             QStringLiteral("bytes"));

  QGroupBox* trace = NewGroup(page_, QStringLiteral("Share trace"));
  flag(trace, gShareTrace, "chkUseShareTrace", QStringLiteral("Enable share trace"),
       s.UseShareTrace);
  flag(trace, gShareTrace, "chkShareTraceNotifyShareUpdate",
       QStringLiteral("Notify on share update"), s.ShareTraceNotifyShareUpdate);
  enabledInt(trace, gShareTrace, "ShareTraceAutoPruneHours", QStringLiteral("Autoprune"),
             s.ShareTraceAutoPruneHours, QStringLiteral("hours"));

  columns->addWidget(general, 0, 0);
  columns->addWidget(autoBan, 1, 0);
  columns->addWidget(spam, 0, 1);
  columns->addWidget(trace, 1, 1);
  columns->setRowStretch(2, 1);
}

void TSecurityGui::ShowSettings() {
  for (const TGroup group : {gAutoBan, gGeneral, gSpam, gShareTrace}) binder_.Show(group);
}
