#pragma once

#include <QString>
#include <array>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/page_steps.h"
#include "scripting/rtf_picture.h"

class EventLoop;
class QAction;
class QTreeWidgetItem;
class TComPort;
class TComPortControl;
class TComPortGui;
class TDialogs;
class THublistIcon;
class TfrmMain;
class TfrmSplashScreen;
class TKavroRoot;
class TLoopDriver;
class TLuaScripts;
class TProgramLifecycle;
class TTrayIcon;
class QWidget;
class TAccountPages;
class TBanIspPages;
class TListPages;
class TLivePages;
class TProfileChoices;
class TScannerPages;
class TSettingsPages;
enum class TSettingsList : std::uint8_t;

// The program with its window: builds the hub (TKavroRoot) and the window
// on the one main thread, runs the start-up in its steps with the splash
// screen, the Start/Stop actions, the page choice, the update tick's page
// refresh, the close question and the shutdown's window half. Owns the
// root, the lifecycle, the window, the tray icon and the loop driver; does
// not own the event loop or the dialogs. Main thread only.
class TMainGui {
 public:
  TMainGui(EventLoop& loop, std::string homeFolder, TDialogs& dialogs);
  ~TMainGui();
  TMainGui(const TMainGui&) = delete;
  TMainGui& operator=(const TMainGui&) = delete;

  // The kavro program: [--home DIR]; exits 0 after the shutdown.
  // `pictures`: the picture reader scripts are given.
  static int Main(int argc, char** argv, TPictureLoader pictures = {});

  // The start-up steps; the splash shows them while it exists.
  void Startup();
  // Window hidden and detached from the feed, then the hub's shutdown order.
  void Shutdown();

  // Without questions: the tray's and the automatic start.
  bool StartHub();
  bool StopHub();
  // The "Start Hub" button: warnings, the settings-first question, start.
  void StartHubAction();
  void StopHubAction() { StopHub(); }

  // May the window close? Asks when shown and PromptOnShutDown is on.
  bool CloseQuery();
  // Closing without any question (SIGINT, SIGTERM).
  void SetClosingBySignal() { closingBySignal_ = true; }

  void ShowPage(QTreeWidgetItem* node);
  // One update tick: the periodic work, then the shown page's refresh.
  void UpdateTick();
  // The refresh of a live page, by its exact page name.
  void SetPageRefresh(const QString& pageName, std::function<void()> refresh);

  void ApplicationException(std::exception_ptr error);
  // The hub-list icon from the "Hub Icon" field's address; asynchronous.
  void LoadhublistIcon(const QString& address, std::function<void()> done = {});
  THublistIcon& HublistIcon() { return *hublistIcon_; }
  void SendBotLine(const QString& text);

  // Fills every page from its data object, in the fixed order.
  void ShowAllPages();
  // A page's fill operation; ShowAllPages and the reload of its file run it.
  void SetShowStep(TShowStep step, std::function<void()> show);
  // Puts `page` on the named page of the window, in place of its placeholder.
  void InstallPage(const QString& name, QWidget* page);
  // The pages offering profiles as choices; the profiles page tells them.
  void AddProfileChoices(TProfileChoices* choices) { profileChoices_.push_back(choices); }
  const std::vector<TProfileChoices*>& ProfileChoices() const { return profileChoices_; }
  // "Convert from Murn" on the General settings page.
  void ConvertFromMurn();

  TSettingsPages& SettingsPages() { return *settingsPages_; }
  TLivePages& LivePages() { return *livePages_; }
  TAccountPages& AccountPages() { return *accountPages_; }
  TBanIspPages& BanIspPages() { return *banIspPages_; }
  TScannerPages& ScannerPages() { return *scannerPages_; }
  TListPages& ListPages() { return *listPages_; }

  QString Caption() const;
  void SetCaption();
  void RefreshTray();

  TKavroRoot& Root() { return *root_; }
  TDialogs& Dialogs() { return dialogs_; }
  TLuaScripts& Scripts() { return *scripts_; }
  TProgramLifecycle& Lifecycle() { return *lifecycle_; }
  TfrmMain& Window() { return *window_; }
  TTrayIcon& Tray() { return *tray_; }
  TComPort& ComPort() { return *comPort_; }
  TComPortGui* ComPortPage() { return comPortPage_; }
  TfrmSplashScreen* Splash() { return splash_.get(); }
  QAction* LockHubAction() { return lockHub_; }
  QAction* StartHubMenuAction() { return startAction_; }
  QAction* StopHubMenuAction() { return stopAction_; }
  bool SettingsSeen() const { return settingsSeen_; }
  void HideSplash();

 private:
  void BuildPageTree();
  void BuildMenu();
  void SplashStatus(const QString& text);
  void RefreshShownPage();
  void ExpandHints();
  void BuildComPort();
  // The page controllers, one group per file.
  void BuildPages();
  void BuildSettingsPages();
  void BuildLivePages();
  void BuildAccountPages();
  void BuildBanIspPages();
  void BuildScannerPages();
  void BuildListPages();
  void DestroyPages();
  void SettingsFileReloaded(TSettingsList list);

  EventLoop& loop_;
  TDialogs& dialogs_;
  std::unique_ptr<TfrmSplashScreen> splash_;
  std::unique_ptr<TKavroRoot> root_;
  std::unique_ptr<TLuaScripts> scripts_;
  std::unique_ptr<TProgramLifecycle> lifecycle_;
  std::unique_ptr<TfrmMain> window_;
  TTrayIcon* tray_ = nullptr;  // owned by the window
  QAction* lockHub_ = nullptr;
  QAction* startAction_ = nullptr;
  QAction* stopAction_ = nullptr;
  std::unique_ptr<THublistIcon> hublistIcon_;
  std::unique_ptr<TLoopDriver> driver_;
  std::map<QString, std::function<void()>> refreshers_;
  bool settingsSeen_ = false;
  bool closingBySignal_ = false;
  bool shutDown_ = false;
  bool started_ = false;  // the start-up is done: the periodic work may run
  // The serial control line; gone before the window and the root.
  std::unique_ptr<TComPort> comPort_;
  std::unique_ptr<TComPortControl> comPortControl_;
  TComPortGui* comPortPage_ = nullptr;  // owned by the window
  std::array<std::function<void()>, kShowStepCount> showSteps_;
  std::vector<TProfileChoices*> profileChoices_;
  // Gone before the window and the root: they point into both.
  std::unique_ptr<TSettingsPages> settingsPages_;
  std::unique_ptr<TLivePages> livePages_;
  std::unique_ptr<TAccountPages> accountPages_;
  std::unique_ptr<TBanIspPages> banIspPages_;
  std::unique_ptr<TScannerPages> scannerPages_;
  std::unique_ptr<TListPages> listPages_;
};
