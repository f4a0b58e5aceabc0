#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTreeWidgetItem;
class QWidget;
class TAdvSpinEdit;
class TMainGui;
class TSortedListView;
struct TUserRegItem;

// The protected-nicks page: a search over the nicks users protected
// themselves, one entry's name and password to add or change, and the
// switch that lets users register. Main thread only.
class TUserRegisteredGui final : public QObject {
  Q_OBJECT

 public:
  explicit TUserRegisteredGui(TMainGui& gui);
  ~TUserRegisteredGui() override;
  TUserRegisteredGui(const TUserRegisteredGui&) = delete;
  TUserRegisteredGui& operator=(const TUserRegisteredGui&) = delete;

  QWidget* Page() const { return page_; }

  // The settings switch as the settings hold it now.
  void ShowSettings();
  void Search();
  void SaveEntry();
  void DeleteSelected();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void AddRow(const TUserRegItem& item);
  void SetRowTexts(QTreeWidgetItem& row, const TUserRegItem& item) const;
  void SelectionChanged();
  void Inform(const QString& text);

  TMainGui& gui_;
  QWidget* page_ = nullptr;  // owned by the window once installed
  TSortedListView* lvRegistered_ = nullptr;
  QLineEdit* edtRegisteredSearch_ = nullptr;
  TAdvSpinEdit* seRegisteredOffset_ = nullptr;
  TAdvSpinEdit* seRegisteredMaxHits_ = nullptr;
  QPushButton* btnSearch_ = nullptr;
  QLineEdit* edtRegisteredName_ = nullptr;
  QLineEdit* edtRegisteredPassword_ = nullptr;
  QPushButton* btnAddSave_ = nullptr;
  QCheckBox* chkRegisterEnable_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* actRemove_ = nullptr;
  bool busy_ = false;
};
