#pragma once

#include <QDateTime>
#include <QValidator>
#include <memory>
#include <string>

#include "gui/controls/string_pattern_list.h"
#include "gui/settings_binding.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TMainGui;

// The ports fields take digits, ".", ":" and ";" only; anything else typed
// or pasted is dropped, the rest kept in its order.
class TPortsValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  static QString Filter(const QString& text);
};

// The General settings page: hub identity, ports, bot, hub-list texts,
// automatic save and load, the save/load/convert buttons and the "Lock hub"
// switch. Owns the two port lists, whose changes open and close the
// hub's listeners; the page's widgets belong to the window.
class TSettingsGui {
 public:
  explicit TSettingsGui(TMainGui& gui);
  ~TSettingsGui();
  TSettingsGui(const TSettingsGui&) = delete;
  TSettingsGui& operator=(const TSettingsGui&) = delete;

  QWidget* Page() const { return page_; }
  // Where the language controls go.
  QGroupBox* LanguageGroup() const { return languageGroup_; }
  QComboBox* WorkPaceList() const { return cbWorkPace_; }
  bool& BusyFlag() { return binder_.BusyFlag(); }

  // The first show creates the port lists; later ones only refill.
  void Initialize();
  void ShowSettings();
  void ShowWorkPace();
  void ShowWorkPace(int level);
  void ShowUserLimit();
  void StoreSettings();
  void UpdatePorts();
  void UpdateHubName();
  void UpdateBotFields();
  void ShowLastSaved();
  void SetLastSaved(const QDateTime& when);
  // Both files of the TLS ports exist.
  bool TlsAvailable() const;

  TStringPatternList& Ports() { return ports_; }
  TStringPatternList& SecurePorts() { return securePorts_; }

 private:
  void Build();
  void BuildIdentity(QWidget* parent, class QGridLayout* grid);
  void BuildHubList(QWidget* parent, class QGridLayout* grid);
  void BindTable();
  void ApplyLockRule();
  void AddPort(const std::string& entry, bool tls);
  void RemovePort(const std::string& entry);
  // Entries as the hub's listeners stand, without opening or closing any.
  void SyncPortLists();
  void SaveNow();
  void LoadNow();
  void LoadIcon();

  TMainGui& gui_;
  TSettingsBinder binder_;
  TStringPatternList ports_;
  TStringPatternList securePorts_;
  bool initialized_ = false;
  bool tls_ = false;
  QDateTime lastSaved_;

  QWidget* page_ = nullptr;
  QComboBox* cbWorkPace_ = nullptr;
  QLineEdit* edtPorts_ = nullptr;
  QLineEdit* edtNmdcsPorts_ = nullptr;
  class QCheckBox* chkNmdcs_ = nullptr;
  class QCheckBox* chkMinimizeToTray_ = nullptr;
  class QCheckBox* chkHubRegistration_ = nullptr;
  QLineEdit* edtHubName_ = nullptr;
  QLineEdit* edtBotName_ = nullptr;
  QLineEdit* edtBotDescription_ = nullptr;
  QLineEdit* edtBotEmail_ = nullptr;
  QLineEdit* edtHubIcon_ = nullptr;
  QLabel* imgHubIcon_ = nullptr;
  QLabel* lblLastSaved_ = nullptr;
  QPushButton* btnStartHub_ = nullptr;
  QPushButton* btnStopHub_ = nullptr;
  QGroupBox* languageGroup_ = nullptr;
};
