#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <cstdlib>

#include "gui/main_window.h"
#include "gui/sample_rows_fixture.h"

namespace {

// The web page is never shown: nothing opens it.
bool NeverShown(const QString& page) { return page == QLatin1String("WebAdmin"); }

}  // namespace

// Every page of the tree carries its controls, none is left a placeholder.
// With KAVRO_SCREENSHOT_DIR set, each page is also saved there as a
// picture (run under xvfb-run with QT_QPA_PLATFORM=xcb for the real look),
// its lists holding a row in each state.
using TPageScreenshots = TSampleRowsTest;

TEST_F(TPageScreenshots, EveryPageHoldsItsControls) {
  const QString folder = QString::fromLocal8Bit(std::getenv("KAVRO_SCREENSHOT_DIR"));
  TfrmMain& window = gui_->Window();
  window.resize(1020, 700);
  window.show();
  for (const QString& name : TfrmMain::PageNames()) {
    if (NeverShown(name)) continue;
    QWidget* page = window.Page(name);
    ASSERT_NE(page, nullptr) << name.toStdString();
    EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("placeholder")), nullptr)
        << name.toStdString() << " is still a placeholder";
    if (folder.isEmpty()) continue;
    ASSERT_TRUE(window.OpenPage(name));
    SpinUntil([] { return false; }, std::chrono::milliseconds(50));
    QDir().mkpath(folder);
    EXPECT_TRUE(window.grab().save(folder + QStringLiteral("/page-") + name + QStringLiteral(".png")));
  }
}
