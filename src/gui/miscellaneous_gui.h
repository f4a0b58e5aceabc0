#pragma once

#include "gui/settings_binding.h"

class QWidget;
class TKavroRoot;

// The Miscellaneous page: command visibility, PM replies, search hits and
// the own-UserIP switch, and the run's switch keeping searches from users
// who share nothing. The page's widgets belong to the window.
class TMiscellaneousGui {
 public:
  explicit TMiscellaneousGui(TKavroRoot& root);
  TMiscellaneousGui(const TMiscellaneousGui&) = delete;
  TMiscellaneousGui& operator=(const TMiscellaneousGui&) = delete;

  QWidget* Page() const { return page_; }
  void ShowSettings() { binder_.Show(); }
  void StoreSettings() { binder_.Store(); }

 private:
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
};
