#include "gui/hub_list_gui.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "base/case_tables.h"
#include "base/exceptions.h"
#include "core/hub_list.h"
#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/state_icons.h"
#include "gui/text_1252.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "utils/text_format.h"

namespace {

const QString kDefaultPort = QStringLiteral("2501");
const QString kPortMessage =
    QStringLiteral("The host port has to be an integer value between 1 and 65535.");
const QString kNameTaken =
    QStringLiteral("A host with this name does already exist, please change name");

// 1..65535 in plain decimal digits; anything else is refused.
bool ParsePort(const QString& text, int& port) {
  if (text.isEmpty() || text.size() > 5) return false;
  for (const QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  port = text.toInt();
  return port >= 1 && port <= 65535;
}

QCheckBox* Box(const QString& caption, const QString& name, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QLineEdit* Field(const QString& name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  return field;
}

}  // namespace

int HostRowImage(const THost& host, bool selectedInFocus) {
  int image = 0;
  if (host.Failed) {
    image = host.State == hsFinished ? 4 : host.State == hsConnecting ? 1 : 2;
  } else {
    image = host.State != hsWaiting ? 3 : 0;
  }
  return image + (selectedInFocus ? 5 : 0);
}

THubListGui::THubListGui(TKavroRoot& root, TDialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      root_(root),
      dialogs_(dialogs),
      list_(new QTreeWidget(this)),
      registration_(Box(QStringLiteral("Enable hublist registrations"),
                        QStringLiteral("cbHubRegistration"), this)),
      name_(Field(QStringLiteral("edtHostName"), this)),
      description_(Field(QStringLiteral("edtHostDescription"), this)),
      host_(Field(QStringLiteral("edtHostAddress"), this)),
      port_(Field(QStringLiteral("edtHostPort"), this)),
      enabled_(Box(QStringLiteral("Use this public registration server"),
                   QStringLiteral("cbHostEnabled"), this)),
      mayConnect_(Box(QStringLiteral("Allow pinger to connect to other users"),
                      QStringLiteral("cbHostMayConnect"), this)),
      nickPatternOn_(Box(QStringLiteral("Use a nick/nick pattern for hublist pinger:"),
                         QStringLiteral("cbHostNickPattern"), this)),
      nickPattern_(Field(QStringLiteral("edtHostNickPattern"), this)),
      ipPatternOn_(Box(QStringLiteral("Use a IP/IP pattern for hublist pinger:"),
                       QStringLiteral("cbHostIPPattern"), this)),
      ipPattern_(Field(QStringLiteral("edtHostIPPattern"), this)),
      dns_(Box(QStringLiteral("Use host DNS to update pinger IP:"), QStringLiteral("cbHostDNS"),
               this)),
      nmdcs_(Box(QStringLiteral("Allow send nmdcs address"), QStringLiteral("cbHostNmdcs"), this)),
      lastAttempt_(new QLabel(this)),
      save_(new QPushButton(QStringLiteral("Save"), this)),
      saveAs_(new QPushButton(QStringLiteral("Save As"), this)) {
  setObjectName(QStringLiteral("HubListGui"));
  list_->setObjectName(QStringLiteral("lvHosts"));
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Description")});
  list_->setRootIsDecorated(false);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  list_->viewport()->installEventFilter(this);
  images_ = new TStateImages(*list_, TStateImageSet::HubList);
  auto* remove = new QAction(QStringLiteral("&Remove"), list_);
  remove->setObjectName(QStringLiteral("actRemoveHost"));
  remove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  list_->addAction(remove);
  lastAttempt_->setObjectName(QStringLiteral("lblLastAttempt"));
  save_->setObjectName(QStringLiteral("btnHostSave"));
  saveAs_->setObjectName(QStringLiteral("btnHostSaveAs"));

  auto* group = new QGroupBox(QStringLiteral("Manage Hublist server"), this);
  auto* form = new QFormLayout(group);
  form->addRow(QStringLiteral("Name"), name_);
  form->addRow(QStringLiteral("Description"), description_);
  form->addRow(QStringLiteral("Host (DNS/IP)"), host_);
  form->addRow(QStringLiteral("Port"), port_);
  form->addRow(enabled_);
  form->addRow(mayConnect_);
  form->addRow(nickPatternOn_, nickPattern_);
  form->addRow(ipPatternOn_, ipPattern_);
  form->addRow(dns_);
  form->addRow(nmdcs_);
  form->addRow(QStringLiteral("Last attempt:"), lastAttempt_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(saveAs_);
  form->addRow(buttons);
  auto* right = new QVBoxLayout;
  right->addWidget(registration_);
  right->addWidget(group);
  right->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(right, 1);

  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            if (busy_ || current == nullptr) return;
            const QString name = current->data(0, Qt::UserRole).toString();
            GuardSlot([this, &name] { SelectHost(name); });
          });
  connect(save_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Save(false); }); });
  connect(saveAs_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Save(true); }); });
  connect(remove, &QAction::triggered, this, [this] { GuardSlot([this] { RemoveSelected(); }); });
  connect(registration_, &QCheckBox::toggled, this, [this](bool on) {
    if (busy_) return;
    GuardSlot([this, on] {
      root_.Settings().HubRegistration = on;
      if (on)
        root_.HubList().Start();
      else
        root_.HubList().Stop();
    });
  });
  for (QLineEdit* field : {name_, description_, host_, port_, nickPattern_, ipPattern_})
    connect(field, &QLineEdit::textChanged, this, [this] { IdleRefresh(); });
  for (QCheckBox* box : {enabled_, mayConnect_, nickPatternOn_, ipPatternOn_, dns_, nmdcs_})
    connect(box, &QCheckBox::toggled, this, [this] { IdleRefresh(); });

  Initialize();
  root_.HubList().Hosts().SetView(this);
}

THubListGui::~THubListGui() { root_.HubList().Hosts().SetView(nullptr); }

THost* THubListGui::Edited() const {
  return edited_ ? root_.HubList().Hosts().Find(*edited_) : nullptr;
}

QString THubListGui::EditedName() const {
  return edited_ ? TextFromBytes(*edited_) : QString();
}

void THubListGui::ClearFields() {
  TBusyScope busy(busy_);
  for (QLineEdit* field : {name_, description_, host_, nickPattern_, ipPattern_}) field->clear();
  port_->setText(kDefaultPort);
  for (QCheckBox* box : {mayConnect_, nickPatternOn_, ipPatternOn_, dns_, nmdcs_})
    box->setChecked(false);
  enabled_->setChecked(true);
  lastAttempt_->setText(
      TextFromBytes(root_.Language().Text(TLanguageKey::DefaultLastAttempt)));
  lastAttempt_->setStyleSheet(QStringLiteral("color: black;"));
  IdleRefresh();
}

void THubListGui::Initialize() {
  edited_.reset();
  ClearFields();
}

void THubListGui::Show() {
  {
    TBusyScope busy(busy_);
    registration_->setChecked(root_.Settings().HubRegistration);
  }
  RefreshList();
  // The language may have changed since the fields were cleared.
  if (Edited() == nullptr)
    lastAttempt_->setText(TextFromBytes(root_.Language().Text(TLanguageKey::DefaultLastAttempt)));
}

QTreeWidgetItem* THubListGui::Row(const std::string& name) const {
  const QString key = TextFromBytes(name);
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->data(0, Qt::UserRole).toString() == key)
      return list_->topLevelItem(i);
  return nullptr;
}

void THubListGui::FillRow(QTreeWidgetItem& row, const THost& host) {
  row.setData(0, Qt::UserRole, TextFromBytes(host.Name));
  row.setText(0, TextFromBytes(host.Name));
  row.setText(1, TextFromBytes(host.Description));
  images_->SetState(row, HostRowImage(host, false));
}

void THubListGui::RefreshList() {
  TBusyScope busy(busy_);
  list_->setUpdatesEnabled(false);
  list_->clear();
  THostList& hosts = root_.HubList().Hosts();
  for (int i = 0; i < hosts.GetCount(); ++i) {
    auto* row = new QTreeWidgetItem;
    FillRow(*row, *hosts.GetHost(i));
    list_->addTopLevelItem(row);
  }
  // The edited host by its own name: the field may hold an unsaved rename.
  if (const THost* edited = Edited()) {
    edited_ = edited->Name;
    list_->setCurrentItem(Row(edited->Name));
    ShowStatus(*edited);
  } else {
    edited_.reset();
  }
  list_->setUpdatesEnabled(true);
  IdleRefresh();
}

void THubListGui::UpdateHost(const THost& host) {
  QTreeWidgetItem* row = Row(host.Name);
  if (row == nullptr) {
    TBusyScope busy(busy_);
    row = new QTreeWidgetItem;
    list_->addTopLevelItem(row);
  }
  FillRow(*row, host);
  if (edited_ && *edited_ == host.Name) ShowStatus(host);
}

void THubListGui::RemoveHost(const THost& host) {
  if (edited_ && SameText(*edited_, host.Name)) Initialize();
  TBusyScope busy(busy_);
  delete Row(host.Name);
}

void THubListGui::ShowStatus(const THost& host) {
  lastAttempt_->setText(TextFromBytes(host.Status));
  const char* colour = host.Failed ? "red" : host.State != hsWaiting ? "green" : "black";
  lastAttempt_->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colour)));
}

void THubListGui::LoadFields(const THost& host) {
  TBusyScope busy(busy_);
  edited_ = host.Name;
  name_->setText(TextFromBytes(host.Name));
  description_->setText(TextFromBytes(host.Description));
  host_->setText(TextFromBytes(host.Host));
  port_->setText(QString::number(host.Port));
  enabled_->setChecked(host.Enabled);
  mayConnect_->setChecked(host.MayConnectToOtherUsers);
  nickPatternOn_->setChecked(host.BotNickPatternEnabled);
  nickPattern_->setText(TextFromBytes(host.BotNickPattern));
  ipPatternOn_->setChecked(host.BotIPPatternEnabled);
  ipPattern_->setText(TextFromBytes(host.BotIPPattern));
  dns_->setChecked(host.UpdateBotIPWithDNS);
  nmdcs_->setChecked(host.SupportsNmdcs);
  ShowStatus(host);
  IdleRefresh();
}

bool THubListGui::Changed(const THost& host) const {
  return name_->text().toLower() != TextFromBytes(host.Name).toLower() ||
         enabled_->isChecked() != host.Enabled ||
         description_->text() != TextFromBytes(host.Description) ||
         host_->text() != TextFromBytes(host.Host) ||
         port_->text() != QString::number(host.Port) ||
         mayConnect_->isChecked() != host.MayConnectToOtherUsers ||
         nickPatternOn_->isChecked() != host.BotNickPatternEnabled ||
         nickPattern_->text() != TextFromBytes(host.BotNickPattern) ||
         ipPatternOn_->isChecked() != host.BotIPPatternEnabled ||
         dns_->isChecked() != host.UpdateBotIPWithDNS ||
         ipPattern_->text() != TextFromBytes(host.BotIPPattern) ||
         nmdcs_->isChecked() != host.SupportsNmdcs;
}

void THubListGui::CopyFields(THost& host) const {
  int port = 0;
  ParsePort(port_->text(), port);
  host.Enabled = enabled_->isChecked();
  host.Description = BytesFromText(description_->text());
  host.Host = BytesFromText(host_->text());
  host.Port = port;
  host.MayConnectToOtherUsers = mayConnect_->isChecked();
  host.BotNickPatternEnabled = nickPatternOn_->isChecked();
  host.BotNickPattern = BytesFromText(nickPattern_->text());
  host.BotIPPatternEnabled = ipPatternOn_->isChecked();
  host.BotIPPattern = BytesFromText(ipPattern_->text());
  host.UpdateBotIPWithDNS = dns_->isChecked();
  host.SupportsNmdcs = nmdcs_->isChecked();
  if (copyCheck_) copyCheck_(host);
}

void THubListGui::SelectHost(const QString& name) {
  if (THost* edited = Edited(); edited != nullptr && Changed(*edited)) {
    if (dialogs_.Confirm(QStringLiteral("Changes has been made to loaded host, do you wish to "
                                        "\r\nsave those before loading another host?"))) {
      Save(false);
      TBusyScope busy(busy_);
      if (const THost* kept = Edited()) list_->setCurrentItem(Row(kept->Name));
      return;
    }
  }
  // The question let the loop run: the host may be gone.
  const THost* host = root_.HubList().Hosts().Find(BytesFromText(name));
  if (host != nullptr) LoadFields(*host);
}

void THubListGui::Save(bool asNew) {
  const THost* edited = Edited();
  if (edited != nullptr && !Changed(*edited)) return;
  Store(asNew);
  IdleRefresh();
}

void THubListGui::Store(bool asNew) {
  int port = 0;
  if (!ParsePort(port_->text(), port)) {
    dialogs_.Inform(kPortMessage, TDialogs::TKind::Information);
    return;
  }
  THostList& hosts = root_.HubList().Hosts();
  THost* edited = Edited();
  const std::string name = BytesFromText(name_->text());
  if (!asNew && edited != nullptr && name != edited->Name) {
    if (!hosts.Rename(*edited, name)) {
      dialogs_.Inform(kNameTaken, TDialogs::TKind::Information);
      return;
    }
    edited_ = edited->Name;
  }
  THost* existing = hosts.Find(name);
  if (existing != nullptr && existing != edited) {
    dialogs_.Inform(kNameTaken, TDialogs::TKind::Information);
    return;
  }
  if (existing != nullptr) {
    try {
      CopyFields(*existing);
    } catch (const std::exception& e) {
      RefreshList();
      throw EGUIException("GUI.HubList.Update", e.what());
    }
    root_.ReportGUI(FormatText("The host %s has been saved via GUI", name));
  } else {
    THost* added = hosts.Add(name);
    try {
      CopyFields(*added);
    } catch (const std::exception& e) {
      // A half-filled host must not stay behind.
      hosts.Delete(name);
      RefreshList();
      throw EGUIException("GUI.HubList.Add", e.what());
    }
    edited_ = added->Name;
    root_.ReportGUI(FormatText("The host %s has been added via GUI", name));
  }
  hosts.RebuildPatterns();
  SaveHosts();
  RefreshList();
}

void THubListGui::SaveHosts() {
  TSettingsFileWatcher& watcher = root_.SettingsWatcher();
  watcher.Suspend();
  if (root_.HubList().Hosts().Save())
    watcher.NoteOwnSave(TSettingsFileSet::FileName(TSettingsList::HubLists));
  watcher.Resume();
}

void THubListGui::RemoveSelected() {
  const QTreeWidgetItem* row = list_->currentItem();
  if (row == nullptr) return;
  const std::string name = BytesFromText(row->data(0, Qt::UserRole).toString());
  if (!dialogs_.Confirm(QStringLiteral("Are you really sure you wish to delete this host?")))
    return;
  THostList& hosts = root_.HubList().Hosts();
  // The question let the loop run: a reload may have taken the host away.
  const THost* host = hosts.Find(name);
  if (host == nullptr) return;
  const std::string stored = host->Name;
  const int index = list_->indexOfTopLevelItem(Row(stored));
  root_.ReportGUI(FormatText("The host %s was removed via GUI", stored));
  hosts.Delete(stored);  // the view drops the row and the edited host
  hosts.RebuildPatterns();
  SaveHosts();
  const int count = list_->topLevelItemCount();
  if (count > 0) {
    TBusyScope busy(busy_);
    list_->setCurrentItem(list_->topLevelItem(std::min(std::max(index, 0), count - 1)));
  }
}

void THubListGui::ClickEmpty() {
  const THost* edited = Edited();
  if (edited == nullptr || Changed(*edited)) return;
  {
    TBusyScope busy(busy_);
    list_->setCurrentItem(nullptr);
    list_->clearSelection();
  }
  Initialize();
}

void THubListGui::IdleRefresh() {
  const THost* edited = Edited();
  const bool named = !name_->text().isEmpty();
  save_->setEnabled(edited != nullptr && named);
  saveAs_->setEnabled(named && (edited == nullptr || name_->text() != TextFromBytes(edited->Name)));
}

bool THubListGui::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (list_->itemAt(mouse->position().toPoint()) == nullptr)
      GuardSlot([this] { ClickEmpty(); });
  }
  return QWidget::eventFilter(watched, event);
}
