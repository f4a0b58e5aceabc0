#pragma once

#include <memory>
#include <string_view>

#include "core/page_refresh.h"

class TAccountsGui;
class TMainGui;
class TProfilesGui;
class TUserRegisteredGui;

// The controllers of the accounts, protected-nicks and profiles pages.
// Built by the window's composition and gone before the window; hears what
// the operator commands changed in the accounts while it lives.
class TAccountPages final : public TPageRefresh {
 public:
  explicit TAccountPages(TMainGui& gui);
  ~TAccountPages() override;
  TAccountPages(const TAccountPages&) = delete;
  TAccountPages& operator=(const TAccountPages&) = delete;

  TAccountsGui& Accounts() { return *accounts_; }
  TUserRegisteredGui& Registered() { return *registered_; }
  TProfilesGui& Profiles() { return *profiles_; }

  void AccountChanged(std::string_view nick) override;
  void AccountRenamed(std::string_view oldNick, std::string_view newNick) override;
  void AccountDeleted(std::string_view nick) override;

 private:
  TMainGui& gui_;
  std::unique_ptr<TAccountsGui> accounts_;
  std::unique_ptr<TUserRegisteredGui> registered_;
  std::unique_ptr<TProfilesGui> profiles_;
};
