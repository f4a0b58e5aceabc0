#include "gui/about_gui.h"

#include <QLabel>

#include "gui/gui_fixture.h"

namespace {

class AboutGuiTest : public TGuiTest {};

TEST_F(AboutGuiTest, TellsWhatTheProgramIs) {
  const QString credits = Control<QLabel>("lblAboutCredits")->text();
  EXPECT_TRUE(credits.startsWith("Kavro is a hub for the NMDC protocol")) << credits.toStdString();
  EXPECT_TRUE(Control<QLabel>("lblHomeLink")->text().startsWith("https://"));
  ASSERT_TRUE(gui_->Window().OpenPage("About"));
}

}  // namespace
