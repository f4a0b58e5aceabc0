#include "gui/settings_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>
#include <utility>

#include "core/hub_core.h"
#include "core/hub_list.h"
#include "core/kavro_root.h"
#include "core/port_entry.h"
#include "core/settings_file_set.h"
#include "gui/hublist_icon.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "gui/tray_icon.h"
#include "platform/tcp_listener.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

bool PortsChar(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
         c == QLatin1Char(':') || c == QLatin1Char(';');
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption,
                       const QString& hint = {}) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

template <class F>
void OnClick(QPushButton* button, F fn) {
  QObject::connect(button, &QPushButton::clicked, button, [fn] { GuardSlot(fn); });
}

}  // namespace

QString TPortsValidator::Filter(const QString& text) {
  QString kept;
  for (const QChar c : text)
    if (PortsChar(c)) kept.append(c);
  return kept;
}

QValidator::State TPortsValidator::validate(QString& input, int& pos) const {
  const QString before = input.left(pos);
  input = Filter(input);
  pos = static_cast<int>(Filter(before).size());
  return Acceptable;
}

TSettingsGui::TSettingsGui(TMainGui& gui)
    : gui_(gui), binder_("GUI.Settings.StoreSettings", [this](int) { StoreSettings(); }), lastSaved_(QDateTime::currentDateTime()) {
  ports_.OnAdded = [this](const std::string& entry) { AddPort(entry, false); };
  ports_.OnRemoved = [this](const std::string& entry) { RemovePort(entry); };
  securePorts_.OnAdded = [this](const std::string& entry) { AddPort(entry, true); };
  securePorts_.OnRemoved = [this](const std::string& entry) { RemovePort(entry); };
  Build();
  BindTable();
}

TSettingsGui::~TSettingsGui() = default;

void TSettingsGui::Build() {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("GeneralSettingsPage"));
  auto* columns = new QHBoxLayout(page_);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* hub = new QGroupBox(QStringLiteral("Hub"), page_);
  auto* hubGrid = new QGridLayout(hub);
  BuildIdentity(hub, hubGrid);
  left->addWidget(hub);

  auto* lists = new QGroupBox(QStringLiteral("Hublist registration"), page_);
  auto* listGrid = new QGridLayout(lists);
  BuildHubList(lists, listGrid);
  right->addWidget(lists);

  auto* program = new QGroupBox(QStringLiteral("Program"), page_);
  auto* programGrid = new QGridLayout(program);
  chkMinimizeToTray_ = NewCheck(program, "chkMinimizeToTray", QStringLiteral("Minimize to tray"));
  auto* autoSave = new QHBoxLayout;
  autoSave->addWidget(
      NewCheck(program, "chkAutoSaveSettings", QStringLiteral("Auto save settings every")));
  autoSave->addWidget(NewSpin(program, "seAutoSaveSettings", 1, 60000, 10));
  autoSave->addWidget(new QLabel(QStringLiteral("minutes"), program));
  autoSave->addStretch(1);
  programGrid->addWidget(NewCheck(program, "chkAutoStart", QStringLiteral("Autostart hub")), 0, 0);
  programGrid->addWidget(
      NewCheck(program, "chkPromptOnShutDown", QStringLiteral("Prompt on shutdown")), 0, 1, 1, 2);
  programGrid->addWidget(chkMinimizeToTray_, 1, 0);
  programGrid->addWidget(
      NewCheck(program, "chkAutoLoadSettings", QStringLiteral("Auto load settings on update")), 1,
      1, 1, 2);
  programGrid->addLayout(autoSave, 2, 0, 1, 3);
  auto* saveNow = NewButton(program, "btnSaveSettings", QStringLiteral("Save settings now"));
  auto* loadNow = NewButton(program, "btnLoadSettings", QStringLiteral("Load settings now"));
  auto* convert = NewButton(program, "btnConvertFromMurn", QStringLiteral("Convert from Murn"));
  programGrid->addWidget(saveNow, 3, 0);
  programGrid->addWidget(loadNow, 3, 1);
  programGrid->addWidget(convert, 3, 2);
  programGrid->addWidget(new QLabel(QStringLiteral("Last saved:"), program), 4, 0);
  lblLastSaved_ = new QLabel(program);
  lblLastSaved_->setObjectName(QStringLiteral("lblLastSaved"));
  programGrid->addWidget(lblLastSaved_, 4, 1, 1, 2);
  btnStartHub_ = NewButton(program, "btnSettingsStartHub", QStringLiteral("Start Hub"));
  btnStopHub_ = NewButton(program, "btnSettingsStopHub", QStringLiteral("Stop Hub"));
  programGrid->addWidget(btnStartHub_, 5, 0);
  programGrid->addWidget(btnStopHub_, 5, 1);
  right->addWidget(program);

  languageGroup_ = new QGroupBox(QStringLiteral("Language"), page_);
  languageGroup_->setObjectName(QStringLiteral("gbLanguage"));
  // Under the hub's fields: the right column is the taller one.
  left->addWidget(languageGroup_);
  right->addStretch(1);
  left->addStretch(1);

  OnClick(saveNow, [this] { SaveNow(); });
  OnClick(loadNow, [this] { LoadNow(); });
  OnClick(convert, [this] { gui_.ConvertFromMurn(); });
  OnClick(btnStartHub_, [this] { gui_.StartHubAction(); });
  OnClick(btnStopHub_, [this] { gui_.StopHubAction(); });
  // The page's buttons follow the menu's actions, which the start and stop
  // keep up to date.
  QAction* start = gui_.StartHubMenuAction();
  QAction* stop = gui_.StopHubMenuAction();
  auto follow = [this, start, stop] {
    btnStartHub_->setEnabled(start->isEnabled());
    btnStopHub_->setEnabled(stop->isEnabled());
  };
  QObject::connect(start, &QAction::changed, page_, follow);
  QObject::connect(stop, &QAction::changed, page_, follow);
  follow();
  QObject::connect(gui_.LockHubAction(), &QAction::triggered, page_,
                   [this] { GuardSlot([this] { StoreSettings(); }); });
}

void TSettingsGui::BuildIdentity(QWidget* parent, QGridLayout* grid) {
  int row = 0;
  auto line = [&](const QString& caption, QWidget* field, QWidget* extra = nullptr) {
    grid->addWidget(new QLabel(caption, parent), row, 0);
    grid->addWidget(field, row, 1);
    if (extra != nullptr) grid->addWidget(extra, row, 2);
    ++row;
  };
  edtHubName_ = NewEdit(parent, "edtHubName");
  auto* updateName = NewButton(parent, "btnUpdateHubName", QStringLiteral("Update"));
  line(QStringLiteral("Hub name:"), edtHubName_, updateName);
  line(QStringLiteral("Hub description:"), NewEdit(parent, "edtHubDescription"));
  line(QStringLiteral("Hub address:"), NewEdit(parent, "edtHubAddress"));

  auto* portsValidator = new TPortsValidator(parent);
  edtPorts_ = NewEdit(parent, "edtHubPorts");
  edtPorts_->setValidator(portsValidator);
  auto* updatePorts =
      NewButton(parent, "btnUpdatePorts", QStringLiteral("Update"),
                QStringLiteral("This will try to update the current listening ports if the hub "
                               "is running"));
  line(QStringLiteral("Ports:"), edtPorts_, updatePorts);
  chkNmdcs_ = NewCheck(parent, "chkNmdcs", QStringLiteral("Nmdcs"));
  edtNmdcsPorts_ = NewEdit(parent, "edtNmdcsPorts");
  edtNmdcsPorts_->setValidator(portsValidator);
  grid->addWidget(chkNmdcs_, row, 0);
  grid->addWidget(edtNmdcsPorts_, row, 1);
  ++row;

  auto* users = NewSpin(parent, "seMaxUsers", 0, 50000, 10);
  line(QStringLiteral("User limit:"), users);
  cbWorkPace_ = new QComboBox(parent);
  cbWorkPace_->setObjectName(QStringLiteral("cboSettingsWorkPace"));
  for (int i = TSettings::kMinWorkPace; i <= TSettings::kMaxWorkPace; ++i)
    cbWorkPace_->addItem(QString::number(i));
  line(QStringLiteral("Work pace:"), cbWorkPace_);

  edtBotName_ = NewEdit(parent, "edtBotName");
  edtBotDescription_ = NewEdit(parent, "edtBotDescription");
  edtBotEmail_ = NewEdit(parent, "edtBotEmail");
  auto* updateBot = NewButton(parent, "btnUpdateBotName", QStringLiteral("Update"));
  auto* updateDescription =
      NewButton(parent, "btnUpdateBotDescription", QStringLiteral("Update"));
  auto* updateEmail = NewButton(parent, "btnUpdateBotEmail", QStringLiteral("Update"));
  line(QStringLiteral("Hub bot name:"), edtBotName_, updateBot);
  line(QStringLiteral("Hub bot description:"), edtBotDescription_, updateDescription);
  line(QStringLiteral("Hub bot e-mail:"), edtBotEmail_, updateEmail);

  OnClick(updateName, [this] { UpdateHubName(); });
  OnClick(updatePorts, [this] { UpdatePorts(); });
  for (QPushButton* button : {updateBot, updateDescription, updateEmail})
    OnClick(button, [this] { UpdateBotFields(); });
}

void TSettingsGui::BuildHubList(QWidget* parent, QGridLayout* grid) {
  chkHubRegistration_ =
      NewCheck(parent, "chkHubRegistration", QStringLiteral("Enable hublist registrations"));
  grid->addWidget(chkHubRegistration_, 0, 0, 1, 3);
  const std::pair<const char*, QString> fields[] = {
      {"edtHubOwner", QStringLiteral("Owner")},
      {"edtHubCategory", QStringLiteral("Category")},
      {"edtHublistEmail", QStringLiteral("E-Mail")},
      {"edtHublistWeb", QStringLiteral("Web address")},
  };
  int row = 1;
  for (const auto& [name, caption] : fields) {
    grid->addWidget(new QLabel(caption, parent), row, 0);
    grid->addWidget(NewEdit(parent, name), row, 1, 1, 2);
    ++row;
  }
  edtHubIcon_ = NewEdit(parent, "edtHubIcon");
  auto* load = NewButton(parent, "btnLoadHubIcon", QStringLiteral("Load"));
  grid->addWidget(new QLabel(QStringLiteral("Hub Icon"), parent), row, 0);
  grid->addWidget(edtHubIcon_, row, 1);
  grid->addWidget(load, row, 2);
  imgHubIcon_ = new QLabel(parent);
  imgHubIcon_->setObjectName(QStringLiteral("imgHubIcon"));
  imgHubIcon_->setFixedSize(64, 64);
  grid->addWidget(imgHubIcon_, row + 1, 1);
  OnClick(load, [this] { LoadIcon(); });
}

void TSettingsGui::BindTable() {
  TSettings& s = gui_.Root().Settings();
  auto check = [&](const char* name, bool& value) {
    binder_.Check(0, page_->findChild<QCheckBox*>(QString::fromLatin1(name)), value);
  };
  auto text = [&](const char* name, std::string& value) {
    binder_.Text(0, page_->findChild<QLineEdit*>(QString::fromLatin1(name)), value);
  };
  check("chkAutoStart", s.AutoStart);
  check("chkPromptOnShutDown", s.PromptOnShutDown);
  check("chkMinimizeToTray", s.MinmizeToTray);
  check("chkHubRegistration", s.HubRegistration);
  check("chkAutoSaveSettings", s.AutoSaveSettings.Enabled);
  binder_.SpinMs(0, page_->findChild<QSpinBox*>(QStringLiteral("seAutoSaveSettings")),
                 s.AutoSaveSettings.Value, 60000);
  binder_.Check(
      0, page_->findChild<QCheckBox*>(QStringLiteral("chkAutoLoadSettings")),
      [&s] { return s.AutoLoadSettings(); }, [&s](bool on) { s.SetAutoLoadSettings(on); });
  binder_.Spin(0, page_->findChild<QSpinBox*>(QStringLiteral("seMaxUsers")), s.MaxUsers);
  text("edtHubDescription", s.HubDescription);
  binder_.Combo(
      0, cbWorkPace_, [&s] { return s.WorkPace(); }, [&s](int level) { s.SetWorkPace(level); });
  text("edtHubAddress", s.HubAddress);
  text("edtHubOwner", s.HubOwner);
  text("edtHubCategory", s.HubCategory);
  text("edtHublistEmail", s.HublistEmail);
  text("edtHublistWeb", s.HublistWeb);
  text("edtHubIcon", s.HublistIconAddress);
  binder_.Check(0, chkNmdcs_, s.NmdcsEnabled);
}

bool TSettingsGui::TlsAvailable() const {
  std::error_code error;
  return std::filesystem::exists(ProgramPath(kCertFolder, "cert.pem"), error) &&
         std::filesystem::exists(ProgramPath(kCertFolder, "cert_key.pem"), error);
}

// The lists hold what listens now, whoever opened it (the hub's start, an
// earlier "Update", a reloaded file): "Update" then opens and closes
// exactly the difference to the fields.
void TSettingsGui::SyncPortLists() {
  TKavroRoot& root = gui_.Root();
  THubCore& core = root.HubCore();
  auto quiet = [&](TStringPatternList& list, bool tls) {
    std::string text;
    for (int i = 0; i < core.ListenerCount(); ++i) {
      const TListener& listener = *core.ListenerAt(i);
      if (listener.Tls() != tls) continue;
      if (!text.empty()) text += ';';
      if (listener.BindAddress() != root.ListenAddress()) text += listener.BindAddress() + ':';
      text += std::to_string(listener.Port());
    }
    auto added = std::exchange(list.OnAdded, [](const std::string&) {});
    auto removed = std::exchange(list.OnRemoved, [](const std::string&) {});
    list.SetText(text);
    list.OnAdded = std::move(added);
    list.OnRemoved = std::move(removed);
  };
  quiet(ports_, false);
  quiet(securePorts_, true);
}

void TSettingsGui::Initialize() {
  initialized_ = true;
  ShowSettings();
}

void TSettingsGui::ShowSettings() {
  if (!initialized_) return Initialize();
  TSettings& s = gui_.Root().Settings();
  TBusyScope busy(binder_.BusyFlag());
  gui_.SetCaption();
  binder_.Show();
  tls_ = TlsAvailable();
  edtPorts_->setText(TextFromBytes(s.HubPorts));
  edtNmdcsPorts_->setText(TextFromBytes(s.NmdcsPorts));
  edtHubName_->setText(TextFromBytes(s.HubName()));
  edtBotName_->setText(TextFromBytes(s.BotName()));
  edtBotDescription_->setText(TextFromBytes(s.BotDescription()));
  edtBotEmail_->setText(TextFromBytes(s.BotEmail()));
  // The stored switch stays: TLS comes back once both files exist.
  if (!tls_) chkNmdcs_->setChecked(false);
  chkNmdcs_->setEnabled(tls_);
  edtNmdcsPorts_->setReadOnly(!tls_);
  edtNmdcsPorts_->setEnabled(tls_);
  THubList& hubList = gui_.Root().HubList();
  if (s.HubRegistration && !hubList.Active()) hubList.Start();
  if (!s.HubRegistration && hubList.Active()) hubList.Stop();
  gui_.Tray().SetEnabled(s.MinmizeToTray);
  ShowLastSaved();
}

void TSettingsGui::ShowWorkPace() { ShowWorkPace(gui_.Root().Settings().WorkPace()); }

void TSettingsGui::ShowWorkPace(int level) {
  TBusyScope busy(binder_.BusyFlag());
  cbWorkPace_->setCurrentIndex(level);
}

void TSettingsGui::ShowUserLimit() {
  TBusyScope busy(binder_.BusyFlag());
  page_->findChild<QSpinBox*>(QStringLiteral("seMaxUsers"))
      ->setValue(gui_.Root().Settings().MaxUsers);
}

void TSettingsGui::StoreSettings() {
  if (binder_.Busy()) return;
  TSettings& s = gui_.Root().Settings();
  const bool registration = s.HubRegistration;
  binder_.Store();
  ApplyLockRule();
  if (binder_.Touched(chkMinimizeToTray_)) {
    gui_.Tray().SetEnabled(s.MinmizeToTray);
    gui_.RefreshTray();
  }
  if (s.HubRegistration != registration) {
    THubList& hubList = gui_.Root().HubList();
    if (s.HubRegistration && !hubList.Active()) hubList.Start();
    if (!s.HubRegistration && hubList.Active()) hubList.Stop();
  }
}

// Ticked means the running hub does not listen.
void TSettingsGui::ApplyLockRule() {
  QAction* lock = gui_.LockHubAction();
  THubCore& core = gui_.Root().HubCore();
  if (!core.Started() && lock->isChecked()) lock->setChecked(false);
  if (!lock->isEnabled() || lock->isChecked() != core.Listening()) return;
  if (lock->isChecked()) {
    core.StopListening();
  } else if (!core.StartListening()) {
    lock->setChecked(true);
  }
}

void TSettingsGui::AddPort(const std::string& entry, bool tls) {
  TPortEntry parsed = ParsePortEntry(entry);
  if (parsed.Port < 0) return;
  if (parsed.Address.empty()) parsed.Address = gui_.Root().ListenAddress();
  gui_.Root().HubCore().AddListener(parsed.Port, parsed.Address, tls);
}

void TSettingsGui::RemovePort(const std::string& entry) {
  const int port = ParsePortEntry(entry).Port;
  if (port >= 0) gui_.Root().HubCore().RemoveListener(port);
}

void TSettingsGui::UpdatePorts() {
  TSettings& s = gui_.Root().Settings();
  SyncPortLists();
  ports_.SetText(BytesFromText(edtPorts_->text()));
  s.HubPorts = ports_.Text();
  if (s.NmdcsEnabled && tls_) {
    securePorts_.SetText(BytesFromText(edtNmdcsPorts_->text()));
    s.NmdcsPorts = securePorts_.Text();
  } else {
    securePorts_.SetText({});
  }
  THubCore& core = gui_.Root().HubCore();
  bool anyOpen = false;
  for (int i = 0; i < core.ListenerCount(); ++i) anyOpen = anyOpen || core.ListenerAt(i)->Listening();
  if (core.Started() && !anyOpen) {
    gui_.LockHubAction()->setChecked(true);
    core.StopListening();
  }
}

void TSettingsGui::UpdateHubName() {
  TSettings& s = gui_.Root().Settings();
  const std::string typed = BytesFromText(edtHubName_->text());
  if (typed == s.HubName()) return;
  s.SetHubName(typed);
  TBusyScope busy(binder_.BusyFlag());
  edtHubName_->setText(TextFromBytes(s.HubName()));
  gui_.SetCaption();
}

void TSettingsGui::UpdateBotFields() {
  TSettings& s = gui_.Root().Settings();
  TBusyScope busy(binder_.BusyFlag());
  const std::string name = BytesFromText(edtBotName_->text());
  if (name != s.BotName()) {
    s.SetBotName(name);
    edtBotName_->setText(TextFromBytes(s.BotName()));
  }
  const std::string description = BytesFromText(edtBotDescription_->text());
  if (description != s.BotDescription()) {
    s.SetBotDescription(description);
    edtBotDescription_->setText(TextFromBytes(s.BotDescription()));
  }
  const std::string email = BytesFromText(edtBotEmail_->text());
  if (email != s.BotEmail()) {
    s.SetBotEmail(email);
    edtBotEmail_->setText(TextFromBytes(s.BotEmail()));
  }
}

void TSettingsGui::SetLastSaved(const QDateTime& when) {
  lastSaved_ = when;
  ShowLastSaved();
}

void TSettingsGui::ShowLastSaved() {
  lblLastSaved_->setText(lastSaved_.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void TSettingsGui::SaveNow() {
  gui_.Root().SettingsFiles().SaveAll(true);
  SetLastSaved(QDateTime::currentDateTime());
}

void TSettingsGui::LoadNow() {
  gui_.Root().SettingsFiles().LoadAll(true);
  gui_.ShowAllPages();
}

void TSettingsGui::LoadIcon() {
  gui_.LoadhublistIcon(edtHubIcon_->text(), [this] {
    imgHubIcon_->setPixmap(QPixmap::fromImage(gui_.HublistIcon().Preview()));
  });
}
