#include "gui/splash_screen.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "utils/constants.h"
#include "gui/text_1252.h"

TfrmSplashScreen::TfrmSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), status_(new QLabel(this)) {
  setObjectName(QStringLiteral("frmSplashScreen"));
  const QString caption = QStringLiteral("Starting ") + TextFromBytes(kProductName) +
                          QStringLiteral(" ") + TextFromBytes(kProgramVersion);
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(caption, this);
  QFont big = title->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  title->setFont(big);
  layout->addWidget(title);
  layout->addWidget(new QLabel(QStringLiteral("A hub for Direct Connect clients"), this));
  status_->setObjectName(QStringLiteral("lblStatus"));
  layout->addWidget(status_);
  resize(360, 140);
}

void TfrmSplashScreen::SetStatus(const QString& text) {
  history_.append(text);
  status_->setText(text);
  // Only paint work: input must not reach the half-built window.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSplashScreen::closeEvent(QCloseEvent* event) { event->ignore(); }
