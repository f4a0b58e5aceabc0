#include "gui/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

#include "utils/constants.h"
#include "gui/text_1252.h"

TTrayIcon::TTrayIcon(QWidget& window, TActions actions, std::function<bool()> trayAvailable)
    : QObject(&window),
      window_(window),
      actions_(std::move(actions)),
      trayAvailable_(trayAvailable ? std::move(trayAvailable)
                                   : [] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      icon_(new QSystemTrayIcon(this)),
      menu_(new QMenu(&window)),
      show_(menu_->addAction(QStringLiteral("Show window"))),
      hide_(menu_->addAction(QStringLiteral("Hide window"))),
      start_(menu_->addAction(QStringLiteral("Start hub"))),
      stop_(menu_->addAction(QStringLiteral("Stop hub"))) {
  icon_->setObjectName(QStringLiteral("ctiMain"));
  icon_->setIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
  menu_->addSeparator();
  QAction* close = menu_->addAction(QStringLiteral("Close hub"));
  icon_->setContextMenu(menu_);
  connect(show_, &QAction::triggered, this, &TTrayIcon::ShowMainForm);
  connect(hide_, &QAction::triggered, this, &TTrayIcon::HideMainForm);
  connect(start_, &QAction::triggered, this, [this] {
    if (actions_.StartHub) actions_.StartHub();
  });
  connect(stop_, &QAction::triggered, this, [this] {
    if (actions_.StopHub) actions_.StopHub();
  });
  connect(close, &QAction::triggered, this, [this] {
    if (actions_.CloseHub) actions_.CloseHub();
  });
  connect(menu_, &QMenu::aboutToShow, this,
          [this] { UpdateMenu(hubRunning_ ? hubRunning_() : false); });
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick) DoubleClicked();
  });
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetEnabled(bool on) {
  iconVisible_ = on && trayAvailable_();
  icon_->setVisible(iconVisible_);
  // Without the icon a window hidden in the tray could not come back; a
  // window not shown yet (start-up) stays as it is.
  if (!iconVisible_ && hiddenInTray_) ShowMainForm();
}

void TTrayIcon::ShowMainForm() {
  hiddenInTray_ = false;
  window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
  window_.show();
  window_.raise();
  window_.activateWindow();
}

void TTrayIcon::HideMainForm() {
  hiddenInTray_ = true;
  window_.hide();
}

QString TTrayIcon::HintText(const QString& hubName, bool online) {
  const QString text = hubName + QStringLiteral("\nStatus: ") +
                       (online ? QStringLiteral("Online") : QStringLiteral(" Offline")) +
                       QStringLiteral("\nHub: ") + TextFromBytes(kProductName) +
                       QStringLiteral(" ") + TextFromBytes(kProgramVersion);
  return text.left(kMaxHint);
}

void TTrayIcon::SetHint(const QString& hubName, bool online) {
  hint_ = HintText(hubName, online);
  icon_->setToolTip(hint_);
}

QString TTrayIcon::Hint() const { return hint_; }

void TTrayIcon::UpdateMenu(bool hubRunning) {
  const bool visible = window_.isVisible();
  show_->setEnabled(!visible);
  hide_->setEnabled(visible);
  stop_->setVisible(hubRunning);
  start_->setVisible(!hubRunning);
}

bool TTrayIcon::WindowMinimized() {
  if (!MinimizeToTray()) return false;
  HideMainForm();
  return true;
}

void TTrayIcon::DoubleClicked() { ShowMainForm(); }
