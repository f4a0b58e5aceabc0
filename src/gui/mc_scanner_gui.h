#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "gui/scanner_gui_base.h"
#include "security/mc_scanner.h"

class QComboBox;
class QSpinBox;
class QTimeEdit;
class QTreeWidget;

// The main-chat scanner page: an item carries a list of actions, each for a
// time of day and below a profile level. The action rows hold copies: the
// item's own actions change only when the item is saved.
class TMCScannerGui final : public TScannerGuiBase, public TMCScannerView {
 public:
  explicit TMCScannerGui(TMainGui& gui);
  ~TMCScannerGui() override;

  // The scanner's view.
  void RemoveItem(const TMCScannerItem& item) override { ForgetItem(item.Name); }
  void RefreshList() override { TScannerGuiBase::RefreshList(); }

  // "Add to list", "Update selected", the action list's "&Remove"; false
  // when refused. `quiet`: an overlap is refused without a message.
  bool AddAction(bool quiet = false);
  bool UpdateAction(bool quiet = false);
  void DeleteAction();
  void LoadAction(int index);
  int ActionRowCount() const { return static_cast<int>(rows_.size()); }
  const TMCScannerItemAction& ActionRow(int index) const { return rows_.at(static_cast<std::size_t>(index)); }

 protected:
  int ItemCount() const override;
  std::string ItemName(int index) const override;
  const std::string* FindName(std::string_view word) const override;
  QStringList RowTexts(std::string_view name) const override;
  bool ScannerAdd(std::string_view word) override;
  bool ScannerRename(std::string_view name, std::string_view newName) override;
  bool ScannerDelete(std::string_view name) override;
  void ShowFields(std::string_view name) override;
  void ClearFields() override;
  bool FieldsChanged() const override;
  void StoreFields(std::string_view name, bool all) override;
  void BeforeSave() override;

 private:
  // What the action editor holds, or showed at the last load.
  struct TActionFields {
    int Kind = 0;
    QString Replace;
    int Level = 1;
    bool UseTime = false;
    int Start = 0;
    int Stop = kLastSecondOfDay;
    bool operator==(const TActionFields&) const = default;
  };

  TActionFields EditorFields() const;
  void ShowAction(const TActionFields& fields);
  void ResetActionEditor();
  int SelectedAction() const;
  bool ActionChanged() const;
  // From the editor; with `base`, the fields not edited since shown keep
  // base's values.
  TMCScannerItemAction MakeAction(const TMCScannerItemAction* base) const;
  // Whether the window meets another row's (not `except`).
  bool Overlapping(const TMCScannerItemAction& action, int except) const;
  void FillActionRow(int index);
  void SelectAction(int index);
  void ActionSelectionChanged();
  void RefreshActionButtons();

  TMCScanner& scanner_;
  QCheckBox* expandStart_;
  QCheckBox* expandStop_;
  QComboBox* kind_;
  QLineEdit* replace_;
  QSpinBox* level_;
  QCheckBox* useTime_;
  QTimeEdit* start_;
  QTimeEdit* stop_;
  QPushButton* addAction_;
  QPushButton* updateAction_;
  QTreeWidget* actions_;
  QAction* removeAction_;

  std::vector<TMCScannerItemAction> rows_;  // one per action row, owner-less
  bool actionsAdded_ = false;
  bool actionsDeleted_ = false;
  bool shownExpandStart_ = false;
  bool shownExpandStop_ = false;
  TActionFields shownAction_;
};
