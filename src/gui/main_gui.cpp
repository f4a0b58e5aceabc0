#include "gui/main_gui.h"

#include <QAction>
#include <QDate>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

#include "core/com_port.h"
#include "core/com_port_control.h"
#include "core/commands/text_commands.h"
#include "core/exception_class.h"
#include "core/hub_core.h"
#include "core/hub_feed.h"
#include "core/hub_stats.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "core/program_lifecycle.h"
#include "core/root_hooks.h"
#include "core/settings_file_set.h"
#include "gui/account_pages.h"
#include "gui/ban_isp_pages.h"
#include "gui/com_port_gui.h"
#include "gui/dialogs.h"
#include "gui/feed_pane.h"
#include "gui/hub_page.h"
#include "gui/hublist_icon.h"
#include "gui/kavro_application.h"
#include "gui/list_pages.h"
#include "gui/live_pages.h"
#include "gui/loop_driver.h"
#include "gui/main_window.h"
#include "gui/scanner_pages.h"
#include "gui/settings_pages.h"
#include "gui/splash_screen.h"
#include "gui/text_1252.h"
#include "gui/tray_icon.h"
#include "scripting/lua_scripts.h"
#include "settings/settings.h"
#include "stats/user_stats_module.h"
#include "utils/constants.h"
#include "utils/program_folder.h"

namespace {

// The pages the update tick refreshes, by exact name.
bool IsLivePage(const QString& name) {
  static const QStringList live = {"Hub", "Statistics", "Blocked", "Trafficinfo", "Lua"};
  return live.contains(name);
}

}  // namespace

TMainGui::TMainGui(EventLoop& loop, std::string homeFolder, TDialogs& dialogs)
    : loop_(loop), dialogs_(dialogs), splash_(std::make_unique<TfrmSplashScreen>()) {
  splash_->show();
  SplashStatus(QStringLiteral("Initializing application"));
  root_ = std::make_unique<TKavroRoot>(loop, std::move(homeFolder), MakeUserStats);
  scripts_ = std::make_unique<TLuaScripts>(*root_);
  lifecycle_ = std::make_unique<TProgramLifecycle>(*root_, root_->Hub());
  window_ = std::make_unique<TfrmMain>();
  BuildMenu();
  tray_ = new TTrayIcon(*window_, {[this] { GuardSlot([this] { StartHub(); }); },
                                   [this] { GuardSlot([this] { StopHub(); }); },
                                   [this] { window_->close(); }});
  tray_->SetHubRunningQuery([this] { return lifecycle_->HubRunning(); });

  TfrmMain::THandlers handlers;
  handlers.PageChosen = [this](QTreeWidgetItem* node) { GuardSlot([&] { ShowPage(node); }); };
  handlers.CloseQuery = [this] {
    bool close = false;
    GuardSlot([&] { close = CloseQuery(); });
    if (close) QCoreApplication::exit(0);
    return close;
  };
  handlers.Minimized = [this] { return tray_->WindowMinimized(); };
  handlers.Shown = [this] { GuardSlot([this] { UpdateTick(); }); };
  window_->SetHandlers(std::move(handlers));

  THubPage* hub = window_->HubPage();
  QObject::connect(hub->StartButton(), &QPushButton::clicked, window_.get(),
                   [this] { GuardSlot([this] { StartHubAction(); }); });
  QObject::connect(hub->StopButton(), &QPushButton::clicked, window_.get(),
                   [this] { GuardSlot([this] { StopHubAction(); }); });

  TFeedPane* feed = window_->FeedPane();
  feed->SetStatusSink([this](const QString& line) { window_->SetStatusText(line); });
  feed->SetBotSink([this](const QString& text) { GuardSlot([&] { SendBotLine(text); }); });
  root_->Feed().SetView(feed);
  root_->SettingsHooks().SetWindowListener([this] {
    SetCaption();
    tray_->SetEnabled(root_->Settings().MinmizeToTray);
    RefreshTray();
  });
  root_->SettingsFiles().SetAboutToLoad([this](std::string_view name) {
    SplashStatus(QStringLiteral("Loading: ") + TextFromBytes(name));
  });
  lifecycle_->SetTickHandler([this] { RefreshShownPage(); });
  hublistIcon_ = std::make_unique<THublistIcon>(
      root_->Settings(), ProgramPath(kImageFolder, ""),
      [this](const std::string& line) { root_->ReportError(line); });
  loop_.SetErrorHandler([this](std::exception_ptr error) { ApplicationException(error); });
  if (auto* app = qobject_cast<TKavroApplication*>(QCoreApplication::instance()))
    app->SetExceptionHandler([this](std::exception_ptr error) { ApplicationException(error); });
  driver_ = std::make_unique<TLoopDriver>(loop_);
  BuildComPort();
  BuildPages();
}

void TMainGui::BuildComPort() {
  comPort_ = std::make_unique<TComPort>(loop_);
  // Called from the loop: no question may be asked here.
  comPortControl_ = std::make_unique<TComPortControl>(
      *comPort_, root_->Settings(), root_->Stats(),
      TComPortControlHooks{[this] { StopHubAction(); }, [this] { StartHub(); },
                           [this](int level) {
                             if (settingsPages_) settingsPages_->ShowWorkPace(level);
                           }});
  comPort_->ReceiveCallBack = [this](const std::string& line) { comPortControl_->HandleLine(line); };
  comPortPage_ = new TComPortGui(*comPort_, comPortControl_->Log(),
                                 [this](std::exception_ptr error) { ApplicationException(error); });
  comPortPage_->setObjectName(QStringLiteral("ComPortGui"));
  InstallPage(QStringLiteral("ComPort"), comPortPage_);
}

TMainGui::~TMainGui() {
  if (auto* app = qobject_cast<TKavroApplication*>(QCoreApplication::instance()))
    app->SetExceptionHandler({});
  loop_.SetErrorHandler({});
  driver_.reset();
  DestroyPages();
  comPortControl_.reset();
  comPort_.reset();
  root_->Feed().SetView(nullptr);
  root_->SettingsHooks().SetWindowListener({});
  root_->SettingsFiles().SetAboutToLoad({});
  lifecycle_->SetTickHandler({});
  lifecycle_.reset();
  scripts_.reset();
  hublistIcon_.reset();
  window_.reset();  // before the root: pages may point into it
  root_.reset();
}

void TMainGui::BuildMenu() {
  QMenu* menu = window_->menuBar()->addMenu(QStringLiteral("&Hub"));
  startAction_ = menu->addAction(QStringLiteral("Start Hub"));
  startAction_->setObjectName(QStringLiteral("actStartHub"));
  stopAction_ = menu->addAction(QStringLiteral("Stop Hub"));
  stopAction_->setObjectName(QStringLiteral("actStopHub"));
  stopAction_->setEnabled(false);
  lockHub_ = menu->addAction(QStringLiteral("Lock hub"));
  lockHub_->setObjectName(QStringLiteral("actLockHub"));
  lockHub_->setCheckable(true);
  lockHub_->setEnabled(false);
  QObject::connect(startAction_, &QAction::triggered, window_.get(),
                   [this] { GuardSlot([this] { StartHubAction(); }); });
  QObject::connect(stopAction_, &QAction::triggered, window_.get(),
                   [this] { GuardSlot([this] { StopHubAction(); }); });
}

void TMainGui::SplashStatus(const QString& text) {
  if (splash_ && splash_->isVisible()) splash_->SetStatus(text);
}

void TMainGui::HideSplash() {
  if (splash_) splash_->hide();
}

void TMainGui::Startup() {
  SplashStatus(QStringLiteral("Creating GUI Menu"));
  BuildPageTree();
  SetCaption();
  window_->FeedPane()->ShowFeedLine(TFeedKind::Event, "Application started");
  SplashStatus(QStringLiteral("Loading: Lua scripts"));
  window_->AddPageNode(nullptr, "General Lua settings", "Lua", "Lua-scripts");
  scripts_->SetLoadingListener([this](const std::string& name) {
    SplashStatus(QStringLiteral("Loading: ") + TextFromBytes(name));
    if (livePages_) livePages_->ScriptLoading(name);
  });
  scripts_->LoadScripts(false);
  scripts_->CallGraphicalUserInterface(livePages_->ScriptPanel());
  SplashStatus(QStringLiteral("Loading: Settings"));
  lifecycle_->LoadSettings();
  SplashStatus(QStringLiteral("Loading: Languages"));
  lifecycle_->SelectLanguage();
  settingsPages_->ShowWorkPaceNames();
  SplashStatus(QStringLiteral("Initializing GUI components"));
  window_->HubPage()->ShowLogo(QDate::currentDate());
  ShowAllPages();
  ExpandHints();
  tray_->SetEnabled(root_->Settings().MinmizeToTray);
  RefreshTray();
  if (root_->Settings().AutoStart) {
    SplashStatus(QStringLiteral("Loading: Starting hub"));
    StartHub();
  }
  lifecycle_->StartupDone();
  started_ = true;
  // The window opens on the Hub page with its heading.
  window_->Tree()->setCurrentItem(window_->Tree()->topLevelItem(0));
}

void TMainGui::BuildPageTree() {
  TfrmMain& w = *window_;
  w.Tree()->clear();
  QTreeWidgetItem* hub = w.AddPageNode(nullptr, "Welcome to the world of Kavro", "Hub", "Hub");
  w.AddPageNode(hub, "Hub feed", "Feed", "Feed");
  w.AddPageNode(hub, "Hub statistics", "Statistics", "Statistics");
  w.AddPageNode(hub, "Traffic Info", "TrafficInfo", "TrafficInfo");
  w.AddPageNode(hub, "About Kavro", "About", "About");
  QTreeWidgetItem* settings = w.AddPageNode(nullptr, "General settings", "Settings", "Settings");
  w.AddPageNode(settings, "Redirects", "Redirects", "Redirects");
  w.AddPageNode(settings, "Notifications", "Notifications", "Notifications");
  w.AddPageNode(settings, "Text commands", "TextCommands", "Text commands");
  QTreeWidgetItem* security = w.AddPageNode(nullptr, "Security settings", "Security", "Security");
  w.AddPageNode(security, "Restrictions", "Restrictions", "Restrictions");
  w.AddPageNode(security, "Ban list", "Banlist", "Banlist");
  w.AddPageNode(security, "Block list", "Blocked", "Blocked");
  QTreeWidgetItem* misc =
      w.AddPageNode(nullptr, "Miscellaneous settings", "Miscellaneous", "Miscellaneous");
  w.AddPageNode(misc, "Chat rooms", "Chatrooms", "Chatrooms");
  w.AddPageNode(misc, "Public registration lists", "Hublists", "Hublists");
  w.AddPageNode(misc, "Private message scanner", "PMScanner", "PM scanner");
  w.AddPageNode(misc, "Mainchat scanner", "MCScanner", "MC scanner");
  w.AddPageNode(misc, "Search scanner", "SearchScanner", "Search scanner");
  w.AddPageNode(misc, "User statistics", "UserStats", "User stats");
  w.AddPageNode(misc, "Serial control line", "ComPort", "ComPort");
  QTreeWidgetItem* users = w.AddPageNode(nullptr, "General user settings", "Users", "Users");
  w.AddPageNode(users, "User profiles", "Profiles", "Profiles");
  w.AddPageNode(users, "User accounts", "Accounts", "Accounts");
  w.AddPageNode(users, "Self registered users", "Register", "Registered");
  w.AddPageNode(users, "ISP/IP lists", "ISPIP", "ISP/IP");
  w.Tree()->expandAll();
}

// Tooltips are written on one line with "#13" where a line break goes.
void TMainGui::ExpandHints() {
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    QString tip = widget->toolTip();
    if (!tip.contains(QStringLiteral("#13"))) continue;
    widget->setToolTip(tip.replace(QStringLiteral("#13"), QStringLiteral("\n")));
  }
}

QString TMainGui::Caption() const {
  return TextFromBytes(kProductName) + QStringLiteral(" ") + TextFromBytes(kProgramVersion) +
         QStringLiteral(" - ") + TextFromBytes(root_->Settings().HubName());
}

void TMainGui::SetCaption() {
  const QString caption = Caption();
  window_->setWindowTitle(caption);
  QCoreApplication::setApplicationName(caption);
  RefreshTray();
}

void TMainGui::RefreshTray() {
  tray_->SetHint(TextFromBytes(root_->Settings().HubName()), lifecycle_->HubRunning());
}

bool TMainGui::StartHub() {
  if (!lifecycle_->StartHub()) return false;
  lockHub_->setEnabled(true);
  startAction_->setEnabled(false);
  window_->HubPage()->StartButton()->setEnabled(false);
  stopAction_->setEnabled(true);
  window_->HubPage()->StopButton()->setEnabled(true);
  RefreshTray();
  return true;
}

bool TMainGui::StopHub() {
  if (!lifecycle_->StopHub()) return false;
  lockHub_->setChecked(false);
  lockHub_->setEnabled(false);
  startAction_->setEnabled(true);
  window_->HubPage()->StartButton()->setEnabled(true);
  stopAction_->setEnabled(false);
  window_->HubPage()->StopButton()->setEnabled(false);
  RefreshTray();
  return true;
}

void TMainGui::StartHubAction() {
  root_->TextCommands().WarnOnConnectRegOnly();
  const TSettings& settings = root_->Settings();
  if (settings.HubRegistration && settings.RegOnlyHub)
    root_->ReportGUI(
        "Warning! Hub Registration is enabled in the Hublists but this hub is for reg only users!");
  if (!settingsSeen_ &&
      !dialogs_.Confirm(QStringLiteral("Are you sure you wish to start hub without looking "
                                       "settings first?")))
    return;
  StartHub();
}

bool TMainGui::CloseQuery() {
  if (closingBySignal_) return true;
  if (!window_->isVisible() || !root_->Settings().PromptOnShutDown) return true;
  return dialogs_.Confirm(QStringLiteral("Are you sure you wish to close?"));
}

void TMainGui::ShowPage(QTreeWidgetItem* node) {
  const QString page = TfrmMain::NodePage(node);
  if (page.isEmpty()) return;
  if (page == QLatin1String("Settings")) settingsSeen_ = true;
  if (!window_->OpenPage(page)) return;
  window_->SetHeading(TfrmMain::NodeHeading(node));
  UpdateTick();
}

void TMainGui::UpdateTick() {
  // Before the start-up is done an automatic save would meet lists not yet
  // loaded.
  if (shutDown_ || !started_) return;
  lifecycle_->PeriodicCheck();
  RefreshShownPage();
}

void TMainGui::SetPageRefresh(const QString& pageName, std::function<void()> refresh) {
  refreshers_[pageName] = std::move(refresh);
}

void TMainGui::RefreshShownPage() {
  if (shutDown_ || !window_->isVisible()) return;
  const QString page = window_->CurrentPage();
  if (!IsLivePage(page)) return;
  if (page == QLatin1String("Hub"))
    window_->HubPage()->ShowUptime(TextFromBytes(root_->HubCore().Uptime()));
  const auto it = refreshers_.find(page);
  if (it != refreshers_.end() && it->second) it->second();
}

void TMainGui::ApplicationException(std::exception_ptr error) {
  ++root_->Stats().UnhandledExceptions;
  root_->ReportError(UnhandledExceptionText(error));
}

// The text as typed; '|' travels escaped so it can neither end the message
// nor start a command of its own.
void TMainGui::SendBotLine(const QString& text) {
  std::string message = "<" + root_->Settings().BotName() + "> ";
  AppendFeedWireText(message, BytesFromText(text));
  message += '|';
  root_->NickList().SendToAll(message);
}

void TMainGui::LoadhublistIcon(const QString& address, std::function<void()> done) {
  hublistIcon_->Load(address, std::move(done));
}

void TMainGui::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  window_->hide();
  root_->Feed().SetView(nullptr);
  root_->SettingsHooks().SetWindowListener({});
  lifecycle_->Shutdown();
}
