#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/hub_list_host.h"
#include "platform/event_loop.h"

class TDNSLookup;
class TLanguage;
class TSettings;
enum class TLanguageKey;

// One of the hub's listening ports, as the registration line names it.
struct THubListPort {
  int Port = 0;
  bool Tls = false;
};

// What a registration pass asks of the running hub.
struct THubListHub {
  // The hub runs and at least one port listens.
  std::function<bool()> Running;
  // The listeners in the hub's port order.
  std::function<std::vector<THubListPort>()> Ports;
  // A listener is keyed by the default port text ("411").
  std::function<bool()> DefaultPortListed;
  std::function<std::int64_t()> UserCount;
  std::function<std::int64_t()> ShareTotal;
};

// Registers the hub with the hub-list servers of its host list: a pass
// every `passMs` while active resolves each enabled host, connects without
// blocking, answers the server's lock with the key and the hub's line, and
// waits for the server's close; a `pollMs` timer drives the hosts between.
// Owns the host list, its two timers and every registration socket (through
// the hosts); does not own the loop, the settings, the language or the DNS
// look-up. Main thread only.
class THubList {
 public:
  using TClock = std::function<std::uint64_t()>;  // milliseconds, monotonic

  static constexpr std::uint64_t kPassMs = 30000;
  static constexpr std::uint64_t kPollMs = 100;
  // The whole exchange, the wait for the close after the key included.
  static constexpr std::uint64_t kExchangeLimitMs = 30000;
  // Bytes a server may send without a lock that yields a key.
  static constexpr std::size_t kMaxLockBytes = 32768;

  THubList(EventLoop& loop, const TSettings& settings, const TLanguage& language,
           TDNSLookup& dns, THubListHub hub, std::function<void(const std::string&)> error,
           std::uint64_t passMs = kPassMs, std::uint64_t pollMs = kPollMs);
  ~THubList();
  THubList(const THubList&) = delete;
  THubList& operator=(const THubList&) = delete;

  THostList& Hosts() { return hosts_; }
  // Tests: the clock of the exchange limit; the hub clock by default.
  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // True when it was not active; runs a pass at once.
  bool Start();
  // True when it was active.
  bool Stop();
  bool Active() const { return active_; }
  bool Polling() const { return pollTimer_.IsActive(); }

  // The timers call these; tests may too.
  void RegistrationPass();
  void Poll();

 private:
  void Resolved(const std::string& name, std::uint64_t pass, const std::string& address);
  void PollHost(THost& host);
  void SendKey(THost& host, const std::string& key);
  void Finish(THost& host, bool failed, const std::string& text);
  std::string RegistrationLine(const std::string& key, const THost& host);
  const std::string& Text(TLanguageKey key) const;

  EventLoop& loop_;
  const TSettings& settings_;
  const TLanguage& language_;
  TDNSLookup& dns_;
  THubListHub hub_;
  THostList hosts_;
  TClock clock_;
  TTimer passTimer_;
  TTimer pollTimer_;
  bool active_ = false;
  std::uint64_t pass_ = 0;
  std::minstd_rand random_;
  // Look-up answers check it: they may arrive after this list is gone.
  std::shared_ptr<THubList*> self_;
};
