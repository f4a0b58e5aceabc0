#include "gui/kavro_application.h"

#include <cstdio>

TKavroApplication::TKavroApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKavroApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    Report(std::current_exception());
    return false;
  }
}

void TKavroApplication::Report(std::exception_ptr error) {
  auto* app = qobject_cast<TKavroApplication*>(QCoreApplication::instance());
  if (app != nullptr && app->handler_) {
    try {
      app->handler_(error);
      return;
    } catch (...) {
      // The report itself failed: fall through to standard error.
    }
  }
  std::fputs("kavro: unhandled exception\n", stderr);
}
