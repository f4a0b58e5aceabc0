#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_hooks.h"

class TBanList;
class TChatHandler;
class THubSocket;
class TLanguage;
class TNickList;
class TNicksInUse;
class TProtocolMessage;
class TSettings;
class TShareTrace;
class TStats;
enum class TLanguageKey;

// The collaborators of the operator and information messages; all must
// outlive the handler.
struct TOperatorContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TProtocolMessage& Messages;
  TNicksInUse& NicksInUse;
  TCoreHooks& Hooks;  // temporary bans and the feed
  TStats& Stats;      // protocol counters
  TBanList& Bans;     // the auto-ban on kicks
  TChatHandler& Chat;  // the kick reasons announced in main chat
};

// The text "$HubINFO" answers with; `listenerPorts` in the hub core's
// order. Every field is escaped, so no setting can end the message early
// or start another.
std::string BuildHubINFO(const TSettings& settings, const std::vector<int>& listenerPorts);

// The port clients assume when an address names none.
inline constexpr int kDefaultHubPort = 411;

// The handlers of "$Kick", "$OpForceMove", "$UserIP", "$BotINFO" and
// "$GetINFO". Owns nothing but its clock and the listener-port query; the
// per-connection "$BotINFO" window lives in each user's transfer info.
// Main thread only.
class TOperatorMessages final : public TProtocolHandlers {
 public:
  using TClock = std::function<std::uint64_t()>;  // ms, monotonic
  using TListenerPorts = std::function<std::vector<int>()>;

  static constexpr int kBotINFOAnswers = 5;
  static constexpr std::uint64_t kBotINFOWindowMs = 60000;

  // Without a clock: the hub clock. Without ports: no listener is known.
  TOperatorMessages(const TOperatorContext& context, TListenerPorts listenerPorts = {},
                    TClock clock = {});

  // Where kicks with a demand to change the share are remembered; null
  // (the default): nowhere.
  void SetShareTrace(TShareTrace* trace) { shareTrace_ = trace; }

  bool Handle(TProtocolKey key, THubSocket& user, std::string_view message) override;

  // Each takes the whole message with its final '|'; true when handled or
  // deliberately dropped.
  bool HandleKick(THubSocket& kicker, std::string_view message);
  bool HandleOpForceMove(THubSocket& op, std::string_view message);
  bool HandleUserIP(THubSocket& user, std::string_view message);
  bool HandleBotINFO(THubSocket& user, std::string_view message);
  bool HandleGetINFO(THubSocket& user, std::string_view message);

 private:
  // The listed target, or null after telling `actor` why not (`reserved`
  // for a nick the hub keeps, `missing` for any other).
  THubSocket* FindTarget(THubSocket& actor, std::string_view nick, TLanguageKey reserved,
                         TLanguageKey missing);
  // True while the connection's window allows another answer.
  bool BotINFOAllowed(THubSocket& user);
  const std::string& Text(TLanguageKey key) const;

  TOperatorContext ctx_;
  TListenerPorts listenerPorts_;
  TClock clock_;
  TShareTrace* shareTrace_ = nullptr;
};
