#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "core/hub_list_host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDialogs;
class TKavroRoot;
class TStateImages;

// The state image of a host's row: error and registration state, the
// selected set while the list has the focus.
int HostRowImage(const THost& host, bool selectedInFocus);

// The Hublists page: the hub-list hosts and the editor of one of them, and
// the switch of the registrations. The host list's view while it lives.
// Owns its widgets and the edited host's name; not the hosts.
class THubListGui : public QWidget, public THubListView {
  Q_OBJECT
 public:
  THubListGui(TKavroRoot& root, TDialogs& dialogs, QWidget* parent = nullptr);
  ~THubListGui() override;

  // Nothing edited, the fields at their defaults.
  void Initialize();
  // The start-up's and a reload's fill.
  void Show();
  void RefreshList();
  void SelectHost(const QString& name);
  // "Save" (false) and "Save As" (true).
  void Save(bool asNew);
  void RemoveSelected();
  // A click on empty space in the list.
  void ClickEmpty();
  // "Save" and "Save As" enabling.
  void IdleRefresh();
  // Tests: runs after the fields were copied into a host, as a failure
  // there would.
  void SetCopyCheck(std::function<void(const THost&)> check) { copyCheck_ = std::move(check); }

  QString EditedName() const;
  QTreeWidget* List() const { return list_; }

  // THubListView
  void UpdateHost(const THost& host) override;
  void RemoveHost(const THost& host) override;
  void Rebuild() override { RefreshList(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  THost* Edited() const;
  bool Changed(const THost& host) const;
  void LoadFields(const THost& host);
  void CopyFields(THost& host) const;
  void ShowStatus(const THost& host);
  void ClearFields();
  QTreeWidgetItem* Row(const std::string& name) const;
  void FillRow(QTreeWidgetItem& row, const THost& host);
  void SaveHosts();
  void Store(bool asNew);

  TKavroRoot& root_;
  TDialogs& dialogs_;
  std::function<void(const THost&)> copyCheck_;
  std::optional<std::string> edited_;  // the edited host's own name
  bool busy_ = false;
  QTreeWidget* list_;
  TStateImages* images_;  // a child of the list
  QCheckBox* registration_;
  QLineEdit* name_;
  QLineEdit* description_;
  QLineEdit* host_;
  QLineEdit* port_;
  QCheckBox* enabled_;
  QCheckBox* mayConnect_;
  QCheckBox* nickPatternOn_;
  QLineEdit* nickPattern_;
  QCheckBox* ipPatternOn_;
  QLineEdit* ipPattern_;
  QCheckBox* dns_;
  QCheckBox* nmdcs_;
  QLabel* lastAttempt_;
  QPushButton* save_;
  QPushButton* saveAs_;
};
