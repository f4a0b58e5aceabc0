#include "gui/text_commands_gui.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QTreeWidgetItem>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <exception>

#include "base/exceptions.h"
#include "core/kavro_root.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/state_icons.h"
#include "gui/text_1252.h"
#include "utils/text_format.h"

namespace {

constexpr int kRaw = 3;
constexpr int kRandomized = 4;
constexpr int kBroadcastSelf = 0;
constexpr int kBroadcastFeed = 3;

const char* const kChangedQuestion =
    "Changes has been made to loaded text command, do you wish to\r\nsave those before loading "
    "another text command?";
const char* const kExists = "A text command with this name does already exist, please change name";

constexpr std::array<const char*, 8> kMarkers{"<[self]>", "</[self]>", "<[all]>", "</[all]>",
                                              "<[ops]>",  "</[ops]>",  "<[feed]>", "</[feed]>"};
constexpr std::array<const char*, 4> kOpen{"<[self]>", "<[ops]>", "<[all]>", "<[feed]>"};
constexpr std::array<const char*, 4> kClose{"</[self]>", "</[ops]>", "</[all]>", "</[feed]>"};

QSpinBox* Spin(int min, int max, const char* name) {
  auto* spin = new QSpinBox;
  spin->setRange(min, max);
  spin->setObjectName(QString::fromLatin1(name));
  return spin;
}

QComboBox* Combo(const QStringList& items, const char* name) {
  auto* combo = new QComboBox;
  combo->addItems(items);
  combo->setObjectName(QString::fromLatin1(name));
  return combo;
}

// Everything up to and including ' ' goes at both ends.
std::string TrimBytes(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace

// --- the content box --------------------------------------------------------

void TTextCommandContent::InsertEncoded(const QString& text) {
  insertPlainText(encoder_ ? encoder_(text) : text);
}

void TTextCommandContent::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (encoder_ && (text == QLatin1String("$") || text == QLatin1String("|"))) {
    InsertEncoded(text);
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TTextCommandContent::insertFromMimeData(const QMimeData* source) {
  if (source != nullptr && source->hasText()) InsertEncoded(source->text());
}

// --- the page ---------------------------------------------------------------

TTextCommandsGui::TTextCommandsGui(TMainGui& gui) : gui_(gui) {
  Build();
  ClearEditor();
  Commands().SetView(this);
}

TTextCommandsGui::~TTextCommandsGui() { Commands().SetView(nullptr); }

TTextCommands& TTextCommandsGui::Commands() const { return gui_.Root().TextCommands(); }

TTextCommand* TTextCommandsGui::Loaded() const {
  return loaded_ ? Commands().Find(loadedName_) : nullptr;
}

void TTextCommandsGui::Build() {
  page_ = new QWidget;
  auto* layout = new QHBoxLayout(page_);
  list_ = new TSortedListView;
  list_->setObjectName(QStringLiteral("lvTextCommands"));
  list_->setHeaderLabels({QStringLiteral("Name")});
  list_->setRootIsDecorated(false);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  images_ = new TStateImages(*list_, TStateImageSet::TextCommands);
  remove_ = new QAction(QStringLiteral("&Remove"), list_);
  remove_->setObjectName(QStringLiteral("actTextCommandsRemove"));
  list_->addAction(remove_);
  layout->addWidget(list_, 1);

  auto* group = new QGroupBox(QStringLiteral("Text command"));
  auto* form = new QFormLayout(group);
  name_ = new QLineEdit;
  name_->setObjectName(QStringLiteral("leTextCommandsName"));
  name_->setToolTip(QStringLiteral("Name of the text command (also used to trigger it, ex. +Name)"));
  form->addRow(QStringLiteral("Name"), name_);
  enabled_ = new QCheckBox(QStringLiteral("Enable text command"));
  enabled_->setObjectName(QStringLiteral("cbTextCommandEnabled"));
  form->addRow(enabled_);
  muted_ = new QCheckBox(QStringLiteral("Enable when muted"));
  muted_->setObjectName(QStringLiteral("cbTextCommandMuted"));
  muted_->setToolTip(QStringLiteral("Decides whether the command can be used by a muted user (given "
                                    "that all other requirements are meet)"));
  form->addRow(muted_);
  editLevel_ = Spin(1, 10, "seTextCommandEditLevel");
  form->addRow(QStringLiteral("Edit level"), editLevel_);
  accessMin_ = Spin(0, 10, "seTextCommandAccessMin");
  accessMin_->setToolTip(QStringLiteral("0 = disable, 10 = schedule only"));
  accessMax_ = Spin(0, 9, "seTextCommandAccessMax");
  accessMax_->setToolTip(QStringLiteral("9 = disable"));
  auto* access = new QHBoxLayout;
  access->addWidget(accessMin_);
  access->addWidget(accessMax_);
  form->addRow(QStringLiteral("Min / Max access level"), access);
  receiveMin_ = Spin(0, 9, "seTextCommandReceiveMin");
  receiveMax_ = Spin(0, 9, "seTextCommandReceiveMax");
  auto* receive = new QHBoxLayout;
  receive->addWidget(receiveMin_);
  receive->addWidget(receiveMax_);
  form->addRow(QStringLiteral("Min / Max receive level"), receive);
  visibility_ = Combo({"Nobody", "The one writing", "Operators", "Operators and self", "Everyone"},
                      "cbTextCommandVisibility");
  form->addRow(QStringLiteral("Command visibility"), visibility_);
  broadcast_ = Combo({"The one writing", "Operators", "Everyone", "Feed"}, "cbTextCommandBroadcast");
  form->addRow(QStringLiteral("Broadcast to"), broadcast_);
  messageType_ =
      Combo({"Regular", "Forced to PM", "Forced to MC", "Raw command", "Randomized"},
            "cbTextCommandMessageType");
  form->addRow(QStringLiteral("Message type"), messageType_);
  parameters_ = Combo({"No parameter", "1 parameter", "2 parameters", "3 parameters",
                       "4 parameters", "5 parameters"},
                      "cbTextCommandParameters");
  form->addRow(QStringLiteral("Parameters"), parameters_);
  content_ = new TTextCommandContent;
  content_->setObjectName(QStringLiteral("memTextCommandContent"));
  content_->SetEncoder([this](const QString& text) { return EncodeEntry(text); });
  form->addRow(QStringLiteral("Content"), content_);
  schedule_ = Spin(0, 1000000, "seTextCommandSchedule");
  schedule_->setSingleStep(10);
  schedule_->setToolTip(QStringLiteral("sheduled commands trigger the command with level 10"));
  auto* schedule = new QHBoxLayout;
  schedule->addWidget(schedule_);
  schedule->addWidget(new QLabel(QStringLiteral("minutes")));
  form->addRow(QStringLiteral("Schedule (0 = disable)"), schedule);
  autorun_ = Combo({"None", "OnConnect", "OnLogin"}, "cbTextCommandAutorun");
  form->addRow(QStringLiteral("Autorun"), autorun_);
  save_ = new QPushButton(QStringLiteral("Save"));
  save_->setObjectName(QStringLiteral("btnTextCommandSave"));
  saveAs_ = new QPushButton(QStringLiteral("Save As"));
  saveAs_->setObjectName(QStringLiteral("btnTextCommandSaveAs"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_);
  buttons->addWidget(saveAs_);
  form->addRow(buttons);
  layout->addWidget(group, 2);
  BuildContentMenu();

  const auto slot = [this](auto fn) {
    return [this, fn](auto&&...) { GuardSlot([this, fn] { (this->*fn)(); }); };
  };
  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &guard_,
                   slot(&TTextCommandsGui::RowSelected));
  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &guard_,
                   [this] { remove_->setEnabled(!list_->selectedItems().isEmpty()); });
  QObject::connect(remove_, &QAction::triggered, &guard_, slot(&TTextCommandsGui::DeleteSelected));
  QObject::connect(save_, &QPushButton::clicked, &guard_, slot(&TTextCommandsGui::Save));
  QObject::connect(saveAs_, &QPushButton::clicked, &guard_, slot(&TTextCommandsGui::SaveAs));
  QObject::connect(accessMin_, &QSpinBox::valueChanged, &guard_,
                   slot(&TTextCommandsGui::AccessMinEdited));
  QObject::connect(accessMax_, &QSpinBox::valueChanged, &guard_,
                   slot(&TTextCommandsGui::AccessMaxEdited));
  QObject::connect(receiveMin_, &QSpinBox::valueChanged, &guard_,
                   slot(&TTextCommandsGui::ReceiveEdited));
  QObject::connect(receiveMax_, &QSpinBox::valueChanged, &guard_,
                   slot(&TTextCommandsGui::ReceiveEdited));
  for (QComboBox* combo : {broadcast_, autorun_})
    QObject::connect(combo, &QComboBox::currentIndexChanged, &guard_,
                     slot(&TTextCommandsGui::ApplyEnableRules));
  QObject::connect(schedule_, &QSpinBox::valueChanged, &guard_,
                   slot(&TTextCommandsGui::ApplyEnableRules));
  // "Save"/"Save As" follow every edit.
  QObject::connect(name_, &QLineEdit::textChanged, &guard_, slot(&TTextCommandsGui::UpdateButtons));
  remove_->setEnabled(false);
}

void TTextCommandsGui::BuildContentMenu() {
  contentMenu_ = new QMenu(content_);
  contentMenu_->setObjectName(QStringLiteral("pmTextCommandContent"));
  const auto insert = [this](QMenu* menu, const char* caption, const char* tag) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QStringLiteral("actInsert") + QString::fromLatin1(caption).remove(' '));
    const QString text = QString::fromLatin1(tag);
    QObject::connect(action, &QAction::triggered, &guard_,
                     [this, text] { GuardSlot([this, text] { content_->InsertEncoded(text); }); });
  };
  QMenu* user = contentMenu_->addMenu(QStringLiteral("Insert userinfo"));
  insert(user, "Nick", "<nick>");
  insert(user, "IP-address", "<ip>");
  insert(user, "DNS", "<dns>");
  QMenu* general = contentMenu_->addMenu(QStringLiteral("Insert general info"));
  insert(general, "Botname", "<botname>");
  insert(general, "Hubname", "<hubname>");
  insert(general, "Hub address", "<hubaddress>");
  insert(general, "Hub description", "<hubdescription>");
  insert(general, "Hub topic", "<hubtopic>");
  QMenu* stats = contentMenu_->addMenu(QStringLiteral("Insert stats"));
  insert(stats, "Time", "<time>");
  insert(stats, "Date", "<date>");
  insert(stats, "User count", "<users>");
  insert(stats, "Total share size", "<share>");
  insert(stats, "Hub uptime", "<uptime>");
  QMenu* custom = contentMenu_->addMenu(QStringLiteral("Customized broadcast"));
  std::vector<QAction*> needSelection;
  int target = 0;
  for (const char* caption : {"To the one writing", "To operators", "To everyone", "To feed"}) {
    QAction* action = custom->addAction(QString::fromLatin1(caption));
    action->setObjectName(QStringLiteral("actBroadcast") + QString::number(target));
    QObject::connect(action, &QAction::triggered, &guard_,
                     [this, target] { GuardSlot([this, target] { CustomizedBroadcast(target); }); });
    needSelection.push_back(action);
    ++target;
  }
  contentMenu_->addSeparator();
  QAction* cut = contentMenu_->addAction(QStringLiteral("Cut"), content_, &QPlainTextEdit::cut);
  QAction* copy = contentMenu_->addAction(QStringLiteral("Copy"), content_, &QPlainTextEdit::copy);
  QAction* paste =
      contentMenu_->addAction(QStringLiteral("Paste"), content_, &QPlainTextEdit::paste);
  QAction* del = contentMenu_->addAction(QStringLiteral("Delete"), &guard_,
                                         [this] { content_->textCursor().removeSelectedText(); });
  QAction* all =
      contentMenu_->addAction(QStringLiteral("Select All"), content_, &QPlainTextEdit::selectAll);
  needSelection.insert(needSelection.end(), {cut, copy, del});
  QObject::connect(contentMenu_, &QMenu::aboutToShow, &guard_, [=, this] {
    const QTextCursor cursor = content_->textCursor();
    for (QAction* action : needSelection) action->setEnabled(cursor.hasSelection());
    paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    all->setEnabled(cursor.selectedText().size() < content_->toPlainText().size());
  });
  content_->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(content_, &QWidget::customContextMenuRequested, &guard_,
                   [this](const QPoint& at) { contentMenu_->popup(content_->mapToGlobal(at)); });
}

QString TTextCommandsGui::EncodeEntry(const QString& text) const {
  const int type = messageType_->currentIndex();
  if (type == kRaw) return text;
  QString out = text;
  out.replace(QLatin1Char('$'), QStringLiteral("&#36;"));
  if (type != kRandomized) out.replace(QLatin1Char('|'), QStringLiteral("&#124;"));
  return out;
}

QString TTextCommandsGui::RemoveBroadcastMarkers(QString text) {
  for (const char* marker : kMarkers) text.remove(QString::fromLatin1(marker));
  return text;
}

void TTextCommandsGui::CustomizedBroadcast(int target) {
  if (target < 0 || target > 3) return;
  QTextCursor cursor = content_->textCursor();
  if (!cursor.hasSelection()) return;
  // A selection's paragraph breaks come as U+2029.
  QString selected = cursor.selectedText().replace(QChar(0x2029), QLatin1Char('\n'));
  if (selected.size() == content_->toPlainText().size()) {
    content_->setPlainText(RemoveBroadcastMarkers(content_->toPlainText()));
    broadcast_->setCurrentIndex(target);
    return;
  }
  cursor.insertText(QString::fromLatin1(kOpen[target]) + RemoveBroadcastMarkers(selected) +
                    QString::fromLatin1(kClose[target]));
}

// --- the list ---------------------------------------------------------------

void TTextCommandsGui::AddRow(const TTextCommand& command) {
  QTreeWidgetItem* row = list_->AddItem({TextFromBytes(command.Name())});
  // The state: scheduled, else run by itself, else called.
  const int state = command.Schedule() != 0 ? 2 : command.Autorun() != 0 ? 1 : 0;
  images_->SetState(*row, state);
}

void TTextCommandsGui::SelectRow(const QString& name) {
  QTreeWidgetItem* row = list_->FindItem(name);
  if (row == nullptr) return;
  TBusyScope busy(busy_);
  list_->setCurrentItem(row);
  list_->scrollToItem(row);
}

void TTextCommandsGui::UpdateCommand(TTextCommand& command) {
  const QString name = TextFromBytes(command.Name());
  TBusyScope busy(busy_);
  const bool selected = list_->FindItem(name) != nullptr && list_->FindItem(name)->isSelected();
  delete list_->FindItem(name);
  AddRow(command);
  if (selected) SelectRow(name);
}

void TTextCommandsGui::RemoveCommand(std::string_view name) {
  TBusyScope busy(busy_);
  delete list_->FindItem(TextFromBytes(name));
  if (loaded_ && loadedName_ == name) loaded_ = false;
  UpdateButtons();
}

void TTextCommandsGui::CommandChanged(std::string_view name) {
  if (TTextCommand* command = Commands().Find(name)) UpdateCommand(*command);
  else RemoveCommand(name);
}

void TTextCommandsGui::RefreshList() {
  TBusyScope busy(busy_);
  list_->BeginUpdate();
  list_->clear();
  for (int i = 0; i < Commands().GetCount(); ++i) AddRow(Commands().GetItem(i));
  list_->EndUpdate();
  // The edited command by its own name: the name box may hold an unsaved
  // rename, which must not point the editor at another command.
  if (loaded_ && Commands().Find(loadedName_) == nullptr) loaded_ = false;
  if (loaded_) SelectRow(TextFromBytes(loadedName_));
  UpdateButtons();
}

void TTextCommandsGui::RowSelected() {
  if (busy_) return;
  const QList<QTreeWidgetItem*> rows = list_->selectedItems();
  // Nothing selected any more: an unchanged editor is let go.
  if (rows.isEmpty() && loaded_ && !Changed()) ClearEditor();
  if (rows.size() != 1) return;
  const std::string name = BytesFromText(rows.front()->text(0));
  if (Changed()) {
    if (gui_.Dialogs().Confirm(QString::fromLatin1(kChangedQuestion))) {
      SaveCommand(true);
      return;
    }
  }
  // The question ran a nested loop: the command may be gone meanwhile.
  if (TTextCommand* command = Commands().Find(name)) LoadCommand(*command);
}

// --- the editor -------------------------------------------------------------

void TTextCommandsGui::FillFrom(TTextCommand& command) {
  TBusyScope busy(busy_);
  name_->setText(TextFromBytes(command.Name()));
  enabled_->setChecked(command.Enabled);
  muted_->setChecked(command.OverrideMuted);
  editLevel_->setValue(command.EditLevel);
  accessMin_->setValue(command.AccessMinLevel);
  accessMax_->setValue(command.AccessMaxLevel);
  receiveMin_->setValue(command.ShowMinLevel);
  receiveMax_->setValue(command.ShowMaxLevel);
  visibility_->setCurrentIndex(command.MainchatCommandVisibility);
  broadcast_->setCurrentIndex(command.BroadCast);
  messageType_->setCurrentIndex(command.MessageType);
  parameters_->setCurrentIndex(std::clamp(command.Parameters, 0, 5));
  content_->setPlainText(MemoFromBytes(command.Content));
  schedule_->setValue(command.Schedule());
  autorun_->setCurrentIndex(command.Autorun());
}

void TTextCommandsGui::LoadCommand(TTextCommand& command) {
  FillFrom(command);
  loaded_ = true;
  loadedName_ = command.Name();
  ApplyEnableRules();
  UpdateButtons();
}

void TTextCommandsGui::ClearEditor() {
  {
    TBusyScope busy(busy_);
    name_->clear();
    enabled_->setChecked(true);
    muted_->setChecked(false);
    editLevel_->setValue(3);
    accessMin_->setValue(0);
    accessMax_->setValue(9);
    receiveMin_->setValue(0);
    receiveMax_->setValue(9);
    visibility_->setCurrentIndex(0);
    broadcast_->setCurrentIndex(0);
    messageType_->setCurrentIndex(0);
    parameters_->setCurrentIndex(0);
    content_->clear();
    schedule_->setValue(0);
    autorun_->setCurrentIndex(0);
  }
  loaded_ = false;
  loadedName_.clear();
  schedule_->setEnabled(false);
  messageType_->setEnabled(true);
  ApplyEnableRules();
  UpdateButtons();
}

void TTextCommandsGui::ApplyEnableRules() {
  const int broadcast = broadcast_->currentIndex();
  schedule_->setEnabled(broadcast != kBroadcastSelf);
  messageType_->setEnabled(broadcast != kBroadcastFeed);
  const bool receivers = broadcast == 1 || broadcast == 2;
  receiveMin_->setEnabled(receivers);
  receiveMax_->setEnabled(receivers);
  const bool access = autorun_->currentIndex() != 1;
  accessMin_->setEnabled(access);
  accessMax_->setEnabled(access);
  parameters_->setEnabled(autorun_->currentIndex() == 0 && schedule_->value() == 0);
}

// The operator's edits keep min <= max; the other spin moves quietly, so
// its own rule does not run back (10 "schedule only" above a max of 9).
void TTextCommandsGui::AccessMinEdited() {
  if (busy_) return;
  TBusyScope busy(busy_);
  if (accessMax_->value() < accessMin_->value()) accessMax_->setValue(accessMin_->value());
}

void TTextCommandsGui::AccessMaxEdited() {
  if (busy_) return;
  TBusyScope busy(busy_);
  if (accessMin_->value() > accessMax_->value()) accessMin_->setValue(accessMax_->value());
}

void TTextCommandsGui::ReceiveEdited() {
  if (busy_) return;
  TBusyScope busy(busy_);
  if (accessMax_->value() < accessMin_->value()) accessMax_->setValue(accessMin_->value());
}

bool TTextCommandsGui::Changed() const {
  const TTextCommand* command = Loaded();
  if (command == nullptr) return false;
  return BytesFromText(name_->text()) != command->Name() ||
         enabled_->isChecked() != command->Enabled ||
         muted_->isChecked() != command->OverrideMuted ||
         editLevel_->value() != command->EditLevel ||
         accessMin_->value() != command->AccessMinLevel ||
         accessMax_->value() != command->AccessMaxLevel ||
         receiveMin_->value() != command->ShowMinLevel ||
         receiveMax_->value() != command->ShowMaxLevel ||
         visibility_->currentIndex() != command->MainchatCommandVisibility ||
         broadcast_->currentIndex() != command->BroadCast ||
         messageType_->currentIndex() != command->MessageType ||
         parameters_->currentIndex() != command->Parameters ||
         BytesFromMemo(content_->toPlainText()) != command->Content ||
         schedule_->value() != command->Schedule() || autorun_->currentIndex() != command->Autorun();
}

void TTextCommandsGui::UpdateButtons() {
  const bool named = !name_->text().isEmpty();
  save_->setEnabled(loaded_ && named);
  saveAs_->setEnabled(named && (!loaded_ || BytesFromText(name_->text()) != loadedName_));
}

void TTextCommandsGui::Save() {
  if (loaded_ && !Changed()) return;
  SaveCommand(true);
}

void TTextCommandsGui::SaveAs() {
  if (loaded_ && !Changed()) return;
  SaveCommand(false);
}

bool TTextCommandsGui::SaveCommand(bool renameAllowed) {
  TDialogs& dialogs = gui_.Dialogs();
  std::string name = BytesFromText(name_->text());
  if (name.empty()) {
    dialogs.Inform(QStringLiteral(
                       "Please supply both a name for the text command (also used to trigger "
                       "command)"),
                   TDialogs::TKind::Information);
    return false;
  }
  if (parameters_->currentIndex() != 0 &&
      (schedule_->value() != 0 || autorun_->currentIndex() != 0)) {
    {
      TBusyScope busy(busy_);
      parameters_->setCurrentIndex(0);
    }
    if (loaded_ && Loaded() != nullptr && !Changed()) return false;
  }
  TTextCommand* loaded = Loaded();
  if (renameAllowed && loaded != nullptr && name != loaded->Name()) {
    const std::string old = loaded->Name();
    if (!Commands().Rename(*loaded, name)) {
      dialogs.Inform(QString::fromLatin1(kExists), TDialogs::TKind::Information);
      return false;
    }
    loadedName_ = name;
    TBusyScope busy(busy_);
    delete list_->FindItem(TextFromBytes(old));
  }
  if (messageType_->currentIndex() == kRaw) {
    std::string content = TrimBytes(BytesFromMemo(content_->toPlainText()));
    if (content.empty() || content.back() != '|') {
      const QString question = QStringLiteral(
          "You've choosen to save this text command as a raw command but \r\ndoesn't end it with "
          "a pipe which will render the message illeagal\r\n\r\nDo you wish to add a pipe?");
      if (dialogs.Confirm(question)) content += '|';
    }
    TBusyScope busy(busy_);
    content_->setPlainText(MemoFromBytes(content));
  }
  // The questions ran a nested loop: find everything again by name.
  TTextCommand* command = Commands().Find(name);
  loaded = Loaded();
  const bool update = command != nullptr;
  if (update && command != loaded) {
    dialogs.Inform(QString::fromLatin1(kExists), TDialogs::TKind::Information);
    return false;
  }
  try {
    if (!update) command = Commands().Add(name);
    if (command == nullptr) throw std::runtime_error("the list refused " + name);
    command->Enabled = enabled_->isChecked();
    command->OverrideMuted = muted_->isChecked();
    command->EditLevel = editLevel_->value();
    command->AccessMinLevel = accessMin_->value();
    command->AccessMaxLevel = accessMax_->value();
    command->ShowMinLevel = receiveMin_->value();
    command->ShowMaxLevel = receiveMax_->value();
    command->MainchatCommandVisibility = visibility_->currentIndex();
    command->BroadCast = broadcast_->currentIndex();
    command->MessageType = messageType_->currentIndex();
    command->Parameters = parameters_->currentIndex();
    command->Content = BytesFromMemo(content_->toPlainText());
    Commands().SetSchedule(*command, schedule_->value());
    Commands().SetAutorun(*command, autorun_->currentIndex());
    UpdateCommand(*command);
    loaded_ = true;
    loadedName_ = command->Name();
    SelectRow(TextFromBytes(loadedName_));
    gui_.Root().ReportGUI(FormatText(update ? "The text command %s has been saved via GUI"
                                            : "The text command %s has been added via GUI",
                                     name));
  } catch (const std::exception& error) {
    RefreshList();
    throw EGUIException(update ? "GUI.TextCommand.Update" : "GUI.TextCommand.Add", error.what());
  }
  UpdateButtons();
  return true;
}

void TTextCommandsGui::DeleteSelected() {
  const QList<QTreeWidgetItem*> rows = list_->selectedItems();
  if (rows.size() != 1) return;
  const int index = list_->indexOfTopLevelItem(rows.front());
  const std::string name = BytesFromText(rows.front()->text(0));
  if (!gui_.Dialogs().Confirm(
          QStringLiteral("Are you really sure you wish to delete this text command?")))
    return;
  if (Commands().Find(name) == nullptr) return;  // gone while asked
  if (loaded_ && loadedName_ == name) ClearEditor();
  gui_.Root().ReportGUI(FormatText("The text command %s was removed via GUI", name));
  Commands().Delete(name);
  if (list_->Count() == 0) return;
  TBusyScope busy(busy_);
  list_->setCurrentItem(list_->Item(std::min(index, list_->Count() - 1)));
}
