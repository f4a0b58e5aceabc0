#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/user_info.h"

class TAccounts;
class TCoreHooks;
class THubSocket;
class TLanguage;
class TNickList;
class TNicksInUse;
class TProtocolMessage;
class TRedirectItem;
class TSettings;
enum class TLanguageKey;

// Login states of a connection (read modulo 128).
enum TLoginState : std::uint8_t {
  lgLockSent = 0,        // waiting for "$Key"
  lgKeyAccepted = 1,     // waiting for $ValidateNick
  lgPasswordWait = 2,    // "$GetPass" sent
  lgNickAccepted = 3,    // "$Hello" sent, waiting for the first "$MyINFO"
  lgMyINFOReceived = 4,  // waiting for the reverse DNS look-up
  lgLoggedIn = 5,
};

// The collaborators of the protocol engine; all must outlive it.
struct TProtocolContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TProtocolMessage& Messages;
  TAccounts& Accounts;
  TNicksInUse& NicksInUse;
  TCoreHooks& Hooks;
};

// The NMDC protocol engine: cuts a connection's input into messages,
// dispatches each by login state and first four bytes, guards against junk
// data and floods, runs the $Lock / "$Key" hand-shake and the login up to
// the user list. Owns its fixed lock texts, the hub banner and the count of
// connections still logging in; owns no connection. Handlers never free a
// connection: they mark it closing (life state 2). Main thread only.
class TProtocol {
 public:
  // Closes another connection at once (close hook included); the hub core
  // sets it. Never called for the connection being handled.
  using TCloseNow = std::function<void(THubSocket& user)>;

  // The alphabet of the 4-character lock seed.
  static constexpr std::string_view kLockSeedAlphabet = "AB2CDEF3GHIJK4LMNO5PQRST6UVWX7YZ";
  static constexpr std::string_view kSupportsReply =
      "$Supports NoHello NoGetINFO UserIP2 HubINFO Feed MCTo ZPipe0 ZPipe RTF0|";
  // Empty messages in one read beyond which the connection is dropped.
  static constexpr int kMaxEmptyMessages = 4;

  explicit TProtocol(const TProtocolContext& context);
  TProtocol(const TProtocol&) = delete;
  TProtocol& operator=(const TProtocol&) = delete;

  void SetCloseNow(TCloseNow closeNow) { closeNow_ = std::move(closeNow); }

  // --- framing and dispatch ------------------------------------------------
  // Cuts and handles every complete message in the user's read buffer,
  // leaving an unfinished one at the block start.
  void ParseBuffer(THubSocket& user);
  // One message, its final '|' included; true when handled. An unhandled
  // one feeds the junk-data guard. A handler's exception comes out as
  // EProtocolException naming the key.
  bool HandleMessage(THubSocket& user, std::string_view message);
  // False when the user was warned or dropped.
  bool CheckJunkData(THubSocket& user, bool resetMarks);
  // False when the message must be dropped (the user may have been warned,
  // or kicked and marked closing).
  bool FloodGate(THubSocket& user, TFloodKind kind);

  // --- hand-shake ----------------------------------------------------------
  // A fresh 4-character seed for a new connection.
  static std::string NewLockSeed();
  static std::string RandomString(std::size_t length, std::string_view alphabet);
  // The NMDC key of a lock (the bytes after "$Lock " up to " Pk="), with the
  // reserved bytes escaped as "/%DCNnnn%/". Clients use the magic 5; a hub
  // answering a hub list uses one derived from its local port.
  static std::string KeyOfLock(std::string_view lock, std::uint8_t magic = 5);
  // Queues "$Lock ..." with the user's seed and keeps the expected "$Key".
  void SendLock(THubSocket& user);
  bool HandleKey(THubSocket& user, std::string_view message);
  const std::string& Banner() const { return banner_; }

  // --- login ---------------------------------------------------------------
  bool HandleSupports(THubSocket& user, std::string_view message);
  bool HandleValidateNick(THubSocket& user, std::string_view message);
  bool HandleMyPass(THubSocket& user, std::string_view message);
  bool HandleVersion(THubSocket& user);
  bool CheckPassword(THubSocket& user);
  bool CheckAdmission(THubSocket& user);
  bool CheckISPAndPrefix(THubSocket& user);
  // Puts the user on the user list and sends what a new user gets.
  void LoginComplete(THubSocket& user);
  // The reverse look-up ended; a user waiting in state 4 completes its login.
  void DNSLookupDone(THubSocket& user, std::string dnsName);

  // Connections accepted and not yet on the user list: the core counts them
  // in at accept and out at close; a completed login counts itself out.
  int Authorizing() const { return authorizing_; }
  void AddAuthorizing(int delta) { authorizing_ += delta; }

  // A bot line with `text`, "$ForceMove" when `redirect` is on and has an
  // address, and the user marked closing. An empty text sends no line.
  void Refuse(THubSocket& user, std::string_view text, TRedirectItem* redirect = nullptr);

 private:
  const std::string& Text(TLanguageKey key) const;
  bool DefaultPasswordEnabled() const;
  // Nick bytes no setting may allow: they would break the protocol.
  static bool NickByteForbidden(char c);
  void RefuseNickInUse(THubSocket& user);
  void DropForJunk(THubSocket& user);
  void StartDNSLookup(THubSocket& user);
  void SendHello(THubSocket& user);
  void AskPassword(THubSocket& user);
  bool ValidateRegistered(THubSocket& user);
  // A registered nick that is logged in already: the older connection is
  // marked closing when it has the same IP or the password was accepted;
  // otherwise this one is refused.
  void ResolveOlderLogin(THubSocket& user, bool passwordAccepted);
  bool ValidateUnregistered(THubSocket& user);
  void SendJoinAnnouncement(THubSocket& user, bool hasGreeting);
  bool Dispatch(THubSocket& user, std::string_view message, std::uint32_t key);

  TProtocolContext ctx_;
  TCloseNow closeNow_;
  int authorizing_ = 0;
  // Failed password attempts per registered nick (upper case), reset by a
  // right password.
  std::unordered_map<std::string, int> failedPasswords_;
  std::string banner_;
  std::string lockPrefix_;  // "$Lock " and the lock's fixed start
  std::string lockSuffix_;  // the lock's fixed end and " Pk=...|"
};
