#include "core/private_message_handler.h"

#include "core/chat_handler.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "base/case_tables.h"

namespace {

constexpr std::string_view kToStart = "$To: ";
constexpr std::string_view kFrom = " From: ";

}  // namespace

bool TPrivateMessageHandler::HandlePrivateMessage(THubSocket& user, std::string_view message) {
  if (!ctx_.Protocol.FloodGate(user, TFloodKind::PrivateMessage)) return true;
  if (ctx_.Chat.ToArrival(user, message)) return true;
  if (message.size() < kMinLength) {
    user.LifeState = lsClosing;
    return false;
  }
  if (!ctx_.Settings.PrivateMessageAllowed || !user.Rights().MaySendPrivateMessage()) {
    ctx_.Messages.SendBotPMFrom(user.Nick, user,
                                ctx_.Language.Text(TLanguageKey::PrivateMessageDisabled));
    return true;
  }
  if (!message.starts_with(kToStart)) return false;
  const std::size_t space = message.find(' ', kToStart.size());
  if (space == std::string_view::npos || space == kToStart.size()) return false;
  const std::string_view target = message.substr(kToStart.size(), space - kToStart.size());
  if (!message.substr(space).starts_with(kFrom)) return false;
  const std::size_t from = space + kFrom.size();
  const std::size_t dollar = message.find(" $", from);
  if (dollar == std::string_view::npos) return false;

  const bool notify = ctx_.Settings.NotificationInvalidPM;
  const std::string_view shown = message.substr(dollar + 2);
  if (!CheckMessageOrigin(ctx_, user, message.substr(from), ' ', notify,
                          TLanguageKey::InvalidPMSuppliedByClient)) {
    return true;
  }
  const bool anyNick = user.Rights().MayByPassMessageOriginCheck();
  if (!anyNick && !shown.starts_with('<')) {
    // Checked as a nick that is missing: the same failure as a wrong one.
    CheckMessageOrigin(ctx_, user, {}, '>', notify, TLanguageKey::InvalidPMSuppliedByClient);
    return true;
  }
  if (!CheckMessageOrigin(ctx_, user, shown.substr(1), '>', notify,
                          TLanguageKey::InvalidPMSuppliedByClient)) {
    return true;
  }
  NoteLastSpoke(ctx_, user);
  const std::string_view body = message.substr(0, message.size() - 1);  // without '|'
  std::string_view text;
  if (shown.starts_with('<')) {
    const std::size_t start = TextAfterNick(body, dollar + 2, user, anyNick);
    if (start != std::string_view::npos) text = body.substr(start);
  } else {
    text = body.substr(dollar + 2);
  }

  if (SameText(target, ctx_.Settings.BotName())) {
    const std::size_t textStart =
        text.empty() ? body.size() : static_cast<std::size_t>(text.data() - message.data());
    ctx_.Chat.DelegateCommand(user, message, textStart, TCommandMode::PrivateMessage);
    return true;
  }
  if (ctx_.Chat.RefusePrivateMessage(user, target, text)) return true;
  if (ctx_.Chat.RoomMessage(user, target, message)) return true;
  THubSocket* to = ctx_.NickList.FindUser(target);
  if (to == nullptr || to->LifeState != lsInitialised) return true;

  const TEnabledInt& limit = ctx_.Settings.PrivateMessageMaxMessageLength;
  if (limit.Enabled && !user.Rights().MayByPassPMLengthCheck() && limit.Value >= 0 &&
      text.size() > static_cast<std::size_t>(limit.Value)) {
    SendCut(user, *to, target, text, static_cast<std::size_t>(limit.Value));
  } else {
    to->WriteBuffer().AppendString(message);
  }
  ++user.UserInfo().Transfer.PrivateMessages;
  ++ctx_.Stats.Protocol.PrivateMessages;
  return true;
}

void TPrivateMessageHandler::SendCut(THubSocket& user, THubSocket& to, std::string_view target,
                                     std::string_view text, std::size_t length) {
  cut_.assign(kToStart);
  cut_ += target;
  cut_ += kFrom;
  cut_ += user.Nick;
  cut_ += " $<";
  cut_ += user.Nick;
  cut_ += "> ";
  cut_ += text.substr(0, length);
  cut_ += "...\r\n";
  cut_ += ctx_.Language.Text(TLanguageKey::CutDueToLengthMessage);
  cut_ += '|';
  to.WriteBuffer().AppendString(cut_);
}
