#include "core/kick_steps.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/ban_gate.h"
#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/protocol_message.h"
#include "core/share_trace.h"
#include "security/account.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

TAccount* CountingAccount(const THubSocket& user) {
  if (!user.Registered || !user.Account || user.Account->BuiltIn) return nullptr;
  return user.Account.get();
}

bool BeginKick(THubSocket& target, std::string_view reason) {
  TUserInfo& info = target.UserInfo();
  target.LifeState = lsClosing;
  if (info.Kicked) return false;
  info.Kicked = true;
  info.LastKickReason = std::string(reason);
  return true;
}

bool PunishKick(const TKickParts& parts, THubSocket& kicker, THubSocket& target,
                std::string_view reason) {
  const TSettings& settings = parts.Settings;
  if (settings.UseShareTrace && parts.ShareTrace != nullptr && !reason.empty() &&
      (reason.front() == '!' || reason.front() == '\xA7')) {
    parts.ShareTrace->Add(target, reason.substr(1));
  }
  if (!target.Rights().MayByPassTmpBans() && settings.TmpBanTime.Enabled)
    parts.Hooks.Login().TempBan(target, std::string(reason));

  ++parts.Stats.Protocol.Kicks;
  ++target.UserInfo().KickCount;
  ++kicker.UserInfo().Transfer.Kicks;
  if (TAccount* account = CountingAccount(kicker)) ++account->Stats.Kicks;

  const TCountPerHours& rule = settings.AutoBanOnKick;
  if (!rule.Enabled || target.UserInfo().KickCount < rule.Count) return false;
  // Hours, not whole days: a two-hour ban ends two hours from now.
  const std::int64_t seconds = static_cast<std::int64_t>(std::max(rule.Hours, 0)) * 3600;
  const TDateTime expires{parts.Bans.Now().Seconds + seconds};
  return BanConnectionNick(parts.Bans, settings, target,
                           parts.Language.Text(TLanguageKey::OnKickAutoBanReason), expires,
                           kicker.Nick);
}

void AnnounceKick(const TKickParts& parts, const THubSocket& kicker, const THubSocket& target,
                  std::string_view reason, bool autoBanned) {
  if (!parts.Settings.InformOperatorsInMcOnKick) return;
  const auto text = [&](TLanguageKey key) -> const std::string& {
    return parts.Language.Text(key);
  };
  const int kicks = target.UserInfo().KickCount;
  const std::string& nick = target.Nick;
  const std::string& ip = target.IP;
  std::string line;
  // The auto-ban comes first: whatever the count, operators must learn
  // that this kick banned the user.
  if (!reason.empty()) {
    if (autoBanned) {
      line = FormatText(text(TLanguageKey::OnKickUserWithTotalKicksAndReasonAndAutoBan), nick, ip,
                        kicks, kicker.Nick, reason);
    } else if (kicks >= 2) {
      line = FormatText(text(TLanguageKey::OnKickUserWithTotalKicksAndReason), nick, ip, kicks,
                        kicker.Nick, reason);
    } else {
      line = FormatText(text(TLanguageKey::OnKickUserWithReason), nick, ip, kicker.Nick, reason);
    }
  } else if (autoBanned) {
    line = FormatText(text(TLanguageKey::OnKickUserWithTotalKicksAndAutoBan), nick, ip, kicks,
                      kicker.Nick);
  } else if (kicks >= 2) {
    line = FormatText(text(TLanguageKey::OnKickUserWithTotalKicks), nick, ip, kicks, kicker.Nick);
  } else {
    line = FormatText(text(TLanguageKey::OnKickUser), nick, ip, kicker.Nick);
  }
  parts.Messages.SendChatToOperators(line);
}

void EndKick(const TKickParts& parts, const THubSocket& kicker, const THubSocket& target,
             std::string_view reason) {
  const std::string& kenny = parts.Language.Text(TLanguageKey::OnKickIfKennylized);
  if (target.UserInfo().Kennylized && !kenny.empty())
    parts.Messages.SendChatToAll(FormatText(kenny, kicker.Nick));
  const TLanguage& language = parts.Language;
  parts.Hooks.Feed().PostKick(
      reason.empty() ? FormatText(language.Text(TLanguageKey::OnKickFeedMessage), target.Nick,
                                  kicker.Nick)
                     : FormatText(language.Text(TLanguageKey::OnKickFeedMessageHasReason),
                                  target.Nick, kicker.Nick, reason));
}
