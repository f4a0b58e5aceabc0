#include "gui/about_gui.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/text_1252.h"
#include "utils/constants.h"

namespace {

// A link label whose caption is the address it opens.
QLabel* LinkLabel(const QString& address, const QString& name, QWidget* parent) {
  auto* label = new QLabel(address, parent);
  label->setObjectName(name);
  label->setCursor(Qt::PointingHandCursor);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
  return label;
}

class TLinkOpener : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease)
      if (auto* label = qobject_cast<QLabel*>(watched))
        QDesktopServices::openUrl(QUrl(label->text()));
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

TAboutGui::TAboutGui(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(this)),
      credits_(new QLabel(this)),
      history_(new QLabel(this)),
      homeLink_(LinkLabel(QStringLiteral("https://www.lua.org/"), QStringLiteral("lblHomeLink"),
                          this)),
      protocolLink_(LinkLabel(QStringLiteral("https://en.wikipedia.org/wiki/Direct_Connect_(protocol)"),
                              QStringLiteral("lblProtocolLink"), this)) {
  setObjectName(QStringLiteral("AboutGui"));
  title_->setObjectName(QStringLiteral("lblAboutTitle"));
  credits_->setObjectName(QStringLiteral("lblAboutCredits"));
  credits_->setWordWrap(true);
  history_->setObjectName(QStringLiteral("lblAboutHistory"));
  history_->setWordWrap(true);
  auto* opener = new TLinkOpener(this);
  homeLink_->installEventFilter(opener);
  protocolLink_->installEventFilter(opener);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(credits_);
  layout->addWidget(history_);
  layout->addWidget(homeLink_);
  layout->addWidget(protocolLink_);
  layout->addStretch(1);
  Show();
}

void TAboutGui::Show() {
  title_->setText(QStringLiteral("<h2>") + TextFromBytes(kProductName) + QStringLiteral(" ") +
                  TextFromBytes(kProgramVersion) + QStringLiteral("</h2>"));
  credits_->setText(TextFromBytes(kProductName) +
                    QStringLiteral(" is a hub for the NMDC protocol, the text protocol of Direct "
                                   "Connect clients. It checks the users who log in, keeps the "
                                   "user list and relays main chat, private messages, searches "
                                   "and connection requests."));
  history_->setText(QStringLiteral(
      "History: written in C++20 for Linux, with one core that does the hub's work and two "
      "programs that run it: this window and the headless kavrod."));
}
