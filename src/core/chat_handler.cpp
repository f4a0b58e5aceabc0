#include "core/chat_handler.h"

#include "core/core_hooks.h"
#include "core/history_manager.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "base/case_tables.h"
#include "utils/text_format.h"

namespace {

constexpr std::string_view kKicking = " is kicking ";
constexpr std::string_view kBecause = " because: ";
constexpr std::string_view kMCToStart = "$MCTo: ";
constexpr std::string_view kCutMark = "...\r\n";

// The message without its final '|'.
std::string_view Body(std::string_view message) {
  return message.empty() || message.back() != '|' ? message : message.substr(0, message.size() - 1);
}

}  // namespace

std::optional<TKickAnnouncement> ParseKickAnnouncement(std::string_view nick,
                                                       std::string_view text) {
  if (!text.starts_with(nick) || !text.substr(nick.size()).starts_with(kKicking)) return {};
  const std::string_view rest = text.substr(nick.size() + kKicking.size());
  const std::size_t space = rest.find(' ');
  if (space == 0 || space == std::string_view::npos) return {};
  if (!rest.substr(space).starts_with(kBecause)) return {};
  return TKickAnnouncement{rest.substr(0, space), rest.substr(space + kBecause.size())};
}

bool CheckMessageOrigin(const TChatContext& ctx, THubSocket& user, std::string_view written,
                        char delimiter, bool notify, TLanguageKey failureText) {
  if (user.Rights().MayByPassMessageOriginCheck()) return true;
  if (written.size() > user.Nick.size() && written.starts_with(user.Nick) &&
      written[user.Nick.size()] == delimiter) {
    return true;
  }
  if (notify) ctx.Messages.SendChat(user, ctx.Language.Text(failureText));
  ctx.Hooks.Login().TempBan(user, ctx.Language.Text(TLanguageKey::IncorrectProtocolMessage));
  ++user.UserInfo().KickCount;
  ++user.UserInfo().Transfer.Kicks;
  user.LifeState = lsClosing;
  return false;
}

std::size_t TextAfterNick(std::string_view message, std::size_t open, const THubSocket& user,
                          bool anyNick) {
  std::size_t close = std::string_view::npos;
  if (!anyNick) {
    close = open + 1 + user.Nick.size();
    if (close >= message.size() || message[close] != '>') return std::string_view::npos;
  } else {
    close = message.find('>', open + 1);
    if (close == std::string_view::npos) return close;
  }
  std::size_t start = close + 1;
  if (start < message.size() && message[start] == ' ') ++start;
  return start;
}

void NoteLastSpoke(const TChatContext& ctx, THubSocket& user) {
  if (user.Registered && user.Account) ctx.Accounts.SetLastSpoke(*user.Account, NowLocal());
}

bool TChatHandler::HandleChat(THubSocket& user, std::string_view message) {
  if (user.LifeState == lsClosing) return true;
  if (ctx_.Chat.ChatArrival(user, message)) return true;
  if (!ctx_.Protocol.FloodGate(user, TFloodKind::MainChat)) return true;
  if (!MayTalk(user)) return true;
  if (!CheckMessageOrigin(ctx_, user, message.substr(1), '>', ctx_.Settings.NotifyInvalidMC,
                          TLanguageKey::IncorrectNickInMainChat)) {
    return true;
  }
  const std::string_view body = Body(message);
  const bool anyNick = user.Rights().MayByPassMessageOriginCheck();
  const std::size_t textStart = TextAfterNick(body, 0, user, anyNick);
  if (textStart == std::string_view::npos) return false;
  const std::string_view text = body.substr(textStart);
  NoteLastSpoke(ctx_, user);
  if (ctx_.Chat.DelegateCommand(user, message, textStart, TCommandMode::MainChat)) return true;
  if (HandleKickAnnouncement(user, text)) return true;
  if (user.UserInfo().Muted) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::MutedUserMessage));
    return true;
  }
  Broadcast(user, message, textStart);
  return true;
}

bool TChatHandler::MayTalk(THubSocket& user) {
  const TProfile& rights = user.Rights();
  if (ctx_.Settings.MainChatIsLocked && !rights.IsOperator() && !user.UserInfo().AllowedToSpeak) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::MainChatLocked));
    return false;
  }
  if (!ctx_.Settings.MainChatMessageAllowed || !rights.MaySendMainChatMessages()) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::MainChatDisabled));
    return false;
  }
  return true;
}

bool TChatHandler::HandleKickAnnouncement(THubSocket& user, std::string_view text) {
  const std::optional<TKickAnnouncement> kick = ParseKickAnnouncement(user.Nick, text);
  if (!kick) return false;
  if (user.Rights().MayKickUser() == 0) return true;
  kicks_[user.Id()] = TKeptKick{std::string(kick->Victim), std::string(kick->Reason)};
  ctx_.Chat.KickAnnounced(user, kick->Victim, kick->Reason);
  return ctx_.Settings.SuppressKickMessagesInMainChat;
}

void TChatHandler::Broadcast(THubSocket& user, std::string_view message, std::size_t textStart) {
  const std::string_view body = Body(message);
  std::string_view text = body.substr(textStart);
  const TEnabledInt& limit = ctx_.Settings.MainChatMaxMessageLength;
  const bool cut = limit.Enabled && !user.Rights().MayByPassMCLengthCheck() && limit.Value >= 0 &&
                   text.size() > static_cast<std::size_t>(limit.Value);
  if (cut) text = text.substr(0, static_cast<std::size_t>(limit.Value));

  scanned_.assign(text);
  const TScanVerdict verdict = ctx_.Chat.ScanMainChat(user, scanned_);
  if (verdict == TScanVerdict::Refuse) return;
  const bool changed = scanned_ != text;
  if (changed) text = scanned_;
  const TUserInfo& info = user.UserInfo();
  const bool kennylize = verdict == TScanVerdict::Kennylize || info.Kennylized;
  const bool lunarize = !kennylize && (verdict == TScanVerdict::Lunarize || info.Lunarized);

  std::string_view line = body;
  if (cut || changed || kennylize || lunarize) {
    line_.assign(body.substr(0, textStart));
    if (kennylize) line_ += ctx_.Chat.Kennylize(text);
    else if (lunarize) line_ += ctx_.Chat.Lunarize(text);
    else line_ += text;
    if (cut) {
      line_ += kCutMark;
      line_ += ctx_.Language.Text(TLanguageKey::CutDueToLengthMessage);
    }
    line = line_;
  }
  ctx_.History.Add(line);
  if (line.data() == message.data()) {
    ctx_.NickList.SendToAll(message);  // the line as received, '|' included
  } else {
    line_ += '|';
    ctx_.NickList.SendToAll(line_);
  }
  ++user.UserInfo().Transfer.MainChatLines;
  ++ctx_.Stats.Protocol.MainchatMessages;
}

bool TChatHandler::HandleMCTo(THubSocket& user, std::string_view message) {
  if (message.size() <= 9) {
    user.LifeState = lsClosing;
    return false;
  }
  if (!user.Rights().MayAccessMCTo()) return true;
  if (user.UserInfo().Muted) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(TLanguageKey::MutedUserMessage));
    return true;
  }
  if (!message.starts_with(kMCToStart)) return false;
  const std::size_t space = message.find(' ', kMCToStart.size());
  if (space == std::string_view::npos || space == kMCToStart.size()) return false;
  const std::string_view target = message.substr(kMCToStart.size(), space - kMCToStart.size());
  const std::size_t dollar = message.find(" $", space);
  if (dollar == std::string_view::npos) return false;
  THubSocket* to = ctx_.NickList.FindUser(target);
  if (to == nullptr || to->LifeState != lsInitialised) return true;

  const std::string_view shown = message.substr(dollar + 2);  // "<nick> text|"
  if (shown.starts_with('$')) {
    user.LifeState = lsClosing;
    ctx_.Hooks.Feed().PostAction(FormatText(
        ctx_.Language.Text(TLanguageKey::OnInvalidMcToFeedMessage), user.Nick, message));
    return true;
  }
  if (!user.Rights().MayByPassMessageOriginCheck()) {
    // A line that shows no sender would let anyone speak in another's name.
    if (!shown.starts_with('<')) return true;
    if (!CheckMessageOrigin(ctx_, user, shown.substr(1), '>', ctx_.Settings.NotificationInvalidPM,
                            TLanguageKey::InvalidPMSuppliedByClient)) {
      return true;
    }
  }
  NoteLastSpoke(ctx_, user);
  ++user.UserInfo().Transfer.MCTos;
  ++ctx_.Stats.Protocol.MCTo;
  to->WriteBuffer().AppendString(shown);
  return true;
}

std::optional<std::string> TChatHandler::TakeKickReason(const THubSocket& kicker,
                                                        std::string_view victim) {
  const auto it = kicks_.find(kicker.Id());
  if (it == kicks_.end()) return {};
  // A kick of someone else leaves the announced reason unused.
  if (!SameText(it->second.Victim, victim)) return {};
  std::string reason = std::move(it->second.Reason);
  kicks_.erase(it);
  return reason;
}

void TChatHandler::Forget(const THubSocket& user) { kicks_.erase(user.Id()); }
