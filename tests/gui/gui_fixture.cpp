#include "gui/gui_fixture.h"

#include "core/hub_core.h"
#include "gui/feed_pane.h"
#include "support/test_port.h"

int TGuiTest::StartHub() {
  Settings().NmdcsPorts = "";
  Root().SetListenAddress("127.0.0.1");
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int port = ChooseTestPort();
    if (port < 0) break;
    Settings().HubPorts = std::to_string(port);
    if (gui_->StartHub()) return port;
    // Another program took the port between the choice and the bind.
    Root().HubCore().RemoveListener(port);
  }
  ADD_FAILURE() << "the hub did not start";
  return -1;
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
