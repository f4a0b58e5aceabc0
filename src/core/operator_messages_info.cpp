// "$UserIP", "$BotINFO" and "$GetINFO": what clients and hub-list pingers
// may ask of the hub.

#include <algorithm>
#include <array>
#include <string>

#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/operator_messages.h"
#include "security/profile.h"
#include "settings/settings.h"
#include "utils/constants.h"
#include "utils/protocol_text.h"

namespace {

constexpr std::string_view kUserIPStart = "$UserIP ";

bool IsNickDelimiter(char c) { return c == ' ' || c == '$' || c == '|'; }

}  // namespace

std::string BuildHubINFO(const TSettings& settings, const std::vector<int>& listenerPorts) {
  std::string address = settings.HubAddress;
  const bool defaultPortOpen =
      std::find(listenerPorts.begin(), listenerPorts.end(), kDefaultHubPort) != listenerPorts.end();
  if (!defaultPortOpen && !listenerPorts.empty() && address.find(':') == std::string::npos)
    address += ":" + std::to_string(listenerPorts.front());

  const TConnRestriction& limits = settings.ConnRestriction;
  const std::array<std::string, 12> fields = {
      settings.HubName(),
      address,
      settings.HubDescription,
      std::to_string(settings.MaxUsers),
      limits.MinShareEnabled ? std::to_string(limits.MinShare) : "0",
      limits.MinSlotsEnabled ? std::to_string(limits.MinSlots) : "0",
      limits.MaxHubsEnabled ? std::to_string(limits.MaxHubs) : "0",
      std::string(kProductName) + " " + std::string(kProgramVersion),
      settings.HubOwner,
      settings.HubCategory,
      settings.HublistEmail,
      settings.HublistWeb,
  };
  std::string text = "$HubINFO ";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += '$';
    text += EscapeProtocolText(fields[i]);
  }
  text += '|';
  return text;
}

// "$UserIP {nick}$${nick}...|": one reply for every nick online.
bool TOperatorMessages::HandleUserIP(THubSocket& user, std::string_view message) {
  if (message.size() < kUserIPStart.size()) {
    user.LifeState = lsClosing;
    return false;
  }
  const TProfile& rights = user.Rights();
  if (!rights.MayAccessUserIP() && !rights.MayAccessUserIP2()) return true;

  std::string reply;
  std::string_view rest = message.substr(kUserIPStart.size());
  while (!rest.empty()) {
    const auto end = std::find_if(rest.begin(), rest.end(), IsNickDelimiter);
    const std::string_view word = rest.substr(0, static_cast<std::size_t>(end - rest.begin()));
    rest.remove_prefix(std::min(rest.size(), word.size() + 1));
    if (word.empty()) continue;
    const THubSocket* listed = ctx_.NickList.FindUser(word);
    if (listed == nullptr) continue;
    reply += reply.empty() ? "$UserIP " : "$$";
    reply += listed->Nick;
    reply += ' ';
    reply += listed->IP;
  }
  if (!reply.empty()) {
    reply += '|';
    user.WriteBuffer().AppendString(reply);
  }
  return true;
}

bool TOperatorMessages::BotINFOAllowed(THubSocket& user) {
  TFloodWindow& window = user.UserInfo().Transfer.BotINFOWindow;
  const std::uint64_t now = clock_();
  // The count, not the start, tells whether a window is open: the clock
  // may read anything, 0 included.
  if (window.Count == 0 || now < window.Start || now - window.Start >= kBotINFOWindowMs) {
    window.Start = now;
    window.Count = 1;
    return true;
  }
  if (window.Count >= kBotINFOAnswers) return false;
  ++window.Count;
  return true;
}

bool TOperatorMessages::HandleBotINFO(THubSocket& user, std::string_view /*message*/) {
  if (!BotINFOAllowed(user)) return true;
  TWriteBuffer& out = user.WriteBuffer();
  if (ctx_.Settings.HublistIconLoaded) {
    out.AppendString("$SetIcon ");
    out.AppendString(EscapeProtocolText(ctx_.Settings.HublistIconAddress));
    out.AppendChar('|');
  }
  out.AppendString(BuildHubINFO(ctx_.Settings, listenerPorts_ ? listenerPorts_()
                                                              : std::vector<int>{}));
  ++ctx_.Stats.Protocol.BotINFO;
  ++user.UserInfo().Transfer.BotINFOs;
  return true;
}

// Every "$MyINFO" is broadcast already, so there is nothing to answer.
bool TOperatorMessages::HandleGetINFO(THubSocket& user, std::string_view /*message*/) {
  ++user.UserInfo().Transfer.GetINFOs;
  ++ctx_.Stats.Protocol.GetINFOs;
  return true;
}
