#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/protocol.h"
#include "core/send_result.h"
#include "platform/client_socket.h"
#include "platform/event_loop.h"
#include "platform/tcp_listener.h"

class TAccounts;
class TCoreHooks;
class THubSocket;
class TLanguage;
class TNickList;
class TNicksInUse;
class TProtocolMessage;
class TSettings;
struct TUserDefaults;

// The pace of the read and send passes at one work-pace level.
struct TWorkPace {
  std::uint64_t ReadMs;
  std::uint64_t SendMs;
  int SendChunk;  // the most bytes written to one socket per send
};

inline constexpr std::array<TWorkPace, 8> kWorkPaceTable = {{
    {500, 1500, 8192},
    {500, 1500, 12288},
    {333, 999, 12288},
    {250, 750, 16192},
    {128, 512, 20480},
    {64, 256, 24576},
    {24, 96, 65536},
    {5, 15, 131072},
}};

// The hub core: owns the listeners, every connection from accept to close
// (with its socket and readiness watch), the protocol engine and the three
// timers of the read, send and housekeeping passes. All protocol work runs
// in those passes on the loop's thread; other threads reach a connection
// only by a posted task carrying its id. Handlers mark connections closing;
// records are freed only when no pass is running (the close hook queues
// them), so a handler may close any other connection at once.
// Does not own its collaborators.
class THubCore {
 public:
  static constexpr std::uint64_t kHousekeepingMs = 20000;
  static constexpr std::uint64_t kTrimIntervalMs = 300000;
  using TClock = std::function<std::uint64_t()>;  // milliseconds, monotonic

  THubCore(EventLoop& loop, TSettings& settings, TLanguage& language, TNickList& nickList,
           TProtocolMessage& messages, TAccounts& accounts, TNicksInUse& nicksInUse,
           const TUserDefaults& defaults, TCoreHooks& hooks);
  ~THubCore();
  THubCore(const THubCore&) = delete;
  THubCore& operator=(const THubCore&) = delete;

  // False when started already or when no listener is open.
  bool Start();
  // False when not started. Stops the timers and listening and closes every
  // connection, last to first. Each record owns its socket, so sockets are
  // closed even with `keepSockets`. Only the program's shutdown keeps
  // sockets: then nobody is left to read "stopped" reports, so none is made.
  bool Stop(bool keepSockets = false);
  bool Started() const { return started_; }

  bool StartListening();
  bool StopListening();
  bool Listening() const { return listening_; }
  // False when a listener has the port already; opens it at once while the
  // hub listens.
  bool AddListener(int port, const std::string& address, bool tls);
  bool RemoveListener(int port);
  bool HasListener(std::string_view portText) const;
  int ListenerCount() const { return static_cast<int>(listeners_.size()); }
  TListener* ListenerAt(int index) const;
  // The ports joined by ", ", the last two by " and ".
  std::string GetPortsText() const;

  // Sets the pass intervals of `level` (taken modulo 128, then kept within
  // the table).
  void SetSpeed(int level);
  int Speed() const { return speed_; }
  // "hh:mm:ss" since Start; "00:00:00" when stopped.
  std::string Uptime();

  // A socket handed on by a listener.
  void Accept(TAcceptedSocket accepted);
  // The DNS workers' result, posted to the loop's thread.
  void DNSLookupDone(std::uint64_t connectionId, std::string dnsName);

  THubSocket* FindConnection(std::uint64_t connectionId) const;
  int ConnectionCount() const { return static_cast<int>(order_.size()); }
  // 0 <= index < ConnectionCount(); the order changes as connections close.
  THubSocket* ConnectionAt(int index) const;
  TProtocol& Protocol() { return protocol_; }

  // The passes; the timers call them, tests may too.
  void TryReadAll();
  void SendAll();
  int TrySendSocket(THubSocket& user);
  void Housekeeping();
  // The housekeeping pass's time; empty: the hub clock. Tests set one so
  // the time-outs do not depend on how long the machine has been up.
  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // Closes a connection now: socket, close hook, record queued for freeing.
  void CloseNow(THubSocket& user);

 private:
  struct TConnection;
  // Holds off freeing closed records until the outermost entry returns.
  class TPassGuard;

  TConnection* Find(std::uint64_t id) const;
  void Install(std::unique_ptr<TConnection> connection);
  void OnClose(THubSocket& user);
  void OnReadable(std::uint64_t id);
  void ReadConnection(TConnection& connection, bool checkingPass, std::uint64_t now);
  int TrySend(TConnection& connection);
  void DeliverPooledMyINFO(THubSocket& user, std::uint64_t now);
  void WriteStraight(TClientSocket& socket, std::string_view reason);
  std::vector<std::uint64_t> SnapshotIds() const;
  void ReportError(const std::string& place, const std::string& message);
  void RestartTimers();

  // Listeners by port text.
  struct TListenerSlot;
  bool OpenListener(TListenerSlot& slot);
  // StopListening; `report` off while the program goes down.
  bool CloseListeners(bool report);
  void OnListenError(int error, const std::string& portText);
  static std::string ListenerName(const TListener& listener);

  EventLoop& loop_;
  TSettings& settings_;
  TLanguage& language_;
  TNickList& nickList_;
  TProtocolMessage& messages_;
  TAccounts& accounts_;
  const TUserDefaults& defaults_;
  TCoreHooks& hooks_;
  TProtocol protocol_;

  int speed_ = -1;
  bool started_ = false;
  bool listening_ = false;
  int openListeners_ = 0;
  std::uint64_t startTick_ = 0;
  std::uint64_t lastCheckTick_ = 0;
  std::uint64_t lastTrimTick_ = 0;
  TClock clock_;
  std::int64_t sentThisPass_ = 0;
  TTimer readTimer_;
  TTimer sendTimer_;
  TTimer housekeepingTimer_;

  std::map<std::string, std::unique_ptr<TListenerSlot>> listeners_;
  std::unordered_map<std::uint64_t, std::unique_ptr<TConnection>> connections_;
  std::vector<TConnection*> order_;   // accept order, give or take swaps on removal
  std::vector<std::uint64_t> ready_;  // readable since the last read pass
  std::vector<std::unique_ptr<TConnection>> closed_;  // freed when no pass runs
  int passDepth_ = 0;
};
