#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/page_refresh.h"
#include "security/word_scanner.h"

class EventLoop;
class TAccounts;
class TBanList;
class TCPUInfo;
class TDNSLookup;
class THistoryManager;
class TMessageHandlers;
class TRootCoreEvents;
class TChatHooks;
class TChatRooms;
class TCommandDelegator;
class THubCore;
class THubFeed;
class THubList;
struct THubFigures;
class THubListPingers;
class THubSocket;
class TISPList;
class TLanguage;
class TLanguageManager;
class TLifecycleHub;
class TMyINFOProcessor;  // myinfo_handler.h
class TNickList;
class TNicksInUse;
class TOperatorMessages;
class TProfiles;
class TProtocolFunctions;
class TProtocolMessage;
class TRootCoreSides;
class TRootHub;
class TCoreHubControl;
class TRootSettingsHooks;
class TRootUserHooks;
class TRootAccountUsers;
class TSendResult;
class TSettings;
class TSettingsFileSet;
class TSettingsFileWatcher;
class TSettingsConverter;
class TStats;
class TTextCommands;
class TShareTrace;
class TTmpBanList;
class TUserRegistered;
class TKennylize;
class TLunarize;
class TMCScanner;
class TScannerSide;
class TScriptEvents;
class TUserStatic;
class TUserStatsSide;
struct TUserDefaults;

// The composition root: owns the process-wide singletons of every subsystem,
// builds them in their fixed order and frees them in reverse, and wires each
// one's hooks to the others. Each unit reaches a singleton through Kavro().
// Tests build a fresh root in a temporary home folder; only one root exists
// at a time. Does not own the event loop, which belongs to the program's
// entry (the GUI drives its own).
class TKavroRoot {
 public:
  // A feed line as the feed file holds it (the headless program prints
  // them).
  using TLineSink = std::function<void(std::string_view line)>;
  // Builds the user statistics (they sit above the core); empty: none.
  using TUserStatsFactory = std::function<std::unique_ptr<TUserStatsSide>(TKavroRoot&)>;

  // Sets the program folder to `homeFolder` and builds every singleton.
  TKavroRoot(EventLoop& loop, std::string homeFolder, TUserStatsFactory userStats = {});
  ~TKavroRoot();
  TKavroRoot(const TKavroRoot&) = delete;
  TKavroRoot& operator=(const TKavroRoot&) = delete;

  EventLoop& Loop() { return loop_; }
  const std::string& HomeFolder() const { return homeFolder_; }
  TLanguage& Language() { return *language_; }
  TLanguageManager& LanguageManager() { return *languageManager_; }
  TSettingsFileWatcher& SettingsWatcher() { return *watcher_; }
  TSettings& Settings() { return *settings_; }
  TSettingsFileSet& SettingsFiles() { return *files_; }
  TRootSettingsHooks& SettingsHooks() { return *settingsHooks_; }
  TProfiles& Profiles() { return *profiles_; }
  TAccounts& Accounts() { return *accounts_; }
  TBanList& Bans() { return *bans_; }
  TISPList& ISPs() { return *isps_; }
  TUserRegistered& Registered() { return *registered_; }
  TMCScanner& MCScanner() { return *mcScanner_; }
  TPMScanner& PMScanner() { return *pmScanner_; }
  TSearchScanner& SearchScanner() { return *searchScanner_; }
  TNicksInUse& NicksInUse() { return *nicksInUse_; }
  TNickList& NickList() { return *nickList_; }
  TProtocolMessage& HubMessages() { return *hubMessages_; }
  TUserStatic& UserStatic() { return *userStatic_; }
  TProtocolFunctions& GreetingGate() { return *greetingGate_; }
  TStats& Stats() { return *stats_; }
  THubFeed& Feed() { return *feed_; }
  TSendResult& LinkQuality();
  TTmpBanList& TmpBans() { return *tmpBans_; }
  TCommandDelegator& Commands() { return *commands_; }
  TTextCommands& TextCommands() { return *textCommands_; }
  TChatRooms& ChatRooms() { return *chatRooms_; }
  TUserStatsSide& UserStats() { return *userStats_; }
  THubCore& HubCore() { return *hubCore_; }
  TSettingsConverter& Converter() { return *converter_; }
  THubList& HubList() { return *hubList_; }
  // What the hub information shows of this process and the machine.
  THubFigures ReadFigures();
  // The hub as the program's start-up and shutdown drive it.
  TLifecycleHub& Hub();

  // The scripts' events (null: none); they must be unregistered before
  // they go.
  void SetScriptEvents(TScriptEvents* scripts);
  // Searches reach only users sharing something (the window's switch).
  void SetSearchOnlyToSharers(bool on);
  bool SearchOnlyToSharers() const;

  // Receives every feed line besides the feed's own places.
  void SetLineSink(TLineSink sink) { lineSink_ = std::move(sink); }
  // Feed posts of the given kind.
  void ReportEvent(const std::string& line) const;
  void ReportError(const std::string& line) const;
  void ReportGUI(const std::string& line) const;
  // What the commands tell the window's pages; the page groups register.
  TPageRefreshFan& PageRefresh() { return pageRefresh_; }

  // Saves settings.xml alone (the other files: SettingsFiles().SaveAll),
  // so that the watcher does not take the hub's own save for an outside
  // edit.
  bool SaveSettings();

  // The address the hub's ports are opened on; "" (the default): every
  // local address.
  void SetListenAddress(std::string address);
  // Where a port without an address of its own listens ("" every address).
  const std::string& ListenAddress() const;

  // Lists the language files (an empty folder gets english.xml) and selects
  // the language named by the settings, else the first one listed.
  void LoadLanguage();

 private:
  void Build();
  void BuildLists();
  void BuildHub();
  void BuildChatRooms();
  void BuildTextCommands();
  void BuildHubList();
  bool HandleMyINFO(THubSocket& user, std::string_view message);

  EventLoop& loop_;
  const std::string homeFolder_;
  TUserStatsFactory userStatsFactory_;
  TLineSink lineSink_;

  // Built in this order, freed in reverse.
  std::unique_ptr<TLanguage> language_;
  std::unique_ptr<TLanguageManager> languageManager_;
  std::unique_ptr<TSettingsFileWatcher> watcher_;
  std::unique_ptr<TSettings> settings_;
  std::unique_ptr<TNicksInUse> nicksInUse_;
  std::unique_ptr<TRootSettingsHooks> settingsHooks_;
  std::unique_ptr<TSettingsFileSet> files_;
  std::unique_ptr<TProfiles> profiles_;
  std::unique_ptr<TAccounts> accounts_;
  std::unique_ptr<THubListPingers> pingers_;
  std::unique_ptr<TBanList> bans_;
  std::unique_ptr<TISPList> isps_;
  std::unique_ptr<TUserRegistered> registered_;
  std::unique_ptr<TUserDefaults> userDefaults_;
  std::unique_ptr<TNickList> nickList_;
  std::unique_ptr<TProtocolMessage> hubMessages_;
  std::unique_ptr<TUserStatic> userStatic_;
  std::unique_ptr<TProtocolFunctions> greetingGate_;
  std::unique_ptr<TStats> stats_;
  std::unique_ptr<THubFeed> feed_;
  std::unique_ptr<TTmpBanList> tmpBans_;
  std::unique_ptr<TShareTrace> shareTrace_;
  std::unique_ptr<TRootCoreSides> coreSides_;
  std::unique_ptr<THubCore> hubCore_;
  std::unique_ptr<TDNSLookup> dnsLookup_;
  std::unique_ptr<TCPUInfo> cpuInfo_;  // the load figure of the hub information
  std::unique_ptr<THubList> hubList_;
  std::unique_ptr<TRootUserHooks> userHooks_;
  std::unique_ptr<TRootAccountUsers> accountUsers_;
  std::unique_ptr<TMyINFOProcessor> myINFO_;
  std::unique_ptr<THistoryManager> history_;
  std::unique_ptr<TChatRooms> chatRooms_;
  std::unique_ptr<TCoreHubControl> hubControl_;
  TPageRefreshFan pageRefresh_;
  std::unique_ptr<TCommandDelegator> commands_;
  std::unique_ptr<TTextCommands> textCommands_;
  std::unique_ptr<TChatHooks> chatHooks_;
  std::unique_ptr<TMessageHandlers> messageHandlers_;
  std::unique_ptr<TOperatorMessages> operatorMessages_;
  std::unique_ptr<TUserStatsSide> userStats_;
  std::unique_ptr<TRootCoreEvents> coreEvents_;
  std::unique_ptr<TRootHub> hub_;
  // The scanners and penalties; the chat side points at them, so they go
  // after it.
  std::unique_ptr<TLunarize> lunarize_;
  std::unique_ptr<TKennylize> kennylize_;
  std::unique_ptr<TMCScanner> mcScanner_;
  std::unique_ptr<TPMScanner> pmScanner_;
  std::unique_ptr<TSearchScanner> searchScanner_;
  std::unique_ptr<TScannerSide> scannerSide_;
  // The import of the predecessor's lists; freed first.
  std::unique_ptr<TSettingsConverter> converter_;
};

// The current root; EAssertionFailed when none exists.
TKavroRoot& Kavro();
bool KavroExists();
