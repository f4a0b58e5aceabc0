#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class EventLoop;
class THubSocket;
class TThreadPool;
class TThreadJob;

// A host name the hub will store and show: 1 to 253 bytes of letters,
// digits, '.', '_' and '-'. Anything else a resolver hands back (spaces,
// protocol characters, 8-bit bytes) counts as no name.
bool IsAcceptableHostName(std::string_view name);

// Name look-ups on worker threads. Reverse look-ups complete the login of a
// connection that waits for its name; forward look-ups resolve hub-list
// servers. Workers see only their job; every effect happens on the loop's
// thread, and a connection is named by its id, so an answer for one that
// closed meanwhile finds nothing and is dropped. Owns its thread pool and
// the jobs; does not own the loop or the connections.
class TDNSLookup {
 public:
  // The open connection of that id, or null.
  using TFindConnection = std::function<THubSocket*(std::uint64_t id)>;
  // A login that waited for the name (login state 4) goes on.
  using TContinueLogin = std::function<void(THubSocket& connection)>;
  // A forward look-up's answer; "" when the name did not resolve.
  using TResolved = std::function<void(const std::string& address)>;
  // The blocking resolvers, run on the workers; replaceable for tests.
  using TReverseResolver = std::function<bool(const std::string& ip, std::string& name)>;
  using TForwardResolver = std::function<bool(const std::string& name, std::string& ip)>;

  static constexpr std::size_t kWorkers = 8;

  TDNSLookup(EventLoop& loop, TFindConnection findConnection, TContinueLogin continueLogin,
             std::size_t workers = kWorkers);
  // Stops the workers; answers that have not been applied are dropped.
  ~TDNSLookup();
  TDNSLookup(const TDNSLookup&) = delete;
  TDNSLookup& operator=(const TDNSLookup&) = delete;

  // Null leaves that resolver as it is. Jobs already running keep theirs.
  void SetResolvers(TReverseResolver reverse, TForwardResolver forward);

  // Looks up the name of the connection's current address. The answer is
  // stored only if the connection still exists, is open, is past the
  // hand-shake and still has that address.
  void ReverseLookup(const THubSocket& connection);
  // `onResolved` runs on the loop's thread; it must name what it updates by
  // id, not hold a pointer that may dangle by then.
  void ForwardLookup(std::string_view name, TResolved onResolved);

  int InFlight() const { return inFlight_; }
  int Peak() const { return peak_; }

 private:
  void Queue(std::unique_ptr<TThreadJob> job);
  void Complete(std::unique_ptr<TThreadJob> job);
  void InstallWorker();

  TFindConnection findConnection_;
  TContinueLogin continueLogin_;
  TReverseResolver reverse_;
  TForwardResolver forward_;
  int inFlight_ = 0;
  int peak_ = 0;
  std::unique_ptr<TThreadPool> pool_;
};
