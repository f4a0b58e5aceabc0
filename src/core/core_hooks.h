#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.h"

class THubSocket;
class TConnRestriction;

// What the hub core and the protocol engine ask of subsystems they do not
// own: the operator feed, the counters, link quality, bans, protected nicks,
// the ISP list, DNS, scripts, text commands, chat rooms and statistics, and
// the handlers of the messages of a logged-in user. Each interface's
// defaults do nothing and let the user through, so the core runs before
// (and without) them. The composition root registers the real sides.

// The operator feed's posting side.
class TCoreFeed {
 public:
  virtual ~TCoreFeed() = default;
  virtual void PostEvent(const std::string& /*line*/) {}
  virtual void PostAction(const std::string& /*line*/) {}
  virtual void PostKick(const std::string& /*line*/) {}
  virtual void PostError(const std::string& /*line*/) {}
};

// The hub counters the core moves.
enum class TCoreCount : std::uint8_t {
  SocketError,
  Overflow,
  LoginTimeout,
  IdleDrop,
  NickInUseRefusal,
  JunkDataDrop,
  Kick,
};

class TCoreCounters {
 public:
  virtual ~TCoreCounters() = default;
  virtual void Count(TCoreCount /*what*/) {}
  // A user joined the list: user count and peaks, shared size, "$MyINFO"
  // and nick lengths.
  virtual void UserLoggedIn(const THubSocket& /*user*/) {}
  // A listed user left; the reverse of UserLoggedIn.
  virtual void UserLoggedOut(const THubSocket& /*user*/) {}
  // The uptime of this run, so the peak can follow it.
  virtual void Uptime(std::uint64_t /*milliseconds*/) {}
};

// The send outcomes of the send pass and the traffic of both passes; the
// link-quality rule behind BadLink lives with them.
class TLinkQuality {
 public:
  virtual ~TLinkQuality() = default;
  virtual bool BadLink() { return false; }
  virtual void BeginSendPass() {}
  virtual void RecordOutcome(int /*outcome*/) {}
  virtual void AddDownload(std::int64_t /*bytes*/) {}
  virtual void AddUpload(std::int64_t /*bytes*/) {}
};

// The ISP list's answer for one user: whether the IP has an entry, the
// entry's restriction (null: keep the current one) and its nick prefixes.
struct TISPLookup {
  bool Found = true;
  const TConnRestriction* Restriction = nullptr;
  std::string PrefixRule;
};

// The security checks of the login.
class TLoginHooks {
 public:
  virtual ~TLoginHooks() = default;
  // True when a nick or IP ban matches (the caller refuses and redirects).
  virtual bool NickOrIPBanned(THubSocket& /*user*/) { return false; }
  // True when a temporary ban holds; the check has told the user already.
  virtual bool TempBanned(THubSocket& /*user*/) { return false; }
  // True when a host-name ban matches the finished DNS look-up.
  virtual bool DNSBanned(THubSocket& /*user*/) { return false; }
  virtual void TempBan(THubSocket& /*user*/, const std::string& /*reason*/) {}
  virtual void BanIP(THubSocket& /*user*/, const std::string& /*reason*/, int /*hours*/) {}
  // 0 no pinger, 1 and 2 hub-list pingers, 3 a pinger nick from elsewhere.
  virtual int PingerClass(const THubSocket& /*user*/) { return 0; }
  // Binds a pinger of class 1 or 2 to its account, profile and restriction.
  virtual void BindPinger(THubSocket& /*user*/, int /*pingerClass*/) {}
  // The protected-nick entry's password; false when the nick has none.
  virtual bool ProtectedNick(std::string_view /*nick*/, std::string& /*password*/) {
    return false;
  }
  // Its password was accepted.
  virtual void ProtectedNickUsed(std::string_view /*nick*/) {}
  // A listed user of a protected nick left after `milliseconds`.
  virtual void ProtectedNickLeft(std::string_view /*nick*/, std::int64_t /*milliseconds*/) {}
  virtual TISPLookup LookupISP(const THubSocket& /*user*/) { return {}; }
  // The allowed ISPs as a text for the refusal.
  virtual std::string AllowedISPs() { return {}; }
  // Starts the reverse look-up; false when none was started (it then counts
  // as done). A started one ends in TProtocol::DNSLookupDone.
  virtual bool StartDNSLookup(THubSocket& /*user*/) { return false; }
  // The moment after which a returning user is greeted again.
  virtual TDateTime GreetingGate(THubSocket& /*user*/) { return {}; }
};

// Events the core raises for scripts, text commands, chat rooms, user
// statistics and the recently-connected memory.
class TCoreEvents {
 public:
  virtual ~TCoreEvents() = default;
  virtual void Connected(THubSocket& /*user*/) {}        // a new connection
  virtual void KeyAccepted(THubSocket& /*user*/) {}      // text commands bound to connecting
  virtual void RoomsAnnounce(THubSocket& /*user*/) {}    // chat rooms introduce themselves
  virtual void LoggedIn(THubSocket& /*user*/) {}         // statistics back end, login commands
  virtual void UserConnected(THubSocket& /*user*/) {}    // script event, last step of a login
  virtual void LeaveRooms(THubSocket& /*user*/) {}
  virtual void LoggedOut(THubSocket& /*user*/) {}        // statistics back end
  virtual void Disconnected(THubSocket& /*user*/) {}     // recently-connected memory
  // Every five minutes: share-trace expiry, recently-connected purge.
  virtual void Purge() {}
};

// The keys of the messages a logged-in user (or one logging in) may send
// that other units handle.
enum class TProtocolKey : std::uint8_t {
  MainChat,
  GetINFO,
  SearchResult,
  PrivateMessage,
  OpForceMove,
  MCTo,
  Search,
  Kick,
  UserIP,
  ConnectToMe,
  RevConnectToMe,
  BotINFO,
};

// The handlers of the chat, search, connection-request and operator
// messages. `message` holds the whole message with its final '|'. True: the
// message was handled (or deliberately dropped); false feeds the junk-data
// guard. The default takes everything without acting on it.
class TProtocolHandlers {
 public:
  virtual ~TProtocolHandlers() = default;
  virtual bool Handle(TProtocolKey /*key*/, THubSocket& /*user*/, std::string_view /*message*/) {
    return true;
  }
};

// "$MyINFO" of login state 3 (the first) and 5 (updates). The first one
// accepted moves the user to state 4 and calls TProtocol::LoginComplete
// when the DNS look-up is done. A refusal marks the user closing. True when
// handled; the default accepts nothing, so no login completes without a
// real handler.
class TMyINFOHandler {
 public:
  virtual ~TMyINFOHandler() = default;
  virtual bool HandleMyINFO(THubSocket& /*user*/, std::string_view /*message*/) { return false; }
};

// The registered sides; each unset one falls back to its default. Sides must
// outlive the core or be unregistered first.
class TCoreHooks {
 public:
  TCoreFeed& Feed() const { return feed_ ? *feed_ : defaultFeed_; }
  TCoreCounters& Counters() const { return counters_ ? *counters_ : defaultCounters_; }
  TLinkQuality& Link() const { return link_ ? *link_ : defaultLink_; }
  TLoginHooks& Login() const { return login_ ? *login_ : defaultLogin_; }
  TCoreEvents& Events() const { return events_ ? *events_ : defaultEvents_; }
  TProtocolHandlers& Handlers() const { return handlers_ ? *handlers_ : defaultHandlers_; }
  TMyINFOHandler& MyINFO() const { return myINFO_ ? *myINFO_ : defaultMyINFO_; }

  void SetFeed(TCoreFeed* side) { feed_ = side; }
  void SetCounters(TCoreCounters* side) { counters_ = side; }
  void SetLink(TLinkQuality* side) { link_ = side; }
  void SetLogin(TLoginHooks* side) { login_ = side; }
  void SetEvents(TCoreEvents* side) { events_ = side; }
  void SetHandlers(TProtocolHandlers* side) { handlers_ = side; }
  void SetMyINFO(TMyINFOHandler* side) { myINFO_ = side; }

 private:
  TCoreFeed* feed_ = nullptr;
  TCoreCounters* counters_ = nullptr;
  TLinkQuality* link_ = nullptr;
  TLoginHooks* login_ = nullptr;
  TCoreEvents* events_ = nullptr;
  TProtocolHandlers* handlers_ = nullptr;
  TMyINFOHandler* myINFO_ = nullptr;

  mutable TCoreFeed defaultFeed_;
  mutable TCoreCounters defaultCounters_;
  mutable TLinkQuality defaultLink_;
  mutable TLoginHooks defaultLogin_;
  mutable TCoreEvents defaultEvents_;
  mutable TProtocolHandlers defaultHandlers_;
  mutable TMyINFOHandler defaultMyINFO_;
};
