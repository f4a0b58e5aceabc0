#include "gui/hub_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

THubPage::THubPage(QWidget* parent)
    : QWidget(parent),
      logo_(new QLabel(this)),
      uptime_(new QLabel(QStringLiteral("Uptime: "), this)),
      start_(new QPushButton(QStringLiteral("Start Hub"), this)),
      stop_(new QPushButton(QStringLiteral("Stop Hub"), this)) {
  logo_->setObjectName(QStringLiteral("imgLogo"));
  logo_->setAlignment(Qt::AlignCenter);
  uptime_->setObjectName(QStringLiteral("lblUptime"));
  start_->setObjectName(QStringLiteral("btnStartHub"));
  stop_->setObjectName(QStringLiteral("btnStopHub"));
  stop_->setEnabled(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(logo_, 1);
  layout->addWidget(uptime_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  ShowLogo(QDate::currentDate());
}

bool THubPage::IsWinter(const QDate& day) {
  const int m = day.month();
  const int d = day.day();
  return m == 1 || m == 2 || (m == 12 && d >= 21) || (m == 3 && d <= 20);
}

void THubPage::ShowLogo(const QDate& today) {
  winter_ = IsWinter(today);
  // The pictures are drawn as text until the artwork exists.
  logo_->setText(winter_ ? QStringLiteral("<h1>Kavro</h1><p>winter</p>")
                         : QStringLiteral("<h1>Kavro</h1>"));
  logo_->setProperty("winter", winter_);
}

void THubPage::ShowUptime(const QString& uptime) {
  uptime_->setText(QStringLiteral("Uptime: ") + uptime);
}
