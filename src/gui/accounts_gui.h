#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string_view>

#include "gui/profile_choices.h"
#include "security/accounts_view.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidgetItem;
class QWidget;
class TAccount;
class TMainGui;
class TSortedListView;
class TStateImages;

// The accounts page: every registered account in a list and one of them in
// the editor. Writes straight into the accounts list and posts a GUI line
// for each change; the list tells it back what changed through its view.
// Registers itself as the accounts' view and as a profile-choices page while
// it lives. Main thread only.
class TAccountsGui final : public QObject, public TProfileChoices, public TAccountsView {
  Q_OBJECT

 public:
  explicit TAccountsGui(TMainGui& gui);
  ~TAccountsGui() override;
  TAccountsGui(const TAccountsGui&) = delete;
  TAccountsGui& operator=(const TAccountsGui&) = delete;

  QWidget* Page() const { return page_; }

  // The show step: profile choices, then every row.
  void Show();

  // TAccountsView
  void UpdateAccount(const TAccount& account) override;
  void RemoveAccount(const TAccount& account) override;
  void RenameAccount(const TAccount& account, std::string_view oldNick) override;
  void RefreshList() override;

  // TProfileChoices
  void AddProfile(TProfile& profile) override;
  void RemoveProfile(TProfile& profile) override;
  void RefreshProfiles() override;

  // Runs after every change of the rows: moving accounts between profiles
  // changes what the profiles page marks.
  void SetAfterChange(std::function<void()> hook) { afterChange_ = std::move(hook); }

  // By nick, for the commands' news.
  void UpdateAccountNick(std::string_view nick);
  void RemoveAccountNick(std::string_view nick);

  bool Save();
  bool SaveAs();
  void DeleteSelected();
  void CopyToClipboard();
  void DropUser();
  void ClearEditor();
  bool IsUnchanged() const;
  const std::shared_ptr<TAccount>& Loaded() const { return loaded_; }

 private:
  void Build();
  void AddRow(const TAccount& account);
  void RemoveRow(const QString& nick);
  void SetRowTexts(QTreeWidgetItem& item, const TAccount& account) const;
  void AddOwner(const QString& nick);
  void RemoveOwner(const QString& nick);
  void LoadAccount(const std::shared_ptr<TAccount>& account);
  void SelectionChanged();
  bool SaveLoaded(bool renameAllowed);
  void SelectRow(const QString& nick);
  void SelectIndex(int index);
  void UpdateButtons();
  void UpdateMenu();
  QString SelectedNick() const;
  void Inform(const QString& text);
  void AfterChange() const;

  TMainGui& gui_;
  QWidget* page_ = nullptr;  // owned by the window once installed
  TSortedListView* lvAccounts_ = nullptr;
  TStateImages* images_ = nullptr;  // a child of the list
  QComboBox* cbAccountProfile_ = nullptr;
  QComboBox* cbAccountOwner_ = nullptr;
  QLineEdit* edtAccountNick_ = nullptr;
  QLineEdit* edtAccountPass_ = nullptr;
  QDateTimeEdit* dtpAccountExpireDate_ = nullptr;
  QCheckBox* chkAccountExpireDate_ = nullptr;
  QLineEdit* edtAccountIPPattern_ = nullptr;
  QPlainTextEdit* memAccountComment_ = nullptr;
  QPlainTextEdit* memAccountWelcomeMessage_ = nullptr;
  QPushButton* btnSave_ = nullptr;
  QPushButton* btnSaveAs_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* actRemove_ = nullptr;
  QAction* actDropUser_ = nullptr;
  QAction* actCopy_ = nullptr;
  QAction* actSelectedSeparator_ = nullptr;
  QAction* actSelected_ = nullptr;

  std::shared_ptr<TAccount> loaded_;  // the account in the editor
  std::function<void()> afterChange_;
  bool busy_ = false;
};
