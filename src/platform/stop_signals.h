#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"

// Turns SIGINT and SIGTERM into an event-loop callback, so the program stops
// through its ordinary shutdown on the loop's thread instead of inside a
// signal handler. Owns a signalfd and its watch; while it lives the two
// signals are blocked in the creating thread, and every thread started
// afterwards inherits that mask. Create it before any other thread exists,
// or a signal may land on a thread that still takes the default action.
// Restores the previous mask when it goes. Loop thread only.
class TStopSignals {
 public:
  // `handler` gets the signal's name ("SIGINT" or "SIGTERM").
  using THandler = std::function<void(const std::string& signalName)>;

  TStopSignals(EventLoop& loop, THandler handler);
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

 private:
  struct TState;
  void OnReadable();

  THandler handler_;
  std::unique_ptr<TState> state_;
  TFdWatch watch_;  // removed before the descriptor closes
};

// True while SIGINT or SIGTERM waits, blocked, for this thread (or the
// process) to take it: the loop that would read it is held up by the
// caller. Async-signal-safe; once the loop has read the signal it is false
// again.
bool StopSignalPending();
