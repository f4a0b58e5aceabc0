#include "gui/main_gui.h"

#include <QApplication>

int TMainGui::Main(int argc, char** argv) {
  QApplication app(argc, argv);
  return 0;
}
