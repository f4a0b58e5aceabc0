#pragma once

#include <cstddef>
#include <memory>

#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "platform/client_socket.h"
#include "platform/event_loop.h"

// One entry of the hub core's connection table: the connection record, the
// socket it talks through and the readiness watch on that socket. The watch
// is declared last so that it goes before the socket it watches.
struct THubCore::TConnection {
  std::unique_ptr<THubSocket> User;
  TClientSocket Socket;
  TFdWatch Watch;
  std::size_t Index = 0;  // position in the core's order_
  bool Ready = false;     // listed in the core's ready_
};

// One port: its listener and the timer of a pending re-open after an error.
struct THubCore::TListenerSlot {
  std::unique_ptr<TListener> Listener;
  TTimer Retry;
};

// Every entry point of the core holds one; closed records are freed when
// the outermost one ends, never under a running handler.
class THubCore::TPassGuard {
 public:
  explicit TPassGuard(THubCore& core) : core_(core) { ++core_.passDepth_; }
  ~TPassGuard() {
    if (--core_.passDepth_ == 0) core_.closed_.clear();
  }
  TPassGuard(const TPassGuard&) = delete;
  TPassGuard& operator=(const TPassGuard&) = delete;

 private:
  THubCore& core_;
};
