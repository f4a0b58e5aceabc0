#pragma once

#include <memory>

#include "core/page_refresh.h"

class TLanguageGui;
class TMainGui;
class TMiscellaneousGui;
class TNotificaitonsGui;
class TRedirectsGui;
class TRestrictionsGui;
class TSecurityGui;
class TSettingsGui;
class TUsersGui;

// The controllers of the settings pages: general (with the language),
// users, redirects, restrictions, security, notifications, miscellaneous.
// Hears what operator commands changed on these pages. Built by the
// window's composition and gone before the window and the root.
class TSettingsPages final : public TPageRefresh {
 public:
  explicit TSettingsPages(TMainGui& gui);
  ~TSettingsPages() override;
  TSettingsPages(const TSettingsPages&) = delete;
  TSettingsPages& operator=(const TSettingsPages&) = delete;

  TSettingsGui& General() { return *general_; }
  TUsersGui& Users() { return *users_; }
  TRedirectsGui& Redirects() { return *redirects_; }
  TRestrictionsGui& Restrictions() { return *restrictions_; }
  TSecurityGui& Security() { return *security_; }
  TNotificaitonsGui& Notifications() { return *notifications_; }
  TMiscellaneousGui& Miscellaneous() { return *miscellaneous_; }
  TLanguageGui& Language() { return *language_; }

  // The serial line's level, shown without storing it.
  void ShowWorkPace(int level);
  // After every language selection.
  void ShowWorkPaceNames();

  void RedirectsChanged() override;
  void GeneralSettingsChanged() override;
  void RestrictionsChanged() override;

 private:
  TMainGui& gui_;
  std::unique_ptr<TSettingsGui> general_;
  std::unique_ptr<TUsersGui> users_;
  std::unique_ptr<TRedirectsGui> redirects_;
  std::unique_ptr<TRestrictionsGui> restrictions_;
  std::unique_ptr<TSecurityGui> security_;
  std::unique_ptr<TNotificaitonsGui> notifications_;
  std::unique_ptr<TMiscellaneousGui> miscellaneous_;
  std::unique_ptr<TLanguageGui> language_;
};
