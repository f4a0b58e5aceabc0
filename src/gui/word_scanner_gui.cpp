#include "gui/word_scanner_gui.h"

#include <QComboBox>
#include <QFormLayout>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "gui/controls/sorted_list_view.h"
#include "gui/text_1252.h"

namespace {

constexpr int kMinLevel = 1;
constexpr int kMaxLevel = 10;

}  // namespace

template <typename Item>
TWordScannerGui<Item>::TWordScannerGui(TMainGui& gui, TWordScanner<Item>& scanner, const TTexts& texts)
    : TScannerGuiBase(gui, QString::fromLatin1(texts.Area),
                      {QString(), QStringLiteral("Search"), QStringLiteral("Action"), QStringLiteral("Phrase")}),
      scanner_(scanner),
      actionName_(texts.ActionName) {
  auto* form = new QFormLayout;
  action_ = new QComboBox(page_);
  action_->setObjectName(Name("cb", "Action"));
  action_->addItems(texts.ActionChoices);
  form->addRow(QStringLiteral("Action"), action_);
  reason_ = new QPlainTextEdit(page_);
  reason_->setObjectName(Name("mem", "Reason"));
  reason_->setToolTip(QStringLiteral(
      "The reason for the action (an empty reason is allow and results in no reason being sent)"));
  form->addRow(QStringLiteral("Reason"), reason_);
  level_ = new QSpinBox(page_);
  level_->setObjectName(Name("se", "Level"));
  level_->setRange(kMinLevel, kMaxLevel);
  level_->setValue(kMinLevel);
  level_->setToolTip(ScannerLevelHint());
  form->addRow(QStringLiteral("Level"), level_);
  editorBox_->addLayout(form);

  QObject* ctx = context_.get();
  QObject::connect(action_, &QComboBox::currentIndexChanged, ctx, [this] { RefreshButtons(); });
  QObject::connect(reason_, &QPlainTextEdit::textChanged, ctx, [this] { RefreshButtons(); });
  QObject::connect(level_, &QSpinBox::valueChanged, ctx, [this] { RefreshButtons(); });
  scanner_.SetView(this);
}

template <typename Item>
TWordScannerGui<Item>::~TWordScannerGui() {
  scanner_.SetView(nullptr);
}

template <typename Item>
const std::string* TWordScannerGui<Item>::FindName(std::string_view word) const {
  const Item* item = scanner_.Find(word);
  return item != nullptr ? &item->Name : nullptr;
}

template <typename Item>
QStringList TWordScannerGui<Item>::RowTexts(std::string_view name) const {
  const Item& item = *scanner_.Find(name);
  return {ScannerStateText(item.Enable), TextFromBytes(item.Name),
          TextFromBytes(actionName_(item.Action)),
          ScannerPhrase(item.Name, item.RestrictStart, item.RestrictStop, false, false)};
}

template <typename Item>
bool TWordScannerGui<Item>::ScannerRename(std::string_view name, std::string_view newName) {
  Item* item = scanner_.Find(name);
  return item != nullptr && scanner_.Rename(*item, newName);
}

template <typename Item>
void TWordScannerGui<Item>::ShowFields(std::string_view name) {
  const Item& item = *scanner_.Find(name);
  ShowCommon(item.Name, item.Enable, item.RestrictStart, item.RestrictStop);
  // A stored value the controls cannot show stays stored until edited.
  action_->setCurrentIndex(item.Action >= 0 && item.Action < action_->count() ? item.Action : -1);
  level_->setValue(item.Level);
  reason_->setPlainText(MemoFromBytes(item.Reason));
  shownAction_ = action_->currentIndex();
  shownLevel_ = level_->value();
  shownReason_ = reason_->toPlainText();
}

template <typename Item>
void TWordScannerGui<Item>::ClearFields() {
  action_->setCurrentIndex(0);
  level_->setValue(kMinLevel);
  reason_->clear();
  shownAction_ = 0;
  shownLevel_ = kMinLevel;
  shownReason_.clear();
}

template <typename Item>
bool TWordScannerGui<Item>::FieldsChanged() const {
  return action_->currentIndex() != shownAction_ || level_->value() != shownLevel_ ||
         reason_->toPlainText() != shownReason_;
}

template <typename Item>
void TWordScannerGui<Item>::StoreFields(std::string_view name, bool all) {
  Item& item = *scanner_.Find(name);
  StoreCommon(item.Enable, item.RestrictStart, item.RestrictStop, all);
  if ((all || action_->currentIndex() != shownAction_) && action_->currentIndex() >= 0)
    item.Action = action_->currentIndex();
  if (all || level_->value() != shownLevel_) item.Level = level_->value();
  if (all || reason_->toPlainText() != shownReason_) item.Reason = BytesFromMemo(reason_->toPlainText());
}

template class TWordScannerGui<TPMScannerItem>;
template class TWordScannerGui<TSearchScannerItem>;
