#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The notification-area icon ctiMain and its menu. Shown only while the
// tray option is on and the desktop has a tray; only then does minimising
// hide the window, so a desktop without a tray never loses the window.
// Owns the icon and its menu; does not own the window.
class TTrayIcon : public QObject {
  Q_OBJECT
 public:
  // The program's side of the menu.
  struct TActions {
    std::function<void()> StartHub;
    std::function<void()> StopHub;
    std::function<void()> CloseHub;  // closes the window, with its question
  };
  static constexpr int kMaxHint = 127;

  TTrayIcon(QWidget& window, TActions actions, std::function<bool()> trayAvailable = {});
  ~TTrayIcon() override;

  // Follows the tray option: icon shown and minimise-to-tray on together.
  void SetEnabled(bool on);
  bool IconVisible() const { return iconVisible_; }
  bool MinimizeToTray() const { return iconVisible_; }

  void ShowMainForm();
  void HideMainForm();

  // "hub name\nStatus: Online|Status:  Offline\nHub: Kavro <version>", cut
  // to 127 characters.
  static QString HintText(const QString& hubName, bool online);
  void SetHint(const QString& hubName, bool online);
  QString Hint() const;

  // The menu's states for the hub's and the window's state (done when it
  // opens; public for tests).
  void UpdateMenu(bool hubRunning);
  QMenu* Menu() const { return menu_; }
  QAction* ShowAction() const { return show_; }
  QAction* HideAction() const { return hide_; }
  QAction* StartAction() const { return start_; }
  QAction* StopAction() const { return stop_; }
  void SetHubRunningQuery(std::function<bool()> query) { hubRunning_ = std::move(query); }

  // The window was minimised: true when it went to the tray.
  bool WindowMinimized();
  void DoubleClicked();

 private:
  QWidget& window_;
  TActions actions_;
  std::function<bool()> trayAvailable_;
  std::function<bool()> hubRunning_;
  QSystemTrayIcon* icon_;
  QMenu* menu_;
  QAction* show_;
  QAction* hide_;
  QAction* start_;
  QAction* stop_;
  QString hint_;
  bool iconVisible_ = false;
  bool hiddenInTray_ = false;  // hidden by the tray, so only the tray brings it back
};
