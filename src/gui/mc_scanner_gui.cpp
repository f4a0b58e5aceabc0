#include "gui/mc_scanner_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTime>
#include <QTimeEdit>
#include <QTreeWidget>
#include <memory>

#include "core/kavro_root.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "utils/general.h"

namespace {

constexpr int kMinLevel = 1;
constexpr int kMaxLevel = 10;
constexpr char kOverlap[] =
    "The time range you've supplied is overlapping one of the current \r\nscanner actions which "
    "isn't allowed.";
constexpr char kAskDeleteAction[] = "Are you really sure you wish to delete this scanner action?";

// A window as one or two inclusive pieces of the day; untimed: all of it.
int Pieces(const TMCScannerItemAction& a, int (&from)[2], int (&to)[2]) {
  if (!a.UseTime) {
    from[0] = 0;
    to[0] = kLastSecondOfDay;
    return 1;
  }
  if (a.Start <= a.Stop) {
    from[0] = a.Start;
    to[0] = a.Stop;
    return 1;
  }
  from[0] = 0;
  to[0] = a.Stop;
  from[1] = a.Start;
  to[1] = kLastSecondOfDay;
  return 2;
}

// Touching ends meet; an action without a time range meets every other.
bool WindowsMeet(const TMCScannerItemAction& a, const TMCScannerItemAction& b) {
  int aFrom[2], aTo[2], bFrom[2], bTo[2];
  const int aCount = Pieces(a, aFrom, aTo);
  const int bCount = Pieces(b, bFrom, bTo);
  for (int i = 0; i < aCount; ++i)
    for (int j = 0; j < bCount; ++j)
      if (aFrom[i] <= bTo[j] && bFrom[j] <= aTo[i]) return true;
  return false;
}

int SecondsOf(const QTimeEdit* edit) { return edit->time().msecsSinceStartOfDay() / 1000; }
QTime TimeOf(int seconds) { return QTime(0, 0).addSecs(seconds); }

QTimeEdit* NewTimeEdit(QWidget* parent) {
  auto* edit = new QTimeEdit(parent);
  edit->setDisplayFormat(QStringLiteral("hh:mm:ss"));
  return edit;
}

}  // namespace

TMCScannerGui::TMCScannerGui(TMainGui& gui)
    : TScannerGuiBase(gui, QStringLiteral("MCScanner"), {QString(), QStringLiteral("Search"), QStringLiteral("Phrase")}),
      scanner_(gui.Root().MCScanner()) {
  enable_->setToolTip(QStringLiteral("Enable the mainchat scanner to trigger on this word/part of word"));
  expandStart_ = new QCheckBox(QStringLiteral("Expand selection to the beginning of the word "), page_);
  expandStart_->setObjectName(QStringLiteral("chkMCScannerExpandStart"));
  expandStop_ = new QCheckBox(QStringLiteral("Expand selection to the end of the word"), page_);
  expandStop_->setObjectName(QStringLiteral("chkMCScannerExpandStop"));
  editorBox_->addWidget(expandStart_);
  editorBox_->addWidget(expandStop_);

  auto* group = new QGroupBox(QStringLiteral("Add/Remove actions"), page_);
  auto* grid = new QGridLayout(group);
  kind_ = new QComboBox(group);
  kind_->setObjectName(QStringLiteral("cbMCScannerActions"));
  kind_->addItems({QStringLiteral("Replace word"), QStringLiteral("Lunarize word"), QStringLiteral("Kennylize word"),
                   QStringLiteral("Replace message"), QStringLiteral("Lunarize message"),
                   QStringLiteral("Kennylize message"), QStringLiteral("Skip message"), QStringLiteral("Drop user"),
                   QStringLiteral("Kick user")});
  replace_ = new QLineEdit(group);
  replace_->setObjectName(QStringLiteral("edtMCScannerReplace"));
  level_ = new QSpinBox(group);
  level_->setObjectName(QStringLiteral("seMCScannerLevel"));
  level_->setRange(kMinLevel, kMaxLevel);
  level_->setValue(kMinLevel);
  level_->setToolTip(ScannerLevelHint());
  useTime_ = new QCheckBox(QStringLiteral("Use time range"), group);
  useTime_->setObjectName(QStringLiteral("chkMCScannerUseTime"));
  start_ = NewTimeEdit(group);
  start_->setObjectName(QStringLiteral("teMCScannerStart"));
  stop_ = NewTimeEdit(group);
  stop_->setObjectName(QStringLiteral("teMCScannerStop"));
  stop_->setTime(TimeOf(kLastSecondOfDay));
  addAction_ = new QPushButton(QStringLiteral("Add to list"), group);
  addAction_->setObjectName(QStringLiteral("btnMCScannerAddAction"));
  updateAction_ = new QPushButton(QStringLiteral("Update selected"), group);
  updateAction_->setObjectName(QStringLiteral("btnMCScannerUpdateAction"));
  grid->addWidget(new QLabel(QStringLiteral("Action"), group), 0, 0);
  grid->addWidget(kind_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Replace with/Reason (on skip message)"), group), 1, 0);
  grid->addWidget(replace_, 1, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Level"), group), 0, 2);
  grid->addWidget(level_, 0, 3);
  grid->addWidget(useTime_, 2, 0);
  grid->addWidget(start_, 2, 1);
  grid->addWidget(stop_, 2, 2);
  auto* actionButtons = new QHBoxLayout;
  actionButtons->addStretch(1);
  actionButtons->addWidget(addAction_);
  actionButtons->addWidget(updateAction_);
  grid->addLayout(actionButtons, 3, 0, 1, 4);
  actions_ = new QTreeWidget(group);
  actions_->setObjectName(QStringLiteral("lvMCScannerActions"));
  actions_->setToolTip(QStringLiteral("You can specify different actions for different time ranges"));
  actions_->setRootIsDecorated(false);
  actions_->setSelectionMode(QAbstractItemView::SingleSelection);
  actions_->setSelectionBehavior(QAbstractItemView::SelectRows);
  actions_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  actions_->setHeaderLabels({QStringLiteral("Time range"), QStringLiteral("Action"), QStringLiteral("Replace"),
                             QStringLiteral("Profile level")});
  actions_->setContextMenuPolicy(Qt::ActionsContextMenu);
  removeAction_ = new QAction(QStringLiteral("&Remove"), actions_);
  removeAction_->setObjectName(QStringLiteral("miMCScannerActionRemove"));
  actions_->addAction(removeAction_);
  grid->addWidget(actions_, 4, 0, 1, 4);
  editorBox_->addWidget(group);

  QObject* ctx = context_.get();
  QObject::connect(restrictStart_, &QCheckBox::toggled, ctx, [this](bool on) { expandStart_->setEnabled(!on); });
  QObject::connect(restrictStop_, &QCheckBox::toggled, ctx, [this](bool on) { expandStop_->setEnabled(!on); });
  for (QCheckBox* box : {expandStart_, expandStop_, useTime_})
    QObject::connect(box, &QCheckBox::toggled, ctx, [this] { RefreshButtons(); });
  QObject::connect(kind_, &QComboBox::currentIndexChanged, ctx, [this] { RefreshButtons(); });
  QObject::connect(replace_, &QLineEdit::textChanged, ctx, [this] { RefreshButtons(); });
  QObject::connect(level_, &QSpinBox::valueChanged, ctx, [this] { RefreshButtons(); });
  for (QTimeEdit* edit : {start_, stop_}) {
    QObject::connect(edit, &QTimeEdit::timeChanged, ctx, [this] {
      if (!busy_) useTime_->setChecked(true);
      RefreshButtons();
    });
  }
  QObject::connect(addAction_, &QPushButton::clicked, ctx, [this] { GuardSlot([this] { AddAction(); }); });
  QObject::connect(updateAction_, &QPushButton::clicked, ctx, [this] { GuardSlot([this] { UpdateAction(); }); });
  QObject::connect(removeAction_, &QAction::triggered, ctx, [this] { GuardSlot([this] { DeleteAction(); }); });
  QObject::connect(actions_, &QTreeWidget::itemSelectionChanged, ctx,
                   [this] { GuardSlot([this] { ActionSelectionChanged(); }); });
  RefreshActionButtons();
  scanner_.SetView(this);
}

TMCScannerGui::~TMCScannerGui() { scanner_.SetView(nullptr); }

int TMCScannerGui::ItemCount() const { return scanner_.GetCount(); }
std::string TMCScannerGui::ItemName(int index) const { return scanner_.GetItem(index).Name; }

const std::string* TMCScannerGui::FindName(std::string_view word) const {
  const TMCScannerItem* item = scanner_.Find(word);
  return item != nullptr ? &item->Name : nullptr;
}

QStringList TMCScannerGui::RowTexts(std::string_view name) const {
  const TMCScannerItem& item = *scanner_.Find(name);
  return {ScannerStateText(item.Enable), TextFromBytes(item.Name),
          ScannerPhrase(item.Name, item.RestrictStart, item.RestrictStop, item.ExpandStart, item.ExpandStop)};
}

bool TMCScannerGui::ScannerAdd(std::string_view word) { return scanner_.Add(word) != nullptr; }

bool TMCScannerGui::ScannerRename(std::string_view name, std::string_view newName) {
  TMCScannerItem* item = scanner_.Find(name);
  return item != nullptr && scanner_.Rename(*item, newName);
}

bool TMCScannerGui::ScannerDelete(std::string_view name) { return scanner_.Delete(name); }

TMCScannerGui::TActionFields TMCScannerGui::EditorFields() const {
  return {kind_->currentIndex(), replace_->text(), level_->value(), useTime_->isChecked(), SecondsOf(start_),
          SecondsOf(stop_)};
}

void TMCScannerGui::ShowAction(const TActionFields& fields) {
  TBusyScope busy(busy_);
  kind_->setCurrentIndex(fields.Kind);
  replace_->setText(fields.Replace);
  level_->setValue(fields.Level);
  start_->setTime(TimeOf(fields.Start));
  stop_->setTime(TimeOf(fields.Stop));
  useTime_->setChecked(fields.UseTime);
  // What the controls could show of it.
  shownAction_ = EditorFields();
}

void TMCScannerGui::ResetActionEditor() {
  ShowAction({});
  RefreshButtons();
}

void TMCScannerGui::LoadAction(int index) {
  const TMCScannerItemAction& action = ActionRow(index);
  const int kind = action.Action >= 0 && action.Action < kind_->count() ? action.Action : -1;
  ShowAction({kind, TextFromBytes(action.GetReplaceText()), action.Level, action.UseTime, action.Start,
              action.Stop});
  RefreshButtons();
}

int TMCScannerGui::SelectedAction() const {
  const QList<QTreeWidgetItem*> selected = actions_->selectedItems();
  return selected.isEmpty() ? -1 : actions_->indexOfTopLevelItem(selected.front());
}

bool TMCScannerGui::ActionChanged() const { return SelectedAction() >= 0 && EditorFields() != shownAction_; }

TMCScannerItemAction TMCScannerGui::MakeAction(const TMCScannerItemAction* base) const {
  TMCScannerItemAction action;
  if (base != nullptr) action = *base;
  action.Owner = nullptr;
  const TActionFields now = EditorFields();
  const bool all = base == nullptr;
  if ((all || now.Kind != shownAction_.Kind) && now.Kind >= 0) action.Action = now.Kind;
  if (all || now.Replace != shownAction_.Replace) action.SetReplaceText(BytesFromText(now.Replace));
  if (all || now.Level != shownAction_.Level) action.Level = now.Level;
  if (all || now.UseTime != shownAction_.UseTime) action.UseTime = now.UseTime;
  if (all || now.Start != shownAction_.Start) action.Start = now.Start;
  if (all || now.Stop != shownAction_.Stop) action.Stop = now.Stop;
  if (!action.UseTime) {
    // The whole day, whatever the pickers say: stored as it acts.
    action.Start = 0;
    action.Stop = kLastSecondOfDay;
  }
  return action;
}

bool TMCScannerGui::Overlapping(const TMCScannerItemAction& action, int except) const {
  for (int i = ActionRowCount() - 1; i >= 0; --i)
    if (i != except && WindowsMeet(action, ActionRow(i))) return true;
  return false;
}

void TMCScannerGui::FillActionRow(int index) {
  const TMCScannerItemAction& action = ActionRow(index);
  QTreeWidgetItem* row = actions_->topLevelItem(index);
  const QString range =
      action.UseTime ? QString::fromStdString(FormatTimeOfDay(action.Start) + "-" + FormatTimeOfDay(action.Stop))
                     : QStringLiteral("00:00:00-23:59:59");
  row->setText(0, range);
  row->setText(1, TextFromBytes(MainChatScannerActionName(action.Action)));
  row->setText(2, TextFromBytes(action.GetReplaceText()));
  row->setText(3, QString::number(action.Level));
}

void TMCScannerGui::SelectAction(int index) {
  TBusyScope busy(busy_);
  if (index < 0) actions_->clearSelection();
  else actions_->setCurrentItem(actions_->topLevelItem(index));
}

bool TMCScannerGui::AddAction(bool quiet) {
  TMCScannerItemAction action = MakeAction(nullptr);
  if (Overlapping(action, -1)) {
    if (!quiet) Inform(QString::fromLatin1(kOverlap));
    return false;
  }
  rows_.push_back(std::move(action));
  {
    TBusyScope busy(busy_);
    actions_->addTopLevelItem(new QTreeWidgetItem);
  }
  FillActionRow(ActionRowCount() - 1);
  actionsAdded_ = true;
  RefreshButtons();
  return true;
}

bool TMCScannerGui::UpdateAction(bool quiet) {
  const int index = SelectedAction();
  if (index < 0 || !ActionChanged()) return false;
  TMCScannerItemAction action = MakeAction(&ActionRow(index));
  if (Overlapping(action, index)) {
    if (!quiet) Inform(QString::fromLatin1(kOverlap));
    return false;
  }
  rows_[static_cast<std::size_t>(index)] = std::move(action);
  FillActionRow(index);
  SelectAction(index);
  LoadAction(index);
  actionsAdded_ = true;
  RefreshButtons();
  return true;
}

void TMCScannerGui::DeleteAction() {
  const int index = SelectedAction();
  if (index < 0) return;
  const std::size_t count = rows_.size();
  if (!Confirm(QString::fromLatin1(kAskDeleteAction))) return;
  // The question spun the loop: the rows may have been rebuilt meanwhile.
  if (rows_.size() != count || SelectedAction() != index) return;
  rows_.erase(rows_.begin() + index);
  {
    TBusyScope busy(busy_);
    std::unique_ptr<QTreeWidgetItem> gone(actions_->takeTopLevelItem(index));
  }
  actionsDeleted_ = true;
  const int left = ActionRowCount();
  if (left > 0) {
    const int next = index < left ? index : left - 1;
    SelectAction(next);
    LoadAction(next);
  } else {
    SelectAction(-1);
  }
  RefreshButtons();
}

void TMCScannerGui::ActionSelectionChanged() {
  RefreshActionButtons();
  if (busy_) return;
  const int index = SelectedAction();
  if (index >= 0) LoadAction(index);
  else ResetActionEditor();
}

void TMCScannerGui::RefreshActionButtons() {
  const bool selected = SelectedAction() >= 0;
  updateAction_->setEnabled(selected);
  removeAction_->setEnabled(selected);
}

void TMCScannerGui::ShowFields(std::string_view name) {
  const TMCScannerItem& item = *scanner_.Find(name);
  ShowCommon(item.Name, item.Enable, item.RestrictStart, item.RestrictStop);
  expandStart_->setChecked(item.ExpandStart);
  expandStop_->setChecked(item.ExpandStop);
  shownExpandStart_ = item.ExpandStart;
  shownExpandStop_ = item.ExpandStop;
  rows_.clear();
  actions_->clear();
  for (int i = 0; i < item.GetActionCount(); ++i) {
    TMCScannerItemAction copy = item.GetAction(i);
    copy.Owner = nullptr;
    rows_.push_back(std::move(copy));
    actions_->addTopLevelItem(new QTreeWidgetItem);
    FillActionRow(i);
  }
  actionsAdded_ = false;
  actionsDeleted_ = false;
  if (rows_.empty()) {
    SelectAction(-1);
    ShowAction({});
  } else {
    SelectAction(0);
    LoadAction(0);
  }
  RefreshActionButtons();
}

void TMCScannerGui::ClearFields() {
  expandStart_->setChecked(false);
  expandStop_->setChecked(false);
  shownExpandStart_ = false;
  shownExpandStop_ = false;
  rows_.clear();
  actions_->clear();
  actionsAdded_ = false;
  actionsDeleted_ = false;
  ShowAction({});
  RefreshActionButtons();
}

bool TMCScannerGui::FieldsChanged() const {
  return expandStart_->isChecked() != shownExpandStart_ || expandStop_->isChecked() != shownExpandStop_ ||
         actionsAdded_ || actionsDeleted_ || ActionChanged();
}

void TMCScannerGui::BeforeSave() {
  if (SelectedAction() >= 0) {
    UpdateAction(true);
  } else if (!HasLoadedItem() || EditorFields() != shownAction_) {
    // A stored item gains an action only when the operator filled one in.
    AddAction(true);
  }
}

void TMCScannerGui::StoreFields(std::string_view name, bool all) {
  TMCScannerItem& item = *scanner_.Find(name);
  StoreCommon(item.Enable, item.RestrictStart, item.RestrictStop, all);
  if (all || expandStart_->isChecked() != shownExpandStart_) item.ExpandStart = expandStart_->isChecked();
  if (all || expandStop_->isChecked() != shownExpandStop_) item.ExpandStop = expandStop_->isChecked();
  if (!all && !actionsAdded_ && !actionsDeleted_) return;
  while (item.GetActionCount() > 0) item.RemoveAction(item.GetActionCount() - 1);
  for (const TMCScannerItemAction& row : rows_) item.AddAction(std::make_unique<TMCScannerItemAction>(row));
}
