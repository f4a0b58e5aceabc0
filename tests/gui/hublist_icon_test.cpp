// The hub-list icon download against a local HTTP server.

#include "gui/hublist_icon.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>

#include "gui/gui_fixture.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace {

QByteArray JpegBytes() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return bytes;
}

// Answers every request with `body`, or never when `silent`.
class TIconServer {
 public:
  TIconServer(QByteArray body, bool silent) : body_(std::move(body)), silent_(silent) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      QTcpSocket* socket = server_.nextPendingConnection();
      ++requests_;
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        if (!socket->readAll().contains("\r\n\r\n") || silent_) return;
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                      QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n");
        socket->write(body_);
        socket->disconnectFromHost();
      });
    });
  }
  QString Url() const {
    return QStringLiteral("http://127.0.0.1:%1/icon.jpg").arg(server_.serverPort());
  }
  int Requests() const { return requests_; }

 private:
  QTcpServer server_;
  QByteArray body_;
  bool silent_;
  int requests_ = 0;
};

struct TIconRow {
  const char* name;
  QByteArray body;
  bool silent;
  bool loads;
  const char* errorPart;  // in the Error line when it fails
};

TEST(HublistIcon, DownloadsTable) {
  const TIconRow rows[] = {
      {"jpeg", JpegBytes(), false, true, ""},
      {"silent server", {}, true, false, "no answer"},
      {"oversized", QByteArray(2 * 1024 * 1024, 'x'), false, false, "larger than 1 MiB"},
      {"not a picture", QByteArray("hello"), false, false, "not a JPEG"},
  };
  for (const TIconRow& row : rows) {
    TTempFolder home{"kavro-icon-"};
    TSettings settings;
    settings.HublistIconAddress = "http://old/";
    std::vector<std::string> errors;
    THublistIcon icon(settings, home.String() + "/image/",
                      [&](const std::string& line) { errors.push_back(line); });
    icon.SetTimeout(400);
    TIconServer server(row.body, row.silent);
    bool done = false;
    icon.Load(server.Url(), [&] { done = true; });
    ASSERT_TRUE(SpinUntil([&] { return done; }, std::chrono::seconds(10))) << row.name;
    EXPECT_EQ(settings.HublistIconLoaded, row.loads) << row.name;
    EXPECT_EQ(settings.HublistIconAddress, row.loads ? server.Url().toStdString() : "")
        << row.name;
    EXPECT_EQ(icon.Preview().isNull(), !row.loads) << row.name;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.String() + "/image/tmp.jpg")))
        << row.name;
    if (row.loads) {
      EXPECT_TRUE(errors.empty()) << row.name;
    } else {
      ASSERT_EQ(errors.size(), 1u) << row.name;
      EXPECT_TRUE(errors[0].starts_with("ECoreCriticalError:TMainGui.LoadhublistIcon("))
          << errors[0];
      EXPECT_NE(errors[0].find(row.errorPart), std::string::npos) << errors[0];
    }
  }
}

struct TNoNetworkRow {
  const char* address;
  bool error;
};

TEST(HublistIcon, EmptyFieldAndOtherSchemesTouchNoNetwork) {
  const TNoNetworkRow rows[] = {{"", false}, {"file:///etc/passwd", true}, {"ftp://x/i.jpg", true}};
  for (const TNoNetworkRow& row : rows) {
    TTempFolder home{"kavro-icon-"};
    TSettings settings;
    settings.HublistIconAddress = "http://old/";
    settings.HublistIconLoaded = true;
    int errors = 0;
    THublistIcon icon(settings, home.String() + "/image/", [&](const std::string&) { ++errors; });
    bool done = false;
    icon.Load(row.address, [&] { done = true; });
    EXPECT_TRUE(done) << row.address;
    EXPECT_FALSE(icon.Busy()) << row.address;
    EXPECT_EQ(settings.HublistIconAddress, "") << row.address;
    EXPECT_FALSE(settings.HublistIconLoaded) << row.address;
    EXPECT_EQ(errors, row.error ? 1 : 0) << row.address;
  }
}

}  // namespace
