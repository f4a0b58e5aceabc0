#include "core/connect_handler.h"

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

constexpr std::string_view kConnectToMe = "$ConnectToMe ";
constexpr std::string_view kRevConnectToMe = "$RevConnectToMe ";
constexpr int kMaxInvalidIPNotices = 2;

}  // namespace

bool CheckSenderIP(const TChatContext& ctx, THubSocket& user, std::string_view sentIP) {
  if (!ctx.Settings.CheckSenderIPOnSearchAndConnectToMe ||
      user.Rights().MayByPassIPCheckOnSearchAndConnectToMe() || sentIP == user.IP) {
    return true;
  }
  int& notices = user.UserInfo().Transfer.InvalidIPNotices;
  if (ctx.Settings.NotifyInvalidIPInConnectToMe && notices < kMaxInvalidIPNotices) {
    ++notices;
    const std::string_view shown = sentIP.empty() ? std::string_view("[Missing]") : sentIP;
    ctx.Messages.SendChat(
        user, FormatText(ctx.Language.Text(TLanguageKey::InvalidIPOnSearchOrConnectToMe), shown,
                         user.IP));
  }
  return false;
}

bool TConnectHandler::HandleConnectToMe(THubSocket& user, std::string_view message) {
  if (message.size() < user.IP.size() + 15 || !message.starts_with(kConnectToMe)) {
    user.LifeState = lsClosing;
    return false;
  }
  if (!ctx_.Settings.ConnectToMeAllowed || !user.Rights().MaySendConnectToMe()) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::ConnectToMeDisabled));
    return true;
  }
  if (user.UserInfo().Blocked) return true;
  const std::size_t space = message.find(' ', kConnectToMe.size());
  if (space == std::string_view::npos) return false;
  const std::string_view target = message.substr(kConnectToMe.size(), space - kConnectToMe.size());
  const std::string_view address = message.substr(space + 1, message.size() - space - 2);
  const std::size_t colon = address.find(':');
  if (!CheckSenderIP(ctx_, user, address.substr(0, colon))) return true;

  THubSocket* to = ctx_.NickList.FindUser(target);
  if (to == nullptr || to->LifeState != lsInitialised) return true;
  ++user.UserInfo().Transfer.ConnectToMe;
  ++ctx_.Stats.Protocol.ConnectToMe;
  if (!to->HidesShare || to->UserInfo().RemoveAllowed(user.Id())) {
    to->WriteBuffer().AppendString(message);
  }
  return true;
}

bool TConnectHandler::HandleRevConnectToMe(THubSocket& user, std::string_view message) {
  if (message.size() < user.Nick.size() + 18 || !message.starts_with(kRevConnectToMe)) {
    user.LifeState = lsClosing;
    return false;
  }
  if (!ctx_.Settings.RevConnectToMeAllowed || !user.Rights().MaySendRevConnectToMe()) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::RevConnectToMeDisabled));
    return true;
  }
  if (user.UserInfo().Blocked) return true;
  if (!user.Passive) {
    user.Passive = true;
    if (!user.Restriction.MayBeInPassiveMode) {
      ctx_.Protocol.Refuse(user, ctx_.Language.Text(TLanguageKey::NoPassiveWhileConnected),
                           &ctx_.Settings.RedirectOnPassiveMode);
      return true;
    }
  }
  const std::string_view body = message.substr(0, message.size() - 1);
  const std::size_t last = body.rfind(' ');
  if (last == std::string_view::npos || last + 1 >= body.size()) return false;
  const std::string_view target = body.substr(last + 1);
  const std::string_view own = body.substr(kRevConnectToMe.size());
  if (!own.starts_with(user.Nick) || own.size() <= user.Nick.size() ||
      own[user.Nick.size()] != ' ') {
    if (ctx_.Settings.NotifyInvalidRevConnectToMe) {
      ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::InvalidRevConnectToMe));
    }
    ctx_.Hooks.Login().TempBan(user, ctx_.Language.Text(TLanguageKey::IncorrectProtocolMessage));
    ++user.UserInfo().KickCount;
    ++user.UserInfo().Transfer.Kicks;
    user.LifeState = lsClosing;
    return true;
  }

  THubSocket* to = ctx_.NickList.FindUser(target);
  if (to == nullptr || to->LifeState != lsInitialised || to->HidesShare) return true;
  if (user.HidesShare) user.UserInfo().AddAllowed(to->Id());
  if (!to->Rights().MaySendConnectToMe()) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::RevConnectToMeResponseDisabled));
    return true;
  }
  to->WriteBuffer().AppendString(message);
  ++user.UserInfo().Transfer.RevConnectToMe;
  ++ctx_.Stats.Protocol.RevConnectToMe;
  return true;
}
