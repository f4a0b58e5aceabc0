// "$Supports", $ValidateNick, $MyPass and the password check.

#include <memory>
#include <string>
#include <string_view>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "base/case_tables.h"
#include "utils/ip_match.h"
#include "utils/text_format.h"

namespace {

constexpr std::string_view kValidateNick = "$ValidateNick ";
constexpr std::string_view kMyPass = "$MyPass ";

void SetSupport(TSupports& s, std::string_view word) {
  struct TName {
    std::string_view Name;
    bool TSupports::*Flag;
  };
  static constexpr TName kNames[] = {
      {"NoHello", &TSupports::NoHello},     {"NoGetINFO", &TSupports::NoGetINFO},
      {"GetZBlock", &TSupports::GetZBlock}, {"TTHSearch", &TSupports::TTHSearch},
      {"UserIP", &TSupports::UserIP},       {"UserCommand", &TSupports::UserCommand},
      {"MCTo", &TSupports::MCTo},           {"Feed", &TSupports::Feed},
      {"BotINFO", &TSupports::BotINFO},     {"ZPipe0", &TSupports::ZPipe},
      {"ZPipe", &TSupports::ZPipe},         {"RTF0", &TSupports::RTF0},
      {"DHT0", &TSupports::DHT0},
  };
  if (SameText(word, "UserIP2")) {
    s.UserIP2 = true;
    s.UserIP = true;
    return;
  }
  for (const TName& name : kNames) {
    if (SameText(word, name.Name)) {
      s.*name.Flag = true;
      return;
    }
  }
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool TProtocol::NickByteForbidden(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || c == '$' || c == '|';
}

void TProtocol::RefuseNickInUse(THubSocket& user) {
  ctx_.Hooks.Counters().Count(TCoreCount::NickInUseRefusal);
  Refuse(user, Text(TLanguageKey::NickInUse));
}

void TProtocol::StartDNSLookup(THubSocket& user) {
  if (!ctx_.Settings.PerformDNSLookup || !ctx_.Hooks.Login().StartDNSLookup(user)) {
    user.DNSDone = true;
  }
}

void TProtocol::SendHello(THubSocket& user) {
  user.LoginState = lgNickAccepted;
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$Hello ");
  out.AppendString(user.Nick);
  out.AppendChar('|');
}

void TProtocol::AskPassword(THubSocket& user) {
  user.LoginState = lgPasswordWait;
  user.WriteBuffer().AppendString("$GetPass|");
}

bool TProtocol::HandleSupports(THubSocket& user, std::string_view message) {
  if (message.size() <= 9) return false;  // at most 8 bytes before the '|'
  TUserInfo& info = user.UserInfo();
  if (info.SupportsReceived >= 2) return true;
  std::string_view words = message.substr(0, message.size() - 1);
  words.remove_prefix(std::min<std::size_t>(words.size(), 10));  // "$Supports "
  while (!words.empty()) {
    const std::size_t space = words.find(' ');
    const std::string_view word = words.substr(0, space);
    if (!word.empty()) SetSupport(info.Supports, word);
    if (space == std::string_view::npos) break;
    words.remove_prefix(space + 1);
  }
  user.WriteBuffer().AppendString(kSupportsReply);
  ++info.SupportsReceived;
  return true;
}

bool TProtocol::HandleValidateNick(THubSocket& user, std::string_view message) {
  if (message.size() < kValidateNick.size() + 1) return false;
  const std::string_view nick =
      message.substr(kValidateNick.size(), message.size() - kValidateNick.size() - 1);
  const TSettings& settings = ctx_.Settings;
  const int length = static_cast<int>(nick.size());
  if (nick.empty() || (settings.NickMinLength.Enabled && length < settings.NickMinLength.Value)) {
    Refuse(user, Text(TLanguageKey::ValidateNickToShort));
    return true;
  }
  if (settings.NickMaxLength.Enabled && length >= settings.NickMaxLength.Value) {
    Refuse(user, Text(TLanguageKey::ValidateNickToLong));
    return true;
  }
  // Whatever the allowed-characters setting says: these bytes would let a
  // nick forge protocol messages in every list it appears in.
  for (char c : nick) {
    if (NickByteForbidden(c)) {
      Refuse(user, settings.NotifyInvalidCharsInNick
                       ? FormatText(Text(TLanguageKey::NickForbiddenChar), std::string(1, c))
                       : std::string());
      return true;
    }
  }
  user.Nick = std::string(nick);
  if (ctx_.NicksInUse.Exists(user.Nick)) {
    RefuseNickInUse(user);
    return true;
  }
  std::shared_ptr<TAccount> account = ctx_.Accounts.AssignToUser(user.Nick);
  if (account) {
    user.AccountTemporary = true;
    user.BindAccount(std::move(account), settings.ConnRestriction);
    user.Registered = true;
    ValidateRegistered(user);
  } else {
    ValidateUnregistered(user);
  }
  return true;
}

bool TProtocol::ValidateRegistered(THubSocket& user) {
  TLoginHooks& login = ctx_.Hooks.Login();
  if (!MatchIPPatternList(user.Account->IPPattern, user.IP)) {
    Refuse(user, Text(TLanguageKey::InvalidIPPatternOnAccount));
    ctx_.Hooks.Feed().PostAction("IP-locked account '" + user.Nick +
                                 "' tried to enter the hub with the wrong IP '" + user.IP + "'");
    return false;
  }
  if (login.NickOrIPBanned(user)) {
    Refuse(user, {}, &ctx_.Settings.RedirectOnBans);
    return false;
  }
  if (login.TempBanned(user) || (user.UserInfo().Supports.DHT0 && !user.Rights().MayUseDHT())) {
    Refuse(user, {});
    return false;
  }
  StartDNSLookup(user);
  // Clients may send $MyPass before $ValidateNick.
  if (!user.UserInfo().Password.empty()) {
    // The same rule as for a password that answers "$GetPass".
    const bool accepted = CheckPassword(user);
    ResolveOlderLogin(user, accepted);
    return accepted;
  }
  ctx_.Messages.SendChat(user, Text(TLanguageKey::NickRegisteredProvidePass));
  AskPassword(user);
  return true;
}

bool TProtocol::ValidateUnregistered(THubSocket& user) {
  TLoginHooks& login = ctx_.Hooks.Login();
  const TSettings& settings = ctx_.Settings;
  const int pinger = login.PingerClass(user);
  if (pinger == 1 || pinger == 2) {
    login.BindPinger(user, pinger);
  } else if (pinger == 3) {
    Refuse(user, Text(TLanguageKey::NickReservedForHubPinger));
    return false;
  } else {
    std::string password;
    if (login.ProtectedNick(user.Nick, password)) {
      user.BindAccount(ctx_.Accounts.RegisteredAccount(), settings.ConnRestriction);
      user.Protected = true;
    } else if (settings.RegOnlyHub) {
      ctx_.Hooks.Feed().PostAction("User '" + user.Nick + "' with IP: '" + user.IP +
                                   "' tried to enter the Reg Only Hub");
      Refuse(user, Text(TLanguageKey::RegisteredUsersOnly), &ctx_.Settings.RedirectOnRegOnly);
      return false;
    }
  }
  if (login.NickOrIPBanned(user)) {
    Refuse(user, {}, &ctx_.Settings.RedirectOnBans);
    return false;
  }
  if (login.TempBanned(user) || !CheckAdmission(user) ||
      (user.UserInfo().Supports.DHT0 && !user.Rights().MayUseDHT())) {
    Refuse(user, {});
    return false;
  }
  if (ctx_.NickList.ProbeNick(user.Nick)) {
    RefuseNickInUse(user);
    return false;
  }
  StartDNSLookup(user);
  user.GreetingGate = login.GreetingGate(user);
  if (user.Protected || (DefaultPasswordEnabled() && pinger != 1)) {
    if (!settings.PasswordMessage.empty()) ctx_.Messages.SendChat(user, settings.PasswordMessage);
    AskPassword(user);
  } else if (user.LifeState == lsInitialised) {
    SendHello(user);
  }
  return true;
}

bool TProtocol::HandleMyPass(THubSocket& user, std::string_view message) {
  if (message.size() < kMyPass.size() + 2) {  // no password byte at all
    user.LifeState = lsClosing;
    return true;
  }
  TUserInfo& info = user.UserInfo();
  info.Password =
      std::string(TrimSpaces(message.substr(kMyPass.size(), message.size() - kMyPass.size() - 1)));
  bool accepted = false;
  if (user.LoginState % 128 == lgPasswordWait) accepted = CheckPassword(user);
  ResolveOlderLogin(user, accepted);
  return true;
}

void TProtocol::ResolveOlderLogin(THubSocket& user, bool passwordAccepted) {
  if (user.LifeState != lsInitialised || !user.Registered) return;
  THubSocket* other = ctx_.NickList.FindUser(user.Nick);
  if (other == nullptr || other == &user) return;
  if (other->IP == user.IP || passwordAccepted) {
    // The owner is back: the old connection is most likely dead.
    other->LifeState = lsClosing;
  } else {
    RefuseNickInUse(user);
  }
}

bool TProtocol::CheckPassword(THubSocket& user) {
  const TSettings& settings = ctx_.Settings;
  const std::string& password = user.UserInfo().Password;
  if (user.Registered) {
    const std::string key = UpperString(user.Nick);
    if (password != user.Account->Pass) {
      const int failures = ++failedPasswords_[key];
      if (settings.NotifyIncorrectPass.Enabled && failures >= settings.NotifyIncorrectPass.Value) {
        ctx_.Hooks.Feed().PostAction(FormatText(Text(TLanguageKey::IncorrectPasswordNotification),
                                                user.IP, user.Nick, failures));
      }
      if (settings.AutoBanIncorrectPassword.Enabled &&
          failures >= settings.AutoBanIncorrectPassword.Count) {
        ctx_.Hooks.Login().BanIP(user, Text(TLanguageKey::IncorrectPasswordAutoBanReason),
                                 settings.AutoBanIncorrectPassword.Hours);
        user.WriteBuffer().AppendString("$BadPass|");
        Refuse(user, Text(TLanguageKey::IncorrectPasswordAutoBan));
      } else {
        Refuse(user, Text(TLanguageKey::IncorrectPassword));
      }
      return false;
    }
    failedPasswords_.erase(key);
    if (!CheckAdmission(user)) {
      Refuse(user, {});
      return false;
    }
    user.GreetingGate = ctx_.Hooks.Login().GreetingGate(user);
    if (user.IsOperator()) {
      TWriteBuffer& out = user.WriteBuffer();
      out.AppendString("$LogedIn ");
      out.AppendString(user.Nick);
      out.AppendChar('|');
    }
    SendHello(user);
    return true;
  }
  if (user.Protected) {
    std::string expected;
    if (!ctx_.Hooks.Login().ProtectedNick(user.Nick, expected) || password != expected) {
      Refuse(user, Text(TLanguageKey::IncorrectPassword));
      return false;
    }
    ctx_.Hooks.Login().ProtectedNickUsed(user.Nick);
  } else if (DefaultPasswordEnabled() && password != settings.Password.Value) {
    Refuse(user, Text(TLanguageKey::IncorrectPassword));
    return false;
  }
  SendHello(user);
  return true;
}

bool TProtocol::HandleVersion(THubSocket& user) {
  user.UserInfo().VersionReceived = true;
  return true;
}
