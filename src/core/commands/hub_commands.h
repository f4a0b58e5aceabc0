#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/commands/command_context.h"
#include "core/commands/command_session.h"
#include "core/commands/hub_command_table.h"
#include "core/write_buffer.h"
#include "security/profile.h"
#include "settings/language.h"
#include "utils/hashed_method_list.h"
#include "utils/string_list.h"

class TAccount;
class THubSocket;
struct TISP;
struct TUserRegItem;
class TTextCommand;
class TPageRefresh;
struct TChatPenalty;
class TUserStatsSide;
struct TBan;
struct TPatternBan;
enum class TBanKind : std::uint8_t;

// The operator commands: 186 names on 106 handlers, each with its right and
// its least number of arguments, answered by the hub bot. Owns its name
// table and the reply and help-row buffers; shares the
// delegator's token list and does not own the context's objects. Main
// thread only.
class THubCommands {
 public:
  THubCommands(const TCommandContext& context, const TStringList& tokens);
  THubCommands(const THubCommands&) = delete;
  THubCommands& operator=(const THubCommands&) = delete;

  // Before each line (see TCommandSession::Begin).
  void SetSender(THubSocket& sender, std::string_view message, bool isPM) {
    session_.Begin(sender, message, isPM);
  }

  // The delegator's entry for a line whose prefix stands at `position` of
  // the message and whose words are in the token list. True when the line
  // was taken: a handler ran, the unknown-command answer went out or a
  // handler failed (reported as an Error feed line). False for an unknown
  // name when `reportUnknown` is false, and for an empty token list.
  bool HandleMessage(std::size_t position, bool reportUnknown);

  // The registered row of a name, or null.
  const THubCommandRow* FindCommand(std::string_view name) const;
  int CommandCount() const { return table_.Count(); }

  // --- for the handlers ----------------------------------------------------
  // Forbidden when `allowed` is false, the parameter error when fewer than
  // `minArgs` words follow the name; true when the handler may act.
  bool CheckRight(bool allowed, int minArgs);
  TCommandSession& Session() { return session_; }
  std::string_view RestOfLine(int n) const { return session_.RestOfLine(n); }
  void FeedAction(const std::string& text);
  // A help row into the rows buffer when `visible`.
  void AddHelpRow(std::string_view usage, std::string_view description, bool visible);
  // Moves the rows of one section into the reply, after an empty line.
  void EndSection();

 private:
  friend std::span<const THubCommandRow> HubCommandRows();

  // Names to handlers; the data word is the row's index.
  using TTable = THashedMethodList<THubCommandHandler>;

  // The "[command]" line and the switch to private replies of a line that
  // did not come by private message.
  void ShowCommandToSelf();

  void HandleHelp();
  void HandlePrefixOnly();
  void HandleKick();
  void HandleAddChatRoom();
  void HandleDeleteChatRoom();
  void HandleLock();
  void HandleTopic();
  void HandleSaveSettings();
  void HandleSetRedirect();
  void HandleShowRedirects();
  // Accounts and protected nicks.
  void HandleHideShare();
  void HandleHideMe();
  bool OnOffWord(bool current, TLanguageKey invalid, bool& wanted);
  void ResendMyINFO(THubSocket& user);
  void HandleShowProfiles();
  void HandleAddAccount();
  void HandleDeleteAccount();
  void HandleChangeAccount();
  void HandleShowAccounts();
  void HandleSetAccountProfile();
  void HandleSetAccountIP();
  void HandleShowAccountIP();
  void HandleSetAccountComment();
  void HandleSetAccountGreeting();
  void HandleSetAccountExpireDate();
  void HandleSetAccountOwner();
  void HandleSetAccountPass();
  void HandleShowAccountPass();
  void HandleUserAddReg();
  void HandleUserDelReg();
  void HandleUserSetPass();
  void HandleUserShowPass();
  void HandleUserShowReg();
  // The account named by word 1 when the sender may act on its level; else
  // null after the refusal.
  std::shared_ptr<TAccount> AccountToChange(TProfileRight right, TLanguageKey denied);
  void StampAccount(TAccount& account);
  void SetAccountText(TProfileRight right, TLanguageKey denied, std::string TAccount::*field,
                      TLanguageKey success, TLanguageKey removed);
  // The protected nick of word 1; null after the refusal.
  TUserRegItem* ProtectedNick();
  TDateTime Now() const;

  // ISPs.
  void HandleAddISP();
  void HandleDeleteISP();
  void HandleShowISP();
  void HandleSearchISP();
  void HandleMatchISP();
  void HandleISPIPList();
  void HandleISPMinShare();
  void HandleISPMaxShare();
  void HandleISPMaxHubs();
  void HandleISPMinSlots();
  void HandleISPMaxSlots();
  void HandleISPSlotRatio();
  void HandleAddIP();
  void HandleDeleteIP();
  // The ISP named by word `word`; null after the refusal.
  TISP* FindISP(int word);
  // One of the six limits, in the order of the handlers above.
  void SetISPLimit(int which);

  // Chat control and text commands (hub_commands_chat.cpp).
  void HandleMute();
  void HandleUnMute();
  void HandleKennylize();
  void HandleUnKennylize();
  void HandleLunarize();
  void HandleUnLunarize();
  void HandleSay();
  void HandleMainChat();
  void HandleWarn();
  void HandleInform();
  void HandlePMAll();
  void HandlePMProfile();
  void HandleOperatorPM();
  void HandleListTextCommands();
  void HandleEnableTextCommand();
  void HandleShowTextCommand();
  void HandleSetTextCommand();
  void SetPenalty(const TChatPenalty& penalty);
  void ClearPenalty(const TChatPenalty& penalty);
  void Announce(bool allButTarget, const THubSocket& target, const std::string& text);
  // The named text command when the sender may edit it; else replied.
  TTextCommand* EditableTextCommand(TLanguageKey accessError);
  // The window's pages, or an observer that ignores every change.
  TPageRefresh& Pages() const;
  // A language text for others than the sender (no prefix filled in).
  std::string Feed(TLanguageKey key) const;
  // Limits and main-chat lock (hub_commands_limits.cpp).
  void HandleSetWorkPace();
  void HandleSetMinShare();
  void HandleSetMaxShare();
  void HandleSetMaxHubs();
  void HandleSetMinSlots();
  void HandleSetMaxSlots();
  void HandleSetSlotRatio();
  void HandleSetUserLimit();
  void HandleRedirectAll();
  void HandleLockMainChat();
  void HandleAllowMainChat();
  void HandleDisallowMainChat();
  // One limit of the hub-wide restriction, in the order of the setters above.
  void SetRestrictionLimit(int which);
  std::string PaceName(int level) const;
  // The online non-operator of word 1 while main chat is locked; else null
  // after the refusal.
  THubSocket* MainChatTarget(TLanguageKey isOperator);
  // Reports (hub_commands_reports.cpp).
  enum class TStatsReport { User, IP, Nick };
  void HandleUserInfo();
  void HandleIPInfo();
  void HandleNickInfo();
  void HandleHubInfo();
  void HandleTrafficInfo();
  void HandleTrafficStats();
  void HandleCoreInfo();
  void Report(TStatsReport which);
  TUserStatsSide* UserStatsSide() const;
  // User actions and bans (hub_commands_user_actions.cpp,
  // hub_commands_bans.cpp).
  void HandleBlock();
  void HandleUnBlock();
  void HandleRedirect();
  void HandleDrop();
  void HandleBan();
  void HandleTimedBan();
  void HandleBanNick();
  void HandleTimedBanNick();
  void HandleBanIP();
  void HandleTimedBanIP();
  void HandleBanDNS();
  void HandleTimedBanDNS();
  void HandleBanClient();
  void HandleUnBan();
  void HandleUnBanClient();
  void HandleClearNickBans();
  void HandleClearIPBans();
  void HandleClearDNSBans();
  void HandleClearClientBans();
  void HandleShowNickBans();
  void HandleShowIPBans();
  void HandleShowDNSBans();
  void HandleShowClientBans();
  void HandleClearTempBans();
  void HandleShowTempBans();
  // The logged-in user of word 1; null after the reply for a nick the hub
  // keeps (`reserved`) or an unknown one.
  THubSocket* ActionTarget(TLanguageKey reserved, TLanguageKey notFound);
  // Word `word` as ban hours; false after the refusal.
  bool BanHours(int word, int& hours);
  TDateTime BanExpiry(int hours) const;
  // A ban the list would not add: the one standing in its way.
  void ReplyStandingBan(const TBan* ban);
  void BanConnectedUser(bool timed);
  void BanNickPattern(bool timed);
  void BanPatterns(const TPatternBan& family);
  void ClearBans(TBanKind kind);
  void ShowBans(TBanKind kind);

  TCommandContext ctx_;
  const TStringList& tokens_;
  TCommandSession session_;
  TWriteBuffer reply_{1};
  TWriteBuffer rows_{1};
  TTable table_{256};
};
