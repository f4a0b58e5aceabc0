#include "gui/user_registered_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/kavro_root.h"
#include "gui/controls/adv_spin_edit.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "security/user_registered.h"
#include "settings/settings.h"
#include "utils/protocol_text.h"
#include "utils/text_format.h"

namespace {

QString DateTimeOrNever(TDateTime value) {
  return value == TDateTime{} ? QStringLiteral("[never]") : TextFromBytes(FormatDateTime(value));
}

}  // namespace

TUserRegisteredGui::TUserRegisteredGui(TMainGui& gui) : gui_(gui) { Build(); }

TUserRegisteredGui::~TUserRegisteredGui() = default;

void TUserRegisteredGui::Build() {
  page_ = new QWidget;
  page_->setObjectName("RegisterPage");
  page_->installEventFilter(this);
  auto* layout = new QVBoxLayout(page_);

  lvRegistered_ = new TSortedListView(page_);
  lvRegistered_->setObjectName("lvRegistered");
  lvRegistered_->setHeaderLabels({"Name", "Password", "Last used", "Created"});
  lvRegistered_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvRegistered_->setRootIsDecorated(false);
  lvRegistered_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(lvRegistered_, 1);

  auto* search = new QGroupBox("Search", page_);
  auto* searchRow = new QHBoxLayout(search);
  edtRegisteredSearch_ = new QLineEdit("*", search);
  edtRegisteredSearch_->setObjectName("edtRegisteredSearch");
  edtRegisteredSearch_->setToolTip("Use * as a wildcard (ex. \"nickname\", \"nickn*\")");
  seRegisteredOffset_ = new TAdvSpinEdit(search);
  seRegisteredOffset_->setObjectName("seRegisteredOffset");
  seRegisteredOffset_->SetMinValue(0);
  seRegisteredOffset_->SetMaxValue(100000);
  seRegisteredOffset_->SetValue(0);
  seRegisteredMaxHits_ = new TAdvSpinEdit(search);
  seRegisteredMaxHits_->setObjectName("seRegisteredMaxHits");
  seRegisteredMaxHits_->SetMinValue(0);
  seRegisteredMaxHits_->SetMaxValue(1000);
  seRegisteredMaxHits_->SetValue(500);
  btnSearch_ = new QPushButton("Search", search);
  btnSearch_->setObjectName("btnRegisteredSearch");
  searchRow->addWidget(edtRegisteredSearch_, 1);
  searchRow->addWidget(new QLabel("Offset", search));
  searchRow->addWidget(seRegisteredOffset_);
  searchRow->addWidget(new QLabel("Maxhits", search));
  searchRow->addWidget(seRegisteredMaxHits_);
  searchRow->addWidget(btnSearch_);
  layout->addWidget(search);

  auto* edit = new QGroupBox("Add/Edit", page_);
  auto* form = new QFormLayout(edit);
  edtRegisteredName_ = new QLineEdit(edit);
  edtRegisteredName_->setObjectName("edtRegisteredName");
  edtRegisteredPassword_ = new QLineEdit(edit);
  edtRegisteredPassword_->setObjectName("edtRegisteredPassword");
  btnAddSave_ = new QPushButton("Add/Save", edit);
  btnAddSave_->setObjectName("btnRegisteredSave");
  form->addRow("Name", edtRegisteredName_);
  form->addRow("Password", edtRegisteredPassword_);
  form->addRow(btnAddSave_);
  layout->addWidget(edit);

  chkRegisterEnable_ = new QCheckBox("Enable register (allows users to register their nicks)", page_);
  chkRegisterEnable_->setObjectName("chkRegisterEnable");
  chkRegisterEnable_->setToolTip("Enable users without accounts to register their nicknames");
  layout->addWidget(chkRegisterEnable_);

  menu_ = new QMenu(page_);
  actRemove_ = menu_->addAction("&Remove");
  actRemove_->setObjectName("actRegisteredRemove");

  connect(btnSearch_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Search(); }); });
  connect(btnAddSave_, &QPushButton::clicked, this, [this] { GuardSlot([this] { SaveEntry(); }); });
  connect(actRemove_, &QAction::triggered, this, [this] { GuardSlot([this] { DeleteSelected(); }); });
  connect(lvRegistered_, &QTreeWidget::itemSelectionChanged, this,
          [this] { GuardSlot([this] { SelectionChanged(); }); });
  connect(lvRegistered_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    actRemove_->setEnabled(!lvRegistered_->selectedItems().isEmpty());
    menu_->exec(lvRegistered_->viewport()->mapToGlobal(at));
  });
  connect(chkRegisterEnable_, &QCheckBox::toggled, this, [this](bool on) {
    if (!busy_) gui_.Root().Settings().AllowUsersToRegister = on;
  });
  ShowSettings();
}

bool TUserRegisteredGui::eventFilter(QObject* watched, QEvent* event) {
  // The users page shows the same switch: the page shows it fresh.
  if (watched == page_ && event->type() == QEvent::Show) ShowSettings();
  return QObject::eventFilter(watched, event);
}

void TUserRegisteredGui::ShowSettings() {
  TBusyScope busy(busy_);
  chkRegisterEnable_->setChecked(gui_.Root().Settings().AllowUsersToRegister);
}

void TUserRegisteredGui::Inform(const QString& text) {
  gui_.Dialogs().Inform(text, TDialogs::TKind::Information);
}

void TUserRegisteredGui::SetRowTexts(QTreeWidgetItem& row, const TUserRegItem& item) const {
  row.setText(1, TextFromBytes(item.Pass));
  row.setText(2, DateTimeOrNever(item.LastUsed));
  row.setText(3, TextFromBytes(FormatDateTime(item.Created)));
}

void TUserRegisteredGui::AddRow(const TUserRegItem& item) {
  QTreeWidgetItem* row = lvRegistered_->AddItem({TextFromBytes(item.Name)});
  SetRowTexts(*row, item);
}

void TUserRegisteredGui::Search() {
  TBusyScope busy(busy_);
  const TUserRegistered& registered = gui_.Root().Registered();
  std::string pattern = BytesFromText(edtRegisteredSearch_->text());
  if (pattern.empty()) pattern = "*";
  const TMatchRange range = registered.FindMatchRange(pattern);
  lvRegistered_->BeginUpdate();
  lvRegistered_->clear();
  if (range.last >= range.first) {
    int from = range.first;
    int count = 1;
    if (range.last > range.first) {
      from = range.first + seRegisteredOffset_->Value();
      count = std::min(range.last - range.first - seRegisteredOffset_->Value() + 1, seRegisteredMaxHits_->Value());
    }
    for (int i = 0; i < count; ++i) AddRow(registered.GetItem(from + i));
  }
  lvRegistered_->EndUpdate();
}

void TUserRegisteredGui::SelectionChanged() {
  if (busy_) return;
  const QList<QTreeWidgetItem*> rows = lvRegistered_->selectedItems();
  if (rows.isEmpty()) return;
  const TUserRegItem* item = gui_.Root().Registered().Find(BytesFromText(rows.front()->text(0)));
  if (item == nullptr) return;
  edtRegisteredName_->setText(TextFromBytes(item->Name));
  edtRegisteredPassword_->setText(TextFromBytes(item->Pass));
}

void TUserRegisteredGui::SaveEntry() {
  TUserRegistered& registered = gui_.Root().Registered();
  // Stored as the login will look for it.
  const std::string name = ProtocolSafeText(BytesFromText(edtRegisteredName_->text()));
  edtRegisteredName_->setText(TextFromBytes(name));
  const std::string pass = BytesFromText(edtRegisteredPassword_->text());
  if (name.empty()) {
    Inform("You'll have to specify a name");
    return;
  }
  if (pass.empty()) {
    Inform("You'll have to specify a password");
    return;
  }
  if (TUserRegItem* item = registered.Find(name)) {
    item->Pass = pass;
    if (QTreeWidgetItem* row = lvRegistered_->FindItem(TextFromBytes(item->Name))) SetRowTexts(*row, *item);
    gui_.Root().ReportGUI(FormatText("The registered user %s has been altered via GUI", item->Name));
    return;
  }
  TUserRegItem* item = registered.Add(name);
  if (item == nullptr) {
    Inform("You'll have to specify a name");
    return;
  }
  item->Pass = pass;
  gui_.Root().ReportGUI(FormatText("The registered user %s has been added via GUI", item->Name));
}

void TUserRegisteredGui::DeleteSelected() {
  const QList<QTreeWidgetItem*> rows = lvRegistered_->selectedItems();
  if (rows.isEmpty()) return;
  QTreeWidgetItem* row = rows.front();
  const int index = lvRegistered_->indexOfTopLevelItem(row);
  const std::string name = BytesFromText(row->text(0));
  TUserRegistered& registered = gui_.Root().Registered();
  if (const TUserRegItem* item = registered.Find(name)) {
    gui_.Root().ReportGUI(FormatText("The registered user %s has been deleted via GUI", item->Name));
    registered.Delete(name);
  }
  {
    TBusyScope busy(busy_);
    delete row;
  }
  const int count = lvRegistered_->Count();
  if (count > 0) {
    QTreeWidgetItem* next = lvRegistered_->Item(std::min(index, count - 1));
    lvRegistered_->clearSelection();
    next->setSelected(true);
    lvRegistered_->setCurrentItem(next);
  }
}
