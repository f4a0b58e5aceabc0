#pragma once

#include <QObject>
#include <memory>

#include "stats/user_stats_module.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;
class TMainGui;
class TSettings;

// The user-statistics page: where the statistics live, the database's
// connection values, the automatic prune and the active back end's counts.
// Each control stores only its own field when the operator changes it, so
// a stored value its control cannot show (prune days past 999) stays until
// that control is edited. Owns no widget (the window does) and no back end.
class TUserStatsGui final : public TUserStatsView {
 public:
  explicit TUserStatsGui(TMainGui& gui);
  ~TUserStatsGui() override;
  TUserStatsGui(const TUserStatsGui&) = delete;
  TUserStatsGui& operator=(const TUserStatsGui&) = delete;

  QWidget* Page() const { return page_; }

  void ShowSettings();
  // TUserStatsView
  void ShowCounts() override;
  void SwitchToLocal() override;

  void TryConnect();
  void PruneNow();
  void ClearUserStats();

 private:
  void Build();
  TSettings& Settings() const;
  void ModeChosen();
  void PruneToggled();
  void ShowConnection(bool connected);

  TMainGui& gui_;
  TUserStatsModule* stats_ = nullptr;  // null: a root without statistics
  QObject guard_;                      // connections end with the controller
  // Whether the controller still exists when a connection test answers.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool busy_ = false;
  QWidget* page_ = nullptr;
  QRadioButton* disabled_ = nullptr;
  QRadioButton* local_ = nullptr;
  QRadioButton* mysql_ = nullptr;
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* database_ = nullptr;
  QPushButton* tryConnect_ = nullptr;
  QLabel* connection_ = nullptr;
  QCheckBox* prune_ = nullptr;
  QSpinBox* pruneDays_ = nullptr;
  QLabel* oldest_ = nullptr;
  QLabel* nicks_ = nullptr;
  QLabel* ips_ = nullptr;
  QPushButton* clear_ = nullptr;
};
