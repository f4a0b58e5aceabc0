// "$Kick" and "$OpForceMove": an operator's client acting on another user.

#include "core/operator_messages.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/chat_handler.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/kick_steps.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol_message.h"
#include "core/share_trace.h"
#include "security/account.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

namespace {

constexpr std::string_view kKickStart = "$Kick ";
constexpr std::string_view kWhoStart = "$OpForceMove $Who:";
constexpr std::string_view kWhere = "Where:";
constexpr std::string_view kMsg = "$Msg:";
// A shorter "$OpForceMove" cannot name a user, an address and a message.
constexpr std::size_t kOpForceMoveMinimum = 36;
// What DC++-family clients put in front of the reason an operator types.
constexpr std::string_view kStandardSentence = "You are being re";
constexpr std::size_t kStandardAddressFrom = 13;

// The message without its final '|'.
std::string_view Body(std::string_view message) {
  return message.empty() || message.back() != '|' ? message : message.substr(0, message.size() - 1);
}

// The reason of the client's standard redirect sentence ("You are being
// redirected to {address}: {reason}"); any other text as it stands.
std::string_view RedirectReason(std::string_view text, std::string_view address) {
  if (!text.starts_with(kStandardSentence)) return text;
  const std::size_t at = text.find(address, kStandardAddressFrom);
  if (at == std::string_view::npos) return text;
  const std::size_t colon = text.find(':', at + address.size());
  if (colon == std::string_view::npos) return text;
  text.remove_prefix(colon + 1);
  if (text.starts_with(' ')) text.remove_prefix(1);
  return text;
}

}  // namespace

TOperatorMessages::TOperatorMessages(const TOperatorContext& context, TListenerPorts listenerPorts,
                                     TClock clock)
    : ctx_(context), listenerPorts_(std::move(listenerPorts)), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return TTime::Now(); };
}

bool TOperatorMessages::Handle(TProtocolKey key, THubSocket& user, std::string_view message) {
  switch (key) {
    case TProtocolKey::Kick: return HandleKick(user, message);
    case TProtocolKey::OpForceMove: return HandleOpForceMove(user, message);
    case TProtocolKey::UserIP: return HandleUserIP(user, message);
    case TProtocolKey::BotINFO: return HandleBotINFO(user, message);
    case TProtocolKey::GetINFO: return HandleGetINFO(user, message);
    default: return true;
  }
}

const std::string& TOperatorMessages::Text(TLanguageKey key) const {
  return ctx_.Language.Text(key);
}

THubSocket* TOperatorMessages::FindTarget(THubSocket& actor, std::string_view nick,
                                          TLanguageKey reserved, TLanguageKey missing) {
  THubSocket* target = ctx_.NickList.FindUser(nick);
  if (target == nullptr)
    ctx_.Messages.SendChat(actor, Text(ctx_.NicksInUse.Exists(nick) ? reserved : missing));
  return target;
}

bool TOperatorMessages::HandleKick(THubSocket& kicker, std::string_view message) {
  const std::string_view body = Body(message);
  if (body.size() <= kKickStart.size()) {
    kicker.LifeState = lsClosing;
    return false;
  }
  const std::uint8_t right = kicker.Rights().MayKickUser();
  if (!ctx_.Settings.KickAllowed || right == 0) return true;
  const std::string_view nick = body.substr(kKickStart.size());
  // Taken whatever becomes of this kick, so that no later kick of the
  // same nick inherits it.
  const std::string reason = ctx_.Chat.TakeKickReason(kicker, nick).value_or(std::string());

  THubSocket* target = FindTarget(kicker, nick, TLanguageKey::OnKickUserUnKickable,
                                  TLanguageKey::OnKickUserNotFound);
  if (target == nullptr) return true;
  if (target->Rights().MayNeverBeKicked()) {
    ctx_.Messages.SendChat(kicker, Text(TLanguageKey::OnKickUserUnKickable));
    return true;
  }
  if (!kicker.MayActOnUser(right, *target)) {
    ctx_.Messages.SendChat(kicker, Text(TLanguageKey::OnKickUserTooLowAccountLvl));
    return true;
  }
  if (!BeginKick(*target, reason)) return true;  // one kick is under way: no second account of it
  const TKickParts parts{ctx_.Settings, ctx_.Language, ctx_.Messages, ctx_.Hooks,
                         ctx_.Stats,    ctx_.Bans,     shareTrace_};
  const bool autoBanned = PunishKick(parts, kicker, *target, reason);
  AnnounceKick(parts, kicker, *target, reason, autoBanned);
  EndKick(parts, kicker, *target, reason);
  return true;
}

// "$OpForceMove $Who:{nick}$Where:{address}$Msg:{message}|".
bool TOperatorMessages::HandleOpForceMove(THubSocket& op, std::string_view message) {
  if (message.size() < kOpForceMoveMinimum) {
    op.LifeState = lsClosing;
    return false;
  }
  const std::uint8_t right = op.Rights().MayRedirect();
  if (!ctx_.Settings.RedirectAllowed || right == 0 || !op.IsOperator()) return true;
  const std::string_view body = Body(message);
  if (!body.starts_with(kWhoStart)) return false;
  const std::size_t nickEnd = body.find('$', kWhoStart.size());
  if (nickEnd == std::string_view::npos) return false;
  const std::string_view nick = body.substr(kWhoStart.size(), nickEnd - kWhoStart.size());

  std::string_view rest = body.substr(nickEnd + 1);
  if (rest.starts_with(kWhere)) rest.remove_prefix(kWhere.size());
  const std::size_t addressEnd = rest.find('$');
  const std::string_view address = rest.substr(0, addressEnd);
  // Nowhere to go: a "$ForceMove" without an address would only strand
  // the user.
  if (address.find_first_not_of(' ') == std::string_view::npos) return true;
  std::string_view text;
  if (addressEnd != std::string_view::npos && rest.substr(addressEnd).starts_with(kMsg))
    text = RedirectReason(rest.substr(addressEnd + kMsg.size()), address);

  THubSocket* target = FindTarget(op, nick, TLanguageKey::OnRedirectUserUnMoveable,
                                  TLanguageKey::OnRedirectUserNotFound);
  if (target == nullptr) return true;
  if (target->Rights().MayNeverBeRedirected()) {
    ctx_.Messages.SendChat(op, Text(TLanguageKey::OnRedirectUserUnMoveable));
    return true;
  }
  if (!op.MayActOnUser(right, *target)) {
    ctx_.Messages.SendChat(op, Text(TLanguageKey::OnRedirectUserTooLowAccountLvl));
    return true;
  }

  ++op.UserInfo().Transfer.Redirects;
  if (TAccount* account = CountingAccount(op)) ++account->Stats.Redirects;
  ctx_.Messages.SendChatAs(
      op.Nick, *target,
      text.empty() ? FormatText(Text(TLanguageKey::OnRedirectUser), address)
                   : FormatText(Text(TLanguageKey::OnRedirectUserWithReason), address, text));
  ctx_.Messages.ForceMove(*target, address);  // counts the hub's redirect
  ctx_.Hooks.Feed().PostAction(
      FormatText(Text(TLanguageKey::OnRedirectFeedMessage), op.Nick, target->Nick, address));
  return true;
}
