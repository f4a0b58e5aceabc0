#include "gui/live_pages.h"

#include <memory>

#include "gui/about_gui.h"
#include "gui/blocked_gui.h"
#include "gui/hub_list_gui.h"
#include "gui/lua_gui.h"
#include "gui/main_gui.h"
#include "gui/statistics_gui.h"
#include "gui/traffic_info_gui.h"

namespace {

const char* const kLivePages[] = {"Statistics", "Trafficinfo", "Blocked", "Lua"};

}  // namespace

TLivePages::TLivePages(TMainGui& gui)
    : gui_(gui),
      statistics_(new TStatisticsGui(gui.Root())),
      traffic_(new TTrafficInfoGui(gui.Root())),
      blocked_(new TBlockedGui(gui.Root())),
      lua_(new TTLuaGui(gui.Root(), gui.Scripts(), gui.Dialogs())),
      hubList_(new THubListGui(gui.Root(), gui.Dialogs())),
      about_(new TAboutGui) {
  gui_.InstallPage(QStringLiteral("Statistics"), statistics_);
  gui_.InstallPage(QStringLiteral("Trafficinfo"), traffic_);
  gui_.InstallPage(QStringLiteral("Blocked"), blocked_);
  gui_.InstallPage(QStringLiteral("Lua"), lua_);
  gui_.InstallPage(QStringLiteral("Hublists"), hubList_);
  gui_.InstallPage(QStringLiteral("About"), about_);
  gui_.SetPageRefresh(QStringLiteral("Statistics"), [this] { statistics_->Refresh(); });
  gui_.SetPageRefresh(QStringLiteral("Trafficinfo"), [this] { traffic_->Refresh(); });
  gui_.SetPageRefresh(QStringLiteral("Blocked"), [this] { blocked_->Refresh(); });
  gui_.SetPageRefresh(QStringLiteral("Lua"), [this] { lua_->Refresh(); });
  gui_.SetShowStep(TShowStep::HubLists, [this] { hubList_->Show(); });
  gui_.SetShowStep(TShowStep::About, [this] { about_->Show(); });
}

TLivePages::~TLivePages() {
  for (const char* page : kLivePages) gui_.SetPageRefresh(QString::fromLatin1(page), {});
}

void TLivePages::ScriptLoading(const std::string& name) { lua_->AddScript(name); }

QWidget* TLivePages::ScriptPanel() const { return lua_->ScriptPanel(); }

void TMainGui::BuildLivePages() { livePages_ = std::make_unique<TLivePages>(*this); }
