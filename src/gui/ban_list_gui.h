#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "base/date_time.h"
#include "security/ban_list.h"

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidgetItem;
class TDialogs;
class TSortedListView;

// The "Banlist" page: one result list showing the bans of one kind at a
// time, and per kind a search group and an add/edit group. Owns its
// widgets; not the ban list, the dialogs or the feed it reports to.
class TBanListGui : public QWidget {
  Q_OBJECT

 public:
  using TReport = std::function<void(const std::string& line)>;

  TBanListGui(TBanList& bans, TDialogs& dialogs, TReport reportGUI, QWidget* parent = nullptr);

  // First tab, pickers at now + 5 days and off.
  void Initialize();
  // The page's fill step: a reload may have freed the listed bans, so the
  // result list starts empty again.
  void ShowBans();

  void Search();
  void Match();
  void SaveBan();
  void DeleteSelected();
  void TabChanged(int index);

  // The expiry a picker shows for a ban without one: a date, never 0.
  TDateTime DefaultExpiry() const;

  TBanKind SelectedKind() const { return selected_; }
  TBanKind ShownKind() const { return shown_; }

 private:
  // The controls of one kind's tab.
  struct TTab {
    QLineEdit* search = nullptr;
    QSpinBox* offset = nullptr;
    QSpinBox* maxHits = nullptr;
    QPushButton* searchButton = nullptr;
    QPushButton* matchButton = nullptr;
    QLineEdit* pattern = nullptr;
    QLineEdit* bannedBy = nullptr;
    QLineEdit* reason = nullptr;
    QCheckBox* expireOn = nullptr;
    QDateTimeEdit* expire = nullptr;
    QPushButton* save = nullptr;
  };

  QWidget* BuildTab(TBanKind kind);
  TTab& Tab(TBanKind kind) { return tabs_[static_cast<std::size_t>(kind)]; }
  void ShowRows(TBanKind kind, const std::vector<TBan*>& bans, const QString& header);
  QStringList RowTexts(const TBan& ban) const;
  void RowSelected(QTreeWidgetItem* item);
  void SetExpiry(TBanKind kind, TDateTime expires);
  void ShowMenu(const QPoint& at);
  void Slot(const std::function<void()>& fn);

  TBanList& bans_;
  TDialogs& dialogs_;
  TReport reportGUI_;
  TSortedListView* list_;
  QLabel* header_;
  QLabel* showLabel_;
  QTabWidget* tabWidget_;
  std::array<TTab, 4> tabs_{};
  TBanKind selected_ = TBanKind::Nick;
  TBanKind shown_ = TBanKind::Nick;
  bool busy_ = false;
};

// The list's date text: "yyyy-MM-dd hh:mm:ss", the time left out at
// midnight.
QString BanDateText(TDateTime value);
