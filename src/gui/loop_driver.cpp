#include "gui/loop_driver.h"

#include <QSocketNotifier>

#include "gui/kavro_application.h"
#include "platform/event_loop.h"

TLoopDriver::TLoopDriver(EventLoop& loop, QObject* parent)
    : QObject(parent),
      loop_(loop),
      notifier_(new QSocketNotifier(loop.Descriptor(), QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this,
          [this] { GuardSlot([this] { loop_.RunReady(); }); });
}

TLoopDriver::~TLoopDriver() { notifier_->setEnabled(false); }
