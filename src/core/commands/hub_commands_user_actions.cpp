// Acting on a connected user: block, redirect, drop, and the bans that
// take a user (or a nick) out of the hub.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "core/commands/command_words.h"
#include "core/ban_gate.h"
#include "core/commands/ban_texts.h"
#include "core/commands/hub_commands.h"
#include "core/hub_socket.h"
#include "core/kick_steps.h"
#include "core/login_refusal.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol_message.h"
#include "core/user_info.h"
#include "core/user_stats_side.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

using L = TLanguageKey;

// A hundred years: longer is a typing slip, and the date would overflow
// what the ban file can hold.
constexpr int kMaxBanHours = 876000;
constexpr std::int64_t kSecondsPerHour = 3600;

constexpr TBanKeys kBanUserAnnounce{L::BanUserSuccess, L::BanUserSuccessReason, L::TBanUserSuccess,
                                    L::TBanUserSuccessReason};
constexpr TBanKeys kBanUserFeed{L::BanUserFeedMessage, L::BanUserFeedMessageReason,
                                L::TBanUserFeedMessage, L::TBanUserFeedMessageReason};
constexpr TBanKeys kBanNickFeed{L::BanNickFeedMessage, L::BanNickFeedMessageReason,
                                L::TBanNickFeedMessage, L::TBanNickFeedMessageReason};

}  // namespace

THubSocket* THubCommands::ActionTarget(TLanguageKey reserved, TLanguageKey notFound) {
  const std::string& word = tokens_.Get(1);
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) session_.Reply(ctx_.NicksInUse.Exists(word) ? reserved : notFound);
  return target;
}

bool THubCommands::BanHours(int word, int& hours) {
  hours = WholeInt(tokens_.Get(word)).value_or(0);
  if (hours <= 0 || hours > kMaxBanHours) {
    session_.Reply(L::BanTimeIncorrectHours);
    return false;
  }
  return true;
}

TDateTime THubCommands::BanExpiry(int hours) const {
  // Whole hours from now, never rounded to days.
  return TDateTime{ctx_.Bans.Now().Seconds + static_cast<std::int64_t>(hours) * kSecondsPerHour};
}

void THubCommands::ReplyStandingBan(const TBan* ban) {
  if (ban == nullptr) {
    // Only patterns of stars alone are refused without a ban in the way.
    session_.Reply(L::ErrorCommand);
    return;
  }
  std::string text = FormatText(session_.Template(L::ShowBanExactListSubHeader), ban->Pattern);
  text += "\r\n";
  text += ban->Expires == TDateTime{}
              ? session_.Template(L::ShowBanExactExpiresPermanent)
              : FormatText(session_.Template(L::ShowBanExactExpires), FormatDateTime(ban->Expires));
  session_.SendReply(text);
}

void THubCommands::HandleBlock() {
  THubSocket& sender = session_.Sender();
  THubSocket* target = ActionTarget(L::BlockUserUnBlockAble, L::BlockUserNotFound);
  if (target == nullptr) return;
  const std::uint8_t right = sender.Rights().MayBlockUser();
  if (!sender.MayActOnUser(right, *target)) {
    session_.Reply(L::BlockUserTooLowAccountLvl);
    return;
  }
  TUserInfo& info = target->UserInfo();
  if (info.Blocked) {
    session_.Reply(L::BlockUserAlreadyBlocked, target->Nick);
    return;
  }
  info.Blocked = true;
  // A lower right leaves the block to anyone of the sender's level.
  info.BlockedLevel = right == paLower ? sender.ProfileLevel() - 1 : sender.ProfileLevel();
  session_.Reply(L::BlockUserBlocked, target->Nick);
  FeedAction(FormatText(Feed(L::BlockUserFeedMessage), target->Nick, sender.Nick));
}

void THubCommands::HandleUnBlock() {
  THubSocket& sender = session_.Sender();
  const std::string& word = tokens_.Get(1);
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) {
    if (ctx_.NicksInUse.Exists(word)) {
      session_.Reply(L::BlockUserUnBlockAble);
      return;
    }
    // The stored block of a nick that is away; the back end answers.
    if (TUserStatsSide* stats = ctx_.UserStats ? ctx_.UserStats() : nullptr)
      stats->ClearBlocked(sender, word, session_.ReplyByPM);
    else
      session_.Reply(L::BlockUserNotFound);
    return;
  }
  const std::uint8_t right = sender.Rights().MayBlockUser();
  if (!sender.MayActOnUser(right, *target)) {
    session_.Reply(L::BlockUserTooLowAccountLvl);
    return;
  }
  TUserInfo& info = target->UserInfo();
  if (!info.Blocked) {
    session_.Reply(L::UnBlockUserNotBlocked, target->Nick);
    return;
  }
  if (!sender.MayActOnLevel(right, info.BlockedLevel)) {
    session_.Reply(L::UnBlockUserTooStrongBlock);
    return;
  }
  info.Blocked = false;
  info.BlockedLevel = -1;
  session_.Reply(L::UnBlockUserSuccess, target->Nick);
  FeedAction(FormatText(Feed(L::UnBlockUserFeedMessage), target->Nick, sender.Nick));
}

void THubCommands::HandleRedirect() {
  THubSocket& sender = session_.Sender();
  THubSocket* target = ActionTarget(L::OnRedirectUserUnMoveable, L::OnRedirectUserNotFound);
  if (target == nullptr) return;
  if (target->Rights().MayNeverBeRedirected()) {
    session_.Reply(L::OnRedirectUserUnMoveable);
    return;
  }
  if (!sender.MayActOnUser(sender.Rights().MayRedirect(), *target)) {
    session_.Reply(L::OnRedirectUserTooLowAccountLvl);
    return;
  }
  const std::string address = tokens_.Get(2);
  const std::string_view reason = tokens_.Count() > 3 ? RestOfLine(3) : std::string_view{};
  // The hub's counter moves with the "$ForceMove" itself.
  ++sender.UserInfo().Transfer.Redirects;
  if (TAccount* account = CountingAccount(sender)) ++account->Stats.Redirects;
  ctx_.Messages.SendChatAs(
      sender.Nick, *target,
      reason.empty() ? FormatText(Feed(L::OnRedirectUser), address)
                     : FormatText(Feed(L::OnRedirectUserWithReason), address, reason));
  ctx_.Messages.ForceMove(*target, address);
  session_.Reply(L::RedirectUser, target->Nick, address);
  FeedAction(FormatText(Feed(L::OnRedirectFeedMessage), sender.Nick, target->Nick, address));
}

void THubCommands::HandleDrop() {
  THubSocket& sender = session_.Sender();
  THubSocket* target = ActionTarget(L::DropUserUnDropAble, L::DropUserNotFound);
  if (target == nullptr) return;
  if (target->Rights().MayNeverBeDropped()) {
    session_.Reply(L::DropUserUnDropAble);
    return;
  }
  if (!sender.MayActOnLevel(sender.Rights().MayDropUser(), target->ProfileLevel())) {
    session_.Reply(L::DropUserTooLowAccountLvl);
    return;
  }
  target->LifeState = lsClosing;
  target->WriteBuffer().AppendChar('|');
  session_.Reply(L::DropUserDroped, target->Nick);
  FeedAction(FormatText(Feed(L::DropUserFeedMessage), target->Nick, sender.Nick));
}

void THubCommands::HandleBan() { BanConnectedUser(false); }
void THubCommands::HandleTimedBan() { BanConnectedUser(true); }

void THubCommands::BanConnectedUser(bool timed) {
  THubSocket& sender = session_.Sender();
  THubSocket* target = ActionTarget(L::BanUserUnBanAble, L::BanUserNotFound);
  if (target == nullptr) return;
  if (!sender.MayActOnLevel(sender.Rights().MayBanNick(), target->ProfileLevel())) {
    session_.Reply(L::BanUserTooLowAccountLvl);
    return;
  }
  int hours = 0;
  if (timed && !BanHours(2, hours)) return;
  const std::string reason(RestOfLine(timed ? 3 : 2));
  const TDateTime expires = timed ? BanExpiry(hours) : TDateTime{};
  if (!BanConnectionIP(ctx_.Bans, ctx_.Settings, *target, reason, expires, sender.Nick)) {
    // The address is banned already: the user goes all the same.
    target->LifeState = lsClosing;
    ReplyStandingBan(ctx_.Bans.StandingBan(TBanKind::IP, target->IP));
    return;
  }
  CountBan(sender, timed);
  const TBanNote note{timed, hours, sender.Nick, reason};
  if (ctx_.Settings.InformOperatorsInMcOnBan)
    ctx_.Messages.SendChatToOperators(
        BanLine(ctx_.Language, kBanUserAnnounce, note, target->Nick, target->IP));
  if (timed)
    session_.Reply(L::TBanUserBanned, target->Nick, hours);
  else
    session_.Reply(L::BanUserBanned, target->Nick);
  FeedAction(BanLine(ctx_.Language, kBanUserFeed, note, target->Nick));
}

void THubCommands::HandleBanNick() { BanNickPattern(false); }
void THubCommands::HandleTimedBanNick() { BanNickPattern(true); }

void THubCommands::BanNickPattern(bool timed) {
  THubSocket& sender = session_.Sender();
  const std::string& word = tokens_.Get(1);
  THubSocket* online = ctx_.NickList.FindUser(word);
  const std::string nick = online != nullptr ? online->Nick : word;
  int level = 0;
  bool checkLevel = online != nullptr;
  if (online != nullptr) {
    level = online->ProfileLevel();
  } else if (ctx_.NicksInUse.Exists(word)) {
    session_.Reply(L::BanUserUnBanAble);
    return;
  } else if (ctx_.Accounts != nullptr) {
    if (const std::shared_ptr<TAccount> account = ctx_.Accounts->Find(word)) {
      level = account->Profile ? account->Profile->ProfileLevel : 0;
      checkLevel = true;
    }
  }
  if (checkLevel && !sender.MayActOnLevel(sender.Rights().MayBanNick(), level)) {
    session_.Reply(L::BanUserTooLowAccountLvl);
    return;
  }
  int hours = 0;
  if (timed && !BanHours(2, hours)) return;
  const std::string reason(RestOfLine(timed ? 3 : 2));
  const TBan* ban = ctx_.Bans.AddNickBan(nick, reason, level, timed ? BanExpiry(hours) : TDateTime{},
                                         sender.Nick);
  if (ban == nullptr) {
    // A ban in force covers the nick: its user goes all the same.
    const TBan* standing = ctx_.Bans.StandingBan(TBanKind::Nick, nick);
    if (online != nullptr && standing != nullptr) online->LifeState = lsClosing;
    ReplyStandingBan(standing);
    return;
  }
  CountBan(sender, timed);
  const TBanNote note{timed, hours, sender.Nick, reason};
  if (online != nullptr) {
    // Whatever the operators are told, the banned user leaves now.
    RefuseWithBotLine(*online, ctx_.Settings, ctx_.Bans.BanText(*ban));
    if (ctx_.Settings.InformOperatorsInMcOnBan)
      ctx_.Messages.SendChatToOperators(
          BanLine(ctx_.Language, kBanUserAnnounce, note, online->Nick, online->IP));
  }
  if (timed)
    session_.Reply(L::TBanNickBanned, nick, hours);
  else
    session_.Reply(L::BanNickBanned, nick);
  FeedAction(BanLine(ctx_.Language, kBanNickFeed, note, nick));
}
