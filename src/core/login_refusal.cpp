#include "core/login_refusal.h"

#include <optional>
#include <string>

#include "core/hub_socket.h"
#include "security/profile.h"
#include "security/tmp_ban_list.h"
#include "settings/settings.h"

void RefuseWithBotLine(THubSocket& user, const TSettings& settings, std::string_view text) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString(settings.BotChatPrefix());
  out.AppendString(text);
  out.AppendChar('|');
  user.LifeState = lsClosing;
}

bool RefuseTmpBanned(TTmpBanList& bans, const TSettings& settings, THubSocket& user) {
  if (user.Rights().MayByPassTmpBans()) return false;
  const std::optional<std::string> refusal = bans.Refusal(user.Nick, user.IP);
  if (!refusal) return false;
  RefuseWithBotLine(user, settings, *refusal);
  return true;
}
