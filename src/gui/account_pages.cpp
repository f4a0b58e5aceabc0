#include "gui/account_pages.h"

#include <memory>

#include "core/kavro_root.h"
#include "gui/accounts_gui.h"
#include "gui/main_gui.h"
#include "gui/profiles_gui.h"
#include "gui/user_registered_gui.h"

TAccountPages::TAccountPages(TMainGui& gui)
    : gui_(gui),
      accounts_(std::make_unique<TAccountsGui>(gui)),
      registered_(std::make_unique<TUserRegisteredGui>(gui)),
      profiles_(std::make_unique<TProfilesGui>(gui)) {
  gui_.Root().PageRefresh().Add(this);
  // A profile used by accounts shows it in its row.
  accounts_->SetAfterChange([this] { profiles_->RefreshRowStates(); });
}

TAccountPages::~TAccountPages() {
  accounts_->SetAfterChange({});
  gui_.Root().PageRefresh().Remove(this);
}

void TAccountPages::AccountChanged(std::string_view nick) { accounts_->UpdateAccountNick(nick); }

void TAccountPages::AccountRenamed(std::string_view oldNick, std::string_view newNick) {
  accounts_->RemoveAccountNick(oldNick);
  accounts_->UpdateAccountNick(newNick);
}

void TAccountPages::AccountDeleted(std::string_view nick) { accounts_->RemoveAccountNick(nick); }

void TMainGui::BuildAccountPages() {
  accountPages_ = std::make_unique<TAccountPages>(*this);
  TAccountPages& pages = *accountPages_;
  InstallPage("Accounts", pages.Accounts().Page());
  InstallPage("Register", pages.Registered().Page());
  InstallPage("Profiles", pages.Profiles().Page());
  AddProfileChoices(&pages.Accounts());
  SetShowStep(TShowStep::Accounts, [&pages] {
    pages.Accounts().Show();
    pages.Registered().ShowSettings();
  });
  SetShowStep(TShowStep::Profiles, [&pages] { pages.Profiles().Show(); });
}
