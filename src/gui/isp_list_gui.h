#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "security/isp_list.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDialogs;
class TframeConnRestriction;
class TSettings;

// The "ISPIP" page: the ISPs as a tree of ISPs and their ranges, an editor
// for one ISP (name, description, prefixes, restriction) and a group adding
// and removing ranges. It is the ISP list's view, so the list's own changes
// (commands, loads, imports) reach the tree. The loaded ISP is remembered
// by name and found again after every rebuild or question, since a reload
// or a command may free it meanwhile. Owns its widgets; not the list, the
// settings, the dialogs or the feed.
class TISPListGui : public QWidget, public TISPListView {
  Q_OBJECT

 public:
  using TReport = std::function<void(const std::string& line)>;

  TISPListGui(TISPList& isps, TSettings& settings, TDialogs& dialogs, TReport reportGUI,
              QWidget* parent = nullptr);
  ~TISPListGui() override;

  // The view, called by the list.
  void AddISPNode(TISP& isp) override;
  void RemoveISPNode(TISP& isp) override;
  void AddIPNode(std::string_view mask, TISP& isp) override;
  void RemoveIPNode(std::string_view mask, TISP& isp) override;
  void RefreshTree() override;

  // The page's fill step: the tree and the "Enable ISP/IP check" box.
  void ShowISPs();
  void ShowISPCheck();

  bool LoadISP(const std::string& name);
  bool SaveISP(bool renameAllowed);
  void Save();
  void SaveAs();
  void DeleteNode();
  void AddIP();
  void RemoveIP();
  void ClearEditor();

  // The ISP in the editor, or null.
  TISP* LoadedISP() const;
  // True when the editor holds nothing the loaded ISP lacks.
  bool EditorUnchanged() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTreeWidgetItem* FindISPNode(std::string_view name) const;
  int FindBoxEntry(std::string_view name) const;
  void InsertBoxEntry(const std::string& name);
  void SortedInsert(QTreeWidgetItem* node);
  void TreeSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void SelectNode(QTreeWidgetItem* node);
  void RenameLoaded(TISP& isp, const std::string& newName);
  void UpdateButtons();
  void StoreISPCheck(bool on);
  // Rebuilds the tree from the list, then raises the page's error.
  [[noreturn]] void Fail(std::string_view place, const std::exception& error);

  TISPList& isps_;
  TSettings& settings_;
  TDialogs& dialogs_;
  TReport reportGUI_;
  QTreeWidget* tree_;
  QLineEdit* name_;
  QLineEdit* description_;
  QLineEdit* prefix_;
  TframeConnRestriction* frame_;
  QPushButton* save_;
  QPushButton* saveAs_;
  QComboBox* ispBox_;
  QLineEdit* ip_;
  QPushButton* addIP_;
  QPushButton* removeIP_;
  QCheckBox* ispCheck_;
  std::string loadedName_;
  bool loaded_ = false;
  bool suppress_ = false;  // tree selection changes made by the page itself
  bool busy_ = false;
};
