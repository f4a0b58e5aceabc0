// The operator command table, the dispatcher's order (echo, checks,
// replies, errors), help by rights and the prefix-only nag.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/buffer_text.h"
#include "core/commands/hub_commands.h"
#include "core/write_buffer.h"
#include "utils/string_list.h"

namespace {

// The command table as written for operators: names, the right (plain
// words), the right's kind and the least number of arguments.
struct TExpectedRow {
  std::string_view Names;  // space-separated
  std::string_view Right;
  std::string_view Kind;
  int Args;
};

// clang-format off
constexpr TExpectedRow kExpectedRows[] = {
    {"\xA7 ! #", "none", "-", 0},
    {"h help", "none", "-", 0},
    {"lock", "MayLockHub", "on/off", 1},
    {"topic settopic", "MaySetTopic", "level", 0},
    {"savesettings", "MaySaveSettings", "on/off", 0},
    {"setredirect", "any of the twelve MayRedirectChangeOn* rights", "on/off", 0},
    {"showredirects", "any of the twelve MayRedirectChangeOn* rights", "on/off", 0},
    {"setworkpace workpace", "MaySetWorkPace", "on/off", 0},
    {"setminshare", "MaySetMinShare", "on/off", 1},
    {"setmaxshare", "MaySetMaxShare", "on/off", 1},
    {"setmaxhubs sethubs", "MaySetMaxHubs", "on/off", 1},
    {"setminslots", "MaySetMinSlots", "on/off", 1},
    {"setmaxslots", "MaySetMaxSlots", "on/off", 1},
    {"setslotratio", "MaySetSlotRatio", "on/off", 1},
    {"setmaxusers maxusers userlimit setuserlimit", "MayChangeUserLimit", "on/off", 1},
    {"redirectall", "MayRedirectAll", "level", 1},
    {"mainchat", "MayDisabledMainChat", "on/off", 1},
    {"allowmc", "MayDisabledMainChat", "on/off", 1},
    {"disallowmc", "MayDisabledMainChat", "on/off", 1},
    {"ui userinfo", "MayShowUserInfo", "level", 0},
    {"ii ipinfo", "MayShowIPInfo", "on/off", 0},
    {"ni nickinfo", "MayShowNickInfo", "on/off", 0},
    {"hi stats hubinfo", "MayShowHubInfo", "on/off", 0},
    {"ti trafficinfo", "MayShowTrafficInfo", "level", 1},
    {"ts trafficstats", "MayShowTrafficStats", "on/off", 0},
    {"coreinfo corestats ci", "MayShowHubInfo", "on/off", 0},
    {"hideshare hs", "MayHideShare", "on/off", 0},
    {"hideme", "MayHideMe", "on/off", 0},
    {"sp showprofiles", "MayAccountsProfilesShow", "level", 0},
    {"ar addreg", "MayAccountsAdd", "level", 3},
    {"dr delreg", "MayAccountsDel", "level", 1},
    {"cr changereg", "MayAccountsAdd and MayAccountsDel (new nick), MayAccountsSetPass (new password)", "level", 2},
    {"showreg showregs sr", "MayAccountsList", "level", 1},
    {"setaccountprofile setprofile", "MayAccountsSetProfile", "level", 2},
    {"setaccountip sai", "MayAccountsSetIPs", "level", 1},
    {"showaccountip shai", "MayAccountsShowIPs", "level", 1},
    {"setcomment setaccountcomment", "MayAccountsSetComment", "level", 1},
    {"setgreeting setaccountgreeting", "MayAccountsSetGreeting", "level", 1},
    {"setexpiredate expiredate setaccountexpires", "MayAccountsSetExpireDate", "level", 2},
    {"setowner owner newowner", "MayAccountsSetOwner", "level", 1},
    {"showpass showpassword", "MayAccountsShowPass", "level", 1},
    {"setpass setpassword", "MayAccountsSetPass", "level", 2},
    {"useraddreg uaddreg uar", "MayAdminRegistered", "on/off", 2},
    {"userdelreg udelreg udr", "MayAdminRegistered", "on/off", 1},
    {"usershowreg ushowreg usr", "MayAdminRegistered", "on/off", 0},
    {"usershowpass ushowpass usershowpassword", "MayAdminRegistered", "on/off", 1},
    {"usersetpass usetpass usersetpassword", "MayAdminRegistered", "on/off", 2},
    {"block", "MayBlockUser", "level", 1},
    {"unblock", "MayBlockUser", "level", 1},
    {"redirect", "MayRedirect", "level", 2},
    {"drop", "MayDropUser", "level", 1},
    {"kick", "MayKickUser", "level", 1},
    {"ban", "MayBanNick and MayBanIP", "on/off", 1},
    {"bannick nickban ipban", "MayBanNick", "level", 1},
    {"banip", "MayBanIP", "on/off", 1},
    {"bandns dnsban", "MayBanDNS", "on/off", 1},
    {"banclient clientban", "MayBanClients", "on/off", 1},
    {"tban", "MayBanNick and MayBanIP", "on/off", 2},
    {"tbannick nicktban", "MayBanNick", "level", 2},
    {"tbanip iptban", "MayBanIP", "on/off", 2},
    {"tbandns dnstban", "MayBanDNS", "on/off", 2},
    {"unban", "any of MayBanNick, MayBanIP, MayBanDNS", "on/off", 1},
    {"unbanclient clientunban", "MayBanClients", "on/off", 1},
    {"clearnickbans cnb", "MayBanNick", "level", 0},
    {"clearipbans cib", "MayBanIP", "on/off", 0},
    {"cleardnsbans cdb", "MayBanDNS", "on/off", 0},
    {"clearclientbans ccb", "MayBanClients", "on/off", 0},
    {"shownickbans snb", "MayBanNick", "level", 0},
    {"showipbans sib", "MayBanIP", "on/off", 0},
    {"showdnsbans sdb", "MayBanDNS", "on/off", 0},
    {"showclientbans scb", "MayBanClients", "on/off", 0},
    {"cleartempbans cleartemp ct", "MayBanTempban", "on/off", 0},
    {"showtempbans showtemp st", "MayBanTempban", "on/off", 0},
    {"addisp", "MayISPAddISP", "on/off", 1},
    {"delisp", "MayISPDelISP", "on/off", 1},
    {"showisp", "MayISPShowISPs", "on/off", 0},
    {"searchisp sisp si", "MayISPShowISPs", "on/off", 0},
    {"matchisp misp mi", "MayISPShowISPs", "on/off", 1},
    {"ispminshare", "MayISPSetMinShare", "on/off", 2},
    {"ispmaxshare", "MayISPSetMaxShare", "on/off", 2},
    {"ispmaxhubs", "MayISPSetMaxHubs", "on/off", 2},
    {"ispminslots", "MayISPSetMinSlots", "on/off", 2},
    {"ispmaxslots", "MayISPSetMaxSlots", "on/off", 2},
    {"ispslotratio", "MayISPSetSlotRatio", "on/off", 2},
    {"ispiplist", "MayISPShowIPsOnISP", "on/off", 1},
    {"addip ai", "MayISPAddIP", "on/off", 2},
    {"delip di", "MayISPDelIP", "on/off", 1},
    {"mute", "MayUseMuteUser", "level", 1},
    {"unmute", "MayUseMuteUser", "level", 1},
    {"kennylize", "MayUseKennylizeUser", "level", 1},
    {"unkennylize", "MayUseKennylizeUser", "level", 1},
    {"lunarize", "MayUseLunarizeUser", "level", 1},
    {"unlunarize", "MayUseLunarizeUser", "level", 1},
    {"say", "MayUseSay", "level", 2},
    {"mc", "MayUseMC", "on/off", 1},
    {"warn", "MayUseWarn", "level", 1},
    {"inform", "MayUseInform", "on/off", 2},
    {"pm", "MayUsePM", "on/off", 1},
    {"pmprofile", "MayUsePMProfile", "level", 2},
    {"opm", "MayUseOPM", "on/off", 1},
    {"listtextcommand listtextcommands listcmd", "MayAdminTextFiles", "level", 0},
    {"textcommand enablecmd enabletextcommand", "MayAdminTextFiles", "level", 2},
    {"setcmd settextcommand", "MayAdminTextFiles", "level", 1},
    {"showcmd showtextcommand", "MayAdminTextFiles", "level", 1},
    {"addchatroom createchatroom", "MayAdminChatRooms", "on/off", 1},
    {"deletechatroom delchatroom", "MayAdminChatRooms", "on/off", 1},
};
// clang-format on

std::vector<std::string> Words(std::string_view text, char separator = ' ') {
  std::vector<std::string> words;
  std::string word;
  std::istringstream in{std::string(text)};
  while (std::getline(in, word, separator)) {
    while (!word.empty() && word.front() == ' ') word.erase(0, 1);
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

TProfileRight RightNamed(std::string_view name) {
  for (const TProfileRightInfo& info : ProfileRights()) {
    if (info.Name == name) return info.Right;
  }
  ADD_FAILURE() << "no right " << name;
  return TProfileRight::IsOperator;
}

// The right text as alternatives, each a set of rights that together pass.
std::vector<std::vector<TProfileRight>> Alternatives(std::string_view text) {
  if (text == "none") return {};
  if (text.starts_with("any of the twelve")) {
    std::vector<std::vector<TProfileRight>> all;
    for (const TProfileRightInfo& info : ProfileRights()) {
      if (info.Name.starts_with("MayRedirectChangeOn")) all.push_back({info.Right});
    }
    EXPECT_EQ(all.size(), 12u);
    return all;
  }
  if (text.starts_with("any of ")) {
    std::vector<std::vector<TProfileRight>> any;
    for (const std::string& name : Words(text.substr(7), ',')) any.push_back({RightNamed(name)});
    return any;
  }
  if (text.starts_with("MayAccountsAdd and MayAccountsDel (new nick)")) {
    return {{TProfileRight::MayAccountsAdd, TProfileRight::MayAccountsDel},
            {TProfileRight::MayAccountsSetPass}};
  }
  const std::size_t gap = text.find(" and ");
  if (gap != std::string_view::npos)
    return {{RightNamed(text.substr(0, gap)), RightNamed(text.substr(gap + 5))}};
  return {{RightNamed(text)}};
}

TProfile ProfileWith(const std::vector<TProfileRight>& rights) {
  TProfile profile;
  for (const TProfileRight right : rights) profile.SetRight(right, 1);
  return profile;
}

}  // namespace

// The operator commands over the fixture's collaborators, run the way the
// delegator runs them: the words after the prefix, at most six.
class HubCommandsTest : public TCommandsFixture {
 protected:
  bool Run(THubSocket& user, std::string_view text, bool pm = false, bool reportUnknown = true) {
    return Dispatch(commands_, tokens_, message_, user, text, pm, reportUnknown);
  }

  TStringList tokens_{16};
  THubCommands commands_{ctx_, tokens_};
  std::string message_;
};

TEST_F(HubCommandsTest, TableHoldsEveryNameOnItsHandlerWithItsRightAndArguments) {
  std::unique_ptr<THubCommands> commands;
  ASSERT_NO_THROW(commands = std::make_unique<THubCommands>(ctx_, tokens_));

  EXPECT_EQ(HubCommandRows().size(), 106u);
  EXPECT_EQ(commands->CommandCount(), 186);
  ASSERT_EQ(std::size(kExpectedRows), 106u);
  std::set<const THubCommandRow*> handlers;
  for (const TExpectedRow& expected : kExpectedRows) {
    const std::vector<std::string> names = Words(expected.Names);
    const THubCommandRow* row = commands->FindCommand(names.front());
    ASSERT_NE(row, nullptr) << names.front();
    handlers.insert(row);
    for (const std::string& name : names) EXPECT_EQ(commands->FindCommand(name), row) << name;
    EXPECT_EQ(row->MinArgs, expected.Args) << names.front();

    const auto alternatives = Alternatives(expected.Right);
    EXPECT_EQ(RightHolds(row->Right, TProfile()), alternatives.empty()) << names.front();
    for (const auto& rights : alternatives) {
      EXPECT_TRUE(RightHolds(row->Right, ProfileWith(rights))) << names.front();
      // Each right of a pair is not enough alone.
      if (rights.size() > 1) {
        for (const TProfileRight right : rights)
          EXPECT_FALSE(RightHolds(row->Right, ProfileWith({right}))) << names.front();
      }
    }
    const TCommandKind kind = expected.Kind == "on/off"  ? TCommandKind::OnOff
                              : expected.Kind == "level" ? TCommandKind::Level
                                                         : TCommandKind::Free;
    EXPECT_EQ(row->Kind, kind) << names.front();
    if (alternatives.size() == 1 && alternatives.front().size() == 1) {
      const TRightKind own = ProfileRightInfo(alternatives.front().front()).Kind;
      EXPECT_EQ(own == TRightKind::Level, kind == TCommandKind::Level) << names.front();
    }
  }
  EXPECT_EQ(handlers.size(), 106u);

  // Names compare through the Windows-1252 case tables.
  EXPECT_EQ(commands->FindCommand("HeLP"), commands->FindCommand("help"));
  EXPECT_EQ(commands->FindCommand("KICK"), commands->FindCommand("kick"));
  EXPECT_NE(commands->FindCommand("\xA7"), nullptr);
  EXPECT_EQ(commands->FindCommand("h\xC9lp"), nullptr);  // É is no e
  EXPECT_EQ(commands->FindCommand("help "), nullptr);
  EXPECT_EQ(commands->FindCommand(""), nullptr);
}

namespace {

// A help row as the bot writes it: the usage padded to the sixth tab stop.
std::string HelpRow(char prefix, std::string_view usage, std::string_view text) {
  TWriteBuffer row(1);
  row.AppendString("\r\n");
  AppendTabPadded(std::string(" ") + prefix + std::string(usage), row, 6);
  row.AppendString("-\t");
  row.AppendString(text);
  return row.GetString();
}

int Count(std::string_view text, std::string_view what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace

TEST_F(HubCommandsTest, RepliesComeByMainChatOrPrivateMessageWithThePrefixTyped) {
  THubSocket& oper = Online("oper1", MakeProfile("Op", {TProfileRight::IsOperator,
                                                        TProfileRight::MayUseHubCommands,
                                                        TProfileRight::MayKickUser},
                                                 5, paSame));
  struct TCase {
    const char* Name;
    std::string_view Line;
    bool PM;
    bool ForceToPM;
    bool ShowToSelf;
    std::string Expected;
  };
  const std::string wrongBang = "Wrong number of parameters. Type !help for help";
  const TCase cases[] = {
      {"main chat", "!kick", false, false, true,
       Bot("[command] !kick") + Bot(wrongBang)},
      {"private message", ".kick", true, false, true,
       "$To: oper1 From: HubBot $<HubBot> Wrong number of parameters. Type .help for help|"},
      {"forced to private", "!kick", false, true, true,
       Bot("[command] !kick") + BotTo(oper, wrongBang)},
      {"no self line", "!kick", false, false, false, Bot(wrongBang)},
      {"unknown", "#nosuch a$b", false, false, true,
       Bot("[command] #nosuch a$b") + Bot("Unknown command! type #help for help!")},
      {"unknown by PM", "?nosuch", true, false, true,
       BotTo(oper, "Unknown command! type ?help for help!")},
      {"forbidden", "\xA7lock on", false, false, true,
       Bot("[command] \xA7lock on") + Bot("You don't have access to this command")},
  };
  for (const TCase& c : cases) {
    settings_.HubCommandsForceToPM = c.ForceToPM;
    settings_.HubCommandsShowCommandToSelf = c.ShowToSelf;
    EXPECT_TRUE(Run(oper, c.Line, c.PM)) << c.Name;
    EXPECT_EQ(Out(oper), c.Expected) << c.Name;
  }
  // A name only another source may know is left alone entirely.
  EXPECT_FALSE(Run(oper, "!nosuch", false, false));
  EXPECT_EQ(Out(oper), "");
}

TEST_F(HubCommandsTest, EchoReachesWhomTheSettingNamesOnlyForMainChat) {
  auto commander = MakeProfile("Commander", {TProfileRight::MayUseHubCommands});
  auto op = MakeProfile("Op", {TProfileRight::IsOperator, TProfileRight::MayUseHubCommands});
  THubSocket& plain = Online("plain", commander);
  THubSocket& oper = Online("oper", op);
  THubSocket& op2 = Online("op2", op);
  THubSocket& bob = Online("bob");
  struct TCase {
    TCommandVisibility Visibility;
    bool SenderIsOperator;
    int Sender, Op2, Bob;  // echo copies each receives
  };
  using V = TCommandVisibility;
  const TCase cases[] = {
      {V::Nobody, false, 0, 0, 0},           {V::Nobody, true, 0, 0, 0},
      {V::Writer, false, 1, 0, 0},           {V::Writer, true, 1, 0, 0},
      {V::Operators, false, 0, 1, 0},        {V::Operators, true, 1, 1, 0},
      {V::OperatorsAndWriter, false, 1, 1, 0}, {V::OperatorsAndWriter, true, 1, 1, 0},
      {V::Everyone, false, 1, 1, 1},         {V::Everyone, true, 1, 1, 1},
  };
  for (const TCase& c : cases) {
    settings_.HubCommandsVisability = c.Visibility;
    for (const bool pm : {false, true}) {
      THubSocket& sender = c.SenderIsOperator ? oper : plain;
      const std::string label = std::to_string(static_cast<int>(c.Visibility)) +
                                (c.SenderIsOperator ? " op" : " user") + (pm ? " pm" : " mc");
      Run(sender, "!help", pm);
      const std::string echo = ChatLine(sender, "!help");
      EXPECT_EQ(Count(Out(sender), echo), pm ? 0 : c.Sender) << label;
      EXPECT_EQ(Count(Out(op2), echo), pm ? 0 : c.Op2) << label;
      EXPECT_EQ(Count(Out(bob), echo), pm ? 0 : c.Bob) << label;
      Out(c.SenderIsOperator ? plain : oper);
    }
  }
}

TEST_F(HubCommandsTest, EchoHidesPasswordsButTheSenderSeesHisLine) {
  THubSocket& oper = Online("oper1", MakeProfile("Op", {TProfileRight::IsOperator,
                                                        TProfileRight::MayUseHubCommands}));
  THubSocket& bob = Online("bob");
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"!addreg bob pw1 Op", "!addreg bob **** Op"},
      {"!AR bob pw1 Op 10.*", "!AR bob **** Op 10.*"},
      {"!ar pw pw Op", "!ar pw **** Op"},
      {"!cr old new pw", "!cr old new ****"},
      {"!changereg old new", "!changereg old new"},
      {"!setpass bob  p$w", "!setpass bob  ****"},
      {"!setpassword bob", "!setpassword bob"},
      {"!uar bob pw", "!uar bob ****"},
      {"!uaddreg bob pw", "!uaddreg bob ****"},
      {"!useraddreg bob pw", "!useraddreg bob ****"},
      {"!usetpass bob pw x", "!usetpass bob **** x"},
      {"!usersetpass bob pw", "!usersetpass bob ****"},
      {"!usersetpassword bob pw", "!usersetpassword bob ****"},
      {"!kick bob pw", "!kick bob pw"},
  };
  for (const TCommandVisibility visibility :
       {TCommandVisibility::Writer, TCommandVisibility::Everyone}) {
    settings_.HubCommandsVisability = visibility;
    for (const auto& [line, echoed] : cases) {
      Run(oper, line);
      const std::string out = Out(oper);
      EXPECT_EQ(out.substr(0, out.find('|') + 1), ChatLine(oper, echoed)) << line;
      EXPECT_NE(out.find(Bot("[command] " + std::string(line))), std::string::npos) << line;
      const std::string seen = Out(bob);
      if (visibility == TCommandVisibility::Everyone) EXPECT_EQ(seen, ChatLine(oper, echoed));
      else EXPECT_EQ(seen, "");
    }
  }
}

TEST_F(HubCommandsTest, AHandlerFailureBecomesAnErrorLineAndTheNextCommandStartsClean) {
  THubSocket& oper = Online("oper1", MakeProfile("Op", {TProfileRight::MayUseHubCommands,
                                                        TProfileRight::MayAccountsSetExpireDate}));
  clockFails_ = true;
  EXPECT_TRUE(Run(oper, "!help"));
  EXPECT_EQ(feed_.Errors, std::vector<std::string>{"THubCommands.HandleMessage(help(clock broke))"});
  EXPECT_EQ(Out(oper), Bot("[command] !help"));
  EXPECT_TRUE(Run(oper, "!help"));
  const std::string out = Out(oper);
  EXPECT_EQ(Count(out, Text(TLanguageKey::HelpHeader)), 1);
  EXPECT_EQ(feed_.Errors.size(), 1u);
}

TEST_F(HubCommandsTest, HelpShowsTheRowsTheProfileMayUseBySection) {
  settings_.HubCommandsShowCommandToSelf = false;
  const std::string header = "\r\n These commands are available to you:";
  const auto helpRow = [](char prefix) {
    return "\r\n" + HelpRow(prefix, "help (h)", "This help text");
  };
  // Only the right to use commands: the header and the help row ("#" is
  // wide: one stop fewer).
  THubSocket& plain = Online("plain", MakeProfile("Plain", {TProfileRight::MayUseHubCommands}));
  Run(plain, "#HELP");
  EXPECT_EQ(Out(plain), Bot(header + "\r\n\r\n #help (h)\t\t\t\t\t-\tThis help text"));

  using R = TProfileRight;
  THubSocket& mixed = Online(
      "mixed", MakeProfile("Mixed", {R::MayUseHubCommands, R::MayKickUser, R::MayShowHubInfo,
                                     R::MayBanClients, R::MayAccountsSetExpireDate}));
  Run(mixed, "!h", true);
  const std::string expected =
      header + helpRow('!') + "\r\n" +
      HelpRow('!', "hubinfo (hi)", Text(TLanguageKey::HelpHubInfo)) +
      HelpRow('!', "coreinfo (ci)", Text(TLanguageKey::HelpCoreInfo)) + "\r\n" +
      HelpRow('!', "setexpiredate <nick> <expiredate>",
              "Sets an expire date on an account (Ex. \"2024-05-06\", \"0\" for permanent)") +
      "\r\n" + HelpRow('!', "kick <user> [reason]", Text(TLanguageKey::HelpKickUser)) +
      HelpRow('!', "banclient <client> [reason]", Text(TLanguageKey::HelpBanClient)) +
      HelpRow('!', "unbanclient <client>", Text(TLanguageKey::HelpUnBanClient)) + "\r\n" +
      HelpRow('!', "clearclientbans (ccb)", Text(TLanguageKey::HelpClearClientBans)) +
      HelpRow('!', "showclientbans (scb) <search> [offset]", Text(TLanguageKey::HelpShowClientBans));
  EXPECT_EQ(Out(mixed), BotTo(mixed, expected));

  // The traffic right alone does not show the core report.
  THubSocket& traffic =
      Online("traffic", MakeProfile("Traffic", {R::MayUseHubCommands, R::MayShowTrafficInfo}));
  Run(traffic, "!help");
  EXPECT_EQ(Out(traffic),
            Bot(header + helpRow('!') + "\r\n" +
                HelpRow('!', "trafficinfo (ti) <user>", Text(TLanguageKey::HelpTrafficInfo))));
}

TEST_F(HubCommandsTest, ThePrefixAloneSummonsTheBotUntilItGivesUp) {
  THubSocket& oper = Online("oper1", MakeProfile("Op", {TProfileRight::MayUseHubCommands}));
  settings_.HubCommandsShowCommandToSelf = false;
  const std::vector<std::string> answers = {
      "You've summoned me",    "You've summoned me", "You've summoned me",
      "You've summoned me",    "Give it up, well ya??", "Stop bugging me!",
      "arrrrrghhh!",           "I'm ignoring you now!", "Still ignoring you!",
      "Still ignoring you!"};
  for (std::size_t i = 0; i < answers.size(); ++i) {
    Run(oper, i % 2 == 0 ? "!!" : "\xA7#");
    EXPECT_EQ(Out(oper), BotTo(oper, answers[i])) << i;
  }
  Run(oper, "!help");
  Out(oper);
  Run(oper, "##");
  EXPECT_EQ(Out(oper), BotTo(oper, "You've summoned me"));
  Run(oper, "!!", true);
  EXPECT_EQ(Out(oper), BotTo(oper, "Yes, I'm here"));
}
