#pragma once

#include <cstdint>
#include <vector>

// An epoll set over the users' sockets. Owns the epoll descriptor, not the
// sockets; each registration carries a caller's 32-bit token.
class TPoller {
 public:
  struct TEvent {
    std::uint32_t Token;
    bool Readable;
    bool Writable;
    bool Failed;  // hang-up or error
  };

  TPoller();
  ~TPoller();
  TPoller(const TPoller&) = delete;
  TPoller& operator=(const TPoller&) = delete;

  // `wantWrite` adds writability to readability (level-triggered).
  void Add(int fd, std::uint32_t token, bool wantWrite);
  void Modify(int fd, std::uint32_t token, bool wantWrite);
  void Remove(int fd);
  // Waits up to `timeoutMs` and fills `events`; returns their number.
  int Wait(int timeoutMs, std::vector<TEvent>& events);

 private:
  int fd_ = -1;
  std::vector<char> raw_;  // the kernel's event array
};
