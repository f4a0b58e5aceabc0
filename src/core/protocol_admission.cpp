// The admission gate and the completion of a login.

#include <string>

#include "core/core_hooks.h"
#include "core/hub_feed.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/general.h"
#include "utils/text_format.h"

namespace {

// ISP names and prefixes come from files and commands and go out inside a
// chat line, which a '|' would end.
std::string WireText(std::string_view text) {
  std::string out;
  AppendFeedWireText(out, text);
  return out;
}

}  // namespace

bool TProtocol::CheckAdmission(THubSocket& user) {
  const TSettings& settings = ctx_.Settings;
  if (!user.Rights().MayEnterEvenIfHubIsFull() &&
      settings.MaxUsers < ctx_.NickList.GetCount() + authorizing_) {
    Refuse(user, Text(TLanguageKey::HubIsFull), &ctx_.Settings.RedirectOnFull);
    return false;
  }
  if (!user.Registered && settings.AllowedNickCharsEnabled) {
    for (char c : user.Nick) {
      if (!settings.NickCharAllowed(c)) {
        if (settings.NotifyInvalidCharsInNick) {
          ctx_.Messages.SendChat(user,
                                 FormatText(Text(TLanguageKey::NickForbiddenChar), std::string(1, c)));
        }
        return false;
      }
    }
  }
  return CheckISPAndPrefix(user);
}

bool TProtocol::CheckISPAndPrefix(THubSocket& user) {
  const TSettings& settings = ctx_.Settings;
  std::string rule = settings.UseGeneralPrefixPatternCheck ? settings.GeneralPrefixPattern : "";
  if (settings.UseISPCheck && !user.Rights().MayByPassISPIPCheck()) {
    const TISPLookup isp = ctx_.Hooks.Login().LookupISP(user);
    if (isp.Found) {
      if (!user.Rights().UseProfileConnRestriction() && isp.Restriction != nullptr) {
        user.Restriction = *isp.Restriction;
        user.ISPRestriction = true;
      }
      if (!isp.PrefixRule.empty()) rule = isp.PrefixRule;
    } else if (!settings.NoISPAllowed) {
      Refuse(user,
             FormatText(Text(TLanguageKey::InCorrectISP),
                        WireText(ctx_.Hooks.Login().AllowedISPs())),
             &ctx_.Settings.RedirectOnISP);
      return false;
    }
  }
  if (!user.Registered && !rule.empty() &&
      !MatchPrefixList(rule, user.Nick, settings.CaseSenstivePrefixPatternCompare)) {
    ctx_.Messages.SendChat(
        user, FormatText(Text(TLanguageKey::InCorrectISPPattern),
                         WireText(FormatOrList(rule, ctx_.Language.OrDelimiter()))));
    return false;
  }
  return true;
}

void TProtocol::DNSLookupDone(THubSocket& user, std::string dnsName) {
  user.DNSName = std::move(dnsName);
  user.DNSDone = true;
  if (user.LifeState == lsInitialised && user.LoginState % 128 == lgMyINFOReceived) {
    LoginComplete(user);
  }
}

void TProtocol::LoginComplete(THubSocket& user) {
  if (user.Listed || user.LifeState != lsInitialised) return;
  const TSettings& settings = ctx_.Settings;
  if (ctx_.Hooks.Login().DNSBanned(user)) {
    Refuse(user, {}, &ctx_.Settings.RedirectOnBans);
    return;
  }
  if (THubSocket* old = ctx_.NickList.FindUser(user.Nick); old != nullptr && old != &user) {
    // A connection already marked closing has lost its place, wherever the
    // new one comes from.
    if (user.Registered && (old->IP == user.IP || old->LifeState == lsClosing) && closeNow_) {
      closeNow_(*old);
    } else if (user.Registered) {
      RefuseNickInUse(user);
      return;
    }
  }
  if (!ctx_.NickList.Add(user)) {
    RefuseNickInUse(user);
    return;
  }
  user.Listed = true;
  --authorizing_;
  ctx_.Hooks.Counters().UserLoggedIn(user);
  if ((settings.RegOnlyHub || DefaultPasswordEnabled()) && !settings.Topic().empty()) {
    user.WriteBuffer().AppendString(settings.HubNameMessage());
  }
  if (user.UserInfo().DeferredNickList) ctx_.NickList.SendDeferredNickList(user);
  if (user.Rights().MayAccessUserIP2() && user.UserInfo().Supports.UserIP2) {
    ctx_.NickList.SendUserIPList(user);
  }
  ctx_.Hooks.Events().RoomsAnnounce(user);
  ctx_.NickList.AnnounceUser(user);
  user.LoginState = lgLoggedIn;
  ctx_.Hooks.Events().LoggedIn(user);

  const TDateTime now = NowLocal();
  const bool pastGate = now > user.GreetingGate;
  bool hasGreeting = false;
  if (user.Registered && user.Account) {
    hasGreeting = !user.Account->OnJoin.empty();
    if (hasGreeting && pastGate) ctx_.Messages.SendChat(user, user.Account->OnJoin);
    ctx_.Accounts.SetLastUsed(*user.Account, now);
    ctx_.Accounts.SetOnline(*user.Account, true);
    if (user.Account->Stats.FirstUse == TDateTime{}) user.Account->Stats.FirstUse = now;
  }
  if (!user.Hidden && pastGate) SendJoinAnnouncement(user, hasGreeting);
  if (settings.MainChatIsLocked && !user.IsOperator()) {
    ctx_.Messages.SendChat(user, Text(TLanguageKey::LockMainChatLockedMessage));
  }
  if (user.Hidden) ctx_.Messages.SendChat(user, Text(TLanguageKey::WarnHidden));
  if (user.LifeState == lsInitialised) ctx_.Hooks.Events().UserConnected(user);
}

void TProtocol::SendJoinAnnouncement(THubSocket& user, bool hasGreeting) {
  const TProfile& profile = user.Rights();
  if (!profile.JoinAnnouncementEnabled || profile.JoinAnnouncement.empty()) return;
  std::string text = profile.JoinAnnouncement;
  ReplaceAll(text, "<nick>", user.Nick);
  ReplaceAll(text, "<profile>", profile.Name);
  ReplaceAll(text, "<users>", std::to_string(ctx_.NickList.GetCount()));
  ReplaceAll(text, "<dns>", user.DNSName);
  ReplaceAll(text, "<ip>", user.IP);
  if (hasGreeting) {
    ctx_.Messages.SendChatToAllExcept(user, text);
  } else {
    ctx_.Messages.SendChatToAll(text);
  }
}
