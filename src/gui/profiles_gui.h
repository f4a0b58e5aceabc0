#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>

#include "security/profile.h"
#include "security/profiles_view.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimeEdit;
class QTreeWidgetItem;
class QWidget;
class TMainGui;
class TSortedListView;
class TStateImages;
class TframeConnRestriction;

// The profiles page: every profile in a list and one in the editor, one
// control per right. Writes straight into the profile objects and posts a
// GUI line for each change; the profile list tells it back what changed
// through its view, and it tells the pages offering profiles as choices.
// Main thread only.
class TProfilesGui final : public QObject, public TProfilesView {
  Q_OBJECT

 public:
  explicit TProfilesGui(TMainGui& gui);
  ~TProfilesGui() override;
  TProfilesGui(const TProfilesGui&) = delete;
  TProfilesGui& operator=(const TProfilesGui&) = delete;

  QWidget* Page() const { return page_; }

  // The show step.
  void Show();

  // TProfilesView
  void UpdateProfile(TProfile& profile) override;
  void RemoveProfile(TProfile& profile) override;
  void RefreshList() override;

  bool Save();
  bool SaveAs();
  void DeleteSelected();
  void ClearEditor();
  bool IsUnchanged() const;
  const std::shared_ptr<TProfile>& Edited() const { return edited_; }
  // The rows' state images anew: the accounts moved between profiles.
  void RefreshRowStates();

 private:
  void Build();
  QTreeWidgetItem* RowOf(const TProfile& profile) const;
  QTreeWidgetItem* AddRow(TProfile& profile);
  void ShowProfile(const TProfile& profile);
  void WriteEditor(TProfile& target);
  bool StoreEditor(bool rename);
  void SelectionChanged();
  void SelectProfile(const TProfile& profile);
  void UpdateButtons();
  void UpdateMenu();
  void TellChoicesRefresh();
  void Inform(const QString& text);
  // What a control shows for a stored right.
  static std::uint8_t Shown(TProfileRight right, std::uint8_t value);
  std::uint8_t ControlValue(TProfileRight right) const;

  TMainGui& gui_;
  QWidget* page_ = nullptr;  // owned by the window once installed
  TSortedListView* lvProfiles_ = nullptr;
  TStateImages* images_ = nullptr;  // a child of the list
  QLineEdit* edtProfileName_ = nullptr;
  QLineEdit* leProfileDescription_ = nullptr;
  QSlider* tbProfileLevel_ = nullptr;
  QTabWidget* pcProfileSettings_ = nullptr;
  std::array<QAbstractButton*, kProfileRightCount> rights_{};  // null: no control
  TframeConnRestriction* frameProfileConnRestrictions_ = nullptr;
  QCheckBox* chkJoinAnnouncement_ = nullptr;
  QPlainTextEdit* memProfileJoinAnnouncement_ = nullptr;
  QCheckBox* chkAwayTime_ = nullptr;
  QTimeEdit* dtpAwayTime_ = nullptr;
  QPushButton* btnProfilesSave_ = nullptr;
  QPushButton* btnProfilesSaveAs_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* actRemove_ = nullptr;

  std::shared_ptr<TProfile> edited_;  // the profile in the editor
  // The values the editor was filled from: a control left as shown gives
  // back these, so a value it cannot show survives a save.
  TProfile shown_;
  bool busy_ = false;
};
