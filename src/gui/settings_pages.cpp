#include "gui/settings_pages.h"

#include <QComboBox>
#include <QGroupBox>
#include <memory>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "gui/gui_language.h"
#include "gui/language_gui.h"
#include "gui/main_gui.h"
#include "gui/miscellaneous_gui.h"
#include "gui/notifications_gui.h"
#include "gui/page_busy.h"
#include "gui/redirects_gui.h"
#include "gui/restrictions_gui.h"
#include "gui/security_gui.h"
#include "gui/settings_gui.h"
#include "gui/users_gui.h"
#include "settings/settings.h"

TSettingsPages::TSettingsPages(TMainGui& gui) : gui_(gui) {
  TKavroRoot& root = gui.Root();
  TSettings& settings = root.Settings();
  general_ = std::make_unique<TSettingsGui>(gui);
  users_ = std::make_unique<TUsersGui>(settings);
  redirects_ = std::make_unique<TRedirectsGui>(settings);
  restrictions_ = std::make_unique<TRestrictionsGui>(settings, gui.Dialogs());
  security_ = std::make_unique<TSecurityGui>(settings);
  notifications_ = std::make_unique<TNotificaitonsGui>(settings);
  miscellaneous_ = std::make_unique<TMiscellaneousGui>(root);
  language_ = std::make_unique<TLanguageGui>(root, general_->LanguageGroup(),
                                             [this] { ShowWorkPaceNames(); });

  gui.InstallPage(QStringLiteral("Settings"), general_->Page());
  gui.InstallPage(QStringLiteral("Users"), users_->Page());
  gui.InstallPage(QStringLiteral("Redirects"), redirects_->Page());
  gui.InstallPage(QStringLiteral("Restrictions"), restrictions_->Page());
  gui.InstallPage(QStringLiteral("Security"), security_->Page());
  gui.InstallPage(QStringLiteral("Notifications"), notifications_->Page());
  gui.InstallPage(QStringLiteral("Miscellaneous"), miscellaneous_->Page());

  bool usersShown = false;
  gui.SetShowStep(TShowStep::General, [this] { general_->ShowSettings(); });
  gui.SetShowStep(TShowStep::Users, [this, usersShown]() mutable {
    if (!usersShown) {
      usersShown = true;
      users_->Initialize();
      return;
    }
    users_->ShowRestriction();
    users_->ShowSettings();
  });
  gui.SetShowStep(TShowStep::Restrictions, [this] { restrictions_->ShowSettings(); });
  gui.SetShowStep(TShowStep::Security, [this] { security_->ShowSettings(); });
  gui.SetShowStep(TShowStep::Redirects, [this] { redirects_->ShowSettings(); });
  gui.SetShowStep(TShowStep::Notifications, [this] { notifications_->ShowSettings(); });
  gui.SetShowStep(TShowStep::Language, [this] { language_->ShowLanguages(); });
  gui.SetShowStep(TShowStep::Miscellaneous, [this] { miscellaneous_->ShowSettings(); });

  root.SettingsFiles().SetSaved(
      [this] { general_->SetLastSaved(QDateTime::currentDateTime()); });
  root.PageRefresh().Add(this);
}

TSettingsPages::~TSettingsPages() {
  TKavroRoot& root = gui_.Root();
  root.PageRefresh().Remove(this);
  root.SettingsFiles().SetSaved({});
}

void TSettingsPages::ShowWorkPace(int level) { general_->ShowWorkPace(level); }

void TSettingsPages::ShowWorkPaceNames() {
  TBusyScope busy(general_->BusyFlag());
  TGuiLanguage::ShowWorkPaceNames(*general_->WorkPaceList(), gui_.Root().Language());
}

void TSettingsPages::RedirectsChanged() { redirects_->ShowSettings(); }

void TSettingsPages::GeneralSettingsChanged() {
  general_->ShowWorkPace();
  general_->ShowUserLimit();
}

void TSettingsPages::RestrictionsChanged() { users_->RefreshRestriction(); }

void TMainGui::BuildSettingsPages() { settingsPages_ = std::make_unique<TSettingsPages>(*this); }
