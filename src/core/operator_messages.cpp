// "$Kick" and "$OpForceMove": an operator's client acting on another user.

#include "core/operator_messages.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/ban_gate.h"
#include "core/chat_handler.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
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

// Only a registered account keeps statistics; the built-in ones are never
// stored.
TAccount* CountingAccount(const THubSocket& user) {
  if (!user.Registered || !user.Account || user.Account->BuiltIn) return nullptr;
  return user.Account.get();
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
  TUserInfo& info = target->UserInfo();
  target->LifeState = lsClosing;
  if (info.Kicked) return true;  // one kick is under way: no second account of it
  info.Kicked = true;
  info.LastKickReason = reason;

  if (ctx_.Settings.UseShareTrace && shareTrace_ != nullptr && !reason.empty() &&
      (reason.front() == '!' || reason.front() == '\xA7')) {
    shareTrace_->Add(*target, std::string_view(reason).substr(1));
  }
  const bool autoBanned = PunishKicked(kicker, *target, reason);
  AnnounceKick(kicker, *target, reason, autoBanned);

  const std::string& kenny = Text(TLanguageKey::OnKickIfKennylized);
  if (info.Kennylized && !kenny.empty()) ctx_.Messages.SendChatToAll(FormatText(kenny, kicker.Nick));

  ctx_.Hooks.Feed().PostKick(
      reason.empty()
          ? FormatText(Text(TLanguageKey::OnKickFeedMessage), target->Nick, kicker.Nick)
          : FormatText(Text(TLanguageKey::OnKickFeedMessageHasReason), target->Nick, kicker.Nick,
                       reason));
  return true;
}

bool TOperatorMessages::PunishKicked(THubSocket& kicker, THubSocket& target,
                                     const std::string& reason) {
  if (!target.Rights().MayByPassTmpBans() && ctx_.Settings.TmpBanTime.Enabled)
    ctx_.Hooks.Login().TempBan(target, reason);

  ++ctx_.Stats.Protocol.Kicks;
  ++target.UserInfo().KickCount;
  ++kicker.UserInfo().Transfer.Kicks;
  if (TAccount* account = CountingAccount(kicker)) ++account->Stats.Kicks;

  const TCountPerHours& rule = ctx_.Settings.AutoBanOnKick;
  if (!rule.Enabled || target.UserInfo().KickCount < rule.Count) return false;
  const std::int64_t seconds = static_cast<std::int64_t>(std::max(rule.Hours, 0)) * 3600;
  const TDateTime expires{ctx_.Bans.Now().Seconds + seconds};
  return BanConnectionNick(ctx_.Bans, ctx_.Settings, target,
                           Text(TLanguageKey::OnKickAutoBanReason), expires, kicker.Nick);
}

void TOperatorMessages::AnnounceKick(const THubSocket& kicker, const THubSocket& target,
                                     const std::string& reason, bool autoBanned) {
  if (!ctx_.Settings.InformOperatorsInMcOnKick) return;
  const int kicks = target.UserInfo().KickCount;
  const std::string& nick = target.Nick;
  const std::string& ip = target.IP;
  std::string line;
  // The auto-ban comes first: whatever the count, operators must learn
  // that this kick banned the user.
  if (!reason.empty()) {
    if (autoBanned) {
      line = FormatText(Text(TLanguageKey::OnKickUserWithTotalKicksAndReasonAndAutoBan), nick, ip,
                        kicks, kicker.Nick, reason);
    } else if (kicks >= 2) {
      line = FormatText(Text(TLanguageKey::OnKickUserWithTotalKicksAndReason), nick, ip, kicks,
                        kicker.Nick, reason);
    } else {
      line = FormatText(Text(TLanguageKey::OnKickUserWithReason), nick, ip, kicker.Nick, reason);
    }
  } else if (autoBanned) {
    line = FormatText(Text(TLanguageKey::OnKickUserWithTotalKicksAndAutoBan), nick, ip, kicks,
                      kicker.Nick);
  } else if (kicks >= 2) {
    line = FormatText(Text(TLanguageKey::OnKickUserWithTotalKicks), nick, ip, kicks, kicker.Nick);
  } else {
    line = FormatText(Text(TLanguageKey::OnKickUser), nick, ip, kicker.Nick);
  }
  ctx_.Messages.SendChatToOperators(line);
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
