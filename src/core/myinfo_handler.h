#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/user_info.h"

class THubSocket;
class TLanguage;
class TNickList;
class TProtocolMessage;
class TRedirectItem;
class TSettings;
class TTmpBanList;
struct TMyINFOFields;

// What "$MyINFO" needs from subsystems this unit does not own. The defaults
// let everything through and count nothing.
class TMyINFOHooks {
 public:
  virtual ~TMyINFOHooks() = default;
  // False: the message is dropped (the gate has told the user).
  virtual bool FloodGate(THubSocket& /*user*/, TFloodKind /*kind*/) { return true; }
  // True when the client ban list refuses the user's client; the ban list
  // sends its own text.
  virtual bool CheckClientBan(THubSocket& /*user*/) { return false; }
  // The hub's total share changed by `delta` bytes (the counters keep the
  // peak).
  virtual void TotalShareChanged(std::int64_t /*delta*/) {}
  // The summed length of the users' "$MyINFO" texts changed by `delta`.
  virtual void MyINFOLengthChanged(std::int64_t /*delta*/) {}
  // One more rebuilt "$MyINFO" went out (or was pooled) for the statistics.
  virtual void MyINFOBroadcast() {}
};

enum class TMyINFOResult {
  Accepted,   // stored and delivered; a user still logging in goes on with the login
  Dropped,    // the flood gate refused it; counts as handled
  Refused,    // the user was refused and is closing
  Unhandled,  // too short to be a "$MyINFO"; the user is closing
};

// Handles "$MyINFO" in login states 3 and 5: its checks, the connection
// restriction in force, storing into the user's TUserInfo, the hub's share
// total, the rebuilt copies and their delivery, at once or pooled for the
// housekeeping pass. Continuing the login after the first "$MyINFO" is the
// caller's. Owns nothing; its collaborators must outlive it. Main thread.
// (TMyINFOHandler is the hub core's interface for this; the composition root
// adapts this class to it, so the two names must stay apart.)
class TMyINFOProcessor {
 public:
  using TClock = std::function<std::uint64_t()>;

  // `clock` gives the hub's ms time; empty: the hub clock.
  TMyINFOProcessor(TSettings& settings, TLanguage& language, TNickList& nickList,
                   TProtocolMessage& messages, TTmpBanList& tmpBans, TClock clock = {});

  // nullptr: back to the defaults; `hooks` must outlive this handler or be
  // unregistered first.
  void SetHooks(TMyINFOHooks* hooks);

  // One message as received, with or without its final "|".
  TMyINFOResult HandleMyINFO(THubSocket& user, std::string_view message);

  // For the housekeeping pass: sends the user's pooled texts whose pooling
  // interval has passed to the others who have not had them with a newer
  // nick list, and clears their pending marks.
  void DeliverPooled(THubSocket& user);

 private:
  std::uint64_t Now() const;
  // The restriction in force; true when the user passes it. A refusal has
  // been sent.
  bool PassesRestriction(THubSocket& user, const TMyINFOFields& fields);
  bool PassesTag(THubSocket& user, const TMyINFOFields& fields);
  // The bot line, "$ForceMove" when the item is on and has an address, and
  // closing.
  void Refuse(THubSocket& user, std::string_view text, TRedirectItem& redirect);
  void Store(THubSocket& user, const TMyINFOFields& fields);
  void Deliver(THubSocket& user, std::int64_t oldUserLength);
  void SendToViewers(const THubSocket& user, std::string_view text, bool toOperators,
                     const THubSocket* skip, std::uint64_t olderThan);

  TSettings& settings_;
  TLanguage& language_;
  TNickList& nickList_;
  TProtocolMessage& messages_;
  TTmpBanList& tmpBans_;
  TClock clock_;
  TMyINFOHooks defaultHooks_;
  TMyINFOHooks* hooks_;
};
