#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bot_socket.h"
#include "marker.h"
#include "zpipe_inflater.h"

class TPoller;

// Login stages a simulated user passes, in order.
enum class TBotState {
  Idle,        // not connected
  Connecting,  // TCP connect in progress
  WaitLock,    // connected, the hub holds "$Lock" back for a while
  WaitHello,   // key and nick sent
  WaitListed,  // "$MyINFO" sent, waiting for the own entry in the nick list
  Online,      // listed: takes part in the traffic
};

// What the client announces, after the real clients it imitates.
enum class TClientFlavor { Eiskalt, Ncdc, Plain };

// Receives what a bot finds in its input. Implemented by the driver.
class TBotListener {
 public:
  virtual ~TBotListener() = default;
  virtual void OnOnline(std::uint32_t bot) = 0;
  // The hub's login burst (nick list and what queued behind it) is out: a
  // private message to itself, sent when listed, came back. Until then the
  // hub holds searches back from the user, whose output is backed up.
  virtual void OnDrained(std::uint32_t bot) = 0;
  virtual void OnMarker(std::uint32_t bot, TMarker marker, std::uint64_t nowUs) = 0;
  virtual void OnConnectToMe(std::uint32_t bot, std::uint32_t fromIp, std::uint16_t port,
                             std::uint64_t nowUs) = 0;
  virtual void OnLost(std::uint32_t bot, std::string_view why) = 0;
};

// Shared by all bots: where the hub is, where to report, traffic counters.
struct TBotContext {
  TPoller& Poller;
  TBotListener& Listener;
  std::uint32_t HubIp;
  std::uint16_t HubPort;
  std::uint64_t BytesIn = 0;    // after inflating
  std::uint64_t BytesWire = 0;  // as read from the sockets
  std::uint64_t BytesOut = 0;
};

// One simulated user: its socket, the login hand-shake and the scan of its
// input for markers and connection requests. Does not parse other messages.
class TBot {
 public:
  TBot(TBotContext& context, std::uint32_t index, std::uint32_t ip, TClientFlavor flavor,
       bool passive);

  // Starts a login under a nick made of the index and `generation`.
  bool Start(std::uint32_t generation);
  // Drops the connection without a word, as a client that goes away.
  void Drop();
  void OnReadable();
  void OnWritable();
  void OnConnected();

  // Appends one message (with its "|") to the output.
  void Send(std::string_view message);

  TBotState State() const { return state_; }
  std::uint32_t Index() const { return index_; }
  std::uint32_t Ip() const { return ip_; }
  const std::string& IpText() const { return ipText_; }
  const std::string& Nick() const { return nick_; }
  bool Passive() const { return passive_; }
  int Fd() const { return socket_.Fd(); }
  // The own "$MyINFO" with a description that changes with `version`.
  std::string MyInfo(std::uint32_t version) const;

  // Stage stamps of the last login, monotonic microseconds; 0 when not reached.
  std::uint64_t StartUs = 0, ConnectedUs = 0, LockUs = 0, HelloUs = 0, OnlineUs = 0;
  std::uint64_t DrainedUs = 0;

 private:
  void Consume(const char* data, std::size_t length);
  void ParsePlain();
  void HandleMessage(std::string_view message, std::uint64_t nowUs);
  void HandleLock(std::string_view message, std::uint64_t nowUs);
  void Flush();
  void Fail(std::string_view why);

  TBotContext& ctx_;
  std::uint32_t index_;
  std::uint32_t ip_;
  std::string ipText_;
  TClientFlavor flavor_;
  bool passive_;
  std::string nick_;
  TBotSocket socket_;
  TBotState state_ = TBotState::Idle;
  std::string plain_;  // received text not yet cut into messages
  std::size_t scanned_ = 0;
  std::string out_;  // output the socket did not take yet
  std::string probe_;  // the private message awaited back; empty once drained
  bool wantWrite_ = false;
  TZPipeInflater inflater_;
};
