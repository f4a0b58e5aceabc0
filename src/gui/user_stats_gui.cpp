#include "gui/user_stats_gui.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <string>

#include "base/date_time.h"
#include "core/kavro_root.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "settings/settings.h"
#include "stats/user_stats_mysql.h"

namespace {

QLineEdit* Edit(const char* name, const char* hint = nullptr) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromLatin1(name));
  if (hint != nullptr) edit->setToolTip(QString::fromLatin1(hint));
  return edit;
}

// The port box as a number; 3306 when it holds none.
int PortFromText(const QString& text) {
  bool ok = false;
  const int port = text.trimmed().toInt(&ok);
  return ok ? port : 3306;
}

}  // namespace

TUserStatsGui::TUserStatsGui(TMainGui& gui)
    : gui_(gui), stats_(dynamic_cast<TUserStatsModule*>(&gui.Root().UserStats())) {
  Build();
  if (stats_ != nullptr) stats_->SetView(this);
}

TUserStatsGui::~TUserStatsGui() {
  *alive_ = false;
  if (stats_ != nullptr) stats_->SetView(nullptr);
}

TSettings& TUserStatsGui::Settings() const { return gui_.Root().Settings(); }

void TUserStatsGui::Build() {
  page_ = new QWidget;
  auto* layout = new QVBoxLayout(page_);
  auto* group = new QGroupBox(QStringLiteral("Userstats"));
  auto* form = new QVBoxLayout(group);
  disabled_ = new QRadioButton(QStringLiteral("Disable userstats"));
  disabled_->setObjectName(QStringLiteral("rbUserStatsDisabled"));
  disabled_->setToolTip(QStringLiteral("Don't store user data at all"));
  local_ = new QRadioButton(QStringLiteral("Store locally (not persistent)"));
  local_->setObjectName(QStringLiteral("rbUserStatsLocal"));
  local_->setToolTip(
      QStringLiteral("Store user data in memory (will be cleared when the hub is restarted)"));
  mysql_ = new QRadioButton(QStringLiteral("Use MySQL"));
  mysql_->setObjectName(QStringLiteral("rbUserStatsMySQL"));
  mysql_->setToolTip(QStringLiteral("Store user data in a MySQL database"));
  mysql_->setEnabled(false);
  for (QRadioButton* radio : {disabled_, local_, mysql_}) form->addWidget(radio);

  auto* database = new QGroupBox(QStringLiteral("MySQL"));
  auto* fields = new QFormLayout(database);
  host_ = Edit("edtMySQLHost",
               "Host address (usually localhost, if MySQL is running on the local server)");
  port_ = Edit("edtMySQLPort", "(Default port for MySQL is 3306)");
  port_->setText(QStringLiteral("3306"));
  user_ = Edit("edtMySQLUser");
  password_ = Edit("edtMySQLPassword");
  password_->setEchoMode(QLineEdit::Password);
  database_ = Edit("edtMySQLDatabase", "Name of the MySQL database to use for user data");
  fields->addRow(QStringLiteral("Host"), host_);
  fields->addRow(QStringLiteral("Port"), port_);
  fields->addRow(QStringLiteral("User"), user_);
  fields->addRow(QStringLiteral("Password"), password_);
  fields->addRow(QStringLiteral("Database"), database_);
  tryConnect_ = new QPushButton(QStringLiteral("Try connect"));
  tryConnect_->setObjectName(QStringLiteral("btnTryConnect"));
  connection_ = new QLabel(QStringLiteral("None"));
  connection_->setObjectName(QStringLiteral("lblConnection"));
  auto* connect = new QHBoxLayout;
  connect->addWidget(tryConnect_);
  connect->addWidget(new QLabel(QStringLiteral("Connection:")));
  connect->addWidget(connection_);
  fields->addRow(connect);
  form->addWidget(database);

  auto* pruneRow = new QHBoxLayout;
  prune_ = new QCheckBox(QStringLiteral("Prune"));
  prune_->setObjectName(QStringLiteral("chkPrune"));
  prune_->setToolTip(QStringLiteral("Automatically remove old user data"));
  prune_->setChecked(true);
  pruneDays_ = new QSpinBox;
  pruneDays_->setObjectName(QStringLiteral("sePruneDays"));
  pruneDays_->setRange(1, 999);
  pruneDays_->setValue(7);
  pruneRow->addWidget(prune_);
  pruneRow->addWidget(pruneDays_);
  pruneRow->addWidget(new QLabel(QStringLiteral("days old entries")));
  pruneRow->addStretch();
  form->addLayout(pruneRow);

  auto* counts = new QGroupBox(QStringLiteral("Stats"));
  auto* countForm = new QFormLayout(counts);
  oldest_ = new QLabel;
  oldest_->setObjectName(QStringLiteral("lblOldestEntry"));
  nicks_ = new QLabel;
  nicks_->setObjectName(QStringLiteral("lblNickEntries"));
  ips_ = new QLabel;
  ips_->setObjectName(QStringLiteral("lblIPEntries"));
  countForm->addRow(QStringLiteral("Oldest entry:"), oldest_);
  countForm->addRow(QStringLiteral("Nick entries:"), nicks_);
  countForm->addRow(QStringLiteral("IP entries:"), ips_);
  form->addWidget(counts);
  clear_ = new QPushButton(QStringLiteral("Clear userstats"));
  clear_->setObjectName(QStringLiteral("btnClearUserStats"));
  clear_->setToolTip(QStringLiteral(
      "Clear all saved user data (this will not clear entries assosiated with an online user)"));
  form->addWidget(clear_);
  layout->addWidget(group);
  layout->addStretch();

  // Each control stores its own field only.
  const auto guarded = [this](auto fn) {
    return [this, fn](auto&&...) {
      if (!busy_) GuardSlot(fn);
    };
  };
  for (QRadioButton* radio : {disabled_, local_, mysql_})
    QObject::connect(radio, &QRadioButton::toggled, &guard_, [this, guarded](bool checked) {
      if (checked) guarded([this] { ModeChosen(); })();
    });
  QObject::connect(prune_, &QCheckBox::toggled, &guard_, guarded([this] { PruneToggled(); }));
  QObject::connect(pruneDays_, &QSpinBox::valueChanged, &guard_,
                   guarded([this] { Settings().UserStatsAutoPrune.Value = pruneDays_->value(); }));
  const auto text = [this, guarded](QLineEdit* edit, std::string TSettings::*field) {
    QObject::connect(edit, &QLineEdit::textChanged, &guard_,
                     guarded([this, edit, field] { Settings().*field = BytesFromText(edit->text()); }));
  };
  text(host_, &TSettings::UserStatsMySQLHost);
  text(user_, &TSettings::UserStatsMySQLUser);
  text(password_, &TSettings::UserStatsMySQLPassword);
  text(database_, &TSettings::UserStatsMySQLDatabase);
  QObject::connect(port_, &QLineEdit::textChanged, &guard_,
                   guarded([this] { Settings().UserStatsMySQLPort = PortFromText(port_->text()); }));
  QObject::connect(tryConnect_, &QPushButton::clicked, &guard_, [this] { GuardSlot([this] { TryConnect(); }); });
  QObject::connect(clear_, &QPushButton::clicked, &guard_, [this] {
    GuardSlot([this] {
      if (gui_.Dialogs().Confirm(QStringLiteral("Are you sure you wish to delete all userstats entires?")))
        ClearUserStats();
    });
  });
}

void TUserStatsGui::ShowSettings() {
  {
    TBusyScope busy(busy_);
    const TSettings& s = Settings();
    (s.UserStatsType == 1 ? local_ : s.UserStatsType == 2 ? mysql_ : disabled_)->setChecked(true);
    prune_->setChecked(s.UserStatsAutoPrune.Enabled);
    pruneDays_->setValue(s.UserStatsAutoPrune.Value);
    host_->setText(TextFromBytes(s.UserStatsMySQLHost));
    port_->setText(QString::number(s.UserStatsMySQLPort));
    user_->setText(TextFromBytes(s.UserStatsMySQLUser));
    password_->setText(TextFromBytes(s.UserStatsMySQLPassword));
    database_->setText(TextFromBytes(s.UserStatsMySQLDatabase));
    if (stats_ != nullptr && s.UserStatsType == 2) ShowConnection(stats_->MySQL().Connected());
    // The database held by the start-up but given up since: memory it is.
    if (stats_ != nullptr && s.UserStatsType == 2 && &stats_->Active() != &stats_->MySQL())
      local_->setChecked(true);
  }
  ShowCounts();
}

void TUserStatsGui::ShowCounts() {
  const int mode = Settings().UserStatsType;
  if (mode == 0 || stats_ == nullptr) {
    oldest_->setText(QStringLiteral("[None]"));
    nicks_->setText(QStringLiteral("0"));
    ips_->setText(QStringLiteral("0"));
    return;
  }
  const TUserStats& active = stats_->Active();
  oldest_->setText(QString::fromStdString(FormatDate(active.OldestEntry())));
  nicks_->setText(QString::number(active.NickCount()));
  ips_->setText(QString::number(active.IPCount()));
}

// The settings keep the database as the choice, so the next start tries it
// again; the page shows where the statistics are now.
void TUserStatsGui::SwitchToLocal() {
  TBusyScope busy(busy_);
  if (Settings().UserStatsType == 2) local_->setChecked(true);
  ShowConnection(false);
  ShowCounts();
}

void TUserStatsGui::ShowConnection(bool connected) {
  mysql_->setEnabled(connected);
  connection_->setText(connected ? QStringLiteral("Connected") : QStringLiteral("Not connected"));
  connection_->setStyleSheet(connected ? QStringLiteral("color: green")
                                       : QStringLiteral("color: red"));
}

void TUserStatsGui::ModeChosen() {
  const int mode = local_->isChecked() ? 1 : mysql_->isChecked() ? 2 : 0;
  TSettings& s = Settings();
  if (mode != s.UserStatsType) {
    s.UserStatsType = mode;
    if (mode != 0 && stats_ != nullptr) stats_->Select(mode);
  }
  ShowCounts();
}

void TUserStatsGui::PruneToggled() {
  TEnabledInt& prune = Settings().UserStatsAutoPrune;
  const bool was = prune.Enabled;
  prune.Enabled = prune_->isChecked();
  if (!was && prune.Enabled) PruneNow();
}

void TUserStatsGui::PruneNow() {
  if (stats_ != nullptr) stats_->Prune(Settings().UserStatsAutoPrune.Value);
}

void TUserStatsGui::ClearUserStats() {
  if (stats_ != nullptr) stats_->Clear();
}

// The answer comes from the statistics worker; until then the button stays
// off so one test runs at a time.
void TUserStatsGui::TryConnect() {
  if (stats_ == nullptr) return;
  tryConnect_->setEnabled(false);
  std::weak_ptr<bool> alive = alive_;
  stats_->TryConnect([this, alive](bool connected) {
    if (alive.expired() || !*alive.lock()) return;
    tryConnect_->setEnabled(true);
    ShowConnection(connected);
    if (!connected && !stats_->MySQL().ConnectionError().empty())
      gui_.Dialogs().Inform(TextFromBytes(stats_->MySQL().ConnectionError()),
                            TDialogs::TKind::Warning);
    ShowCounts();
  });
}
