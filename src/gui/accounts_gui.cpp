#include "gui/accounts_gui.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "base/exceptions.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/state_icons.h"
#include "gui/text_1252.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "utils/constants.h"
#include "utils/protocol_text.h"
#include "utils/text_format.h"

namespace {

constexpr int kNickColumn = 1;

QString OwnerName() { return TextFromBytes(kDefaultGuiOwnerName); }

QString DateOrNever(TDateTime value) {
  return value == TDateTime{} ? QStringLiteral("[Never]") : TextFromBytes(FormatDate(value));
}

// Civil seconds shown as they are, with no zone shift.
QDateTime ToQt(TDateTime value) { return QDateTime::fromSecsSinceEpoch(value.Seconds, Qt::UTC); }
TDateTime FromQt(const QDateTime& value) { return TDateTime{value.toSecsSinceEpoch()}; }

TDateTime DaysFromNow(int days) { return TDateTime{NowLocal().Seconds + days * kSecondsPerDay}; }

bool MayAddAccounts(const TAccount& account) {
  return account.Profile != nullptr && account.Profile->MayAccountsAdd() != paNone;
}

}  // namespace

TAccountsGui::TAccountsGui(TMainGui& gui) : gui_(gui) {
  Build();
  ClearEditor();
  // No account loaded yet: the picker as a new account would get it.
  dtpAccountExpireDate_->setDateTime(ToQt(DaysFromNow(5)));
  gui_.Root().Accounts().SetView(this);
}

TAccountsGui::~TAccountsGui() { gui_.Root().Accounts().SetView(nullptr); }

void TAccountsGui::Build() {
  page_ = new QWidget;
  page_->setObjectName("AccountsPage");
  auto* layout = new QVBoxLayout(page_);

  lvAccounts_ = new TSortedListView(page_);
  lvAccounts_->setObjectName("lvAccounts");
  lvAccounts_->setHeaderLabels({"", "Nick", "Profile", "Password", "Owner", "Last used", "Last spoke",
                                "IP pattern", "Created", "Created by", "Last modified",
                                "Last modified by", "Expires"});
  lvAccounts_->SetUniqueIdentifierColumn(kNickColumn);
  lvAccounts_->SetSortColumn(kNickColumn);
  lvAccounts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvAccounts_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvAccounts_->setRootIsDecorated(false);
  lvAccounts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvAccounts_->setContextMenuPolicy(Qt::CustomContextMenu);
  images_ = new TStateImages(*lvAccounts_, TStateImageSet::Accounts);
  layout->addWidget(lvAccounts_, 1);

  auto* group = new QGroupBox("Manage account", page_);
  auto* form = new QFormLayout(group);
  cbAccountProfile_ = new QComboBox(group);
  cbAccountProfile_->setObjectName("cbAccountProfile");
  cbAccountOwner_ = new QComboBox(group);
  cbAccountOwner_->setObjectName("cbAccountOwner");
  cbAccountOwner_->setEditable(true);
  cbAccountOwner_->setInsertPolicy(QComboBox::NoInsert);
  cbAccountOwner_->setToolTip("Account owner");
  edtAccountNick_ = new QLineEdit(group);
  edtAccountNick_->setObjectName("edtAccountNick");
  edtAccountNick_->setMaxLength(32);
  edtAccountPass_ = new QLineEdit(group);
  edtAccountPass_->setObjectName("edtAccountPass");
  edtAccountPass_->setMaxLength(64);
  auto* expiry = new QWidget(group);
  auto* expiryRow = new QHBoxLayout(expiry);
  expiryRow->setContentsMargins(0, 0, 0, 0);
  chkAccountExpireDate_ = new QCheckBox(expiry);
  chkAccountExpireDate_->setObjectName("chkAccountExpireDate");
  dtpAccountExpireDate_ = new QDateTimeEdit(expiry);
  dtpAccountExpireDate_->setObjectName("dtpAccountExpireDate");
  dtpAccountExpireDate_->setTimeSpec(Qt::UTC);
  dtpAccountExpireDate_->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
  dtpAccountExpireDate_->setCalendarPopup(true);
  for (QWidget* w : {static_cast<QWidget*>(chkAccountExpireDate_), static_cast<QWidget*>(dtpAccountExpireDate_)})
    w->setToolTip("Set a date when this account will expire");
  expiryRow->addWidget(chkAccountExpireDate_);
  expiryRow->addWidget(dtpAccountExpireDate_, 1);
  edtAccountIPPattern_ = new QLineEdit(group);
  edtAccountIPPattern_->setObjectName("edtAccountIPPattern");
  edtAccountIPPattern_->setMaxLength(256);
  edtAccountIPPattern_->setToolTip(
      "Whole or part of the users IP address (only a user with a matching IP will be allowed to use this "
      "account, ex. 213.112.*.* or 127.0.0.1)");
  memAccountComment_ = new QPlainTextEdit(group);
  memAccountComment_->setObjectName("memAccountComment");
  memAccountComment_->setToolTip("Comment about user");
  memAccountWelcomeMessage_ = new QPlainTextEdit(group);
  memAccountWelcomeMessage_->setObjectName("memAccountWelcomeMessage");
  memAccountWelcomeMessage_->setToolTip("Message that will be sent to the user after connecting");
  // The list takes the height; the memos hold a few lines.
  memAccountComment_->setMaximumHeight(80);
  memAccountWelcomeMessage_->setMaximumHeight(80);
  lvAccounts_->header()->resizeSection(0, 24);
  form->addRow("Profile: ", cbAccountProfile_);
  form->addRow("Owner: ", cbAccountOwner_);
  form->addRow("Nick: ", edtAccountNick_);
  form->addRow("Password: ", edtAccountPass_);
  form->addRow("Expire date: ", expiry);
  form->addRow("IP pattern: ", edtAccountIPPattern_);
  form->addRow("Comment: ", memAccountComment_);
  form->addRow("Greeting: ", memAccountWelcomeMessage_);
  auto* buttons = new QHBoxLayout;
  btnSave_ = new QPushButton("Save", group);
  btnSave_->setObjectName("btnAccountSave");
  btnSaveAs_ = new QPushButton("Save As", group);
  btnSaveAs_->setObjectName("btnAccountSaveAs");
  buttons->addStretch(1);
  buttons->addWidget(btnSave_);
  buttons->addWidget(btnSaveAs_);
  form->addRow(buttons);
  layout->addWidget(group);

  menu_ = new QMenu(page_);
  menu_->setObjectName("pmAccounts");
  actRemove_ = menu_->addAction("&Remove");
  actRemove_->setObjectName("actAccountRemove");
  menu_->addSeparator();
  actDropUser_ = menu_->addAction("&Drop user");
  actDropUser_->setObjectName("actAccountDropUser");
  actCopy_ = menu_->addAction("&Copy to clipboard");
  actCopy_->setObjectName("actAccountCopy");
  actSelectedSeparator_ = menu_->addSeparator();
  actSelected_ = menu_->addAction("Selected: ");
  actSelected_->setObjectName("actAccountSelected");
  actSelected_->setEnabled(false);

  connect(lvAccounts_, &QTreeWidget::itemSelectionChanged, this,
          [this] { GuardSlot([this] { SelectionChanged(); }); });
  connect(lvAccounts_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    GuardSlot([&] {
      UpdateMenu();
      menu_->exec(lvAccounts_->viewport()->mapToGlobal(at));
    });
  });
  connect(btnSave_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Save(); }); });
  connect(btnSaveAs_, &QPushButton::clicked, this, [this] { GuardSlot([this] { SaveAs(); }); });
  connect(actRemove_, &QAction::triggered, this, [this] { GuardSlot([this] { DeleteSelected(); }); });
  connect(actDropUser_, &QAction::triggered, this, [this] { GuardSlot([this] { DropUser(); }); });
  connect(actCopy_, &QAction::triggered, this, [this] { GuardSlot([this] { CopyToClipboard(); }); });
  connect(edtAccountNick_, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  connect(chkAccountExpireDate_, &QCheckBox::toggled, dtpAccountExpireDate_, &QWidget::setEnabled);
  UpdateButtons();
  UpdateMenu();
}

void TAccountsGui::Show() {
  RefreshProfiles();
  RefreshList();
}

void TAccountsGui::Inform(const QString& text) {
  gui_.Dialogs().Inform(text, TDialogs::TKind::Information);
}

// --- rows --------------------------------------------------------------

void TAccountsGui::SetRowTexts(QTreeWidgetItem& item, const TAccount& account) const {
  const TAccounts& accounts = gui_.Root().Accounts();
  const std::string profile =
      account.Profile != nullptr ? account.Profile->Name : accounts.MissingProfileName(account);
  const QStringList texts = {
      account.Online ? QString(QChar(0xA0)) : QStringLiteral(" "),
      TextFromBytes(account.Nick),
      TextFromBytes(profile),
      TextFromBytes(account.Pass),
      TextFromBytes(account.Owner),
      DateOrNever(account.LastUsed),
      DateOrNever(account.LastSpoke),
      account.IPPattern.empty() ? QStringLiteral("[Not Restricted]") : TextFromBytes(account.IPPattern),
      TextFromBytes(FormatDate(account.Created)),
      TextFromBytes(account.CreatedBy),
      DateOrNever(account.LastChanged),
      account.LastChangedBy.empty() ? QStringLiteral("[None]") : TextFromBytes(account.LastChangedBy),
      account.ExpireDateEnabled ? TextFromBytes(FormatDate(account.ExpireDate)) : QStringLiteral("[Permanent]"),
  };
  for (int i = 0; i < texts.size(); ++i)
    if (i != kNickColumn) item.setText(i, texts[i]);
  images_->SetState(item, account.Online ? 1 : 0);
}

void TAccountsGui::AddRow(const TAccount& account) {
  QTreeWidgetItem* item = lvAccounts_->AddItem({QString(), TextFromBytes(account.Nick)});
  SetRowTexts(*item, account);
  if (MayAddAccounts(account)) AddOwner(TextFromBytes(account.Nick));
}

void TAccountsGui::RemoveRow(const QString& nick) {
  TBusyScope busy(busy_);
  delete lvAccounts_->FindItem(nick);
  RemoveOwner(nick);
}

void TAccountsGui::AddOwner(const QString& nick) {
  if (cbAccountOwner_->findText(nick, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0) return;
  const QString typed = cbAccountOwner_->currentText();
  int at = 1;
  while (at < cbAccountOwner_->count() && QString::compare(cbAccountOwner_->itemText(at), nick,
                                                           Qt::CaseInsensitive) < 0)
    ++at;
  cbAccountOwner_->insertItem(at, nick);
  cbAccountOwner_->setEditText(typed);
}

void TAccountsGui::RemoveOwner(const QString& nick) {
  for (int i = 1; i < cbAccountOwner_->count(); ++i) {
    if (cbAccountOwner_->itemText(i) != nick) continue;
    const QString typed = cbAccountOwner_->currentText();
    cbAccountOwner_->removeItem(i);
    cbAccountOwner_->setEditText(typed);
    return;
  }
}

void TAccountsGui::AfterChange() const {
  if (afterChange_) afterChange_();
}

void TAccountsGui::UpdateAccount(const TAccount& account) {
  if (account.Nick.empty()) return;
  TBusyScope busy(busy_);
  const QString nick = TextFromBytes(account.Nick);
  if (QTreeWidgetItem* item = lvAccounts_->FindItem(nick)) {
    SetRowTexts(*item, account);
    if (MayAddAccounts(account)) AddOwner(nick);
    else RemoveOwner(nick);
  } else {
    AddRow(account);
  }
  // Online or not: the menu's drop follows the row's state.
  UpdateMenu();
  AfterChange();
}

void TAccountsGui::RemoveAccount(const TAccount& account) {
  const QString nick = TextFromBytes(account.Nick);
  if (lvAccounts_->FindItem(nick) == nullptr) return;
  if (loaded_.get() == &account) loaded_.reset();
  RemoveRow(nick);
  UpdateButtons();
  UpdateMenu();
  AfterChange();
}

void TAccountsGui::RenameAccount(const TAccount& account, std::string_view oldNick) {
  RemoveRow(TextFromBytes(oldNick));
  TBusyScope busy(busy_);
  AddRow(account);
  UpdateButtons();
  AfterChange();
}

void TAccountsGui::UpdateAccountNick(std::string_view nick) {
  if (const std::shared_ptr<TAccount> account = gui_.Root().Accounts().Find(nick)) {
    UpdateAccount(*account);
  } else {
    RemoveAccountNick(nick);
  }
}

void TAccountsGui::RemoveAccountNick(std::string_view nick) {
  const QString text = TextFromBytes(nick);
  if (loaded_ != nullptr && loaded_->Deleted && TextFromBytes(loaded_->Nick) == text) loaded_.reset();
  RemoveRow(text);
  UpdateButtons();
  UpdateMenu();
}

void TAccountsGui::RefreshList() {
  TBusyScope busy(busy_);
  const TAccounts& accounts = gui_.Root().Accounts();
  lvAccounts_->BeginUpdate();
  lvAccounts_->clear();
  const QString typed = cbAccountOwner_->currentText();
  cbAccountOwner_->clear();
  cbAccountOwner_->addItem(OwnerName());
  for (int i = 0; i < accounts.GetCount(); ++i) AddRow(*accounts.GetItem(i));
  lvAccounts_->EndUpdate();
  // The account's own nick finds it again: the box may hold an unsaved
  // edit that names another account, or none.
  if (loaded_ != nullptr) loaded_ = accounts.Find(loaded_->Nick);
  cbAccountOwner_->setCurrentIndex(0);
  if (loaded_ != nullptr) cbAccountOwner_->setEditText(typed);
  UpdateButtons();
  UpdateMenu();
  AfterChange();
}

// --- profile choices ---------------------------------------------------

void TAccountsGui::AddProfile(TProfile& profile) {
  if (!profile.UserDefined) return;
  const QString name = TextFromBytes(profile.Name);
  if (cbAccountProfile_->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0) return;
  int at = 0;
  while (at < cbAccountProfile_->count() &&
         QString::compare(cbAccountProfile_->itemText(at), name, Qt::CaseInsensitive) < 0)
    ++at;
  cbAccountProfile_->insertItem(at, name);
  if (cbAccountProfile_->currentIndex() < 0) cbAccountProfile_->setCurrentIndex(0);
}

void TAccountsGui::RemoveProfile(TProfile& profile) {
  const int at = cbAccountProfile_->findText(TextFromBytes(profile.Name),
                                             Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (at >= 0) cbAccountProfile_->removeItem(at);
  if (cbAccountProfile_->currentIndex() < 0 && cbAccountProfile_->count() > 0)
    cbAccountProfile_->setCurrentIndex(0);
}

void TAccountsGui::RefreshProfiles() {
  const QString chosen = cbAccountProfile_->currentText();
  const TProfiles& profiles = gui_.Root().Profiles();
  cbAccountProfile_->clear();
  for (int i = 0; i < profiles.GetCount(); ++i)
    cbAccountProfile_->addItem(TextFromBytes(profiles.GetItem(i)->Name));
  const int at = cbAccountProfile_->findText(chosen, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  cbAccountProfile_->setCurrentIndex(at >= 0 ? at : (cbAccountProfile_->count() > 0 ? 0 : -1));
  // A renamed profile shows its new name in its accounts' rows, and a
  // changed right moves their nicks into or out of the owner list.
  const TAccounts& accounts = gui_.Root().Accounts();
  for (int i = 0; i < lvAccounts_->Count(); ++i) {
    QTreeWidgetItem* row = lvAccounts_->Item(i);
    const std::shared_ptr<TAccount> account = accounts.Find(BytesFromText(row->text(kNickColumn)));
    if (account == nullptr) continue;
    SetRowTexts(*row, *account);
    if (MayAddAccounts(*account)) AddOwner(row->text(kNickColumn));
    else RemoveOwner(row->text(kNickColumn));
  }
}

// --- the editor --------------------------------------------------------

void TAccountsGui::LoadAccount(const std::shared_ptr<TAccount>& account) {
  TBusyScope busy(busy_);
  const TAccounts& accounts = gui_.Root().Accounts();
  const std::string profile =
      account->Profile != nullptr ? account->Profile->Name : accounts.MissingProfileName(*account);
  cbAccountOwner_->setEditText(TextFromBytes(account->Owner));
  cbAccountProfile_->setCurrentIndex(
      cbAccountProfile_->findText(TextFromBytes(profile), Qt::MatchFixedString | Qt::MatchCaseSensitive));
  edtAccountNick_->setText(TextFromBytes(account->Nick));
  edtAccountPass_->setText(TextFromBytes(account->Pass));
  edtAccountIPPattern_->setText(TextFromBytes(account->IPPattern));
  // Without an expiry the picker offers a date the operator would pick,
  // never the stored zero.
  dtpAccountExpireDate_->setDateTime(ToQt(account->ExpireDateEnabled ? account->ExpireDate : DaysFromNow(5)));
  chkAccountExpireDate_->setChecked(account->ExpireDateEnabled);
  dtpAccountExpireDate_->setEnabled(account->ExpireDateEnabled);
  memAccountWelcomeMessage_->setPlainText(MemoFromBytes(account->OnJoin));
  memAccountComment_->setPlainText(MemoFromBytes(account->Comment));
  loaded_ = account;
  UpdateButtons();
}

void TAccountsGui::ClearEditor() {
  TBusyScope busy(busy_);
  loaded_.reset();
  if (cbAccountOwner_->count() == 0) cbAccountOwner_->addItem(OwnerName());
  cbAccountOwner_->setCurrentIndex(0);
  cbAccountOwner_->setEditText(cbAccountOwner_->itemText(0));
  edtAccountNick_->clear();
  edtAccountPass_->clear();
  edtAccountIPPattern_->clear();
  memAccountWelcomeMessage_->clear();
  memAccountComment_->clear();
  dtpAccountExpireDate_->setDateTime(ToQt(DaysFromNow(1)));
  chkAccountExpireDate_->setChecked(false);
  dtpAccountExpireDate_->setEnabled(false);
  UpdateButtons();
}

bool TAccountsGui::IsUnchanged() const {
  if (loaded_ == nullptr) return true;
  const TAccount& a = *loaded_;
  const TAccounts& accounts = gui_.Root().Accounts();
  const std::string profile = a.Profile != nullptr ? a.Profile->Name : accounts.MissingProfileName(a);
  if (QString::compare(edtAccountNick_->text(), TextFromBytes(a.Nick), Qt::CaseInsensitive) != 0) return false;
  if (edtAccountPass_->text() != TextFromBytes(a.Pass)) return false;
  if (cbAccountProfile_->currentText() != TextFromBytes(profile)) return false;
  if (cbAccountOwner_->currentText() != TextFromBytes(a.Owner)) return false;
  if (edtAccountIPPattern_->text() != TextFromBytes(a.IPPattern)) return false;
  if (chkAccountExpireDate_->isChecked() != a.ExpireDateEnabled) return false;
  // The date counts only while the expiry is on.
  if (a.ExpireDateEnabled && FromQt(dtpAccountExpireDate_->dateTime()) != a.ExpireDate) return false;
  if (memAccountWelcomeMessage_->toPlainText() != MemoFromBytes(a.OnJoin)) return false;
  return memAccountComment_->toPlainText() == MemoFromBytes(a.Comment);
}

void TAccountsGui::SelectionChanged() {
  UpdateMenu();
  if (busy_) return;
  const QString nick = SelectedNick();
  if (nick.isEmpty()) {
    if (lvAccounts_->selectedItems().isEmpty() && loaded_ != nullptr && IsUnchanged()) ClearEditor();
    return;
  }
  if (!IsUnchanged()) {
    const TDialogs::TButton answer = gui_.Dialogs().Ask(
        "Changes has been made to loaded account, do you wish to \r\nsave those before loading another account?",
        TDialogs::TKind::Confirmation, {TDialogs::TButton::Yes, TDialogs::TButton::No});
    if (answer == TDialogs::TButton::Yes) {
      SaveLoaded(true);
      return;
    }
  }
  // The question ran a nested loop: the account may be gone by now.
  if (const std::shared_ptr<TAccount> account = gui_.Root().Accounts().Find(BytesFromText(nick)))
    LoadAccount(account);
}

QString TAccountsGui::SelectedNick() const {
  const QList<QTreeWidgetItem*> rows = lvAccounts_->selectedItems();
  return rows.size() == 1 ? rows.front()->text(kNickColumn) : QString();
}

void TAccountsGui::UpdateButtons() {
  const QString nick = edtAccountNick_->text();
  btnSave_->setEnabled(loaded_ != nullptr && !nick.isEmpty());
  btnSaveAs_->setEnabled(!nick.isEmpty() && (loaded_ == nullptr || nick != TextFromBytes(loaded_->Nick)));
}

void TAccountsGui::UpdateMenu() {
  const int selected = static_cast<int>(lvAccounts_->selectedItems().size());
  actRemove_->setEnabled(selected > 0);
  actCopy_->setEnabled(selected > 0);
  // The row's state image tells whether its user is online.
  actDropUser_->setEnabled(selected > 0 && RowState(*lvAccounts_->selectedItems().front()) == 1);
  actSelectedSeparator_->setVisible(selected > 1);
  actSelected_->setVisible(selected > 1);
  actSelected_->setText("Selected: " + QString::number(selected));
}

void TAccountsGui::SelectRow(const QString& nick) {
  TBusyScope busy(busy_);
  QTreeWidgetItem* item = lvAccounts_->FindItem(nick);
  if (item == nullptr) return;
  lvAccounts_->clearSelection();
  item->setSelected(true);
  lvAccounts_->setCurrentItem(item);
  lvAccounts_->scrollToItem(item);
  UpdateMenu();
}

void TAccountsGui::SelectIndex(int index) {
  const int count = lvAccounts_->Count();
  if (count == 0) return;
  QTreeWidgetItem* item = lvAccounts_->Item(std::min(index, count - 1));
  lvAccounts_->clearSelection();
  item->setSelected(true);
  lvAccounts_->setCurrentItem(item);
}

// --- storing -----------------------------------------------------------

bool TAccountsGui::Save() {
  if (loaded_ != nullptr && IsUnchanged()) return false;
  return SaveLoaded(true);
}

bool TAccountsGui::SaveAs() {
  if (loaded_ != nullptr && IsUnchanged()) return false;
  return SaveLoaded(false);
}

bool TAccountsGui::SaveLoaded(bool renameAllowed) {
  TAccounts& accounts = gui_.Root().Accounts();
  const std::string nick = ProtocolSafeText(BytesFromText(edtAccountNick_->text()));
  edtAccountNick_->setText(TextFromBytes(nick));
  const std::string pass = BytesFromText(edtAccountPass_->text());
  if (nick.empty() || pass.empty()) {
    Inform("Please supply both a nickname and a password");
    return false;
  }
  const std::string profileName = BytesFromText(cbAccountProfile_->currentText());
  const std::shared_ptr<TProfile> profile = gui_.Root().Profiles().Find(profileName);
  if (profile == nullptr)
    throw EGUIException("GUI.Account.SaveLoaded", FormatText("Profile %s not found", profileName));

  std::string oldNick;
  if (renameAllowed && loaded_ != nullptr && loaded_->Nick != nick) {
    oldNick = loaded_->Nick;
    if (!accounts.Rename(loaded_, nick)) {
      Inform("An account with this nick does already exist, please change nick");
      return false;
    }
  }

  std::shared_ptr<TAccount> account = accounts.Find(nick);
  if (account != nullptr && account != loaded_) {
    Inform("An account with this nick does already exist, please change nick");
    return false;
  }
  const bool adding = account == nullptr;
  QString ip = edtAccountIPPattern_->text();
  ip.replace("localhost", "127.0.0.1", Qt::CaseInsensitive);
  edtAccountIPPattern_->setText(ip);
  try {
    if (adding) {
      account = accounts.Add(nick, profile->Name);
      if (account == nullptr) throw EGUIException("TAccounts.Add", "the account was refused");
      account->CreatedBy = std::string(kDefaultGuiOwnerName);
    } else {
      accounts.ChangeProfile(account, profile);
    }
    account->Owner = BytesFromText(cbAccountOwner_->currentText());
    account->Pass = pass;
    account->IPPattern = BytesFromText(ip);
    account->ExpireDateEnabled = chkAccountExpireDate_->isChecked();
    // An expiry switched off keeps its stored date.
    if (account->ExpireDateEnabled) account->ExpireDate = FromQt(dtpAccountExpireDate_->dateTime());
    account->LastChanged = NowLocal();
    account->LastChangedBy = std::string(kDefaultGuiOwnerName);
    account->OnJoin = BytesFromMemo(memAccountWelcomeMessage_->toPlainText());
    account->Comment = BytesFromMemo(memAccountComment_->toPlainText());
  } catch (const std::exception& e) {
    RefreshList();
    throw EGUIException(adding ? "GUI.Accounts.Add" : "GUI.Accounts.Update", e.what());
  }
  UpdateAccount(*account);
  loaded_ = account;
  SelectRow(TextFromBytes(account->Nick));
  UpdateButtons();
  if (adding) {
    gui_.Root().ReportGUI(FormatText("The account %s has been added via GUI", nick));
  } else if (!oldNick.empty()) {
    gui_.Root().ReportGUI(
        FormatText("The old account nick %s has been Updated via GUI for the new nick %s", oldNick, nick));
  } else {
    gui_.Root().ReportGUI(FormatText("The account %s has been updated via GUI", nick));
  }
  return true;
}

void TAccountsGui::DeleteSelected() {
  QStringList nicks;
  int firstIndex = -1;
  for (int i = 0; i < lvAccounts_->Count(); ++i) {
    if (!lvAccounts_->Item(i)->isSelected()) continue;
    if (firstIndex < 0) firstIndex = i;
    nicks.append(lvAccounts_->Item(i)->text(kNickColumn));
  }
  if (nicks.isEmpty()) return;
  const QString question = nicks.size() == 1 ? "Are you really sure you wish to delete this account?"
                                             : "Are you really sure you wish to delete these accounts?";
  if (!gui_.Dialogs().Confirm(question)) return;
  TAccounts& accounts = gui_.Root().Accounts();
  {
    TBusyScope busy(busy_);
    lvAccounts_->BeginUpdate();
    // From the last one up; each found again after the question.
    for (auto it = nicks.crbegin(); it != nicks.crend(); ++it) {
      const std::string nick = BytesFromText(*it);
      const std::shared_ptr<TAccount> account = accounts.Find(nick);
      if (account == nullptr) continue;
      if (account == loaded_) ClearEditor();
      gui_.Root().ReportGUI(FormatText("The account %s was removed via GUI", account->Nick));
      accounts.Delete(nick);
    }
    lvAccounts_->EndUpdate();
  }
  SelectIndex(firstIndex);
}

void TAccountsGui::CopyToClipboard() {
  const QString nick = SelectedNick().isEmpty() && !lvAccounts_->selectedItems().isEmpty()
                           ? lvAccounts_->selectedItems().front()->text(kNickColumn)
                           : SelectedNick();
  if (nick.isEmpty()) return;
  const std::shared_ptr<TAccount> account = gui_.Root().Accounts().Find(BytesFromText(nick));
  if (account == nullptr) return;
  const QString stars(29, QChar('*'));
  const QString text = "\r\n" + stars + "\r\n Account on " + TextFromBytes(gui_.Root().Settings().HubAddress) +
                       "\r\n\r\n Username: " + TextFromBytes(account->Nick) +
                       "\r\n Password: " + TextFromBytes(account->Pass) + "\r\n\r\n" + stars + "\r\n";
  QApplication::clipboard()->setText(text);
}

void TAccountsGui::DropUser() {
  const QList<QTreeWidgetItem*> rows = lvAccounts_->selectedItems();
  if (rows.isEmpty()) return;
  THubSocket* user = gui_.Root().NickList().FindUser(BytesFromText(rows.front()->text(kNickColumn)));
  if (user == nullptr) return;
  // The next pass of the hub closes it after the terminator goes out.
  user->WriteBuffer().AppendChar('|');
  user->LifeState = lsClosing;
}
