#pragma once

#include <QObject>

class EventLoop;
class QSocketNotifier;

// Drives the hub's event loop from Qt's: one notifier on the loop's
// descriptor runs one turn whenever there is work (a ready socket, a posted
// task, a due timer). Qt's loop is the only one that waits. Owns the
// notifier; does not own the loop, which must outlive it.
class TLoopDriver : public QObject {
  Q_OBJECT
 public:
  explicit TLoopDriver(EventLoop& loop, QObject* parent = nullptr);
  ~TLoopDriver() override;

 private:
  EventLoop& loop_;
  QSocketNotifier* notifier_;
};
