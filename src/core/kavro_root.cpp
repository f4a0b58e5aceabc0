#include "core/kavro_root.h"

#include "core/hub_control.h"

#include <vector>

#include "core/dns_lookup.h"
#include "core/cpu_info.h"
#include "core/commands/hub_figures.h"
#include "core/chat_hooks.h"
#include "core/commands/chat_rooms.h"
#include "core/commands/command_delegator.h"
#include "core/commands/text_commands.h"
#include "core/greeting_gate.h"
#include "core/history_manager.h"
#include "core/message_handlers.h"
#include "core/hub_core.h"
#include "core/hub_feed.h"
#include "core/hub_list.h"
#include "core/hub_list_pingers.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/operator_messages.h"
#include "core/protocol_message.h"
#include "core/root_chat_side.h"
#include "core/scanner_side.h"
#include "core/root_core_sides.h"
#include "core/root_hooks.h"
#include "core/settings_file_set.h"
#include "core/share_trace.h"
#include "core/user_defaults.h"
#include "core/user_stats_side.h"
#include "platform/event_loop.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/mc_scanner.h"
#include "security/text_penalties.h"
#include "security/profiles.h"
#include "security/settings_converter.h"
#include "security/tmp_ban_list.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/language_manager.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "base/exceptions.h"
#include "utils/constants.h"
#include "utils/program_folder.h"

namespace {
TKavroRoot* currentRoot = nullptr;
}  // namespace

TKavroRoot::TKavroRoot(EventLoop& loop, std::string homeFolder, TUserStatsFactory userStats)
    : loop_(loop), homeFolder_(std::move(homeFolder)), userStatsFactory_(std::move(userStats)) {
  KAVRO_CHECK(currentRoot == nullptr, "a second composition root");
  SetProgramFolder(homeFolder_);
  currentRoot = this;  // units may reach their neighbours while being built
  try {
    Build();
  } catch (...) {
    currentRoot = nullptr;
    throw;
  }
}

void TKavroRoot::Build() {
  language_ = std::make_unique<TLanguage>();
  languageManager_ = std::make_unique<TLanguageManager>(*language_);
  watcher_ = std::make_unique<TSettingsFileWatcher>(
      ProgramFolder(), [this](std::function<void()> fn) { loop_.Post(std::move(fn)); });
  watcher_->SetFeed([this](const std::string& line) { ReportError(line); });
  settings_ = std::make_unique<TSettings>();
  nicksInUse_ = std::make_unique<TNicksInUse>();
  settingsHooks_ = std::make_unique<TRootSettingsHooks>(*settings_, *watcher_, *nicksInUse_);
  settings_->SetHooks(settingsHooks_.get());
  files_ = std::make_unique<TSettingsFileSet>(
      *watcher_, ProgramPath(kSettingsFolder, ""),
      [this](const std::string& line) { ReportError(line); },
      [this](const std::string& line) { ReportGUI(line); });
  files_->Register(
      TSettingsList::Settings, [this] { return settings_->Load(); },
      [this] { return settings_->Save(TSaveMode::Automatic); });
  BuildLists();
  stats_ = std::make_unique<TStats>();
  feed_ = std::make_unique<THubFeed>(*settings_, *language_, *nickList_, *stats_,
                                     ProgramPath(kFeedFolder, ""));
  feed_->SetSink([this](std::string_view line) {
    if (lineSink_) lineSink_(line);
  });
  BuildHub();
}

// The link judge, temporary bans, the core with its protocol engine, the
// "$MyINFO" handler and the hub the program's life drives.
void TKavroRoot::BuildHub() {
  tmpBans_ = std::make_unique<TTmpBanList>(*settings_, *language_);
  shareTrace_ = std::make_unique<TShareTrace>(*settings_, *language_, *feed_);
  coreSides_ = std::make_unique<TRootCoreSides>(
      TRootCoreSides::TParts{*settings_, *feed_, *stats_, *tmpBans_, *bans_, *isps_,
                             *greetingGate_, *registered_},
      [this](THubSocket& user, std::string_view message) { return HandleMyINFO(user, message); });
  hubCore_ = std::make_unique<THubCore>(loop_, *settings_, *language_, *nickList_, *hubMessages_,
                                        *accounts_, *nicksInUse_, *userDefaults_,
                                        coreSides_->Hooks());
  settingsHooks_->SetHubCore(hubCore_.get());
  settingsHooks_->SetStats(stats_.get());
  // Answers come back on the loop thread carrying the connection's id.
  dnsLookup_ = std::make_unique<TDNSLookup>(
      loop_, [this](std::uint64_t id) { return hubCore_->FindConnection(id); },
      [this](THubSocket& user) { hubCore_->DNSLookupDone(user.Id(), user.DNSName); });
  coreSides_->SetDNSStarter([this](THubSocket& user) {
    dnsLookup_->ReverseLookup(user);
    return true;
  });
  BuildHubList();
  hubCore_->SetSpeed(settings_->WorkPace());
  userHooks_ =
      std::make_unique<TRootUserHooks>(*hubCore_, *stats_, *bans_, *isps_, *settings_);
  accountUsers_ = std::make_unique<TRootAccountUsers>(*nickList_, *hubCore_);
  profiles_->SetAccountUsers(accountUsers_.get());
  accounts_->SetAccountUsers(accountUsers_.get());
  nickList_->SetHooks(userHooks_.get());
  myINFO_ = std::make_unique<TMyINFOProcessor>(*settings_, *language_, *nickList_, *hubMessages_,
                                             *tmpBans_);
  myINFO_->SetHooks(userHooks_.get());

  // The handlers of a logged-in user's chat, messages, searches and
  // connection requests.
  history_ = std::make_unique<THistoryManager>(*language_);
  BuildChatRooms();
  cpuInfo_ = std::make_unique<TCPUInfo>(loop_);
  hubControl_ = std::make_unique<TCoreHubControl>(*hubCore_, *files_,
                                                  [this] { return hub_->StartListening(); });
  commands_ = std::make_unique<TCommandDelegator>(TCommandContext{
      *settings_, *language_, *nickList_, *hubMessages_, *nicksInUse_, coreSides_->Hooks(),
      *stats_, *bans_, *history_, shareTrace_.get(), registered_.get(), [] { return NowLocal(); },
      [this] { return hubCore_->Uptime(); }, chatRooms_.get(), hubControl_.get(), accounts_.get(),
      profiles_.get(), isps_.get(), [this] { return textCommands_.get(); },
      [this] { return userStats_.get(); },
      [this] { return ReadHubFigures(*hubCore_, LinkQuality(), cpuInfo_.get(), *dnsLookup_); }, {},
      &pageRefresh_, tmpBans_.get()});
  BuildTextCommands();
  scannerSide_ = std::make_unique<TScannerSide>(
      TScannerSide::TParts{*hubMessages_, *tmpBans_, *mcScanner_, *pmScanner_, *searchScanner_,
                           *lunarize_, *kennylize_, [] { return NowLocal(); }});
  auto chatSide = std::make_unique<TRootChatSide>(*commands_);
  chatSide->SetRooms(chatRooms_.get());
  chatSide->SetScanners(scannerSide_.get());
  chatHooks_ = std::move(chatSide);
  messageHandlers_ = std::make_unique<TMessageHandlers>(
      TChatContext{*settings_, *language_, *nickList_, *hubMessages_, *accounts_,
                   hubCore_->Protocol(), coreSides_->Hooks(), *stats_, *history_, *chatHooks_});
  coreSides_->Hooks().SetHandlers(messageHandlers_.get());
  operatorMessages_ = std::make_unique<TOperatorMessages>(
      TOperatorContext{*settings_, *language_, *nickList_, *hubMessages_, *nicksInUse_,
                       coreSides_->Hooks(), *stats_, *bans_, messageHandlers_->Chat()},
      [this] {
        std::vector<int> ports;
        for (int i = 0; i < hubCore_->ListenerCount(); ++i)
          ports.push_back(hubCore_->ListenerAt(i)->Port());
        return ports;
      });
  operatorMessages_->SetShareTrace(shareTrace_.get());
  messageHandlers_->SetFallback(operatorMessages_.get());
  hubMessages_->SetRedirectCounter([this] {
    if (stats_) ++stats_->Protocol.Redirects;
  });
  userStats_ = userStatsFactory_ ? userStatsFactory_(*this) : nullptr;
  if (!userStats_) userStats_ = std::make_unique<TUserStatsSide>();
  settingsHooks_->SetUserStats(userStats_.get());
  coreEvents_ = std::make_unique<TRootCoreEvents>(*messageHandlers_);
  coreEvents_->SetUserStats(userStats_.get());
  coreEvents_->SetShareTrace(shareTrace_.get(), settings_.get(), [] { return NowLocal(); });
  coreEvents_->SetTextCommands(textCommands_.get());
  coreEvents_->SetRooms(chatRooms_.get());
  coreSides_->Hooks().SetEvents(coreEvents_.get());

  hub_ = std::make_unique<TRootHub>(*hubCore_, *settings_, *feed_);
  hub_->SetUserStats(userStats_.get());
  hub_->SetTextCommands(textCommands_.get());

  converter_ = std::make_unique<TSettingsConverter>(*profiles_, *accounts_, *bans_, *isps_);
  converter_->SetAccountUsers(accountUsers_.get());
  converter_->SetRoomsRelink([this] {
    if (chatRooms_) chatRooms_->RelinkProfiles();
  });
}

// Registration with the hub lists, and their pingers at the login.
THubFigures TKavroRoot::ReadFigures() {
  return ReadHubFigures(*hubCore_, LinkQuality(), cpuInfo_.get(), *dnsLookup_);
}

void TKavroRoot::BuildHubList() {
  THubListHub hub;
  hub.Running = [this] {
    if (!hubCore_->Started()) return false;
    for (int i = 0; i < hubCore_->ListenerCount(); ++i)
      if (hubCore_->ListenerAt(i)->Listening()) return true;
    return false;
  };
  hub.Ports = [this] {
    std::vector<THubListPort> ports;
    for (int i = 0; i < hubCore_->ListenerCount(); ++i)
      ports.push_back({hubCore_->ListenerAt(i)->Port(), hubCore_->ListenerAt(i)->Tls()});
    return ports;
  };
  hub.DefaultPortListed = [this] { return hubCore_->HasListener(kDefaultHubPorts); };
  hub.UserCount = [this] { return stats_->CurrentUsers; };
  hub.ShareTotal = [this] { return stats_->CurrentSharesize; };
  hubList_ = std::make_unique<THubList>(loop_, *settings_, *language_, *dnsLookup_,
                                        std::move(hub),
                                        [this](const std::string& line) { ReportError(line); });
  files_->Register(
      TSettingsList::HubLists, [this] { return hubList_->Hosts().Load(); },
      [this] { return hubList_->Hosts().Save(); });
  settingsHooks_->SetHubList(hubList_.get());
  coreSides_->SetPingers(
      [this](const THubSocket& user) { return hubList_->Hosts().PingerClass(user); },
      [this](THubSocket& user, int pingerClass) {
        pingers_->Bind(user, pingerClass, settings_->ConnRestriction);
      });
}

// The rooms: in every user list, taking their private messages, and the
// operator commands' to create and delete.
void TKavroRoot::BuildChatRooms() {
  chatRooms_ = std::make_unique<TChatRooms>(TChatRoomsContext{
      *settings_, *language_, *nickList_, *nicksInUse_, *profiles_, *hubMessages_, *feed_});
  files_->Register(
      TSettingsList::ChatRooms, [this] { return chatRooms_->Load(); },
      [this] { return chatRooms_->Save(); });
  nickList_->SetRooms(chatRooms_.get());
  accountUsers_->SetRooms(chatRooms_.get());
}

// The "+" lines, the runs on connect and at login, and the timed ones.
void TKavroRoot::BuildTextCommands() {
  textCommands_ = std::make_unique<TTextCommands>(TTextCommandsContext{
      *settings_, *language_, *nickList_, *hubMessages_, *stats_, feed_.get(),
      [this] { return chatRooms_ != nullptr && chatRooms_->FeedRoom() != nullptr; },
      [this] { return hubCore_->Uptime(); }, [] { return NowLocal(); }, {}, [this](const std::string& line) { ReportGUI(line); },
      [this](const std::string& line) { ReportError(line); }});
  files_->Register(
      TSettingsList::TextCommands, [this] { return textCommands_->Load(); },
      [this] { return textCommands_->Save(); });
  commands_->SetTextCommands(textCommands_.get());
}

// The first accepted "$MyINFO" moves the login on: it completes now when
// the name look-up is done, else when it ends.
bool TKavroRoot::HandleMyINFO(THubSocket& user, std::string_view message) {
  const bool first = user.LoginState % 128 == lgNickAccepted;
  switch (myINFO_->HandleMyINFO(user, message)) {
    case TMyINFOResult::Accepted:
      if (first && user.LifeState == lsInitialised) {
        // Kicked with a demand to change the share, and it has not changed.
        if (!shareTrace_->Check(user)) {
          user.LifeState = lsClosing;
          return true;
        }
        user.LoginState = lgMyINFOReceived;
        if (user.DNSDone) hubCore_->Protocol().LoginComplete(user);
      }
      return true;
    case TMyINFOResult::Dropped:
    case TMyINFOResult::Refused:
      return true;
    case TMyINFOResult::Unhandled:
      break;
  }
  return false;
}

void TKavroRoot::SetListenAddress(std::string address) {
  hub_->SetListenAddress(std::move(address));
}

const std::string& TKavroRoot::ListenAddress() const { return hub_->ListenAddress(); }

// Profiles, accounts, bans, ISPs, protected nicks, the user list and the hub's own
// messages.
void TKavroRoot::BuildLists() {
  const auto error = [this](const std::string& line) { ReportError(line); };
  profiles_ = std::make_unique<TProfiles>(*settings_, nullptr, error);
  accounts_ = std::make_unique<TAccounts>(*profiles_, nullptr, error);
  pingers_ = std::make_unique<THubListPingers>(*accounts_);
  files_->Register(
      TSettingsList::Profiles,
      [this] {
        const bool loaded = profiles_->Load();
        // The rooms hold profiles by name across a reload.
        if (chatRooms_) chatRooms_->RelinkProfiles();
        return loaded;
      },
      [this] { return profiles_->Save(); });
  files_->Register(
      TSettingsList::Accounts, [this] { return accounts_->Load(); },
      [this] { return accounts_->Save(); });
  bans_ = std::make_unique<TBanList>(*language_, error);
  files_->Register(
      TSettingsList::Bans, [this] { return bans_->Load(); }, [this] { return bans_->Save(); });
  isps_ = std::make_unique<TISPList>(*language_, error);
  files_->Register(
      TSettingsList::ISPs, [this] { return isps_->Load(); }, [this] { return isps_->Save(); });
  lunarize_ = std::make_unique<TLunarize>();
  kennylize_ = std::make_unique<TKennylize>();
  mcScanner_ = std::make_unique<TMCScanner>(*settings_, *language_, *lunarize_, *kennylize_, error);
  pmScanner_ = std::make_unique<TPMScanner>(*settings_, error);
  searchScanner_ = std::make_unique<TSearchScanner>(*settings_, error);
  files_->Register(
      TSettingsList::MCScanner, [this] { return mcScanner_->Load(); },
      [this] { return mcScanner_->Save(); });
  files_->Register(
      TSettingsList::PMScanner, [this] { return pmScanner_->Load(); },
      [this] { return pmScanner_->Save(); });
  files_->Register(
      TSettingsList::SearchScanner, [this] { return searchScanner_->Load(); },
      [this] { return searchScanner_->Save(); });
  registered_ = std::make_unique<TUserRegistered>(error);
  files_->Register(
      TSettingsList::Registered, [this] { return registered_->Load(); },
      [this] { return registered_->Save(); });

  userDefaults_ = std::make_unique<TUserDefaults>();
  BindUserDefaults(*userDefaults_, *accounts_, *profiles_);
  nickList_ = std::make_unique<TNickList>(*settings_, *language_, *userDefaults_);
  profiles_->SetAccountUsers(nickList_.get());
  accounts_->SetAccountUsers(nickList_.get());
  settingsHooks_->SetNickList(nickList_.get());
  // Listed users copied their ISP's restriction; a change hands them the
  // current one.
  isps_->SetUsersRefresh([this] {
    if (nickList_) nickList_->RefreshISPRestrictions();
  });

  hubMessages_ = std::make_unique<TProtocolMessage>(*settings_, *nickList_);
  userStatic_ = std::make_unique<TUserStatic>(*nickList_, [] { return NowLocal(); });
  // The gate only reads a protected nick's last use: the login renews it
  // once the password is accepted, so a wrong guess leaves it alone.
  greetingGate_ = std::make_unique<TProtocolFunctions>(
      *userStatic_, [] { return NowLocal(); },
      [this](std::string_view nick, TDateTime /*now*/) -> std::optional<TDateTime> {
        const TUserRegItem* item = registered_->Find(nick);
        if (item == nullptr) return std::nullopt;
        return item->LastUsed;
      });
}

TKavroRoot::~TKavroRoot() {
  // The watcher goes quiet first so no reload runs while the lists go.
  watcher_->SetEnabled(false);
  converter_.reset();
  settingsHooks_->SetHubList(nullptr);
  coreSides_->SetPingers(nullptr, nullptr);
  hubList_.reset();
  // The core first: closing its connections reaches the lists below.
  hubCore_->Stop(true);
  coreSides_->SetDNSStarter(nullptr);
  dnsLookup_.reset();
  hub_.reset();
  coreSides_->Hooks().SetEvents(nullptr);
  coreEvents_.reset();
  settingsHooks_->SetUserStats(nullptr);
  userStats_.reset();
  coreSides_->Hooks().SetHandlers(nullptr);
  messageHandlers_->SetFallback(nullptr);
  operatorMessages_.reset();
  messageHandlers_.reset();
  chatHooks_.reset();
  commands_->SetTextCommands(nullptr);
  textCommands_.reset();
  commands_.reset();
  accountUsers_->SetRooms(nullptr);
  nickList_->SetRooms(nullptr);
  chatRooms_.reset();
  history_.reset();
  myINFO_->SetHooks(nullptr);
  myINFO_.reset();
  nickList_->SetHooks(nullptr);
  accounts_->SetAccountUsers(nickList_.get());
  profiles_->SetAccountUsers(nickList_.get());
  accountUsers_.reset();
  userHooks_.reset();
  settingsHooks_->SetHubCore(nullptr);
  settingsHooks_->SetStats(nullptr);
  hubCore_.reset();
  coreSides_.reset();
  shareTrace_.reset();
  tmpBans_.reset();
  hubMessages_->SetRedirectCounter(nullptr);
  feed_.reset();
  stats_.reset();
  greetingGate_.reset();
  userStatic_.reset();
  hubMessages_.reset();
  settingsHooks_->SetNickList(nullptr);
  accounts_->SetAccountUsers(nullptr);
  profiles_->SetAccountUsers(nullptr);
  isps_->SetUsersRefresh(nullptr);
  nickList_.reset();
  userDefaults_.reset();
  registered_.reset();
  isps_.reset();
  bans_.reset();
  pingers_.reset();
  accounts_.reset();
  profiles_.reset();
  files_.reset();
  settings_->SetHooks(nullptr);
  settingsHooks_.reset();
  nicksInUse_.reset();
  settings_.reset();
  watcher_.reset();
  languageManager_.reset();
  language_.reset();
  currentRoot = nullptr;
}

TLifecycleHub& TKavroRoot::Hub() { return *hub_; }

void TKavroRoot::SetScriptEvents(TScriptEvents* scripts) {
  coreEvents_->SetScripts(scripts);
  userHooks_->SetScripts(scripts);
  static_cast<TRootChatSide&>(*chatHooks_).SetScripts(scripts);
}

void TKavroRoot::SetSearchOnlyToSharers(bool on) {
  static_cast<TRootChatSide&>(*chatHooks_).SetSearchOnlyToSharers(on);
}

bool TKavroRoot::SearchOnlyToSharers() const { return chatHooks_->SearchOnlyToSharers(); }

TSendResult& TKavroRoot::LinkQuality() { return coreSides_->LinkQuality(); }

// Before the feed is built (and after it goes) a line reaches the sink alone.
void TKavroRoot::ReportEvent(const std::string& line) const {
  if (feed_) feed_->PostEvent(line);
  else if (lineSink_) lineSink_(line);
}

void TKavroRoot::ReportError(const std::string& line) const {
  if (feed_) feed_->PostError(line);
  else if (lineSink_) lineSink_(line);
}

void TKavroRoot::ReportGUI(const std::string& line) const {
  if (feed_) feed_->PostGUI(line);
  else if (lineSink_) lineSink_(line);
}

bool TKavroRoot::SaveSettings() {
  watcher_->Suspend();
  const bool saved = settings_->Save();
  if (saved) watcher_->NoteOwnSave(TSettingsFileSet::FileName(TSettingsList::Settings));
  watcher_->Resume();
  return saved;
}

void TKavroRoot::LoadLanguage() {
  languageManager_->Rescan();
  if (!languageManager_->SelectLanguage(settings_->Language) && languageManager_->GetCount() > 0)
    languageManager_->SelectLanguage(languageManager_->GetLanguageName(0));
}

TKavroRoot& Kavro() {
  KAVRO_CHECK(currentRoot != nullptr, "no composition root");
  return *currentRoot;
}

bool KavroExists() { return currentRoot != nullptr; }
