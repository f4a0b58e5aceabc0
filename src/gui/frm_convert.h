#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "security/settings_converter.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TDialogs;

// "Convert from Murn": finds the predecessor's saved lists in a folder the
// operator picks and imports the ticked ones through the converter. Owns
// its widgets and the items found; not the converter. While it exists the
// converter's messages go to its dialogs.
class TfrmConvert final : public QDialog {
  Q_OBJECT

 public:
  // The folder picker: (title, start folder) -> folder, empty when
  // cancelled. A file dialog by default; tests answer it.
  using TFolderPicker = std::function<QString(const QString&, const QString&)>;

  TfrmConvert(TSettingsConverter& converter, TDialogs& dialogs, QWidget* parent = nullptr);
  ~TfrmConvert() override;

  void SetFolderPicker(TFolderPicker picker) { picker_ = std::move(picker); }
  void Browse();
  void ScanFolder(const QString& folder);
  void Convert();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TSettingsConverter& converter_;
  TDialogs& dialogs_;
  TFolderPicker picker_;
  std::vector<TConvertItem> items_;  // one per list row
  QLineEdit* folder_ = nullptr;
  QListWidget* list_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QCheckBox* clearOld_ = nullptr;
  QCheckBox* createProfiles_ = nullptr;
};
