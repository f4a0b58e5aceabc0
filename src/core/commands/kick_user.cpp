#include "core/commands/kick_user.h"

#include "core/commands/command_session.h"
#include "core/hub_socket.h"
#include "core/kick_steps.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "utils/text_format.h"

void KickUser(TCommandSession& session, std::string_view nick, std::string_view reason) {
  const TCommandContext& ctx = session.Context();
  THubSocket& kicker = session.Sender();
  THubSocket* target = ctx.NickList.FindUser(nick);
  if (target == nullptr) {
    session.Reply(ctx.NicksInUse.Exists(nick) ? TLanguageKey::OnKickUserUnKickable
                                              : TLanguageKey::OnKickUserNotFound);
    return;
  }
  if (target->Rights().MayNeverBeKicked()) {
    session.Reply(TLanguageKey::OnKickUserUnKickable);
    return;
  }
  if (!kicker.MayActOnLevel(kicker.Rights().MayKickUser(), target->ProfileLevel())) {
    session.Reply(TLanguageKey::OnKickUserTooLowAccountLvl);
    return;
  }
  if (!BeginKick(*target, reason)) return;  // told once already

  const TKickParts parts{ctx.Settings, ctx.Language, ctx.Messages, ctx.Hooks,
                         ctx.Stats,    ctx.Bans,     ctx.ShareTrace};
  const bool autoBanned = PunishKick(parts, kicker, *target, reason);
  AnnounceKick(parts, kicker, *target, reason, autoBanned);
  session.Reply(TLanguageKey::KickUserKicked, target->Nick);
  const TLanguage& language = ctx.Language;
  ctx.Messages.SendChat(
      *target, reason.empty()
                   ? FormatText(language.Text(TLanguageKey::OnKickUserMessage), kicker.Nick)
                   : FormatText(language.Text(TLanguageKey::OnKickUserMessageHasReason),
                                kicker.Nick, reason));
  EndKick(parts, kicker, *target, reason);
}
