#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class TSettings;

// The hub-list icon: fetched from the "Hub Icon" address without blocking
// the loop (http and https only, limited in time and size), shown as the
// preview picture and remembered in HublistIconAddress/HublistIconLoaded.
// The body passes through image/tmp.jpg, which is deleted whatever
// happens. Owns the network manager and the reply in flight; does not own
// the settings. Main thread only.
class THublistIcon : public QObject {
  Q_OBJECT
 public:
  using TReport = std::function<void(const std::string& line)>;
  static constexpr int kTimeoutMs = 15000;
  static constexpr qint64 kMaxBytes = 1024 * 1024;

  // `imageFolder` ends in '/'; `error` takes the Error feed line.
  THublistIcon(TSettings& settings, std::string imageFolder, TReport error);
  ~THublistIcon() override;

  void SetTimeout(int ms) { timeoutMs_ = ms; }
  // Starts the download of `address`; `done` runs when it has ended (at
  // once for an empty address or a refused one).
  void Load(const QString& address, std::function<void()> done = {});
  bool Busy() const { return reply_ != nullptr; }
  const QImage& Preview() const { return preview_; }

 private:
  void Finish(QNetworkReply* reply);
  void Fail(const QString& message);
  void Done();

  TSettings& settings_;
  std::string folder_;
  TReport error_;
  QNetworkAccessManager* network_;
  QNetworkReply* reply_ = nullptr;
  QTimer* timer_;
  QString address_;
  QImage preview_;
  std::function<void()> done_;
  int timeoutMs_ = kTimeoutMs;
  bool tooLarge_ = false;
  bool timedOut_ = false;
};
