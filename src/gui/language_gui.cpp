#include "gui/language_gui.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "core/kavro_root.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "settings/language_manager.h"
#include "settings/settings.h"

TLanguageGui::TLanguageGui(TKavroRoot& root, QWidget* parent, std::function<void()> selected)
    : root_(root), selected_(std::move(selected)) {
  auto* layout = new QHBoxLayout(parent);
  layout->addWidget(new QLabel(QStringLiteral("Core language"), parent));
  list_ = new QComboBox(parent);
  list_->setObjectName(QStringLiteral("cboLanguage"));
  list_->setToolTip(QStringLiteral("Choose which language to use for hub messages"));
  auto* save = new QPushButton(QStringLiteral("Save"), parent);
  save->setObjectName(QStringLiteral("btnLanguageSave"));
  auto* reload = new QPushButton(QStringLiteral("Reload"), parent);
  reload->setObjectName(QStringLiteral("btnLanguageReload"));
  layout->addWidget(list_, 1);
  layout->addWidget(reload);
  layout->addWidget(save);
  QObject::connect(list_, &QComboBox::currentIndexChanged, list_,
                   [this] { GuardSlot([this] { SelectLanguage(); }); });
  QObject::connect(reload, &QPushButton::clicked, reload,
                   [this] { GuardSlot([this] { Reload(); }); });
  QObject::connect(save, &QPushButton::clicked, save, [this] { GuardSlot([this] { Save(); }); });
}

void TLanguageGui::ShowLanguages() {
  TBusyScope busy(busy_);
  TLanguageManager& manager = root_.LanguageManager();
  list_->clear();
  for (int i = 0; i < manager.GetCount(); ++i)
    list_->addItem(TextFromBytes(manager.GetLanguageName(i)));
  const int current = list_->findText(TextFromBytes(manager.CurrentName()), Qt::MatchExactly);
  if (current >= 0) list_->setCurrentIndex(current);
}

void TLanguageGui::SelectLanguage() {
  if (busy_ || list_->currentIndex() < 0) return;
  const std::string name = BytesFromText(list_->currentText());
  TLanguageManager& manager = root_.LanguageManager();
  if (manager.SelectLanguage(name)) {
    root_.Settings().Language = name;
    if (selected_) selected_();
    return;
  }
  TBusyScope busy(busy_);
  list_->setCurrentIndex(list_->findText(TextFromBytes(manager.CurrentName()), Qt::MatchExactly));
}

void TLanguageGui::Reload() {
  root_.LanguageManager().Rescan();
  ShowLanguages();
  if (selected_) selected_();
}

void TLanguageGui::Save() { root_.LanguageManager().SaveLanguage(); }
