#include <QLayout>
#include <QTreeView>
#include <QWidget>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "gui/account_pages.h"
#include "gui/ban_isp_pages.h"
#include "gui/controls/column_fitter.h"
#include "gui/list_pages.h"
#include "gui/live_pages.h"
#include "gui/main_gui.h"
#include "gui/main_window.h"
#include "gui/scanner_pages.h"
#include "gui/settings_pages.h"

namespace {

// The pages that show each settings file, refilled when it is reloaded.
std::vector<TShowStep> StepsShowing(TSettingsList list) {
  switch (list) {
    case TSettingsList::Settings:
      return {TShowStep::UserStats, TShowStep::General,       TShowStep::Users,
              TShowStep::Restrictions, TShowStep::Security,   TShowStep::Redirects,
              TShowStep::Notifications, TShowStep::Language,  TShowStep::Miscellaneous};
    case TSettingsList::Profiles: return {TShowStep::Profiles};
    case TSettingsList::Accounts: return {TShowStep::Accounts};
    case TSettingsList::ISPs: return {TShowStep::ISPs};
    case TSettingsList::Bans: return {TShowStep::BanList};
    case TSettingsList::ChatRooms: return {TShowStep::ChatRooms};
    case TSettingsList::HubLists: return {TShowStep::HubLists};
    case TSettingsList::TextCommands: return {TShowStep::TextCommands};
    case TSettingsList::PMScanner: return {TShowStep::PMScanner};
    case TSettingsList::MCScanner: return {TShowStep::MCScanner};
    case TSettingsList::SearchScanner: return {TShowStep::SearchScanner};
    case TSettingsList::Registered: return {};
  }
  return {};
}

}  // namespace

void TMainGui::BuildPages() {
  BuildSettingsPages();
  BuildLivePages();
  BuildAccountPages();
  BuildBanIspPages();
  BuildScannerPages();
  BuildListPages();
  root_->SettingsFiles().SetReloaded([this](TSettingsList list) { SettingsFileReloaded(list); });
}

void TMainGui::DestroyPages() {
  root_->SettingsFiles().SetReloaded({});
  showSteps_ = {};
  profileChoices_.clear();
  listPages_.reset();
  scannerPages_.reset();
  banIspPages_.reset();
  accountPages_.reset();
  livePages_.reset();
  settingsPages_.reset();
}

void TMainGui::SetShowStep(TShowStep step, std::function<void()> show) {
  showSteps_[static_cast<std::size_t>(step)] = std::move(show);
}

void TMainGui::ShowAllPages() {
  for (const auto& show : showSteps_)
    if (show) show();
}

void TMainGui::SettingsFileReloaded(TSettingsList list) {
  for (const TShowStep step : StepsShowing(list)) {
    const auto& show = showSteps_[static_cast<std::size_t>(step)];
    if (show) show();
  }
}

void TMainGui::InstallPage(const QString& name, QWidget* page) {
  QWidget* slot = window_->Page(name);
  qDeleteAll(slot->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
  slot->layout()->addWidget(page);
  // Every list of a page shows its contents whole once filled.
  for (QTreeView* list : page->findChildren<QTreeView*>()) TColumnFitter::Attach(*list);
}
