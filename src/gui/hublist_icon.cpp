#include "gui/hublist_icon.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "gui/text_1252.h"
#include "settings/settings.h"

THublistIcon::THublistIcon(TSettings& settings, std::string imageFolder, TReport error)
    : settings_(settings),
      folder_(std::move(imageFolder)),
      error_(std::move(error)),
      network_(new QNetworkAccessManager(this)),
      timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (reply_ == nullptr) return;
    timedOut_ = true;
    reply_->abort();
  });
}

THublistIcon::~THublistIcon() {
  if (reply_ != nullptr) {
    reply_->disconnect(this);
    reply_->abort();
  }
}

void THublistIcon::Load(const QString& address, std::function<void()> done) {
  if (reply_ != nullptr) return;  // one download at a time
  done_ = std::move(done);
  const QString folder = TextFromBytes(folder_);
  QDir().mkpath(folder);
  if (!settings_.HublistIconLoaded && !preview_.isNull())
    preview_.save(folder + QStringLiteral("old.jpg"), "JPG");
  settings_.HublistIconLoaded = false;
  settings_.HublistIconAddress.clear();
  if (address.isEmpty()) return Done();
  const QUrl url(address);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    Fail(QStringLiteral("only http and https addresses can be loaded"));
    return Done();
  }
  address_ = address;
  tooLarge_ = false;
  timedOut_ = false;
  QNetworkRequest request(url);
  request.setMaximumRedirectsAllowed(5);
  reply_ = network_->get(request);
  connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
    if (received > kMaxBytes && reply_ != nullptr) {
      tooLarge_ = true;
      reply_->abort();
    }
  });
  connect(reply_, &QNetworkReply::finished, this, [this] { Finish(reply_); });
  timer_->start(timeoutMs_);
}

void THublistIcon::Finish(QNetworkReply* reply) {
  timer_->stop();
  reply_ = nullptr;
  reply->deleteLater();
  const QString tmp = TextFromBytes(folder_) + QStringLiteral("tmp.jpg");
  if (tooLarge_) {
    Fail(QStringLiteral("the icon is larger than 1 MiB"));
  } else if (timedOut_) {
    Fail(QStringLiteral("no answer within %1 s").arg(timeoutMs_ / 1000.0));
  } else if (reply->error() != QNetworkReply::NoError) {
    Fail(reply->errorString());
  } else {
    const QByteArray body = reply->readAll();
    QFile file(tmp);
    QImage picture;
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(body) == body.size() && file.flush();
    file.close();
    if (!written) {
      Fail(QStringLiteral("cannot write ") + tmp);
    } else if (!picture.load(tmp, "JPG")) {
      Fail(QStringLiteral("not a JPEG picture"));
    } else {
      preview_ = picture;
      settings_.HublistIconAddress = BytesFromText(address_);
      settings_.HublistIconLoaded = true;
    }
  }
  QFile::remove(tmp);
  Done();
}

void THublistIcon::Fail(const QString& message) {
  if (error_)
    error_("ECoreCriticalError:TMainGui.LoadhublistIcon(" + BytesFromText(message) + ")");
}

void THublistIcon::Done() {
  if (auto done = std::move(done_)) done();
}
