#include "gui/scanner_gui_base.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

#include "base/case_tables.h"
#include "base/exceptions.h"
#include "core/kavro_root.h"
#include "gui/controls/char_map_frame.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/state_icons.h"
#include "gui/text_1252.h"
#include "utils/text_format.h"

namespace {

constexpr char kAskSaveFirst[] =
    "Changes has been made to loaded scanner item, do you wish to \r\nsave those before loading "
    "another scanner item?";
constexpr char kNoWord[] = "Please supply something to search for";
constexpr char kWordHeld[] =
    "A scanner item with this search word does already exist, please change search word";
constexpr char kAskDelete[] = "Are you really sure you wish to delete this scanner item?";
constexpr char kSaved[] = "The scanner item %s has been saved via GUI";
constexpr char kAdded[] = "The scanner item %s has been added via GUI";
constexpr char kRemoved[] = "The scanner item %s was removed via GUI";

std::string Detail(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown";
  }
}

}  // namespace

QString ScannerLevelHint() {
  return QStringLiteral(
      "The level of the action. When a user has equal or higher level\n"
      "the user isn't affected by the action (10 = not overridable)");
}

QString ScannerPhrase(std::string_view word, bool restrictStart, bool restrictStop, bool expandStart,
                      bool expandStop) {
  QString phrase = TextFromBytes(word);
  if (restrictStart) phrase.prepend(QLatin1Char('.'));
  else if (expandStart) phrase.prepend(QLatin1Char('<'));
  if (restrictStop) phrase.append(QLatin1Char('.'));
  else if (expandStop) phrase.append(QLatin1Char('>'));
  return phrase;
}

QString ScannerStateText(bool enable) { return enable ? QString(QChar(0xA0)) : QStringLiteral(" "); }

bool EditWordDelimiters(TMainGui& gui, QWidget* parent) {
  TfrmWordDelimiter dialog(
      gui.Root().Settings(), [&gui](const QString& question) { return gui.Dialogs().Confirm(question); },
      parent);
  return dialog.Edit();
}

TScannerGuiBase::TScannerGuiBase(TMainGui& gui, QString area, const QStringList& columns)
    : gui_(gui), area_(std::move(area)), context_(std::make_unique<QObject>()), page_(new QWidget) {
  page_->setObjectName(area_ + "Gui");
  auto* outer = new QVBoxLayout(page_);

  list_ = new TSortedListView(page_);
  list_->setObjectName(Name("lv"));
  list_->setHeaderLabels(columns);
  list_->SetUniqueIdentifierColumn(1);
  list_->SetSortColumn(1);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  images_ = new TStateImages(*list_, TStateImageSet::Scanner);
  remove_ = new QAction(QStringLiteral("&Remove"), list_);
  remove_->setObjectName(Name("mi", "Remove"));
  list_->addAction(remove_);
  outer->addWidget(list_, 1);

  auto* editor = new QGroupBox(page_);
  editorBox_ = new QVBoxLayout(editor);
  auto* wordRow = new QHBoxLayout;
  wordRow->addWidget(new QLabel(QStringLiteral("Search:"), editor));
  word_ = new QLineEdit(editor);
  word_->setObjectName(Name("edt", "Word"));
  wordRow->addWidget(word_, 1);
  enable_ = new QCheckBox(QStringLiteral("Enable trigger on:"), editor);
  enable_->setObjectName(Name("chk", "Enable"));
  enable_->setChecked(true);
  wordRow->addWidget(enable_);
  editorBox_->addLayout(wordRow);
  restrictStart_ = new QCheckBox(QStringLiteral("Restrict match to the beginning of a word"), editor);
  restrictStart_->setObjectName(Name("chk", "RestrictStart"));
  restrictStop_ = new QCheckBox(QStringLiteral("Restrict match to the end of a word"), editor);
  restrictStop_->setObjectName(Name("chk", "RestrictStop"));
  editorBox_->addWidget(restrictStart_);
  editorBox_->addWidget(restrictStop_);
  outer->addWidget(editor);

  auto* buttons = new QHBoxLayout;
  delimiters_ = new QPushButton(QStringLiteral("Customize word delimiters"), page_);
  delimiters_->setObjectName(Name("btn", "WordDelimiters"));
  delimiters_->setToolTip(
      QStringLiteral("Select which characters that count as word delimiters, i.e separates words, so "
                     "the beginning and end of a word can be identified"));
  save_ = new QPushButton(QStringLiteral("Save"), page_);
  save_->setObjectName(Name("btn", "Save"));
  saveAs_ = new QPushButton(QStringLiteral("Save As"), page_);
  saveAs_->setObjectName(Name("btn", "SaveAs"));
  buttons->addWidget(delimiters_);
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(saveAs_);
  outer->addLayout(buttons);

  QObject* ctx = context_.get();
  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, ctx,
                   [this] { GuardSlot([this] { ItemSelectionChanged(); }); });
  QObject::connect(remove_, &QAction::triggered, ctx, [this] { GuardSlot([this] { DeleteItem(); }); });
  QObject::connect(save_, &QPushButton::clicked, ctx, [this] { GuardSlot([this] { Save(); }); });
  QObject::connect(saveAs_, &QPushButton::clicked, ctx, [this] { GuardSlot([this] { SaveAs(); }); });
  QObject::connect(delimiters_, &QPushButton::clicked, ctx,
                   [this] { GuardSlot([this] { EditWordDelimiters(gui_, page_); }); });
  for (QCheckBox* box : {enable_, restrictStart_, restrictStop_})
    QObject::connect(box, &QCheckBox::toggled, ctx, [this] { RefreshButtons(); });
  QObject::connect(word_, &QLineEdit::textChanged, ctx, [this] { RefreshButtons(); });
  RefreshButtons();
}

TScannerGuiBase::~TScannerGuiBase() {
  context_.reset();
  // Installed, the page belongs to the window; never installed, to us.
  std::unique_ptr<QWidget> orphan(page_->parent() == nullptr ? page_ : nullptr);
}

QString TScannerGuiBase::Name(const char* prefix, const char* suffix) const {
  return QLatin1String(prefix) + area_ + QLatin1String(suffix);
}

std::string TScannerGuiBase::Place(const char* operation) const {
  return "GUI." + area_.toStdString() + "." + operation;
}

void TScannerGuiBase::Inform(const QString& text) const {
  gui_.Dialogs().Inform(text, TDialogs::TKind::Information);
}

bool TScannerGuiBase::Confirm(const QString& text) const { return gui_.Dialogs().Confirm(text); }

QTreeWidgetItem* TScannerGuiBase::AddRow(std::string_view name) {
  const QStringList texts = RowTexts(name);
  QTreeWidgetItem* row = list_->AddItem(texts);
  // The state column's text says whether the item is enabled.
  images_->SetState(*row, texts.value(0) == ScannerStateText(true) ? 1 : 0);
  return row;
}

void TScannerGuiBase::RemoveRow(std::string_view name) {
  QTreeWidgetItem* row = list_->FindItem(TextFromBytes(name));
  if (row == nullptr) return;
  std::unique_ptr<QTreeWidgetItem> gone(list_->takeTopLevelItem(list_->indexOfTopLevelItem(row)));
}

void TScannerGuiBase::SelectRow(std::string_view name) {
  TBusyScope busy(busy_);
  QTreeWidgetItem* row = list_->FindItem(TextFromBytes(name));
  list_->setCurrentItem(row);
  if (row == nullptr) list_->clearSelection();
  RefreshButtons();
}

void TScannerGuiBase::RefreshList() {
  TBusyScope busy(busy_);
  list_->BeginUpdate();
  list_->clear();
  for (int i = 0; i < ItemCount(); ++i) AddRow(ItemName(i));
  list_->EndUpdate();
  // A reload frees every item: the loaded one counts only while its word
  // is still held.
  if (loaded_) {
    if (const std::string* name = FindName(loadedName_)) {
      loadedName_ = *name;
      if (QTreeWidgetItem* row = list_->FindItem(TextFromBytes(loadedName_))) list_->setCurrentItem(row);
    } else {
      loaded_ = false;
      loadedName_.clear();
    }
  }
  RefreshButtons();
}

void TScannerGuiBase::ForgetItem(std::string_view name) {
  if (loaded_ && SameText(loadedName_, name)) {
    loaded_ = false;
    loadedName_.clear();
  }
  TBusyScope busy(busy_);
  RemoveRow(name);
  RefreshButtons();
}

void TScannerGuiBase::ShowCommon(std::string_view name, bool enable, bool restrictStart, bool restrictStop) {
  word_->setText(TextFromBytes(name));
  enable_->setChecked(enable);
  restrictStart_->setChecked(restrictStart);
  restrictStop_->setChecked(restrictStop);
  shownEnable_ = enable;
  shownRestrictStart_ = restrictStart;
  shownRestrictStop_ = restrictStop;
}

void TScannerGuiBase::StoreCommon(bool& enable, bool& restrictStart, bool& restrictStop, bool all) const {
  if (all || enable_->isChecked() != shownEnable_) enable = enable_->isChecked();
  if (all || restrictStart_->isChecked() != shownRestrictStart_) restrictStart = restrictStart_->isChecked();
  if (all || restrictStop_->isChecked() != shownRestrictStop_) restrictStop = restrictStop_->isChecked();
}

void TScannerGuiBase::ClearEditor() {
  {
    TBusyScope busy(busy_);
    loaded_ = false;
    loadedName_.clear();
    ShowCommon({}, true, false, false);
    ClearFields();
  }
  RefreshButtons();
}

void TScannerGuiBase::LoadItem(std::string_view name) {
  const std::string* stored = FindName(name);
  if (stored == nullptr) return;
  const std::string held = *stored;
  {
    TBusyScope busy(busy_);
    ShowFields(held);
    loaded_ = true;
    loadedName_ = held;
  }
  RefreshButtons();
}

bool TScannerGuiBase::ItemChanged() const {
  if (!loaded_) return false;
  // Exactly: a change of case alone is a rename the operator asked for.
  return BytesFromText(word_->text()) != loadedName_ || enable_->isChecked() != shownEnable_ ||
         restrictStart_->isChecked() != shownRestrictStart_ ||
         restrictStop_->isChecked() != shownRestrictStop_ || FieldsChanged();
}

void TScannerGuiBase::RefreshButtons() {
  const std::string word = BytesFromText(word_->text());
  save_->setEnabled(loaded_ && !word.empty());
  saveAs_->setEnabled(!word.empty() && (!loaded_ || word != loadedName_));
  remove_->setEnabled(!list_->selectedItems().isEmpty());
}

void TScannerGuiBase::ItemSelectionChanged() {
  RefreshButtons();
  if (busy_) return;
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    if (loaded_ && !ItemChanged()) ClearEditor();
    return;
  }
  const std::string wanted = BytesFromText(selected.front()->text(1));
  if (loaded_ && ItemChanged()) {
    const std::string asked = loadedName_;
    const bool save = Confirm(QString::fromLatin1(kAskSaveFirst));
    // The question spun the loop: the loaded item may be gone by now.
    if (!loaded_ || loadedName_ != asked) return;
    if (save) {
      SaveItem(true);
      return;
    }
  }
  LoadItem(wanted);
}

bool TScannerGuiBase::SaveItem(bool renameAllowed) {
  const std::string word = BytesFromText(word_->text());
  if (word.empty()) {
    Inform(QString::fromLatin1(kNoWord));
    return false;
  }
  BeforeSave();
  if (renameAllowed && loaded_ && word != loadedName_) {
    const std::string old = loadedName_;
    if (!ScannerRename(old, word)) {
      Inform(QString::fromLatin1(kWordHeld));
      return false;
    }
    loadedName_ = word;
    TBusyScope busy(busy_);
    RemoveRow(old);
  }
  const std::string* found = FindName(word);
  if (found != nullptr && loaded_ && SameText(*found, loadedName_)) {
    const std::string name = *found;
    Guarded("Update", [&] {
      StoreFields(name, false);
      TBusyScope busy(busy_);
      RemoveRow(name);
      AddRow(name);
    });
    ShowStored(name, kSaved);
    return true;
  }
  if (found != nullptr) {
    Inform(QString::fromLatin1(kWordHeld));
    return false;
  }
  Guarded("Add", [&] {
    if (!ScannerAdd(word)) throw EGUIException(Place("AddFailed"), word);
    StoreFields(word, true);
    TBusyScope busy(busy_);
    AddRow(word);
  });
  ShowStored(word, kAdded);
  return true;
}

void TScannerGuiBase::Guarded(const char* operation, const std::function<void()>& change) {
  try {
    change();
  } catch (...) {
    // The list shows what the scanner holds after the failure.
    const std::string detail = Detail(std::current_exception());
    RefreshList();
    throw EGUIException(Place(operation), detail);
  }
}

void TScannerGuiBase::ShowStored(const std::string& name, const char* format) {
  LoadItem(name);
  SelectRow(name);
  gui_.Root().ReportGUI(FormatText(format, name));
}

void TScannerGuiBase::Save() {
  if (!loaded_ || ItemChanged()) SaveItem(true);
}

void TScannerGuiBase::SaveAs() {
  if (!loaded_ || ItemChanged()) SaveItem(false);
}

void TScannerGuiBase::DeleteItem() {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const std::string wanted = BytesFromText(selected.front()->text(1));
  const int index = list_->indexOfTopLevelItem(selected.front());
  if (!Confirm(QString::fromLatin1(kAskDelete))) return;
  // Gone meanwhile (a command, a reload): nothing to do.
  const std::string* found = FindName(wanted);
  if (found == nullptr) return;
  const std::string name = *found;
  if (loaded_ && SameText(loadedName_, name)) ClearEditor();
  gui_.Root().ReportGUI(FormatText(kRemoved, name));
  Guarded("Delete", [&] { ScannerDelete(name); });  // the row goes through the scanner's view
  const int count = list_->Count();
  {
    // Qt may have moved the selection already; choosing the row again must
    // load it as a click does.
    TBusyScope busy(busy_);
    list_->setCurrentItem(nullptr);
    list_->clearSelection();
  }
  if (count > 0) list_->setCurrentItem(list_->Item(index < count ? index : count - 1));
  RefreshButtons();
}
