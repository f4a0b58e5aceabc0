#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A raw, non-blocking client socket from a chosen loopback source address
// (127.x.y.z), for tests that hold thousands of connections or misbehave on
// purpose: the hub counts and bans by address, so each hostile client gets
// its own and the well-behaved probe on 127.0.0.1 is never caught by them.
class THostileSocket {
 public:
  using TLimit = std::chrono::milliseconds;

  // Starts a connect from `source` to 127.0.0.1:`port`; null when the socket
  // could not be made. `receiveBuffer` > 0 shrinks the kernel's receive
  // buffer so a client that never reads stalls the hub's sends soon.
  static std::unique_ptr<THostileSocket> Open(const std::string& source, int port,
                                              int receiveBuffer = 0);
  ~THostileSocket();
  THostileSocket(const THostileSocket&) = delete;
  THostileSocket& operator=(const THostileSocket&) = delete;

  int Fd() const { return fd_; }
  // Waits until the connect completed; false when it failed or timed out.
  bool WaitConnected(TLimit limit = TLimit(5000)) const;
  // Writes all of `data`, waiting for room; false when the hub closed, the
  // write failed or the time ran out.
  bool Send(std::string_view data, TLimit limit = TLimit(5000));
  // Takes whatever is there without waiting; false once the hub closed.
  bool Pump();
  // Waits until the input holds `text`; false at the time limit or when the
  // hub closed first.
  bool WaitFor(std::string_view text, TLimit limit = TLimit(5000));
  // Waits until the hub closes; false when it did not within `limit`.
  bool WaitClosed(TLimit limit = TLimit(5000));
  bool Closed() const { return closed_; }
  const std::string& Input() const { return input_; }
  // Forgets the input read so far (long runs keep memory small).
  void ForgetInput() { input_.clear(); }
  // Keeps only the last `count` bytes read.
  void KeepTail(std::size_t count) {
    if (input_.size() > count) input_.erase(0, input_.size() - count);
  }

  // The lock, then "$Supports", the key and "$ValidateNick" in one write;
  // false when no lock came.
  bool Handshake(std::string_view nick, TLimit limit = TLimit(5000));
  // Handshake, then once "$Hello" came "$Version", "$GetNickList" and
  // "$MyINFO"; true once the hub announced the user back.
  bool Login(std::string_view nick, TLimit limit = TLimit(10000));

 private:
  explicit THostileSocket(int fd) : fd_(fd) {}
  // Waits for `events` up to `limit`; true when ready.
  bool Wait(short events, TLimit limit) const;

  int fd_;
  std::string input_;
  bool closed_ = false;
};

using THostileSockets = std::vector<std::unique_ptr<THostileSocket>>;

// A loopback source address for client `index`: `perAddress` clients share
// one, none of them 127.0.0.1.
std::string HostileSource(int index, int perAddress = 1);

// Pumps every socket until each holds `text` or has closed, or the time
// runs out; returns how many hold it.
int WaitEachFor(THostileSockets& sockets, std::string_view text,
                THostileSocket::TLimit limit);
