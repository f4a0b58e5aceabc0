#include "gui/gui_fixture.h"

#include "gui/feed_pane.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = -1;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace

int TGuiTest::StartHub() {
  const int port = FreePort();
  Settings().HubPorts = std::to_string(port);
  Settings().NmdcsPorts = "";
  Root().SetListenAddress("127.0.0.1");
  EXPECT_TRUE(gui_->StartHub());
  return port;
}

QStringList TGuiTest::FeedLines() const {
  QStringList lines;
  const TFeedPane* feed = gui_->Window().FeedPane();
  for (int i = 0; i < feed->EntryCount(); ++i) lines.append(feed->Entry(i));
  return lines;
}

bool TGuiTest::FeedHas(const QString& text) const {
  for (const QString& line : FeedLines())
    if (line.contains(text)) return true;
  return false;
}
