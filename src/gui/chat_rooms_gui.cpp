#include "gui/chat_rooms_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidgetItem>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>

#include "base/exceptions.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "gui/controls/multi_check_list_box.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "utils/protocol_text.h"
#include "utils/text_format.h"

namespace {

const char* const kChangedQuestion =
    "Changes has been made to loaded chatroom, do you wish to \r\nsave those before loading "
    "another chatroom?";
const char* const kExists = "A chatroom with this name does already exist, please change name";

bool Holds(const TProfileSet& set, const TProfile& profile) {
  return std::any_of(set.begin(), set.end(),
                     [&profile](const auto& held) { return held.get() == &profile; });
}

void Inform(TDialogs& dialogs, const QString& text) {
  dialogs.Inform(text, TDialogs::TKind::Information);
}

}  // namespace

TChatRoomsGui::TChatRoomsGui(TMainGui& gui) : gui_(gui) {
  Build();
  RefreshProfiles();
  ClearEditor();
  Rooms().SetView(this);
}

TChatRoomsGui::~TChatRoomsGui() { Rooms().SetView(nullptr); }

TChatRooms& TChatRoomsGui::Rooms() const { return gui_.Root().ChatRooms(); }

TChatRoom* TChatRoomsGui::Loaded() const { return loaded_ ? Rooms().Find(loadedName_) : nullptr; }

void TChatRoomsGui::Build() {
  page_ = new QWidget;
  auto* layout = new QHBoxLayout(page_);
  list_ = new TSortedListView;
  list_->setObjectName(QStringLiteral("lvChatRooms"));
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Comment")});
  list_->setRootIsDecorated(false);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  remove_ = new QAction(QStringLiteral("&Remove"), list_);
  remove_->setObjectName(QStringLiteral("actChatRoomsRemove"));
  remove_->setEnabled(false);
  list_->addAction(remove_);
  layout->addWidget(list_, 1);

  auto* group = new QGroupBox(QStringLiteral("Chatroom"));
  auto* form = new QFormLayout(group);
  name_ = new QLineEdit;
  name_->setObjectName(QStringLiteral("edtChatRoomName"));
  name_->setToolTip(QStringLiteral("Chatroom name (will be displayed on the userlist)"));
  form->addRow(QStringLiteral("Name"), name_);
  comment_ = new QLineEdit;
  comment_->setObjectName(QStringLiteral("edtChatRoomComment"));
  form->addRow(QStringLiteral("Comment"), comment_);
  welcome_ = new QPlainTextEdit;
  welcome_->setObjectName(QStringLiteral("memChatRoomWelcome"));
  welcome_->setToolTip(
      QStringLiteral("A custom welcome message (showed when joining a chatroom via +join)\n"
                     "Replaces are <nick>, <profile>, <ip> and <dns>"));
  form->addRow(QStringLiteral("Welcome message"), welcome_);
  operator_ = new QCheckBox(QStringLiteral("Show chatroom as operator"));
  operator_->setObjectName(QStringLiteral("chkChatRoomOperator"));
  form->addRow(operator_);
  feed_ = new QCheckBox(QStringLiteral("Show feed messages"));
  feed_->setObjectName(QStringLiteral("chkChatRoomFeed"));
  feed_->setToolTip(QStringLiteral("This chatroom will recieve Feed messages"));
  form->addRow(feed_);
  locked_ = new QCheckBox(QStringLiteral("Locked chatroom"));
  locked_->setObjectName(QStringLiteral("chkChatRoomLocked"));
  locked_->setToolTip(QStringLiteral("The possibility to join/leave the chatroom are disabled"));
  form->addRow(locked_);
  profiles_ = new TMultiCheckListBox;
  profiles_->setObjectName(QStringLiteral("mclProfiles"));
  profiles_->SetCheckboxes(4);
  profiles_->SetColumnCaptions(
      {QStringLiteral("V"), QStringLiteral("J"), QStringLiteral("AJ"), QStringLiteral("A")});
  form->addRow(profiles_);
  save_ = new QPushButton(QStringLiteral("Save"));
  save_->setObjectName(QStringLiteral("btnChatRoomSave"));
  saveAs_ = new QPushButton(QStringLiteral("Save As"));
  saveAs_->setObjectName(QStringLiteral("btnChatRoomSaveAs"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_);
  buttons->addWidget(saveAs_);
  form->addRow(buttons);
  layout->addWidget(group, 2);

  const auto slot = [this](auto fn) {
    return [this, fn](auto&&...) { GuardSlot([this, fn] { (this->*fn)(); }); };
  };
  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &guard_,
                   slot(&TChatRoomsGui::RowSelected));
  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &guard_,
                   [this] { remove_->setEnabled(!list_->selectedItems().isEmpty()); });
  QObject::connect(remove_, &QAction::triggered, &guard_, slot(&TChatRoomsGui::DeleteSelected));
  QObject::connect(save_, &QPushButton::clicked, &guard_, slot(&TChatRoomsGui::Save));
  QObject::connect(saveAs_, &QPushButton::clicked, &guard_, slot(&TChatRoomsGui::SaveAs));
  QObject::connect(locked_, &QCheckBox::toggled, &guard_, slot(&TChatRoomsGui::LockedToggled));
  QObject::connect(feed_, &QCheckBox::toggled, &guard_, slot(&TChatRoomsGui::FeedToggled));
  QObject::connect(name_, &QLineEdit::textChanged, &guard_, slot(&TChatRoomsGui::UpdateButtons));
}

// --- the list ---------------------------------------------------------------

void TChatRoomsGui::AddRow(const TChatRoom& room) {
  list_->AddItem({TextFromBytes(room.Name()), TextFromBytes(room.Comment)});
}

void TChatRoomsGui::SelectRow(const QString& name) {
  QTreeWidgetItem* row = list_->FindItem(name);
  if (row == nullptr) return;
  TBusyScope busy(busy_);
  list_->setCurrentItem(row);
  list_->scrollToItem(row);
}

void TChatRoomsGui::UpdateRoom(TChatRoom& room) {
  TBusyScope busy(busy_);
  delete list_->FindItem(TextFromBytes(room.Name()));
  AddRow(room);
}

void TChatRoomsGui::RemoveRoom(std::string_view name) {
  TBusyScope busy(busy_);
  delete list_->FindItem(TextFromBytes(name));
  if (loaded_ && loadedName_ == name) loaded_ = false;
  UpdateButtons();
}

void TChatRoomsGui::RefreshList() {
  {
    TBusyScope busy(busy_);
    list_->BeginUpdate();
    list_->clear();
    for (int i = 0; i < Rooms().GetCount(); ++i) AddRow(Rooms().GetItem(i));
    list_->EndUpdate();
  }
  // The edited room by its own name, whatever the name box holds.
  if (loaded_ && Rooms().Find(loadedName_) == nullptr) loaded_ = false;
  if (loaded_) SelectRow(TextFromBytes(loadedName_));
  UpdateButtons();
}

void TChatRoomsGui::RowSelected() {
  if (busy_) return;
  const QList<QTreeWidgetItem*> rows = list_->selectedItems();
  // Nothing selected any more: an unchanged editor is let go.
  if (rows.isEmpty() && loaded_ && !Changed()) ClearEditor();
  if (rows.size() != 1) return;
  const std::string name = BytesFromText(rows.front()->text(0));
  if (Changed() && gui_.Dialogs().Confirm(QString::fromLatin1(kChangedQuestion))) {
    SaveRoom(true);
    return;
  }
  if (TChatRoom* room = Rooms().Find(name)) LoadRoom(*room);
}

// --- the profile rows -------------------------------------------------------

int TChatRoomsGui::ProfileRow(const QString& name) const {
  for (int i = 0; i < profiles_->count(); ++i)
    if (profiles_->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

void TChatRoomsGui::InsertProfileRow(const QString& name) {
  if (ProfileRow(name) >= 0) return;
  int at = 0;
  while (at < profiles_->count() &&
         profiles_->item(at)->text().compare(name, Qt::CaseInsensitive) < 0)
    ++at;
  profiles_->insertItem(at, name);
  const bool open = !locked_->isChecked();
  profiles_->SetItemEnabled(at, kJoin, open);
  profiles_->SetItemEnabled(at, kAdmin, open);
}

void TChatRoomsGui::RefreshProfiles() {
  if (loaded_) ClearEditor();
  profiles_->clear();
  const TProfiles& profiles = gui_.Root().Profiles();
  for (int i = 0; i < profiles.GetCount(); ++i)
    InsertProfileRow(TextFromBytes(profiles.GetItem(i)->Name));
  InsertProfileRow(TextFromBytes(profiles.Regular()->Name));
  InsertProfileRow(TextFromBytes(profiles.Registered()->Name));
}

void TChatRoomsGui::AddProfile(TProfile& profile) { InsertProfileRow(TextFromBytes(profile.Name)); }

void TChatRoomsGui::RemoveProfile(TProfile& profile) {
  const int row = ProfileRow(TextFromBytes(profile.Name));
  if (row >= 0) delete profiles_->takeItem(row);
  if (profiles_->count() > 0 && profiles_->currentRow() < 0) profiles_->setCurrentRow(0);
}

// --- the editor -------------------------------------------------------------

void TChatRoomsGui::LoadRoom(TChatRoom& room) {
  {
    TBusyScope busy(busy_);
    name_->setText(TextFromBytes(room.Name()));
    comment_->setText(TextFromBytes(room.Comment));
    welcome_->setPlainText(MemoFromBytes(room.WelcomeMessage));
    operator_->setChecked(room.IsOperator());
    locked_->setChecked(room.Locked);
    feed_->setChecked(Rooms().FeedRoom() == &room);
    const TProfiles& profiles = gui_.Root().Profiles();
    for (int i = 0; i < profiles_->count(); ++i) {
      const auto profile = profiles.FindAny(BytesFromText(profiles_->item(i)->text()));
      const bool has = profile != nullptr;
      profiles_->SetItemEnabled(i, kJoin, !room.Locked);
      profiles_->SetItemEnabled(i, kAdmin, !room.Locked);
      profiles_->SetChecked(i, kVisible, has && Holds(room.Visibles, *profile));
      profiles_->SetChecked(i, kJoin, has && !room.Locked && Holds(room.MayJoins, *profile));
      profiles_->SetChecked(i, kAutoJoin, has && Holds(room.AutoJoins, *profile));
      profiles_->SetChecked(i, kAdmin, has && !room.Locked && Holds(room.Admins, *profile));
    }
  }
  loaded_ = true;
  loadedName_ = room.Name();
  UpdateButtons();
}

void TChatRoomsGui::ClearEditor() {
  {
    TBusyScope busy(busy_);
    name_->clear();
    welcome_->clear();
    comment_->clear();
    operator_->setChecked(false);
    feed_->setChecked(false);
    locked_->setChecked(false);
    for (int i = 0; i < profiles_->count(); ++i) {
      for (int c = kVisible; c <= kAdmin; ++c) profiles_->SetChecked(i, c, false);
      profiles_->SetItemEnabled(i, kJoin, true);
      profiles_->SetItemEnabled(i, kAdmin, true);
    }
  }
  loaded_ = false;
  loadedName_.clear();
  UpdateButtons();
}

void TChatRoomsGui::LockedToggled() {
  const bool open = !locked_->isChecked();
  for (int i = 0; i < profiles_->count(); ++i) {
    profiles_->SetItemEnabled(i, kJoin, open);
    profiles_->SetItemEnabled(i, kAdmin, open);
  }
}

void TChatRoomsGui::FeedToggled() {
  if (busy_ || !feed_->isChecked()) return;
  const TChatRoom* feedRoom = Rooms().FeedRoom();
  const TChatRoom* loaded = Loaded();
  if (loaded == nullptr || feedRoom == nullptr || feedRoom == loaded) return;
  Inform(gui_.Dialogs(), TextFromBytes(FormatText("If you choose to direct feed to %s you'll remove "
                                                  "feed from %s",
                                                  loaded->Name(), feedRoom->Name())));
}

bool TChatRoomsGui::Changed() const {
  const TChatRoom* room = Loaded();
  if (room == nullptr) return false;
  if (BytesFromText(name_->text()) != room->Name() ||
      BytesFromMemo(welcome_->toPlainText()) != room->WelcomeMessage ||
      BytesFromText(comment_->text()) != room->Comment ||
      operator_->isChecked() != room->IsOperator() || locked_->isChecked() != room->Locked ||
      feed_->isChecked() != (Rooms().FeedRoom() == room))
    return true;
  const TProfiles& profiles = gui_.Root().Profiles();
  for (int i = 0; i < profiles_->count(); ++i) {
    const auto profile = profiles.FindAny(BytesFromText(profiles_->item(i)->text()));
    if (profile == nullptr) continue;
    if (profiles_->Checked(i, kVisible) != Holds(room->Visibles, *profile) ||
        profiles_->Checked(i, kJoin) != (Holds(room->MayJoins, *profile) && !room->Locked) ||
        profiles_->Checked(i, kAutoJoin) != Holds(room->AutoJoins, *profile) ||
        profiles_->Checked(i, kAdmin) != (Holds(room->Admins, *profile) && !room->Locked))
      return true;
  }
  return false;
}

void TChatRoomsGui::UpdateButtons() {
  const bool named = !name_->text().isEmpty();
  save_->setEnabled(loaded_ && named);
  saveAs_->setEnabled(named && (!loaded_ || BytesFromText(name_->text()) != loadedName_));
}

void TChatRoomsGui::Save() {
  if (loaded_ && !Changed()) return;
  SaveRoom(true);
}

void TChatRoomsGui::SaveAs() {
  if (loaded_ && !Changed()) return;
  SaveRoom(false);
}

// The editor's fields into `room`; a locked room's join and admin sets stay
// empty whatever the boxes show.
void TChatRoomsGui::FillRoom(TChatRoom& room) {
  room.Comment = BytesFromText(comment_->text());
  room.WelcomeMessage = BytesFromMemo(welcome_->toPlainText());
  room.SetIsOperator(operator_->isChecked());
  room.Locked = locked_->isChecked();
  room.Visibles.clear();
  room.MayJoins.clear();
  room.AutoJoins.clear();
  room.Admins.clear();
  const TProfiles& profiles = gui_.Root().Profiles();
  for (int i = 0; i < profiles_->count(); ++i) {
    auto profile = profiles.FindAny(BytesFromText(profiles_->item(i)->text()));
    if (profile == nullptr) continue;
    if (profiles_->Checked(i, kVisible)) room.Visibles.push_back(profile);
    if (profiles_->Checked(i, kJoin) && !room.Locked) room.MayJoins.push_back(profile);
    if (profiles_->Checked(i, kAutoJoin)) room.AutoJoins.push_back(profile);
    if (profiles_->Checked(i, kAdmin) && !room.Locked) room.Admins.push_back(profile);
  }
}

bool TChatRoomsGui::SaveRoom(bool renameAllowed) {
  TDialogs& dialogs = gui_.Dialogs();
  const std::string name = ProtocolSafeText(BytesFromText(name_->text()));
  {
    TBusyScope busy(busy_);
    name_->setText(TextFromBytes(name));
  }
  if (name.empty()) {
    Inform(dialogs, QStringLiteral("Please supply both a name of the chatroom"));
    return false;
  }
  if (gui_.Root().NickList().FindUser(name) != nullptr) {
    Inform(dialogs, QStringLiteral("The name you've suggested is already in use by an online user"));
    return false;
  }
  if (TextFromBytes(name).compare(TextFromBytes(gui_.Root().Settings().BotName()),
                                  Qt::CaseInsensitive) == 0) {
    Inform(dialogs, QStringLiteral("The name you've suggested is already in use by the hub bot"));
    return false;
  }
  TChatRoom* loaded = Loaded();
  if (renameAllowed && loaded != nullptr && name != loaded->Name()) {
    const std::string old(loaded->Name());
    if (!Rooms().Rename(*loaded, name)) {
      Inform(dialogs, QString::fromLatin1(kExists));
      return false;
    }
    loadedName_ = name;
    TBusyScope busy(busy_);
    delete list_->FindItem(TextFromBytes(old));
  }
  TChatRoom* room = Rooms().Find(name);
  loaded = Loaded();
  const bool update = room != nullptr;
  if (update && room != loaded) {
    Inform(dialogs, QString::fromLatin1(kExists));
    return false;
  }
  try {
    if (update) {
      // Who sees it may change: gone for those who see it now, then back
      // for those who see it after.
      room->BroadcastQuit(room->Name());
      FillRoom(*room);
      if (feed_->isChecked()) Rooms().SetFeedRoom(room);
      else if (Rooms().FeedRoom() == room) Rooms().SetFeedRoom(nullptr);
      UpdateRoom(*room);
      room->Announce();
    } else {
      auto made = Rooms().Make(name);
      TChatRoom* added = made.get();
      FillRoom(*made);
      if (!Rooms().Add(std::move(made))) {
        // A name the hub holds for itself: never reported as added.
        Inform(dialogs, QStringLiteral("The chatroom %1 was refused: its name is in use by the hub")
                            .arg(TextFromBytes(name)));
        return false;
      }
      if (feed_->isChecked()) Rooms().SetFeedRoom(added);
      room = added;
    }
    loaded_ = true;
    loadedName_ = room->Name();
    SelectRow(TextFromBytes(loadedName_));
    gui_.Root().ReportGUI(FormatText(update ? "The chatroom %s has been saved via GUI"
                                            : "The chatroom %s has been added via GUI",
                                     name));
  } catch (const std::exception& error) {
    RefreshList();
    throw EGUIException(update ? "GUI.ChatRooms.Update" : "GUI.ChatRooms.Add", error.what());
  }
  UpdateButtons();
  return true;
}

void TChatRoomsGui::DeleteSelected() {
  const QList<QTreeWidgetItem*> rows = list_->selectedItems();
  if (rows.size() != 1) return;
  const int index = list_->indexOfTopLevelItem(rows.front());
  const std::string name = BytesFromText(rows.front()->text(0));
  if (!gui_.Dialogs().Confirm(QStringLiteral("Are you really sure you wish to delete this chatroom?")))
    return;
  if (Rooms().Find(name) == nullptr) return;  // gone while asked
  if (loaded_ && loadedName_ == name) ClearEditor();
  Rooms().Delete(name);
  if (list_->Count() == 0) return;
  TBusyScope busy(busy_);
  list_->setCurrentItem(list_->Item(std::min(index, list_->Count() - 1)));
}
