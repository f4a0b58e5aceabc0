// The account commands: adding, renaming, listing and editing accounts and
// the protected nicks. Passwords are shown to the operator as stored.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/case_tables.h"
#include "base/date_time.h"
#include "core/commands/command_words.h"
#include "core/buffer_text.h"
#include "core/commands/hub_commands.h"
#include "core/nick_list.h"
#include "core/write_buffer.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/page_refresh.h"
#include "core/user_info.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/protocol_text.h"
#include "utils/text_format.h"

namespace {

using L = TLanguageKey;
using R = TProfileRight;

const std::string kDashLine = "\r\n" + std::string(105, '-');

std::string Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return std::string(text);
}

int LevelOf(const TAccount& account) {
  return account.Profile ? account.Profile->ProfileLevel : 0;
}

std::string ProfileNameOf(const TAccount& account) {
  return account.Profile ? account.Profile->Name : std::string();
}

// "hh:mm:ss", or "d:hh:mm:ss" from one day up.
std::string UptimeText(std::int64_t seconds) {
  char text[48];
  const auto h = (seconds / 3600) % 24, m = (seconds / 60) % 60, sec = seconds % 60;
  if (seconds >= kSecondsPerDay) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld:%02lld",
                  static_cast<long long>(seconds / kSecondsPerDay), static_cast<long long>(h),
                  static_cast<long long>(m), static_cast<long long>(sec));
  } else {
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(h),
                  static_cast<long long>(m), static_cast<long long>(sec));
  }
  return text;
}

std::string TabPadded(std::string_view text, int column) {
  TWriteBuffer buffer(1);
  AppendTabPadded(text, buffer, column);
  return buffer.GetString();
}

}  // namespace

TDateTime THubCommands::Now() const { return ctx_.Today ? ctx_.Today() : NowLocal(); }

std::shared_ptr<TAccount> THubCommands::AccountToChange(TProfileRight right, TLanguageKey denied) {
  if (ctx_.Accounts == nullptr) return nullptr;
  std::shared_ptr<TAccount> account = ctx_.Accounts->Find(tokens_.Get(1));
  if (!account) {
    session_.Reply(L::AccountDontExists);
    return nullptr;
  }
  THubSocket& sender = session_.Sender();
  if (!sender.MayActOnLevel(sender.Rights().Right(right), LevelOf(*account))) {
    session_.Reply(denied);
    return nullptr;
  }
  return account;
}

void THubCommands::StampAccount(TAccount& account) {
  account.LastChanged = Now();
  account.LastChangedBy = session_.Sender().Nick;
  Pages().AccountChanged(account.Nick);
}

// "on", "off" or nothing (toggle); false after the refusal.
bool THubCommands::OnOffWord(bool current, TLanguageKey invalid, bool& wanted) {
  const std::string& word = tokens_.Get(1);
  if (tokens_.Count() < 2) wanted = !current;
  else if (SameText(word, "on")) wanted = true;
  else if (SameText(word, "off")) wanted = false;
  else {
    session_.Reply(invalid);
    return false;
  }
  return true;
}

// Rebuilds both texts and sends the changed ones to who sees each.
void THubCommands::ResendMyINFO(THubSocket& user) {
  TUserInfo& info = user.UserInfo();
  info.RebuildMyINFO(user.Nick, ctx_.Settings);
  if (info.UserMyINFO.Changed) {
    ctx_.NickList.SendToNonOperators(info.UserMyINFO.Text);
    info.UserMyINFO.PendingSince = 0;
  }
  if (info.OperatorMyINFO.Changed) {
    ctx_.NickList.SendToOperators(info.OperatorMyINFO.Text);
    info.OperatorMyINFO.PendingSince = 0;
  }
}

void THubCommands::HandleHideShare() {
  THubSocket& sender = session_.Sender();
  if (sender.Rights().Has(R::ForceHideShare)) {
    session_.Reply(L::HideShareForced);
    return;
  }
  bool hide = false;
  if (!OnOffWord(sender.HidesShare, L::HideShareInvalidParameter, hide)) return;
  TUserInfo& info = sender.UserInfo();
  if (hide) {
    if (sender.HidesShare) {
      session_.Reply(L::HideShareAlreadyHidden);
      return;
    }
    sender.HidesShare = true;
    if (info.Share != 0) {
      ctx_.Stats.RemoveShare(info.Share);
      info.Share = 0;
      ResendMyINFO(sender);
    }
    session_.Reply(L::HideShareEnabled);
    return;
  }
  if (!sender.HidesShare) {
    session_.Reply(L::HideShareNotHidden);
    return;
  }
  sender.HidesShare = false;
  if (info.RealShare == 0) {
    session_.Reply(L::HideShareDisabledNoShare);
    return;
  }
  info.Share = info.RealShare;
  ctx_.Stats.AddShare(info.Share);
  ResendMyINFO(sender);
  session_.Reply(L::HideShareDisabled);
}

void THubCommands::HandleHideMe() {
  THubSocket& sender = session_.Sender();
  bool hide = false;
  if (!OnOffWord(sender.Hidden, L::HideMeInvalidParameter, hide)) return;
  if (hide == sender.Hidden) {
    session_.Reply(hide ? L::HideMeAlreadyHidden : L::HideMeNotHidden);
    return;
  }
  sender.Hidden = hide;
  const bool oper = sender.IsOperator();
  if (oper) ctx_.NickList.RebuildOpList();
  TUserInfo& info = sender.UserInfo();
  std::string opList;
  if (!hide) {
    info.RebuildMyINFO(sender.Nick, ctx_.Settings);
    info.UserMyINFO.PendingSince = info.OperatorMyINFO.PendingSince = 0;
    if (oper) opList = "$OpList " + sender.Nick + "$$|";
  }
  // The hider keeps seeing itself.
  for (int i = ctx_.NickList.GetCount() - 1; i >= 0; --i) {
    THubSocket& user = *ctx_.NickList.GetUser(i);
    if (&user == &sender || user.LifeState != lsInitialised) continue;
    TWriteBuffer& out = user.WriteBuffer();
    if (hide) {
      if (!user.MayActOnUser(user.Rights().MayShowHidden(), sender))
        out.AppendString("$Quit " + sender.Nick + "|");
      continue;
    }
    if (!user.UserInfo().Supports.NoHello) out.AppendString("$Hello " + sender.Nick + "|");
    out.AppendString(opList);
    out.AppendString(user.IsOperator() ? info.OperatorMyINFO.Text : info.UserMyINFO.Text);
  }
  session_.Reply(hide ? L::HideMeEnabled : L::HideMeDisabled);
}

void THubCommands::HandleShowProfiles() {
  if (ctx_.Profiles == nullptr) return;
  THubSocket& sender = session_.Sender();
  const TProfiles& profiles = *ctx_.Profiles;
  const int count = profiles.GetCount();
  const int offset = OffsetWord(tokens_.Get(1));
  const int last = std::min(offset + ctx_.Settings.MaxHitsOnSearch, count) - 1;
  // Only the rows written are counted: the header never promises more.
  std::string rows;
  int shown = 0;
  for (int i = offset; i <= last; ++i) {
    const TProfile& profile = *profiles.GetItem(i);
    if (!sender.MayActOnLevel(sender.Rights().MayAccountsProfilesShow(), profile.ProfileLevel))
      continue;
    rows += "\r\n\xA6  (" + std::to_string(profile.ProfileLevel) + ")" + profile.Name + " -  " +
            profile.Description;
    ++shown;
  }
  std::string text = kDashLine;
  text += "\r\n\xA6 " + FormatText(session_.Template(L::ListHeader), shown,
                                   std::min(offset, count), count);
  text += "\r\n\xA6 " + kDashLine + rows + kDashLine;
  session_.SendReply(text);
}

void THubCommands::HandleAddAccount() {
  if (ctx_.Accounts == nullptr || ctx_.Profiles == nullptr) return;
  THubSocket& sender = session_.Sender();
  const std::shared_ptr<TProfile> profile = ctx_.Profiles->Find(tokens_.Get(3));
  if (!profile) {
    session_.Reply(L::AccountProfileDontExists, std::string(1, session_.Prefix()) + "showprofiles (sp)");
    return;
  }
  if (!sender.MayActOnLevel(sender.Rights().MayAccountsAdd(), profile->ProfileLevel)) {
    session_.Reply(L::AccountAddProfileAccessError);
    return;
  }
  // Stored as the file's loading would read it back.
  const std::string nick = ProtocolSafeText(tokens_.Get(1));
  std::shared_ptr<TAccount> account;
  if (ctx_.Accounts->Find(nick) == nullptr) account = ctx_.Accounts->Add(nick, profile->Name);
  if (!account) {
    session_.Reply(L::AccountAlreadyExists);
    return;
  }
  const std::string& pass = tokens_.Get(2);
  account->CreatedBy = sender.Nick;
  account->Owner = sender.Nick;
  account->Pass = pass;
  if (tokens_.Count() > 4) account->IPPattern = tokens_.Get(4);
  Pages().AccountChanged(account->Nick);
  FeedAction(FormatText(session_.Template(L::AccountAddFeedMessage), sender.Nick, profile->Name, account->Nick));
  session_.Reply(L::AccountAdd, account->Nick, profile->Name, pass, ctx_.Settings.HubAddress);
}

void THubCommands::HandleDeleteAccount() {
  const auto account = AccountToChange(R::MayAccountsDel, L::AccountDelProfileAccessError);
  if (!account) return;
  const std::string nick = account->Nick;
  const std::string profileName = ProfileNameOf(*account);
  ctx_.Accounts->Delete(nick);
  Pages().AccountDeleted(nick);
  FeedAction(FormatText("%s deleted the %s account %s", session_.Sender().Nick, profileName, nick));
  session_.Reply(L::AccountDel, nick);
}

void THubCommands::HandleChangeAccount() {
  if (ctx_.Accounts == nullptr) return;
  THubSocket& sender = session_.Sender();
  const TProfile& rights = sender.Rights();
  if (tokens_.Count() < 3) {
    session_.Reply(L::ErrorCommand);
    return;
  }
  const std::string newNick = ProtocolSafeText(tokens_.Get(2));
  const bool rename = !SameText(tokens_.Get(1), newNick);
  const bool withPass = tokens_.Count() > 3;
  const std::string& pass = tokens_.Get(3);
  if ((rename && (!rights.Has(R::MayAccountsAdd) || !rights.Has(R::MayAccountsDel))) ||
      (withPass && !rights.Has(R::MayAccountsSetPass))) {
    session_.Reply(L::ForbiddenCommand);
    return;
  }
  if (!rename && !withPass) {
    session_.Reply(L::ErrorCommand);
    return;
  }
  const std::shared_ptr<TAccount> account = ctx_.Accounts->Find(tokens_.Get(1));
  if (!account) {
    session_.Reply(L::AccountDontExists);
    return;
  }
  const std::string oldNick = account->Nick;
  const int level = LevelOf(*account);
  if (rename && (!sender.MayActOnLevel(rights.MayAccountsAdd(), level) ||
                 !sender.MayActOnLevel(rights.MayAccountsDel(), level))) {
    session_.Reply(L::AccountChangeProfileAccessError);
    return;
  }
  if (withPass && !sender.MayActOnLevel(rights.MayAccountsSetPass(), level)) {
    session_.Reply(L::AccountSetPassProfileAccessError);
    return;
  }
  const bool passChanged = withPass && pass != account->Pass;
  if (rename && !ctx_.Accounts->Rename(account, newNick)) {
    session_.Reply(L::AccountChangeNickFailed, oldNick, newNick, newNick);
    return;
  }
  if (rename) Pages().AccountRenamed(oldNick, account->Nick);
  if (passChanged) account->Pass = pass;
  if (rename || passChanged) StampAccount(*account);
  if (rename) {
    FeedAction(FormatText(session_.Template(L::AccountChangeNickFeedMessage), sender.Nick, oldNick, account->Nick));
    if (passChanged)
      session_.Reply(L::AccountChangeNickAndPass, oldNick, account->Nick, pass);
    else
      session_.Reply(L::AccountChangeNick, oldNick, account->Nick);
    return;
  }
  FeedAction(FormatText(session_.Template(L::AccountChangePassFeedMessage), sender.Nick, oldNick));
  session_.Reply(L::AccountChangePass, oldNick, pass);
}

void THubCommands::HandleShowAccounts() {
  if (ctx_.Accounts == nullptr || ctx_.Profiles == nullptr) return;
  THubSocket& sender = session_.Sender();
  const TAccounts& accounts = *ctx_.Accounts;
  const bool all = SameText(tokens_.Get(1), "all");
  std::shared_ptr<TProfile> profile;
  if (!all && !(profile = ctx_.Profiles->Find(tokens_.Get(1)))) {
    session_.Reply(L::AccountListProfileDontExists,
                   std::string(1, session_.Prefix()) + "showprofiles (sp)");
    return;
  }
  const std::string search = tokens_.Count() > 2 ? tokens_.Get(2) : std::string("*");
  const int offset = OffsetWord(tokens_.Get(3));
  const TMatchRange range = accounts.FindMatchRange(search);
  const auto matches = [&](const TAccount& account) {
    return (all || account.Profile == profile) &&
           sender.MayActOnLevel(sender.Rights().MayAccountsList(), LevelOf(account));
  };
  int total = 0, shown = 0, firstMatch = -1, first = -1, last = -1;
  for (int i = range.first; i <= range.last; ++i) {
    if (!matches(*accounts.GetItem(i))) continue;
    if (total++ == 0) firstMatch = i;
    if (total <= offset || shown >= ctx_.Settings.MaxHitsOnSearch) continue;
    if (first < 0) first = i;
    last = i;
    ++shown;
  }
  const auto text = [this](TLanguageKey key, auto... args) {
    return FormatText(session_.Template(key), args...);
  };
  std::string out = kDashLine + "\r\n\xA6 " + text(L::ListHeader, shown, offset, total) + "\r\n\xA6 ";
  if (total == 1) {
    const TAccount& a = *accounts.GetItem(firstMatch);
    const TDateTime now = Now();
    std::int64_t uptime = a.Stats.Uptime / 1000;
    const THubSocket* user = a.Online ? ctx_.NickList.FindUser(a.Nick) : nullptr;
    if (user != nullptr && user->Account.get() == &a && user->ConnectTime.Seconds != 0)
      uptime += std::max<std::int64_t>(now.Seconds - user->ConnectTime.Seconds, 0);
    std::vector<std::string> lines;
    lines.push_back(text(L::AccountListSingelNick, a.Nick));
    lines.push_back(text(L::AccountListSingelProfile, ProfileNameOf(a)));
    lines.push_back(a.IPPattern.empty() ? text(L::AccountListSingelIPPatternNone)
                                        : text(L::AccountListSingelIPPattern, a.IPPattern));
    lines.push_back(text(L::AccountListSingelOwner, a.Owner));
    lines.push_back(text(L::AccountListSingelUptime, UptimeText(uptime)));
    if (a.Stats.Kicks != 0) lines.push_back(text(L::AccountListSingelKicks, a.Stats.Kicks));
    if (a.Stats.Bans != 0) lines.push_back(text(L::AccountListSingelBans, a.Stats.Bans));
    if (a.Stats.TimeBans != 0) lines.push_back(text(L::AccountListSingelTimeBans, a.Stats.TimeBans));
    if (a.Stats.Redirects != 0)
      lines.push_back(text(L::AccountListSingelRedirects, a.Stats.Redirects));
    lines.push_back(a.LastUsed.Seconds == 0
                        ? text(L::AccountListSingelLastUsedNever)
                        : text(L::AccountListSingelLastUsed, FormatDateTime(a.LastUsed)));
    lines.push_back(a.LastSpoke.Seconds == 0
                        ? text(L::AccountListSingelLastSpokeNever)
                        : text(L::AccountListSingelLastSpoke, FormatDateTime(a.LastSpoke)));
    lines.push_back(text(L::AccountListSingelCreatedBy, a.CreatedBy));
    lines.push_back(text(L::AccountListSingelCreated, FormatDateTime(a.Created)));
    lines.push_back(text(L::AccountListSingelLastChangedBy, a.LastChangedBy));
    lines.push_back(a.LastChanged.Seconds == 0
                        ? text(L::AccountListSingelLastChangedNever)
                        : text(L::AccountListSingelLastChanged, FormatDateTime(a.LastChanged)));
    lines.push_back(a.ExpireDateEnabled && a.ExpireDate.Seconds != 0
                        ? text(L::AccountListSingelExpireDate, FormatDate(a.ExpireDate))
                        : text(L::AccountListSingelExpireDatePermanent));
    if (!a.Comment.empty()) lines.push_back(text(L::AccountListSingelComment, a.Comment));
    out += text(L::AccountListSingelHeader, a.Nick) + kDashLine;
    for (const std::string& line : lines) out += "\r\n\xA6  " + line;
  } else {
    out += text(L::ListSubHeader, search) + kDashLine;
    for (int i = first; shown > 0 && i <= last; ++i) {
      const TAccount& a = *accounts.GetItem(i);
      if (!matches(a)) continue;
      out += "\r\n\xA6  " + TabPadded(a.Nick, 4) + ProfileNameOf(a) + " (" +
             (a.ExpireDateEnabled ? text(L::AccountListAccountExpire, FormatDate(a.ExpireDate))
                                  : text(L::AccountListAccountExpirePerm)) +
             ")";
    }
  }
  out += kDashLine;
  session_.SendReply(out);
}

void THubCommands::HandleSetAccountProfile() {
  const auto account =
      AccountToChange(R::MayAccountsSetProfile, L::AccountSetProfileAccountAccessError);
  if (!account || ctx_.Profiles == nullptr) return;
  THubSocket& sender = session_.Sender();
  const std::shared_ptr<TProfile> profile = ctx_.Profiles->Find(tokens_.Get(2));
  if (!profile) {
    session_.Reply(L::AccountSetProfileProfileNotFound, tokens_.Get(2));
    return;
  }
  if (!sender.MayActOnLevel(sender.Rights().MayAccountsSetProfile(), profile->ProfileLevel)) {
    session_.Reply(L::AccountSetProfileAccessError);
    return;
  }
  if (account->Profile == profile) {
    session_.Reply(L::AccountSetProfileAlreadyHave, account->Nick, profile->Name);
    return;
  }
  ctx_.Accounts->ChangeProfile(account, profile);
  StampAccount(*account);
  session_.Reply(L::AccountSetProfileSuccess, account->Nick, profile->Name);
  FeedAction(FormatText(session_.Template(L::AccountSetProfileFeedMessage), sender.Nick, account->Nick,
                         profile->Name));
}

void THubCommands::HandleSetAccountIP() {
  const auto account = AccountToChange(R::MayAccountsSetIPs, L::AccountSetIpsProfileAccessError);
  if (!account) return;
  const std::string pattern = Trimmed(tokens_.Get(2));
  if (pattern.empty())
    session_.Reply(L::AccountSetIpsDelSuccess, account->Nick);
  else
    session_.Reply(L::AccountSetIpsSuccess, account->Nick, pattern);
  if (pattern == account->IPPattern) return;
  account->IPPattern = pattern;
  StampAccount(*account);
}

void THubCommands::HandleShowAccountIP() {
  const auto account = AccountToChange(R::MayAccountsShowIPs, L::AccountShowIPsProfileAccessError);
  if (account) session_.Reply(L::AccountShowIPs, account->Nick, account->IPPattern);
}

void THubCommands::SetAccountText(TProfileRight right, TLanguageKey denied, std::string TAccount::*field,
                                  TLanguageKey success, TLanguageKey removed) {
  const auto account = AccountToChange(right, denied);
  if (!account) return;
  const std::string text(RestOfLine(2));
  (*account).*field = text;
  StampAccount(*account);
  if (text.empty())
    session_.Reply(removed, account->Nick);
  else
    session_.Reply(success, account->Nick, text);
}

void THubCommands::HandleSetAccountComment() {
  SetAccountText(R::MayAccountsSetComment, L::AccountSetCommentProfileAccessError,
                 &TAccount::Comment, L::AccountSetCommentSuccess, L::AccountSetCommentDelComment);
}

void THubCommands::HandleSetAccountGreeting() {
  SetAccountText(R::MayAccountsSetGreeting, L::AccountSetGreetingProfileAccessError,
                 &TAccount::OnJoin, L::AccountSetGreetingSuccess, L::AccountSetGreetingDelGreeting);
}

void THubCommands::HandleSetAccountExpireDate() {
  const auto account =
      AccountToChange(R::MayAccountsSetExpireDate, L::AccountSetExpireProfileAccessError);
  if (!account) return;
  const std::string& word = tokens_.Get(2);
  TDateTime date{};
  const TDateTime now = Now();
  if (word != "0") {
    if (!ParseDateTime(word, date)) {
      session_.Reply(L::AccountSetExpireIncorrectDate, FormatDate(now));
      return;
    }
    if (date <= now) {
      session_.Reply(L::AccountSetExpirePastDate);
      return;
    }
    session_.Reply(L::AccountSetExpireSuccess, account->Nick, FormatDate(date));
  } else {
    session_.Reply(L::AccountSetExpireDelSuccess, account->Nick);
  }
  const TDateTime stored = account->ExpireDateEnabled ? account->ExpireDate : TDateTime{};
  if (date == stored) return;
  account->ExpireDateEnabled = date.Seconds != 0;
  account->ExpireDate = date;
  StampAccount(*account);
}

void THubCommands::HandleSetAccountOwner() {
  const auto account = AccountToChange(R::MayAccountsSetOwner, L::AccountSetOwnerProfileAccessError);
  if (!account) return;
  std::string owner = Trimmed(tokens_.Get(2));
  if (owner.empty()) {
    owner = session_.Sender().Nick;
  } else if (const auto ownerAccount = ctx_.Accounts->Find(owner)) {
    owner = ownerAccount->Nick;
  }
  session_.Reply(L::AccountSetOwnerSuccess, account->Nick, owner);
  if (owner == account->Owner) return;
  account->Owner = owner;
  StampAccount(*account);
}

void THubCommands::HandleSetAccountPass() {
  const auto account = AccountToChange(R::MayAccountsSetPass, L::AccountSetPassProfileAccessError);
  if (!account) return;
  const std::string pass = Trimmed(tokens_.Get(2));
  if (pass.empty()) return;
  session_.Reply(L::AccountSetPassSuccess, account->Nick, pass);
  FeedAction(FormatText(session_.Template(L::AccountChangePassFeedMessage), session_.Sender().Nick, account->Nick));
  if (pass == account->Pass) return;
  account->Pass = pass;
  StampAccount(*account);
}

void THubCommands::HandleShowAccountPass() {
  const auto account = AccountToChange(R::MayAccountsShowPass, L::AccountShowPassProfileAccessError);
  if (account) session_.Reply(L::AccountShowPass, account->Nick, account->Pass);
}

// --- protected nicks --------------------------------------------------------

void THubCommands::HandleUserAddReg() {
  if (ctx_.Registered == nullptr) return;
  const std::string& nick = tokens_.Get(1);
  if (ctx_.Registered->Find(nick) != nullptr) {
    session_.Reply(L::UserRegisteredAlreadyExists);
    return;
  }
  if (ctx_.Accounts != nullptr && ctx_.Accounts->Find(nick) != nullptr)
    session_.Reply(L::UserRegisteredAccountExists, nick);
  TUserRegItem* item = ctx_.Registered->Add(nick);
  if (item == nullptr) {
    session_.Reply(L::UserRegisteredAlreadyExists);
    return;
  }
  item->Pass = tokens_.Get(2);
  FeedAction(FormatText(session_.Template(L::UserRegisteredAddFeedMessage), session_.Sender().Nick, item->Name));
  session_.Reply(L::UserRegisteredAdd, item->Name, item->Pass, ctx_.Settings.HubAddress);
}

TUserRegItem* THubCommands::ProtectedNick() {
  if (ctx_.Registered == nullptr) return nullptr;
  TUserRegItem* item = ctx_.Registered->Find(tokens_.Get(1));
  if (item == nullptr) session_.Reply(L::UserRegisteredDontExists, tokens_.Get(1));
  return item;
}

void THubCommands::HandleUserDelReg() {
  TUserRegItem* item = ProtectedNick();
  if (item == nullptr) return;
  const std::string nick = item->Name;
  ctx_.Registered->Delete(nick);
  FeedAction(FormatText(session_.Template(L::UserRegisteredDelFeedMessage), session_.Sender().Nick, nick));
  session_.Reply(L::UserRegisteredDel, nick);
}

void THubCommands::HandleUserSetPass() {
  TUserRegItem* item = ProtectedNick();
  if (item == nullptr) return;
  item->Pass = tokens_.Get(2);
  session_.Reply(L::UserRegisteredSetPass, item->Name, item->Pass);
}

void THubCommands::HandleUserShowPass() {
  if (TUserRegItem* item = ProtectedNick())
    session_.Reply(L::UserRegisteredShowPass, item->Name, item->Pass);
}

void THubCommands::HandleUserShowReg() {
  if (ctx_.Registered == nullptr) return;
  const TUserRegistered& list = *ctx_.Registered;
  const std::string search = tokens_.Count() > 1 ? tokens_.Get(1) : std::string("*");
  const int offset = OffsetWord(tokens_.Get(2));
  const TMatchRange range = list.FindMatchRange(search);
  const int total = std::max(range.last - range.first + 1, 0);
  const int shown = std::max(std::min(total - offset, ctx_.Settings.MaxHitsOnSearch), 0);
  const auto text = [this](TLanguageKey key, auto... args) {
    return FormatText(session_.Template(key), args...);
  };
  std::string out = kDashLine + "\r\n\xA6 " + text(L::ListHeader, shown, offset, total) + "\r\n\xA6 ";
  if (total == 1) {
    const TUserRegItem& item = list.GetItem(range.first);
    out += text(L::UserRegisteredListExactSubHeader, item.Name) + kDashLine;
    out += "\r\n\xA6  " + text(L::UserRegisteredListExactPass, item.Pass);
    out += "\r\n\xA6  " + text(L::UserRegisteredListExactCreated, FormatDateTime(item.Created));
    out += "\r\n\xA6  " + (item.LastUsed.Seconds == 0
                              ? text(L::UserRegisteredListExactLastUsedNever)
                              : text(L::UserRegisteredListExactLastUsed, FormatDateTime(item.LastUsed)));
    out += kDashLine;
  } else {
    out += text(L::ListSubHeader, search) + kDashLine;
    for (int i = 0; i < shown; ++i) {
      const TUserRegItem& item = list.GetItem(range.first + offset + i);
      out += "\r\n\xA6  " + TabPadded(item.Name, 4) + " " + item.Pass;
    }
    if (shown > 0) out += kDashLine;
  }
  session_.SendReply(out);
}
