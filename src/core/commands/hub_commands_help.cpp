// The help command: the rows each sender's profile may use, by section.

#include "core/commands/hub_commands.h"

#include "core/hub_socket.h"
#include "platform/local_clock.h"
#include "settings/language.h"

namespace {

using R = TProfileRight;
using L = TLanguageKey;

constexpr TCommandRight One(TProfileRight right) { return OneRight(right); }
constexpr THelpRow kEnd{{}, L::HelpHelp, {}};  // closes a section

constexpr TCommandRight kAnyRedirect =
    AnyRight({R::MayRedirectChangeOnHubFull, R::MayRedirectChangeOnIncorrectISP,
              R::MayRedirectChangeOnLowShare, R::MayRedirectChangeOnHighShare,
              R::MayRedirectChangeOnRegOnly, R::MayRedirectChangeOnPassive,
              R::MayRedirectChangeOnNoTag, R::MayRedirectChangeOnHighHubs,
              R::MayRedirectChangeOnLowSlots, R::MayRedirectChangeOnHighSlots,
              R::MayRedirectChangeOnLowSlotRatio, R::MayRedirectChangeOnBaned});
constexpr TCommandRight kNickAndIP = AllRights(R::MayBanNick, R::MayBanIP);
constexpr TCommandRight kChangeReg{
    TRightRule::AddAndDelOrSetPass,
    {R::MayAccountsAdd, R::MayAccountsDel, R::MayAccountsSetPass},
    3};

// clang-format off
constexpr THelpRow kHelpRows[] = {
    {"lock <on/off>", L::HelpLock, One(R::MayLockHub)},
    {"topic [topic]", L::HelpTopic, One(R::MaySetTopic)},
    {"savesettings", L::HelpSaveAllSettings, One(R::MaySaveSettings)},
    {"setredirect <type> [addr]", L::HelpSetRedirects, kAnyRedirect},
    {"showredirects", L::HelpShowRedirects, kAnyRedirect},
    {"workpace <pace>", L::HelpWorkPace, One(R::MaySetWorkPace)},
    {"userlimit <count>", L::HelpMaxUsers, One(R::MayChangeUserLimit)},
    {"redirectall <address> [reason]", L::HelpRedirectAll, One(R::MayRedirectAll)},
    {"mainchat <on/off>", L::HelpDisableMainChat, One(R::MayDisabledMainChat)},
    {"allowmc <user>", L::HelpAllowMC, One(R::MayDisabledMainChat)},
    {"disallowmc <user>", L::HelpDisallowMC, One(R::MayDisabledMainChat)},
    kEnd,
    {"setminshare <share>", L::HelpSetMinShare, One(R::MaySetMinShare)},
    {"setmaxshare <share>", L::HelpSetMaxShare, One(R::MaySetMaxShare)},
    {"setmaxhubs <hubs>", L::HelpSetMaxHubs, One(R::MaySetMaxHubs)},
    {"setminslots <slots>", L::HelpSetMinSlots, One(R::MaySetMinSlots)},
    {"setmaxslots <slots>", L::HelpSetMaxSlots, One(R::MaySetMaxSlots)},
    {"setslotratio <ratio>", L::HelpSetSlotRatio, One(R::MaySetSlotRatio)},
    kEnd,
    {"hubinfo (hi)", L::HelpHubInfo, One(R::MayShowHubInfo)},
    {"userinfo (ui) [search] [offset]", L::HelpUserInfo, One(R::MayShowUserInfo)},
    {"ipinfo (ii) [search] [offset]", L::HelpIPInfo, One(R::MayShowIPInfo)},
    {"nickinfo (ni) [search] [offset]", L::HelpNickInfo, One(R::MayShowNickInfo)},
    {"trafficinfo (ti) <user>", L::HelpTrafficInfo, One(R::MayShowTrafficInfo)},
    {"trafficstats (ts) [type]", L::HelpTrafficStats, One(R::MayShowTrafficStats)},
    // Shown on the right the command itself checks.
    {"coreinfo (ci)", L::HelpCoreInfo, One(R::MayShowHubInfo)},
    kEnd,
    {"hideshare [on/off]", L::HelpHideShare, One(R::MayHideShare)},
    {"hideme [on/off]", L::HelpHideMe, One(R::MayHideMe)},
    kEnd,
    {"showprofiles (sp)", L::HelpAccountProfileShow, One(R::MayAccountsProfilesShow)},
    {"addreg (ar) <nick> <pass> <profile> [ippattern]", L::HelpAccountAdd, One(R::MayAccountsAdd)},
    {"delreg (dr) <nick>", L::HelpAccountDel, One(R::MayAccountsDel)},
    {"changereg (cr) <oldnick> <newnick> [newpass]", L::HelpAccountChange, kChangeReg},
    {"showreg (sr) <profile> <search> [offset]", L::HelpAccountList, One(R::MayAccountsList)},
    {"setprofile <nick> <profile>", L::HelpAccountSetProfile, One(R::MayAccountsSetProfile)},
    {"setaccountip (sai) <nick> [ip]", L::HelpAccountSetIPs, One(R::MayAccountsSetIPs)},
    {"showaccountip (shai) <user>", L::HelpAccountShowIPs, One(R::MayAccountsShowIPs)},
    {"setcomment <nick> <comment>", L::HelpAccountSetComment, One(R::MayAccountsSetComment)},
    {"setgreeting <nick> <greeting>", L::HelpAccountSetGreeting, One(R::MayAccountsSetGreeting)},
    {"setexpiredate <nick> <expiredate>", L::HelpAccountSetExpireDate, One(R::MayAccountsSetExpireDate)},
    {"setowner <nick> <owner>", L::HelpAccountSetOwner, One(R::MayAccountsSetOwner)},
    {"showpass <user>", L::HelpAccountShowPass, One(R::MayAccountsShowPass)},
    kEnd,
    {"useraddreg (uar) <nick> <pass>", L::HelpUserRegisteredAdd, One(R::MayAdminRegistered)},
    {"userdelreg (udr) <nick>", L::HelpUserRegisteredDel, One(R::MayAdminRegistered)},
    {"usershowreg (usr) <search> [offset]", L::HelpUserRegisteredList, One(R::MayAdminRegistered)},
    {"usersetpass <nick> <pass>", L::HelpUserRegisteredSetPass, One(R::MayAdminRegistered)},
    {"usershowpass <user>", L::HelpUserRegisteredShowPass, One(R::MayAdminRegistered)},
    kEnd,
    {"block <user>", L::HelpBlockUser, One(R::MayBlockUser)},
    {"unblock <user>", L::HelpUnBlockUser, One(R::MayBlockUser)},
    {"redirect <user> <address> [reason]", L::HelpRedirectUser, One(R::MayRedirect)},
    {"drop <user>", L::HelpDropUser, One(R::MayDropUser)},
    {"kick <user> [reason]", L::HelpKickUser, One(R::MayKickUser)},
    {"ban <user> [reason]", L::HelpBanUser, kNickAndIP},
    {"bannick <user> [reason]", L::HelpBanNick, One(R::MayBanNick)},
    {"banip <ip> [reason]", L::HelpBanIP, One(R::MayBanIP)},
    {"bandns <dns> [reason]", L::HelpBanDNS, One(R::MayBanDNS)},
    {"banclient <client> [reason]", L::HelpBanClient, One(R::MayBanClients)},
    {"tban <user> <time> [reason]", L::HelpTBanUser, kNickAndIP},
    {"tbannick <user> <time> [reason]", L::HelpTBanNick, One(R::MayBanNick)},
    {"tbanip <ip> <time> [reason]", L::HelpTBanIP, One(R::MayBanIP)},
    {"tbandns <dns> <time> [reason]", L::HelpTBanDNS, One(R::MayBanDNS)},
    // Shown on the rights the command itself accepts.
    {"unban <user/ip/dns>", L::HelpUnBan, AnyRight({R::MayBanNick, R::MayBanIP, R::MayBanDNS})},
    {"unbanclient <client>", L::HelpUnBanClient, One(R::MayBanClients)},
    kEnd,
    {"clearnickbans (cnb)", L::HelpClearNickBans, One(R::MayBanNick)},
    {"clearipbans (cib)", L::HelpClearIPBans, One(R::MayBanIP)},
    {"cleardnsbans (cdb)", L::HelpClearDNSBans, One(R::MayBanDNS)},
    {"clearclientbans (ccb)", L::HelpClearClientBans, One(R::MayBanClients)},
    {"shownickbans (snb) <search> [offset]", L::HelpShowNickBans, One(R::MayBanNick)},
    {"showipbans (sib) <search> [offset]", L::HelpShowIPBans, One(R::MayBanIP)},
    {"showdnsbans (sdb) <search> [offset]", L::HelpShowDNSBans, One(R::MayBanDNS)},
    {"showclientbans (scb) <search> [offset]", L::HelpShowClientBans, One(R::MayBanClients)},
    kEnd,
    {"cleartemp (ct) [limit]", L::HelpClearTempBans, One(R::MayBanTempban)},
    {"showtemp (st) [offset]", L::HelpShowTempBans, One(R::MayBanTempban)},
    kEnd,
    {"addisp <isp> [prefix]", L::HelpISPAddISP, One(R::MayISPAddISP)},
    {"delisp <isp>", L::HelpISPDelISP, One(R::MayISPDelISP)},
    {"showisp [isp]", L::HelpISPShowISPs, One(R::MayISPShowISPs)},
    {"searchisp (si) <search> [offset]", L::HelpISPSearchISPs, One(R::MayISPShowISPs)},
    {"matchisp (mi) <ip>", L::HelpISPMatchISP, One(R::MayISPShowISPs)},
    {"ispminshare <isp> <share>", L::HelpISPSetMinShare, One(R::MayISPSetMinShare)},
    {"ispmaxshare <isp> <share>", L::HelpISPSetMaxShare, One(R::MayISPSetMaxShare)},
    {"ispmaxhubs <isp> <hubs>", L::HelpISPSetMaxHubs, One(R::MayISPSetMaxHubs)},
    {"ispminslots <isp> <slots>", L::HelpISPSetMinSlots, One(R::MayISPSetMinSlots)},
    {"ispmaxslots <isp> <slots>", L::HelpISPSetMaxSlots, One(R::MayISPSetMaxSlots)},
    {"ispslotratio <isp> <ratio>", L::HelpISPSetSlotRatio, One(R::MayISPSetSlotRatio)},
    {"ispiplist <isp> [offset]", L::HelpISPShowIPsOnISP, One(R::MayISPShowIPsOnISP)},
    {"addip (ai) <ip> <isp>", L::HelpISPAddIP, One(R::MayISPAddIP)},
    {"delip (di) <ip> <isp>", L::HelpISPDelIP, One(R::MayISPDelIP)},
    kEnd,
    {"mute <user>", L::HelpMute, One(R::MayUseMuteUser)},
    {"unmute <user>", L::HelpUnMute, One(R::MayUseMuteUser)},
    {"kennylize <user>", L::HelpKennylize, One(R::MayUseKennylizeUser)},
    {"unkennylize <user>", L::HelpUnKennylize, One(R::MayUseKennylizeUser)},
    {"lunarize <user>", L::HelpLunarize, One(R::MayUseLunarizeUser)},
    {"unlunarize <user>", L::HelpUnLunarize, One(R::MayUseLunarizeUser)},
    {"say <nick> <message>", L::HelpSay, One(R::MayUseSay)},
    {"mc <message>", L::HelpMC, One(R::MayUseMC)},
    {"warn <user> [reason]", L::HelpWarn, One(R::MayUseWarn)},
    {"inform <user> <message>", L::HelpInform, One(R::MayUseInform)},
    {"pm <message>", L::HelpPM, One(R::MayUsePM)},
    {"pmprofile <profile> <message>", L::HelpPMProfile, One(R::MayUsePMProfile)},
    {"opm <message>", L::HelpOPM, One(R::MayUseOPM)},
    kEnd,
    {"listtextcommand (listcmd) <search> [offset]", L::HelpListTextCommand, One(R::MayAdminTextFiles)},
    {"textcommand <name> <on/off>", L::HelpEnableTextCommand, One(R::MayAdminTextFiles)},
    {"settextcommand (setcmd) <name> <content>", L::HelpSetTextCommand, One(R::MayAdminTextFiles)},
    {"showtextcommand (showcmd) <name>", L::HelpShowTextCommand, One(R::MayAdminTextFiles)},
    {"addchatroom <name>", L::HelpAddChatRoom, One(R::MayAdminChatRooms)},
    {"delchatroom <name>", L::HelpDeleteChatRoom, One(R::MayAdminChatRooms)},
    kEnd,
};
// clang-format on

}  // namespace

std::span<const THelpRow> HubHelpRows() { return kHelpRows; }

void THubCommands::HandleHelp() {
  const TProfile& rights = session_.Sender().Rights();
  reply_.AppendString("\r\n ");
  reply_.AppendString(session_.Template(L::HelpHeader));
  AddHelpRow("help (h)", session_.Template(L::HelpHelp), true);
  EndSection();
  for (const THelpRow& row : kHelpRows) {
    if (row.Usage.empty()) {
      EndSection();
      continue;
    }
    if (!RightHolds(row.Right, rights)) continue;
    std::string text = session_.Template(row.Text);
    if (row.Text == L::HelpAccountSetExpireDate)
      text = FormatText(text, FormatDate(ctx_.Today ? ctx_.Today() : NowLocal()));
    AddHelpRow(row.Usage, text, true);
  }
  session_.ReplyBuffer(reply_);
  reply_.Clear(true);
  rows_.Clear(true);
}
