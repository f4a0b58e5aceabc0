#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <string_view>

#include "core/commands/chat_rooms.h"
#include "gui/profile_choices.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TMainGui;
class TMultiCheckListBox;
class TSortedListView;

// The chat-rooms page: the rooms by name and the editor of one, with the
// profiles that see, may join, auto-join and administer it. Holds the
// loaded room by its name, so a command that removed it meanwhile cannot
// leave it dangling. Owns no widget (the window does) and no room.
class TChatRoomsGui final : public TChatRoomsView, public TProfileChoices {
 public:
  // The profile list's check columns.
  enum TColumn { kVisible = 0, kJoin = 1, kAutoJoin = 2, kAdmin = 3 };

  explicit TChatRoomsGui(TMainGui& gui);
  ~TChatRoomsGui() override;
  TChatRoomsGui(const TChatRoomsGui&) = delete;
  TChatRoomsGui& operator=(const TChatRoomsGui&) = delete;

  QWidget* Page() const { return page_; }

  // TChatRoomsView
  void UpdateRoom(TChatRoom& room) override;
  void RemoveRoom(std::string_view name) override;
  void RefreshList() override;
  // TProfileChoices
  void AddProfile(TProfile& profile) override;
  void RemoveProfile(TProfile& profile) override;
  void RefreshProfiles() override;

  void LoadRoom(TChatRoom& room);
  void ClearEditor();
  bool SaveRoom(bool renameAllowed);
  void DeleteSelected();
  void Save();
  void SaveAs();
  void UpdateButtons();

 private:
  void Build();
  TChatRooms& Rooms() const;
  TChatRoom* Loaded() const;
  void AddRow(const TChatRoom& room);
  void SelectRow(const QString& name);
  void RowSelected();
  bool Changed() const;
  void FillRoom(TChatRoom& room);
  void LockedToggled();
  void FeedToggled();
  void InsertProfileRow(const QString& name);
  int ProfileRow(const QString& name) const;

  TMainGui& gui_;
  QObject guard_;  // connections end with the controller
  bool busy_ = false;
  bool loaded_ = false;
  std::string loadedName_;
  QWidget* page_ = nullptr;
  TSortedListView* list_ = nullptr;
  QAction* remove_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QPlainTextEdit* welcome_ = nullptr;
  QCheckBox* operator_ = nullptr;
  QCheckBox* feed_ = nullptr;
  QCheckBox* locked_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* saveAs_ = nullptr;
  TMultiCheckListBox* profiles_ = nullptr;
};
