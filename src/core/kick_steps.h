#pragma once

#include <string_view>

class TAccount;
class TBanList;
class TCoreHooks;
class THubSocket;
class TLanguage;
class TProtocolMessage;
class TSettings;
class TShareTrace;
class TStats;

// What a kick touches besides the two users; all must outlive the call.
struct TKickParts {
  const TSettings& Settings;
  const TLanguage& Language;
  TProtocolMessage& Messages;
  TCoreHooks& Hooks;  // temporary bans and the feed
  TStats& Stats;
  TBanList& Bans;
  TShareTrace* ShareTrace = nullptr;  // null: share demands are not traced
};

// The steps every kick shares, whether an operator's client sent "$Kick"
// or an operator typed a kick command; the caller has found the target and
// checked the kicker's rights.

// Marks the target closing and, unless a kick of it is under way already
// (then false: the kick is not counted or told twice), kicked for `reason`.
bool BeginKick(THubSocket& target, std::string_view reason);
// A reason starting with '!' or the section sign demands another share:
// the rest goes to the share trace. Then the temporary ban, the counters
// and the auto-ban by nick; true when this kick made the auto-ban.
bool PunishKick(const TKickParts& parts, THubSocket& kicker, THubSocket& target,
                std::string_view reason);
// Tells the operators, when they want to know, in the first text that fits.
void AnnounceKick(const TKickParts& parts, const THubSocket& kicker, const THubSocket& target,
                  std::string_view reason, bool autoBanned);
// The farewell to a kennylized target, to everyone, and the Kick feed line.
void EndKick(const TKickParts& parts, const THubSocket& kicker, const THubSocket& target,
             std::string_view reason);

// The account whose statistics a user's deeds raise: only a registered,
// stored account keeps them. Null for everyone else.
TAccount* CountingAccount(const THubSocket& user);
