#pragma once

#include <QDate>
#include <QWidget>

class QLabel;
class QPushButton;

// The Hub page: the logo (a winter one from 21 December to 20 March), the
// uptime line and the Start/Stop buttons. The buttons' actions belong to
// the program (TMainGui). Owns its child widgets.
class THubPage : public QWidget {
  Q_OBJECT
 public:
  explicit THubPage(QWidget* parent = nullptr);

  static bool IsWinter(const QDate& day);
  void ShowLogo(const QDate& today);
  bool WinterLogoShown() const { return winter_; }
  // "Uptime: " + the core's uptime text.
  void ShowUptime(const QString& uptime);

  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  QLabel* UptimeLabel() const { return uptime_; }

 private:
  QLabel* logo_;
  QLabel* uptime_;
  QPushButton* start_;
  QPushButton* stop_;
  bool winter_ = false;
};
