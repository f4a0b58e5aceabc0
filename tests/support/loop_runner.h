#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/event_loop.h"

// Runs `loop` until `done` holds (checked every few milliseconds) or `limit`
// passes; returns `done()`.
inline bool RunLoopUntil(EventLoop& loop, const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  if (done()) return true;
  TTimer check = loop.AddTimer(5, true, [&] {
    if (done()) loop.Stop();
  });
  TTimer deadline = loop.AddTimer(static_cast<std::uint64_t>(limit.count()), false,
                                  [&] { loop.Stop(); });
  loop.Run();
  return done();
}

// Runs `loop` for `period`, whatever happens.
inline void RunLoopFor(EventLoop& loop, std::chrono::milliseconds period) {
  RunLoopUntil(loop, [] { return false; }, period);
}
