#pragma once

#include "core/hub_core.h"
#include "platform/tcp_listener.h"

// Opens a listener on a free loopback port and starts the core; its port,
// or 0 when any step failed.
inline int StartOnLoopback(THubCore& core) {
  if (!core.AddListener(0, "127.0.0.1", false) || !core.StartListening() || !core.Start()) return 0;
  return core.ListenerAt(0)->BoundPort();
}
