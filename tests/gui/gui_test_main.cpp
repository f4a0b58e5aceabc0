// The window's tests run under Qt's offscreen platform, chosen before the
// application object exists, so neither discovery nor ctest needs a display.

#include <gtest/gtest.h>

#include "gui/kavro_application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  TKavroApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
