// The operator commands' names, rights and least argument counts, in the
// order they are registered.

#include "core/commands/hub_command_table.h"

#include "core/commands/hub_commands.h"

namespace {

using R = TProfileRight;
using K = TCommandKind;

constexpr TCommandRight Free() { return FreeRight(); }
constexpr TCommandRight One(TProfileRight right) { return OneRight(right); }
constexpr TCommandRight All(TProfileRight a, TProfileRight b) { return AllRights(a, b); }
constexpr TCommandRight Any(std::initializer_list<TProfileRight> rights) {
  return AnyRight(rights);
}
// A new nick needs both account rights, a new password the password right.
constexpr TCommandRight ChangeRegRight() {
  return {TRightRule::AddAndDelOrSetPass,
          {R::MayAccountsAdd, R::MayAccountsDel, R::MayAccountsSetPass},
          3};
}

constexpr TCommandRight kAnyRedirectRight =
    AnyRight({R::MayRedirectChangeOnHubFull, R::MayRedirectChangeOnIncorrectISP,
              R::MayRedirectChangeOnLowShare, R::MayRedirectChangeOnHighShare,
              R::MayRedirectChangeOnRegOnly, R::MayRedirectChangeOnPassive,
              R::MayRedirectChangeOnNoTag, R::MayRedirectChangeOnHighHubs,
              R::MayRedirectChangeOnLowSlots, R::MayRedirectChangeOnHighSlots,
              R::MayRedirectChangeOnLowSlotRatio, R::MayRedirectChangeOnBaned});

}  // namespace

bool RightHolds(const TCommandRight& right, const TProfile& profile) {
  const auto has = [&](int i) { return profile.Has(right.Rights[static_cast<std::size_t>(i)]); };
  switch (right.Rule) {
    case TRightRule::None:
      return true;
    case TRightRule::One:
      return has(0);
    case TRightRule::All:
      for (int i = 0; i < right.Count; ++i) {
        if (!has(i)) return false;
      }
      return true;
    case TRightRule::Any:
      for (int i = 0; i < right.Count; ++i) {
        if (has(i)) return true;
      }
      return false;
    case TRightRule::AddAndDelOrSetPass:
      return (has(0) && has(1)) || has(2);
  }
  return false;
}

std::span<const THubCommandRow> HubCommandRows() {
  // clang-format off
  static const THubCommandRow rows[] = {
    {{"\xA7", "!", "#"}, &THubCommands::HandlePrefixOnly, Free(), K::Free, 0, 0},
    {{"h", "help"}, &THubCommands::HandleHelp, Free(), K::Free, 0, 0},
    {{"lock"}, &THubCommands::HandleLock, One(R::MayLockHub), K::OnOff, 1, 0},
    {{"topic", "settopic"}, &THubCommands::HandleTopic, One(R::MaySetTopic), K::Level, 0, 0},
    {{"savesettings"}, &THubCommands::HandleSaveSettings, One(R::MaySaveSettings), K::OnOff, 0, 0},
    {{"setredirect"}, &THubCommands::HandleSetRedirect, kAnyRedirectRight, K::OnOff, 0, 0},
    {{"showredirects"}, &THubCommands::HandleShowRedirects, kAnyRedirectRight, K::OnOff, 0, 0},
    {{"setworkpace", "workpace"}, &THubCommands::HandleSetWorkPace, One(R::MaySetWorkPace), K::OnOff, 0, 0},
    {{"setminshare"}, &THubCommands::HandleSetMinShare, One(R::MaySetMinShare), K::OnOff, 1, 0},
    {{"setmaxshare"}, &THubCommands::HandleSetMaxShare, One(R::MaySetMaxShare), K::OnOff, 1, 0},
    {{"setmaxhubs", "sethubs"}, &THubCommands::HandleSetMaxHubs, One(R::MaySetMaxHubs), K::OnOff, 1, 0},
    {{"setminslots"}, &THubCommands::HandleSetMinSlots, One(R::MaySetMinSlots), K::OnOff, 1, 0},
    {{"setmaxslots"}, &THubCommands::HandleSetMaxSlots, One(R::MaySetMaxSlots), K::OnOff, 1, 0},
    {{"setslotratio"}, &THubCommands::HandleSetSlotRatio, One(R::MaySetSlotRatio), K::OnOff, 1, 0},
    {{"setmaxusers", "maxusers", "userlimit", "setuserlimit"}, &THubCommands::HandleSetUserLimit, One(R::MayChangeUserLimit), K::OnOff, 1, 0},
    {{"redirectall"}, &THubCommands::HandleRedirectAll, One(R::MayRedirectAll), K::Level, 1, 0},
    {{"mainchat"}, &THubCommands::HandleLockMainChat, One(R::MayDisabledMainChat), K::OnOff, 1, 0},
    {{"allowmc"}, &THubCommands::HandleAllowMainChat, One(R::MayDisabledMainChat), K::OnOff, 1, 0},
    {{"disallowmc"}, &THubCommands::HandleDisallowMainChat, One(R::MayDisabledMainChat), K::OnOff, 1, 0},
    {{"ui", "userinfo"}, &THubCommands::HandleUserInfo, One(R::MayShowUserInfo), K::Level, 0, 0},
    {{"ii", "ipinfo"}, &THubCommands::HandleIPInfo, One(R::MayShowIPInfo), K::OnOff, 0, 0},
    {{"ni", "nickinfo"}, &THubCommands::HandleNickInfo, One(R::MayShowNickInfo), K::OnOff, 0, 0},
    {{"hi", "stats", "hubinfo"}, &THubCommands::HandleHubInfo, One(R::MayShowHubInfo), K::OnOff, 0, 0},
    {{"ti", "trafficinfo"}, &THubCommands::HandleTrafficInfo, One(R::MayShowTrafficInfo), K::Level, 1, 0},
    {{"ts", "trafficstats"}, &THubCommands::HandleTrafficStats, One(R::MayShowTrafficStats), K::OnOff, 0, 0},
    {{"coreinfo", "corestats", "ci"}, &THubCommands::HandleCoreInfo, One(R::MayShowHubInfo), K::OnOff, 0, 0},
    {{"hideshare", "hs"}, &THubCommands::HandleHideShare, One(R::MayHideShare), K::OnOff, 0, 0},
    {{"hideme"}, &THubCommands::HandleHideMe, One(R::MayHideMe), K::OnOff, 0, 0},
    {{"sp", "showprofiles"}, &THubCommands::HandleShowProfiles, One(R::MayAccountsProfilesShow), K::Level, 0, 0},
    {{"ar", "addreg"}, &THubCommands::HandleAddAccount, One(R::MayAccountsAdd), K::Level, 3, 2},
    {{"dr", "delreg"}, &THubCommands::HandleDeleteAccount, One(R::MayAccountsDel), K::Level, 1, 0},
    {{"cr", "changereg"}, &THubCommands::HandleChangeAccount, ChangeRegRight(), K::Level, 2, 3},
    {{"showreg", "showregs", "sr"}, &THubCommands::HandleShowAccounts, One(R::MayAccountsList), K::Level, 1, 0},
    {{"setaccountprofile", "setprofile"}, &THubCommands::HandleSetAccountProfile, One(R::MayAccountsSetProfile), K::Level, 2, 0},
    {{"setaccountip", "sai"}, &THubCommands::HandleSetAccountIP, One(R::MayAccountsSetIPs), K::Level, 1, 0},
    {{"showaccountip", "shai"}, &THubCommands::HandleShowAccountIP, One(R::MayAccountsShowIPs), K::Level, 1, 0},
    {{"setcomment", "setaccountcomment"}, &THubCommands::HandleSetAccountComment, One(R::MayAccountsSetComment), K::Level, 1, 0},
    {{"setgreeting", "setaccountgreeting"}, &THubCommands::HandleSetAccountGreeting, One(R::MayAccountsSetGreeting), K::Level, 1, 0},
    {{"setexpiredate", "expiredate", "setaccountexpires"}, &THubCommands::HandleSetAccountExpireDate, One(R::MayAccountsSetExpireDate), K::Level, 2, 0},
    {{"setowner", "owner", "newowner"}, &THubCommands::HandleSetAccountOwner, One(R::MayAccountsSetOwner), K::Level, 1, 0},
    {{"showpass", "showpassword"}, &THubCommands::HandleShowAccountPass, One(R::MayAccountsShowPass), K::Level, 1, 0},
    {{"setpass", "setpassword"}, &THubCommands::HandleSetAccountPass, One(R::MayAccountsSetPass), K::Level, 2, 2},
    {{"useraddreg", "uaddreg", "uar"}, &THubCommands::HandleUserAddReg, One(R::MayAdminRegistered), K::OnOff, 2, 2},
    {{"userdelreg", "udelreg", "udr"}, &THubCommands::HandleUserDelReg, One(R::MayAdminRegistered), K::OnOff, 1, 0},
    {{"usershowreg", "ushowreg", "usr"}, &THubCommands::HandleUserShowReg, One(R::MayAdminRegistered), K::OnOff, 0, 0},
    {{"usershowpass", "ushowpass", "usershowpassword"}, &THubCommands::HandleUserShowPass, One(R::MayAdminRegistered), K::OnOff, 1, 0},
    {{"usersetpass", "usetpass", "usersetpassword"}, &THubCommands::HandleUserSetPass, One(R::MayAdminRegistered), K::OnOff, 2, 2},
    {{"block"}, &THubCommands::HandleBlock, One(R::MayBlockUser), K::Level, 1, 0},
    {{"unblock"}, &THubCommands::HandleUnBlock, One(R::MayBlockUser), K::Level, 1, 0},
    {{"redirect"}, &THubCommands::HandleRedirect, One(R::MayRedirect), K::Level, 2, 0},
    {{"drop"}, &THubCommands::HandleDrop, One(R::MayDropUser), K::Level, 1, 0},
    {{"kick"}, &THubCommands::HandleKick, One(R::MayKickUser), K::Level, 1, 0},
    {{"ban"}, &THubCommands::HandleBan, All(R::MayBanNick, R::MayBanIP), K::OnOff, 1, 0},
    {{"bannick", "nickban", "ipban"}, &THubCommands::HandleBanNick, One(R::MayBanNick), K::Level, 1, 0},
    {{"banip"}, &THubCommands::HandleBanIP, One(R::MayBanIP), K::OnOff, 1, 0},
    {{"bandns", "dnsban"}, &THubCommands::HandleBanDNS, One(R::MayBanDNS), K::OnOff, 1, 0},
    {{"banclient", "clientban"}, &THubCommands::HandleBanClient, One(R::MayBanClients), K::OnOff, 1, 0},
    {{"tban"}, &THubCommands::HandleTimedBan, All(R::MayBanNick, R::MayBanIP), K::OnOff, 2, 0},
    {{"tbannick", "nicktban"}, &THubCommands::HandleTimedBanNick, One(R::MayBanNick), K::Level, 2, 0},
    {{"tbanip", "iptban"}, &THubCommands::HandleTimedBanIP, One(R::MayBanIP), K::OnOff, 2, 0},
    {{"tbandns", "dnstban"}, &THubCommands::HandleTimedBanDNS, One(R::MayBanDNS), K::OnOff, 2, 0},
    {{"unban"}, &THubCommands::HandleUnBan, Any({R::MayBanNick, R::MayBanIP, R::MayBanDNS}), K::OnOff, 1, 0},
    {{"unbanclient", "clientunban"}, &THubCommands::HandleUnBanClient, One(R::MayBanClients), K::OnOff, 1, 0},
    {{"clearnickbans", "cnb"}, &THubCommands::HandleClearNickBans, One(R::MayBanNick), K::Level, 0, 0},
    {{"clearipbans", "cib"}, &THubCommands::HandleClearIPBans, One(R::MayBanIP), K::OnOff, 0, 0},
    {{"cleardnsbans", "cdb"}, &THubCommands::HandleClearDNSBans, One(R::MayBanDNS), K::OnOff, 0, 0},
    {{"clearclientbans", "ccb"}, &THubCommands::HandleClearClientBans, One(R::MayBanClients), K::OnOff, 0, 0},
    {{"shownickbans", "snb"}, &THubCommands::HandleShowNickBans, One(R::MayBanNick), K::Level, 0, 0},
    {{"showipbans", "sib"}, &THubCommands::HandleShowIPBans, One(R::MayBanIP), K::OnOff, 0, 0},
    {{"showdnsbans", "sdb"}, &THubCommands::HandleShowDNSBans, One(R::MayBanDNS), K::OnOff, 0, 0},
    {{"showclientbans", "scb"}, &THubCommands::HandleShowClientBans, One(R::MayBanClients), K::OnOff, 0, 0},
    {{"cleartempbans", "cleartemp", "ct"}, &THubCommands::HandleClearTempBans, One(R::MayBanTempban), K::OnOff, 0, 0},
    {{"showtempbans", "showtemp", "st"}, &THubCommands::HandleShowTempBans, One(R::MayBanTempban), K::OnOff, 0, 0},
    {{"addisp"}, &THubCommands::HandleAddISP, One(R::MayISPAddISP), K::OnOff, 1, 0},
    {{"delisp"}, &THubCommands::HandleDeleteISP, One(R::MayISPDelISP), K::OnOff, 1, 0},
    {{"showisp"}, &THubCommands::HandleShowISP, One(R::MayISPShowISPs), K::OnOff, 0, 0},
    {{"searchisp", "sisp", "si"}, &THubCommands::HandleSearchISP, One(R::MayISPShowISPs), K::OnOff, 0, 0},
    {{"matchisp", "misp", "mi"}, &THubCommands::HandleMatchISP, One(R::MayISPShowISPs), K::OnOff, 1, 0},
    {{"ispminshare"}, &THubCommands::HandleISPMinShare, One(R::MayISPSetMinShare), K::OnOff, 2, 0},
    {{"ispmaxshare"}, &THubCommands::HandleISPMaxShare, One(R::MayISPSetMaxShare), K::OnOff, 2, 0},
    {{"ispmaxhubs"}, &THubCommands::HandleISPMaxHubs, One(R::MayISPSetMaxHubs), K::OnOff, 2, 0},
    {{"ispminslots"}, &THubCommands::HandleISPMinSlots, One(R::MayISPSetMinSlots), K::OnOff, 2, 0},
    {{"ispmaxslots"}, &THubCommands::HandleISPMaxSlots, One(R::MayISPSetMaxSlots), K::OnOff, 2, 0},
    {{"ispslotratio"}, &THubCommands::HandleISPSlotRatio, One(R::MayISPSetSlotRatio), K::OnOff, 2, 0},
    {{"ispiplist"}, &THubCommands::HandleISPIPList, One(R::MayISPShowIPsOnISP), K::OnOff, 1, 0},
    {{"addip", "ai"}, &THubCommands::HandleAddIP, One(R::MayISPAddIP), K::OnOff, 2, 0},
    {{"delip", "di"}, &THubCommands::HandleDeleteIP, One(R::MayISPDelIP), K::OnOff, 1, 0},
    {{"mute"}, &THubCommands::HandleMute, One(R::MayUseMuteUser), K::Level, 1, 0},
    {{"unmute"}, &THubCommands::HandleUnMute, One(R::MayUseMuteUser), K::Level, 1, 0},
    {{"kennylize"}, &THubCommands::HandleKennylize, One(R::MayUseKennylizeUser), K::Level, 1, 0},
    {{"unkennylize"}, &THubCommands::HandleUnKennylize, One(R::MayUseKennylizeUser), K::Level, 1, 0},
    {{"lunarize"}, &THubCommands::HandleLunarize, One(R::MayUseLunarizeUser), K::Level, 1, 0},
    {{"unlunarize"}, &THubCommands::HandleUnLunarize, One(R::MayUseLunarizeUser), K::Level, 1, 0},
    {{"say"}, &THubCommands::HandleSay, One(R::MayUseSay), K::Level, 2, 0},
    {{"mc"}, &THubCommands::HandleMainChat, One(R::MayUseMC), K::OnOff, 1, 0},
    {{"warn"}, &THubCommands::HandleWarn, One(R::MayUseWarn), K::Level, 1, 0},
    {{"inform"}, &THubCommands::HandleInform, One(R::MayUseInform), K::OnOff, 2, 0},
    {{"pm"}, &THubCommands::HandlePMAll, One(R::MayUsePM), K::OnOff, 1, 0},
    {{"pmprofile"}, &THubCommands::HandlePMProfile, One(R::MayUsePMProfile), K::Level, 2, 0},
    {{"opm"}, &THubCommands::HandleOperatorPM, One(R::MayUseOPM), K::OnOff, 1, 0},
    {{"listtextcommand", "listtextcommands", "listcmd"}, &THubCommands::HandleListTextCommands, One(R::MayAdminTextFiles), K::Level, 0, 0},
    {{"textcommand", "enablecmd", "enabletextcommand"}, &THubCommands::HandleEnableTextCommand, One(R::MayAdminTextFiles), K::Level, 2, 0},
    {{"setcmd", "settextcommand"}, &THubCommands::HandleSetTextCommand, One(R::MayAdminTextFiles), K::Level, 1, 0},
    {{"showcmd", "showtextcommand"}, &THubCommands::HandleShowTextCommand, One(R::MayAdminTextFiles), K::Level, 1, 0},
    {{"addchatroom", "createchatroom"}, &THubCommands::HandleAddChatRoom, One(R::MayAdminChatRooms), K::OnOff, 1, 0},
    {{"deletechatroom", "delchatroom"}, &THubCommands::HandleDeleteChatRoom, One(R::MayAdminChatRooms), K::OnOff, 1, 0},
  };
  // clang-format on
  return rows;
}
