#include "gui/frm_convert.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialogs.h"
#include "gui/kavro_application.h"

TfrmConvert::TfrmConvert(TSettingsConverter& converter, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), converter_(converter), dialogs_(dialogs) {
  setObjectName(QStringLiteral("frmConvert"));
  setWindowTitle(QStringLiteral("Convert from Murn"));
  picker_ = [this](const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(this, title, start, QFileDialog::ShowDirsOnly);
  };
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Browse for Murn saves folder")));
  auto* folderRow = new QHBoxLayout;
  folder_ = new QLineEdit;
  folder_->setObjectName(QStringLiteral("edtConvertFolder"));
  folder_->setReadOnly(true);
  auto* browse = new QPushButton(QStringLiteral("Browse"));
  browse->setObjectName(QStringLiteral("btnConvertBrowse"));
  folderRow->addWidget(folder_);
  folderRow->addWidget(browse);
  layout->addLayout(folderRow);
  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("clbConvertItems"));
  layout->addWidget(list_);
  memo_ = new QPlainTextEdit;
  memo_->setObjectName(QStringLiteral("memConvertActions"));
  memo_->setReadOnly(true);
  layout->addWidget(memo_);
  clearOld_ = new QCheckBox(QStringLiteral("Clear old settings before converting"));
  clearOld_->setObjectName(QStringLiteral("chkConvertClearOld"));
  createProfiles_ =
      new QCheckBox(QStringLiteral("Create empty profile if missing when converting accounts"));
  createProfiles_->setObjectName(QStringLiteral("chkConvertCreateProfiles"));
  createProfiles_->setChecked(true);
  layout->addWidget(clearOld_);
  layout->addWidget(createProfiles_);
  auto* buttons = new QHBoxLayout;
  auto* convert = new QPushButton(QStringLiteral("Convert settings"));
  convert->setObjectName(QStringLiteral("btnConvert"));
  auto* close = new QPushButton(QStringLiteral("&Close"));
  close->setObjectName(QStringLiteral("btnConvertClose"));
  buttons->addStretch();
  buttons->addWidget(convert);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, [this] { GuardSlot([this] { Browse(); }); });
  connect(convert, &QPushButton::clicked, this, [this] { GuardSlot([this] { Convert(); }); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  converter_.SetMessageSink([this](const std::string& text) {
    dialogs_.Inform(QString::fromStdString(text), TDialogs::TKind::Error);
  });
}

TfrmConvert::~TfrmConvert() { converter_.SetMessageSink({}); }

void TfrmConvert::showEvent(QShowEvent* event) {
  if (!QDir(folder_->text()).exists() || folder_->text().isEmpty()) {
    list_->clear();
    items_.clear();
  }
  QDialog::showEvent(event);
}

void TfrmConvert::Browse() {
  const QString folder = picker_(QStringLiteral("Browsing for Murn saves folder"), folder_->text());
  folder_->setText(folder);
  ScanFolder(folder);
}

void TfrmConvert::ScanFolder(const QString& folder) {
  list_->clear();
  items_ = ::ScanFolder(folder.toStdString());
  for (const TConvertItem& item : items_) {
    auto* row = new QListWidgetItem(QString::fromStdString(std::string(ConvertCaption(item.Kind))),
                                    list_);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(Qt::Checked);
  }
}

void TfrmConvert::Convert() {
  bool any = false;
  for (int i = 0; i < list_->count(); ++i) any = any || list_->item(i)->checkState() == Qt::Checked;
  if (!any) return;
  const QString question = QStringLiteral(
      "Converting these selected items will overwrite current settings. \r\n\r\nAre you sure "
      "you'd like to continue?");
  if (dialogs_.Ask(question, TDialogs::TKind::Warning, {TDialogs::TButton::Yes, TDialogs::TButton::No}) !=
      TDialogs::TButton::Yes)
    return;
  memo_->clear();
  // The rows and the items go together; a rescan during a question would
  // replace both, so take the ticked items first.
  std::vector<TConvertItem> ticked;
  for (int i = 0; i < list_->count() && i < static_cast<int>(items_.size()); ++i)
    if (list_->item(i)->checkState() == Qt::Checked) ticked.push_back(items_[static_cast<std::size_t>(i)]);
  for (const TConvertItem& item : ticked) {
    const bool ok = converter_.Import(item, clearOld_->isChecked(), createProfiles_->isChecked());
    memo_->appendPlainText(QString::fromStdString(ConvertResultLine(item.Kind, ok)));
  }
  dialogs_.Inform(QString::fromLatin1(kConvertFinished.data(), static_cast<int>(kConvertFinished.size())),
                  TDialogs::TKind::Information);
}
