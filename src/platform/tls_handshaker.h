#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/client_socket.h"
#include "platform/unique_fd.h"

class TTlsServerContext;

// A wake-up a poll() loop can wait on (an eventfd): Signal from any thread
// makes Fd() readable until Drain. Owns the descriptor.
class TWakeEvent {
 public:
  TWakeEvent();  // throws ECoreSocketError when the descriptor cannot be made
  int Fd() const { return fd_.Get(); }
  void Signal();
  void Drain();

 private:
  TUniqueFd fd_;
};

// The server side of the TLS hand-shakes of one TLS listener, on a thread of
// its own so the main thread never waits for a client. Owns the sockets
// whose hand-shake is under way; a finished one is given to `handOn` (called
// on this thread) together with its session. A failed hand-shake, or one not
// finished `limitMs` after accept, closes its socket silently.
//
// Every pending socket is polled: each step of a hand-shake runs as soon as
// its socket is ready, so one slow client never holds up another.
class TTlsHandshaker {
 public:
  using THandOn = std::function<void(TAcceptedSocket)>;

  // `context` must outlive this object. At most `maxPending` hand-shakes
  // are under way at once.
  TTlsHandshaker(const TTlsServerContext& context, int port, uint64_t limitMs,
                 std::size_t maxPending, THandOn handOn);
  // Stops the thread and closes every pending socket.
  ~TTlsHandshaker();
  TTlsHandshaker(const TTlsHandshaker&) = delete;
  TTlsHandshaker& operator=(const TTlsHandshaker&) = delete;

  // Takes `socket` (an accepted non-blocking socket) and starts its
  // hand-shake at once. When `maxPending` hand-shakes are under way it is
  // left with the caller, who counts and closes it, and false is returned.
  // Any thread.
  bool Add(TUniqueFd& socket, uint64_t acceptTick);

 private:
  struct TIncoming {
    TUniqueFd fd;
    uint64_t acceptTick = 0;
  };
  struct TEntry {
    TClientSocket socket;
    uint64_t acceptTick = 0;
    bool waitWrite = false;
    bool finished = false;  // handed on or failed: removed after this turn
  };

  void Run();
  void TakeIncoming();
  void Step(TEntry& entry);
  void DropFinished();
  int PollTimeout(uint64_t now) const;

  const TTlsServerContext& context_;
  const int port_;
  const uint64_t limitMs_;
  const std::size_t maxPending_;
  const THandOn handOn_;
  TWakeEvent wake_;

  std::mutex mutex_;  // guards incoming_, count_ and stop_
  std::vector<TIncoming> incoming_;
  std::size_t count_ = 0;  // incoming_ plus entries_
  bool stop_ = false;

  std::vector<TEntry> entries_;  // the thread's own
  std::thread thread_;           // last: starts once everything above exists
};
